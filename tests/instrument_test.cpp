// Branch numbering and marker insertion: where each "COV_SET(n);" line lands,
// what each block records, and the branch counts every command reports.
//
// Most cases are written as the expected instrumented text, already laid out
// the way the reformatter leaves it; the input is that text without its
// marker lines, so input and output stand side by side in one literal.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "config/batch.h"
#include "config/pipeline.h"
#include "config/settings.h"
#include "console/recording_sink.h"
#include "coverage/branch.h"
#include "engine/ctxfichier.h"
#include "engine/lineengine.h"
#include "platform/fs.h"
#include "support/test_support.h"

using namespace vantor;
using vantor::test::ReadFile;
using vantor::test::TempDir;
using vantor::test::WriteFile;

namespace {

bool IsMarkerLine(const std::string& line) {
    size_t i = 0;
    while (i < line.size() && line[i] == ' ') ++i;
    if (line.compare(i, 8, "COV_SET(") != 0) return false;
    i += 8;
    const size_t digits = i;
    while (i < line.size() && line[i] >= '0' && line[i] <= '9') ++i;
    return i > digits && line.compare(i, std::string::npos, ");\n") == 0;
}

std::string WithoutMarkers(const std::string& text) {
    std::string out;
    size_t from = 0;
    while (from < text.size()) {
        size_t end = text.find('\n', from);
        end = end == std::string::npos ? text.size() : end + 1;
        std::string line = text.substr(from, end - from);
        if (!IsMarkerLine(line)) out += line;
        from = end;
    }
    return out;
}

struct Run {
    std::string text;  // what the pipeline would write, without header and table
    ctxFichier* ctx = nullptr;
};

// Feeds `source` line by line and collects the output as the pipeline does:
// lines move on outside functions, a function's lines when it ends.
std::string Instrument(ctxFichier& ctx, const std::string& source) {
    std::string text;
    ctx.lineNumber = ctx.outputLineNumber = 1;
    size_t from = 0;
    while (from < source.size()) {
        size_t end = source.find('\n', from);
        end = end == std::string::npos ? source.size() : end + 1;
        ctx.line.assign(source, from, end - from);
        ProcessLine(ctx, nullptr);
        if (!ctx.inFunction) {
            for (const std::string& l : ctx.outputLines) text += l;
            ctx.outputLines.clear();
        }
        ++ctx.lineNumber;
        ++ctx.outputLineNumber;
        from = end;
    }
    for (const std::string& l : ctx.outputLines) text += l;
    return text;
}

// `expected` is the instrumented text; its marker lines are taken out for the input.
void expectInstrumented(const std::string& expected, int32_t branches, const char* file = "t.c") {
    ctxFichier ctx;
    ctx.SetFile(file);
    EXPECT_EQ(expected, Instrument(ctx, WithoutMarkers(expected)));
    EXPECT_EQ(branches, ctx.branchCount) << expected;
}

struct Row {
    int32_t first, last, instructions;
    bool operator==(const Row& o) const {
        return first == o.first && last == o.last && instructions == o.instructions;
    }
};
std::ostream& operator<<(std::ostream& os, const Row& r) {
    return os << "{" << r.first << "," << r.last << "," << r.instructions << "}";
}

void CollectRows(const Branch* b, std::vector<Row>& rows) {
    if (b->number != 0) rows.push_back({b->firstLine, b->lastLine, b->instructionCount});
    for (const Branch* c = b->FirstChild(); c; c = c->Next()) CollectRows(c, rows);
}

// The table rows (first line, last line, instructions) in index order.
std::vector<Row> Rows(const std::string& source) {
    ctxFichier ctx;
    ctx.SetFile("t.c");
    Instrument(ctx, source);
    std::vector<Row> rows;
    CollectRows(ctx.firstBranch, rows);
    return rows;
}

// The first words of the line that follows marker `n` (blanks trimmed).
std::string AfterMarker(const std::string& text, int n) {
    const std::string marker = "COV_SET(" + std::to_string(n) + ");\n";
    size_t at = text.find(marker);
    if (at == std::string::npos) return "(no marker " + std::to_string(n) + ")";
    at = text.find_first_not_of(' ', at + marker.size());
    return text.substr(at, text.find('\n', at) - at);
}

std::string InstrumentC(const std::string& source, const char* file = "t.c") {
    ctxFichier ctx;
    ctx.SetFile(file);
    return Instrument(ctx, source);
}

class InstrumentTest : public ::testing::Test {
protected:
    void SetUp() override {
        ResetSettings();
        // What the Instrumentation command sets.
        Settings.Indenter = Settings.couverture = true;
        Settings.accolades = Settings.monoInstruction = Settings.aligner = true;
        Settings.checkMode = Settings.designMode = Settings.dictionaryMode = false;
        Settings.replaceMode = Settings.substringMode = false;
        Settings.rtlf = false;
        French = false;
        ConsoleAttach(&console, &sink);
    }
    void TearDown() override {
        ConsoleDetach(&console);
        ResetSettings();
        Settings.Indenter = Settings.couverture = false;
        French = true;
    }
    RecordingSink sink;
};

}  // namespace

