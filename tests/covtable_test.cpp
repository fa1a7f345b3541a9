// The coverage table text, byte for byte, from hand-built branch trees.
#include <gtest/gtest.h>
#include <sys/time.h>

#include <cstdio>
#include <cstdlib>
#include <ctime>

#include "config/settings.h"
#include "coverage/covtable.h"
#include "platform/filedate.h"
#include "support/test_support.h"

using namespace vantor;
using vantor::test::TempDir;
using vantor::test::WriteFile;

namespace {

struct Row {
    int parent;  // index into the rows already added, -1 for the root
    int32_t first, last, instructions;
};

// Appends the rows as branches of ctx, in creation order, under their parents.
void AddBranches(ctxFichier& ctx, const std::vector<Row>& rows) {
    std::vector<Branch*> made;
    for (const Row& r : rows) {
        auto* b = new Branch(r.first, 0, 1, 4);
        b->lastLine = r.last;
        b->instructionCount = r.instructions;
        (r.parent < 0 ? ctx.firstBranch : made[static_cast<size_t>(r.parent)])->AppendChild(b);
        made.push_back(b);
    }
    ctx.branchCount = static_cast<int32_t>(rows.size());
}

std::string Written(ctxFichier& ctx, bool* ok = nullptr) {
    FILE* f = std::tmpfile();
    bool r = WriteCoverageTable(ctx, f);
    if (ok) *ok = r;
    std::string s(static_cast<size_t>(std::ftell(f)), '\0');
    std::rewind(f);
    size_t got = std::fread(s.data(), 1, s.size(), f);
    std::fclose(f);
    s.resize(got);
    return s;
}

std::string Crlf(const std::string& lf) {
    std::string s;
    for (char c : lf) s += c == '\n' ? std::string("\r\n") : std::string(1, c);
    return s;
}

class CovTable : public ::testing::Test {
protected:
    void SetUp() override {
        ResetSettings();
        Settings.rtlf = false;
        setenv("TZ", "UTC", 1);
        tzset();
    }
    // A source file dated 2021-03-04 05:06:07 UTC.
    std::string Source(const std::string& name) {
        std::string path = dir / name;
        WriteFile(path, "int x;\n");
        struct timeval tv[2] = {{1614834367, 0}, {1614834367, 0}};
        utimes(path.c_str(), tv);
        return path;
    }
    TempDir dir;
};

const std::vector<Row> kSeven = {{-1, 10, 40, 2}, {0, 12, 14, 1}, {0, 14, 16, 1}, {0, 18, 22, 3},
                                 {3, 19, 21, 1},  {-1, 44, 50, 2}, {5, 45, 46, 0}};

}  // namespace

TEST_F(CovTable, SevenBranchesWithPragmas) {
    std::string path = Source("m.c");
    ctxFichier ctx;
    ctx.SetFile(path);
    ctx.version = "1.4";
    AddBranches(ctx, kSeven);
    Settings.PragmaAvant = {"#pragma data_seg(\"COV\")", "// avant"};
    Settings.PragmaApres = {"#pragma data_seg()"};
    bool ok = false;
    std::string text = Written(ctx, &ok);
    EXPECT_TRUE(ok);
    std::string size = std::to_string(path.size() + 1);
    EXPECT_EQ(text,
              "\n"
              "#pragma data_seg(\"COV\")\n"
              "// avant\n"
              "static struct\n"
              "{\n"
              "  unsigned long CovMagic[3];\n"
              "  char CovFileName[" + size + "],CovPvcsVersion[4],CovDate[20];\n"
              "  unsigned long CovNbBranchs;\n"
              "  unsigned short CovBranchs[7][4];\n"
              "  char CovTable[7];\n"
              "}CovDef={{ 0x67a64b65,0x66ef4365,0xa786f365},\n"
              "\"" + path + "\",\n"
              "\"1.4\",\n"
              "\"2021-03-04 05:06:06\",\n"
              "7,\n"
              "{{0,10,40,2},{1,12,14,1},{2,14,16,1},{3,18,22,3},{4,19,21,1}\n"
              ",{5,44,50,2},{6,45,46,0}},\n"
              "{0,0,0,0,0,0,0}};\n"
              "#pragma data_seg()\n"
              "static char *CovTablePt=CovDef.CovTable;\n");
    EXPECT_EQ(Written(ctx), text);  // same unchanged file, same date text

    Settings.rtlf = true;
    EXPECT_EQ(Written(ctx), Crlf(text));
}

TEST_F(CovTable, ThirtyBranchesBreakAfterEveryFifthRowAndThirtiethFlag) {
    ctxFichier ctx;
    ctx.SetFile(Source("t.c"));
    std::vector<Row> rows;
    for (int i = 0; i < 30; ++i) rows.push_back({-1, 100 + i, 200 + i, i});
    AddBranches(ctx, rows);
    std::string text = Written(ctx);
    std::string expectRows;
    for (int i = 0; i < 30; ++i) {
        expectRows += (i == 0 ? "{{" : ",{") + std::to_string(i) + "," + std::to_string(100 + i) + "," +
                      std::to_string(200 + i) + "," + std::to_string(i) + "}";
        if (i % 5 == 4) expectRows += "\n";
    }
    std::string flags = "{0";
    for (int i = 1; i < 30; ++i) flags += ",0";
    std::string tail = "30,\n" + expectRows + "},\n" + flags + "\n}};\nstatic char *CovTablePt=CovDef.CovTable;\n";
    ASSERT_GE(text.size(), tail.size());
    EXPECT_EQ(text.substr(text.size() - tail.size()), tail);
    EXPECT_NE(text.find("  unsigned short CovBranchs[30][4];\n  char CovTable[30];\n"), std::string::npos);
}

