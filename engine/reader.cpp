// Shallow C/C++/Java tokenizer on 8-bit text: comments, literals, identifiers
// (numbers included) and a fixed set of multi-character operators. Every other
// byte is a token of its own. No allocation: the token is copied into
// ctx.token, a fixed buffer for all but very long tokens.
#include "engine/reader.h"

#include <cstring>

#include "config/settings.h"
#include "design/matrix_hooks.h"
#include "engine/bytescan.h"
#include "platform/text.h"

namespace vantor {

namespace {

using lex::ClassOf;
using lex::IsBlank;
using lex::IsWordChar;
using lex::kCommentMark;

inline bool IsLineEnd(char c) { return c == '\r' || c == '\n'; }
inline bool Equals(const TokenText& s, const char* lit, size_t n) {
    return s.size() == n && std::memcmp(s.data(), lit, n) == 0;
}

// A string or character literal from `column`; a double-quoted string whose
// backslash ends the line runs on into the next line. Returns the end (0-based,
// exclusive).
size_t ReadLiteral(ctxFichier& ctx, size_t start) {
    const std::string& line = ctx.line;
    const size_t n = line.size();
    char quote;
    size_t i;
    if (ctx.inStringContinuation) {
        quote = '"';
        i = start;
    } else {
        quote = line[start];
        i = start + 1;
    }
    while (i < n) {
        const char ch = line[i];
        if (ch == '\\') {
            if (quote == '"' && (i + 1 >= n || IsLineEnd(line[i + 1]))) {
                ctx.inStringContinuation = true;
                ctx.lineContinued = true;
                return i + 1;
            }
            i += 2;
            continue;
        }
        if (ch == quote) {
            ctx.inStringContinuation = false;
            return i + 1;
        }
        ++i;
    }
    return n;  // unterminated: the rest of the line
}

// Three double quotes followed by nothing but white space up to the line end
// open a Java text block (in C they would leave a string unterminated).
bool OpensTextBlock(const std::string& line, size_t i) {
    if (line.compare(i, 3, "\"\"\"") != 0) return false;
    for (i += 3; i < line.size(); ++i)
        if (!IsBlank(line[i])) return false;
    return true;
}

// A line of a text block from `start`: up to and including its closing
// three quotes (a backslash escapes the next character), else to the line end.
size_t ReadTextBlock(ctxFichier& ctx, size_t start) {
    const std::string& line = ctx.line;
    for (size_t i = start; i < line.size(); ++i) {
        if (line[i] == '\\') {
            ++i;
        } else if (line.compare(i, 3, "\"\"\"") == 0) {
            ctx.inTextBlock = false;
            return i + 3;
        }
    }
    return line.size();
}

size_t ReadWord(const std::string& line, size_t start) { return lex::WordEnd(line.c_str(), start); }

// A "/" followed by `c1` and `c2`: "//" and "/*" open comments ("-" after
// them marks a dashed comment). Returns the token's length.
size_t ReadSlash(ctxFichier& ctx, char c1, char c2) {
    if (c1 != '/' && c1 != '*') return 1;
    ctx.dashComment = (c2 == '-');
    if (c1 == '/') {
        ctx.inLineComment = !ctx.inBlockComment;
        return 2;
    }
    // Only the "/*" that opens a comment starts a new shift: one written
    // inside a comment must not break the layout of the lines below it.
    if (!ctx.inBlockComment && !ctx.inLineComment) ctx.commentIndentDelta = 0;
    ctx.inBlockComment = !ctx.inLineComment;
    return 2;
}

size_t OperatorLength(const std::string& line, size_t start) { return lex::OperatorLength(line.c_str(), start); }

}  // namespace

// An "#include" line names its file in the first token after the directive and
// the opening quote or "<": the first identifier, so without the extension.
void RecordIncludeName(ctxFichier& ctx) {
    const TokenText& t = ctx.token;
    if (Equals(t, "#include", 8) || Equals(t, "\"", 1) || Equals(t, "<", 1)) return;
    if (Settings.designMode) DependencyMatrixAddInclude(t.Str());
    ctx.includePending = false;
}

namespace {

// Runs after every token: the cheap test stays in the caller.
inline void RecordInclude(ctxFichier& ctx) {
    if (Settings.dependencyMatrix != nullptr && ctx.inPreprocessor && ctx.includePending) RecordIncludeName(ctx);
}

// The bytes of `line` from `from`: the block copy may read up to the end of
// the line's buffer (its capacity and the NUL after it).
inline void SetToken(TokenText& token, const std::string& line, size_t from, size_t len) {
    token.Set(line.data() + from, len, line.capacity() + 1 - from);
}

}  // namespace

namespace {

// A raw string from `from` (its text, after the opening "(" or at the start
// of a line it runs on into): up to its closing quote, else to the line end.
size_t ReadRawString(ctxFichier& ctx, size_t from) {
    const size_t end =
        lex::RawStringEnd(ctx.line, from, ctx.rawDelimiter, static_cast<size_t>(ctx.rawDelimiterLength));
    if (end == std::string::npos) return ctx.line.size();
    ctx.inRawString = false;
    return end;
}

// The word of `len` bytes at `i` and the double quote after it open a raw
// string: the whole literal, or its part on this line, is one token.
bool ReadRawStringToken(ctxFichier& ctx, size_t i, size_t len) {
    const std::string& line = ctx.line;
    if (line[i + len] != '"' || !ctx.IsCode() || !lex::IsRawStringPrefix(line.data() + i, len)) return false;
    const int32_t d = lex::RawDelimiterLength(line.c_str(), i + len);
    if (d < 0) return false;
    std::memcpy(ctx.rawDelimiter, line.data() + i + len + 1, static_cast<size_t>(d));
    ctx.rawDelimiterLength = d;
    ctx.inRawString = true;
    const size_t end = ReadRawString(ctx, i + len + 2 + static_cast<size_t>(d));
    SetToken(ctx.token, line, i, end - i);
    return true;
}

}  // namespace

void ReadTokenSlow(ctxFichier& ctx) {
    TokenText& token = ctx.token;
    const std::string& line = ctx.line;
    const size_t n = line.size();
    token.clear();
    if (ctx.lineStartPending) ResetLineState(ctx);

    if (ctx.column < 1) ctx.column = 1;
    size_t i = static_cast<size_t>(ctx.column) - 1;
    if (i > n) i = n;  // the unbounded loops below stop at the NUL at n
    // Inside a continued string or a text block the blanks belong to the literal.
    const bool inLiteral = ctx.inStringContinuation || ctx.inTextBlock || ctx.inRawString;
    if (!inLiteral)
        while (IsBlank(line.c_str()[i])) ++i;
    ctx.column = static_cast<int32_t>(i + 1);
    if (i >= n) return;
    const char c = line[i];

    // Words are most tokens: outside a literal none of the cases below applies
    // to a word character (a lone one at the line end is a word of one byte).
    if (!inLiteral && IsWordChar(c)) {
        const size_t len = lex::WordLength(line.c_str(), i);
        if (ReadRawStringToken(ctx, i, len)) return;
        SetToken(token, line, i, len);
        RecordInclude(ctx);
        return;
    }

    // Only inside a continued string: the line holds nothing before its end.
    if (IsLineEnd(c)) return;

    if (ctx.inRawString && ctx.IsCode()) {
        SetToken(token, line, i, ReadRawString(ctx, i) - i);
        return;
    }
    if (ctx.inTextBlock && ctx.IsCode()) {
        SetToken(token, line, i, ReadTextBlock(ctx, i) - i);
        return;
    }
    if (c == '"' && !ctx.inStringContinuation && ctx.IsCode() && OpensTextBlock(line, i)) {
        ctx.inTextBlock = true;
        SetToken(token, line, i, n - i);
        return;
    }
    if ((c == '"' || c == '\'' || ctx.inStringContinuation) && ctx.IsCode()) {
        const size_t end = ReadLiteral(ctx, i);
        SetToken(token, line, i, end - i);
        RecordInclude(ctx);
        return;
    }

    const char c1 = i + 1 < n ? line[i + 1] : '\0';
    if (i + 1 >= n || IsLineEnd(c1)) {
        SetToken(token, line, i, 1);
        if (c == '\\') ctx.lineContinued = true;
        RecordInclude(ctx);
        return;
    }
    const char c2 = i + 2 < n ? line[i + 2] : '\0';

    size_t len = 1;
    if ((ctx.inAsm || ctx.isAssembler) && (c == '#' || c == ';')) {
        ctx.inLineComment = !ctx.inBlockComment;
    } else if (c == '/') {
        len = ReadSlash(ctx, c1, c2);
    } else if (c == '*' && c1 == '/' && ctx.inBlockComment) {
        len = 2;
        ctx.inBlockComment = false;
        ctx.inVersionLog = false;
    } else if (c == '\\') {
        len = 2;
    } else if (IsWordChar(c) || c == '#' || c == '$') {
        len = lex::WordLength(line.c_str(), i);
    } else {
        len = OperatorLength(line, i);
    }
    SetToken(token, line, i, len);
    RecordInclude(ctx);
}

bool SkipCommentTokens(ctxFichier& ctx, bool& sawName) {
    const std::string& line = ctx.line;
    const size_t n = line.size();
    if (ctx.column < 1) ctx.column = 1;
    size_t i = static_cast<size_t>(ctx.column) - 1;
    if (i > n) i = n;  // the unbounded loops below stop at the NUL at n
    bool passed = false;
    // The same cuts as ReadToken, in the same order: a "\\" or "/*" can hide
    // the "*/" that follows it.
    for (;;) {
        // Once a name has been seen, only the marks can still matter. Every
        // mark is where ReadToken would start a token: no token holds one but
        // as its first byte, or as the second of a pair that starts with one
        // (read below as a pair).
        if (sawName) i = FindAnyOf<'/', '*', '\\'>(line, i);  // kCommentMark
        while (IsBlank(line.c_str()[i])) ++i;
        if (i >= n) break;
        const char c = line[i];
        size_t len = 1;
        if (IsWordChar(c)) {
            if (c == '_' || IsAsciiLetter(static_cast<unsigned char>(c))) sawName = true;
            len = ReadWord(line, i) - i;
        } else {
            const char c1 = i + 1 < n ? line[i + 1] : '\0';
            if (i + 1 >= n || IsLineEnd(c1)) {
                if (c == '\\') ctx.lineContinued = true;
            } else {
                const char c2 = i + 2 < n ? line[i + 2] : '\0';
                if ((ctx.inAsm || ctx.isAssembler) && (c == '#' || c == ';')) {
                    ctx.inLineComment = !ctx.inBlockComment;
                } else if (c == '/') {
                    len = ReadSlash(ctx, c1, c2);
                } else if (c == '*' && c1 == '/' && ctx.inBlockComment) {
                    break;  // the end of the comment is ReadToken's
                } else if (c == '\\') {
                    len = 2;
                } else if (c == '#' || c == '$') {
                    len = ReadWord(line, i) - i;
                } else {
                    len = OperatorLength(line, i);
                }
            }
        }
        i += len;
        passed = true;
    }
    ctx.column = static_cast<int32_t>(i + 1);
    return passed;
}

}  // namespace vantor
