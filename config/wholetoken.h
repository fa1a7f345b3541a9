// Whole-token search and replace (Search and Replace without the sub-string
// option): the line engine hands every word that is not one of its keywords here.
#pragma once

#include "config/settings.h"
#include "engine/ctxfichier.h"

namespace vantor {

// Looks `token` up among the dictionary's old names (letter case ignored). A
// match is listed as "%04d:" + the line with the token in green; in Replace the
// token is rewritten in `line` and `token` becomes the new name.
void MatchWholeToken(ctxFichier& ctx, const Dictionary* dictionary);

}  // namespace vantor
