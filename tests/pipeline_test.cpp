// The per-file pipeline, driven through a scripted line processor that
// changes chosen lines and opens and closes a function on chosen lines.
#include <gtest/gtest.h>
#include <sys/resource.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <set>

#include "config/ansiext.h"
#include "config/pipeline.h"
#include "config/search.h"
#include "console/recording_sink.h"
#include "support/test_support.h"

using namespace vantor;
using vantor::test::FileExists;
using vantor::test::ReadFile;
using vantor::test::TempDir;
using vantor::test::WriteFile;

namespace {

struct Script {
    std::set<int> change;     // lines the processor rewrites (prefixes "X")
    int functionFrom = 0;     // inFunction is set after this line...
    int functionTo = 0;       // ...and cleared after this one
    std::string watch;        // a path whose existence is noted at each line
    int removeWatchAt = 0;    // remove `watch` while this line is processed
    int functionsPerLine = 0; // functions counted per line
    int branches = 0;         // branchCount the processor leaves
    std::vector<std::string> seen;
    std::vector<bool> watchExisted;
} g;

// Stands for the line engine: its output line takes the line end chosen by rtlf.
void Scripted(ctxFichier& ctx, const Dictionary*) {
    g.seen.push_back(ctx.line);
    if (!g.watch.empty()) g.watchExisted.push_back(FileExists(g.watch));
    if (g.removeWatchAt == ctx.lineNumber) std::remove(g.watch.c_str());
    std::string out = ctx.line;
    if (g.change.count(ctx.lineNumber)) {
        out.insert(0, "X");
        ctx.lineModified = true;
    }
    if (!out.empty() && out.back() == '\n') {
        out.pop_back();
        if (!out.empty() && out.back() == '\r') out.pop_back();
        out += Settings.rtlf ? "\r\n" : "\n";
    }
    if (ctx.lineNumber == g.functionFrom) ctx.inFunction = true;
    if (ctx.lineNumber == g.functionTo) ctx.inFunction = false;
    ctx.functionCount += g.functionsPerLine;
    ctx.branchCount = g.branches;
    ctx.outputLines.push_back(out);
}

std::string Lines(int from, int to, const char* eol = "\n") {
    std::string s;
    for (int i = from; i <= to; ++i) s += "line " + std::to_string(i) + eol;
    return s;
}
std::string Changed(int n, const char* eol = "\n") { return "Xline " + std::to_string(n) + eol; }

class Pipeline : public ::testing::Test {
protected:
    void SetUp() override {
        ResetSettings();
        Settings.checkMode = Settings.dictionaryMode = Settings.replaceMode = false;
        Settings.substringMode = Settings.designMode = false;
        Settings.rtlf = false;
        French = false;
        g = Script();
        ConsoleAttach(&console, &sink);
    }
    void TearDown() override { ConsoleDetach(&console); }

    FileCounts Run(const std::string& src, const std::string& dst = "") {
        return ProcessFile(src, dst, &dico, &Scripted);
    }
    bool Printed(const std::string& text, uint32_t colour = 0, uint8_t style = 0) const {
        for (const RecordedPiece& p : sink.pieces)
            if (p.text == text && p.colour == colour && p.style == style) return true;
        return false;
    }
    int Count(const std::string& text) const {
        int n = 0;
        for (const RecordedPiece& p : sink.pieces) n += p.text == text;
        return n;
    }

