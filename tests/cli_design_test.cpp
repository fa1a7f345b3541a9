// vantor-cli design, search and replace as a user's script sees them.
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <algorithm>
#include <cstdlib>
#include <string>

#include "support/test_support.h"

using vantor::test::CliRun;
using vantor::test::FileExists;
using vantor::test::RunCli;
using vantor::test::ReadFile;
using vantor::test::ShellQuote;
using vantor::test::TempDir;
using vantor::test::WriteFile;

namespace {

CliRun Cli(const std::string& args) { return RunCli("--lang en " + args); }

bool EndsWith(const std::string& s, const std::string& tail) {
    return s.size() >= tail.size() && s.compare(s.size() - tail.size(), tail.size(), tail) == 0;
}

}  // namespace

TEST(CliDesign, RefusesAMissingDestinationOrTheSourceItself) {
    TempDir t;
    WriteFile(t / "src/a.c", "int a;\n");
    const std::string src = ShellQuote(t / "src");
    const std::string refused[] = {
        "design " + src,                                  // no -o and no DestinationDesign
        "design " + src + " -o " + src,                   // the source itself
        "design " + src + " -o " + ShellQuote(t / "src/"),     // another spelling of it
        "design " + src + " -o " + ShellQuote(t / "SRC"),      // letter case, as the window compares
        "--set DestinationDesign=" + ShellQuote(t / "src") + " design " + src,
        "design " + src + " -o " + ShellQuote(t / "src/../src"),
        // Inside a tree walked with its sub-folders: the walk would enter its own pages.
        "--set SousRepertoire=1 design " + src + " -o " + ShellQuote(t / "src/pages"),
    };
    for (const std::string& args : refused) {
        CliRun r = Cli(args);
        EXPECT_EQ(2, r.status) << args;
        EXPECT_EQ("", r.out) << args;
        EXPECT_NE(std::string::npos, r.err.find("destination")) << args << ": " << r.err;
    }
    EXPECT_FALSE(FileExists(t / "src/liste.txt"));
    EXPECT_FALSE(FileExists(t / "src/pages"));
    EXPECT_FALSE(FileExists(t / "src/a.c.bak"));
}

TEST(CliDesign, WritesPagesListAndMatricesBeforeTheClosingWord) {
    TempDir t;
    WriteFile(t / "src/main.c", "#include \"util.h\"\nint main(void)\n{\n   return run();\n}\n");
    WriteFile(t / "src/util.h", "int run(void);\n");
    // The configuration's folder serves when -o is not given; a missing folder is created.
    CliRun r = Cli("--color never --set DestinationDesign=" + ShellQuote(t / "pages/deep") + " design " + ShellQuote(t / "src"));
    EXPECT_EQ(0, r.status) << r.err;
    EXPECT_EQ("", r.err);
    const std::string out = t / "pages/deep";
    EXPECT_EQ("<P>int&nbsp;run(void)</P>\r\n", ReadFile(out + "/util.h.html"));
    EXPECT_NE(std::string::npos, ReadFile(out + "/main.c.html").find("<P>&nbsp;&nbsp;&nbsp;<B>return</B>&nbsp;run()</P>"));
    EXPECT_NE(std::string::npos, ReadFile(out + "/dependency.html").find("<p><b>main.c</b>:&nbsp;util&nbsp;<p></p></p>\n"));
    EXPECT_NE(std::string::npos, ReadFile(out + "/calling.html").find("<p><b>run</b>:&nbsp;main&nbsp;</p>\n"));
    const std::string list = ReadFile(out + "/liste.txt");
    EXPECT_EQ(2, std::count(list.begin(), list.end(), '\n')) << list;
    EXPECT_TRUE(EndsWith(r.out, " branchs\nfinished\n")) << r.out;
    EXPECT_FALSE(FileExists(t / "src/main.c.bak"));  // the sources are only read

    // One file: its page goes into the destination under its own name.
    r = Cli("design " + ShellQuote(t / "src/util.h") + " -o " + ShellQuote(t / "one"));
    EXPECT_EQ(0, r.status) << r.err;
    EXPECT_EQ("<P>int&nbsp;run(void)</P>\r\n", ReadFile(t / "one/util.h.html"));
    EXPECT_EQ("int run(void);\n", ReadFile(t / "src/util.h"));
}

