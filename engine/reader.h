// The token reader: cuts the next token out of the current line of a file
// context and keeps the lexical state (comments, continued strings, line
// continuation, preprocessor lines) across lines.
#pragma once

#include <cstring>

#include "config/settings.h"
#include "engine/ctxfichier.h"

namespace vantor {

namespace lex {

// Byte classes, looked up once per byte of every line: blank, word character,
// the bytes that can change or end a comment ("/", "*", "\\"), and the
// punctuation that is always a token of one byte outside a literal (";" is
// not: it starts an assembler comment), and the operators of one to three
// bytes.
enum : unsigned char { kBlank = 1, kWord = 2, kCommentMark = 3, kSingle = 4, kOperator = 5 };

struct ByteClasses {
    unsigned char of[256] = {};
    constexpr ByteClasses() {
        of[static_cast<unsigned char>(' ')] = of[static_cast<unsigned char>('\t')] = kBlank;
        of[static_cast<unsigned char>('\r')] = of[static_cast<unsigned char>('\n')] = kBlank;
        of[static_cast<unsigned char>('_')] = kWord;
        // ASCII letters and digits only, as IsAsciiAlnum: never the locale's.
        for (int c = 'a'; c <= 'z'; ++c) of[c] = of[c - 'a' + 'A'] = kWord;
        for (int c = '0'; c <= '9'; ++c) of[c] = kWord;
        of[static_cast<unsigned char>('/')] = of[static_cast<unsigned char>('*')] = kCommentMark;
        of[static_cast<unsigned char>('\\')] = kCommentMark;
        for (const char c : {'(', ')', '{', '}', '[', ']', ',', '.', '?', ':'})
            of[static_cast<unsigned char>(c)] = kSingle;
        for (const char c : {'=', '+', '-', '<', '>', '!', '%', '^', '~', '&', '|'})
            of[static_cast<unsigned char>(c)] = kOperator;
    }
};
inline constexpr ByteClasses kClasses;

inline unsigned char ClassOf(char c) { return kClasses.of[static_cast<unsigned char>(c)]; }
inline bool IsBlank(char c) { return ClassOf(c) == kBlank; }
inline bool IsWordChar(char c) { return ClassOf(c) == kWord; }

// The loops over blanks and word characters need no bound: a string's text
// ends with a NUL, which is neither (nor is a NUL inside the line).
inline size_t WordEnd(const char* p, size_t start) {
    size_t j = start + 1;  // "#" and "$" may only start a word
    while (IsWordChar(p[j])) ++j;
    return j;
}

// A word from `start`; an access label takes its ":" ("public:").
inline size_t WordLength(const char* p, size_t start) {
    const size_t end = WordEnd(p, start);
    size_t len = end - start;
    if (p[end] == ':' && ((len == 6 && std::memcmp(p + start, "public", 6) == 0) ||
                          (len == 7 && std::memcmp(p + start, "private", 7) == 0) ||
                          (len == 9 && std::memcmp(p + start, "protected", 9) == 0)))
        ++len;
    return len;
}

// Length of the operator at `start` (the pairs and triples of the table, else
// 1) in text that ends with a NUL: the third byte is read only after a second
// that is not the NUL.
inline size_t OperatorLength(const char* p, size_t start) {
    const char c = p[start];
    const char c1 = p[start + 1];
    switch (c) {
        case '!':
        case '%':
        case '*':
        case '^':
        case '~':
        case '=':
            return c1 == '=' ? 2 : 1;
        case '+':
            return (c1 == '+' || c1 == '=') ? 2 : 1;
        case '-':
            return (c1 == '-' || c1 == '=') ? 2 : 1;
        case '<':
        case '>':
            if (c1 == c) return p[start + 2] == '=' ? 3 : 2;
            return c1 == '=' ? 2 : 1;
        default:
            return 1;
    }
}

}  // namespace lex

// The per-line reset: comment, string and preprocessor states end with the
// line unless the line was continued by a backslash.
inline void ResetLineState(ctxFichier& ctx) {
    ctx.lineStartPending = false;
    if (ctx.lineContinued) {
        ctx.lineContinued = false;
        return;
    }
    ctx.inStringContinuation = false;
    ctx.inLineComment = false;
    // A block comment keeps a directive alive into the next line.
    if (!ctx.inBlockComment) {
        ctx.inPreprocessor = false;
        ctx.directive.clear();
    }
}

namespace lex {

// The word of `n` bytes at `w`, followed by a double quote, is the prefix of a
// C++ raw string: R, u8R, uR, UR or LR.
inline bool IsRawStringPrefix(const char* w, size_t n) {
    if (w[n - 1] != 'R') return false;
    if (n == 1) return true;
    if (n == 2) return w[0] == 'u' || w[0] == 'U' || w[0] == 'L';
    return n == 3 && w[0] == 'u' && w[1] == '8';
}

// Length of the delimiter of a raw string whose opening quote is at `quote`
// in `p` (text that ends with a NUL): at most 16 bytes, none of them a blank,
// a parenthesis, a backslash or a quote, then "(". -1 when it is none.
inline int32_t RawDelimiterLength(const char* p, size_t quote) {
    for (int32_t k = 0; k <= 16; ++k) {
        const char c = p[quote + 1 + static_cast<size_t>(k)];
        if (c == '(') return k;
        if (c == '\0' || c == ')' || c == '\\' || c == '"' || static_cast<unsigned char>(c) <= ' ') return -1;
    }
    return -1;
}

// From `from` in `line`: the end (exclusive) of the ")", delimiter and quote
// that close the raw string, or npos.
inline size_t RawStringEnd(const std::string& line, size_t from, const char* delimiter, size_t d) {
    for (size_t i = line.find(')', from); i != std::string::npos; i = line.find(')', i + 1))
        if (i + 1 + d < line.size() && std::memcmp(line.data() + i + 1, delimiter, d) == 0 && line[i + 1 + d] == '"')
            return i + 2 + d;
    return std::string::npos;
}

}  // namespace lex

// Every case of ReadToken; the inline part below takes the common ones.
void ReadTokenSlow(ctxFichier& ctx);
// Design: the dependency matrix's record of an "#include" line's file.
void RecordIncludeName(ctxFichier& ctx);

// Reads the token that starts at `column` (after white space) into `token`,
// empty when the line has no further token. `column` is left at the token's
// start; the caller moves past it.
inline void ReadToken(ctxFichier& ctx) {
    // Most tokens are a word or a one-byte mark on a line already begun,
    // outside a literal: read here, without the call and the other cases.
    if (ctx.lineStartPending) ResetLineState(ctx);
    if ((ctx.inStringContinuation | ctx.inTextBlock | ctx.inRawString) == 0 && ctx.column >= 1) {
        const std::string& line = ctx.line;
        const char* p = line.c_str();
        size_t i = static_cast<size_t>(ctx.column) - 1;
        if (i < line.size()) {
            while (lex::IsBlank(p[i])) ++i;
            const unsigned char cls = lex::ClassOf(p[i]);  // the final NUL is of no class
            size_t len = 0;
            if (cls == lex::kWord) {
                len = lex::WordLength(p, i);
                if (p[i + len] == '"') len = 0;  // perhaps the prefix of a raw string
            }
            else if (cls == lex::kSingle || (p[i] == ';' && !ctx.inAsm && !ctx.isAssembler))
                len = 1;
            else if (cls == lex::kOperator)
                len = lex::OperatorLength(p, i);
            if (len > 0) {
                ctx.column = static_cast<int32_t>(i + 1);
                ctx.token.Set(p + i, len, line.capacity() + 1 - i);
                if (Settings.dependencyMatrix != nullptr && ctx.inPreprocessor && ctx.includePending)
                    RecordIncludeName(ctx);
                return;
            }
        }
    }
    ReadTokenSlow(ctx);
}

// Inside a comment (not at the start of a line, nor in a literal): moves
// `column` over the comment's tokens, exactly as ReadToken would cut them,
// up to the "*/" that ends it (not read) or the end of the line, and keeps the
// comment state as reading them would. Returns true when it passed a token;
// `sawName` is set when one of them starts like a name. For the modes in which
// the words of a comment are only counted as comment, not copied one by one.
bool SkipCommentTokens(ctxFichier& ctx, bool& sawName);

// Makes `line` (from `lineStart` on) a new line for the reader: `column` at
// its first byte and the per-line reset due at the next ReadToken.
inline void BeginLine(ctxFichier& ctx) {
    ctx.column = ctx.lineStart + 1;
    ctx.lineStartPending = true;
}

}  // namespace vantor
