// The two-way cross-reference index of a Design run: each row name (a source
// file, a function) with the names it uses, and each used name with the rows
// that use it. Written as "dependency.html" and "calling.html".
#pragma once

#include <cstddef>
#include <cstdint>
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
    // A kernel-sized run calls AddUse tens of millions of times: names are
    // found through a flat open-addressing table of (hash, id) pairs that
    // ignores case, and kept in arrival order; the sorting is done once, when
    // the page is written.
    struct Slot {
        uint32_t hash;
        int32_t id;  // -1: empty
    };
    struct Index {
        std::vector<Slot> slots;  // a power of two, at most half full
        size_t used = 0;
    };
    struct Use {
        int32_t column;
        int32_t spelling;  // -1: the column's own spelling, else an index in `spellings`
    };
    struct Row {
        std::string name;
        std::vector<Use> uses;  // of the current definition only
    };
    struct Column {
        std::string name;
        std::vector<int32_t> users;  // rows, maybe repeated when a row was restarted
        int64_t stamp = -1;          // the row definition that used it last
    };

    static uint32_t Hash(const std::string& name);
    template <class Names>
    static int32_t Find(const Index& index, const Names& names, const std::string& name, uint32_t hash);
    static void Insert(Index& index, uint32_t hash, int32_t id);

    const std::string& UseName(const Use& u) const;
    // Ids in page order, and each id's place in it.
    template <class Names>
    static std::vector<int32_t> PageOrder(const Names& names, std::vector<int32_t>* rank);
    std::vector<const std::string*> SortedUses(const Row& row, const std::vector<int32_t>& columnRank) const;
    std::vector<int32_t> SortedUsers(const Column& column, const std::vector<int32_t>& rowRank) const;

    std::vector<Row> rows;
    std::vector<Column> columns;
    std::vector<std::string> spellings;  // a use spelled otherwise than its column
    Index rowIndex;
    Index columnIndex;
    int32_t currentRow = -1;  // the row added last; none until the first row
    int64_t definition = 0;   // counts AddRow calls: what a use list belongs to
};

// End of a Design run: writes Settings.dependencyMatrix to designFolder +
// "/dependency.html" and Settings.callingMatrix to designFolder +
// "/calling.html", each only when it exists, then frees it and clears the
// pointer. False when a page could not be written (already reported).
bool WriteDesignMatrices(const std::string& designFolder);

}  // namespace vantor