TEST_F(InstrumentTest, FunctionBodies) {
    // The marker stays one statement behind: in front of the last statement,
    // indented to the block's column.
    expectInstrumented(
        "void f(int *p)\n{\n   p[0] = 1;\n   p[1] = 2;\n   COV_SET(0);\n   p[2] = 3;\n}\n", 1);
    // A single statement: right after the line of the opening brace.
    expectInstrumented("void f(int *p)\n{\n   COV_SET(0);\n   p[0] = 1;\n}\n", 1);
    // A last statement that returns: in front of the return.
    expectInstrumented("int f(int a)\n{\n   int b = a;\n   b++;\n   COV_SET(0);\n   return b;\n}\n", 1);
    // An empty body and a declaration without body.
    expectInstrumented("void f(void)\n{\n   COV_SET(0);\n}\nint g(int);\n", 1);
    // Branches are numbered in file order, across functions.
    expectInstrumented("void f(int *p)\n{\n   COV_SET(0);\n   p[0] = 1;\n}\n"
                       "void g(int *p)\n{\n   COV_SET(1);\n   p[0] = 2;\n}\n",
                       2);
}

TEST_F(InstrumentTest, IfElseIfAndElse) {
    // An "if" after "else" opens no branch of its own: two branches, two markers.
    expectInstrumented("int f(int a)\n{\n   int r = 0;\n"
                       "   if (a > 0)\n   {\n      COV_SET(1);\n      r = 1;\n   }\n"
                       "   else if (a < 0)\n   {\n      COV_SET(2);\n      r = 2;\n   }\n"
                       "   COV_SET(0);\n   return r;\n}\n",
                       3);
    expectInstrumented("int f(int a)\n{\n   int r = 0;\n"
                       "   if (a > 0)\n   {\n      COV_SET(1);\n      r = 1;\n   }\n"
                       "   else if (a < 0)\n   {\n      COV_SET(2);\n      r = 2;\n   }\n"
                       "   else\n   {\n      r = 4;\n      COV_SET(3);\n      r = 3;\n   }\n"
                       "   COV_SET(0);\n   return r;\n}\n",
                       4);
    // A block that ends in an if/else whose every path returns: the marker of
    // the enclosing block stays in front of the if.
    expectInstrumented("int f(int a)\n{\n   COV_SET(0);\n"
                       "   if (a)\n   {\n      COV_SET(1);\n      return 1;\n   }\n"
                       "   else\n   {\n      COV_SET(2);\n      return 2;\n   }\n}\n",
                       3);
    // Nested ifs: each marker in its own block, inner ones first in the numbering order.
    expectInstrumented("void f(int a, int *p)\n{\n   COV_SET(0);\n"
                       "   if (a)\n   {\n      p[0] = 1;\n      COV_SET(1);\n"
                       "      if (a > 1)\n      {\n         COV_SET(2);\n         p[1] = 1;\n      }\n"
                       "   }\n}\n",
                       3);
}

