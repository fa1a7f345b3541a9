// Pseudo-code rendering of a Design run: token replacements while the engine
// reads, and the decision which lines reach the page.
#pragma once

#include <string>

#include "engine/ctxfichier.h"

namespace vantor {

// After the engine has handled the current token (Design only).
void RenderDesignToken(ctxFichier& ctx);
// The Design branch of EmitLine: keeps, formats and adds the line, or drops it.
void EmitDesignLine(ctxFichier& ctx, const std::string& text);

}  // namespace vantor