// With Methodes, members and functions in namespaces are named as written.
TEST(CliDesign, CallingMatrixNamesMembersWithMethodes) {
    TempDir t;
    WriteFile(t / "src/a.cpp", "namespace geo {\nstruct V {\n   int x;\n   int size() const { return count(x); }\n"
                               "   V operator+(const V& o) const { return make(x + o.x); }\n};\n"
                               "int V2::area(int w) { return scale(w); }\n}\n");
    const std::string run = "--mask '*.cpp' design " + ShellQuote(t / "src") + " -o ";
    ASSERT_EQ(0, Cli("--set Methodes=1 " + run + ShellQuote(t / "on")).status);
    EXPECT_EQ("<p><b><U>Table use:</U></b>\n<p><b>operator+</b>:&nbsp;make&nbsp;<p></p></p>\n"
              "<p><b>size</b>:&nbsp;count&nbsp;<p></p></p>\n<p><b>V2::area</b>:&nbsp;scale&nbsp;<p></p></p>\n"
              "<b><U>Table is used by</U></b>\n<p><b>count</b>:&nbsp;size&nbsp;</p>\n"
              "<p><b>make</b>:&nbsp;operator+&nbsp;</p>\n<p><b>scale</b>:&nbsp;V2::area&nbsp;</p>\n",
              ReadFile(t / "on/calling.html"));
    ASSERT_EQ(0, Cli(run + ShellQuote(t / "off")).status);
    EXPECT_EQ("<p><b><U>Table use:</U></b>\n<b><U>Table is used by</U></b>\n", ReadFile(t / "off/calling.html"));
}

TEST(CliDesign, UnwritableDestinationIsAFileError) {
    TempDir t;
    WriteFile(t / "src/a.c", "int a;\n");
    WriteFile(t / "blocker", "");
    CliRun r = Cli("--color never design " + ShellQuote(t / "src") + " -o " + ShellQuote(t / "blocker/out"));
    EXPECT_EQ(3, r.status);
    EXPECT_NE(std::string::npos, r.out.find("unable to write the file " + t / "blocker/out/liste.txt\n")) << r.out;
    EXPECT_NE(std::string::npos, r.out.find("unable to write the file " + t / "blocker/out/calling.html\n")) << r.out;
    EXPECT_TRUE(EndsWith(r.out, "finished\n"));
}

TEST(CliSearch, ListsMatchesInGreenAndChangesNothing) {
    TempDir t;
    WriteFile(t / "a.c", "account = count;\nint Count;\n");
    CliRun r = Cli("--color always --dict count=total search " + ShellQuote(t / "a.c"));
    EXPECT_EQ(1, r.status) << r.err;  // a match fails the run, as a violation does
    EXPECT_NE(std::string::npos, r.out.find("0001:account = \x1b[32mcount\x1b[0m;\n")) << r.out;
    EXPECT_NE(std::string::npos, r.out.find("0002:int \x1b[32mCount\x1b[0m;\n")) << r.out;
    EXPECT_EQ("account = count;\nint Count;\n", ReadFile(t / "a.c"));

    r = Cli("--color never --substring --dict count=total search " + ShellQuote(t / "a.c"));
    EXPECT_NE(std::string::npos, r.out.find("\naccount = count;\n")) << r.out;
    EXPECT_EQ(std::string::npos, r.out.find("Count;")) << r.out;
    EXPECT_FALSE(FileExists(t / "a.c.bak"));
    EXPECT_EQ(1, r.status);
    EXPECT_EQ(0, Cli("--dict absent=total search " + ShellQuote(t / "a.c")).status);
    EXPECT_EQ(0, Cli("--substring --dict absent=total search " + ShellQuote(t / "a.c")).status);
}

TEST(CliReplace, RewritesInPlaceWithBackups) {
    TempDir t;
    const std::string source = "account = count;\r\nint Count;\n";
    WriteFile(t / "src/a.c", source);
    WriteFile(t / "src/b.h", "int other;\n");
    CliRun r = Cli("--color never --dict count=total replace " + ShellQuote(t / "src"));
    EXPECT_EQ(0, r.status) << r.err;
    EXPECT_EQ("account = total;\r\nint total;\n", ReadFile(t / "src/a.c"));
    EXPECT_EQ(source, ReadFile(t / "src/a.c.bak"));
    EXPECT_FALSE(FileExists(t / "src/b.h.bak"));

    WriteFile(t / "src/a.c", source);
    r = Cli("--dict count=total --dict int=long --substring replace " + ShellQuote(t / "src"));
    EXPECT_EQ(0, r.status) << r.err;
    EXPECT_EQ("actotal = total;\r\nlong Count;\n", ReadFile(t / "src/a.c"));
}
