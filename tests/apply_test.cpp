// Apply: the line engine rewriting sources. Each case gives the expected text
// beside the source; the expected text, applied again, must come back
// unchanged and without a change flagged (a second run rewrites nothing).
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

struct Applied {
    std::string text;
    bool modified = false;
    int32_t blockTop = 0;
    int32_t parenDepth = 0;
    int32_t braceDepth = 0;
    int32_t functions = 0;
};

// Feeds `source` line by line (line ends kept) as the pipeline does and joins
// every output line. `direct`: the lines go straight into the output buffer,
// as once the pipeline's output file is open.
Applied Apply(const std::string& source, const char* file = "t.c", bool direct = false) {
    ctxFichier ctx;
    ctx.SetFile(file);
    ctx.lineNumber = 1;
    ctx.outputLineNumber = 1;
    Applied r;
    if (direct) ctx.directOutput = &r.text;
    size_t from = 0;
    while (from < source.size()) {
        size_t end = source.find('\n', from);
        end = (end == std::string::npos) ? source.size() : end + 1;
        ctx.line.assign(source, from, end - from);
        ProcessLine(ctx, nullptr);
        ++ctx.lineNumber;
        ++ctx.outputLineNumber;
        from = end;
    }
    for (const std::string& l : ctx.outputLines) r.text += l;
    r.modified = ctx.lineModified;
    r.blockTop = ctx.blockTop;
    r.parenDepth = ctx.parenDepth;
    r.braceDepth = ctx.braceDepth;
    r.functions = ctx.functionCount;
    return r;
}

void expectApply(const std::string& expected, const std::string& source, const char* file = "t.c") {
    const Applied once = Apply(source, file);
    EXPECT_EQ(expected, once.text) << "source:\n" << source;
    EXPECT_EQ(expected, Apply(source, file, true).text) << "straight to the output; source:\n" << source;
    const Applied twice = Apply(expected, file);
    EXPECT_EQ(expected, twice.text) << "not stable; source:\n" << source;
    EXPECT_FALSE(twice.modified) << "a second run would rewrite:\n" << expected;
}

// A source that must keep its structure: after it the block stack is empty.
void expectBalanced(const std::string& source, int32_t functions, const char* file = "t.c") {
    const Applied r = Apply(source, file);
    EXPECT_EQ(0, r.blockTop) << r.text;
    EXPECT_EQ(0, r.parenDepth) << r.text;
    EXPECT_EQ(0, r.braceDepth) << r.text;
    EXPECT_EQ(functions, r.functions) << r.text;
}

std::string Repeat(const std::string& s, int n) {
    std::string out;
    for (int i = 0; i < n; ++i) out += s;
    return out;
}

std::vector<std::string> reports;

void Record(const ctxFichier&, int32_t line, int32_t, const char*, const char* text) {
    char number[16];
    std::snprintf(number, sizeof number, "%04d:", line);
    reports.push_back(std::string(number) + text);
}

class ApplyTest : public ::testing::Test {
protected:
    void SetUp() override {
        ResetSettings();
        Settings.Indenter = true;
        Settings.rtlf = false;
        Settings.checkMode = Settings.couverture = Settings.designMode = false;
        Settings.dictionaryMode = Settings.replaceMode = Settings.substringMode = false;
        French = false;
        reports.clear();
        SetViolationSink(&Record);
    }
    void TearDown() override {
        SetViolationSink(nullptr);
        French = true;
        ResetSettings();
    }
};

TEST_F(ApplyTest, IfBecomesFourLines) {
    Settings.accolades = true;
    expectApply("void f()\n{\n   if (a)\n   {\n      x;\n   }\n}\n", "void f()\n{\nif (a) x;\n}\n");
    // The statement on the next line gets its braces the same way.
    expectApply("void f()\n{\n   if (a)\n   {\n      x;\n   }\n}\n", "void f()\n{\n  if (a)\n    x;\n}\n");
}

