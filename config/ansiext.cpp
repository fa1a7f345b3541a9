#include "config/ansiext.h"

#include <cstring>

#include "platform/fs.h"

namespace vantor {

LineReader::LineReader(size_t bufferSize)
    : buf_(new char[bufferSize ? bufferSize : 1]), cap_(bufferSize ? bufferSize : 1) {}

LineReader::~LineReader() { Close(); }

bool LineReader::Open(const std::string& path) {
    pos_ = len_ = held_ = 0;
    eof_ = error_ = false;
    return file_.Open(path);
}

void LineReader::Close() { file_.Close(); }

bool LineReader::LooksLikeText() {
    if (held_ == 0 && !Fill()) return true;  // empty, or the read error comes with the first line
    const unsigned char* b = reinterpret_cast<const unsigned char*>(buf_.get());
    const size_t n = held_ < 4096 ? held_ : 4096;
    if (n >= 2 && ((b[0] == 0xFF && b[1] == 0xFE) || (b[0] == 0xFE && b[1] == 0xFF))) return false;
    return std::memchr(b, 0, n) == nullptr;
}

bool LineReader::Fill() {
    if (pos_ < len_) return true;
    if (!file_.IsOpen() || eof_ || error_) return false;
    const bool first = len_ == 0 && held_ == 0;
    pos_ = len_ = 0;
    const long long got = file_.Read(buf_.get(), cap_);
    if (got > 0) {
        len_ = static_cast<size_t>(got);
        // Only the first block starts at the start of the file; any later one
        // takes its place in the buffer.
        held_ = first ? len_ : 0;
        return true;
    }
    if (got < 0)
        error_ = true;
    else
        eof_ = true;
    return false;
}

ReadStatus LineReader::NextSlow(std::string& text) {
    text.clear();
    for (;;) {
        if (!Fill()) {
            if (error_ || !file_.IsOpen()) return ReadStatus::Error;
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
