#include "config/ansiext.h"

#include <cstring>

#include "platform/fs.h"

namespace vantor {

LineReader::LineReader(size_t bufferSize)
    : buf_(new char[bufferSize ? bufferSize : 1]), cap_(bufferSize ? bufferSize : 1) {}

LineReader::~LineReader() { Close(); }

bool LineReader::Open(const std::string& path) {
    Close();
    file_ = OpenFile(path, "rb");
    if (!file_) return false;
    // Our own buffer does the buffering; the stream's would only copy twice.
    std::setvbuf(file_, nullptr, _IONBF, 0);
    pos_ = len_ = 0;
    eof_ = error_ = false;
    return true;
}

void LineReader::Close() {
    if (file_) std::fclose(file_);
    file_ = nullptr;
}

bool LineReader::Fill() {
    if (pos_ < len_) return true;
    if (!file_ || eof_ || error_) return false;
    pos_ = 0;
    len_ = std::fread(buf_.get(), 1, cap_, file_);
    if (len_ > 0) return true;
    if (std::ferror(file_))
        error_ = true;
    else
        eof_ = true;
    return false;
}

bool LineReader::AtEnd() { return !Fill() && !error_; }

ReadStatus LineReader::Next(std::string& text) {
    text.clear();
    for (;;) {
        if (!Fill()) {
            if (error_ || !file_) return ReadStatus::Error;
            return text.empty() ? ReadStatus::End : ReadStatus::Line;
        }
        const char* start = buf_.get() + pos_;
        size_t avail = len_ - pos_;
        const void* nl = std::memchr(start, '\n', avail);
        if (nl) {
            size_t n = static_cast<size_t>(static_cast<const char*>(nl) - start) + 1;
            text.append(start, n);
            pos_ += n;
            return ReadStatus::Line;
        }
        text.append(start, avail);
        pos_ = len_;
    }
}

bool WriteLine(FILE* file, const std::string& text) {
    if (text.empty()) return true;
    return std::fwrite(text.data(), 1, text.size(), file) == text.size();
}

std::string TailFrom(const std::string& text, int32_t position) {
    if (position < 1) position = 1;
    size_t from = static_cast<size_t>(position) - 1;
    if (from >= text.size()) return std::string();
    return text.substr(from);
}

}  // namespace vantor
