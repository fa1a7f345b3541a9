#include "engine/reformat.h"

#include <cstring>

#include "config/settings.h"
#include "design/emitline.h"
#include "engine/reader.h"

namespace vantor {

namespace {

// A column past this is clamped: only an absurd indentation width gets there,
// and it must not turn one line into gigabytes.
constexpr int64_t kMaxTargetColumn = 1 << 16;

// Any text with size() and data(): a std::string or a TokenText.
template <class Text, size_t N>
inline bool Is(const Text& s, const char (&lit)[N]) {
    return s.size() == N - 1 && std::memcmp(s.data(), lit, N - 1) == 0;
}

// 0-based index of a 1-based column of `line`, kept within the output line.
size_t IndexOf(const ctxFichier& ctx, int64_t column) {
    const int64_t i = column - 1;
    if (i < ctx.lineStart) return static_cast<size_t>(ctx.lineStart);
    return static_cast<size_t>(i) < ctx.line.size() ? static_cast<size_t>(i) : ctx.line.size();
}

// At least `n` spent bytes before `lineStart`, so that the head of the output
// line can move left by `n`. Growing shifts the whole line once; the margin
// keeps that rare.
void MakeRoom(ctxFichier& ctx, size_t n) {
    const size_t have = static_cast<size_t>(ctx.lineStart);
    if (have >= n) return;
    const size_t add = (n - have) + 64 + ctx.line.size() / 16;
    ctx.line.insert(0, add, ' ');
    ctx.lineStart += static_cast<int32_t>(add);
    ctx.column += static_cast<int32_t>(add);
}

}  // namespace

void DropEmittedBytes(ctxFichier& ctx) {
    if (ctx.lineStart <= 0) return;
    ctx.line.erase(0, static_cast<size_t>(ctx.lineStart));
    ctx.column -= ctx.lineStart;
    ctx.lineStart = 0;
}

void SplitLine(ctxFichier& ctx) {
    const size_t from = static_cast<size_t>(ctx.lineStart);
    const size_t at = IndexOf(ctx, ctx.column);
    size_t end = at;
    // The blanks before the cut would trail the emitted line (Design keeps them:
    // its page shows the line as the engine had it).
    // A blank after a backslash stays: alone before the line end, the backslash
    // would join the next line to this one.
    if (!Settings.designMode)
        while (end > from && (ctx.line[end - 1] == ' ' || ctx.line[end - 1] == '\t' || ctx.line[end - 1] == '\r') &&
               !(end - 1 > from && ctx.line[end - 2] == '\\'))
            --end;
    bool blank = true;
    for (size_t i = from; i < end && blank; ++i) blank = (ctx.line[i] == ' ' || ctx.line[i] == '\t');
    if (!blank) {
        if (ctx.directOutput != nullptr) {
            EmitLine(ctx, ctx.line.data() + from, end - from);
        } else {
            // One scratch buffer per thread: a cut allocates only the output line.
            static thread_local std::string piece;
            piece.assign(ctx.line, from, end - from);
            piece += "\r\n";
            EmitLine(ctx, piece);
        }
        // Only a line actually written moves the output numbering: reports in
        // the rewritten file must keep matching its lines.
        ++ctx.outputLineNumber;
    }
    ctx.lineStart = static_cast<int32_t>(at);
    ctx.lastLineToken.clear();
    ctx.lineModified = true;
    BeginLine(ctx);
}

// Inserts `text` at index `at` of the output line by moving the head left.
static void InsertAt(ctxFichier& ctx, size_t at, const char* text, size_t n) {
    const size_t offset = at - static_cast<size_t>(ctx.lineStart);
    MakeRoom(ctx, n);
    char* base = &ctx.line[0];
    const size_t start = static_cast<size_t>(ctx.lineStart);
    std::memmove(base + start - n, base + start, offset);
    std::memcpy(base + start - n + offset, text, n);
    ctx.lineStart -= static_cast<int32_t>(n);
    ctx.column -= static_cast<int32_t>(n);
    ctx.lineModified = true;
}

void InsertBeforeToken(ctxFichier& ctx, const std::string& text) {
    InsertAt(ctx, IndexOf(ctx, ctx.column), text.data(), text.size());
    ReadToken(ctx);
}

void InsertAfterToken(ctxFichier& ctx, const std::string& text) {
    InsertAt(ctx, IndexOf(ctx, static_cast<int64_t>(ctx.column) + static_cast<int64_t>(ctx.token.size())),
             text.data(), text.size());
}

void ReplaceToken(ctxFichier& ctx, const std::string& text) {
    const size_t to = IndexOf(ctx, ctx.column);
    const size_t from = IndexOf(ctx, static_cast<int64_t>(ctx.column) - static_cast<int64_t>(ctx.token.size()));
    const size_t old = to - from;
    const size_t n = text.size();
    // The rest of the line stays where it is: the head moves instead.
    if (n > old) {
        const size_t grow = n - old;
        const size_t offset = from - static_cast<size_t>(ctx.lineStart);
        MakeRoom(ctx, grow);
        char* base = &ctx.line[0];
        const size_t start = static_cast<size_t>(ctx.lineStart);
        std::memmove(base + start - grow, base + start, offset);
        ctx.lineStart -= static_cast<int32_t>(grow);
        std::memcpy(base + start - grow + offset, text.data(), n);
    } else {
        const size_t shrink = old - n;
        char* base = &ctx.line[0];
        const size_t start = static_cast<size_t>(ctx.lineStart);
        std::memmove(base + start + shrink, base + start, from - start);
        ctx.lineStart += static_cast<int32_t>(shrink);
        if (n > 0) std::memcpy(base + to - n, text.data(), n);
    }
    ctx.lineModified = true;
}

void IndentFirstToken(ctxFichier& ctx, int32_t targetColumn, bool inCommentBefore) {
    // Preprocessor lines and assembler keep their indentation.
    if (ctx.inAsm || ctx.isAssembler || ctx.inPreprocessor) return;
    const TokenText& t = ctx.token;
    if (ctx.inStringContinuation && (t.empty() || t[0] != '"')) return;
    const BlockEntry& top = ctx.Top();
    const int64_t step = Settings.lnIndentation;
    const int64_t column = OutputColumn(ctx);
    int64_t target = targetColumn != 0 ? targetColumn : top.column;
    if (Is(t, "else") && top.kind != If && ctx.IsCode()) {
        // The else stands under its if. The ";" of an unbraced statement may
        // already have popped the if (and the loops it sat in): its entry is
        // then the first If just above the top. Outside function bodies (the
        // methods of a class, all of Java) no if is on the stack at all: the
        // if stood at the column of the block.
        int32_t i = ctx.blockTop + 1;
        while (i < kBlockSlots && (ctx.blocks[i].kind == While || ctx.blocks[i].kind == For)) ++i;
        if (i < kBlockSlots && ctx.blocks[i].kind == If && ctx.lastPoppedKind != Brace && ctx.inFunction)
            target = ctx.blocks[i].column;
        else if (top.kind == Brace && targetColumn == 0)
            target = top.column + step;
    }
    if (inCommentBefore) {
        // A comment keeps its inner layout: its lines move as its first did.
        target = column + ctx.commentIndentDelta;
    } else {
        if (ctx.IsCode() && !Is(t, "*/")) {
            const bool brace = Is(t, "{");
            if ((ctx.statementContinues || ctx.parenDepth > 0) && !brace) target += step;
            if (top.kind == Case && (Is(t, "case") || Is(t, "default"))) target -= step;
            // The brace of an if, while, for, else, do or switch stands under its keyword.
            if (top.kind != Brace && brace) target -= step;
            if (Is(t, "public:") || Is(t, "protected:") || Is(t, "private:") || Is(t, "}") || Is(t, "else"))
                target -= step;
            if (Is(t, "while") && top.kind == Do) target -= step;
        }
        if ((Is(t, "/*") || Is(t, "//")) && Is(ctx.previousToken, "}")) target -= step;
    }
    if (target < 1) target = 1;
    if (target > kMaxTargetColumn) target = kMaxTargetColumn;
    // The shift actually made, so that the comment's other lines follow it exactly.
    if (!inCommentBefore && Is(t, "/*") && ctx.inBlockComment)
        ctx.commentIndentDelta = static_cast<int32_t>(target - column);
    if (target == column) return;

    // The token stays where it is in `line`; the output line now starts
    // target - 1 blanks before it.
    const size_t blanks = static_cast<size_t>(target - 1);
    size_t at = IndexOf(ctx, ctx.column);
    if (at < blanks) {
        const size_t add = blanks - at + 64;
        ctx.line.insert(0, add, ' ');
        ctx.lineStart += static_cast<int32_t>(add);
        ctx.column += static_cast<int32_t>(add);
        at += add;
    }
    const size_t start = at - blanks;
    if (blanks > 0) std::memset(&ctx.line[start], ' ', blanks);
    ctx.lineStart = static_cast<int32_t>(start);
    ctx.lineModified = true;
    ctx.lastLineToken.clear();
}

bool TryInsertOpeningBrace(ctxFichier& ctx) {
    BlockEntry& top = ctx.Top();
    Branch* b = top.branch;
    if (b == nullptr || ctx.parenDepth != 0) return false;
    const TokenText& t = ctx.token;
    switch (top.kind) {
        case If:
        case Do:
        case While:
        case For:
            break;
        case Else:
            if (Is(t, "if")) return false;  // "else if": the if's own statement gets the brace
            break;
        default:
            return false;
    }
    if (b->instrumented || b->braceInserted || b->braceOpened || Is(t, "{")) return false;
    if (Is(t, "(") && top.kind != Do && top.kind != Else && !top.conditionStarted) {
        top.conditionStarted = true;  // the condition begins
        return false;
    }
    // The token starts the controlled statement.
    if (!Settings.Indenter || !ctx.atStatementStart) return false;
    InsertBeforeToken(ctx, "{");
    b->braceInserted = true;
    ctx.structuralLine = true;
    return true;
}

namespace {

// Collects `piece` for each inserted brace still open, from the top of the
// block stack down, and marks it closed. A Brace entry the reformatter
// inserted (or a switch) passes on to the branch below it; a written brace
// stops the walk, since its own "}" must come first. The walk also stops after
// the branch of an if (an else may follow) or of a do (its while must follow),
// at a branch without an inserted brace and at one already closed.
int32_t CollectClosingBraces(ctxFichier& ctx, const char* piece, std::string& text) {
    int32_t count = 0;
    for (int32_t i = ctx.blockTop; i >= 0; --i) {
        const BlockEntry& e = ctx.blocks[i];
        Branch* b = e.branch;
        if (b == nullptr) {
            if (e.kind == Brace && !e.insertedBrace) break;
            continue;
        }
        if (!b->braceInserted || b->braceClosed) break;
        text += piece;
        b->braceClosed = true;
        ++count;
        if (e.kind == If || e.kind == Do) break;
    }
    return count;
}

}  // namespace

int32_t InsertClosingBraces(ctxFichier& ctx) {
    std::string text;
    const int32_t count = CollectClosingBraces(ctx, "}", text);
    if (count > 0) InsertAfterToken(ctx, text);
    return count;
}

int32_t InsertBracesAfterClosingBrace(ctxFichier& ctx) {
    std::string text;
    const int32_t count = CollectClosingBraces(ctx, " } ", text);
    if (count > 0) InsertBeforeToken(ctx, text);
    return count;
}

}  // namespace vantor
