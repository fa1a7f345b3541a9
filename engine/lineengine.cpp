// One pass over the tokens of a line: structure (comments, preprocessor lines,
// braces, parentheses, unbraced statements, function bodies), counts, rules,
// rewriting hooks and the line output. The steps of a token run in a fixed
// order; several of them may rewrite the line and restart the loop at the
// token now at `column`, which then runs through every step again.
#include "engine/lineengine.h"

#include <cstring>
#include <string_view>

#include "config/wholetoken.h"
#include "coverage/coverage_hooks.h"
#include "design/emitline.h"
#include "design/matrix_hooks.h"
#include "design/pseudocode.h"
#include "engine/blockstack.h"
#include "engine/bytescan.h"
#include "engine/methods.h"
#include "engine/reader.h"
#include "engine/reformat.h"
#include "engine/rules.h"
#include "platform/text.h"

namespace vantor {

namespace {

// Restarts of one token without it being completed. A token is legitimately
// restarted a handful of times at most (one per repair); beyond that the line
// is left as it stands rather than loop.
constexpr int kMaxRestartsPerToken = 32;

enum class Flow { Next, Restart, Stop };

// Values kept for the duration of one call.
struct LineState {
    ctxFichier& ctx;
    const Dictionary* dictionary;
    bool firstToken;  // the next token is the first of a (logical) line
    bool isFirst = false;
    int32_t instructionsOnLine = 0;
    int32_t targetColumn = 0;
    bool lineHasCode = false;
    bool keyword = false;        // the token was handled as a statement keyword
    bool braceInParens = false;  // the token is a "}" that ends no statement (see CloseBrace)
    // Closing braces the reformatter put into the line and the loop has not
    // read yet: they are the next "}" tokens, and close inserted braces only.
    int32_t insertedClosers = 0;
    bool stringTail = false;  // the token is the rest of a string begun on an earlier line
    // Design: the output column at which a "/*" stood before the cut that put
    // it first on its line; 0 when no such cut is pending.
    int32_t commentCutFrom = 0;
    // The words of a comment matter only to Design and to the dictionary: the
    // other commands pass over them without reading them one by one.
    bool skipComments = false;
    // The run's modes, read once per line rather than at every token.
    bool design = false;
    bool lookUpWords = false;  // Search or Replace, whole tokens
    bool insertsBraces = false;
    bool methodes = false;  // the Methodes setting: heads outside functions are read
};

// Every cut starts a new output line: its token is first, and the statements
// counted on the line before do not count on it. A line that would end in a
// backslash is not cut: the compiler would join the next line to it. False
// then; the token goes on where it is.
bool CutLine(LineState& s) {
    const ctxFichier& ctx = s.ctx;
    size_t end = static_cast<size_t>(ctx.column) - 1;
    if (end > ctx.line.size()) end = ctx.line.size();
    while (end > static_cast<size_t>(ctx.lineStart) &&
           (ctx.line[end - 1] == ' ' || ctx.line[end - 1] == '\t' || ctx.line[end - 1] == '\r'))
        --end;
    if (end > static_cast<size_t>(ctx.lineStart) && ctx.line[end - 1] == '\\') return false;
    SplitLine(s.ctx);
    s.firstToken = true;
    s.instructionsOnLine = 0;
    return true;
}

// The one-instruction cut: the head goes out with what it was; the rest is
// a plain statement until a token says otherwise.
bool CutForOneInstruction(LineState& s) {
    if (!RuleOneInstructionPerLine(s.ctx, s.instructionsOnLine)) return false;
    const bool cut = CutLine(s);
    s.ctx.structuralLine = false;
    return cut;
}

inline bool IsLoopOrSwitch(int32_t kind) { return kind == While || kind == For || kind == Switch; }

// Any text with size() and data(): a std::string or a TokenText.
template <class Text, size_t N>
inline bool Is(const Text& s, const char (&lit)[N]) {
    return s.size() == N - 1 && std::memcmp(s.data(), lit, N - 1) == 0;
}

// A token's text is followed by a NUL: an empty one needs no test of its own.
inline bool StartsWord(const TokenText& t) {
    const unsigned char c = static_cast<unsigned char>(t[0]);
    return c == '_' || IsAsciiLetter(c);
}

// A code token other than "*/": what counts as code for the structure.
inline bool IsCodeToken(const ctxFichier& ctx) { return ctx.IsCode() && !Is(ctx.token, "*/"); }

// A token that begins a comment the Design page shows as a line of its own. A
// "/*" inside a line comment opens nothing and is left where it is.
bool StartsDesignComment(const ctxFichier& ctx) {
    const TokenText& t = ctx.token;
    if (Is(t, "//")) return true;
    if (Is(t, "/*")) return ctx.inBlockComment;
    return (ctx.inAsm || ctx.isAssembler) && (Is(t, "#") || Is(t, ";"));
}

// Operators that give a statement content (and, mostly, make it executable).
bool IsContentOperator(const TokenText& t) {
    switch (t.size()) {
        case 1:
            switch (t[0]) {
                case '=':
                case '+':
                case '-':
                case '%':
                case '/':
                case '<':
                case '>':
                case '!':
                case '~':
                    return true;
                default:
                    return false;
            }
        case 2:
            return Is(t, "+=") || Is(t, "-=") || Is(t, "<<") || Is(t, "++") || Is(t, "--") || Is(t, "<=");
        default:
            return false;
    }
}

// The text taken from a version-log line: up to `limit` characters from `from`,
// without the line end.
std::string TakeUntilLineEnd(const std::string& line, size_t from, size_t limit) {
    if (from >= line.size()) return std::string();
    size_t end = from;
    while (end < line.size() && end - from < limit && line[end] != '\r' && line[end] != '\n') ++end;
    return line.substr(from, end - from);
}

// The file's leading comment names its archive on the "$Log:" line and its
// revision on the first "Rev " line.
void CaptureVersionLog(ctxFichier& ctx) {
    const std::string& line = ctx.line;
    const bool wantLog = ctx.logArchive.empty();
    const bool wantRevision = Is(ctx.version, "?");
    if (!wantLog && !wantRevision) return;
    // The first "$Log:" and the first "Rev " in one pass: most lines hold
    // neither, and an "R" is frequent.
    size_t logAt = std::string::npos;
    size_t revisionAt = std::string::npos;
    const size_t n = line.size();
    const char* p = line.data();
    for (size_t i = 0; (i = FindAnyOf<'$', 'R'>(line, i)) < n; ++i) {
        if (p[i] == '$') {
            if (logAt == std::string::npos && n - i >= 5 && std::memcmp(p + i, "$Log:", 5) == 0) logAt = i;
        } else if (revisionAt == std::string::npos && n - i >= 4 && std::memcmp(p + i, "Rev ", 4) == 0) {
            revisionAt = i;
        }
        if ((!wantLog || logAt != std::string::npos) && (!wantRevision || revisionAt != std::string::npos)) break;
    }
    if (wantLog && logAt != std::string::npos) {
        ctx.inVersionLog = true;
        ctx.logArchive = TakeUntilLineEnd(line, logAt + 8, 600);
        const size_t cut = ctx.logArchive.find("-arc  $");
        if (cut != std::string::npos) ctx.logArchive.resize(cut);
    }
    if (wantRevision && revisionAt != std::string::npos) {
        size_t i = revisionAt + 4;
        while (i < line.size() && line[i] == ' ') ++i;
        size_t end = i;
        while (end < line.size() && line[end] != ' ' && line[end] != '\t' && line[end] != '\r' && line[end] != '\n')
            ++end;
        ctx.version.assign(line, i, end - i);
    }
}

// The double quote at `at` opens a raw string: a prefix word stands right
// before it and a valid delimiter after it.
bool RawStringOpensAt(const std::string& line, size_t at) {
    size_t j = at;
    while (j > 0 && lex::IsWordChar(line[j - 1])) --j;
    if (j == at || (j > 0 && (line[j - 1] == '$' || line[j - 1] == '#'))) return false;
    return lex::IsRawStringPrefix(line.data() + j, at - j) && lex::RawDelimiterLength(line.c_str(), at) >= 0;
}

// A directive line: the preprocessor conditional sections it opens or closes
// ("#elif" and "#else" stay inside the section their "#if" opened).
void TrackConditional(ctxFichier& ctx) {
    const TokenText& t = ctx.token;
    if (Is(t, "#if") || Is(t, "#ifdef") || Is(t, "#ifndef")) {
        if (ctx.conditionalDepth < ctxFichier::kConditionalSlots)
            ctx.conditionalLine[ctx.conditionalDepth] = static_cast<int32_t>(ctx.outputLines.size());
        ++ctx.conditionalDepth;
    } else if (Is(t, "#endif") && ctx.conditionalDepth > 0) {
        --ctx.conditionalDepth;
    }
}

// Every tab becomes one blank, except inside string and character literals:
// rewriting must not change the program's data. A literal may run on from the
// line before through a backslash at its end, and a Java text block over many
// lines. True when a tab was replaced.
bool ExpandTabs(ctxFichier& ctx) {
    std::string& line = ctx.line;
    const size_t n = line.size();
    size_t last = n;
    while (last > 0 && (line[last - 1] == '\n' || line[last - 1] == '\r')) --last;
    const bool continued = last > 0 && line[last - 1] == '\\';
    char quote = ctx.literalRunsOn;
    ctx.literalRunsOn = 0;
    // Most indented lines start with their tab: no need to look for one.
    if (quote == 0 && !continued && (n == 0 || line[0] != '\t') && std::memchr(line.data(), '\t', n) == nullptr)
        return false;
    bool inComment = ctx.inBlockComment;
    bool textBlock = ctx.inTextBlock;
    bool changed = false;
    size_t from = 0;
    // A raw string begun on an earlier line: its text up to its end is data.
    if (ctx.inRawString) {
        from = lex::RawStringEnd(line, 0, ctx.rawDelimiter, static_cast<size_t>(ctx.rawDelimiterLength));
        if (from == std::string::npos) return false;
    }
    // Only these bytes change the state below or are replaced.
    for (size_t i = from; (i = FindAnyOf<'\t', '/', '*', '"', '\'', '\\'>(line, i)) < n; ++i) {
        const char c = line[i];
        const char next = i + 1 < n ? line[i + 1] : '\0';
        if (textBlock) {
            if (c == '\\')
                ++i;
            else if (line.compare(i, 3, "\"\"\"") == 0) {
                textBlock = false;
                i += 2;
            }
            continue;
        }
        if (quote != 0) {
            if (c == '\\')
                ++i;
            else if (c == quote)
                quote = 0;
            continue;
        }
        if (inComment) {
            if (c == '*' && next == '/') {
                inComment = false;
                ++i;
                continue;
            }
        } else if (c == '/' && next == '*') {
            inComment = true;
            ++i;
            continue;
        } else if (c == '/' && next == '/') {
            for (size_t j = i + 2; j < n; ++j) {
                if (line[j] == '\t') {
                    line[j] = ' ';
                    changed = true;
                }
            }
            break;
        } else if (c == '"' && RawStringOpensAt(line, i)) {
            // A raw string: nothing in it is replaced, up to its end.
            const size_t d = static_cast<size_t>(lex::RawDelimiterLength(line.c_str(), i));
            const size_t end = lex::RawStringEnd(line, i + 2 + d, line.data() + i + 1, d);
            if (end == std::string::npos) break;
            i = end - 1;
            continue;
        } else if (c == '"' || c == '\'') {
            quote = c;
            continue;
        }
        if (c == '\t') {
            line[i] = ' ';
            changed = true;
        }
    }
    // Still inside a literal at a backslash that ends the line: it goes on.
    if (quote != 0 && continued) ctx.literalRunsOn = quote;
    return changed;
}

// A "}" read as code. Returns true when the line was cut or text was inserted
// before it (the loop restarts at the token now at `column`).
bool CloseBrace(LineState& s) {
    ctxFichier& ctx = s.ctx;
    ctx.inAsm = false;
    ctx.atStatementStart = true;
    ctx.statementHasContent = false;
    // A brace inside parentheses (an initialiser list, a compound literal, a
    // lambda in an argument) stays within its expression's line.
    const bool inParens = ctx.parenDepth > 0;
    // The brace is first of its line while the line's first token is still pending.
    if (!inParens && RuleClosingBraceAligned(ctx, s.firstToken) && CutLine(s)) return true;
    // Every other cut before a "}" is made here too, before its pops: a cut
    // restarts the token, and the pops must run once.
    if (Settings.Indenter && !s.firstToken && !inParens) {
        if ((Is(ctx.lastLineToken, "{") || Is(ctx.lastLineToken, "}")) && CutLine(s)) {
            ctx.structuralLine = false;
            return true;
        }
        if (CutForOneInstruction(s)) return true;
    }
    ctx.statementContinues = false;
    ctx.structuralLine = true;
    // Braces inside parentheses (macro arguments, compound literals, lambdas)
    // close their own block but no statement around the call.
    s.braceInParens = ctx.parenDepth > 0;
    while (ctx.blockTop > 0 && ctx.Top().kind != Brace && ctx.Top().kind != Root) {
        if (ctx.Top().kind == If)
            CloseIfs(ctx);
        else
            PopBlock(ctx);
    }
    // A written "}" must close its own brace: braces the reformatter inserted
    // inside that block and left open are closed before it.
    if (s.insertedClosers == 0 && !s.braceInParens && ctx.Top().kind == Brace && ctx.Top().insertedBrace) {
        const int32_t n = InsertBracesAfterClosingBrace(ctx);
        if (n > 0) {
            // `firstToken` is still pending here: the inserted text is first
            // of its line exactly when the "}" was.
            s.insertedClosers += n;
            return true;
        }
    }
    if (ctx.Top().kind == Brace) {
        // The braces of an initialiser or of a value returned (a compound
        // literal) directly inside an inserted brace belong to the statement
        // the inserted brace holds: that statement goes on to its ";". (A
        // macro loop's body, `list_for_each(...) { }`, does end it.)
        const BlockEntry& below = ctx.blocks[ctx.blockTop - 1];
        if (ctx.blockTop > 1 && below.kind == Brace && below.insertedBrace &&
            (ctx.Top().initialiser || ctx.exitSeen))
            s.braceInParens = true;
        PopBlock(ctx);
        CoverageOnBraceClosed(ctx);
        const BlockEntry& top = ctx.Top();
        const int64_t target = static_cast<int64_t>(top.column) + (top.kind == Brace ? Settings.lnIndentation : 0);
        s.targetColumn = static_cast<int32_t>(target < 1 ? 1 : target > (1 << 24) ? (1 << 24) : target);
        --ctx.braceDepth;
    }
    // The block was the statement of an enclosing if, else, while or for.
    if (!s.braceInParens) ctx.Top().statementDone = true;
    return false;
}

void MarkExit(ctxFichier& ctx) {
    BlockEntry& top = ctx.Top();
    if (top.kind == Brace) {
        // The exit ends every brace level down to the first statement entry,
        // or to the body of the nested function (lambda, local method) it
        // returns from.
        for (int32_t i = ctx.blockTop; i >= 0; --i) {
            ctx.blocks[i].exitSeen = true;
            if (ctx.blocks[i].kind != Brace || IsNestedFunctionBody(ctx, i)) break;
        }
    } else if (top.kind == Case) {
        ++ctx.functionInstructions;
        CoverageOnInstruction(ctx);
        top.exitSeen = true;
    }
}

// Statement keywords inside a function body.
enum class Keyword { None, Label, Exit, Do, If, For, While, Else, Switch };

// The statement keyword a word is, if any: one comparison after its length.
Keyword KeywordOf(const TokenText& t) {
    switch (t.size()) {
        case 2:
            return Is(t, "do") ? Keyword::Do : Is(t, "if") ? Keyword::If : Keyword::None;
        case 3:
            return Is(t, "for") ? Keyword::For : Keyword::None;
        case 4:
            return Is(t, "case") ? Keyword::Label : Is(t, "else") ? Keyword::Else : Keyword::None;
        case 5:
            return Is(t, "break") ? Keyword::Exit : Is(t, "while") ? Keyword::While : Keyword::None;
        case 6:
            return Is(t, "return") ? Keyword::Exit : Is(t, "switch") ? Keyword::Switch : Keyword::None;
        case 7:
            return Is(t, "default") ? Keyword::Label : Keyword::None;
        case 8:
            return Is(t, "continue") ? Keyword::Exit : Keyword::None;
        default:
            return Keyword::None;
    }
}

void HandleKeyword(LineState& s) {
    ctxFichier& ctx = s.ctx;
    const int32_t topKind = ctx.Top().kind;
    switch (KeywordOf(ctx.token)) {
        case Keyword::Label:
            ctx.structuralLine = true;
            if (topKind != Case) {
                PushBlock(ctx, Case);
            } else if (ctx.Top().statementDone) {
                RuleCaseWithoutBreak(ctx);
                PopBlock(ctx);
                PushBlock(ctx, Case);
            }
            CoverageOnCaseKeyword(ctx);
            break;
        case Keyword::Exit:
            ctx.structuralLine = true;
            ctx.exitSeen = true;
            CoverageOnExit(ctx);
            MarkExit(ctx);
            break;
        case Keyword::Do:
            PushBlock(ctx, Do);
            break;
        case Keyword::If:
            ctx.atStatementStart = false;
            PushBlock(ctx, If);
            break;
        case Keyword::For:
            PushBlock(ctx, For);
            break;
        case Keyword::While:
            if (topKind == Do)
                ctx.doWhileTail = true;  // the push then pops the Do
            else
                CoverageOnWhile(ctx);
            PushBlock(ctx, While);
            break;
        case Keyword::Else:
            if (topKind == If) PopBlock(ctx);
            PushBlock(ctx, Else);
            break;
        case Keyword::Switch:
            PushBlock(ctx, Switch);
            break;
        case Keyword::None:
            return;
    }
    s.keyword = true;
    ctx.statementHasContent = true;
    ctx.executableStatement = true;
}

// A ":" that is half of "::" is a scope operator, not the end of a label.
bool IsScopeColon(const ctxFichier& ctx) {
    const size_t i = static_cast<size_t>(ctx.column) - 1;
    const std::string& line = ctx.line;
    const size_t start = static_cast<size_t>(ctx.lineStart);
    return (i + 1 < line.size() && line[i + 1] == ':') || (i > start && line[i - 1] == ':');
}

// Step 8.5: punctuation, first match wins.
Flow HandlePunctuation(LineState& s) {
    ctxFichier& ctx = s.ctx;
    const TokenText& t = ctx.token;
    if (t.size() != 1) return Flow::Next;
    switch (t[0]) {
        case '{':
            ctx.atStatementStart = true;
            ctx.statementHasContent = false;
            // Inside parentheses a brace is part of the expression: no cut.
            if (ctx.parenDepth == 0 && RuleOpeningBraceAligned(ctx, s.isFirst) && CutLine(s)) return Flow::Restart;
            ctx.statementContinues = false;
            PushBlock(ctx, Brace);
            ++ctx.braceDepth;
            RuleBraceNesting(ctx);
            break;
        case '(': {
            const TokenText& name = ctx.previousToken;
            if (!ctx.previousWasKeyword && StartsWord(name)) {
                // A called or defined name; at depth 0 the candidate function name.
                if (ctx.parenDepth == 0) ctx.functionName.assign(name.data(), name.size());
                if (ctx.blockTop > 0 && Settings.designMode && ctx.inFunction &&
                    Settings.callingMatrix != nullptr)
                    CallingMatrixAddCall(name.Str());
                if (ctx.inFunction && !Is(ctx.functionName, "sizeof")) ctx.executableStatement = true;
            }
            ctx.atStatementStart = false;
            ++ctx.parenDepth;
            ctx.statementHasContent = true;
            break;
        }
        case ')':
            if (ctx.parenDepth > 0)
                --ctx.parenDepth;
            else
                RuleExtraClosingParenthesis(ctx);
            ctx.atStatementStart = (ctx.parenDepth == 0);
            break;
        case '?':
            ctx.statementHasContent = true;
            ctx.executableStatement = true;
            ctx.atStatementStart = false;
            RuleConditionalOperator(ctx);
            break;
        case ':':
            ctx.statementHasContent = true;
            ctx.executableStatement = true;
            ctx.statementContinues = false;
            ctx.atStatementStart = false;
            // Only the colon that ends a case or default label; the colon of
            // a "?:" in the statements after it is part of an expression.
            if (ctx.Top().kind == Case && ctx.Top().branch != nullptr && ctx.Top().branch->labelOpen &&
                !IsScopeColon(ctx)) {
                ++s.instructionsOnLine;
                CoverageOnCaseLabel(ctx);
            }
            break;
        case ';':
            ctx.assignmentSeen = false;
            ctx.statementTokenCount = 0;
            if (ctx.braceDepth == 0) ctx.inAsm = false;
            // A ";" inside the parentheses of a for does not end a statement.
            if (ctx.parenDepth == 0) CoverageOnStatementEnd(ctx);
            ctx.doWhileTail = false;
            ctx.exitSeen = false;
            if (ctx.parenDepth == 0) {
                ctx.atStatementStart = true;
                ctx.statementContinues = false;
                if (ctx.statementHasContent) {
                    ++ctx.functionInstructions;
                    CoverageOnInstruction(ctx);
                }
                ctx.statementHasContent = false;
                ++s.instructionsOnLine;
                ctx.Top().statementDone = true;
                CloseStatement(ctx);
                if (ctx.Top().kind != Brace || ctx.Top().insertedBrace)
                    s.insertedClosers += InsertClosingBraces(ctx);
            }
            break;
        default:
            break;
    }
    return Flow::Next;
}

// Step 8.6: an operator that gives the statement content. After a "}" nothing
// happens here (the closing braces after it are inserted at the start of step 8).
void HandleAfterPunctuation(LineState& s) {
    ctxFichier& ctx = s.ctx;
    const TokenText& t = ctx.token;
    // Few tokens are such operators: that test goes first.
    if (!IsContentOperator(t) || Is(ctx.previousToken, "}")) return;
    const bool assign = Is(t, "=");
    if (assign && ctx.parenDepth == 0) ctx.assignmentSeen = true;
    ctx.statementHasContent = true;
    // A name and "=" is an executable assignment; a type, a name and "=" is
    // an initialised declaration.
    if (!assign || ctx.statementTokenCount == 2) ctx.executableStatement = true;
}

// Start of step 8: inserted braces that must close before this token does
// anything. After a written "}" (unless an else follows, or the "}" ended no
// statement), and before an "else" that an inserted brace still keeps from its
// if. Returns true when text was inserted (the loop restarts at it).
bool CloseInsertedBracesBefore(LineState& s) {
    ctxFichier& ctx = s.ctx;
    const TokenText& t = ctx.token;
    const BlockEntry& top = ctx.Top();
    bool due;
    if (Is(t, "else"))
        due = top.kind == Brace && top.insertedBrace;
    else  // a "}" has already popped in step 6: CloseBrace closed what had to go before it
        due = Is(ctx.previousToken, "}") && !Is(t, "}") && top.kind != Case && !ctx.braceClosedInParens;
    if (!due) return false;
    const int32_t n = InsertBracesAfterClosingBrace(ctx);
    if (n == 0) return false;
    s.insertedClosers += n;
    s.firstToken = s.isFirst;  // the inserted text is first exactly when the token was
    return true;
}

// The word at `column` directly follows a "." that directly follows a token
// beginning with a digit: the three make one number in the compiler's eyes.
bool TailOfNumber(const ctxFichier& ctx) {
    const std::string& line = ctx.line;
    size_t i = static_cast<size_t>(ctx.column) - 1;
    const size_t start = static_cast<size_t>(ctx.lineStart);
    if (i < start + 2 || i > line.size() || line[i - 1] != '.') return false;
    i -= 1;
    while (i > start && (line[i - 1] == '_' || IsAsciiAlnum(static_cast<unsigned char>(line[i - 1])))) --i;
    return i + 1 < static_cast<size_t>(ctx.column) - 1 && IsAsciiDigit(static_cast<unsigned char>(line[i]));
}

// The "asm" at `column` takes its code as a string in parentheses (GCC:
// `asm volatile ("..." : ...);`): that is an ordinary statement, whose ";"
// ends it and starts no assembler comment.
bool OperandsInParentheses(const ctxFichier& ctx) {
    const std::string& line = ctx.line;
    size_t i = static_cast<size_t>(ctx.column) - 1 + ctx.token.size();
    for (;;) {
        while (i < line.size() && (line[i] == ' ' || line[i] == '\t')) ++i;
        if (i >= line.size()) return false;
        if (line[i] == '(') return true;
        size_t end = i;
        while (end < line.size() && (line[end] == '_' || IsAsciiAlnum(static_cast<unsigned char>(line[end])))) ++end;
        const std::string_view word(line.data() + i, end - i);
        if (word != "volatile" && word != "__volatile__" && word != "goto" && word != "inline") return false;
        i = end;
    }
}

// Step 9: a word (code or not).
Flow HandleWord(LineState& s) {
    ctxFichier& ctx = s.ctx;
    ctx.atStatementStart = (ctx.parenDepth == 0);
    if (!ctx.IsCode()) return Flow::Next;
    // A piece of a string that runs on over several lines is never measured,
    // whatever it ends with; a word that is the tail of a number ("1.f",
    // "2.e5") cannot start a line.
    if (!s.stringTail && PastLineLength(ctx) && RuleLineLength(ctx, s.isFirst || TailOfNumber(ctx)) && CutLine(s))
        return Flow::Restart;
    if (ctx.inFunction) {
        if (ctx.parenDepth == 0) ctx.statementContinues = false;
        HandleKeyword(s);
    }
    const bool forbidden = RuleForbiddenWord(ctx);
    // An if condition without a brace makes the next line a continuation line.
    // An access label ends with its ":" like a case label: nothing continues.
    if (!forbidden && ctx.parenDepth == 0 && ctx.token.back() != ':') ctx.statementContinues = true;
    if ((forbidden || ctx.parenDepth == 0) && Is(ctx.token, "asm") && !OperandsInParentheses(ctx)) ctx.inAsm = true;
    return Flow::Next;
}

Flow ProcessToken(LineState& s) {
    ctxFichier& ctx = s.ctx;
    const TokenText& t = ctx.token;
    s.keyword = false;
    s.braceInParens = false;
    // A line that starts inside a block comment moves with the comment's first line.
    const bool inCommentBefore = ctx.inBlockComment;
    s.stringTail = ctx.inStringContinuation | ctx.inTextBlock | ctx.inRawString;

    // The rest of a comment on this line: for these commands its tokens have
    // no effect beyond what they have all together.
    if ((ctx.inBlockComment | ctx.inLineComment) && s.skipComments && !s.firstToken && !ctx.lineStartPending &&
        !s.stringTail) {
        bool sawName = false;
        if (SkipCommentTokens(ctx, sawName)) {
            ctx.lineHasComment = true;
            if (Is(ctx.lastLineToken, "}")) ctx.structuralLine = false;
            if (sawName) ctx.atStatementStart = (ctx.parenDepth == 0);
            s.isFirst = false;
            return Flow::Next;
        }
    }

    // 1. The token at `column`.
    ReadToken(ctx);
    if (t.empty()) return Flow::Stop;

    // 2. Design: every comment starts a pseudo-code line (at the start of a
    //    line the split only drops the leading blanks).
    if (s.design && !ctx.inPreprocessor && OutputColumn(ctx) > 1 && StartsDesignComment(ctx)) {
        const int32_t from = static_cast<int32_t>(OutputColumn(ctx));
        if (CutLine(s)) {
            // The "/*" read again after the cut opens the comment, as on its
            // first read: it is indented as a first line and sets the
            // comment's shift, counted from where the comment stood.
            if (!inCommentBefore && Is(t, "/*")) {
                ctx.inBlockComment = false;
                s.commentCutFrom = from;
            }
            return Flow::Restart;
        }
    }

    // 3 to 5.
    // One store, no branch: comments start and end within lines unpredictably.
    ctx.lineHasComment |= ctx.inBlockComment | ctx.inLineComment;
    if (Is(ctx.lastLineToken, "}")) ctx.structuralLine = false;
    s.targetColumn = 0;

    // 6. Structure first: a closing brace ends blocks, anything else after a
    //    completed unbraced statement closes it. Whether the token is code
    //    changes below only when step 7 finds a directive: a step that rewrites
    //    the line restarts the token.
    bool code = IsCodeToken(ctx);
    if (code) {
        ++ctx.statementTokenCount;
        s.lineHasCode = true;
        if (Is(t, "}")) {
            if (CloseBrace(s)) return Flow::Restart;
        } else if (ctx.Top().statementDone && !Is(t, "else")) {
            CloseStatement(ctx);
        } else if (ctx.Top().statementDone && IsLoopOrSwitch(ctx.Top().kind)) {
            // "if (a) for (...) { ... } else": the loop is complete, the else
            // belongs to the if under it.
            while (ctx.blockTop > 0 && IsLoopOrSwitch(ctx.Top().kind)) PopBlock(ctx);
        }
    }

    // 7. First token of the line: preprocessor lines, indentation.
    if (s.firstToken) {
        s.isFirst = true;
        s.firstToken = false;
        if (ctx.IsCode() && t[0] == '#' && !ctx.isAssembler) {
            ctx.inPreprocessor = true;
            code = false;
            ctx.includePending = Is(t, "#include");
            ctx.directive.assign(t.data(), t.size());
            TrackConditional(ctx);
            ctx.inVersionLog = false;
        }
        if (Settings.Indenter) {
            IndentFirstToken(ctx, s.targetColumn, inCommentBefore);
            if (s.commentCutFrom > 0 && Is(t, "/*")) ctx.commentIndentDelta -= s.commentCutFrom - 1;
        }
        s.commentCutFrom = 0;
    } else {
        s.isFirst = false;
    }

    // 8. Code tokens: brace insertion, cuts, instruction rule, punctuation.
    if (code) {
        ctx.inVersionLog = false;
        // Inserted braces close before the token acts: after a restart it
        // would act a second time.
        if (Settings.Indenter && CloseInsertedBracesBefore(s)) return Flow::Restart;
        if (s.insertsBraces && TryInsertOpeningBrace(ctx)) {
            s.firstToken = s.isFirst;
            return Flow::Restart;
        }
        // "{" and "}" always end their line in a rewritten file, but for those
        // inside parentheses.
        if (Settings.Indenter && ctx.parenDepth == 0 && (Is(ctx.lastLineToken, "{") || Is(ctx.lastLineToken, "}")) &&
            CutLine(s)) {
            ctx.structuralLine = false;
            return Flow::Restart;
        }
        if (CutForOneInstruction(s)) return Flow::Restart;
        const Flow f = HandlePunctuation(s);
        if (f != Flow::Next) return f;
        HandleAfterPunctuation(s);
    }

    // 9. Words: line length, keywords, forbidden words. Only a step that
    //    restarts changes the token: the test holds for step 10 too.
    const bool word = StartsWord(t);
    if (word) {
        const Flow f = HandleWord(s);
        if (f != Flow::Next) return f;
    }

    // 10. Whole-token search and replace, comments and directives included.
    if (word && s.lookUpWords && !s.keyword) {
        DropEmittedBytes(ctx);  // the look-up prints and rewrites the line as a whole
        MatchWholeToken(ctx, s.dictionary);
    }

    // Methodes: what this token says of the head of a function to come.
    if (s.methodes && code && !ctx.inFunction) TrackFunctionHead(ctx);

    // 11, 12.
    ctx.column += static_cast<int32_t>(t.size());
    if (code) {
        if (s.insertedClosers > 0 && Is(t, "}")) --s.insertedClosers;
        ctx.braceClosedInParens = s.braceInParens;
        ctx.lastLineToken.Assign(t);  // after step 10, which may have replaced the token
        ctx.previousToken.Assign(t);
        ctx.previousWasKeyword = s.keyword;
    }

    // 13.
    if (s.design) RenderDesignToken(ctx);
    return Flow::Next;
}

}  // namespace

void ProcessLine(ctxFichier& ctx, const Dictionary* dictionary) {
    // A. Start of the call.
    ctx.lineHasComment = false;
    ctx.lineStart = 0;
    if (Settings.Indenter && ExpandTabs(ctx)) ctx.lineModified = true;
    // A line that goes on with a string (continued, or a text block) has no
    // first token of its own: it is not indented.
    LineState s{ctx, dictionary, !ctx.inStringContinuation && !ctx.inTextBlock && !ctx.inRawString};
    s.design = Settings.designMode;
    s.lookUpWords = Settings.dictionaryMode || Settings.replaceMode;
    s.insertsBraces = Settings.accolades || Settings.couverture;
    s.methodes = Settings.Methodes;
    s.skipComments = !s.design && !s.lookUpWords && Settings.dependencyMatrix == nullptr;
    ctx.lastLineToken.clear();
    // The version log lives in the leading comment: only lines that start
    // outside code are searched.
    if (!ctx.IsCode()) CaptureVersionLog(ctx);

    // B. Token loop.
    BeginLine(ctx);
    int restarts = 0;
    while (static_cast<size_t>(ctx.column) <= ctx.line.size()) {
        const Flow f = ProcessToken(s);
        if (f == Flow::Stop) break;
        if (f == Flow::Restart) {
            if (++restarts > kMaxRestartsPerToken) break;
            continue;
        }
        restarts = 0;
    }

    // C. End of the call. A line going straight to the file leaves the spent
    // bytes where they are: the next line replaces them all anyway.
    if (ctx.directOutput != nullptr) {
        const size_t from = static_cast<size_t>(ctx.lineStart);
        EmitLine(ctx, ctx.line.data() + from, ctx.line.size() - from);
    } else {
        DropEmittedBytes(ctx);
        EmitLine(ctx, ctx.line);
    }
    if (!ctx.Top().conditionStarted) ctx.structuralLine = false;
    if (s.lineHasCode) ++ctx.codeLineCount;
}

}  // namespace vantor
