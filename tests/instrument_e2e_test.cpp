// Instrumentation end to end on real compilers: a C program and a C++ program
// of ours are instrumented by vantor-cli, built with the shipped runtime, run
// on inputs that leave known blocks unexecuted, and analysed by vantor-cli.
// The report must list exactly the blocks tagged "unrun" in the sources, and
// gcov, on the same runs of the uninstrumented programs, must agree that no
// line inside those blocks ran.
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <cstdio>
#include <cstdlib>
#include <map>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "support/test_support.h"

using vantor::test::ReadFile;
using vantor::test::TempDir;
using vantor::test::WriteFile;

namespace {

const std::string kData = std::string(VANTOR_SOURCE_DIR) + "/tests/data/coverage/";
const char kPragma[] = "__attribute__((section(\"vantor_cov\"),used))";

std::string Quote(const std::string& s) {
    std::string q = "'";
    for (char c : s) q += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return q + "'";
}

// Runs a shell command, its output appended to `log` (stdout to `out` when
// given); the exit status.
int Shell(const std::string& cmd, const std::string& log, const std::string& out = "") {
    const std::string stdoutTo = out.empty() ? ">>" + Quote(log) : ">" + Quote(out);
    int raw = std::system((cmd + " " + stdoutTo + " 2>>" + Quote(log)).c_str());
    return WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
}

bool Have(const std::string& tool) { return std::system((tool + " --version >/dev/null 2>&1").c_str()) == 0; }

// One program of the test: its source, its build and its runs. Every run's
// arguments are shell words; the exit status of a run is not checked (the
// calculator fails on purpose in one of them).
struct Program {
    std::string source;  // file name under tests/data/coverage
    bool cxx;
    std::vector<std::string> runs;
};

const std::vector<Program> kPrograms = {
    {"calc.c",
     false,
     {"2 3 + fact 9 4 - 2 3 '*' 8 2 / 1 5 - 0 3", "123 digits '\"two words  here' 2", "+"}},
    {"inventory.cpp",
     true,
     {"add apple 5 add pear 0 add fig 3 remove apple 2 remove kiwi 1 remove fig 9 report sell x 1 "
      "remove fig 3 report",
      "report"}},
};

// First lines of the blocks tagged "/* unrun */" in a source.
std::set<int> TaggedLines(const std::string& text) {
    std::set<int> lines;
    std::istringstream in(text);
    std::string line;
    for (int n = 1; std::getline(in, line); ++n)
        if (line.find("/* unrun */") != std::string::npos) lines.insert(n);
    return lines;
}

struct Block {
    int index, first, last;
};

// "Branch k line a->b" lines of the report, per file base name.
std::map<std::string, std::vector<Block>> Uncovered(const std::string& report) {
    std::map<std::string, std::vector<Block>> out;
    std::istringstream in(report);
    std::string line, file;
    while (std::getline(in, line)) {
        if (line.rfind("---------", 0) == 0) {
            std::string name = line.substr(9, line.find('\t') - 9);
            file = name.substr(name.find_last_of('/') + 1);
            out[file];
            continue;
        }
        Block b;
        if (std::sscanf(line.c_str(), "Branch %d line %d->%d", &b.index, &b.first, &b.last) == 3)
            out[file].push_back(b);
    }
    return out;
}

// gcov's counts per line of a source: -1 not executable, else the count.
std::map<int, long> GcovCounts(const std::string& gcovText) {
    std::map<int, long> counts;
    std::istringstream in(gcovText);
    std::string line;
    while (std::getline(in, line)) {
        size_t c1 = line.find(':');
        size_t c2 = line.find(':', c1 + 1);
        if (c1 == std::string::npos || c2 == std::string::npos) continue;
        std::string count = line.substr(0, c1);
        int number = std::atoi(line.substr(c1 + 1, c2 - c1 - 1).c_str());
        if (number <= 0) continue;
        count.erase(0, count.find_first_not_of(' '));
        if (count == "-")
            counts[number] = -1;
        else if (count == "#####" || count == "=====")
            counts[number] = 0;
        else
            counts[number] = std::atol(count.c_str());
    }
    return counts;
}

class InstrumentE2E : public ::testing::Test {
protected:
    void SetUp() override {
        log = dir / "log";
        for (const Program& p : kPrograms) WriteFile(dir / ("src/" + p.source), ReadFile(kData + p.source));
        ASSERT_EQ(0, Shell(Quote(VANTOR_CLI_PATH) + " --color never --lang en --mask '*.c' --mask '*.cpp' " +
                               "--pragma-before " + Quote(kPragma) + " instrument " + Quote(dir / "src") + " -o " +
                               Quote(dir / "inst"),
                           log))
            << ReadFile(log);
    }

