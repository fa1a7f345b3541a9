// The Check road through the line engine: every rule's report with its line
// number and text in both languages, the counts of functions, instructions and
// code lines, and sources that must neither crash nor hang the engine.
#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>
#include <string>
#include <vector>

#include "config/pipeline.h"
#include "config/settings.h"
#include "console/console.h"
#include "console/recording_sink.h"
#include "engine/ctxfichier.h"
#include "engine/lineengine.h"
#include "engine/rules.h"
#include "support/test_support.h"

using namespace vantor;

namespace {

using Reports = std::vector<std::string>;

Reports reports;
int64_t reportCount = 0;
bool keepReports = true;

void Record(const ctxFichier&, int32_t line, int32_t, const char*, const char* text) {
    ++reportCount;
    if (!keepReports) return;
    char number[16];
    std::snprintf(number, sizeof number, "%04d:", line);
    reports.push_back(std::string(number) + text);
}

// Feeds `source` line by line (line ends kept) as the pipeline does.
void Feed(ctxFichier& ctx, const std::string& source, bool keepOutput = false) {
    ctx.lineNumber = 1;
    ctx.outputLineNumber = 1;
    size_t from = 0;
    while (from < source.size()) {
        size_t end = source.find('\n', from);
        end = (end == std::string::npos) ? source.size() : end + 1;
        ctx.line.assign(source, from, end - from);
        ProcessLine(ctx, nullptr);
        if (!ctx.inFunction && !keepOutput) ctx.outputLines.clear();
        ++ctx.lineNumber;
        ++ctx.outputLineNumber;
        from = end;
    }
}

Reports Check(const std::string& source, const char* file = "t.c") {
    reports.clear();
    ctxFichier ctx;
    ctx.SetFile(file);
    Feed(ctx, source);
    return reports;
}

void expectCheck(const std::string& source, const Reports& expected, const char* file = "t.c") {
    EXPECT_EQ(Check(source, file), expected) << "source:\n" << source;
}

struct Counts {
    int32_t functions, instructions, codeLines;
    bool operator==(const Counts& o) const {
        return functions == o.functions && instructions == o.instructions && codeLines == o.codeLines;
    }
};
std::ostream& operator<<(std::ostream& os, const Counts& c) {
    return os << "{functions " << c.functions << ", instructions " << c.instructions << ", code lines "
              << c.codeLines << "}";
}

void expectCounts(const std::string& source, Counts expected, const char* file = "t.c") {
    ctxFichier ctx;
    ctx.SetFile(file);
    Feed(ctx, source);
    EXPECT_EQ((Counts{ctx.functionCount, ctx.fileInstructions, ctx.codeLineCount}), expected) << "source:\n"
                                                                                              << source;
}

std::string Repeat(const std::string& s, int n) {
    std::string out;
    for (int i = 0; i < n; ++i) out += s;
    return out;
}

class CheckTest : public ::testing::Test {
protected:
    void SetUp() override {
        ResetSettings();
        Settings.checkMode = true;
        Settings.Indenter = Settings.couverture = Settings.designMode = false;
        Settings.dictionaryMode = Settings.replaceMode = Settings.substringMode = false;
        French = false;
        keepReports = true;
        reportCount = 0;
        SetViolationSink(&Record);
    }
    void TearDown() override {
        SetViolationSink(nullptr);
        French = true;
        ResetSettings();
        Settings.checkMode = Settings.dictionaryMode = false;
    }
};

TEST_F(CheckTest, LineLength) {
    expectCheck(std::string(77, ' ') + "abcde;\n", {"0001:line length>80"});
    expectCheck(std::string(76, ' ') + "abcd;\n", {});
    expectCheck("// " + std::string(117, 'x') + "\n", {});
    expectCheck("s = \"" + std::string(100, 'x') + "\";\n", {});
    expectCheck(std::string(79, ' ') + "ab cd\n", {"0001:line length>80", "0001:line length>80"});
    expectCheck("#define " + std::string(90, 'X') + "\n", {});
    Settings.caracteres = 10;
    expectCheck("x = 1;\na_long_name = 2;\n", {"0002:line length>10"});
    // The tail of a continued string is not measured, what follows it is.
    expectCheck("s = \"a\\\n" + std::string(20, 'x') + "\" yy;\n", {"0002:line length>10"});
    French = true;
    expectCheck("a_long_name = 2;\n", {"0001:longueur ligne>10"});
}

TEST_F(CheckTest, ConditionalOperator) {
    expectCheck("x = a ? b : c;\n", {});
    Settings.noInterrog = true;
    expectCheck("x = a ? b : c;\n", {"0001:instruction ? :"});
    expectCheck("/* a ? b : c */ s = \"?\";\n", {});
}

TEST_F(CheckTest, OneInstructionPerLine) {
    expectCheck("a; b;\n", {"0001:>1 instruction per line"});
    expectCheck("a; b; c;\n", {"0001:>1 instruction per line", "0001:>1 instruction per line"});
    expectCheck("a;\nb;\n", {});
    expectCheck("for (i = 0; i < n; i++) x++;\n", {});
    expectCheck("a; // comment\n", {});
    Settings.monoInstruction = false;
    expectCheck("a; b;\n", {});
    Settings.monoInstruction = true;
    French = true;
    expectCheck("a; b;\n", {"0001:>1 instruction par ligne"});
}

TEST_F(CheckTest, ClosingParenthesis) {
    expectCheck("x = f(a));\n", {"0001:erreur too much closing parenthesis"});
    // The depth stays 0: the next "(" ... ")" pair is balanced again.
    expectCheck("x);\ny = (1);\n", {"0001:erreur too much closing parenthesis"});
    expectCheck("// )\ns = \")\";\n", {});
    French = true;
    expectCheck(")\n", {"0001:erreur trop de parentheses fermantes"});
}

TEST_F(CheckTest, BraceAlignment) {
    expectCheck("int f() {\n}\n", {"0001:...{"});
    expectCheck("int f()\n{ x; }\n", {"0002:} not aligned", "0002:>1 instruction per line"});
    expectCheck("int f()\n{\n   x;\n}\n", {});
    expectCheck("int a[] = { 1, 2 };\n", {"0001:...{", "0001:} not aligned"});
    Settings.aligner = false;
    expectCheck("int f() {\n   x; }\n", {"0002:>1 instruction per line"});
    Settings.aligner = true;
    French = true;
    expectCheck("{ }\n", {"0001:} non aligné"});
}

TEST_F(CheckTest, BraceNesting) {
    expectCheck(Repeat("{\n", 8) + Repeat("}\n", 8), {});
    expectCheck(Repeat("{\n", 9) + Repeat("}\n", 9), {"0009:9'{'>8"});
    expectCheck(Repeat("{\n", 10), {"0009:9'{'>8", "0010:10'{'>8"});
    // Function and class braces count; braces in comments and strings do not.
    expectCheck("class A\n{\nvoid f()\n{\n/* { { */\n}\n};\n", {});
    Settings.imbrications = 1;
    expectCheck("class A\n{\nvoid f()\n{\ns = \"{\";\n}\n};\n", {"0004:2'{'>1"});
}

TEST_F(CheckTest, InstructionsPerFunction) {
    Settings.instructions = 2;
    expectCheck("void f()\n{\n   a();\n   b = 1;\n}\n", {});
    expectCheck("void f()\n{\n   a();\n   b = 1;\n   c++;\n}\n", {"0006:3 instructionsInFunction>2"});
    expectCheck("void f()\n{\n   if (a)\n      b();\n   c();\n}\n", {"0006:3 instructionsInFunction>2"});
    // A statement without an operator, call or keyword is no instruction.
    expectCheck("void f()\n{\n   a();\n   b = 1;\n   int c;\n   d;\n}\n", {});
    // Statements at file level belong to no function.
    expectCheck("a();\nb();\nc();\nvoid f()\n{\n   a();\n}\n", {});
}

TEST_F(CheckTest, CaseWithoutBreak) {
    const std::string head = "void f(int x)\n{\n   switch (x)\n   {\n   case 1:\n   case 2:\n      x++;\n";
    expectCheck(head + "   case 3:\n      break;\n   }\n}\n", {"0008:case without break"});
    expectCheck(head + "      break;\n   case 3:\n      x--;\n   }\n}\n", {});
    expectCheck(head + "      return;\n   default:\n      x--;\n   }\n}\n", {});
    expectCheck(head + "      continue;\n   case 3:\n      x--;\n   }\n}\n", {});
    // A break inside the braces of a case block counts for the case.
    expectCheck(head + "      {\n         break;\n      }\n   case 3:\n      x--;\n   }\n}\n", {});
    expectCheck(head + "   default:\n      break;\n   }\n}\n", {"0008:case without break"});
    Settings.breakSurCase = false;
    expectCheck(head + "   case 3:\n      break;\n   }\n}\n", {});
    Settings.breakSurCase = true;
    French = true;
    expectCheck(head + "   case 3:\n      break;\n   }\n}\n", {"0008:case sans break"});
}

TEST_F(CheckTest, CaseLabels) {
    const std::string head = "void f(int x)\n{\n   switch (x)\n   {\n";
    // A label followed by a statement on its line has two instructions there.
    expectCheck(head + "   case 1: x++;\n      break;\n   }\n}\n", {"0005:>1 instruction per line"});
    // A scope operator in a label does not complete the label.
    expectCheck(head + "   case Color::Red:\n      break;\n   }\n}\n", {});
    // The colon of a "?:" under a label is no second label colon.
    expectCheck(head + "   case 1:\n      x = (x != 2 ? -5 : 0);\n      break;\n   }\n}\n", {});
}

TEST_F(CheckTest, ForbiddenWords) {
    expectCheck("goto end;\n", {"0001:goto"});
    expectCheck("/* goto */ s = \"goto\"; // goto\n#define X goto\n", {});
    expectCheck("Goto end;\n", {});
    expectCheck("void f()\n{\n   if (x) goto end;\n}\n", {"0003:goto"});
    Settings.MotsInterdits.Add("malloc");
    Settings.MotsInterdits.Add("while");
    expectCheck("p = malloc(4);\n", {"0001:malloc"});
    // Keywords are words like any other.
    expectCheck("void f()\n{\n   while (x)\n      x--;\n}\n", {"0003:while"});
    Settings.MotsInterdits.Clear();
    expectCheck("goto end;\n", {});
}

TEST_F(CheckTest, BlockStackOverflow) {
    Settings.imbrications = 1000;
    expectCheck(Repeat("{\n", 100), {});
    expectCheck(Repeat("{\n", 101), {"0101:Bloc table overflow"});
    expectCheck(Repeat("{\n", 102) + Repeat("}\n", 102),
                {"0101:Bloc table overflow", "0102:Bloc table overflow"});
    French = true;
    expectCheck(Repeat("{\n", 101), {"0101:Bloc table saturée"});
    // Reported in every mode.
    Settings.checkMode = false;
    expectCheck(Repeat("{\n", 101) + "goto x; a; b;\n", {"0101:Bloc table saturée"});
}

TEST_F(CheckTest, OrderOfReportsOnOneToken) {
    Settings.caracteres = 5;
    Settings.MotsInterdits.Add("longword");
    // Instruction rule, then line length, then forbidden word.
    expectCheck("a; longword;\n", {"0001:>1 instruction per line", "0001:line length>5", "0001:longword"});
    // Closing-brace alignment before the instruction rule.
    expectCheck("{\na; }\n", {"0002:} not aligned", "0002:>1 instruction per line"});
}

TEST_F(CheckTest, NoCheckModeNoReports) {
    Settings.checkMode = false;
    Settings.noInterrog = true;
    expectCheck("int f() { a; b; goto x; c = d ? e : f; ) }\n", {});
}

TEST_F(CheckTest, ReportsGoToTheConsoleInRed) {
    SetViolationSink(nullptr);
    RecordingSink sink;
    ConsoleAttach(&console, &sink);
    ctxFichier ctx;
    ctx.SetFile("t.c");
    Feed(ctx, "a;\nx; goto y;\n");
    ConsoleDetach(&console);
    ASSERT_EQ(sink.pieces.size(), 2u);
    EXPECT_EQ(sink.pieces[0], (RecordedPiece{"0002:>1 instruction per line\n", kColorRed, 0, {}}));
    EXPECT_EQ(sink.pieces[1], (RecordedPiece{"0002:goto\n", kColorRed, 0, {}}));
    EXPECT_EQ(ctx.violationCount, 2);

    // Wide line numbers, a text that brings its own line end, a text longer
    // than a console message (cut, still ended by its line end).
    sink.pieces.clear();
    ConsoleAttach(&console, &sink);
    ctx.lineNumber = 123456;
    ReportViolation(ctx, "wide");
    ctx.lineNumber = 5;
    ReportViolation(ctx, "own end\n");
    const std::string longText(5000, 'x');
    ReportViolation(ctx, longText.c_str());
    ConsoleDetach(&console);
    ASSERT_EQ(sink.pieces.size(), 3u);
    EXPECT_EQ(sink.pieces[0].text, "123456:wide\n");
    EXPECT_EQ(sink.pieces[1].text, "0005:own end\n");
    EXPECT_EQ(sink.pieces[2].text.size(), kConsoleBufferSize - 1);
    EXPECT_EQ(sink.pieces[2].text.substr(0, 6), "0005:x");
    EXPECT_EQ(sink.pieces[2].text.back(), '\n');
}

TEST_F(CheckTest, ReportLineNumberInRewrittenFile) {
    ctxFichier ctx;
    ctx.lineNumber = 7;
    ctx.outputLineNumber = 9;
    ReportViolation(ctx, "x");
    Settings.Indenter = true;
    ReportViolation(ctx, "y");
    Settings.couverture = true;
    ReportViolation(ctx, "z");
    EXPECT_EQ(reports, (Reports{"0007:x", "0009:y", "0007:z"}));
}

// Apply mode repairs by splitting lines instead of reporting; what a split
// cannot repair is still reported, numbered in the rewritten file.
TEST_F(CheckTest, ApplyRepairsInsteadOfReporting) {
    Settings.Indenter = true;
    Settings.rtlf = false;
    ctxFichier ctx;
    reports.clear();
    Feed(ctx, "a; b;\n{ x; }\n" + std::string(90, 'y') + ";\n", true);
    EXPECT_EQ(reports, (Reports{"0006:line length>80"}));
    EXPECT_TRUE(ctx.lineModified);
    // a; | b; | { | x; | } | yyy...;
    ASSERT_EQ(ctx.outputLines.size(), 6u);
    for (const std::string& l : ctx.outputLines)
        EXPECT_TRUE(l.size() > 1 && l[l.size() - 2] != '\r' && l.back() == '\n') << l;
}

// Whole-token Search and Replace: each match is listed as its line, the name in green.
TEST_F(CheckTest, WholeTokenSearchAndReplace) {
    Settings.checkMode = false;
    Settings.dictionaryMode = true;
    Dictionary dictionary;
    dictionary.Add("count", "total");
    dictionary.Add("if", "when");
    RecordingSink sink;
    ConsoleAttach(&console, &sink);
    ctxFichier search;
    search.line = "account = count; // Count\n";
    ProcessLine(search, &dictionary);
    Settings.replaceMode = true;
    ctxFichier replace;
    replace.lineNumber = 12;
    replace.line = "account = count; // Count\n";
    ProcessLine(replace, &dictionary);
    ctxFichier keyword;
    keyword.line = "void f()\n";
    ProcessLine(keyword, &dictionary);
    keyword.line = "{\n";
    ProcessLine(keyword, &dictionary);
    keyword.line = "   if (x) y();\n";
    ProcessLine(keyword, &dictionary);
    ConsoleDetach(&console);
    // Green pieces in brackets; everything else in the pane's own colour.
    std::string shown;
    for (const RecordedPiece& p : sink.pieces) {
        EXPECT_TRUE(p.colour == 0 || p.colour == kColorGreen) << p.text;
        shown += p.colour == kColorGreen ? "[" + p.text + "]" : p.text;
    }
    EXPECT_EQ(shown,
              "0001:account = [count]; // Count\n"
              "0001:account = count; // [Count]\n"
              "0012:account = [total]; // Count\n"
              "0012:account = total; // [total]\n");
    EXPECT_FALSE(search.lineModified);
    EXPECT_EQ(search.line, "account = count; // Count\n");
    EXPECT_TRUE(replace.lineModified);
    EXPECT_EQ(replace.line, "account = total; // total\n");
}

TEST_F(CheckTest, FunctionsPerFile) {
    vantor::test::TempDir dir;
    const std::string path = dir / "many.c";
    vantor::test::WriteFile(path, "void a()\n{\n}\nvoid b()\n{\n}\nvoid c()\n{\n}\n");
    RecordingSink sink;
    ConsoleAttach(&console, &sink);
    Settings.fonctions = 2;
    reports.clear();
    FileCounts counts = ProcessFile(path, "", nullptr);
    Settings.fonctions = 3;
    ProcessFile(path, "", nullptr);
    ConsoleDetach(&console);
    EXPECT_EQ(reports, (Reports{"0009:3 functions>2"}));
    EXPECT_EQ(counts.functions, 3);
    EXPECT_EQ(counts.violations, 1);
}

TEST_F(CheckTest, Counts) {
    const std::string f = "void f()\n{\n";
    expectCounts(f + "   if (a) x; else y;\n}\n", {1, 4, 4});
    expectCounts(f + "   if (a)\n   {\n      x = 1;\n   }\n   else\n   {\n      y = 2;\n   }\n}\n",
                 {1, 4, 11});
    expectCounts(f + "   if (a)\n   {\n      x;\n   }\n}\n", {1, 1, 7});
    expectCounts(f + "   if (a)\n      x;\n   else if (b)\n      y;\n}\n", {1, 4, 7});
    expectCounts(f + "   for (i = 0; i < n; i++)\n   {\n   }\n}\n", {1, 1, 6});
    expectCounts(f + "   for (i = 0; i < n; i++) x++;\n}\n", {1, 2, 4});
    expectCounts(f + "   do\n   {\n      x = 1;\n   } while (c);\n}\n", {1, 3, 7});
    expectCounts(f + "   while (c) x--;\n   f(x);\n}\n", {1, 3, 5});
    expectCounts(
        f + "   switch (x)\n   {\n   case 1:\n   case 2:\n      x++;\n   case 3:\n      break;\n   }\n}\n",
        {1, 4, 11});
    expectCounts(f + "   ;\n   int a;\n   int b = 1;\n}\n", {1, 1, 6});
    expectCounts(f + "   a();\n}\nvoid g()\n{\n   b();\n   c();\n}\n", {2, 3, 9});
    expectCounts("int a = 1;\nint b = 2;\nvoid f()\n{\n   x();\n}\n", {1, 1, 6});
    // A NUL byte is no operator.
    expectCounts(f + "   a " + std::string(1, '\0') + ";\n}\n", {1, 0, 4});
}

// A function body is only a block opened at file level right after ")".
TEST_F(CheckTest, WhatCountsAsAFunction) {
    expectCounts("int f(void)\n{\n}\n", {1, 0, 3});
    expectCounts("int A::f() const\n{\n}\n", {0, 0, 3});
    expectCounts("class A\n{\n   void f()\n   {\n   }\n};\n", {0, 0, 6});
    expectCounts("namespace n\n{\nvoid f()\n{\n}\n}\n", {0, 0, 6});
    expectCounts("extern \"C\"\n{\nvoid f()\n{\n}\n}\n", {0, 0, 6});
    expectCounts("int a[] =\n{\n   1, 2\n};\n", {0, 0, 4});
    expectCounts("public class A\n{\n   public void f()\n   {\n      x();\n   }\n}\n", {0, 0, 7}, "A.java");
    // The "{" must directly follow the ")", also across lines and comments.
    expectCounts("int f() /* c */\n// d\n{\n   x();\n}\n", {1, 1, 4});
}

TEST_F(CheckTest, CodeLines) {
    expectCounts("/* a\n   b */\n\n// c\n#define X 1\nint a;\n", {0, 0, 2});
    expectCounts("int a; /* x\n   y */ int b;\n*/\n", {0, 0, 3});
    expectCounts("  \n\t\n", {0, 0, 0});
}

TEST_F(CheckTest, BlockStackAfterStatements) {
    ctxFichier ctx;
    Feed(ctx, "void f()\n{\n   if (a) x; else y;\n");
    EXPECT_EQ(ctx.blockTop, 1);
    Feed(ctx, "   if (a)\n   {\n      x = 1;\n   } else {\n      y = 2;\n");
    EXPECT_EQ(ctx.blockTop, 3);
    EXPECT_EQ(ctx.blocks[2].kind, Else);
    Feed(ctx, "   }\n}\n");
    EXPECT_EQ(ctx.blockTop, 0);
    EXPECT_FALSE(ctx.inFunction);
    EXPECT_EQ(ctx.fileInstructions, 8);
}

TEST_F(CheckTest, UnbalancedClosingBracesStayAtFileLevel) {
    ctxFichier ctx;
    Feed(ctx, "}\n}\n{\n");
    EXPECT_EQ(ctx.blockTop, 1);
    EXPECT_EQ(ctx.braceDepth, 1);
}

// A brace inside parentheses closes its own block only: the if ... else around
// the macro call stays intact.
TEST_F(CheckTest, BraceInsideParentheses) {
    ctxFichier ctx;
    Feed(ctx, "void f()\n{\n   if (a)\n      g({ 1 }\n");
    ASSERT_EQ(ctx.Top().kind, If);
    EXPECT_FALSE(ctx.Top().statementDone);
    EXPECT_TRUE(ctx.braceClosedInParens);
    Feed(ctx, "      , x);\n   else\n      h();\n");
    EXPECT_EQ(ctx.blockTop, 1);
    // if, else, h(); the braces in the call take the content from g(...).
    EXPECT_EQ(ctx.functionInstructions, 3);
    EXPECT_FALSE(ctx.braceClosedInParens);
    Feed(ctx, "   i({ if (b) j; });\n}\n");
    EXPECT_EQ(ctx.blockTop, 0);
    EXPECT_EQ(ctx.functionCount, 1);
}

TEST_F(CheckTest, VersionLog) {
    ctxFichier ctx;
    Feed(ctx,
         "/*\n * $Log:   P:/arch/foo.c_v-arc  $\n *\n *    Rev 1.4   12 Jan 1999\n *    Rev 1.3   1 Jan "
         "1999\n */\n");
    EXPECT_EQ(ctx.logArchive, "P:/arch/foo.c_v");
    EXPECT_EQ(ctx.version, "1.4");
    ctxFichier crlf;
    Feed(crlf, "/*\r\n * $Log:   P:/a.c\r\n Rev 2.0\r\n */\r\n");
    EXPECT_EQ(crlf.logArchive, "P:/a.c");
    EXPECT_EQ(crlf.version, "2.0");
    // Both on one line, far into it, after other capital Rs.
    ctxFichier both;
    Feed(both, "/*\n * RRR Reviewed: REV, Revision Rev 7.1 $Log:   Q:/b.c\n */\n");
    EXPECT_EQ(both.logArchive, "Q:/b.c");
    EXPECT_EQ(both.version, "7.1");
    // Only lines that start inside a comment or directive are searched.
    ctxFichier code;
    Feed(code, "int Rev 3;\n/* Rev 4 */\n");
    EXPECT_EQ(code.version, "?");
}

// Bytes that are no C at all: the engine neither crashes nor hangs, and
// leaves its counters sane.
TEST_F(CheckTest, Robustness) {
    keepReports = false;
    std::string all;
    for (int i = 0; i < 256; ++i) all += static_cast<char>(i);
    for (const std::string& src : {all + "\n" + all, std::string("a\0b;\0\n{\0}\n", 10),
                                   std::string("\r\r\r{\r}\r;\r\n\r"), std::string("/* never closed\n{\n"),
                                   std::string("s = \"never closed\n;\n"), std::string("s = \"a\\\n\\\n\\"),
                                   std::string("#define A \\\n\\\n\\"), std::string(")))}}}(((\n")}) {
        for (bool indent : {false, true}) {
            Settings.Indenter = indent;
            ctxFichier ctx;
            ctx.SetFile("t.c");
            Feed(ctx, src);
            EXPECT_GE(ctx.blockTop, 0);
            EXPECT_LE(ctx.blockTop, kBlockSlots - 1);
            EXPECT_GE(ctx.parenDepth, 0);
        }
    }
}

TEST_F(CheckTest, TenThousandNestedBraces) {
    keepReports = false;
    ctxFichier ctx;
    Feed(ctx, Repeat("{\n", 10000) + Repeat("}\n", 10000));
    EXPECT_EQ(reportCount, (10000 - 100) + (10000 - 8));
    EXPECT_EQ(ctx.blockTop, 0);
    ctxFichier one;
    Feed(one, Repeat("{", 10000) + Repeat("}", 10000) + "\n");
    EXPECT_EQ(one.blockTop, 0);
}

TEST_F(CheckTest, MegabyteLine) {
    keepReports = false;
    const auto start = std::chrono::steady_clock::now();
    Settings.caracteres = 1 << 30;
    ctxFichier ctx;
    // Each repetition's string follows a complete statement.
    Feed(ctx, Repeat("x = f(a) ? b : c; /* c */ \"s\" ", 1 << 15) + "\n");
    EXPECT_EQ(ctx.parenDepth, 0);
    EXPECT_EQ(reportCount, 1 << 15);
    Settings.caracteres = 80;
    reportCount = 0;
    ctxFichier word;
    Feed(word, std::string(1 << 20, 'w') + "\n");
    EXPECT_EQ(reportCount, 1);
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(20));
}

}  // namespace

