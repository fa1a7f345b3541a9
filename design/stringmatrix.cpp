#include "design/stringmatrix.h"

#include <cstdio>

#include "config/settings.h"
#include "console/console.h"
#include "platform/fs.h"
#include "platform/text.h"

namespace vantor {

bool NameLess::operator()(const std::string& a, const std::string& b) const {
    size_t n = a.size() < b.size() ? a.size() : b.size();
    for (size_t i = 0; i < n; ++i) {
        unsigned char ca = static_cast<unsigned char>(AsciiLower(a[i]));
        unsigned char cb = static_cast<unsigned char>(AsciiLower(b[i]));
        if (ca != cb) return ca < cb;
    }
    return a.size() < b.size();
}

void TStringMatrix::AddRow(const std::string& name) {
    auto it = rows.try_emplace(name).first;  // an existing key keeps its first spelling
    it->second.clear();
    currentRow = &it->first;
    currentRowUses = &it->second;
}

void TStringMatrix::AddUse(const std::string& name) {
    if (currentRowUses == nullptr) return;
    // Lookups first: the scanner calls this for every call it meets, and a
    // name already recorded must not cost an allocation.
    if (currentRowUses->find(name) == currentRowUses->end()) currentRowUses->insert(name);
    auto col = columns.find(name);
    if (col == columns.end()) col = columns.emplace(name, NameSet()).first;
    if (col->second.find(*currentRow) == col->second.end()) col->second.insert(*currentRow);
}

namespace {

// Stream writes: a kernel-sized calling matrix makes a page of many megabytes.
struct PageOut {
    FILE* f;
    bool ok = true;
    void operator()(const std::string& s) { ok = std::fwrite(s.data(), 1, s.size(), f) == s.size() && ok; }
};

}  // namespace

bool TStringMatrix::WriteHtml(const std::string& path) const {
    FILE* f = OpenFile(path, "w");
    bool ok = f != nullptr;
    if (ok) {
        // Names go out as they are, unescaped, in the page format other tools already read.
        PageOut out{f};
        out("<p><b><U>Table use:</U></b>\n");
        for (const auto& row : rows) {
            out("<p><b>" + row.first + "</b>:&nbsp;");
            for (const std::string& use : row.second) out(use + "&nbsp;");
            out("<p></p></p>\n");
        }
        out("<b><U>Table is used by</U></b>\n");
        for (const auto& col : columns) {
            out("<p><b>" + col.first + "</b>:&nbsp;");
            for (const std::string& user : col.second) out(user + "&nbsp;");
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
    for (const auto& row : rows) names.push_back(row.first);
    return names;
}

std::vector<std::string> TStringMatrix::ColumnNames() const {
    std::vector<std::string> names;
    for (const auto& col : columns) names.push_back(col.first);
    return names;
}

std::vector<std::string> TStringMatrix::Uses(const std::string& row) const {
    auto it = rows.find(row);
    return it == rows.end() ? std::vector<std::string>()
                            : std::vector<std::string>(it->second.begin(), it->second.end());
}

std::vector<std::string> TStringMatrix::UsedBy(const std::string& column) const {
    auto it = columns.find(column);
    return it == columns.end() ? std::vector<std::string>()
                               : std::vector<std::string>(it->second.begin(), it->second.end());
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
