// Statement closers of the line engine: at the end of a statement they pop the
// unbraced if, else and loop entries that the statement completed.
#pragma once

#include "engine/ctxfichier.h"

namespace vantor {

// Top If popped, then the While and For entries under it.
void CloseIfs(ctxFichier& ctx);
// While/For/Switch entries, one Else, then While/For/Switch again.
void CloseLoopsAndElse(ctxFichier& ctx);
// CloseLoopsAndElse, then CloseIfs.
void CloseStatement(ctxFichier& ctx);

}  // namespace vantor