// Suppression comments: only in a comment, only the rules named, a file mark only near the top.
TEST(Suppression, CommentsNameTheirRules) {
    EXPECT_TRUE(LineSuppresses("goto e; // vantor-ignore\n", rule::kMotsInterdits));
    EXPECT_TRUE(LineSuppresses("goto e; /* vantor-ignore( caracteres ,MotsInterdits) */", rule::kMotsInterdits));
    EXPECT_FALSE(LineSuppresses("goto e; // vantor-ignore(caracteres)", rule::kMotsInterdits));
    EXPECT_FALSE(LineSuppresses("s = \"vantor-ignore\"; goto e;", rule::kMotsInterdits));
    EXPECT_FALSE(LineSuppresses("goto e; // vantor-ignore-file", rule::kMotsInterdits));
    EXPECT_FALSE(LineSuppresses("goto e; // myvantor-ignore", rule::kMotsInterdits));
    std::string head;
    for (int i = 0; i < 19; ++i) head += "int a;\n";
    EXPECT_TRUE(FileSuppressed((head + "// vantor-ignore-file\n").data(), head.size() + 22));
    head += "int a;\n// vantor-ignore-file\n";
    EXPECT_FALSE(FileSuppressed(head.data(), head.size()));
}

namespace {

// Functions counted in `source` with the Methodes setting off, then on.
void expectFunctions(const std::string& source, int32_t off, int32_t on, const char* file = "t.cpp") {
    for (const bool methodes : {false, true}) {
        Settings.Methodes = methodes;
        ctxFichier ctx;
        ctx.SetFile(file);
        Feed(ctx, source);
        EXPECT_EQ(ctx.functionCount, methodes ? on : off) << "Methodes=" << methodes << ", source:\n" << source;
        EXPECT_EQ(ctx.blockTop, 0) << source;
    }
    Settings.Methodes = false;
}

}  // namespace