    TempDir dir;
    RecordingSink sink;
    Dictionary dico;
};

TEST(LineHelpers, ReadWholeLinesAndTellEndFromError) {
    TempDir dir;
    std::string big(200000, 'a');
    WriteFile(dir / "f", "one\r\n" + big + "\nlast");
    LineReader r(4096);  // lines far longer than the buffer still arrive whole
    ASSERT_TRUE(r.Open(dir / "f"));
    std::string t;
    EXPECT_EQ(ReadStatus::Line, ReadLine(r, t));
    EXPECT_EQ("one\r\n", t);
    EXPECT_EQ(ReadStatus::Line, ReadLine(r, t));
    EXPECT_EQ(big + "\n", t);
    EXPECT_FALSE(r.AtEnd());
    EXPECT_EQ(ReadStatus::Line, ReadLine(r, t));
    EXPECT_EQ("last", t);
    EXPECT_TRUE(r.AtEnd());
    EXPECT_EQ(ReadStatus::End, ReadLine(r, t));
    EXPECT_EQ("", t);

    LineReader d;  // only a regular file is opened as a source
    EXPECT_FALSE(d.Open(dir.path()));
    EXPECT_EQ(kErrNotRegularFile, d.File().Error());
    EXPECT_FALSE(d.Open(dir / "missing"));
    EXPECT_EQ(ENOENT, d.File().Error());

    EXPECT_EQ("lo\n", TailFrom("hello\n", 4));
    EXPECT_EQ("hello\n", TailFrom("hello\n", 1));
    EXPECT_EQ("", TailFrom("hello\n", 7));
    EXPECT_EQ("", TailFrom("", 1));
}

TEST_F(Pipeline, UnchangedFileIsOnlyRead) {
    std::string src = dir / "a.c";
    WriteFile(src, Lines(1, 3));
    FileCounts c = Run(src);
    EXPECT_EQ(3, c.lines);
    EXPECT_FALSE(c.ioError);
    EXPECT_EQ(Lines(1, 3), ReadFile(src));
    EXPECT_FALSE(FileExists(src + ".bak"));
    EXPECT_FALSE(FileExists(src + ".new"));
    EXPECT_TRUE(Printed(src + "\n", 0, fsUnderline));
    EXPECT_EQ(0, Count("Modification\n"));
}

TEST_F(Pipeline, ChangeOutsideFunctionCopiesTheLinesBefore) {
    std::string src = dir / "a.c";
    WriteFile(src, Lines(1, 50));
    g.change = {40};
    FileCounts c = Run(src);
    EXPECT_EQ(50, c.lines);
    EXPECT_EQ(50u, g.seen.size());
    EXPECT_EQ(Lines(1, 39) + Changed(40) + Lines(41, 50), ReadFile(src));
    EXPECT_EQ(Lines(1, 50), ReadFile(src + ".bak"));
    EXPECT_FALSE(FileExists(src + ".new"));
    EXPECT_EQ(1, Count("Modification\n"));
}

TEST_F(Pipeline, LinesBeforeTheChangeAreCopiedWhateverTheFileSize) {
    // Past the reader's first block the lines before the change are no longer
    // in its buffer and come from the file again; before, from the buffer.
    // The last case changes a line of a function that runs from line 2 to
    // line 90000: the output opens there, one line to copy, long after the
    // first block left the buffer.
    for (int at : {2, 3000, 90000, 50000}) {
        std::string src = dir / ("big" + std::to_string(at) + ".c");
        WriteFile(src, Lines(1, 100000, "\r\n"));
        g = Script();
        g.change = {at};
        if (at == 50000) g.functionFrom = 2, g.functionTo = 90000;
        Run(src);
        EXPECT_EQ(Lines(1, at - 1) + Changed(at) + Lines(at + 1, 100000), ReadFile(src)) << at;
    }
}

TEST_F(Pipeline, ChangeInFunctionIsWrittenWhenTheFunctionEnds) {
    std::string src = dir / "a.c";
    WriteFile(src, Lines(1, 30));
    g.functionFrom = 10;
    g.functionTo = 20;
    g.change = {15};
    g.watch = src + ".new";
    Run(src);
    ASSERT_EQ(30u, g.watchExisted.size());
    // The output opens after line 20, when the function has ended.
    for (int i = 0; i < 20; ++i) EXPECT_FALSE(g.watchExisted[i]) << "line " << i + 1;
    EXPECT_TRUE(g.watchExisted[20]);
    EXPECT_EQ(Lines(1, 14) + Changed(15) + Lines(16, 30), ReadFile(src));
}

TEST_F(Pipeline, ChangeInFunctionLeftOpenAtEndOfFileIsStillWritten) {
    std::string src = dir / "a.c";
    WriteFile(src, Lines(1, 10));
    g.functionFrom = 5;
    g.change = {7};
    Run(src);
    EXPECT_EQ(Lines(1, 6) + Changed(7) + Lines(8, 10), ReadFile(src));
}

TEST_F(Pipeline, DestinationNamingTheSourceItselfIsRewrittenInPlace) {
    std::string src = dir / "a.c";
    WriteFile(src, Lines(1, 3));
    g.change = {3};
    FileCounts c = Run(src, dir.path() + "/./a.c");  // opened for writing, it would be emptied
    EXPECT_FALSE(c.ioError);
    EXPECT_EQ(Lines(1, 2) + Changed(3), ReadFile(src));
    EXPECT_EQ(Lines(1, 3), ReadFile(src + ".bak"));
}

TEST_F(Pipeline, LongLineIsKeptWhole) {
    std::string src = dir / "a.c";
    std::string longLine(2500, 'x');
    WriteFile(src, "a\n" + longLine + "\nb\n");
    g.change = {2};
    FileCounts c = Run(src);
    ASSERT_EQ(3u, g.seen.size());
    EXPECT_EQ(longLine + "\n", g.seen[1]);
    EXPECT_EQ(3, c.lines);
    EXPECT_EQ("a\nX" + longLine + "\nb\n", ReadFile(src));
}

TEST_F(Pipeline, BackupHoldsTheStateBeforeTheLastRun) {
    std::string src = dir / "a.c";
    WriteFile(src, Lines(1, 3));
    g.change = {2};
    Run(src);
    std::string afterFirst = ReadFile(src);
    EXPECT_EQ(Lines(1, 1) + Changed(2) + Lines(3, 3), afterFirst);
    Run(src);
    EXPECT_EQ(afterFirst, ReadFile(src + ".bak"));
    EXPECT_EQ(Lines(1, 1) + "XXline 2\n" + Lines(3, 3), ReadFile(src));
}

TEST_F(Pipeline, NoPhantomLastLine) {
    std::string src = dir / "a.c";
    WriteFile(src, "a\nb\n");
    g.change = {1};
    EXPECT_EQ(2, Run(src).lines);
    EXPECT_EQ((std::vector<std::string>{"a\n", "b\n"}), g.seen);
    EXPECT_EQ("Xa\nb\n", ReadFile(src));

    WriteFile(src, "a\nb");  // a last line without line end counts too
    g.seen.clear();
    EXPECT_EQ(2, Run(src).lines);
    EXPECT_EQ((std::vector<std::string>{"a\n", "b"}), g.seen);
    EXPECT_EQ("Xa\nb", ReadFile(src));

    WriteFile(src, "");
    g.seen.clear();
    EXPECT_EQ(0, Run(src).lines);
    EXPECT_TRUE(g.seen.empty());
}

TEST_F(Pipeline, CopiedLinesTakeTheEngineLineEnd) {
    std::string src = dir / "a.c";
    Settings.rtlf = true;
    WriteFile(src, Lines(1, 4));
    g.change = {3};
    Run(src);
    EXPECT_EQ(Lines(1, 2, "\r\n") + Changed(3, "\r\n") + Lines(4, 4, "\r\n"), ReadFile(src));
}

TEST_F(Pipeline, SubstringReplaceKeepsEveryLineEnd) {
    std::string src = dir / "a.c";
    Settings.rtlf = true;
    Settings.dictionaryMode = Settings.replaceMode = Settings.substringMode = true;
    dico.Add("count", "total");
    WriteFile(src, "int a;\nint b;\r\naccount = count;\nx");
    Run(src);
    EXPECT_TRUE(g.seen.empty());  // the line engine is not called
    EXPECT_EQ("int a;\nint b;\r\nactotal = total;\nx", ReadFile(src));
    EXPECT_EQ(1, Count("Modification\n"));
}

TEST_F(Pipeline, CoverageHeaderComesFirst) {
    std::string src = dir / "a.c";
    std::string dst = dir / "out/a.c";
    const std::string header = "#define COV_SET(a) CovTablePt[a]=1\nstatic char *CovTablePt;\n";
    vantor::test::WriteFile(dst, "");
    Settings.couverture = true;
    WriteFile(src, Lines(1, 3));
    Run(src, dst);
    EXPECT_EQ(header + Lines(1, 3), ReadFile(dst));
    EXPECT_EQ(Lines(1, 3), ReadFile(src));
    EXPECT_FALSE(FileExists(src + ".bak"));

    g.branches = 1;  // with branches, the coverage table follows the file's last line
    Run(src, dst);
    std::string out = ReadFile(dst);
    EXPECT_EQ(0u, out.find(header + Lines(1, 3)));
    EXPECT_NE(std::string::npos, out.find("}CovDef={", 20));
    EXPECT_EQ(std::string::npos, out.find('\r'));  // generated text takes the file's line end

    // A header names the pointer of the source that includes it and never has a table.
    WriteFile(dir / "a.H", Lines(1, 2));
    Run(dir / "a.H", dir / "out/a.H");
    EXPECT_EQ("#define COV_SET(a) CovTablePt[a]=1\nextern char *CovTablePt;\n" + Lines(1, 2),
              ReadFile(dir / "out/a.H"));
    g.branches = 0;

    Settings.rtlf = true;
    WriteFile(src, "");  // an empty file still gets its header in the instrumented tree
    Run(src, dst);
    EXPECT_EQ("#define COV_SET(a) CovTablePt[a]=1\r\nstatic char *CovTablePt;\r\n", ReadFile(dst));
}

TEST_F(Pipeline, DesignListNamesEachOutput) {
    char cwd[4096];
    ASSERT_TRUE(getcwd(cwd, sizeof cwd));
    ASSERT_EQ(0, chdir(dir.path().c_str()));
    WriteFile("out/a/b.c.html", "");
    WriteFile("./b.c", "x\n");
    Settings.designMode = true;
    Settings.designListFile = std::fopen("liste.txt", "wb");
    g.change = {1};
    Run("b.c", "out/a/b.c.html");
    std::fclose(Settings.designListFile);
    Settings.designListFile = nullptr;
    EXPECT_EQ("out\\\\a\\b.c.html\r\n", ReadFile("liste.txt"));
    EXPECT_EQ("Xx\n", ReadFile("out/a/b.c.html"));
    ASSERT_EQ(0, chdir(cwd));
}

TEST_F(Pipeline, UnreadableSource) {
    std::string src = dir / "missing.c";
    FileCounts c = Run(src);
    EXPECT_TRUE(c.ioError);
    EXPECT_EQ(0, c.lines);
    EXPECT_TRUE(Printed("unable to read " + src + "\n", kColorRed));
    French = true;
    Run(src);
    EXPECT_TRUE(Printed("impossible de lire " + src + "\n", kColorRed));

    French = false;  // a folder is no source
    c = Run(dir.path());
    EXPECT_TRUE(c.ioError);
    EXPECT_TRUE(Printed("unable to read " + dir.path() + "\n", kColorRed));
}

TEST_F(Pipeline, UnwritableOutput) {
    std::string src = dir / "a.c";
    WriteFile(src, Lines(1, 3));
    g.change = {2};
    std::string dst = dir / "nofolder/a.c";
    FileCounts c = Run(src, dst);
    EXPECT_TRUE(c.ioError);
    EXPECT_EQ(3, c.lines);
    EXPECT_TRUE(Printed("unable to write the file " + dst + "\n", kColorRed));

    // In place, a folder in the way of the ".new" file (fails for root too).
    WriteFile(src + ".new/x", "");
    c = Run(src);
    EXPECT_TRUE(c.ioError);
    EXPECT_TRUE(Printed("unable to write the file " + src + ".new\n", kColorRed));
    EXPECT_EQ(Lines(1, 3), ReadFile(src));
    EXPECT_FALSE(FileExists(src + ".bak"));
}

// A disk that fills up during the write, as the file-size limit makes it:
// the source stays whole and the incomplete ".new" goes.
TEST_F(Pipeline, WriteErrorLeavesEverythingAsItIs) {
    std::string src = dir / "a.c";
    WriteFile(src, Lines(1, 3000));
    g.change = {1};
    struct rlimit old;
    ASSERT_EQ(0, getrlimit(RLIMIT_FSIZE, &old));
    struct rlimit small = old;
    small.rlim_cur = 1000;
    std::signal(SIGXFSZ, SIG_IGN);
    ASSERT_EQ(0, setrlimit(RLIMIT_FSIZE, &small));
    FileCounts c = Run(src);
    setrlimit(RLIMIT_FSIZE, &old);
    std::signal(SIGXFSZ, SIG_DFL);
    EXPECT_TRUE(c.ioError);
    EXPECT_TRUE(Printed("write error on " + src + "\n", kColorRed));
    EXPECT_EQ(Lines(1, 3000), ReadFile(src));
    EXPECT_FALSE(FileExists(src + ".new"));
    EXPECT_FALSE(FileExists(src + ".bak"));
}

TEST_F(Pipeline, FailedSwapKeepsTheSource) {
    std::string src = dir / "a.c";
    WriteFile(src, Lines(1, 3));
    g.change = {2};
    // The old backup cannot be removed: a non-empty folder holds its name.
    WriteFile(src + ".bak/keep", "k");
    FileCounts c = Run(src);
    EXPECT_TRUE(c.ioError);
    EXPECT_TRUE(Printed("unable to modify " + src + "\n", kColorRed));
    EXPECT_EQ(Lines(1, 3), ReadFile(src));
    EXPECT_FALSE(FileExists(src + ".new"));  // a failed rewrite leaves nothing behind

    // The ".new" vanishes before the swap: its rename fails after the source
    // became ".bak", which must be put back.
    TempDir other;
    src = other / "b.c";
    WriteFile(src, Lines(1, 3));
    g.watch = src + ".new";
    g.removeWatchAt = 3;
    French = true;
    c = Run(src);
    EXPECT_TRUE(c.ioError);
    EXPECT_TRUE(Printed("impossible de modifier " + src + "\n", kColorRed));
    EXPECT_EQ(Lines(1, 3), ReadFile(src));
    EXPECT_FALSE(FileExists(src + ".bak"));
}

TEST_F(Pipeline, TooManyFunctionsReportedAtTheLastLine) {
    std::string src = dir / "a.c";
    WriteFile(src, Lines(1, 5));
    Settings.checkMode = true;
    Settings.fonctions = 4;
    g.functionsPerLine = 1;
    FileCounts c = Run(src);
    EXPECT_EQ(5, c.functions);
    EXPECT_EQ(1, c.violations);
    EXPECT_NE(std::string::npos, sink.Text().find("0005:5 functions>4\n"));

    Settings.fonctions = 5;
    EXPECT_EQ(0, Run(src).violations);
}

TEST(SubstringDictionary, MatchesAnywhereInGridOrder) {
    RecordingSink sink;
    ConsoleAttach(&console, &sink);
    Settings.replaceMode = true;
    Dictionary d;
    d.Add("count", "total");
    auto apply = [&](std::string line) {
        ApplyDictionary(line, &d);
        return line;
    };
    EXPECT_EQ("actotal = total;\n", apply("account = count;\n"));
    EXPECT_EQ("Count = 1;\n", apply("Count = 1;\n"));  // case matters here
    d.Clear();
    d.Add("a", "b");
    d.Add("b", "c");
    EXPECT_EQ("c", apply("a"));
    d.Clear();
    d.Add("aa", "a");
    EXPECT_EQ("aa", apply("aaaa"));  // a replacement is not matched again by its row
    std::string unchanged = "nothing\n";
    EXPECT_FALSE(ApplyDictionary(unchanged, &d));
    Dictionary empty;
    EXPECT_FALSE(ApplyDictionary(unchanged, &empty));
    EXPECT_TRUE(sink.pieces.empty());  // Replace and an empty grid print nothing

    Settings.replaceMode = false;  // Search: the earlier row, once, line untouched
    d.Clear();
    d.Add("beta", "x");
    d.Add("alpha", "y");
    std::string line = "alpha beta beta\n";
    EXPECT_FALSE(ApplyDictionary(line, &d));
    EXPECT_EQ("alpha beta beta\n", line);
    EXPECT_EQ((std::vector<RecordedPiece>{{"alpha ", 0, 0, {}}, {"beta", kColorGreen, 0, {}},
                                          {" beta\n", 0, 0, {}}}),
              sink.pieces);
    sink.pieces.clear();
    line = "x = alpha";  // a last line without line end still ends the console line
    ApplyDictionary(line, &d);
    EXPECT_EQ("x = alpha\n", sink.Text());
    ConsoleDetach(&console);
}

}  // namespace
