// Rewriting of the current line while the engine reads it (Apply, Design,
// Instrumentation). Every operation works on `line`, `column` and `token` of
// the context and sets `lineModified`.
//
// Positions: `column` counts from the start of `line`; the output line being
// built starts at `lineStart` (the bytes before it were already emitted). The
// operations move only the short head of the output line, never the rest of
// a long input line, so a line cut into many pieces costs linear time.
#pragma once

#include <cstdint>
#include <string>

#include "engine/ctxfichier.h"

namespace vantor {

// Emits the head of the output line (before `column`) as a line of its own,
// unless it holds only blanks; the rest becomes the output line, read from its
// first byte as a new line.
void SplitLine(ctxFichier& ctx);
// Puts `text` before the current token and reads the token there again.
void InsertBeforeToken(ctxFichier& ctx, const std::string& text);
// Puts `text` right after the current token; the token loop reads it next.
void InsertAfterToken(ctxFichier& ctx, const std::string& text);
// After `column` has moved past the token: the token's characters become
// `text` (the whole rest of the line is kept) and reading goes on after it.
void ReplaceToken(ctxFichier& ctx, const std::string& text);
// Removes the bytes already emitted from the front of `line` (`lineStart`
// back to 0), for code that reads `line` as a whole.
void DropEmittedBytes(ctxFichier& ctx);

// The column of the current token in the output line (1-based).
inline int32_t OutputColumn(const ctxFichier& ctx) { return ctx.column - ctx.lineStart; }

// Indentation of the first token of a line. `targetColumn` is 0 or the column
// already decided by a closing brace; `inCommentBefore` tells that the line
// began inside a block comment (the token continues or closes it).
void IndentFirstToken(ctxFichier& ctx, int32_t targetColumn, bool inCommentBefore);
// Braces mandatory: inserts "{" before the statement an if, else, loop or do
// controls. True when it inserted (the caller restarts at the "{").
bool TryInsertOpeningBrace(ctxFichier& ctx);
// At the ";" that ends a statement: closes inserted braces right after it.
// Returns the number of "}" inserted.
int32_t InsertClosingBraces(ctxFichier& ctx);
// Closes inserted braces before the current token (after a written "}", or
// before a written "}" or "else" that an inserted brace still encloses).
// Returns the number of "}" inserted; the caller restarts when it is not 0.
int32_t InsertBracesAfterClosingBrace(ctxFichier& ctx);

}  // namespace vantor
