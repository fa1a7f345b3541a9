#include "config/search.h"

#include "console/console.h"

namespace vantor {

namespace {

void ReportMatch(const std::string& line, size_t at, const std::string& key) {
    if (at > 0) ConsolePrint(&console, "%.*s", static_cast<int>(at), line.data());
    ConsolePrintColor(&console, kColorGreen, "%s", key.c_str());
    const char* rest = line.c_str() + at + key.size();
    if (*rest) ConsolePrint(&console, "%s", rest);
    // A last line without line end must not leave the console line open.
    if (line.empty() || line.back() != '\n') ConsolePrint(&console, "\n");
}

}  // namespace

bool ApplyDictionary(std::string& line, const Dictionary* dictionary, int32_t* matches) {
    // Most lines hold none of the names: they are passed over at a glance.
    if (!dictionary || !dictionary->MayOccurIn(line)) return false;
    bool changed = false;
    std::string result;
    for (const DictionaryRow& row : dictionary->Rows()) {
        const std::string& key = row.oldName;
        if (key.empty()) continue;
        size_t at = line.find(key);
        if (at == std::string::npos) continue;
        if (!Settings.replaceMode) {
            ReportMatch(line, at, key);
            if (matches) ++*matches;
            return false;
        }
        // Left to right, never looking into a replacement made by this row.
        result.clear();
        size_t from = 0;
        do {
            result.append(line, from, at - from);
            result += row.newName;
            from = at + key.size();
            at = line.find(key, from);
        } while (at != std::string::npos);
        result.append(line, from, std::string::npos);
        line.swap(result);
        changed = true;
    }
    return changed;
}

}  // namespace vantor