TEST_F(InstrumentTest, SwitchGetsOneBranchPerLabel) {
    expectInstrumented("int f(int a)\n{\n   COV_SET(0);\n   switch (a)\n   {\n"
                       "      case 1:\n         COV_SET(1);\n         return 4;\n"
                       "      case 2:\n         COV_SET(2);\n         return 5;\n"
                       "      case 3:\n         COV_SET(3);\n         return 6;\n"
                       "   }\n}\n",
                       4);
    // The ":" of a ?: under a label is no label: the marker stays in front of
    // the return, and out of an expression cut over two lines.
    const std::string ternary = InstrumentC("int f(int a)\n{\n   switch (a)\n   {\n      case 1:\n"
                                            "         return g(a > 2 ? 1 :\n            2);\n   }\n}\n");
    EXPECT_EQ("return g(a > 2 ? 1 :", AfterMarker(ternary, 1)) << ternary;
    // Shared labels, a fall-through and a default.
    expectInstrumented("void f(int a, int *p)\n{\n   COV_SET(0);\n   switch (a)\n   {\n"
                       "      case 1:\n         p[0] = 1;\n         COV_SET(1);\n         break;\n"
                       "      case 2:\n      case 3:\n         COV_SET(2);\n         p[0] = 2;\n"
                       "      default:\n         COV_SET(3);\n         return;\n"
                       "   }\n}\n",
                       4);
}

TEST_F(InstrumentTest, Loops) {
    expectInstrumented("void f(int n, int *p)\n{\n   int i;\n"
                       "   while (n > 0)\n   {\n      n--;\n      COV_SET(1);\n      p[n] = 0;\n   }\n"
                       "   for (i = 0; i < 3; i++)\n   {\n      COV_SET(2);\n      p[i] = i;\n   }\n"
                       "   COV_SET(0);\n"
                       "   do\n   {\n      COV_SET(3);\n      i--;\n   }\n   while (i > 0);\n}\n",
                       4);
    // A break that leaves the loop early: the marker goes in front of it.
    expectInstrumented("void f(int n, int *p)\n{\n   COV_SET(0);\n"
                       "   while (n > 0)\n   {\n      n--;\n      COV_SET(1);\n"
                       "      if (p[n])\n      {\n         COV_SET(2);\n         break;\n      }\n"
                       "   }\n}\n",
                       3);
}

TEST_F(InstrumentTest, BranchRowsRecordLinesAndInstructions) {
    EXPECT_EQ(Rows("int f(int a)\n"                       // 1
                   "{\n"                                  // 2
                   "   int r = 0;\n"                      // 3
                   "   if (a)\n"                          // 4
                   "   {\n"                               // 5
                   "      r = 1;\n"                       // 6
                   "      r++;\n"                         // 7
                   "   }\n"                               // 8
                   "   switch (a)\n"                      // 9
                   "   {\n"                               // 10
                   "      case 1:\n"                      // 11
                   "         return 2;\n"                 // 12
                   "   }\n"                               // 13
                   "   return r;\n"                       // 14
                   "}\n"),                                // 15
              (std::vector<Row>{{2, 15, 4}, {4, 9, 2}, {11, 13, 2}}));  // a return in a case counts twice
}

