// The rule checks and their one way of reporting a violation. Each test runs
// at a fixed point of the line engine or of PopBlock; in Apply mode several of
// them ask for a repair (a line split) instead of a report.
#pragma once

#include <cstdint>

#include "config/settings.h"
#include "engine/ctxfichier.h"

namespace vantor {

// Prints "%04d:%s\n" in red (one trailing "\n" of the text is not doubled) and
// counts the report in `violationCount`. The line is `outputLineNumber` when
// the run rewrites the file without instrumenting it, else `lineNumber`.
// `rule` is the id of the rule broken (the settings key that governs it), null
// for the engine's own warnings. A report whose line carries a "vantor-ignore"
// comment naming that rule (or none), or in a file marked "vantor-ignore-file",
// is neither printed nor counted.
void ReportViolation(ctxFichier& ctx, const char* text, const char* rule = nullptr);

// A process-wide observer for editors and CI: when set, every report goes to it
// instead of the console (text without its line end; `column` is the 1-based
// byte column of the token that broke the rule). nullptr restores the console.
using ViolationSink = void (*)(const ctxFichier& ctx, int32_t line, int32_t column, const char* rule,
                               const char* text);
void SetViolationSink(ViolationSink sink);
ViolationSink GetViolationSink();

// Suppression comments. A "vantor-ignore" in a comment of `line` silences every
// rule on it, "vantor-ignore(RULE,...)" the rules named.
bool LineSuppresses(const std::string& line, const char* rule);
// "vantor-ignore-file" in a comment of the first 20 lines of `data` turns Check off for the file.
bool FileSuppressed(const char* data, size_t size);

// The rule ids, as the settings keys name them.
namespace rule {
constexpr const char* kInstructions = "instructions";
constexpr const char* kFonctions = "fonctions";
constexpr const char* kImbrications = "imbrications";
constexpr const char* kCaracteres = "caracteres";
constexpr const char* kAligner = "aligner";
constexpr const char* kBreakSurCase = "breakSurCase";
constexpr const char* kMonoInstruction = "monoInstruction";
constexpr const char* kNoInterrog = "noInterrog";
constexpr const char* kMotsInterdits = "MotsInterdits";
constexpr const char* kParentheses = "parentheses";
constexpr const char* kBlocs = "blocs";
}  // namespace rule

// Rules with an Apply repair return true when the line must be split before
// the current token (the caller splits and restarts its token loop); otherwise
// they report in Check mode.
bool RuleClosingBraceAligned(ctxFichier& ctx, bool firstOfLine);
bool RuleOpeningBraceAligned(ctxFichier& ctx, bool firstOfLine);
// The rest of a rule once its cheap tests, inline below, have passed: those
// run for every token and nearly always end it.
bool OneInstructionPerLineSlow(ctxFichier& ctx, int32_t& instructionsOnLine);
bool ForbiddenWordSlow(ctxFichier& ctx);

// `instructionsOnLine` is cleared by the report and by the repair.
inline bool RuleOneInstructionPerLine(ctxFichier& ctx, int32_t& instructionsOnLine) {
    if (instructionsOnLine != 1 || !Settings.monoInstruction) return false;
    return OneInstructionPerLineSlow(ctx, instructionsOnLine);
}
// The token ends past the line length limit, measured in the output line
// being built (Apply may have cut the line).
inline bool PastLineLength(const ctxFichier& ctx) {
    const int64_t lastColumn =
        static_cast<int64_t>(ctx.column) - ctx.lineStart + static_cast<int64_t>(ctx.token.size()) - 1;
    return lastColumn > Settings.caracteres;
}
bool RuleLineLength(ctxFichier& ctx, bool firstOfLine);

// Report-only rules (Check mode).
void RuleBraceNesting(ctxFichier& ctx);
void RuleFunctionInstructions(ctxFichier& ctx);
void RuleCaseWithoutBreak(ctxFichier& ctx);
void RuleConditionalOperator(ctxFichier& ctx);
void RuleExtraClosingParenthesis(ctxFichier& ctx);
// True when the token is in the forbidden-word list (reported in Check mode).
inline bool RuleForbiddenWord(ctxFichier& ctx) {
    if (Settings.MotsInterdits.Empty() || !Settings.MotsInterdits.Contains(ctx.token.View())) return false;
    return ForbiddenWordSlow(ctx);
}

}  // namespace vantor
