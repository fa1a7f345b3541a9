#include "engine/reformat.h"

#include "design/emitline.h"
#include "engine/reader.h"

namespace vantor {

namespace {

size_t ClampedIndex(const ctxFichier& ctx, int64_t column) {
    if (column < 1) return 0;
    const size_t i = static_cast<size_t>(column - 1);
    return i < ctx.line.size() ? i : ctx.line.size();
}

}  // namespace

void SplitLine(ctxFichier& ctx) {
    const size_t head = ClampedIndex(ctx, ctx.column);
    bool blank = true;
    for (size_t i = 0; i < head && blank; ++i) blank = (ctx.line[i] == ' ' || ctx.line[i] == '\t');
    if (!blank) {
        std::string piece(ctx.line, 0, head);
        piece += "\r\n";
        EmitLine(ctx, piece);
        // Only a line actually written moves the output numbering: reports in
        // the rewritten file must keep matching its lines.
        ++ctx.outputLineNumber;
    }
    ctx.line.erase(0, head);
    ctx.lastLineToken.clear();
    ctx.lineModified = true;
    BeginLine(ctx);
}

void InsertBeforeToken(ctxFichier& ctx, const std::string& text) {
    ctx.line.insert(ClampedIndex(ctx, ctx.column), text);
    ctx.lineModified = true;
    ReadToken(ctx);
}

void InsertAfterToken(ctxFichier& ctx, const std::string& text) {
    ctx.line.insert(ClampedIndex(ctx, static_cast<int64_t>(ctx.column) + ctx.token.size()), text);
    ctx.lineModified = true;
}

void ReplaceToken(ctxFichier& ctx, const std::string& text) {
    const int64_t start = static_cast<int64_t>(ctx.column) - static_cast<int64_t>(ctx.token.size());
    const size_t from = ClampedIndex(ctx, start);
    const size_t to = ClampedIndex(ctx, ctx.column);
    ctx.line.replace(from, to - from, text);
    ctx.column = static_cast<int32_t>(from + text.size() + 1);
    ctx.lineModified = true;
}

// Filled by the reformatter: re-indentation (Apply, Design, Instrumentation).
void IndentFirstToken(ctxFichier&, int32_t) {}

// Filled by the reformatter: brace insertion needs the Branch records of an
// instrumentation or braces-mandatory run.
bool TryInsertOpeningBrace(ctxFichier&) { return false; }
void InsertClosingBraces(ctxFichier&) {}
bool InsertBracesAfterClosingBrace(ctxFichier&) { return false; }

}  // namespace vantor
