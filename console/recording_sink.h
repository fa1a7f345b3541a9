// Sinks for tests: they keep what the console delivered, piece by piece, with
// the colour, the style and the thread that appended it.
#pragma once

#include <string>
#include <thread>
#include <vector>

#include "console/console.h"

namespace vantor {

struct RecordedPiece {
    std::string text;
    uint32_t colour;
    uint8_t style;
    std::thread::id thread;
    bool operator==(const RecordedPiece& o) const {
        return text == o.text && colour == o.colour && style == o.style;
    }
};

class RecordingSink : public ConsoleSink {
public:
    explicit RecordingSink(uint32_t defaultColour = 0, uint8_t defaultStyle = 0)
        : defaultColour_(defaultColour), defaultStyle_(defaultStyle) {}
    void Append(const char* text, size_t len, uint32_t colour, uint8_t style) override {
        pieces.push_back({std::string(text, len), colour, style, std::this_thread::get_id()});
    }
    uint32_t DefaultColour() const override { return defaultColour_; }
    uint8_t DefaultStyle() const override { return defaultStyle_; }
    std::string Text() const {
        std::string all;
        for (const RecordedPiece& p : pieces) all += p.text;
        return all;
    }

    std::vector<RecordedPiece> pieces;

private:
    uint32_t defaultColour_;
    uint8_t defaultStyle_;
};

// A memo of lines; with maxLines it refuses new lines when full, as a memo
// control does at its capacity.
class RecordingMemoSink : public MemoSink {
public:
    explicit RecordingMemoSink(size_t maxLines = 0) : maxLines_(maxLines) {}
    size_t LineCount() const override { return lines.size(); }
    void AddLine(const char* text, size_t len) override {
        if (maxLines_ == 0 || lines.size() < maxLines_) lines.emplace_back(text, len);
    }
    void AppendToLastLine(const char* text, size_t len) override { lines.back().append(text, len); }
    void DeleteLine(size_t index) override { lines.erase(lines.begin() + static_cast<long>(index)); }

    std::vector<std::string> lines;

private:
    size_t maxLines_;
};

}  // namespace vantor
