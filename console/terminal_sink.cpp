#include "console/terminal_sink.h"

#include <cstring>

#ifdef _WIN32
#include <io.h>
#define VANTOR_ISATTY(fd) _isatty(fd)
#define VANTOR_FILENO(f) _fileno(f)
#else
#include <unistd.h>
#define VANTOR_ISATTY(fd) isatty(fd)
#define VANTOR_FILENO(f) fileno(f)
#endif

namespace vantor {

bool StdoutIsTerminal() { return VANTOR_ISATTY(VANTOR_FILENO(stdout)) != 0; }

TerminalSink::TerminalSink(std::FILE* out, bool escapes)
    : out_(out), escapes_(escapes), lineFlush_(VANTOR_ISATTY(VANTOR_FILENO(out)) != 0) {}

TerminalSink::~TerminalSink() { std::fflush(out_); }

// Builds the SGR sequence for a colour and style; empty for plain text.
static size_t StartSequence(char* seq, size_t size, uint32_t colour, uint8_t style) {
    size_t n = 0;
    auto add = [&](const char* code) { n += std::snprintf(seq + n, size - n, "%s%s", n ? ";" : "\x1b[", code); };
    if (style & fsBold) add("1");
    if (style & fsItalic) add("3");
    if (style & fsUnderline) add("4");
    if (style & fsStrikeOut) add("9");
    if (colour == kColorRed) {
        add("31");
    } else if (colour == kColorGreen) {
        add("32");
    } else if (colour != 0) {
        char rgb[24];
        std::snprintf(rgb, sizeof rgb, "38;2;%u;%u;%u", colour & 0xFF, (colour >> 8) & 0xFF, (colour >> 16) & 0xFF);
        add(rgb);
    }
    if (n) n += std::snprintf(seq + n, size - n, "m");
    return n;
}

void TerminalSink::Append(const char* text, size_t len, uint32_t colour, uint8_t style) {
    char seq[64];
    size_t seqLen = escapes_ ? StartSequence(seq, sizeof seq, colour, style) : 0;
    if (seqLen == 0) {
        std::fwrite(text, 1, len, out_);
    } else {
        // Reset before the closing line end, so that every line stands on its own.
        size_t body = (len > 0 && text[len - 1] == '\n') ? len - 1 : len;
        std::fwrite(seq, 1, seqLen, out_);
        std::fwrite(text, 1, body, out_);
        std::fputs("\x1b[0m", out_);
        std::fwrite(text + body, 1, len - body, out_);
    }
    // A person watching a terminal sees each line as it is finished; into a
    // pipe or a file the C library's buffering saves a write per line, which
    // on a large tree with many reports is most of the output cost.
    if (lineFlush_ && std::memchr(text, '\n', len)) std::fflush(out_);
}

}  // namespace vantor
