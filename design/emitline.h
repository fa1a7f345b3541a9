// The line output: every finished line and every piece split off a line goes
// through here into `outputLines`.
#pragma once

#include <string>

#include "engine/ctxfichier.h"

namespace vantor {

// Outside Design: the text with its line end replaced by the configured one
// ("\r\n" with `rtlf`, else "\n"); Search and Replace keep the text as it is.
// In Design: the pseudo-code paragraph, if kept.
void EmitLine(ctxFichier& ctx, const std::string& text);
// The same for the `size` bytes at `text`, for the commands that rewrite
// lines (not Check, Design, Search or Replace).
void EmitLine(ctxFichier& ctx, const char* text, size_t size);

}  // namespace vantor
