// The output console: every report of every unit goes through it, from the
// main thread or from the one batch worker.
#pragma once

#include <cstddef>
#include <cstdint>

namespace vantor {

// Colours: blue in bits 16-23, green 8-15, red 0-7.
constexpr uint32_t kColorRed = 255;
constexpr uint32_t kColorGreen = 32768;

// Font styles, a set in one byte.
enum : uint8_t { fsBold = 1, fsItalic = 2, fsUnderline = 4, fsStrikeOut = 8 };

constexpr size_t kConsoleBufferSize = 2000;  // with the terminator

// Where delivered messages end up: the terminal, the window's rich-text pane,
// a memo, or a recorder in the tests. Append is only ever called on the
// console's main thread, under the console lock.
class ConsoleSink {
public:
    virtual ~ConsoleSink() = default;
    virtual void Append(const char* text, size_t len, uint32_t colour, uint8_t style) = 0;
    // The pane's own font colour and style, used by ConsolePrint.
    virtual uint32_t DefaultColour() const { return 0; }
    virtual uint8_t DefaultStyle() const { return 0; }
};

class TConsole;
extern TConsole console;  // the process-wide console

// Binds the console to a sink and makes the calling thread its main thread.
// memoMode: plain-text memo rules (no colours or styles, line-open handling).
void ConsoleAttach(TConsole* c, ConsoleSink* sink, bool memoMode = false);
void ConsoleDetach(TConsole* c);

int ConsolePrint(TConsole* c, const char* format, ...) __attribute__((format(printf, 2, 3)));
int ConsolePrintColor(TConsole* c, uint32_t colour, const char* format, ...)
    __attribute__((format(printf, 3, 4)));
int ConsolePrintStyle(TConsole* c, uint8_t style, const char* format, ...)
    __attribute__((format(printf, 3, 4)));

void ConsoleFreeze(TConsole* c);
void ConsoleUnfreeze(TConsole* c);

}  // namespace vantor