// "else" stands under its if, also once the ";" of an unbraced statement has
// closed the if, and in the methods of a class, where no if is tracked.
TEST_F(ApplyTest, ElseStandsUnderItsIf) {
    expectApply("void f()\n{\n   if (a)\n         x;\n   else\n         y;\n}\n",
                "void f()\n{\nif (a)\nx;\nelse\ny;\n}\n");
    expectApply("void f()\n{\n   if (a)\n         x;\n   else if (b)\n         y;\n   else\n         z;\n}\n",
                "void f()\n{\nif (a)\nx;\nelse if (b)\ny;\nelse\nz;\n}\n");
    expectApply("class A\n{\n   void f()\n   {\n      if (a)\n      {\n         x();\n      }\n      else\n      {\n"
                "         y();\n      }\n   }\n}\n",
                "class A {\n    void f() {\n        if (a) {\n            x();\n        } else {\n            y();\n"
                "        }\n    }\n}\n",
                "A.java");
}

TEST_F(ApplyTest, BracesAndStatementsEndUpOnLinesOfTheirOwn) {
    expectApply("void f()\n{\n   if (a)\n   {\n      x();\n   }\n}\n", "void f() {\n   if (a) { x(); }\n}\n");
    expectApply("void f()\n{\n   a;\n   b;\n}\n", "void f()\n{\n   a; b;\n}\n");
    expectApply("x =\n{\n   1, 2\n}\n;\n", "x = { 1, 2 };\n");
    // "} else {" keeps its chain.
    expectApply("void f()\n{\n   if (a)\n   {\n      x;\n   }\n   else\n   {\n      y;\n   }\n}\n",
                "void f()\n{\n   if (a) {\n      x;\n   } else {\n      y;\n   }\n}\n");
    // Labels of a switch one level inside its braces, their statements one further.
    expectApply(
        "void f()\n{\n   switch (x)\n   {\n      case 1:\n         a++;\n         break;\n      default:\n"
        "         b();\n   }\n}\n",
        "void f()\n{\nswitch (x) {\ncase 1: a++; break;\ndefault: b();\n}\n}\n");
    // The colon of a "?:" under a label cuts nothing.
    expectApply("void f()\n{\n   switch (x)\n   {\n      case 1:\n         r = (r != n ? -EIO : 0);\n"
                "         break;\n   }\n}\n",
                "void f()\n{\nswitch (x) {\ncase 1: r = (r != n ? -EIO : 0);\nbreak;\n}\n}\n");
    expectApply("class A\n{\npublic:\n   int x;\n}\n;\n", "class A {\n  public:\n  int x;\n};\n");
    expectApply("void f()\n{\n   do\n   {\n      x;\n   }\n   while (a);\n}\n",
                "void f()\n{\n   do { x; } while (a);\n}\n");
}

// With `aligner` off the braces stay where they are written, but each "{" and
// "}" still ends its line and statements still get lines of their own.
TEST_F(ApplyTest, AlignerOff) {
    Settings.aligner = false;
    expectApply("void f() {\n   if (a) {\n      x();\n   }\n}\n", "void f() {\n   if (a) { x(); }\n}\n");
    expectApply("void f() {\n   x;\n   y;\n}\n", "void f() {\n   x; y; }\n");
    expectBalanced("void f() {\n   if (a) { x(); } y; }\nvoid g() {\n   z; }\n", 2);
}

// One line that cuts a "}" after a statement used to read the "}" twice and
// pop the function body: the rest of the file lost its structure.
TEST_F(ApplyTest, ClosingBraceAfterAStatementPopsOnce) {
    for (bool align : {true, false}) {
        for (bool braces : {true, false}) {
            Settings.aligner = align;
            Settings.accolades = braces;
            expectBalanced("void f()\n{\n   if (a) { x(); }\n   y();\n}\nvoid g()\n{\n}\n", 2);
            expectBalanced("void f()\n{\n   x(); }\nvoid g()\n{\n   if (a) { if (b) { c(); } }\n}\n", 2);
            expectBalanced("void f() { if (a) { x(); } else { y(); } z(); }\nvoid g() { }\n", 2);
        }
    }
}

