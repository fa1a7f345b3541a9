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
void CloseStatementSlow(ctxFichier& ctx);
// Runs for most code tokens; only an if, else, loop or switch on top has
// anything to close.
inline void CloseStatement(ctxFichier& ctx) {
    if (ctx.blockTop <= 0) return;
    const int32_t kind = ctx.Top().kind;
    if (kind != If && kind != Else && kind != While && kind != For && kind != Switch) return;
    CloseStatementSlow(ctx);
}

}  // namespace vantor
