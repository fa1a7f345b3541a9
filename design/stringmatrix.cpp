#include "design/stringmatrix.h"

#include <algorithm>
#include <cstdio>
#include <cstring>

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

size_t TStringMatrix::NameHash::operator()(std::string_view s) const {
    uint64_t h = 14695981039346656037ull;  // FNV-1a over the lower-cased bytes
    for (char c : s) h = (h ^ static_cast<unsigned char>(AsciiLower(c))) * 1099511628211ull;
    return static_cast<size_t>(h);
}

bool TStringMatrix::NameEqual::operator()(std::string_view a, std::string_view b) const {
    return a.size() == b.size() && EqualsNoCase(a.data(), b.data(), a.size());
}

void TStringMatrix::AddRow(const std::string& name) {
    auto it = rowIndex.find(name);
    if (it == rowIndex.end()) {
        rows.push_back(Row{name, {}});
        it = rowIndex.emplace(rows.back().name, static_cast<int32_t>(rows.size() - 1)).first;
    } else {
        rows[static_cast<size_t>(it->second)].uses.clear();  // a name added again starts afresh
    }
    currentRow = it->second;
    ++definition;
}

void TStringMatrix::AddUse(const std::string& name) {
    if (currentRow < 0) return;
    auto it = columnIndex.find(name);
    if (it == columnIndex.end()) {
        columns.push_back(Column{name, {}, -1});
        it = columnIndex.emplace(columns.back().name, static_cast<int32_t>(columns.size() - 1)).first;
    }
    Column& column = columns[static_cast<size_t>(it->second)];
    if (column.stamp == definition) return;  // already in this definition's list
    column.stamp = definition;
    Use use{it->second, -1};
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

std::vector<int32_t> TStringMatrix::SortedRows() const {
    std::vector<int32_t> ids(rows.size());
    for (size_t i = 0; i < ids.size(); ++i) ids[i] = static_cast<int32_t>(i);
    std::sort(ids.begin(), ids.end(), [this](int32_t a, int32_t b) {
        return NameLess()(rows[static_cast<size_t>(a)].name, rows[static_cast<size_t>(b)].name);
    });
    return ids;
}

std::vector<int32_t> TStringMatrix::SortedColumns() const {
    std::vector<int32_t> ids(columns.size());
    for (size_t i = 0; i < ids.size(); ++i) ids[i] = static_cast<int32_t>(i);
    std::sort(ids.begin(), ids.end(), [this](int32_t a, int32_t b) {
        return NameLess()(columns[static_cast<size_t>(a)].name, columns[static_cast<size_t>(b)].name);
    });
    return ids;
}

std::vector<const std::string*> TStringMatrix::SortedUses(const Row& row) const {
    std::vector<const std::string*> names;
    names.reserve(row.uses.size());
    for (const Use& u : row.uses) names.push_back(&UseName(u));
    std::sort(names.begin(), names.end(), [](const std::string* a, const std::string* b) { return NameLess()(*a, *b); });
    return names;
}

std::vector<int32_t> TStringMatrix::SortedUsers(const Column& column) const {
    std::vector<int32_t> ids = column.users;
    std::sort(ids.begin(), ids.end());
    ids.erase(std::unique(ids.begin(), ids.end()), ids.end());
    std::sort(ids.begin(), ids.end(), [this](int32_t a, int32_t b) {
        return NameLess()(rows[static_cast<size_t>(a)].name, rows[static_cast<size_t>(b)].name);
    });
    return ids;
}

namespace {

// Stream writes: a kernel-sized calling matrix makes a page of many megabytes.
struct PageOut {
    FILE* f;
    bool ok = true;
    void operator()(const char* s) { (*this)(s, std::strlen(s)); }
    void operator()(const std::string& s) { (*this)(s.data(), s.size()); }
    void operator()(const char* s, size_t n) { ok = std::fwrite(s, 1, n, f) == n && ok; }
};

}  // namespace

bool TStringMatrix::WriteHtml(const std::string& path) const {
    FILE* f = OpenFile(path, "w");
    bool ok = f != nullptr;
    if (ok) {
        std::setvbuf(f, nullptr, _IOFBF, 64 * 1024);
        // Names go out as they are, unescaped, in the page format other tools already read.
        PageOut out{f};
        out("<p><b><U>Table use:</U></b>\n");
        for (int32_t r : SortedRows()) {
            const Row& row = rows[static_cast<size_t>(r)];
            out("<p><b>");
            out(row.name);
            out("</b>:&nbsp;");
            for (const std::string* use : SortedUses(row)) {
                out(*use);
                out("&nbsp;");
            }
            out("<p></p></p>\n");
        }
        out("<b><U>Table is used by</U></b>\n");
        for (int32_t c : SortedColumns()) {
            const Column& column = columns[static_cast<size_t>(c)];
            out("<p><b>");
            out(column.name);
            out("</b>:&nbsp;");
            for (int32_t user : SortedUsers(column)) {
                out(rows[static_cast<size_t>(user)].name);
                out("&nbsp;");
            }
            out("</p>\n");
        }
        ok = std::fclose(f) == 0 && out.ok;  // a full disk may show only at the flush
    }
    if (!ok) {
        const char* text = Tr("impossible d'écrire le fichier %s\n", "unable to write the file %s\n");
        ConsolePrintColor(&console, kColorRed, text, path.c_str());
    }
    return ok;
}

std::vector<std::string> TStringMatrix::RowNames() const {
    std::vector<std::string> names;
    for (int32_t r : SortedRows()) names.push_back(rows[static_cast<size_t>(r)].name);
    return names;
}

std::vector<std::string> TStringMatrix::ColumnNames() const {
    std::vector<std::string> names;
    for (int32_t c : SortedColumns()) names.push_back(columns[static_cast<size_t>(c)].name);
    return names;
}

std::vector<std::string> TStringMatrix::Uses(const std::string& row) const {
    std::vector<std::string> names;
    auto it = rowIndex.find(row);
    if (it != rowIndex.end())
        for (const std::string* use : SortedUses(rows[static_cast<size_t>(it->second)])) names.push_back(*use);
    return names;
}

std::vector<std::string> TStringMatrix::UsedBy(const std::string& column) const {
    std::vector<std::string> names;
    auto it = columnIndex.find(column);
    if (it != columnIndex.end())
        for (int32_t r : SortedUsers(columns[static_cast<size_t>(it->second)]))
            names.push_back(rows[static_cast<size_t>(r)].name);
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
