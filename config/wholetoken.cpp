#include "config/wholetoken.h"

#include "console/console.h"

namespace vantor {

void MatchWholeToken(ctxFichier& ctx, const Dictionary* dictionary) {
    if (dictionary == nullptr || ctx.token.empty()) return;
    const DictionaryRow* row = dictionary->Find(ctx.token.data(), ctx.token.size());
    if (row == nullptr) return;
    // Old names differ in more than letter case, so the row found is the only candidate.
    if (Settings.matchCase && row->oldName.compare(0, std::string::npos, ctx.token.data(), ctx.token.size()) != 0)
        return;
    const int32_t number =
        (Settings.Indenter && !Settings.couverture) ? ctx.outputLineNumber : ctx.lineNumber;
    ConsolePrint(&console, "%04d:", number);
    size_t start = ctx.column > 1 ? static_cast<size_t>(ctx.column - 1) : 0;
    if (start > ctx.line.size()) start = ctx.line.size();
    // The prefix is the output line so far: bytes already cut off and emitted are not shown.
    size_t head = ctx.lineStart > 0 ? static_cast<size_t>(ctx.lineStart) : 0;
    if (head > start) head = start;
    if (start > head) ConsoleWrite(&console, ctx.line.data() + head, start - head);
    const size_t restAt =
        start + ctx.token.size() < ctx.line.size() ? start + ctx.token.size() : ctx.line.size();
    if (!Settings.replaceMode) ++ctx.matchCount;
    if (Settings.replaceMode) {
        ctx.line.replace(start, restAt - start, row->newName);
        ctx.token.Assign(row->newName);
        ctx.lineModified = true;
    }
    const size_t restFrom = start + ctx.token.size();
    ConsoleWriteColor(&console, kColorGreen, ctx.token.c_str());
    if (restFrom < ctx.line.size()) ConsoleWrite(&console, ctx.line.data() + restFrom, ctx.line.size() - restFrom);
    // A last line without line end must not leave the console line open.
    if (ctx.line.empty() || ctx.line.back() != '\n') ConsolePrint(&console, "\n");
}

}  // namespace vantor