TEST_F(InstrumentTest, BracesOfExpressionsAndOfBlocksThatMayNotRun) {
    // Braces of an initialiser, a compound literal, a lambda or a local struct
    // hold no statement of the block: the marker never lands inside them nor
    // between their "}" and the rest of the statement.
    EXPECT_EQ("return (struct s)", AfterMarker(InstrumentC("struct s f(void)\n{\n   return (struct s){1, 2};\n}\n"), 0));
    EXPECT_EQ("int a[2] =", AfterMarker(InstrumentC("void f(void)\n{\n   g();\n   int a[2] = {1, 2};\n}\n"), 0));
    EXPECT_EQ("g((struct s){1});", AfterMarker(InstrumentC("void f(void)\n{\n   x = 1;\n   g((struct s){1});\n}\n"), 0));
    EXPECT_EQ("struct", AfterMarker(InstrumentC("void f(void)\n{\n   x = 1;\n   struct { int a; } v;\n}\n"), 0));
    const std::string sorted = InstrumentC("void f(std::vector<int>& v)\n{\n"
                                           "   std::sort(v.begin(), v.end(), [](int a, int b) { return a < b; });\n"
                                           "   g(v);\n}\n",
                                           "t.cpp");
    // The lambda's return leaves the lambda only: the marker goes on to the last statement.
    EXPECT_EQ("g(v);", AfterMarker(sorted, 0)) << sorted;
    // The body of a loop macro or a catch handler may not run although the
    // statement before it did: the marker of the enclosing block stays out.
    EXPECT_EQ("x = 1;", AfterMarker(InstrumentC("void f(void)\n{\n   x = 1;\n   FOR_EACH(p, list) {\n"
                                                 "      g(p);\n   }\n}\n"),
                                     0));
    EXPECT_EQ("h();", AfterMarker(InstrumentC("void f(void)\n{\n   FOR_EACH(p, list) {\n      g(p);\n   }\n"
                                               "   x = 1;\n   h();\n}\n"),
                                   0));
    const std::string caught = InstrumentC("void f(void)\n{\n   try {\n      a();\n      b();\n   }\n"
                                           "   catch (const E& e) {\n      c();\n   }\n}\n",
                                           "t.cpp");
    EXPECT_EQ("b();", AfterMarker(caught, 0)) << caught;
    // Inside them, the blocks of their own statements still get their markers.
    const std::string inner = InstrumentC("void f(void)\n{\n   FOR_EACH(p, list) {\n      if (p) {\n"
                                          "         g(p);\n      }\n   }\n}\n");
    EXPECT_EQ("FOR_EACH(p, list)", AfterMarker(inner, 0)) << inner;
    EXPECT_EQ("g(p);", AfterMarker(inner, 1)) << inner;
}

TEST_F(InstrumentTest, ExitsOfNestedFunctionsMoveNoPositionOfTheEnclosingOne) {
    expectInstrumented("int main()\n{\n   {\n      struct T\n      {\n         bool m()\n         {\n"
                       "            n++;\n            return true;\n         }\n      }\n      ;\n      T t;\n"
                       "      t.m();\n   }\n   if (n)\n   {\n      COV_SET(1);\n      h();\n   }\n   k();\n"
                       "   COV_SET(0);\n   return 0;\n}\n",
                       2, "t.cpp");
    expectInstrumented("int g()\n{\n   auto less = [](int x, int y)\n   {\n      return x < y;\n   }\n   ;\n"
                       "   if (n)\n   {\n"
                       "      COV_SET(1);\n      h();\n   }\n   k();\n   COV_SET(0);\n   return 0;\n}\n",
                       2, "t.cpp");
}

TEST_F(InstrumentTest, NoMarkerInsideAPreprocessorSectionOpenedInTheBlock) {
    // Built without X the marker would be gone: it goes before the "#ifdef".
    expectInstrumented("int f(int n)\n{\n   n++;\n   COV_SET(0);\n#ifdef X\n   n += 2;\n#else\n   n += 3;\n#endif\n}\n",
                       1);
    // Before the outermost section; a block opened inside a section keeps its marker there.
    expectInstrumented("int f(int n)\n{\n   n++;\n   COV_SET(0);\n#if A\n#ifndef B\n   if (n)\n   {\n      COV_SET(1);\n"
                       "      n--;\n   }\n   n++;\n#endif\n#endif\n}\n",
                       2);
}

TEST_F(InstrumentTest, BracesInsideParenthesesAreNoBlockOfTheStatement) {
    // The loop keeps its braces and its marker; the header stays whole.
    expectInstrumented("void f()\n{\n   COV_SET(0);\n   for (bool e : {true, false})\n   {\n      COV_SET(1);\n"
                       "      g(e);\n   }\n}\n",
                       2, "t.cpp");
    EXPECT_EQ("void f()\n{\n   COV_SET(0);\n   for (bool e : {true, false})\n   {\n      COV_SET(1);\n"
              "      g(e);\n   }\n}\n",
              InstrumentC("void f()\n{\n   for (bool e : {true, false}) g(e);\n}\n", "t.cpp"));
    EXPECT_EQ("", sink.Text());
}

