#include "design/stringmatrix.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <utility>

#include "config/pipeline.h"
#include "config/settings.h"
#include "console/console.h"
#include "platform/fs.h"
#include "platform/text.h"

namespace vantor {

bool NameLess::operator()(const std::string& a, const std::string& b) const {
    const size_t n = a.size() < b.size() ? a.size() : b.size();
    const unsigned char* pa = reinterpret_cast<const unsigned char*>(a.data());
    const unsigned char* pb = reinterpret_cast<const unsigned char*>(b.data());
    for (size_t i = 0; i < n; ++i) {
        // Names of one tree share long prefixes: equal bytes need no case folding.
        if (pa[i] == pb[i]) continue;
        const unsigned char ca = static_cast<unsigned char>(AsciiLower(static_cast<char>(pa[i])));
        const unsigned char cb = static_cast<unsigned char>(AsciiLower(static_cast<char>(pb[i])));
        if (ca != cb) return ca < cb;
    }
    return a.size() < b.size();
}

uint32_t TStringMatrix::Hash(const std::string& name) {
    uint64_t h = 14695981039346656037ull;  // FNV-1a over the lower-cased bytes
    for (char c : name) h = (h ^ static_cast<unsigned char>(AsciiLower(c))) * 1099511628211ull;
    return static_cast<uint32_t>(h ^ (h >> 32));
}

template <class Names>
int32_t TStringMatrix::Find(const Index& index, const Names& names, const std::string& name, uint32_t hash) {
    if (index.slots.empty()) return -1;
    const size_t mask = index.slots.size() - 1;
    for (size_t i = hash & mask;; i = (i + 1) & mask) {
        const Slot& slot = index.slots[i];
        if (slot.id < 0) return -1;
        if (slot.hash != hash) continue;
        const std::string& known = names[static_cast<size_t>(slot.id)].name;
        if (known.size() == name.size() && EqualsNoCase(known.data(), name.data(), name.size())) return slot.id;
    }
}

void TStringMatrix::Insert(Index& index, uint32_t hash, int32_t id) {
    if (2 * (index.used + 1) > index.slots.size()) {
        std::vector<Slot> old;
        old.swap(index.slots);
        index.slots.assign(old.empty() ? 1024 : 2 * old.size(), Slot{0, -1});
        index.used = 0;
        for (const Slot& s : old)
            if (s.id >= 0) Insert(index, s.hash, s.id);
    }
    const size_t mask = index.slots.size() - 1;
    size_t i = hash & mask;
    while (index.slots[i].id >= 0) i = (i + 1) & mask;
    index.slots[i] = Slot{hash, id};
    ++index.used;
}

void TStringMatrix::AddRow(const std::string& name) {
    const uint32_t hash = Hash(name);
    int32_t id = Find(rowIndex, rows, name, hash);
    if (id < 0) {
        id = static_cast<int32_t>(rows.size());
        rows.push_back(Row{name, {}});
        Insert(rowIndex, hash, id);
    } else {
        rows[static_cast<size_t>(id)].uses.clear();  // a name added again starts afresh
    }
    currentRow = id;
    ++definition;
}

void TStringMatrix::AddUse(const std::string& name) {
    if (currentRow < 0) return;
    const uint32_t hash = Hash(name);
    int32_t id = Find(columnIndex, columns, name, hash);
    if (id < 0) {
        id = static_cast<int32_t>(columns.size());
        columns.push_back(Column{name, {}, -1});
        Insert(columnIndex, hash, id);
    }
    Column& column = columns[static_cast<size_t>(id)];
    if (column.stamp == definition) return;  // already in this definition's list
    column.stamp = definition;
    Use use{id, -1};
    // The row's list keeps the spelling it met first, which may not be the column's.
    if (name != column.name) {
        use.spelling = static_cast<int32_t>(spellings.size());
        spellings.push_back(name);
    }
    rows[static_cast<size_t>(currentRow)].uses.push_back(use);
    if (column.users.empty() || column.users.back() != currentRow) column.users.push_back(currentRow);
}

const std::string& TStringMatrix::UseName(const Use& u) const {
    return u.spelling < 0 ? columns[static_cast<size_t>(u.column)].name : spellings[static_cast<size_t>(u.spelling)];
}

template <class Names>
std::vector<int32_t> TStringMatrix::PageOrder(const Names& names, std::vector<int32_t>* rank) {
    // Sorting hundreds of thousands of names: the first eight lower-cased
    // bytes, packed big-endian, decide most comparisons without touching the text.
    std::vector<std::pair<uint64_t, int32_t>> keys(names.size());
    for (size_t i = 0; i < keys.size(); ++i) {
        const std::string& n = names[i].name;
        uint64_t k = 0;
        for (size_t b = 0; b < 8; ++b)
            k = (k << 8) | (b < n.size() ? static_cast<unsigned char>(AsciiLower(n[b])) : 0u);
        keys[i] = {k, static_cast<int32_t>(i)};
    }
    std::sort(keys.begin(), keys.end(), [&names](const std::pair<uint64_t, int32_t>& a, const std::pair<uint64_t, int32_t>& b) {
        if (a.first != b.first) return a.first < b.first;
        return NameLess()(names[static_cast<size_t>(a.second)].name, names[static_cast<size_t>(b.second)].name);
    });
    std::vector<int32_t> ids(keys.size());
    for (size_t i = 0; i < ids.size(); ++i) ids[i] = keys[i].second;
    if (rank) {
        rank->resize(ids.size());
        for (size_t i = 0; i < ids.size(); ++i) (*rank)[static_cast<size_t>(ids[i])] = static_cast<int32_t>(i);
    }
    return ids;
}

// A use sorts as its column: the two spellings differ in letter case only.
std::vector<const std::string*> TStringMatrix::SortedUses(const Row& row, const std::vector<int32_t>& columnRank) const {
    std::vector<Use> uses = row.uses;
    std::sort(uses.begin(), uses.end(), [&columnRank](const Use& a, const Use& b) {
        return columnRank[static_cast<size_t>(a.column)] < columnRank[static_cast<size_t>(b.column)];
    });
    std::vector<const std::string*> names;
    names.reserve(uses.size());
    for (const Use& u : uses) names.push_back(&UseName(u));
    return names;
}

std::vector<int32_t> TStringMatrix::SortedUsers(const Column& column, const std::vector<int32_t>& rowRank) const {
    std::vector<int32_t> ids = column.users;
    std::sort(ids.begin(), ids.end(), [&rowRank](int32_t a, int32_t b) {
        return rowRank[static_cast<size_t>(a)] < rowRank[static_cast<size_t>(b)];
    });
    ids.erase(std::unique(ids.begin(), ids.end()), ids.end());
    return ids;
}

namespace {

// A kernel-sized calling matrix makes a page of over a hundred megabytes out
// of short pieces: they are gathered in a block of our own, written whole.
class PageOut {
public:
    explicit PageOut(FILE* f) : f_(f) { buf_.reserve(kBlock + 4096); }
    ~PageOut() { Flush(); }
    void operator()(const char* s) { (*this)(s, std::strlen(s)); }
    void operator()(const std::string& s) { (*this)(s.data(), s.size()); }
    void operator()(const char* s, size_t n) {
        buf_.append(s, n);
        if (buf_.size() >= kBlock) Flush();
    }
    bool Flush() {
        if (!buf_.empty()) ok_ = std::fwrite(buf_.data(), 1, buf_.size(), f_) == buf_.size() && ok_;
        buf_.clear();
        return ok_;
    }

private:
    static constexpr size_t kBlock = 256 * 1024;
    FILE* f_;
    std::string buf_;
    bool ok_ = true;
};

}  // namespace

bool TStringMatrix::WriteHtml(const std::string& path) const {
    // A page name planted as a link in the folder is replaced, never followed.
    int error = 0;
    FILE* f = CreateNewFile(path, 0666, error);
    bool ok = f != nullptr;
    if (ok) {
        std::vector<int32_t> rowRank, columnRank;
        const std::vector<int32_t> rowOrder = PageOrder(rows, &rowRank);
        const std::vector<int32_t> columnOrder = PageOrder(columns, &columnRank);
        // Names go out as they are, unescaped, in the page format other tools already read.
        PageOut out(f);
        out("<p><b><U>Table use:</U></b>\n");
        for (int32_t r : rowOrder) {
            const Row& row = rows[static_cast<size_t>(r)];
            out("<p><b>");
            out(row.name);
            out("</b>:&nbsp;");
            for (const std::string* use : SortedUses(row, columnRank)) {
                out(*use);
                out("&nbsp;");
            }
            out("<p></p></p>\n");
        }
        out("<b><U>Table is used by</U></b>\n");
        for (int32_t c : columnOrder) {
            const Column& column = columns[static_cast<size_t>(c)];
            out("<p><b>");
            out(column.name);
            out("</b>:&nbsp;");
            for (int32_t user : SortedUsers(column, rowRank)) {
                out(rows[static_cast<size_t>(user)].name);
                out("&nbsp;");
            }
            out("</p>\n");
        }
        ok = out.Flush();
        ok = std::fclose(f) == 0 && ok;  // a full disk may show only at the close
    }
    if (!ok) {
        if (error == 0) error = errno;
        ReportFileError("impossible d'écrire le fichier %s\n", "unable to write the file %s\n", path, ErrorText(error));
    }
    return ok;
}

std::vector<std::string> TStringMatrix::RowNames() const {
    std::vector<std::string> names;
    for (int32_t r : PageOrder(rows, nullptr)) names.push_back(rows[static_cast<size_t>(r)].name);
    return names;
}

std::vector<std::string> TStringMatrix::ColumnNames() const {
    std::vector<std::string> names;
    for (int32_t c : PageOrder(columns, nullptr)) names.push_back(columns[static_cast<size_t>(c)].name);
    return names;
}

std::vector<std::string> TStringMatrix::Uses(const std::string& row) const {
    std::vector<std::string> names;
    const int32_t id = Find(rowIndex, rows, row, Hash(row));
    if (id < 0) return names;
    std::vector<int32_t> columnRank;
    PageOrder(columns, &columnRank);
    for (const std::string* use : SortedUses(rows[static_cast<size_t>(id)], columnRank)) names.push_back(*use);
    return names;
}

std::vector<std::string> TStringMatrix::UsedBy(const std::string& column) const {
    std::vector<std::string> names;
    const int32_t id = Find(columnIndex, columns, column, Hash(column));
    if (id < 0) return names;
    std::vector<int32_t> rowRank;
    PageOrder(rows, &rowRank);
    for (int32_t r : SortedUsers(columns[static_cast<size_t>(id)], rowRank)) names.push_back(rows[static_cast<size_t>(r)].name);
    return names;
}

namespace {

bool WriteAndFree(TStringMatrix*& matrix, const std::string& path) {
    if (matrix == nullptr) return true;
    bool ok = matrix->WriteHtml(path);
    delete matrix;
    matrix = nullptr;
    return ok;
}

}  // namespace

bool WriteDesignMatrices(const std::string& designFolder) {
    bool ok = WriteAndFree(Settings.dependencyMatrix, designFolder + "/dependency.html");
    return WriteAndFree(Settings.callingMatrix, designFolder + "/calling.html") && ok;
}

}  // namespace vantor
