// The line engine: one source line through the token reader, the block and
// function tracking, the rules and the rewriting.
#pragma once

#include "config/settings.h"
#include "engine/ctxfichier.h"

namespace vantor {

// Processes `ctx.line` (its number in `lineNumber` and `outputLineNumber`) and
// hands the resulting line, and any piece split off it, to the line output.
void ProcessLine(ctxFichier& ctx, const Dictionary* dictionary);

}  // namespace vantor
