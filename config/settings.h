// The one process-wide settings record, its lists, and the run flags that
// each command sets before a batch run.
#pragma once

#include <cstdint>
#include <cstdio>
#include <string>
#include <string_view>
#include <vector>

namespace vantor {

class TStringMatrix;  // design/stringmatrix.h

// Forbidden words: kept sorted (byte order, case-sensitive), duplicates dropped.
class SortedStringList {
public:
    bool Add(const std::string& s);  // false when already present
    // Runs for every word of every file: most words end at the first test.
    bool Contains(std::string_view s) const {
        const size_t bit = s.size() < 63 ? s.size() : 63;
        if (!s.empty() && ((lengthsByFirstByte_[static_cast<unsigned char>(s[0])] >> bit) & 1) == 0) return false;
        return Search(s);
    }
    void Clear() {
        items_.clear();
        for (uint64_t& m : lengthsByFirstByte_) m = 0;
    }
    size_t Count() const { return items_.size(); }
    bool Empty() const { return items_.empty(); }
    const std::string& operator[](size_t i) const { return items_[i]; }
    const std::vector<std::string>& Items() const { return items_; }

private:
    bool Search(std::string_view s) const;

    std::vector<std::string> items_;
    // Bit min(length, 63) of the entry of a first byte is set when some item
    // has that first byte and length.
    uint64_t lengthsByFirstByte_[256] = {};
};

// The dictionary of Search and Replace: rows of old and new names. Row 0 of
// the window's grid is its title row; here rows hold only names. Old names are
// unique without regard to letter case.
struct DictionaryRow {
    std::string oldName;
    std::string newName;
};

class Dictionary {
public:
    // Adds a row; refused (false) when a row with the same old name, in any
    // letter case, is already there.
    bool Add(const std::string& oldName, const std::string& newName);
    // Row whose old name equals `name` without regard to case, or nullptr.
    const DictionaryRow* Find(const char* name, size_t len) const;
    const DictionaryRow* Find(const std::string& name) const { return Find(name.data(), name.size()); }
    bool SetRow(size_t i, const std::string& oldName, const std::string& newName);
    bool RemoveRow(size_t i);
    void Clear();
    size_t Count() const { return rows_.size(); }
    bool Empty() const { return rows_.empty(); }
    const DictionaryRow& operator[](size_t i) const { return rows_[i]; }
    const std::vector<DictionaryRow>& Rows() const { return rows_; }
    // False when no old name occurs in `text` as a sub-string (letter case
    // significant); true means it may. Lets sub-string matching pass over
    // most lines of a tree at a glance.
    bool MayOccurIn(const std::string& text) const;
    // Sub-string Search over whole blocks of lines: true when every old name
    // has three bytes or more (the rows that may start at a position are then
    // told by its first three or four bytes) and no line end (a name found
    // lies within one line).
    bool BlockSearchable() const { return !rows_.empty() && !shortName_ && !lineEndName_; }
    // The first position in [from, end) where an old name may start (`end`
    // when none). Needs BlockSearchable().
    const char* NextCandidate(const char* from, const char* end) const;
    // The lowest row below `below` whose old name starts at `at` and ends
    // by `end`, or -1.
    int32_t RowAt(const char* at, const char* end, int32_t below) const;

private:
    void Reindex();  // after every change of the rows

    std::vector<DictionaryRow> rows_;
    // Quick rejections, rebuilt by Reindex: the (length, first and last letter) keys
    // of the old names for Find; hashes of their first three or four bytes for
    // MayOccurIn (65536 bits each); an old name of one or two bytes, which
    // the hashes cannot stand for.
    uint64_t lengthLetter_[32768 / 64] = {};
    std::vector<uint64_t> prefixes_;
    // The rows behind each bit of `prefixes_`: (bit << 32 | row), sorted.
    std::vector<uint64_t> rowsByPrefix_;
    bool shortName_ = false;
    bool lineEndName_ = false;
    // NextCandidate's first look, 32 positions at a time where the processor
    // allows: the old names in eight groups; entry [2k][v] holds the groups
    // with a name whose byte k (0 to 3) has low half v, [2k + 1][v] the high
    // halves; a name of three bytes takes any fourth.
    uint8_t nibbles_[8][16] = {};
};

// What becomes of an in-place rewrite: written (the window, and vantor-cli
// by default); only told whether it differs from its source (the first
// difference ends the file); or kept whole for a diff.
enum class PreviewMode { None, Changed, Diff };

struct SettingsRecord {
    // Persistent settings, named after their INI keys.
    std::string Source;
    std::string Destination;
    std::string DestinationDesign;
    std::string Test;
    bool SousRepertoire = false;
    bool Indenter = false;  // also a run flag
    bool noInterrog = false;
    bool breakSurCase = false;
    bool monoInstruction = false;
    bool aligner = false;
    int32_t lnIndentation = 0;
    int32_t imbrications = 0;
    int32_t fonctions = 0;
    int32_t instructions = 0;
    int32_t caracteres = 0;
    bool couverture = false;  // also a run flag
    bool accolades = false;
    std::string folderToIgnore;
    bool rtlf = false;
    // Functions inside class, structure and namespace braces count as
    // functions too (off: only bodies opened at file level do).
    bool Methodes = false;

    // Lists.
    std::vector<std::string> Masques;
    SortedStringList MotsInterdits;
    std::vector<std::string> PragmaAvant;  // "Pragma avant"
    std::vector<std::string> PragmaApres;  // "Pragma apres"

    std::string configFilePath;

    // Run flags, set by the commands.
    bool checkMode = false;
    bool dictionaryMode = false;
    bool replaceMode = false;
    bool substringMode = false;
    bool designMode = false;
    TStringMatrix* dependencyMatrix = nullptr;
    TStringMatrix* callingMatrix = nullptr;
    FILE* designListFile = nullptr;
    // Beyond the window's commands, set by vantor-cli's options only.
    // apply/replace --check and --diff: an in-place rewrite is compared with
    // its source, never written.
    PreviewMode preview = PreviewMode::None;
    bool noBackup = false;   // --no-backup: an in-place rewrite keeps no ".bak"
    bool matchCase = false;  // --match-case: whole-token Search and Replace compare letter case
};

extern SettingsRecord Settings;

// The user-interface language; every bilingual message reads it when printed.
extern bool French;

// The platform's own line end: CR LF on Windows, LF elsewhere.
constexpr bool kPlatformCrLf =
#ifdef _WIN32
    true;
#else
    false;
#endif

// Built-in defaults (the New command and program start). `dictionary`, when
// given, is the dictionary grid to clear.
void ResetSettings(Dictionary* dictionary = nullptr);

// Picks the French or the English text by the `French` flag.
inline const char* Tr(const char* fr, const char* en) { return French ? fr : en; }

}  // namespace vantor