TEST_F(ApplyTest, InsertedBracesClose) {
    Settings.accolades = true;
    // An unbraced statement inside an unbraced statement before a written "}".
    expectApply(
        "void f()\n{\n   for (;;)\n   {\n      if (a)\n      {\n         return;\n      }\n   }\n}\n"
        "void g()\n{\n}\n",
        "void f()\n{\n   for (;;) if (a) return;\n}\nvoid g()\n{\n}\n");
    expectBalanced("void f()\n{\n   for (;;) if (a) return;\n}\nvoid g()\n{\n}\n", 2);
    // The next statement closes them after the if: no else can follow it any more.
    expectApply(
        "void f()\n{\n   while (a)\n   {\n      if (b)\n      {\n         x;\n      }\n   }\n   y;\n}\n",
        "void f()\n{\n   while (a) if (b) x;\n   y;\n}\n");
    // An else binds to the nearest if.
    expectApply(
        "void f()\n{\n   if (a)\n   {\n      if (b)\n      {\n         x;\n      }\n      else\n      {\n"
        "         y;\n      }\n   }\n}\n",
        "void f()\n{\n   if (a) if (b) x; else y;\n}\n");
    expectApply(
        "void f()\n{\n   if (a)\n   {\n      x;\n   }\n   else if (b)\n   {\n      y;\n   }\n   else\n   {\n"
        "      z;\n   }\n}\n",
        "void f()\n{\n   if (a) x; else if (b) y; else z;\n}\n");
    // A do keeps its while inside the braces inserted around it.
    expectApply(
        "void f()\n{\n   if (a)\n   {\n      do\n      {\n         x;\n      }\n      while (b);\n   }\n}\n",
        "void f()\n{\n   if (a) do x; while (b);\n}\n");
    // A braced loop as the statement of an if, then the else of that if.
    expectApply(
        "void f()\n{\n   if (a)\n   {\n      for (;;)\n      {\n         x;\n      }\n   }\n   else\n   {\n"
        "      y;\n   }\n}\n",
        "void f()\n{\n   if (a) for (;;) { x; } else y;\n}\n");
    // The token after the written "}" acts once: "(" does not stay open.
    expectApply(
        "void f()\n{\n   if (a)\n   {\n      while (b)\n      {\n         x;\n      }\n   }\n   (void)y;\n}\n",
        "void f()\n{\n   if (a) while (b) { x; }\n   (void)y;\n}\n");
    expectBalanced("void f()\n{\n   if (a) while (b) { x; } (void)y; { z; }\n}\n", 1);
}

// Braces of an initialiser, a compound literal or a call argument belong to
// the statement: they neither end it nor close the braces inserted around it.
TEST_F(ApplyTest, BracesInsideAStatement) {
    Settings.accolades = true;
    expectApply(
        "void f()\n{\n   if (a)\n   {\n      x();\n   }\n   else\n   {\n      condmovestack(L,{},{});\n   }\n}\n",
        "void f()\n{\n   if (a) x(); else condmovestack(L,{},{});\n}\n");
    expectBalanced("void f()\n{\n   if (a) return (struct s){ .a = {1}, .b = 2 };\n   g();\n}\n", 1);
    expectBalanced("void f()\n{\n   if (a) x = (struct s){ .a = {1}, .b = 2 };\n   else g();\n}\n", 1);
    // The braces of a macro loop are its statement: the loop ends with them.
    expectApply(
        "void f()\n{\n   for (;;)\n   {\n      each(e)\n      {\n         g(e);\n      }\n   }\n   h();\n}\n",
        "void f()\n{\n   for (;;) each(e) { g(e); }\n   h();\n}\n");
    // Two written "}" in a row inside an inserted brace: each closes its own.
    expectApply(
        "void f()\n{\n   for (;;)\n   {\n      each(e)\n      {\n         if (a)\n         {\n            g(e);\n"
        "         }\n      }\n   }\n   h();\n}\n",
        "void f()\n{\n   for (;;) each(e) { if (a) { g(e); } }\n   h();\n}\n");
    const Applied r = Apply("void f()\n{\n   if (a) return (struct s){ .a = {1}, .b = 2 };\n}\n");
    EXPECT_NE(std::string::npos, r.text.find("         , .b = 2\n      }\n      ;\n   }\n}\n")) << r.text;
    expectBalanced("class A\n{\n   void f()\n   {\n      if (a) x = new int[] {1, 2};\n      else y();\n   }\n}\n",
                   0, "A.java");
}

