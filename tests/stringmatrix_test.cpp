#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "config/settings.h"
#include "console/console.h"
#include "console/recording_sink.h"
#include "design/stringmatrix.h"
#include "support/test_support.h"

using namespace vantor;
using vantor::test::FileExists;
using vantor::test::ReadFile;
using vantor::test::TempDir;
using vantor::test::WriteFile;
using Names = std::vector<std::string>;

namespace {

// Builds a matrix from a script: "+name" adds a row, anything else a use.
void Feed(TStringMatrix& m, const Names& script) {
    for (const std::string& s : script) {
        if (s[0] == '+')
            m.AddRow(s.substr(1));
        else
            m.AddUse(s);
    }
}

std::string Page(const TStringMatrix& m) {
    TempDir dir;
    EXPECT_TRUE(m.WriteHtml(dir / "page.html"));
    return ReadFile(dir / "page.html");
}

// The global console into a recorder for the life of the fixture.
class StringMatrixTest : public ::testing::Test {
protected:
    void SetUp() override { ConsoleAttach(&console, &sink); }
    void TearDown() override {
        ConsoleDetach(&console);
        French = true;
    }
    RecordingSink sink;
};

}  // namespace

TEST_F(StringMatrixTest, RowsAndReverseIndex) {
    TStringMatrix m;
    // Two "util.c" in different folders: the row starts afresh, the reverse index keeps both.
    Feed(m, {"+util.c", "stdio", "list", "+util.c", "string"});
    EXPECT_EQ(m.Uses("util.c"), Names({"string"}));
    EXPECT_EQ(m.ColumnNames(), Names({"list", "stdio", "string"}));
    EXPECT_EQ(m.UsedBy("list"), Names({"util.c"}));

    // A header included twice, by two files: one use, each user once.
    Feed(m, {"+main.c", "list", "list", "+other.c", "list"});
    EXPECT_EQ(m.Uses("main.c"), Names({"list"}));
    EXPECT_EQ(m.UsedBy("list"), Names({"main.c", "other.c", "util.c"}));

    // A function defined twice keeps the calls of its last body only.
    TStringMatrix calls;
    Feed(calls, {"+f", "g", "h", "+k", "g", "+f", "x"});
    EXPECT_EQ(calls.Uses("f"), Names({"x"}));
    EXPECT_EQ(calls.UsedBy("g"), Names({"f", "k"}));
    EXPECT_EQ(calls.UsedBy("h"), Names({"f"}));
    EXPECT_EQ(calls.Uses("unknown"), Names());
}

TEST_F(StringMatrixTest, UseBeforeAnyRowIsIgnored) {
    TStringMatrix m;
    Feed(m, {"early", "+a", "late"});
    EXPECT_EQ(m.ColumnNames(), Names({"late"}));
    EXPECT_EQ(m.RowNames(), Names({"a"}));
}

TEST_F(StringMatrixTest, CaseInsensitiveFirstSpellingKept) {
    TStringMatrix m;
    Feed(m, {"+Main.c", "Foo", "+MAIN.C", "FOO", "foo", "+other.c", "fOO", "foo"});
    EXPECT_EQ(m.RowNames(), Names({"Main.c", "other.c"}));
    EXPECT_EQ(m.ColumnNames(), Names({"Foo"}));
    EXPECT_EQ(m.UsedBy("FOO"), Names({"Main.c", "other.c"}));
    // Each list keeps its own first spelling: the restarted row's list began with "FOO".
    EXPECT_EQ(m.Uses("main.c"), Names({"FOO"}));
    EXPECT_EQ(m.Uses("OTHER.C"), Names({"fOO"}));
}

TEST_F(StringMatrixTest, SortsByBytesAfterLowerCasing) {
    TStringMatrix m;
    // '_' (0x5F) lies between 'B' (0x42) and 'b' (0x62); 8-bit letters come after 'z'.
    Feed(m, {"+r", "zeta", "\xe9t\xe9", "B", "_a", "ab", "Abc", "a"});
    EXPECT_EQ(m.Uses("r"), Names({"_a", "a", "ab", "Abc", "B", "zeta", "\xe9t\xe9"}));
}

