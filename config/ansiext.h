// 8-bit line helpers of the batch: whole lines in, blocks of bytes out.
#pragma once

#include <cstdint>
#include <cstdio>
#include <cstring>
#include <memory>
#include <string>

#include "platform/fs.h"

namespace vantor {

enum class ReadStatus { Line, End, Error };

// Reads a file line by line through one large buffer of its own. A line is
// delivered whole, whatever its length, with its line end ("\n" or "\r\n")
// included; the last line of a file may have none. Trees of millions of
// lines go through here, so nothing is allocated per line: the caller's
// string is reused and only grows.
class LineReader {
public:
    static constexpr size_t kDefaultBuffer = 64 * 1024;

    explicit LineReader(size_t bufferSize = kDefaultBuffer);
    ~LineReader();
    LineReader(const LineReader&) = delete;
    LineReader& operator=(const LineReader&) = delete;

    bool Open(const std::string& path);  // binary; false when it cannot be opened
    void Close();
    bool IsOpen() const { return file_.IsOpen(); }
    // The open file: why it failed to open, its lock, what its rewrite takes over.
    InputFile& File() { return file_; }
    // False when the first bytes show the file is no 8-bit text (a UTF-16 or
    // UTF-32 byte-order mark, or a NUL byte in its first 4 KB): the engine
    // would cut its characters apart.
    bool LooksLikeText();

    ReadStatus Next(std::string& text) {
        // A line already whole in the buffer: the usual case, done here.
        if (pos_ < len_) {
            const char* start = buf_.get() + pos_;
            const void* nl = std::memchr(start, '\n', len_ - pos_);
            if (nl != nullptr) {
                const size_t n = static_cast<size_t>(static_cast<const char*>(nl) - start) + 1;
                text.assign(start, n);
                pos_ += n;
                return ReadStatus::Line;
            }
        }
        return NextSlow(text);
    }
    // The whole lines left in the buffer, in one block, taken as if read one
    // by one; false when it holds no line end (Next then reads the line that
    // goes on past the buffer, or the last one, or tells the end or an error).
    bool TakeLines(const char*& data, size_t& size) {
        if (pos_ >= len_ && !Fill()) return false;
        const char* start = buf_.get() + pos_;
        for (const char* q = buf_.get() + len_; q > start; --q)
            if (q[-1] == '\n') {
                data = start;
                size = static_cast<size_t>(q - start);
                pos_ += size;
                return true;
            }
        return false;
    }
    // True when no byte is left to read. A read error met while looking ahead
    // answers false; the following Next reports it.
    bool AtEnd() { return pos_ >= len_ && !Fill() && !error_; }
    // The file's first bytes, when everything handed out so far is still in
    // the buffer (the file was read in one block up to here): lines already
    // read can then be taken again without reading the file again.
    bool HeldFromStart(const char*& data, size_t& size) const {
        data = buf_.get();
        size = held_;
        return held_ > 0;
    }

private:
    bool Fill();  // false when nothing more could be read (end or error)
    ReadStatus NextSlow(std::string& text);  // a line that needs the buffer refilled

    InputFile file_;
    size_t held_ = 0;  // bytes from the start of the file still in the buffer
    std::unique_ptr<char[]> buf_;
    size_t cap_;
    size_t pos_ = 0;
    size_t len_ = 0;
    bool eof_ = false;
    bool error_ = false;
};

// The next whole line into `text` (emptied first).
inline ReadStatus ReadLine(LineReader& reader, std::string& text) { return reader.Next(text); }

// Writes the bytes of `text` as one block, adding nothing. True when all were
// written; an empty text writes nothing and succeeds.
bool WriteLine(FILE* file, const std::string& text);

// The part of `text` from the 1-based `position` on; empty past the end.
std::string TailFrom(const std::string& text, int32_t position);

}  // namespace vantor