TEST_F(InstrumentTest, UnbracedStatementsGetBracesAndMarkers) {
    EXPECT_EQ("int f(int a)\n{\n   int i;\n"
              "   if (a > 0)\n   {\n      COV_SET(1);\n      return 1;\n   }\n"
              "   else if (a < 0)\n   {\n      COV_SET(2);\n      return 2;\n   }\n"
              "   else\n   {\n      COV_SET(3);\n      a = 3;\n   }\n"
              "   for (i = 0; i < 3; i++)\n   {\n      COV_SET(4);\n      a += i;\n   }\n"
              "   do\n   {\n      COV_SET(5);\n      a++;\n   }\n   while (a < 5);\n"
              "   if (a)\n   {\n      COV_SET(6);\n      if (i)\n      {\n         COV_SET(7);\n         a = 2;\n"
              "      }\n      else\n      {\n         COV_SET(8);\n         a = 1;\n      }\n   }\n"
              "   COV_SET(0);\n   return a;\n}\n",
              InstrumentC("int f(int a)\n{\n   int i;\n"
                          "   if (a > 0) return 1; else if (a < 0) return 2; else a = 3;\n"
                          "   for (i = 0; i < 3; i++) a += i;\n"
                          "   do a++; while (a < 5);\n"
                          "   if (a)\n      if (i)\n         a = 2;\n      else\n         a = 1;\n"
                          "   return a;\n}\n"));
}

TEST_F(InstrumentTest, UnbracedBlockGetsNoMarker) {
    // Without the rewriting that inserts braces, a marker line would become
    // the statement of the if and the return would always run.
    Settings.Indenter = false;
    EXPECT_EQ("int f(int a)\n{\n   if (a)\n      return 1;\n   COV_SET(0);\n   return 0;\n}\n",
              InstrumentC("int f(int a)\n{\n   if (a)\n      return 1;\n   return 0;\n}\n"));
    EXPECT_EQ("0004:block without braces: no COV_SET\n", sink.Text());
}

TEST_F(InstrumentTest, StructureThroughAMacroGetsNoMarker) {
    // "NAME(args) {" at file level looks like a function; the ";" after its
    // "}" shows it held the members of a structure.
    EXPECT_EQ("FIXTURE(t)\n{\n   int fd;\n}\n;\nint f(void)\n{\n   COV_SET(1);\n   return 1;\n}\n",
              InstrumentC("FIXTURE(t) {\n   int fd;\n};\nint f(void)\n{\n   return 1;\n}\n"));
    EXPECT_EQ("0003:not a function body (};): no COV_SET\n", sink.Text());
    // A real function with a stray ";" after it keeps its marker.
    sink.pieces.clear();
    EXPECT_EQ("int g(int a)\n{\n   a++;\n   COV_SET(0);\n   return a;\n}\n;\n",
              InstrumentC("int g(int a)\n{\n   a++;\n   return a;\n};\n"));
    EXPECT_EQ("", sink.Text());
}

TEST_F(InstrumentTest, LineEndsFollowRtlf) {
    Settings.rtlf = true;
    ctxFichier ctx;
    ctx.SetFile("t.c");
    EXPECT_EQ("void f(int *p)\r\n{\r\n   COV_SET(0);\r\n   p[0] = 1;\r\n}\r\n",
              Instrument(ctx, "void f(int *p)\n{\n   p[0] = 1;\n}\n"));
}

TEST_F(InstrumentTest, HeadersCountBlocksButGetNoMarker) {
    const std::string body = "static int f(int a)\n{\n   if (a)\n   {\n      return 1;\n   }\n   return 0;\n}\n";
    for (const char* name : {"t.h", "t.HPP", "t.hh", "t.hxx"}) {
        ctxFichier ctx;
        ctx.SetFile(name);
        EXPECT_EQ(body, Instrument(ctx, body)) << name;
        EXPECT_EQ(2, ctx.branchCount) << name;
    }
}