TEST_F(CheckTest, MethodesCountsFunctionsInsideClassesAndNamespaces) {
    expectFunctions("class A {\n  int f() { return 1; }\n  void g();\n};\n", 0, 1);
    expectFunctions("int A::f() const {\n return 1;\n}\nvoid A::g() {\n}\n", 1, 2);
    expectFunctions("namespace a {\nnamespace b::c {\nvoid f(int x) {\n x++;\n}\n}\n}\n", 0, 1);
    expectFunctions("struct A {\n  A(int x) : a(x), b{x} {\n    n++;\n  }\n  int a, b;\n};\n", 0, 1);
    expectFunctions("A::A() : B(1), c{2, 3} {\n}\n", 0, 1);
    expectFunctions("struct S {\n int f() const volatile noexcept(true) override final & {\n return 1;\n }\n};\n", 0,
                    1);
    expectFunctions("struct S {\n auto f() -> decltype(g()) {\n return g();\n }\n};\n", 0, 1);
    expectFunctions("struct S {\n void f() GTEST_LOCK_EXCLUDED_(mu_) {\n }\n};\n", 0, 1);
    expectFunctions("template <class T> T A<T>::operator+(const T& o) {\n return o;\n}\n", 1, 1);
    expectFunctions("extern \"C\" {\nint c(void) {\n return 0;\n}\n}\n", 0, 1);
    expectFunctions("union U {\n int i;\n int get() { return i; }\n};\n", 0, 1);
}