TEST_F(ApplyTest, CommentBlocksMoveAsAWhole) {
    expectApply("void f()\n{\n   /* one\n    *   two\n      three */\n   x;\n}\n",
                "void f()\n{\n         /* one\n          *   two\n            three */\n   x;\n}\n");
    // A "/*" inside the comment does not end the shift.
    expectApply("void f()\n{\n   /* one /*\n    * two\n    */\n}\n", "void f()\n{\n/* one /*\n * two\n */\n}\n");
    // A comment that cannot move left of column 1 keeps its layout.
    expectApply("}\n/*\n * a\n */\n", "}\n/*\n * a\n */\n");
    // A comment that starts after code on its line does not move its other lines.
    expectApply("void f()\n{\n   x; /* a\n      b */\n}\n", "void f()\n{\n x; /* a\n      b */\n}\n");
    expectApply("void f()\n{\n   // a\n   x;\n}\n", "void f()\n{\n// a\n        x;\n}\n");
}

TEST_F(ApplyTest, PreprocessorAndAssemblerLinesKeepTheirIndentation) {
    expectApply("void f()\n{\n  #  define X 1 \\\n      + 2\n   x;\n#endif\n}\n",
                "void f()\n{\n  #  define X 1 \\\n      + 2\n  x;\n#endif\n}\n");
    const std::string s = "  mov r0, r1 ; x; y;\n\tadd r0, #1\nlabel: { b }\n";
    const Applied r = Apply(s, "boot.s");
    EXPECT_EQ("  mov r0, r1 ; x; y;\n add r0, #1\nlabel:\n{\nb\n}\n", r.text);
}

// An asm statement with its code in parentheses ends at its ";" like any
// other; an asm block keeps the indentation of its lines, whose ";" starts a
// comment.
TEST_F(ApplyTest, Asm) {
    Settings.accolades = true;
    expectApply(
        "void f()\n{\n   if (a)\n   {\n      do\n      {\n         asm volatile(\"brk;\");\n      }\n"
        "      while (1);\n   }\n   x;\n}\n",
        "void f()\n{\n   if (a) do { asm volatile(\"brk;\"); } while (1);\n   x;\n}\n");
    expectApply("void f()\n{\n   asm\n{\n  mov ax, 1 ; x; y;\n     nop\n   }\n   x;\n}\n",
                "void f()\n{\n   asm {\n  mov ax, 1 ; x; y;\n     nop\n   }\n   x;\n}\n");
}

// The lines of a Java text block are the data of one string: kept as written.
TEST_F(ApplyTest, RawStringsAreKeptAsWritten) {
    Settings.accolades = true;
    expectApply("void f()\n{\n   g(R\"(b\" })\");\n   s = u8R\"xy(a\n\t} {\n  )\" )xy\";\n   if (a)\n   {\n      h();\n"
                "   }\n}\n",
                "void f() {\ng(R\"(b\" })\");\n s = u8R\"xy(a\n\t} {\n  )\" )xy\";\nif (a) h();\n}\n",
                "t.cpp");
}

TEST_F(ApplyTest, JavaTextBlock) {
    const std::string block = "      return \"\"\"\n  Usage:\tx; y; {\n\n    a \\\"\"\" b\n  \"\"\".trim(); }\n";
    expectApply("class A\n{\n   String f()\n   {\n" + block.substr(0, block.size() - 3) + "\n   }\n}\n",
                "class A {\n String f() {\n\treturn \"\"\"\n  Usage:\tx; y; {\n\n    a \\\"\"\" b\n  \"\"\".trim(); }\n}\n",
                "A.java");
}

