#include "coverage/covtable.h"

#include <cstdint>

#include "config/settings.h"
#include "platform/filedate.h"
#include "platform/text.h"

namespace vantor {

namespace {

bool HasExtension(const std::string& path, std::initializer_list<const char*> extensions) {
    for (const char* e : extensions)
        if (EndsWithNoCase(path, e, std::char_traits<char>::length(e))) return true;
    return false;
}

bool Put(FILE* out, const std::string& s) { return std::fwrite(s.data(), 1, s.size(), out) == s.size(); }

// Rows are unsigned short: a value the field cannot hold is written as the
// 16 bits the compiler would keep, since C++ refuses a narrowing initialiser.
unsigned Short(int32_t v) { return static_cast<uint16_t>(v); }

}  // namespace

const char* CoverageLineEnd() { return Settings.rtlf ? "\r\n" : "\n"; }

bool IsHeaderFile(const std::string& path) { return HasExtension(path, {".h", ".hh", ".hpp", ".hxx"}); }

bool IsCppSourceFile(const std::string& path) { return HasExtension(path, {".cc", ".cpp", ".cxx", ".c++"}); }

std::string CoverageHeaderLine1() { return std::string("#define COV_SET(a) CovTablePt[a]=1") + CoverageLineEnd(); }

std::string CoverageHeaderLine2(const std::string& path) {
    // gcc and clang refuse "extern" followed by the table's static definition,
    // so only headers keep the extern declaration.
    if (IsHeaderFile(path)) return std::string("extern char *CovTablePt;") + CoverageLineEnd();
    if (!IsCppSourceFile(path)) return std::string("static char *CovTablePt;") + CoverageLineEnd();
    // C++ cannot define the pointer again, constant-initialised, at the end, and a
    // start-up assignment comes too late when another file's static initialisers
    // call this file's functions first (GoogleTest registers its tests so): the
    // markers reach the table through a function. A header's extern line then
    // re-declares that function.
    return std::string("static inline char *CovTableAt();") + CoverageLineEnd() + "#define CovTablePt CovTableAt()" +
           CoverageLineEnd();
}

bool WriteBranchTable(const Branch* branch, FILE* out) {
    bool ok = true;
    const int32_t k = branch->number;
    if (k != 0) {
        ok = std::fprintf(out, "%c{%u,%u,%u,%u}", k == 1 ? '{' : ',', Short(k - 1), Short(branch->firstLine),
                          Short(branch->lastLine), Short(branch->instructionCount)) > 0;
        if (k % 5 == 0) ok = std::fputs(CoverageLineEnd(), out) >= 0 && ok;
    }
    for (const Branch* c = branch->FirstChild(); c; c = c->Next()) ok = WriteBranchTable(c, out) && ok;
    return ok;
}

bool WriteCoverageTable(ctxFichier& ctx, FILE* out) {
    const int32_t n = ctx.branchCount;
    if (n <= 0 || IsHeaderFile(ctx.filePath)) return true;
    const std::string eol = CoverageLineEnd();

    std::string name = ctx.logArchive.empty() ? ctx.filePath : ctx.logArchive;
    for (char& c : name)
        if (c == '\\') c = '/';
    std::string date;
    FileDateText(ctx.filePath, date);

    std::string text;
    text.reserve(1024);
    text += eol;
    for (const std::string& l : Settings.PragmaAvant) text += l + eol;
    char buf[256];
    std::snprintf(buf, sizeof buf, "  char CovFileName[%zu],CovPvcsVersion[%zu],CovDate[%zu];", name.size() + 1,
                  ctx.version.size() + 1, date.size() + 1);
    text += "static struct" + eol + "{" + eol + "  unsigned long CovMagic[3];" + eol + buf + eol;
    text += "  unsigned long CovNbBranchs;" + eol;
    std::snprintf(buf, sizeof buf, "  unsigned short CovBranchs[%d][4];", n);
    text += buf + eol;
    std::snprintf(buf, sizeof buf, "  char CovTable[%d];", n);
    text += buf + eol + "}CovDef={";
    std::snprintf(buf, sizeof buf, "{ 0x%x,0x%x,0x%x},", kCovMagic1, kCovMagic2, kCovMagic3);
    text += buf + eol;
    // Written as they are, without escaping: the array sizes count their bytes.
    text += "\"" + name + "\"," + eol;
    text += "\"" + ctx.version + "\"," + eol;
    text += "\"" + date + "\"," + eol;
    text += std::to_string(n) + "," + eol;
    bool ok = Put(out, text);

    ok = WriteBranchTable(ctx.firstBranch, out) && ok;

    text = "}," + eol;
    text.reserve(text.size() + static_cast<size_t>(n) * 2 + static_cast<size_t>(n / 30 + 1) * 2 + 64);
    for (int32_t j = 0; j < n; ++j) {
        text += j == 0 ? '{' : ',';
        text += '0';
        if (j % 30 == 29) text += eol;
    }
    text += "}};" + eol;
    for (const std::string& l : Settings.PragmaApres) text += l + eol;
    text += IsCppSourceFile(ctx.filePath) ? "static inline char *CovTableAt() { return CovDef.CovTable; }"
                                          : "static char *CovTablePt=CovDef.CovTable;";
    text += eol;
    return Put(out, text) && ok;
}

}  // namespace vantor
