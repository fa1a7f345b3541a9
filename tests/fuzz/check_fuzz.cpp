// Arbitrary bytes as a source file through the line engine, as the Check and
// Apply commands drive it. The first byte picks the file kind and a few
// settings, the second the rewriting options, so that the rewriting paths
// (cuts, insertions, restarts) are reached too. Under Apply the output must
// hold the input's text: the same characters apart from white space, with
// only "{" and "}" added, and no new backslash at a line end. Inputs it once
// failed on stay in check_regressions/ (replay: check_fuzz check_regressions/*).
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

inline bool IsWhite(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; }

// `after` without white space is `before` without white space, with braces added.
bool KeepsText(const std::string& before, const std::string& after) {
    size_t i = 0;
    for (const char c : after) {
        if (IsWhite(c)) continue;
        while (i < before.size() && IsWhite(before[i])) ++i;
        if (i < before.size() && before[i] == c)
            ++i;
        else if (c != '{' && c != '}')
            return false;
    }
    while (i < before.size() && IsWhite(before[i])) ++i;
    return i == before.size();
}

// Backslashes that end a line: a cut must never make one (it would join two
// lines), and no line is ever joined.
size_t LineSplices(const std::string& text) {
    size_t count = 0;
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] != '\\') continue;
        size_t j = i + 1;
        while (j < text.size() && text[j] == '\r') ++j;
        if (j >= text.size() || text[j] == '\n') ++count;
    }
    return count;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static bool ready = [] {
        ConsoleAttach(&console, &discard);
        dictionary.Add("count", "total");
        dictionary.Add("x", "");
        return true;
    }();
    (void)ready;
    if (size < 2) return 0;

    const uint8_t mode = data[0];
    const uint8_t rewrite = data[1];
    ResetSettings();
    Settings.checkMode = true;
    Settings.Indenter = (mode & 1) != 0;
    Settings.noInterrog = (mode & 2) != 0;
    Settings.dictionaryMode = Settings.replaceMode = (mode & 4) != 0;
    Settings.accolades = (mode & 8) != 0;
    Settings.caracteres = (mode & 16) ? 10 : 80;
    Settings.imbrications = (mode & 32) ? 1 : 8;
    French = (mode & 64) != 0;
    Settings.aligner = (rewrite & 1) == 0;
    Settings.monoInstruction = (rewrite & 2) == 0;
    static const int32_t kSteps[] = {3, 0, 1, 8};
    Settings.lnIndentation = kSteps[(rewrite >> 2) & 3];
    Settings.rtlf = (rewrite & 16) != 0;
    static const char* const kNames[] = {"f.c", "f.s"};

    ctxFichier ctx;
    ctx.SetFile(kNames[(mode >> 7) & 1]);
    ctx.lineNumber = 1;
    ctx.outputLineNumber = 1;
    const char* text = reinterpret_cast<const char*>(data + 2);
    const size_t n = size - 2;
    std::string output;
    // Apply's lines may also go straight into the output, as in the pipeline.
    if (Settings.Indenter && !Settings.dictionaryMode && (rewrite & 32) != 0) ctx.directOutput = &output;
    // Whole lines, whatever their length, as the pipeline reads them.
    size_t from = 0;
    while (from < n) {
        size_t end = from;
        while (end < n && text[end] != '\n') ++end;
        if (end < n) ++end;
        ctx.line.assign(text + from, end - from);
        ProcessLine(ctx, &dictionary);
        if (ctx.blockTop < 0 || ctx.blockTop >= kBlockSlots || ctx.parenDepth < 0 || ctx.braceDepth < 0)
            __builtin_trap();
        for (const std::string& l : ctx.outputLines) output += l;
        ctx.outputLines.clear();
        ++ctx.lineNumber;
        ++ctx.outputLineNumber;
        from = end;
    }
    // Replace changes names on purpose; everything else only moves white space.
    if (Settings.Indenter && !Settings.replaceMode) {
        const std::string input(text, n);
        if (!KeepsText(input, output) || LineSplices(input) != LineSplices(output)) __builtin_trap();
    }
    return 0;
}
