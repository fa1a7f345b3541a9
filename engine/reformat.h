// Rewriting of the current line while the engine reads it (Apply, Design,
// Instrumentation). Every operation works on `line`, `column` and `token` of
// the context and sets `lineModified`.
#pragma once

#include <cstdint>
#include <string>

#include "engine/ctxfichier.h"

namespace vantor {

// Emits the head of the line (before `column`) as a line of its own, unless it
// holds only blanks; the rest becomes the line, read from column 1 as a new line.
void SplitLine(ctxFichier& ctx);
// Puts `text` before the current token and reads the token there again.
void InsertBeforeToken(ctxFichier& ctx, const std::string& text);
// Puts `text` right after the current token; the token loop reads it next.
void InsertAfterToken(ctxFichier& ctx, const std::string& text);
// After `column` has moved past the token: the token's characters become
// `text` (the whole rest of the line is kept) and `column` follows.
void ReplaceToken(ctxFichier& ctx, const std::string& text);

// Indentation of the first token of a line. `targetColumn` is 0 or the column
// already decided by a closing brace.
void IndentFirstToken(ctxFichier& ctx, int32_t targetColumn);
// Braces mandatory: inserts "{" before the statement an if, else, loop or do
// controls. True when it inserted (the caller restarts at the "{").
bool TryInsertOpeningBrace(ctxFichier& ctx);
// At the ";" that ends a statement: closes inserted braces after it.
void InsertClosingBraces(ctxFichier& ctx);
// After a written "}": closes inserted braces before the current token. True
// when it inserted (the caller restarts).
bool InsertBracesAfterClosingBrace(ctxFichier& ctx);

}  // namespace vantor
