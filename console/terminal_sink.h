// The console on a terminal or a pipe: the text as printed, with ANSI colours
// and styles only when asked for.
#pragma once

#include <cstdio>

#include "console/console.h"

namespace vantor {

// True when standard output is a terminal (the "auto" colour choice).
bool StdoutIsTerminal();

class TerminalSink : public ConsoleSink {
public:
    // escapes: wrap coloured or styled pieces in ANSI sequences. Without them
    // the output is the messages' bytes exactly.
    // Lines are flushed one by one only when `out` is a terminal.
    explicit TerminalSink(std::FILE* out = stdout, bool escapes = false);
    ~TerminalSink() override;
    void Append(const char* text, size_t len, uint32_t colour, uint8_t style) override;

private:
    std::FILE* out_;
    bool escapes_;
    bool lineFlush_;
};

}  // namespace vantor
