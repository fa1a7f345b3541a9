#include "engine/rules.h"

#include <atomic>
#include <cstdio>
#include <cstring>
#include <string>

#include "config/settings.h"
#include "console/console.h"

namespace vantor {

namespace {

std::atomic<ViolationSink> violationSink{nullptr};

// A split repairs the line only in Apply mode; Check reports what a split
// would not fix.
inline bool Rewriting() { return Settings.Indenter; }

void ReportFormatted(ctxFichier& ctx, const char* format, int32_t a, int32_t b = 0) {
    char text[96];
    std::snprintf(text, sizeof text, format, a, b);
    ReportViolation(ctx, text);
}

// "%04d" of a line number.
size_t FormatLineNumber(char* out, int32_t n) {
    char digits[12];
    size_t k = 0;
    uint32_t v = n < 0 ? static_cast<uint32_t>(-static_cast<int64_t>(n)) : static_cast<uint32_t>(n);
    do {
        digits[k++] = static_cast<char>('0' + v % 10);
        v /= 10;
    } while (v != 0);
    size_t at = 0;
    if (n < 0) out[at++] = '-';
    for (size_t width = k + (n < 0 ? 1 : 0); width < 4; ++width) out[at++] = '0';
    while (k > 0) out[at++] = digits[--k];
    return at;
}

}  // namespace

void SetViolationSink(ViolationSink sink) { violationSink.store(sink); }

void ReportViolation(ctxFichier& ctx, const char* text) {
    const int32_t line = (Settings.Indenter && !Settings.couverture) ? ctx.outputLineNumber : ctx.lineNumber;
    ++ctx.violationCount;
    size_t len = std::strlen(text);
    // Some messages carry their own "\n"; the report ends the line once.
    if (len > 0 && text[len - 1] == '\n') --len;
    if (ViolationSink sink = violationSink.load()) {
        if (len == std::strlen(text)) {
            sink(ctx, line, text);
        } else {
            std::string trimmed(text, len);
            sink(ctx, line, trimmed.c_str());
        }
        return;
    }
    // "%04d:%s\n", made here: printf-style formatting cost more than finding the fault.
    char out[kConsoleBufferSize];
    size_t at = FormatLineNumber(out, line);
    out[at++] = ':';
    const size_t room = sizeof out - at - 2;
    const size_t take = len < room ? len : room;
    std::memcpy(out + at, text, take);
    at += take;
    out[at++] = '\n';
    out[at] = '\0';
    ConsoleWriteColor(&console, kColorRed, out);
}

bool RuleClosingBraceAligned(ctxFichier& ctx, bool firstOfLine) {
    if (!Settings.aligner || firstOfLine) return false;
    if (Rewriting()) return true;
    if (Settings.checkMode) ReportViolation(ctx, Tr("} non aligné", "} not aligned"));
    return false;
}

bool RuleOpeningBraceAligned(ctxFichier& ctx, bool firstOfLine) {
    if (!Settings.aligner || firstOfLine) return false;
    if (Rewriting()) return true;
    if (Settings.checkMode) ReportViolation(ctx, "...{");
    return false;
}

bool OneInstructionPerLineSlow(ctxFichier& ctx, int32_t& instructionsOnLine) {
    if (ctx.inAsm || ctx.isAssembler) return false;
    instructionsOnLine = 0;
    // The caller cuts, then clears `structuralLine`: the head it cuts off
    // (a case label, say) must keep its own.
    if (Rewriting()) return true;
    if (Settings.checkMode) ReportViolation(ctx, Tr(">1 instruction par ligne", ">1 instruction per line"));
    return false;
}

bool RuleLineLength(ctxFichier& ctx, bool firstOfLine) {
    const TokenText& t = ctx.token;
    // The tail of a string continued from the previous line is not measured.
    if (t.size() > 1 && t.back() == '"' && t.front() != '"') return false;
    if (!PastLineLength(ctx)) return false;
    // A first token that alone passes the limit cannot be repaired by a split.
    if (Rewriting() && !firstOfLine) return true;
    if (Settings.checkMode)
        ReportFormatted(ctx, Tr("longueur ligne>%d", "line length>%d"), Settings.caracteres);
    return false;
}

void RuleBraceNesting(ctxFichier& ctx) {
    if (Settings.checkMode && ctx.braceDepth > Settings.imbrications)
        ReportFormatted(ctx, "%d'{'>%d", ctx.braceDepth, Settings.imbrications);
}

void RuleFunctionInstructions(ctxFichier& ctx) {
    if (Settings.checkMode && ctx.functionInstructions > Settings.instructions)
        ReportFormatted(ctx, "%d instructionsInFunction>%d", ctx.functionInstructions, Settings.instructions);
}

void RuleCaseWithoutBreak(ctxFichier& ctx) {
    if (Settings.checkMode && Settings.breakSurCase && !ctx.Top().exitSeen)
        ReportViolation(ctx, Tr("case sans break", "case without break"));
}

void RuleConditionalOperator(ctxFichier& ctx) {
    if (Settings.checkMode && Settings.noInterrog) ReportViolation(ctx, "instruction ? :");
}

void RuleExtraClosingParenthesis(ctxFichier& ctx) {
    if (Settings.checkMode)
        ReportViolation(
            ctx, Tr("erreur trop de parentheses fermantes\n", "erreur too much closing parenthesis\n"));
}

bool ForbiddenWordSlow(ctxFichier& ctx) {
    if (Settings.checkMode) ReportViolation(ctx, ctx.token.c_str());
    return true;
}

}  // namespace vantor