TEST_F(CovTable, NameVersionDateAndLastLine) {
    struct Case {
        const char* path;
        const char* archive;
        const char* expectName;  // CovFileName text
        const char* lastLine;
    } cases[] = {
        {"C:\\src\\util\\a.c", "", "C:/src/util/a.c", "static char *CovTablePt=CovDef.CovTable;"},
        {"src/b.c", "D:\\arch\\pvcs\\b.c_v", "D:/arch/pvcs/b.c_v", "static char *CovTablePt=CovDef.CovTable;"},
        {"w.CPP", "", "w.CPP", "static inline char *CovTableAt() { return CovDef.CovTable; }"},
        {"w.cc", "", "w.cc", "static inline char *CovTableAt() { return CovDef.CovTable; }"},
        {"w.Cxx", "", "w.Cxx", "static inline char *CovTableAt() { return CovDef.CovTable; }"},
        {"w.c++", "", "w.c++", "static inline char *CovTableAt() { return CovDef.CovTable; }"},
        {"w.java", "", "w.java", "static char *CovTablePt=CovDef.CovTable;"},
    };
    for (const Case& c : cases) {
        ctxFichier ctx;
        ctx.SetFile(c.path);  // no such file: the date is empty
        ctx.logArchive = c.archive;
        AddBranches(ctx, {{-1, 1, 2, 1}});
        std::string text = Written(ctx);
        std::string decl = "  char CovFileName[" + std::to_string(std::string(c.expectName).size() + 1) +
                           "],CovPvcsVersion[2],CovDate[1];\n";
        EXPECT_NE(text.find(decl), std::string::npos) << c.path << "\n" << text;
        EXPECT_NE(text.find(std::string("},\n\"") + c.expectName + "\",\n\"?\",\n\"\",\n1,\n{{0,1,2,1}},\n{0}};\n"),
                  std::string::npos)
            << c.path << "\n" << text;
        EXPECT_EQ(text.substr(text.rfind('\n', text.size() - 2) + 1), std::string(c.lastLine) + "\n") << c.path;
        EXPECT_EQ(c.archive, ctx.logArchive);  // the conversion works on a copy
    }
}

TEST_F(CovTable, NothingWithoutBranchesNorForHeaders) {
    for (const char* path : {"a.h", "a.HH", "a.hpp", "a.Hxx"}) {
        ctxFichier ctx;
        ctx.SetFile(path);
        AddBranches(ctx, kSeven);  // a header's blocks still count, but it gets no table
        bool ok = false;
        EXPECT_EQ(Written(ctx, &ok), "") << path;
        EXPECT_TRUE(ok);
    }
    ctxFichier ctx;
    ctx.SetFile("a.c");
    EXPECT_EQ(Written(ctx), "");
}

TEST_F(CovTable, RowValuesAreCutTo16Bits) {
    ctxFichier ctx;
    ctx.SetFile("big.cpp");
    AddBranches(ctx, {{-1, 70000, 70010, 65536}});
    EXPECT_NE(Written(ctx).find("{{0,4464,4474,0}},"), std::string::npos);
}

TEST_F(CovTable, MacroLines) {
    EXPECT_EQ(CoverageHeaderLine1(), "#define COV_SET(a) CovTablePt[a]=1\n");
    EXPECT_EQ(CoverageHeaderLine2("x/y.H"), "extern char *CovTablePt;\n");
    EXPECT_EQ(CoverageHeaderLine2("y.hxx"), "extern char *CovTablePt;\n");
    EXPECT_EQ(CoverageHeaderLine2("y.c"), "static char *CovTablePt;\n");
    EXPECT_EQ(CoverageHeaderLine2("y.hpp.c"), "static char *CovTablePt;\n");
    Settings.rtlf = true;
    EXPECT_EQ(CoverageHeaderLine1(), "#define COV_SET(a) CovTablePt[a]=1\r\n");
    EXPECT_EQ(CoverageHeaderLine2("y.cpp"), "static inline char *CovTableAt();\r\n#define CovTablePt CovTableAt()\r\n");
}

TEST_F(CovTable, FileDates) {
    EXPECT_EQ(FormatFileDate(1614834367), "2021-03-04 05:06:06");
    EXPECT_EQ(FormatFileDate(1614834366), "2021-03-04 05:06:06");
    EXPECT_EQ(FormatFileDate(0), "1970-01-01 00:00:00");
    std::string text = "x";
    EXPECT_FALSE(FileDateText(dir / "missing.c", text));
    EXPECT_EQ(text, "");
    EXPECT_TRUE(FileDateText(Source("d.c"), text));
    EXPECT_EQ(text, "2021-03-04 05:06:06");
}