TEST_F(StringMatrixTest, PageTextExact) {
    TStringMatrix m;
    // "<x&y>" goes out unescaped; "empty.h" is a row without uses.
    Feed(m, {"+main.c", "util", "<x&y>", "+empty.h", "+util.c", "util"});
    EXPECT_EQ(Page(m),
              "<p><b><U>Table use:</U></b>\n"
              "<p><b>empty.h</b>:&nbsp;<p></p></p>\n"
              "<p><b>main.c</b>:&nbsp;<x&y>&nbsp;util&nbsp;<p></p></p>\n"
              "<p><b>util.c</b>:&nbsp;util&nbsp;<p></p></p>\n"
              "<b><U>Table is used by</U></b>\n"
              "<p><b><x&y></b>:&nbsp;main.c&nbsp;</p>\n"
              "<p><b>util</b>:&nbsp;main.c&nbsp;util.c&nbsp;</p>\n");
    EXPECT_EQ(Page(TStringMatrix()), "<p><b><U>Table use:</U></b>\n<b><U>Table is used by</U></b>\n");
    EXPECT_TRUE(sink.pieces.empty());
}

TEST_F(StringMatrixTest, UnwritablePageReportedInRed) {
    TempDir dir;
    WriteFile(dir / "plain", "x");  // a regular file cannot hold a page, even for root
    std::string path = dir / "plain/page.html";
    TStringMatrix m;
    Feed(m, {"+a", "b"});
    French = true;
    EXPECT_FALSE(m.WriteHtml(path));
    French = false;
    EXPECT_FALSE(m.WriteHtml(path));
    EXPECT_EQ(sink.pieces, (std::vector<RecordedPiece>{
                               {"impossible d'écrire le fichier " + path + "\n", kColorRed, 0, {}},
                               {"unable to write the file " + path + "\n", kColorRed, 0, {}}}));
}

TEST_F(StringMatrixTest, DesignRunEndWritesAndFreesMatrices) {
    TempDir dir;
    Settings.dependencyMatrix = new TStringMatrix;
    Settings.dependencyMatrix->AddRow("main.c");
    Settings.callingMatrix = new TStringMatrix;
    Settings.callingMatrix->AddRow("main");
    EXPECT_TRUE(WriteDesignMatrices(dir.path()));
    EXPECT_EQ(Settings.dependencyMatrix, nullptr);
    EXPECT_EQ(Settings.callingMatrix, nullptr);
    EXPECT_NE(ReadFile(dir / "dependency.html").find("<b>main.c</b>"), std::string::npos);
    EXPECT_NE(ReadFile(dir / "calling.html").find("<b>main</b>"), std::string::npos);

    // Only the matrices that exist are written.
    TempDir only;
    Settings.callingMatrix = new TStringMatrix;
    EXPECT_TRUE(WriteDesignMatrices(only.path()));
    EXPECT_FALSE(FileExists(only / "dependency.html"));
    EXPECT_TRUE(FileExists(only / "calling.html"));

    // A folder that cannot take the pages: both reported, both still freed.
    WriteFile(dir / "plain", "x");
    Settings.dependencyMatrix = new TStringMatrix;
    Settings.callingMatrix = new TStringMatrix;
    French = false;
    EXPECT_FALSE(WriteDesignMatrices(dir / "plain"));
    EXPECT_EQ(Settings.dependencyMatrix, nullptr);
    EXPECT_EQ(Settings.callingMatrix, nullptr);
    EXPECT_EQ(sink.Text(), "unable to write the file " + (dir / "plain") + "/dependency.html\n" +
                               "unable to write the file " + (dir / "plain") + "/calling.html\n");
}
