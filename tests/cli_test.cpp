// vantor-cli as a user's script sees it: stdout, stderr and the exit status.
#include <gtest/gtest.h>

#include <cstdio>
#include <string>

#include "support/test_support.h"

using vantor::test::CliRun;
using vantor::test::ReadFile;
using vantor::test::RunCli;
using vantor::test::ShellQuote;
using vantor::test::TempDir;
using vantor::test::WriteFile;

namespace {

CliRun Cli(const std::string& args, const std::string& cwd = "") { return RunCli(args, cwd); }

int Lines(const std::string& s) {
    int n = 0;
    for (char c : s) n += c == '\n';
    return n;
}

}  // namespace

TEST(Cli, UsageErrorsGiveOneLineOnStderrNothingOnStdoutAndStatus2) {
    TempDir t;
    WriteFile(t / "a.c", "int x;\n");
    const std::string src = ShellQuote(t.path());
    const char* bad[] = {"frobnicate " ,
                         "--bogus check ",
                         "--set nosuchkey=1 check ",
                         "--set caracteres=eighty check ",
                         "--set aligner=yes check ",
                         "--set caracteres check ",
                         "--lang de check ",
                         "--color sometimes check ",
                         "-c /nonexistent/x.cod check ",
                         "check /nonexistent/folder",
                         "check",  // no SOURCE and no configuration
                         "check /dev/null",  // neither a folder nor a regular file
                         // an option the command does not use
                         "-o /tmp/x apply ", "-o /tmp/x check ", "-o /tmp/x search ", "-o /tmp/x replace ",
                         "--dict a=b apply ", "--substring check ", "--pragma-before x design ",
                         "--pragma-after x check ", "--lcov x.info check ", "--format console apply ",
                         "--format xml check ", "--diff search ", "--check check ", "--diff design -o /tmp/x ",
                         "--check --diff apply ", "--no-backup check ", "--match-case apply ",
                         "--match-case --substring search ", "--lcov-base /tmp analyse ",
                         "check . /nonexistent/a.c",  // one SOURCE among several missing
                         "design -o /tmp/x /tmp ",  // several SOURCEs into one destination
                         ""};
    for (const char* args : bad) {
        std::string a = args;
        if (!a.empty() && a.back() == ' ') a += src;
        CliRun r = Cli(a);
        EXPECT_EQ(2, r.status) << a;
        EXPECT_EQ("", r.out) << a;
        EXPECT_EQ(1, Lines(r.err)) << a << ": " << r.err;
    }
}

TEST(Cli, CheckPrintsTheConsoleTextAndExitsOneOnViolations) {
    TempDir t;
    WriteFile(t / "bad.c", "void f(void)\n{\n   goto end;\nend:\n   return;\n}\n");
    WriteFile(t / "good.c", "int f(void)\n{\n   return 0;\n}\n");
    CliRun r = Cli("--color never check " + ShellQuote(t.path()));
    EXPECT_EQ(1, r.status) << r.err;
    EXPECT_EQ("", r.err);
    EXPECT_NE(std::string::npos, r.out.find("Rules:\n")) << r.out;
    EXPECT_NE(std::string::npos, r.out.find("/bad.c\n0003:goto\n")) << r.out;
    EXPECT_NE(std::string::npos, r.out.find("Analyzed:2 files,2 functions, 10 lines")) << r.out;
    EXPECT_EQ("finished\n", r.out.substr(r.out.size() - 9));
    EXPECT_EQ(std::string::npos, r.out.find('\x1b'));

    CliRun clean = Cli("check " + ShellQuote(t / "good.c"));
    EXPECT_EQ(0, clean.status);
    EXPECT_NE(std::string::npos, clean.out.find("Analyzed:1 files,1 functions, 4 lines")) << clean.out;
}

TEST(Cli, ColourLanguageAndSettingsOverrides) {
    TempDir t;
    WriteFile(t / "a.c", "int f(int a)\n{\n   return a ? 1 : 2;\n}\n");
    CliRun always = Cli("--color=always --lang fr --set NOINTERROG=1 check " + ShellQuote(t.path()));
    EXPECT_EQ(1, always.status);
    EXPECT_NE(std::string::npos, always.out.find("\x1b[")) << always.out;
    EXPECT_NE(std::string::npos, always.out.find("instruction ? :")) << always.out;
    EXPECT_NE(std::string::npos, always.out.find("instructions interdites:")) << always.out;
    EXPECT_NE(std::string::npos, always.out.find("terminé")) << always.out;

    // --forbid replaces the list; --mask replaces the masks.
    WriteFile(t / "b.cpp", "void g()\n{\n   malloc(1);\n}\n");
    CliRun forbid = Cli("--color never --forbid malloc --mask '*.cpp' check " + ShellQuote(t.path()));
    EXPECT_EQ(1, forbid.status);
    EXPECT_NE(std::string::npos, forbid.out.find("b.cpp\n0003:malloc\n")) << forbid.out;
    EXPECT_EQ(std::string::npos, forbid.out.find("goto")) << forbid.out;
    EXPECT_EQ(std::string::npos, forbid.out.find("a.c")) << forbid.out;
}

