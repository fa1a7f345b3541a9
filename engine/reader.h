// The token reader: cuts the next token out of the current line of a file
// context and keeps the lexical state (comments, continued strings, line
// continuation, preprocessor lines) across lines.
#pragma once

#include "engine/ctxfichier.h"

namespace vantor {

// Reads the token that starts at `column` (after white space) into `token`,
// empty when the line has no further token. `column` is left at the token's
// start; the caller moves past it.
void ReadToken(ctxFichier& ctx);

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
