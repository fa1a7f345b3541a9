// End to end on a real compiler: hand-instrumented C and C++ files with their
// coverage tables, built with the shipped runtime, run, and analysed.
#include <gtest/gtest.h>
#include <sys/time.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "config/settings.h"
#include "console/recording_sink.h"
#include "coverage/component.h"
#include "coverage/covtable.h"
#include "platform/fs.h"
#include "support/test_support.h"

using namespace vantor;
using vantor::test::ReadFile;
using vantor::test::TempDir;
using vantor::test::WriteFile;

namespace {

struct Row {
    int parent;
    int32_t first, last, instructions;
};

// The instrumented copy: the file's code (macro lines and markers already in
// it), then the table of `rows`, named after the original, dated 2021-03-04.
void Instrument(const std::string& original, const std::string& copy, const std::string& code,
                const std::vector<Row>& rows) {
    WriteFile(original, "original\n");
    struct timeval tv[2] = {{1614834367, 0}, {1614834367, 0}};
    utimes(original.c_str(), tv);
    WriteFile(copy, code);
    ctxFichier ctx;
    ctx.SetFile(original);
    std::vector<Branch*> made;
    for (const Row& r : rows) {
        auto* b = new Branch(r.first, 0, 1, 1);
        b->lastLine = r.last;
        b->instructionCount = r.instructions;
        (r.parent < 0 ? ctx.firstBranch : made[static_cast<size_t>(r.parent)])->AppendChild(b);
        made.push_back(b);
    }
    ctx.branchCount = static_cast<int32_t>(rows.size());
    FILE* f = OpenFile(copy, "ab");
    ASSERT_TRUE(f);
    EXPECT_TRUE(WriteCoverageTable(ctx, f));
    std::fclose(f);
}

const char kApp[] =
    "#define COV_SET(a) CovTablePt[a]=1\n"
    "static char *CovTablePt;\n"
    "#include \"part.h\"\n"
    "#include <stdlib.h>\n"
    "static int classify(int x)\n"
    "{\n"
    "COV_SET(0);\n"
    "    if (x > 10)\n"
    "    {\n"
    "COV_SET(1);\n"
    "        return 2;\n"
    "    }\n"
    "    else if (x > 0)\n"
    "    {\n"
    "COV_SET(2);\n"
    "        return 1;\n"
    "    }\n"
    "    return 0;\n"
    "}\n"
    "__attribute__((constructor)) static void early(void) { part(0); }  /* before part.cpp's initialisers */\n"
    "int main(int argc, char **argv)\n"
    "{\n"
    "COV_SET(3);\n"
    "    int v = atoi(argv[argc - 1]);\n"
    "    return classify(v) + part(v) < 0;\n"
    "}\n";

// After the macro lines Instrument writes for a C++ source.
const char kPart[] =
    "#include \"part.h\"\n"
    "int part(int v)\n"
    "{\n"
    "COV_SET(0);\n"
    "    int s = 0;\n"
    "    for (int i = 0; i < v; ++i)\n"
    "    {\n"
    "COV_SET(1);\n"
    "        s += i;\n"
    "    }\n"
    "    return s;\n"
    "}\n"
    "int never(int v)\n"
    "{\n"
    "COV_SET(2);\n"
    "    return v;\n"
    "}\n";

// A header keeps the extern line: it names the pointer of whichever file includes it.
const char kHeader[] =
    "#define COV_SET(a) CovTablePt[a]=1\n"
    "extern char *CovTablePt;\n"
    "#ifdef __cplusplus\n"
    "extern \"C\"\n"
    "#endif\n"
    "int part(int v);\n";

bool Have(const char* tool) { return std::system((std::string(tool) + " --version >/dev/null 2>&1").c_str()) == 0; }

int Shell(const std::string& cmd, const std::string& log) { return std::system((cmd + " >>'" + log + "' 2>&1").c_str()); }

}  // namespace