TEST(Cli, GccFormatPrintsPathLineColumnTextAndRule) {
    TempDir t;
    WriteFile(t / "a.c", "void f(void)\n{\n   x = 1; y = 2;\n   goto e;\n}\n");
    CliRun r = Cli("--format gcc check " + ShellQuote(t.path()));
    EXPECT_EQ(1, r.status);
    std::string p = t / "a.c";
    EXPECT_EQ(p + ":3:11: warning: >1 instruction per line [monoInstruction]\n" + p +
                  ":4:4: warning: goto [MotsInterdits]\n",
              r.out);
}

// Suppressed reports are neither printed nor counted for the exit status.
TEST(Cli, SuppressionCommentsSilenceTheirLineOrTheirFile) {
    TempDir t;
    WriteFile(t / "a.c", "void f(void)\n{\n   goto e; // vantor-ignore\n   x = 1; y = 2; /* vantor-ignore(MotsInterdits) */\n}\n");
    WriteFile(t / "b.c", "/* vantor-ignore-file */\nvoid g(void)\n{\n   goto e;\n}\n");
    CliRun r = Cli("--format gcc check " + ShellQuote(t.path()));
    EXPECT_EQ(1, r.status);
    EXPECT_EQ((t / "a.c") + ":4:11: warning: >1 instruction per line [monoInstruction]\n", r.out);
    WriteFile(t / "a.c", "void f(void)\n{\n   goto e; // vantor-ignore(monoInstruction, MotsInterdits)\n}\n");
    EXPECT_EQ(0, Cli("--format gcc check " + ShellQuote(t.path())).status);
}

TEST(Cli, SarifAndCheckstyleLogsNameFileLineAndRule) {
    TempDir t;
    WriteFile(t / "d\"x.c", "void f(void)\n{\n   goto e;\n}\n");
    CliRun sarif = RunCli("--format sarif check .", t.path());
    EXPECT_EQ(1, sarif.status);
    EXPECT_NE(std::string::npos, sarif.out.find("\"ruleId\":\"MotsInterdits\",\"ruleIndex\":8,\"level\":\"warning\","
                                                "\"message\":{\"text\":\"goto\"},\"locations\":[{\"physicalLocation\":"
                                                "{\"artifactLocation\":{\"uri\":\"d%22x.c\",\"uriBaseId\":\"SRCROOT\"},"
                                                "\"region\":{\"startLine\":3,\"startColumn\":4}}}]}"))
        << sarif.out;
    CliRun xml = RunCli("--format checkstyle check .", t.path());
    EXPECT_NE(std::string::npos, xml.out.find("<file name=\"./d&quot;x.c\">\n<error line=\"3\" column=\"4\" "
                                              "severity=\"warning\" message=\"goto\" source=\"vantor.MotsInterdits\"/>"))
        << xml.out;
    CliRun bad = Cli("--format json check .");
    EXPECT_EQ(2, bad.status);
    EXPECT_EQ("", bad.out);
}

TEST(Cli, ConfigurationFileAndItsSource) {
    TempDir t;
    WriteFile(t / "src/a.c", "void f(void)\n{\n   goto x;\n}\n");
    WriteFile(t / "p.cod", "[General]\nSource=\"" + (t / "src") + "\"\nSousRepertoire=0\n[Masques]\n*.c=\n");
    CliRun r = Cli("--color never -c " + ShellQuote(t / "p.cod") + " check");
    EXPECT_EQ(0, r.status) << r.err;
    // The configuration without MotsInterdits forbids nothing.
    EXPECT_EQ(std::string::npos, r.out.find("0003:goto")) << r.out;
    EXPECT_NE(std::string::npos, r.out.find("Analyzed:1 files")) << r.out;
}

