// Apply and Replace as CI and version control use them: --check and --diff
// write nothing, --no-backup keeps no ".bak", several SOURCEs in one run.
#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

#include "support/test_support.h"

using vantor::test::CliRun;
using vantor::test::FileExists;
using vantor::test::ReadFile;
using vantor::test::RunCli;
using vantor::test::ShellQuote;
using vantor::test::TempDir;
using vantor::test::WriteFile;

namespace {

const char* const kMessy = "void f(void)\n{\nif (a) { x(); y(); }\n}\n";
const char* const kClean = "void f(void)\n{\n   x();\n}\n";

CliRun Cli(const std::string& args, const std::string& cwd = "") {
    return RunCli("--color never --set rtlf=0 " + args, cwd);
}

int Shell(const std::string& command) { return std::system(command.c_str()); }

// The files of a tree and their bytes, one line each, in name order.
std::string Tree(const std::string& dir) {
    const std::string list = dir + "/.list";
    Shell("cd " + ShellQuote(dir) + " && find . -type f ! -name .list | LC_ALL=C sort | while read f; do "
        "printf '%s ' \"$f\"; od -An -c \"$f\" | tr -s ' \\n' ' '; echo; done > .list");
    std::string text = ReadFile(list);
    std::remove(list.c_str());
    return text;
}

}  // namespace

TEST(CliPreview, CheckListsTheFilesApplyWouldChangeAndWritesNothing) {
    TempDir t;
    WriteFile(t / "src/messy.c", kMessy);
    WriteFile(t / "src/clean.c", kClean);
    const std::string before = Tree(t / "src");
    CliRun r = Cli("apply --check src", t.path());
    EXPECT_EQ(1, r.status) << r.err;
    EXPECT_EQ("src/messy.c\n", r.out);
    EXPECT_EQ("", r.err);
    EXPECT_EQ(before, Tree(t / "src"));  // no .new, no .bak, nothing rewritten
    CliRun clean = Cli("apply --check src/clean.c", t.path());
    EXPECT_EQ(0, clean.status);
    EXPECT_EQ("", clean.out);
    // Replace too; whole-token matching ignores letter case unless asked.
    WriteFile(t / "src/clean.c", "void f(void)\n{\n   X();\n}\n");
    EXPECT_EQ("src/clean.c\n", Cli("replace --dict x=z --check src/clean.c", t.path()).out);
    EXPECT_EQ(0, Cli("replace --dict x=z --match-case --check src/clean.c", t.path()).status);
}

// What `git apply` makes of the diff is what Apply writes, line ends and
// missing last line end included.
TEST(CliPreview, DiffAppliedWithGitGivesTheFilesApplyWrites) {
    TempDir t;
    WriteFile(t / "diff/a.c", kMessy);
    WriteFile(t / "diff/sub/b.c", std::string("int g(int v)\n{\nreturn v;}"));
    WriteFile(t / "diff/c.c", kClean);
    WriteFile(t / "diff/d.c", "void h(void)\r\n{\r\nif (a) x();\r\n}\r\n");
    ASSERT_EQ(0, Shell("cp -r " + ShellQuote(t / "diff") + " " + ShellQuote(t / "applied")));
    CliRun d = Cli("--set SousRepertoire=1 apply --diff diff", t.path());
    EXPECT_EQ(1, d.status) << d.err;
    EXPECT_NE(std::string::npos, d.out.find("--- a/diff/a.c\n+++ b/diff/a.c\n@@ -1,4 +1,8 @@\n")) << d.out;
    EXPECT_EQ(std::string::npos, d.out.find("c.c")) << d.out;
    WriteFile(t / "x.patch", d.out);
    ASSERT_EQ(0, Shell("cd " + ShellQuote(t.path()) + " && git apply x.patch"));
    EXPECT_EQ(0, Cli("--set SousRepertoire=1 apply --no-backup applied", t.path()).status);
    EXPECT_EQ(Tree(t / "applied"), Tree(t / "diff"));
    // Replace's diff of a sub-string rename.
    CliRun r = Cli("replace --substring --dict x=xx --diff diff/c.c", t.path());
    EXPECT_EQ("--- a/diff/c.c\n+++ b/diff/c.c\n@@ -1,4 +1,4 @@\n void f(void)\n {\n-   x();\n+   xx();\n }\n", r.out);
}

TEST(CliPreview, NoBackupRewritesThroughNewAndKeepsNoBak) {
    TempDir t;
    WriteFile(t / "a.c", kMessy);
    WriteFile(t / "b.c", kMessy);
    WriteFile(t / "b.c.bak", "an older backup");
    EXPECT_EQ(0, Cli("apply --no-backup " + ShellQuote(t.path())).status);
    EXPECT_EQ("void f(void)\n{\n   if (a)\n   {\n      x();\n      y();\n   }\n}\n", ReadFile(t / "a.c"));
    EXPECT_FALSE(FileExists(t / "a.c.bak"));
    EXPECT_FALSE(FileExists(t / "a.c.new"));
    EXPECT_EQ("an older backup", ReadFile(t / "b.c.bak"));
}

// One run over the SOURCEs in order: one header and one total; a file named
// twice keeps its original in ".bak".
TEST(CliPreview, SeveralSourcesRunInOrderAsOneRun) {
    TempDir t;
    WriteFile(t / "one/a.c", kMessy);
    WriteFile(t / "b.c", "void g(void)\n{\n   goto e;\n}\n");
    CliRun r = Cli("check b.c one", t.path());
    EXPECT_EQ(1, r.status);
    EXPECT_LT(r.out.find("b.c\n0003:goto"), r.out.find("one/a.c\n")) << r.out;
    EXPECT_NE(std::string::npos, r.out.find("Analyzed:2 files,2 functions")) << r.out;
    EXPECT_EQ(r.out.find("Rules:"), r.out.rfind("Rules:"));
    EXPECT_EQ(0, Cli("apply one/a.c one one/a.c", t.path()).status);
    EXPECT_EQ(kMessy, ReadFile(t / "one/a.c.bak"));
    EXPECT_EQ(0, Cli("apply --check one b.c", t.path()).status);
}