TEST_F(CheckTest, MethodesJava) {
    expectFunctions("class A {\n  void f() throws IOException, java.io.X {\n    g();\n  }\n}\n", 0, 1, "A.java");
    expectFunctions("interface I {\n  void f();\n  default int g() {\n    return 1;\n  }\n}\n", 0, 1, "I.java");
    expectFunctions("enum E {\n  A(1), B(2) {\n    int h() { return 2; }\n  };\n  E(int x) {\n  }\n"
                    "  int f() {\n    return 1;\n  }\n}\n",
                    0, 2, "E.java");
    expectFunctions("record P(int x, int y) {\n  int sum() {\n    return x + y;\n  }\n}\n", 1, 1, "P.java");
}

TEST_F(CheckTest, MethodesLeavesOtherBracesAlone) {
    // Initialisers, static and instance initialiser blocks, anonymous class
    // bodies and lambdas are not function bodies.
    expectFunctions("class A {\n  int[] t = {1, 2};\n  int v{3};\n  static {\n    if (x) {\n      g();\n    }\n  }\n"
                    "  {\n    h(1);\n  }\n}\n",
                    0, 0, "A.java");
    expectFunctions("class A {\n  Runnable r = new Runnable() {\n    public void run() {\n    }\n  };\n}\n", 0, 0,
                    "A.java");
    expectFunctions("struct S {\n  std::function<int(int)> l = [](int x) { return x; };\n};\n", 0, 0);
    expectFunctions("void f() {\n  struct L { int m() { return 1; } };\n  auto l = [](int x) { return x; };\n}\n", 1,
                    1);
    expectFunctions("struct alignas(8) S : B<decltype(x)> {\n  int a;\n};\n", 0, 0);
}
