// The pseudo-code page of a Design run. Tokens are rewritten in `line` while
// the engine reads them (braces, assignments and "<" become words or
// entities, comment marks go); at the end of each line, or of each piece the
// reformatter cuts off, the line is kept as a paragraph or dropped.
#include "design/pseudocode.h"

#include <cstring>

#include "engine/reformat.h"

namespace vantor {

namespace {

// The replacement texts, built once: a rendering must not allocate per token.
struct Renderings {
    const std::string empty;
    const std::string use{"<B>USE</B>"};
    const std::string lt{"&lt;"};
    const std::string le{"&lt;="};
    const std::string shl{"&lt;&lt;"};
    const std::string shlEq{"&lt;&lt;="};
    const std::string defineConstant{"define constant"};
    const std::string begin{"<B>begin</B>"};
    const std::string end{"<B>end</B>"};
    const std::string isSetTo{" is set to "};
};

const Renderings& R() {
    static const Renderings r;
    return r;
}

template <class Text, size_t N>
inline bool Is(const Text& s, const char (&lit)[N]) {
    return s.size() == N - 1 && std::memcmp(s.data(), lit, N - 1) == 0;
}

// The statement keywords shown in bold, with their rendering; found by first
// letter and length, since nearly every token is a word that is none of them.
const std::string* BoldKeyword(const TokenText& t) {
    static const std::string bold[] = {"<B>if</B>",     "<B>else</B>",  "<B>while</B>",   "<B>do</B>",
                                       "<B>for</B>",    "<B>switch</B>", "<B>case</B>",    "<B>default</B>",
                                       "<B>break</B>",  "<B>continue</B>", "<B>return</B>"};
    const size_t n = t.size();
    switch (t[0]) {
        case 'i': return Is(t, "if") ? &bold[0] : nullptr;
        case 'e': return Is(t, "else") ? &bold[1] : nullptr;
        case 'w': return Is(t, "while") ? &bold[2] : nullptr;
        case 'd': return n == 2 ? (Is(t, "do") ? &bold[3] : nullptr) : (Is(t, "default") ? &bold[7] : nullptr);
        case 'f': return Is(t, "for") ? &bold[4] : nullptr;
        case 's': return Is(t, "switch") ? &bold[5] : nullptr;
        case 'c': return n == 4 ? (Is(t, "case") ? &bold[6] : nullptr) : (Is(t, "continue") ? &bold[9] : nullptr);
        case 'b': return Is(t, "break") ? &bold[8] : nullptr;
        case 'r': return Is(t, "return") ? &bold[10] : nullptr;
        default: return nullptr;
    }
}

// The rendering of the current token, first matching rule wins; null when the
// token stays as it is.
const std::string* Rendering(const ctxFichier& ctx) {
    const TokenText& t = ctx.token;
    const Renderings& r = R();
    switch (t[0]) {
        case '#':
            if (Is(t, "#include")) return &r.use;
            if (Is(t, "#define")) return &r.defineConstant;
            // An assembler comment mark.
            if (t.size() == 1 && (ctx.inAsm || ctx.isAssembler) && !ctx.inBlockComment) return &r.empty;
            return nullptr;
        case '<':
            if (t.size() == 1) return &r.lt;
            if (Is(t, "<=")) return &r.le;
            if (Is(t, "<<")) return &r.shl;
            if (Is(t, "<<=")) return &r.shlEq;
            return nullptr;
        case '/':
            return (Is(t, "//") || Is(t, "/*")) ? &r.empty : nullptr;
        case '*':
            return Is(t, "*/") ? &r.empty : nullptr;
        case ';':
            if (t.size() != 1) return nullptr;
            if ((ctx.inAsm || ctx.isAssembler) && !ctx.inBlockComment) return &r.empty;
            return ctx.IsCode() ? &r.empty : nullptr;
        default:
            break;
    }
    if (!ctx.IsCode()) return nullptr;
    if (t.size() == 1) {
        switch (t[0]) {
            case '{': return &r.begin;
            case '}': return &r.end;
            case '=': return &r.isSetTo;
            default: return nullptr;
        }
    }
    return BoldKeyword(t);
}

// The paragraph of a kept line: blanks become "&nbsp;" (the indentation stays
// visible), the line end goes, and the page's own line end follows. One pass
// into a scratch buffer that keeps its size from line to line.
void AddParagraph(ctxFichier& ctx, const std::string& text) {
    static thread_local std::string scratch;
    size_t end = text.size();
    while (end > 0 && (text[end - 1] == '\r' || text[end - 1] == '\n')) --end;
    if (scratch.size() < 6 * end + 9) scratch.resize(6 * end + 9);
    char* const start = &scratch[0];
    char* p = start;
    std::memcpy(p, "<P>", 3);
    p += 3;
    for (const char* in = text.data(); in < text.data() + end; ++in) {
        if (*in == ' ') {
            std::memcpy(p, "&nbsp;", 6);
            p += 6;
        } else {
            *p++ = *in;
        }
    }
    std::memcpy(p, "</P>\r\n", 6);
    p += 6;
    ctx.outputLines.emplace_back(start, static_cast<size_t>(p - start));
}

}  // namespace

void RenderDesignToken(ctxFichier& ctx) {
    if (ctx.token.empty()) return;
    if (const std::string* text = Rendering(ctx)) ReplaceToken(ctx, *text);
}

void EmitDesignLine(ctxFichier& ctx, const std::string& text) {
    // The leading comment that holds the version log shows as one heading.
    const std::string* shown = &text;
    std::string heading;
    if (ctx.inVersionLog) {
        if (ctx.versionHeadingWritten || Is(ctx.version, "?")) return;
        heading = ctx.isHeader ? "<B><U>Header " : "<B><U>Body ";
        if (!ctx.logArchive.empty()) heading += ctx.logArchive + " ";
        heading += "Version " + ctx.version + "</U></B>";
        ctx.versionHeadingWritten = true;
        shown = &heading;
    }
    const bool kept = ctx.structuralLine || ctx.lineHasComment;
    if (!ctx.structuralLine && ctx.isAssembler && !ctx.lineHasComment) return;
    // A plain statement inside a block.
    if (!kept && (ctx.executableStatement || ctx.inAsm || ctx.isAssembler) && ctx.blockTop > 0) return;
    // Comments opened with a dash are private.
    if (ctx.lineHasComment && ctx.dashComment) return;
    if (!ctx.directive.empty() && !Is(ctx.directive, "#include") && !Is(ctx.directive, "#define")) return;
    AddParagraph(ctx, *shown);
}

}  // namespace vantor
