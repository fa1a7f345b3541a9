// vantor-cli instrument and analyse as a user's script sees them: where the
// copies go, what is refused, the pragma lists, the report and the lcov file.
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <cstdint>
#include <cstdio>
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

CliRun Cli(const std::string& args) { return RunCli("--color never " + args); }

bool Contains(const std::string& s, const std::string& part) { return s.find(part) != std::string::npos; }

const char kSource[] = "int f(int a)\n{\n   if (a)\n   {\n      return 1;\n   }\n   return 0;\n}\n";

// A coverage table as a 32-bit little-endian program holds it in memory.
std::string Table(const std::string& name, const std::string& date, uint8_t flag0, uint8_t flag1) {
    std::string s;
    auto put = [&s](uint32_t v, int bytes) {
        for (int i = 0; i < bytes; ++i) s += static_cast<char>(v >> (8 * i));
    };
    for (uint32_t m : {0x67a64b65u, 0x66ef4365u, 0xa786f365u}) put(m, 4);
    s += name + '\0' + "?" + '\0' + date + '\0';
    while (s.size() % 4) s += '\0';
    put(2, 4);
    for (uint32_t v : {0u, 2u, 8u, 1u, 1u, 3u, 6u, 1u}) put(v, 2);
    s += static_cast<char>(flag0);
    s += static_cast<char>(flag1);
    while (s.size() % 4) s += '\0';
    return s;
}

}  // namespace

TEST(CliCoverage, InstrumentRefusesAMissingOrOverlappingDestination) {
    TempDir t;
    WriteFile(t / "src/a.c", kSource);
    WriteFile(t / "src/sub/b.c", kSource);
    const std::string src = ShellQuote(t / "src");
    const std::string refused[] = {
        "instrument " + src,                                                     // no destination anywhere
        "instrument " + src + " -o " + src,                                      // the source itself
        "instrument " + src + " -o " + ShellQuote(t / "src/"),                        // the same, spelt otherwise
        "instrument " + ShellQuote(t / "src/a.c") + " -o " + src,                     // over the single file
        "--set SousRepertoire=1 instrument " + src + " -o " + ShellQuote(t / "src/sub/out"),  // a walk into itself
        "--lcov x.info instrument " + src + " -o " + ShellQuote(t / "out"),           // --lcov is for analyse
    };
    for (const std::string& args : refused) {
        CliRun r = Cli(args);
        EXPECT_EQ(2, r.status) << args;
        EXPECT_EQ("", r.out) << args;
        EXPECT_FALSE(r.err.empty()) << args;
    }
    EXPECT_EQ(kSource, ReadFile(t / "src/a.c"));
    EXPECT_FALSE(FileExists(t / "src/a.c.bak"));
    EXPECT_FALSE(FileExists(t / "src/sub/out"));
}

TEST(CliCoverage, InstrumentWritesCopiesWithMarkersAndPragmas) {
    TempDir t;
    WriteFile(t / "src/a.c", kSource);
    WriteFile(t / "src/a.h", kSource);
    // The options replace the configuration's lists, each given line in order.
    WriteFile(t / "p.cod", "[General]\nDestination=\"" + (t / "cfgout") + "\"\n[Masques]\n*.c=\n*.h=\n"
                           "[Pragma avant]\n#pragma from_config=\n");
    CliRun r = Cli("-c " + ShellQuote(t / "p.cod") + " --pragma-before '#pragma one' --pragma-before '#pragma two' " +
                   "--pragma-after '#pragma three' instrument " + ShellQuote(t / "src"));
    EXPECT_EQ(0, r.status) << r.err;
    EXPECT_TRUE(Contains(r.out, " 4 branchs\nfinished\n")) << r.out;  // a header's blocks count too
    const std::string out = ReadFile(t / "cfgout/a.c");
    EXPECT_EQ(0u, out.find("#define COV_SET(a) CovTablePt[a]=1\nstatic char *CovTablePt;\nint f(int a)\n{\n"
                           "   if (a)\n   {\n      COV_SET(1);\n      return 1;\n   }\n   COV_SET(0);\n   return 0;\n}\n"))
        << out;
    EXPECT_TRUE(Contains(out, "}\n\n#pragma one\n#pragma two\nstatic struct\n")) << out;
    EXPECT_TRUE(Contains(out, "}};\n#pragma three\nstatic char *CovTablePt=CovDef.CovTable;\n")) << out;
    EXPECT_FALSE(Contains(out, "from_config")) << out;
    EXPECT_EQ("#define COV_SET(a) CovTablePt[a]=1\nextern char *CovTablePt;\n" + std::string(kSource),
              ReadFile(t / "cfgout/a.h"));
    EXPECT_EQ(kSource, ReadFile(t / "src/a.c"));

    // One file goes into the destination folder under its own name.
    CliRun one = Cli("--set rtlf=1 instrument " + ShellQuote(t / "src/a.c") + " -o " + ShellQuote(t / "one"));
    EXPECT_EQ(0, one.status) << one.err;
    EXPECT_EQ(0u, ReadFile(t / "one/a.c").find("#define COV_SET(a) CovTablePt[a]=1\r\nstatic char *CovTablePt;\r\n"));
    EXPECT_FALSE(FileExists(t / "src/a.c.bak"));
}

