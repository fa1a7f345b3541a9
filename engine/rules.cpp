#include "engine/rules.h"

#include <atomic>
#include <cstdio>
#include <cstring>
#include <string>
#include <string_view>

#include "config/filerecord.h"
#include "config/settings.h"
#include "console/console.h"

namespace vantor {

namespace {

std::atomic<ViolationSink> violationSink{nullptr};

// A split repairs the line only in Apply mode; Check reports what a split
// would not fix.
inline bool Rewriting() { return Settings.Indenter; }

void ReportFormatted(ctxFichier& ctx, const char* rule, const char* format, int32_t a, int32_t b = 0) {
    char text[96];
    std::snprintf(text, sizeof text, format, a, b);
    ReportViolation(ctx, text, rule);
}

constexpr char kIgnore[] = "vantor-ignore";
constexpr size_t kIgnoreLen = sizeof kIgnore - 1;

bool IsIdentifierChar(char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '_';
}

// True when a "//" or "/*" opens before `at` on the line: the word is in a comment
// (a string that merely spells it does not count, as far as one line can tell).
bool AfterCommentStart(const char* line, size_t at) {
    for (size_t i = 0; i + 1 < at; ++i)
        if (line[i] == '/' && (line[i + 1] == '/' || line[i + 1] == '*')) return true;
    return false;
}

// Does the rule list "(a, b)" starting at `p` name `rule`?
bool ListNames(const char* p, const char* end, const char* rule) {
    const size_t want = rule ? std::strlen(rule) : 0;
    ++p;  // "("
    while (p < end && *p != ')') {
        while (p < end && (*p == ' ' || *p == '\t' || *p == ',')) ++p;
        const char* from = p;
        while (p < end && IsIdentifierChar(*p)) ++p;
        if (rule && static_cast<size_t>(p - from) == want && std::memcmp(from, rule, want) == 0) return true;
        if (p == from) break;  // neither a name nor a separator: the list ends
    }
    return false;
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
ViolationSink GetViolationSink() { return violationSink.load(); }

bool LineSuppresses(const std::string& line, const char* rule) {
    const char* text = line.data();
    const char* end = text + line.size();
    for (size_t at = line.find(kIgnore); at != std::string::npos; at = line.find(kIgnore, at + kIgnoreLen)) {
        const char* after = text + at + kIgnoreLen;
        if (at > 0 && IsIdentifierChar(text[at - 1])) continue;
        if (after < end && (*after == '-' || IsIdentifierChar(*after))) continue;  // vantor-ignore-file, ...
        if (!AfterCommentStart(text, at)) continue;
        if (after < end && *after == '(') {
            if (ListNames(after, end, rule)) return true;
            continue;
        }
        return true;
    }
    return false;
}

bool FileSuppressed(const char* data, size_t size) {
    constexpr char kFile[] = "vantor-ignore-file";
    constexpr size_t kFileLen = sizeof kFile - 1;
    const char* p = data;
    const char* end = data + size;
    for (int n = 0; n < 20 && p < end; ++n) {
        const char* nl = static_cast<const char*>(std::memchr(p, '\n', static_cast<size_t>(end - p)));
        const char* lineEnd = nl ? nl : end;
        const std::string_view line(p, static_cast<size_t>(lineEnd - p));
        for (size_t at = line.find(kFile); at != std::string_view::npos; at = line.find(kFile, at + 1)) {
            const size_t after = at + kFileLen;
            if ((after == line.size() || !IsIdentifierChar(line[after])) && AfterCommentStart(p, at)) return true;
        }
        if (!nl) break;
        p = nl + 1;
    }
    return false;
}

void ReportViolation(ctxFichier& ctx, const char* text, const char* rule) {
    const int32_t line = (Settings.Indenter && !Settings.couverture) ? ctx.outputLineNumber : ctx.lineNumber;
    // Only rule reports can be silenced; the engine's own warnings always show.
    if (rule != nullptr && (ctx.checkSuppressed || LineSuppresses(ctx.line, rule))) return;
    ++ctx.violationCount;
    size_t len = std::strlen(text);
    // Some messages carry their own "\n"; the report ends the line once.
    if (len > 0 && text[len - 1] == '\n') --len;
    if (ViolationSink sink = violationSink.load()) {
        const int32_t column = ctx.column - ctx.lineStart > 0 ? ctx.column - ctx.lineStart : 1;
        // A worker of a parallel run keeps the report for the main thread.
        FileRecord* record = RecordingFile();
        if (len == std::strlen(text)) {
            if (record != nullptr)
                record->Violation(line, column, rule, text);
            else
                sink(ctx, line, column, rule, text);
        } else {
            std::string trimmed(text, len);
            if (record != nullptr)
                record->Violation(line, column, rule, trimmed.c_str());
            else
                sink(ctx, line, column, rule, trimmed.c_str());
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
    if (Settings.checkMode) ReportViolation(ctx, Tr("} non aligné", "} not aligned"), rule::kAligner);
    return false;
}

bool RuleOpeningBraceAligned(ctxFichier& ctx, bool firstOfLine) {
    if (!Settings.aligner || firstOfLine) return false;
    if (Rewriting()) return true;
    if (Settings.checkMode) ReportViolation(ctx, "...{", rule::kAligner);
    return false;
}

bool OneInstructionPerLineSlow(ctxFichier& ctx, int32_t& instructionsOnLine) {
    if (ctx.inAsm || ctx.isAssembler) return false;
    instructionsOnLine = 0;
    // The caller cuts, then clears `structuralLine`: the head it cuts off
    // (a case label, say) must keep its own.
    if (Rewriting()) return true;
    if (Settings.checkMode) ReportViolation(ctx, Tr(">1 instruction par ligne", ">1 instruction per line"), rule::kMonoInstruction);
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
        ReportFormatted(ctx, rule::kCaracteres, Tr("longueur ligne>%d", "line length>%d"), Settings.caracteres);
    return false;
}

void RuleBraceNesting(ctxFichier& ctx) {
    if (Settings.checkMode && ctx.braceDepth > Settings.imbrications)
        ReportFormatted(ctx, rule::kImbrications, "%d'{'>%d", ctx.braceDepth, Settings.imbrications);
}

void RuleFunctionInstructions(ctxFichier& ctx) {
    if (Settings.checkMode && ctx.functionInstructions > Settings.instructions)
        ReportFormatted(ctx, rule::kInstructions, "%d instructionsInFunction>%d", ctx.functionInstructions, Settings.instructions);
}

void RuleCaseWithoutBreak(ctxFichier& ctx) {
    if (Settings.checkMode && Settings.breakSurCase && !ctx.Top().exitSeen)
        ReportViolation(ctx, Tr("case sans break", "case without break"), rule::kBreakSurCase);
}

void RuleConditionalOperator(ctxFichier& ctx) {
    if (Settings.checkMode && Settings.noInterrog) ReportViolation(ctx, "instruction ? :", rule::kNoInterrog);
}

void RuleExtraClosingParenthesis(ctxFichier& ctx) {
    if (Settings.checkMode)
        ReportViolation(
            ctx, Tr("erreur trop de parentheses fermantes\n", "erreur too much closing parenthesis\n"), rule::kParentheses);
}

bool ForbiddenWordSlow(ctxFichier& ctx) {
    if (Settings.checkMode) ReportViolation(ctx, ctx.token.c_str(), rule::kMotsInterdits);
    return true;
}

}  // namespace vantor
