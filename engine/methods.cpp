// Methodes setting: the head of a declaration read outside any function, up
// to the "{" that may open its body. A body follows the ")" of a parameter
// list and what C++ and Java allow between the two: qualifiers, a trailing
// return type, a throws list, a constructor's initialiser list. Nothing here
// allocates: the name lives in a string reserved once per file.
#include "engine/methods.h"

#include <cstring>

#include "engine/reader.h"
#include "platform/text.h"

namespace vantor {

namespace {

template <size_t N>
inline bool Is(const TokenText& t, const char (&lit)[N]) {
    return t.size() == N - 1 && std::memcmp(t.data(), lit, N - 1) == 0;
}

inline bool IsWord(const TokenText& t) {
    const unsigned char c = static_cast<unsigned char>(t[0]);
    return !t.empty() && (c == '_' || IsAsciiLetter(c));
}

// A word in capitals: a macro standing after the parameter list, such as
// GTEST_LOCK_EXCLUDED_(mutex_) or an export or attribute macro.
bool IsMacroWord(const TokenText& t) {
    if (t.size() < 2) return false;
    bool letter = false;
    for (size_t i = 0; i < t.size(); ++i) {
        const unsigned char c = static_cast<unsigned char>(t[i]);
        if (c >= 'A' && c <= 'Z')
            letter = true;
        else if (c != '_' && !IsAsciiDigit(c))
            return false;
    }
    return letter;
}

// Words that may stand between a parameter list and the body; the last ones
// take parentheses.
bool IsQualifier(const TokenText& t) {
    return Is(t, "const") || Is(t, "volatile") || Is(t, "override") || Is(t, "final") || Is(t, "mutable") ||
           Is(t, "noexcept") || Is(t, "throw") || Is(t, "__attribute__") || IsMacroWord(t);
}

bool TakesParentheses(const TokenText& t) {
    return Is(t, "noexcept") || Is(t, "throw") || Is(t, "__attribute__") || IsMacroWord(t);
}

// The words that make the braces of a declaration hold members.
bool IsContainerWord(const TokenText& t) {
    return Is(t, "class") || Is(t, "struct") || Is(t, "union") || Is(t, "namespace") || Is(t, "enum") ||
           Is(t, "interface");
}

inline bool EndsInWordChar(const std::string& s) { return !s.empty() && lex::IsWordChar(s.back()); }

void Append(FunctionHead& h, const TokenText& t) {
    // Two words in a row keep their blank ("operator int", "template<class T>").
    const bool blank = IsWord(t) && EndsInWordChar(h.name);
    if (h.name.size() + t.size() + 1 > FunctionHead::kNameLimit) return;
    if (blank) h.name.push_back(' ');
    h.name.append(t.data(), t.size());
}

inline bool EndsWith(const std::string& s, const char* tail) {
    const size_t n = std::strlen(tail);
    return s.size() >= n && s.compare(s.size() - n, n, tail) == 0;
}

// The name state, not what the declaration holds ("enum", container words).
void ResetName(FunctionHead& h) {
    h.state = FunctionHead::None;
    h.nameLive = false;
    h.join = false;
    h.operatorName = false;
    h.angles = 0;
    h.recordSeen = false;
    h.recordHead = false;
    h.qualifierWord = false;
    h.name.clear();
}

void ResetDeclaration(FunctionHead& h) {
    ResetName(h);
    h.enumSeen = false;
    h.containerSeen = false;
}

// A ":" that is half of "::" (the reader gives each colon as a token).
bool IsScopeColon(const ctxFichier& ctx) {
    const size_t i = static_cast<size_t>(ctx.column) - 1;
    const std::string& line = ctx.line;
    return (i + 1 < line.size() && line[i + 1] == ':') ||
           (i > static_cast<size_t>(ctx.lineStart) && line[i - 1] == ':');
}

// No parameter list yet: the token may be part of the name of what is declared.
void ReadName(ctxFichier& ctx) {
    FunctionHead& h = ctx.head;
    const TokenText& t = ctx.token;
    if (h.angles > 0) {
        // Template arguments are part of the name as written: A<T>::f.
        if (Is(t, "<"))
            ++h.angles;
        else if (Is(t, ">"))
            --h.angles;
        else if (Is(t, ">>"))
            h.angles = h.angles > 2 ? h.angles - 2 : 0;
        Append(h, t);
        return;
    }
    if (h.operatorName) {
        // The symbol of an operator is its name; "()" of operator() too.
        if (!Is(t, "(") || EndsWith(h.name, "operator")) {
            Append(h, t);
            return;
        }
        h.operatorName = false;
    }
    if (Is(t, "(")) {
        if (h.nameLive && ctx.parenDepth == 1) {
            h.state = FunctionHead::Params;
            h.level = ctx.blockTop;
            h.recordHead = h.recordSeen;
        } else {
            ResetName(h);
        }
        return;
    }
    if (IsWord(t)) {
        if (IsContainerWord(t)) h.containerSeen = true;
        if (Is(t, "enum")) h.enumSeen = true;
        if (!h.join) {
            h.recordSeen = Is(ctx.previousToken, "record");
            h.name.clear();
        }
        Append(h, t);
        h.join = false;
        h.nameLive = true;
        h.operatorName = Is(t, "operator");
        return;
    }
    if (Is(t, ":") && IsScopeColon(ctx)) {
        if (!h.nameLive && !h.join) h.name.clear();  // a leading "::"
        Append(h, t);
        h.join = true;
        h.nameLive = false;
        return;
    }
    if (Is(t, "~")) {
        if (!h.join) h.name.clear();
        Append(h, t);
        h.join = true;
        h.nameLive = false;
        return;
    }
    if (Is(t, "<") && h.nameLive) {
        Append(h, t);
        h.angles = 1;
        return;
    }
    h.nameLive = false;
    h.join = false;
}

}  // namespace

bool MethodBodyOpens(const ctxFichier& ctx) {
    const FunctionHead& h = ctx.head;
    if (ctx.parenDepth != 0 || ctx.assignmentSeen || h.level != ctx.blockTop) return false;
    const BlockEntry& below = ctx.blocks[ctx.blockTop];
    if (ctx.blockTop != 0 && (!below.container || below.enumConstants)) return false;
    switch (h.state) {
        case FunctionHead::After:
            return !h.recordHead;
        case FunctionHead::Throws:
        case FunctionHead::Trailing:
            return true;
        case FunctionHead::Init:
            // `b{y}` initialises a member; the body follows a ")" or a "}".
            return Is(ctx.previousToken, ")") || Is(ctx.previousToken, "}");
        default:
            return false;
    }
}

bool ContainerOpens(const ctxFichier& ctx) {
    const FunctionHead& h = ctx.head;
    if (ctx.parenDepth != 0 || ctx.assignmentSeen) return false;
    const BlockEntry& below = ctx.blocks[ctx.blockTop];
    if (ctx.blockTop != 0 && (!below.container || below.enumConstants)) return false;
    if (h.state == FunctionHead::After) return h.recordHead;
    // extern "C" { ... }
    return h.state == FunctionHead::None && (h.containerSeen || ctx.previousToken.front() == '"');
}

void HeadAfterBrace(ctxFichier& ctx, bool body) {
    FunctionHead& h = ctx.head;
    // A brace inside parentheses (a default argument's lambda) is part of
    // the head being read.
    if (ctx.parenDepth > 0) return;
    if (!body && h.state == FunctionHead::Init && h.level == ctx.blockTop - 1) return;
    ResetDeclaration(h);
}

void TrackFunctionHead(ctxFichier& ctx) {
    FunctionHead& h = ctx.head;
    const TokenText& t = ctx.token;
    if (Is(t, "{")) return;  // decided by the push
    if (Is(t, ";")) {
        if (ctx.parenDepth > 0) return;  // a for header's, never here: outside functions
        ResetDeclaration(h);
        // The first ";" of an enum's braces ends its constants (Java).
        BlockEntry& top = ctx.Top();
        top.enumConstants = false;
        return;
    }
    if (Is(t, "}")) {
        // The "}" of `b{y}` in an initialiser list: the list goes on.
        if (h.state == FunctionHead::Init && h.level == ctx.blockTop) return;
        if (ctx.parenDepth == 0) ResetDeclaration(h);
        return;
    }
    if (h.state != FunctionHead::None && h.level != ctx.blockTop) return;
    if (Is(t, "=") && ctx.parenDepth == 0 && h.state != FunctionHead::Init) {
        ResetName(h);  // "= default", "= 0", an initialised member
        return;
    }
    switch (h.state) {
        case FunctionHead::None:
            ReadName(ctx);
            return;
        case FunctionHead::Params:
        case FunctionHead::Skip:
            if (Is(t, ")") && ctx.parenDepth == 0) h.state = FunctionHead::After;
            return;
        case FunctionHead::After:
            if (IsWord(t) && IsQualifier(t)) {
                h.qualifierWord = TakesParentheses(t);
                return;
            }
            if (Is(t, "(") && h.qualifierWord && ctx.parenDepth == 1) {
                h.state = FunctionHead::Skip;
                return;
            }
            h.qualifierWord = false;
            if (Is(t, "&") || Is(t, "&&")) return;
            if (Is(t, "-")) {
                h.state = FunctionHead::Arrow;
                return;
            }
            if (Is(t, "throws")) {
                h.state = FunctionHead::Throws;
                return;
            }
            if (Is(t, ":") && !IsScopeColon(ctx)) {
                h.state = FunctionHead::Init;
                return;
            }
            break;
        case FunctionHead::Arrow:
            if (Is(t, ">")) {
                h.state = FunctionHead::Trailing;
                return;
            }
            break;
        case FunctionHead::Trailing:
        case FunctionHead::Init:
            return;
        case FunctionHead::Throws:
            if (IsWord(t) || Is(t, ".") || Is(t, ",") || Is(t, "<") || Is(t, ">") || Is(t, ">>")) return;
            break;
    }
    // Not a head after all: the token may begin the next one.
    ResetName(h);
    ReadName(ctx);
}

}  // namespace vantor