TEST_F(ApplyTest, ContinuationLines) {
    expectApply("void f()\n{\n   x = a +\n      b;\n   g(a,\n      b);\n}\n",
                "void f()\n{\n   x = a +\n   b;\n   g(a,\nb);\n}\n");
    // A line that starts with "{" is no continuation.
    expectApply("int a[] =\n{\n   1\n}\n;\n", "int a[] =\n    {\n 1\n}\n;\n");
}

TEST_F(ApplyTest, LongLinesAreCutBeforeTheFirstWordPastTheLimit) {
    Settings.caracteres = 20;
    expectApply("void f()\n{\n   x = alpha + beta +\n      gamma;\n}\n", "void f()\n{\n   x = alpha + beta + gamma;\n}\n");
    expectApply("void f()\n{\n   x = alphabet +\n      betamax +\n      gammaray +\n      delta;\n}\n",
                "void f()\n{\n   x = alphabet + betamax + gammaray + delta;\n}\n");
    // A string that runs on over several lines is not measured, nor cut.
    const std::string runsOn = "void f()\n{\n   s = \"a\\\nbcdefghijklmnopqrstuvwxyz\\\n    c\";\n}\n";
    expectApply(runsOn, runsOn);
    Settings.checkMode = true;
    Settings.Indenter = false;
    Apply(runsOn);
    EXPECT_TRUE(reports.empty()) << reports[0];
    Settings.checkMode = false;
    Settings.Indenter = true;
    // The tail of a number stays with it.
    expectApply("void f()\n{\n   x = 123456789012.f;\n   y = a.\n      bcdefghijklm;\n}\n",
                "void f()\n{\n   x = 123456789012.f;\n   y = a.bcdefghijklm;\n}\n");
    // A first token that alone passes the limit stays, and is still reported by Check.
    Settings.checkMode = true;
    expectApply("void f()\n{\n   a_very_long_identifier_indeed;\n}\n",
                "void f()\n{\n   a_very_long_identifier_indeed;\n}\n");
    // Numbered in the rewritten file: after the cuts of line 3 it is line 6.
    reports.clear();
    Apply("void f()\n{\n   a; b; c;\n   a_very_long_identifier_indeed;\n}\n");
    EXPECT_EQ((std::vector<std::string>{"0006:line length>20"}), reports);
}

// Apply repairs in place of reports; what cannot be repaired is reported.
// A cut never leaves a backslash at the end of a line: the compiler would join
// the next line to it (found by the fuzz target, in an assembler file).
TEST_F(ApplyTest, NoCutAfterABackslash) {
    expectApply("\\\\{\n", "\\\\{\n", "f.s");
    expectApply("\\\\{\n", "\\\\{\n");
    Settings.caracteres = 10;
    expectApply("x\\\\ long_word;\n", "x\\\\ long_word;\n");
    // A carriage return between them is no line end to the reader, but would be one in the file.
    EXPECT_EQ("x\\\r long_word;\n", Apply("x\\\r long_word;\n").text);
}

TEST_F(ApplyTest, RepairsReplaceReports) {
    Settings.checkMode = true;
    Settings.noInterrog = true;
    Apply("void f() {\n   x; y; if (a) { b = c ? d : e; }\n}\n");
    EXPECT_EQ((std::vector<std::string>{"0007:instruction ? :"}), reports);
}

