#include "design/emitline.h"

#include "config/settings.h"
#include "design/pseudocode.h"

namespace vantor {

void EmitLine(ctxFichier& ctx, const std::string& text) {
    if (Settings.designMode) {
        EmitDesignLine(ctx, text);
        return;
    }
    // Search and Replace change nothing but the matched names: the line keeps
    // its own line end (or none, on a last line).
    if (Settings.dictionaryMode) {
        ctx.outputLines.push_back(text);
        return;
    }
    size_t end = text.size();
    while (end > 0 && (text[end - 1] == '\r' || text[end - 1] == '\n')) --end;
    std::string out;
    out.reserve(end + 2);
    out.append(text, 0, end);
    out += Settings.rtlf ? "\r\n" : "\n";
    ctx.outputLines.push_back(std::move(out));
}

}  // namespace vantor