TEST(CovRuntime, BuiltProgramsLeaveTracesThatAnalyseToTheBlocksNotRun) {
    struct Toolchain {
        const char* cc;
        const char* cxx;
    };
    int built = 0;
    for (Toolchain t : {Toolchain{"gcc", "g++"}, Toolchain{"clang", "clang++"}}) {
        if (!Have(t.cc) || !Have(t.cxx)) continue;
        SCOPED_TRACE(t.cc);
        TempDir dir;
        ResetSettings();
        Settings.rtlf = false;
        Settings.PragmaAvant = {"__attribute__((section(\"vantor_cov\"),used))"};
        setenv("TZ", "UTC", 1);
        tzset();
        Instrument(dir / "src/app.c", dir / "inst/app.c", kApp,
                   {{-1, 5, 19, 2}, {0, 8, 12, 1}, {0, 13, 17, 1}, {-1, 20, 25, 2}});
        Instrument(dir / "src/part.cpp", dir / "inst/part.cpp", CoverageHeaderLine1() + CoverageHeaderLine2("part.cpp") + kPart,
                   {{-1, 4, 14, 3}, {0, 8, 12, 1}, {-1, 15, 19, 1}});
        WriteFile(dir / "inst/part.h", kHeader);
        std::string log = dir / "build.log";
        std::string in = dir / "inst/";
        std::string prog = dir / "prog";
        std::string runtime = std::string(VANTOR_SOURCE_DIR) + "/runtime/vantor_cov.c";
        ASSERT_EQ(0, Shell(std::string(t.cc) + " -Wall -c '" + in + "app.c' -o '" + in + "app.o'", log)) << ReadFile(log);
        ASSERT_EQ(0, Shell(std::string(t.cxx) + " -Wall -c '" + in + "part.cpp' -o '" + in + "part.o'", log))
            << ReadFile(log);
        ASSERT_EQ(0, Shell(std::string(t.cc) + " -Wall -Wextra -c '" + runtime + "' -o '" + in + "rt.o'", log))
            << ReadFile(log);
        ASSERT_EQ(0, Shell(std::string(t.cxx) + " '" + in + "app.o' '" + in + "part.o' '" + in + "rt.o' -o '" + prog + "'",
                         log))
            << ReadFile(log);
        ASSERT_TRUE(CreateFolders(dir / "traces"));
        ASSERT_EQ(0, Shell("VANTOR_COV_DIR='" + (dir / "traces") + "' '" + prog + "' 5", log)) << ReadFile(log);
        std::vector<DirEntry> traces;
        ASSERT_TRUE(ListFolder(dir / "traces", traces));
        ASSERT_EQ(1u, traces.size());
        EXPECT_EQ(0u, traces[0].name.find("prog-"));

        French = false;
        RecordingSink sink;
        ConsoleAttach(&console, &sink);
        ResetComponents();
        std::string trace = dir / "traces/" + traces[0].name;
        EXPECT_EQ(TraceStatus::Ok, ReadTrace(trace));
        PrintCoverageSummary();
        PrintUncovered();
        const std::string app = dir / "src/app.c", part = dir / "src/part.cpp", date = "\t2021-03-04 05:06:06";
        const std::string header = "File\tVersion\tDate\t% instructions\n";
        EXPECT_EQ(sink.Text(), header + part + "\t?" + date + "\t80%\n" + header + app + "\t?" + date + "\t83%\n" +
                                   "---------" + part + "\t?" + date + "\nBranch 2 line 15->19\n" +  //
                                   "---------" + app + "\t?" + date + "\nBranch 1 line 8->12\n" +    //
                                   "Total coverage : 81%\n");  // 9 of 11

        // A trace that cannot be written is said on stderr, with why.
        const std::string err = dir / "err";
        std::system(("VANTOR_COV_DIR=/nonexistent '" + prog + "' 5 2>'" + err + "'").c_str());
        EXPECT_NE(std::string::npos, ReadFile(err).find("vantor_cov: cannot write /nonexistent/prog-")) << ReadFile(err);
        std::system(("VANTOR_COV_DIR=" + std::string(5000, 'x') + " '" + prog + "' 5 2>'" + err + "'").c_str());
        EXPECT_NE(std::string::npos, ReadFile(err).find("is too long")) << ReadFile(err);

        // A second run takes the other branch: merged, only never() stays uncovered.
        ASSERT_EQ(0, Shell("cd '" + (dir / "traces") + "' && '" + prog + "' 20", log)) << ReadFile(log);
        sink.pieces.clear();
        AnalyseCoverage(dir / "traces");
        std::string text = sink.Text();
        EXPECT_NE(text.find(header + part + "\t?" + date + "\t80%\n" + header + app + "\t?" + date + "\t100%\n" +
                            "Not covered lines:\n---------" + part + "\t?" + date + "\nBranch 2 line 15->19\n" +
                            "Total coverage : 90%\n"),
                  std::string::npos)
            << text;
        ConsoleDetach(&console);
        ResetComponents();
        ++built;
        std::printf("built and analysed with %s and %s\n", t.cc, t.cxx);
    }
    if (built == 0) GTEST_SKIP() << "no C and C++ compilers";
}
