// The two-way cross-reference index of a Design run: each row name (a source
// file, a function) with the names it uses, and each used name with the rows
// that use it. Written as "dependency.html" and "calling.html".
#pragma once

#include <cstddef>
#include <map>
#include <set>
#include <string>
#include <vector>

namespace vantor {

// Names compare without regard to ASCII letter case and sort by their bytes
// after lower-casing; the spelling stored is the one added first.
struct NameLess {
    bool operator()(const std::string& a, const std::string& b) const;
};

class TStringMatrix {
public:
    TStringMatrix() = default;
    TStringMatrix(const TStringMatrix&) = delete;
    TStringMatrix& operator=(const TStringMatrix&) = delete;

    // Makes `name` the current row and starts its use list afresh: a name
    // added again (a same-named file, a function defined twice) keeps only
    // the uses that follow. Its entries in the reverse index stay.
    void AddRow(const std::string& name);
    // `name` is used by the current row; nothing before the first row.
    void AddUse(const std::string& name);
    // Writes the page; false, reported in red with the path, when the file
    // cannot be created or written.
    bool WriteHtml(const std::string& path) const;

    // Read access, in page order, with the spellings the page shows.
    std::vector<std::string> RowNames() const;
    std::vector<std::string> ColumnNames() const;
    std::vector<std::string> Uses(const std::string& row) const;      // empty for an unknown row
    std::vector<std::string> UsedBy(const std::string& column) const;  // empty for an unknown name

private:
    using NameSet = std::set<std::string, NameLess>;
    std::map<std::string, NameSet, NameLess> rows;     // row name -> names it uses
    std::map<std::string, NameSet, NameLess> columns;  // used name -> rows that use it
    const std::string* currentRow = nullptr;           // key in `rows` of the row added last
    NameSet* currentRowUses = nullptr;                 // its use list; null until the first row
};

// End of a Design run: writes Settings.dependencyMatrix to designFolder +
// "/dependency.html" and Settings.callingMatrix to designFolder +
// "/calling.html", each only when it exists, then frees it and clears the
// pointer. False when a page could not be written (already reported).
bool WriteDesignMatrices(const std::string& designFolder);

}  // namespace vantor
