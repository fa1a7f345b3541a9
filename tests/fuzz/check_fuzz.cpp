// Arbitrary bytes as a source file through the line engine, as the Check
// command drives it. The first byte picks the file kind and a few settings so
// that the rewriting paths (splits and restarts) are reached too.
#include <cstddef>
#include <cstdint>
#include <string>

#include "config/settings.h"
#include "console/console.h"
#include "engine/ctxfichier.h"
#include "engine/lineengine.h"

using namespace vantor;

namespace {

class DiscardSink : public ConsoleSink {
public:
    void Append(const char*, size_t, uint32_t, uint8_t) override {}
};

DiscardSink discard;
Dictionary dictionary;

// The pipeline reads at most 999 characters per line.
constexpr size_t kMaxPiece = 999;

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static bool ready = [] {
        ConsoleAttach(&console, &discard);
        dictionary.Add("count", "total");
        dictionary.Add("x", "");
        return true;
    }();
    (void)ready;
    if (size == 0) return 0;

    const uint8_t mode = data[0];
    ResetSettings();
    Settings.checkMode = true;
    Settings.Indenter = (mode & 1) != 0;
    Settings.noInterrog = (mode & 2) != 0;
    Settings.dictionaryMode = Settings.replaceMode = (mode & 4) != 0;
    Settings.accolades = (mode & 8) != 0;
    Settings.caracteres = (mode & 16) ? 10 : 80;
    Settings.imbrications = (mode & 32) ? 1 : 8;
    French = (mode & 64) != 0;
    static const char* const kNames[] = {"f.c", "f.s"};

    ctxFichier ctx;
    ctx.SetFile(kNames[(mode >> 7) & 1]);
    ctx.lineNumber = 1;
    ctx.outputLineNumber = 1;
    const char* text = reinterpret_cast<const char*>(data + 1);
    const size_t n = size - 1;
    size_t from = 0;
    while (from < n) {
        size_t end = from;
        while (end < n && end - from < kMaxPiece && text[end] != '\n') ++end;
        if (end < n && text[end] == '\n') ++end;
        ctx.line.assign(text + from, end - from);
        ProcessLine(ctx, &dictionary);
        if (ctx.blockTop < 0 || ctx.blockTop >= kBlockSlots || ctx.parenDepth < 0 || ctx.braceDepth < 0)
            __builtin_trap();
        if (!ctx.inFunction) ctx.outputLines.clear();
        ++ctx.lineNumber;
        ++ctx.outputLineNumber;
        from = end;
    }
    return 0;
}