TEST_F(InstrumentTest, NoMarkersOutsideInstrumentation) {
    Settings.couverture = false;
    Settings.accolades = false;
    const std::string body = "int f(int a)\n{\n   if (a)\n   {\n      return 1;\n   }\n   return 0;\n}\n";
    ctxFichier ctx;
    ctx.SetFile("t.c");
    EXPECT_EQ(body, Instrument(ctx, body));
    EXPECT_EQ(2, ctx.branchCount);
}

// Through the pipeline: the header lines, the table, one file after another.
TEST_F(InstrumentTest, FilesThroughThePipeline) {
    TempDir dir;
    ASSERT_TRUE(CreateFolders(dir / "out"));
    const std::string a = "void f(int *p)\n{\n   p[0] = 1;\n   if (p[1])\n   {\n      p[2] = 0;\n   }\n}\n";
    WriteFile(dir / "a.c", a);
    WriteFile(dir / "b.cpp", a);
    WriteFile(dir / "none.c", "int x;\nstruct s { int a; };\n");
    WriteFile(dir / "c.h", a);
    const std::string head = "#define COV_SET(a) CovTablePt[a]=1\n";
    for (const char* name : {"a.c", "b.cpp", "c.h"}) {
        FileCounts n = ProcessFile(dir / name, dir / (std::string("out/") + name), nullptr);
        EXPECT_EQ(2, n.branches) << name;
    }
    // Every file numbers its branches from 0.
    const std::string code = "void f(int *p)\n{\n   p[0] = 1;\n   COV_SET(0);\n   if (p[1])\n   {\n"
                             "      COV_SET(1);\n      p[2] = 0;\n   }\n}\n\nstatic struct\n";
    std::string outA = ReadFile(dir / "out/a.c"), outB = ReadFile(dir / "out/b.cpp");
    EXPECT_EQ(0u, outA.find(head + "static char *CovTablePt;\n" + code)) << outA;
    EXPECT_EQ(0u, outB.find(head + "static inline char *CovTableAt();\n#define CovTablePt CovTableAt()\n" + code)) << outB;
    EXPECT_NE(std::string::npos, outA.find("}};\nstatic char *CovTablePt=CovDef.CovTable;\n")) << outA;
    EXPECT_NE(std::string::npos, outB.find("}};\nstatic inline char *CovTableAt() { return CovDef.CovTable; }\n"))
        << outB;
    // A header: the macro lines and its own text, no marker, no table.
    EXPECT_EQ(head + "extern char *CovTablePt;\n" + a, ReadFile(dir / "out/c.h"));
    // No branch: the header lines, no table.
    EXPECT_EQ(0, ProcessFile(dir / "none.c", dir / "out/none.c", nullptr).branches);
    const std::string none = ReadFile(dir / "out/none.c");
    EXPECT_EQ(0u, none.find(head + "static char *CovTablePt;\nint x;\nstruct s")) << none;
    EXPECT_EQ(std::string::npos, none.find("COV_SET(", 10)) << none;
    EXPECT_EQ(std::string::npos, none.find("CovDef")) << none;
}

TEST_F(InstrumentTest, EveryCommandCountsBranches) {
    TempDir dir;
    WriteFile(dir / "a.c", "int f(int a)\n{\n   if (a)\n   {\n      return 1;\n   }\n"
                           "   else\n   {\n      return 2;\n   }\n}\n");
    Settings.Indenter = Settings.couverture = Settings.accolades = false;
    Settings.checkMode = true;
    BatchTotals t = RunBatch(dir / "a.c", "", nullptr);
    EXPECT_EQ(3, t.branches);
    EXPECT_NE(std::string::npos, sink.Text().find(" instructions 3 branchs\n")) << sink.Text();
    Settings.checkMode = false;
    Settings.Indenter = true;
    EXPECT_EQ(3, RunBatch(dir / "a.c", "", nullptr).branches);
}