TEST(CliCoverage, AnalyseReportsAndWritesLcov) {
    TempDir t;
    const std::string date = "2024-01-02 03:04:06";
    WriteFile(t / "traces/run1.cov", "junk" + Table("src/m.c", date, 1, 0) + "tail");
    WriteFile(t / "traces/run2.cov", Table("src/m.c", date, 1, 0));
    // The table names the source as the instrumenting run was given it: the
    // tracefile resolves it against the current folder, or --lcov-base.
    CliRun r = RunCli("--lang en analyse " + ShellQuote(t / "traces") + " --lcov " + ShellQuote(t / "cov.info"), t.path());
    EXPECT_EQ(0, r.status) << r.err;
    EXPECT_TRUE(Contains(r.out, "src/m.c\t?\t" + date + "\t50%\n")) << r.out;
    EXPECT_TRUE(Contains(r.out, "Branch 1 line 3->6\nTotal coverage : 50%\n")) << r.out;
    EXPECT_FALSE(Contains(r.out, "Branch 0 ")) << r.out;
    const std::string lcov = ReadFile(t / "cov.info");
    EXPECT_TRUE(Contains(lcov, "SF:" + (t / "src/m.c") + "\n")) << lcov;
    ASSERT_EQ(0, Cli("analyse " + ShellQuote(t / "traces") + " --lcov " + ShellQuote(t / "cov.info") +
                     " --lcov-base /base/./here").status);
    EXPECT_TRUE(Contains(ReadFile(t / "cov.info"), "SF:/base/here/src/m.c\n"));
    EXPECT_TRUE(Contains(lcov, "end_of_record\n")) << lcov;

    // One trace named directly; the Test folder of the configuration by default.
    CliRun one = Cli("--lang en analyse " + ShellQuote(t / "traces/run2.cov"));
    EXPECT_EQ(0, one.status) << one.err;
    EXPECT_TRUE(Contains(one.out, "Total coverage : 50%\n")) << one.out;
    WriteFile(t / "p.cod", "[General]\nTest=\"" + (t / "traces") + "\"\n");
    CliRun byConfig = Cli("--lang en -c " + ShellQuote(t / "p.cod") + " analyse");
    EXPECT_EQ(0, byConfig.status) << byConfig.err;
    EXPECT_TRUE(Contains(byConfig.out, "run1.cov\n")) << byConfig.out;

    // An lcov file that cannot be written is a file error.
    CliRun bad = Cli("--lang en analyse " + ShellQuote(t / "traces") + " --lcov " + ShellQuote(t / "no/such/dir/x.info"));
    EXPECT_EQ(3, bad.status) << bad.out;
}

TEST(CliCoverage, HelpNamesTheCoverageOptions) {
    CliRun h = Cli("--help");
    EXPECT_EQ(0, h.status);
    for (const char* option : {"--pragma-before LINE", "--pragma-after LINE", "--lcov FILE"})
        EXPECT_TRUE(Contains(h.out, option)) << option;
}