    // Builds both programs with one toolchain, runs them into their own trace
    // folder and returns the analysis report.
    std::string BuildRunAnalyse(const std::string& cc, const std::string& cxx) {
        const std::string out = dir / cc;
        const std::string traces = out + "/traces";
        const std::string runtime = std::string(VANTOR_SOURCE_DIR) + "/runtime/vantor_cov.c";
        EXPECT_EQ(0, Shell("mkdir -p " + Quote(traces), log));
        EXPECT_EQ(0, Shell(cc + " -Wall -c " + Quote(runtime) + " -o " + Quote(out + "/rt.o"), log)) << ReadFile(log);
        for (const Program& p : kPrograms) {
            const std::string exe = out + "/" + p.source.substr(0, p.source.find('.'));
            const std::string compiler = p.cxx ? cxx + " -std=c++17" : cc;
            EXPECT_EQ(0, Shell(compiler + " -Wall " + Quote(dir / ("inst/" + p.source)) + " " + Quote(out + "/rt.o") +
                                   " -o " + Quote(exe),
                               log))
                << ReadFile(log);
            for (const std::string& args : p.runs)
                Shell("VANTOR_COV_DIR=" + Quote(traces) + " " + Quote(exe) + " " + args, log);
        }
        const std::string report = out + "/report";
        EXPECT_EQ(0, Shell(Quote(VANTOR_CLI_PATH) + " --color never --lang en analyse " + Quote(traces), log, report))
            << ReadFile(log);
        return ReadFile(report);
    }

    TempDir dir;
    std::string log;
};

}  // namespace

TEST_F(InstrumentE2E, ReportListsExactlyTheBlocksNotRun) {
    int built = 0;
    std::string gccReport;
    for (auto tc : {std::make_pair("gcc", "g++"), std::make_pair("clang", "clang++")}) {
        if (!Have(tc.first) || !Have(tc.second)) continue;
        SCOPED_TRACE(tc.first);
        const std::string report = BuildRunAnalyse(tc.first, tc.second);
        const auto uncovered = Uncovered(report);
        for (const Program& p : kPrograms) {
            SCOPED_TRACE(p.source);
            ASSERT_EQ(1u, uncovered.count(p.source)) << report << ReadFile(log);
            std::set<int> first;
            for (const Block& b : uncovered.at(p.source)) first.insert(b.first);
            EXPECT_EQ(TaggedLines(ReadFile(kData + p.source)), first) << report;
        }
        EXPECT_NE(std::string::npos, report.find("Total coverage : ")) << report;
        if (gccReport.empty()) gccReport = report;
        ++built;
    }
    if (built == 0) GTEST_SKIP() << "no C and C++ compiler pair";

    // gcov on the same runs of the original programs.
    if (gccReport.empty() || !Have("gcov")) return;
    const std::string cov = dir / "gcov";
    ASSERT_EQ(0, Shell("mkdir -p " + Quote(cov), log));
    const auto uncovered = Uncovered(gccReport);
    for (const Program& p : kPrograms) {
        SCOPED_TRACE(p.source);
        const std::string stem = p.source.substr(0, p.source.find('.'));
        const std::string compiler = p.cxx ? "g++ -std=c++17" : "gcc";
        ASSERT_EQ(0, Shell("cd " + Quote(cov) + " && " + compiler + " --coverage -O0 -c " +
                               Quote(dir / ("src/" + p.source)) + " -o " + stem + ".o && " + compiler +
                               " --coverage " + stem + ".o -o " + stem,
                           log))
            << ReadFile(log);
        for (const std::string& args : p.runs) Shell(Quote(cov + "/" + stem) + " " + args, log);
        ASSERT_EQ(0, Shell("cd " + Quote(cov) + " && gcov -o . " + Quote(dir / ("src/" + p.source)), log))
            << ReadFile(log);
        const auto counts = GcovCounts(ReadFile(cov + "/" + p.source + ".gcov"));
        ASSERT_FALSE(counts.empty());
        for (const Block& b : uncovered.at(p.source)) {
            // The block's first line holds its condition or label, and its last
            // line is where it closed (often the next statement): both may run.
            int executable = 0;
            for (int line = b.first + 1; line < b.last; ++line) {
                auto it = counts.find(line);
                if (it == counts.end() || it->second < 0) continue;
                ++executable;
                EXPECT_EQ(0, it->second) << "branch " << b.index << " line " << line << " ran per gcov";
            }
            EXPECT_GT(executable, 0) << "branch " << b.index << " lines " << b.first << "->" << b.last;
        }
    }
}