TEST(Cli, UnreadableFileGivesStatus3EvenWithViolations) {
    TempDir t;
    WriteFile(t / "bad.c", "void f(void)\n{\n   goto x;\n}\n");
    // /proc/self/mem opens but cannot be read at offset 0, even by root.
    ASSERT_EQ(0, std::system(("ln -s /proc/self/mem " + ShellQuote(t / "mem.c")).c_str()));
    CliRun r = Cli("--color never check " + ShellQuote(t.path()));
    EXPECT_EQ(3, r.status) << r.out;
    EXPECT_NE(std::string::npos, r.out.find("read error on")) << r.out;
}

TEST(Cli, ApplyRewritesInPlaceKeepingABackupOfChangedFilesOnly) {
    TempDir t;
    WriteFile(t / "messy.c", "void f(void)\n{\nif (a) { x(); y(); }\n}\n");
    WriteFile(t / "clean.c", "void f(void)\n{\n   x();\n}\n");
    CliRun r = Cli("--color never --set rtlf=0 --set accolades=1 apply " + ShellQuote(t.path()));
    EXPECT_EQ(0, r.status) << r.out << r.err;
    EXPECT_EQ("void f(void)\n{\n   if (a)\n   {\n      x();\n      y();\n   }\n}\n", ReadFile(t / "messy.c"));
    EXPECT_EQ("void f(void)\n{\nif (a) { x(); y(); }\n}\n", ReadFile(t / "messy.c.bak"));
    EXPECT_FALSE(vantor::test::FileExists(t / "clean.c.bak"));
    EXPECT_FALSE(vantor::test::FileExists(t / "messy.c.new"));
    // Violations are no failure of Apply; a second run changes nothing.
    WriteFile(t / "messy.c.bak", "old backup");
    CliRun again = Cli("--color never --set rtlf=0 apply " + ShellQuote(t.path()));
    EXPECT_EQ(0, again.status);
    EXPECT_EQ("old backup", ReadFile(t / "messy.c.bak"));
    // CR LF when asked for.
    WriteFile(t / "clean.c", "void f(void)\n{\nx();\n}\n");
    EXPECT_EQ(0, Cli("--set rtlf=1 apply " + ShellQuote(t / "clean.c")).status);
    EXPECT_EQ("void f(void)\r\n{\r\n   x();\r\n}\r\n", ReadFile(t / "clean.c"));
}

TEST(Cli, ApplyGivesStatus3WhenAFileCannotBeRewritten) {
    TempDir t;
    WriteFile(t / "a.c", "void f(void)\n{\nx();\n}\n");
    WriteFile(t / "b.c", "void f(void)\n{\nx();\n}\n");
    // The rewritten text goes to "a.c.new" first: a folder there blocks it, even for root.
    ASSERT_EQ(0, std::system(("mkdir " + ShellQuote(t / "a.c.new")).c_str()));
    CliRun r = Cli("--color never --set rtlf=0 apply " + ShellQuote(t.path()));
    EXPECT_EQ(3, r.status) << r.out;
    EXPECT_NE(std::string::npos, r.out.find("unable to write the file")) << r.out;
    // The source is left whole and without a backup; the other file is done.
    EXPECT_EQ("void f(void)\n{\nx();\n}\n", ReadFile(t / "a.c"));
    EXPECT_FALSE(vantor::test::FileExists(t / "a.c.bak"));
    EXPECT_EQ("void f(void)\n{\n   x();\n}\n", ReadFile(t / "b.c"));
}

TEST(Cli, HelpAndVersion) {
    CliRun h = Cli("--help");
    EXPECT_EQ(0, h.status);
    EXPECT_NE(std::string::npos, h.out.find("usage: vantor-cli"));
    CliRun v = Cli("--version");
    EXPECT_EQ(0, v.status);
    EXPECT_EQ(0u, v.out.find("vantor-cli "));
}

TEST(Cli, MethodesSettingCountsMemberFunctions) {
    TempDir t;
    WriteFile(t / "a.cpp", "namespace n {\nstruct A {\n  int f() const {\n    return 1;\n  }\n};\n}\n");
    const std::string run = "--color never --mask '*.cpp' check " + ShellQuote(t / "a.cpp");
    EXPECT_NE(std::string::npos, Cli(run).out.find("Analyzed:1 files,0 functions")) << Cli(run).out;
    CliRun on = Cli("--set Methodes=1 " + run);
    EXPECT_NE(std::string::npos, on.out.find("Analyzed:1 files,1 functions")) << on.out;
    EXPECT_EQ(2, Cli("--set Methodes=x " + run).status);
}
