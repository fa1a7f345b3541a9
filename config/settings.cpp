#include "config/settings.h"

#include <algorithm>

#include "platform/text.h"

namespace vantor {

SettingsRecord Settings;
bool French = true;

bool SortedStringList::Add(const std::string& s) {
    auto it = std::lower_bound(items_.begin(), items_.end(), s);
    if (it != items_.end() && *it == s) return false;
    items_.insert(it, s);
    return true;
}

bool SortedStringList::Contains(const std::string& s) const {
    return std::binary_search(items_.begin(), items_.end(), s);
}

const DictionaryRow* Dictionary::Find(const char* name, size_t len) const {
    for (const DictionaryRow& r : rows_)
        if (r.oldName.size() == len && EqualsNoCase(r.oldName.data(), name, len)) return &r;
    return nullptr;
}

bool Dictionary::Add(const std::string& oldName, const std::string& newName) {
    if (Find(oldName)) return false;
    rows_.push_back({oldName, newName});
    return true;
}

bool Dictionary::SetRow(size_t i, const std::string& oldName, const std::string& newName) {
    if (i >= rows_.size()) return false;
    const DictionaryRow* other = Find(oldName);
    if (other && other != &rows_[i]) return false;
    rows_[i] = {oldName, newName};
    return true;
}

bool Dictionary::RemoveRow(size_t i) {
    if (i >= rows_.size()) return false;
    rows_.erase(rows_.begin() + static_cast<std::ptrdiff_t>(i));
    return true;
}

void ResetSettings(Dictionary* dictionary) {
    SettingsRecord& s = Settings;
    s.configFilePath.clear();
    s.replaceMode = false;
    s.SousRepertoire = false;
    s.Indenter = false;
    s.noInterrog = false;
    s.breakSurCase = true;
    s.monoInstruction = true;
    s.lnIndentation = 3;
    s.imbrications = 8;
    s.fonctions = 20;
    s.instructions = 100;
    s.caracteres = 80;
    s.Source.clear();
    s.Destination.clear();
    s.DestinationDesign.clear();
    s.Test.clear();
    s.couverture = false;
    s.accolades = false;
    if (dictionary) dictionary->Clear();
    s.MotsInterdits.Clear();
    // New must equal a fresh start: a loaded configuration's pragma lines and
    // alignment choice do not survive it.
    s.PragmaAvant.clear();
    s.PragmaApres.clear();
    s.aligner = true;
    s.MotsInterdits.Add("goto");
    s.Masques.clear();
    s.Masques.push_back("*.h");
    s.Masques.push_back("*.c");
    s.folderToIgnore.clear();
    // A first Apply must not turn every touched file to the other platform's line end.
    s.rtlf = kPlatformCrLf;
}

}  // namespace vantor