TEST_F(ApplyTest, Tabs) {
    expectApply("void f()\n{\n   x = 1; /* a b */\n   s = \"a\tb\";\n   c = '\t';\n}\n",
                "void f()\n{\n\tx = 1;\t/* a\tb */\n\ts = \"a\tb\";\n\tc = '\t';\n}\n");
    // A literal that runs on through a backslash keeps its tabs, on a directive too.
    expectApply("#define A \"a\\\n\tb\" \\\n \"c\"\nvoid f()\n{\n   s = \"a\\\n\tb\";\n}\n",
                "#define A \"a\\\n\tb\" \\\n\t\"c\"\nvoid f()\n{\n\ts = \"a\\\n\tb\";\n}\n");
    // Long stretches between the bytes that matter.
    expectApply("void f()\n{\n   long_name_number_one = other_long_name_two; // c d\n"
                "   q = \"0123456789abcdefghij\tk\"; /* 0123456789abcdefghij 0123456789abcdefghij */\n}\n",
                "void f()\n{\n\tlong_name_number_one = other_long_name_two;\t// c\td\n"
                "\tq = \"0123456789abcdefghij\tk\"; /* 0123456789abcdefghij\t0123456789abcdefghij */\n}\n");
    // A tab changes the line even when nothing else does.
    EXPECT_TRUE(Apply("int\tx;\n").modified);
    EXPECT_EQ("int x;\n", Apply("int\tx;\n").text);
}

TEST_F(ApplyTest, LineEnds) {
    const std::string src = "void f()\r\n{\r\nif (a) x; y;\r\n}";
    EXPECT_EQ("void f()\n{\n   if (a) x;\n   y;\n}\n", Apply(src).text);
    Settings.rtlf = true;
    EXPECT_EQ("void f()\r\n{\r\n   if (a) x;\r\n   y;\r\n}\r\n", Apply(src).text);
    EXPECT_EQ("void f()\r\n{\r\n   if (a) x;\r\n   y;\r\n}\r\n",
              Apply("void f()\n{\nif (a) x; y;\n}\n").text);
}

TEST_F(ApplyTest, IndentationOfAnyDepth) {
    Settings.imbrications = 1000;
    const int depth = 90;
    const Applied r = Apply("void f()\n" + Repeat("{\n", depth) + "x;\n" + Repeat("}\n", depth));
    const std::string deepest = std::string(3 * depth, ' ') + "x;\n";
    EXPECT_NE(std::string::npos, r.text.find("\n" + deepest)) << r.text.substr(0, 200);
    EXPECT_EQ(0, r.blockTop);
    Settings.lnIndentation = 1000;
    const Applied wide = Apply("void f()\n{\n{\nx;\n}\n}\n");
    EXPECT_NE(std::string::npos, wide.text.find("\n" + std::string(2000, ' ') + "x;\n"));
}

// A long line cut into many pieces costs the length of the pieces: each cut
// moves only the piece it emits.
TEST_F(ApplyTest, MegabyteLineOfStatements) {
    const auto start = std::chrono::steady_clock::now();
    Settings.caracteres = 1 << 30;
    const int n = 1 << 19;
    const Applied r = Apply("void f()\n{\n" + Repeat("a;", n) + "\n}\n");
    EXPECT_EQ("void f()\n{\n" + Repeat("   a;\n", n) + "}\n", r.text);
    Settings.accolades = true;
    const Applied braced = Apply("void f()\n{\n" + Repeat("if(a)b;", n / 4) + "\n}\n");
    EXPECT_EQ("void f()\n{\n" + Repeat("   if(a)\n   {\n      b;\n   }\n", n / 4) + "}\n", braced.text);
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(10));
}

TEST_F(ApplyTest, ThroughThePipeline) {
    vantor::test::TempDir dir;
    RecordingSink sink;
    ConsoleAttach(&console, &sink);
    const std::string changed = dir / "a.c";
    const std::string same = dir / "b.c";
    vantor::test::WriteFile(changed, "void f()\n{\nx;\n}\n");
    vantor::test::WriteFile(same, "void f()\n{\n   x;\n}\n");
    ProcessFile(changed, "", nullptr);
    ProcessFile(same, "", nullptr);
    ConsoleDetach(&console);
    EXPECT_EQ("void f()\n{\n   x;\n}\n", vantor::test::ReadFile(changed));
    EXPECT_EQ("void f()\n{\nx;\n}\n", vantor::test::ReadFile(changed + ".bak"));
    EXPECT_FALSE(vantor::test::FileExists(same + ".bak"));
}

}  // namespace
