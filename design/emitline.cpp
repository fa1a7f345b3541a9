#include "design/emitline.h"

#include "config/settings.h"
#include "design/pseudocode.h"

namespace vantor {

void EmitLine(ctxFichier& ctx, const std::string& text) {
    // Check rewrites nothing and writes no file: its lines would only be dropped.
    if (Settings.checkMode && !Settings.Indenter && !Settings.couverture) return;
    // Nor does Search: a copy of every line, for nothing, was a third of its time.
    if (Settings.dictionaryMode && !Settings.replaceMode) return;
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
    EmitLine(ctx, text.data(), text.size());
}

void EmitLine(ctxFichier& ctx, const char* text, size_t size) {
    size_t end = size;
    while (end > 0 && (text[end - 1] == '\r' || text[end - 1] == '\n')) --end;
    std::string* out = ctx.directOutput;
    if (out == nullptr) {
        if (ctx.spareLines.empty()) {
            ctx.outputLines.emplace_back();
            ctx.outputLines.back().reserve(end + 2);
        } else {
            ctx.outputLines.push_back(std::move(ctx.spareLines.back()));
            ctx.spareLines.pop_back();
            ctx.outputLines.back().clear();
        }
        out = &ctx.outputLines.back();
    }
    // Most lines already end as they must: copied whole, line end included.
    const bool crlf = Settings.rtlf;
    if (crlf ? size - end == 2 && text[end] == '\r' && text[end + 1] == '\n' : size - end == 1 && text[end] == '\n') {
        out->append(text, size);
        return;
    }
    out->append(text, end);
    if (crlf)
        out->append("\r\n", 2);
    else
        out->push_back('\n');
}

}  // namespace vantor
