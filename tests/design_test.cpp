// Pseudo-code pages and cross-reference pages of a Design run.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "config/batch.h"
#include "config/settings.h"
#include "console/recording_sink.h"
#include "design/designrun.h"
#include "design/emitline.h"
#include "design/stringmatrix.h"
#include "engine/lineengine.h"
#include "support/test_support.h"

using namespace vantor;
using vantor::test::FileExists;
using vantor::test::ReadFile;
using vantor::test::TempDir;
using vantor::test::WriteFile;
using Page = std::vector<std::string>;

namespace {

// The paragraphs the engine leaves in `outputLines` for `source`, each
// without its "<P>", "</P>\r\n" frame (checked separately).
Page Render(const std::string& source, const char* file = "t.c") {
    ctxFichier ctx;
    ctx.SetFile(file);
    size_t from = 0;
    while (from < source.size()) {
        size_t nl = source.find('\n', from);
        size_t end = nl == std::string::npos ? source.size() : nl + 1;
        ctx.line = source.substr(from, end - from);
        ProcessLine(ctx, nullptr);
        ++ctx.lineNumber;
        ++ctx.outputLineNumber;
        from = end;
    }
    Page page;
    for (const std::string& l : ctx.outputLines) {
        const bool framed = l.size() >= 9 && l.compare(0, 3, "<P>") == 0 &&
                            l.compare(l.size() - 6, 6, "</P>\r\n") == 0;
        EXPECT_TRUE(framed) << l;
        page.push_back(framed ? l.substr(3, l.size() - 9) : l);
    }
    return page;
}

void expectPage(const std::string& source, const Page& expected, const char* file = "t.c") {
    EXPECT_EQ(Render(source, file), expected) << "source:\n" << source;
}

// Rendering and line choice alone: designMode without the reformatter, so
// the lines keep the layout they are given.
class DesignPage : public ::testing::Test {
protected:
    void SetUp() override {
        ResetSettings();
        Settings.designMode = true;
        Settings.Indenter = Settings.aligner = Settings.accolades = Settings.monoInstruction = false;
        Settings.checkMode = Settings.couverture = Settings.dictionaryMode = Settings.replaceMode = false;
    }
    void TearDown() override {
        ResetSettings();
        Settings.designMode = false;
    }
};

}  // namespace

TEST_F(DesignPage, StructureStaysPlainStatementsGo) {
    expectPage("void f(void)\n{\n   g(x);\n   x = 1;\n}\n", {"void&nbsp;f(void)", "<B>begin</B>", "<B>end</B>"});
    // File level: the "=" becomes words between the blanks that stood around it, the ";" goes.
    expectPage("int count = 5;\n", {"int&nbsp;count&nbsp;&nbsp;is&nbsp;set&nbsp;to&nbsp;&nbsp;5"});
    expectPage("void f(int a)\n{\n   if (a < 3) {\n      g();\n   }\n}\n",
               {"void&nbsp;f(int&nbsp;a)", "<B>begin</B>",
                "&nbsp;&nbsp;&nbsp;<B>if</B>&nbsp;(a&nbsp;&lt;&nbsp;3)&nbsp;<B>begin</B>", "&nbsp;&nbsp;&nbsp;<B>end</B>",
                "<B>end</B>"});
    // Declarations before the first executable statement of a body stay; loops, exits and labels stay.
    expectPage("int f(int n)\n{\n   int i;\n   n++;\n   int j;\n   while (n)\n      return n;\n"
               "   switch (n)\n   {\n   case 1:\n      n--;\n      break;\n   default:\n      n = 0;\n   }\n}\n",
               {"int&nbsp;f(int&nbsp;n)", "<B>begin</B>", "&nbsp;&nbsp;&nbsp;int&nbsp;i",
                "&nbsp;&nbsp;&nbsp;<B>while</B>&nbsp;(n)", "&nbsp;&nbsp;&nbsp;&nbsp;&nbsp;&nbsp;<B>return</B>&nbsp;n",
                "&nbsp;&nbsp;&nbsp;<B>switch</B>&nbsp;(n)", "&nbsp;&nbsp;&nbsp;<B>begin</B>",
                "&nbsp;&nbsp;&nbsp;<B>case</B>&nbsp;1:", "&nbsp;&nbsp;&nbsp;&nbsp;&nbsp;&nbsp;<B>break</B>",
                "&nbsp;&nbsp;&nbsp;<B>default</B>:", "&nbsp;&nbsp;&nbsp;<B>end</B>", "<B>end</B>"});
}

TEST_F(DesignPage, TokenRenderings) {
    expectPage("a <<= b << c <= d < e > f == g;\n",
               {"a&nbsp;&lt;&lt;=&nbsp;b&nbsp;&lt;&lt;&nbsp;c&nbsp;&lt;=&nbsp;d&nbsp;&lt;&nbsp;e&nbsp;>&nbsp;f&nbsp;==&nbsp;g"});
    // "&" and "|" are single tokens: no AND / OR words; nothing else is escaped.
    expectPage("x = a && b || c & d;\n", {"x&nbsp;&nbsp;is&nbsp;set&nbsp;to&nbsp;&nbsp;a&nbsp;&&&nbsp;b&nbsp;||&nbsp;c&nbsp;&&nbsp;d"});
    // Any code token equal to a statement keyword is bold, also outside a body;
    // a capitalised keyword and keywords in comments and strings are words.
    expectPage("return; If; \"if\"; // if < else\n",
               {"<B>return</B>&nbsp;If&nbsp;\"if\"&nbsp;", "&nbsp;if&nbsp;&lt;&nbsp;else"});
    expectPage("/* a { b } c = d; */\n", {"&nbsp;a&nbsp;{&nbsp;b&nbsp;}&nbsp;c&nbsp;=&nbsp;d;&nbsp;"});
    expectPage("#include <stdio.h>\n#include \"list.h\"\n#define N 10 /* n < 10 */\n#define M { 1 }\n",
               {"<B>USE</B>&nbsp;&lt;stdio.h>", "<B>USE</B>&nbsp;\"list.h\"",
                // A comment on a directive line is not cut off.
                "define&nbsp;constant&nbsp;N&nbsp;10&nbsp;&nbsp;n&nbsp;&lt;&nbsp;10&nbsp;",
                "define&nbsp;constant&nbsp;M&nbsp;{&nbsp;1&nbsp;}"});
}

TEST_F(DesignPage, PreprocessorLinesOtherThanIncludeAndDefineGo) {
    expectPage("#ifdef X\n#include <a.h>\n#else\n#define N 1\n#endif\n#pragma once\nint a;\n",
               {"<B>USE</B>&nbsp;&lt;a.h>", "define&nbsp;constant&nbsp;N&nbsp;1", "int&nbsp;a"});
}

TEST_F(DesignPage, CommentsStartTheirOwnLineDashCommentsGo) {
    expectPage("int a; // the count\n", {"int&nbsp;a&nbsp;", "&nbsp;the&nbsp;count"});
    expectPage("//- private\n// public\n/*- hidden\n   too */\nint b; //- also hidden\n",
               {"&nbsp;public", "int&nbsp;b&nbsp;"});
    // Before a comment that starts its line the cut only drops the blanks, once.
    expectPage("   // indented\n", {"&nbsp;indented"});
    // Inside a body a comment keeps the line, a comment after a statement keeps only itself.
    expectPage("void f(void)\n{\n   g(); /* set */\n}\n",
               {"void&nbsp;f(void)", "<B>begin</B>", "&nbsp;set&nbsp;", "<B>end</B>"});
}

namespace {

// The page as a Design run makes it: the reformatter cuts and indents first.
class DesignRewrittenPage : public DesignPage {
protected:
    void SetUp() override {
        DesignPage::SetUp();
        Settings.Indenter = Settings.aligner = Settings.accolades = Settings.monoInstruction = true;
    }
};

const char* const kSwitchHead = "int f(int n)\n{\n   switch (n)\n   {\n";
const Page kSwitchPage = {"int&nbsp;f(int&nbsp;n)", "<B>begin</B>", "&nbsp;&nbsp;&nbsp;<B>switch</B>&nbsp;(n)",
                          "&nbsp;&nbsp;&nbsp;<B>begin</B>"};

Page Then(Page page, const Page& more) {
    page.insert(page.end(), more.begin(), more.end());
    return page;
}

}  // namespace

TEST_F(DesignRewrittenPage, CaseLabelsStay) {
    const std::string label = "&nbsp;&nbsp;&nbsp;&nbsp;&nbsp;&nbsp;<B>case</B>&nbsp;1:";
    // (Design keeps the blank before a cut: the page shows the line as written.)
    const std::string in = "&nbsp;&nbsp;&nbsp;&nbsp;&nbsp;&nbsp;&nbsp;&nbsp;&nbsp;";
    const Page tail = {"&nbsp;&nbsp;&nbsp;<B>end</B>", "<B>end</B>"};
    // The brace cut off the label line leaves the label on the page.
    expectPage(std::string(kSwitchHead) + "   case 1: {\n      n++;\n      g(n);\n   }\n   break;\n   }\n}\n",
               Then(kSwitchPage, Then({label + "&nbsp;", "&nbsp;&nbsp;&nbsp;&nbsp;&nbsp;&nbsp;<B>begin</B>",
                                       "&nbsp;&nbsp;&nbsp;&nbsp;&nbsp;&nbsp;<B>end</B>", in + "<B>break</B>"},
                                      tail)));
    // A return whose value holds a "?:" stays whole.
    expectPage(std::string(kSwitchHead) + "   case 1:\n      return n ? -EIO : 0;\n   }\n}\n",
               Then(kSwitchPage, Then({label, in + "<B>return</B>&nbsp;n&nbsp;?&nbsp;-EIO&nbsp;:&nbsp;0"}, tail)));
}

TEST_F(DesignRewrittenPage, BlockCommentAfterACutStandsAtItsBlock) {
    expectPage("void f(void)\n{\n   // note\n   //- secret\n   /* block\n      more */\n   g();\n}\n",
               {"void&nbsp;f(void)", "<B>begin</B>", "&nbsp;&nbsp;&nbsp;&nbsp;note",
                "&nbsp;&nbsp;&nbsp;&nbsp;block", "&nbsp;&nbsp;&nbsp;&nbsp;&nbsp;&nbsp;more&nbsp;", "<B>end</B>"});
}

TEST_F(DesignPage, AssemblerShowsItsComments) {
    expectPage("start: mov r1, r2 ; copy\n# note\n", {"&nbsp;copy", "&nbsp;note"}, "boot.s");
}

TEST_F(DesignPage, VersionHeading) {
    const std::string log =
        "/*\n * $Log:   X:/arc/stack.h-arc  $\n *\n *    Rev 1.4   12 Mar 1999 10:00:00   jd\n"
        " * first release\n *\n *    Rev 1.3   1 Mar 1999\n */\nint x;\n";
    expectPage(log, {"", "<B><U>Header&nbsp;X:/arc/stack.h&nbsp;Version&nbsp;1.4</U></B>", "&nbsp;", "int&nbsp;x"},
               "stack.h");
    expectPage(log, {"", "<B><U>Body&nbsp;X:/arc/stack.h&nbsp;Version&nbsp;1.4</U></B>", "&nbsp;", "int&nbsp;x"},
               "stack.c");
    // No revision: neither heading nor log lines.
    expectPage("/*\n * $Log:   X:/arc/a.c-arc  $\n * no revision here\n */\nint x;\n",
               {"", "&nbsp;", "int&nbsp;x"});
}

TEST_F(DesignPage, OtherCommandsGetUniformLineEnds) {
    Settings.designMode = false;
    auto emit = [](const std::string& text) {
        ctxFichier ctx;
        EmitLine(ctx, text);
        return ctx.outputLines.at(0);
    };
    Settings.rtlf = false;
    EXPECT_EQ("a;\n", emit("a;\r\n"));
    EXPECT_EQ("a;\n", emit("a;"));
    Settings.rtlf = true;
    EXPECT_EQ("a;\r\n", emit("a;\n"));
    // Replace changes names only: the line end stays, a missing one too.
    Settings.dictionaryMode = Settings.replaceMode = true;
    EXPECT_EQ("a;\n", emit("a;\n"));
    EXPECT_EQ("a;", emit("a;"));
    // Search writes nothing and keeps no line.
    Settings.replaceMode = false;
    ctxFichier search;
    EmitLine(search, "a;\n");
    EXPECT_TRUE(search.outputLines.empty());
    Settings.dictionaryMode = false;
}

namespace {

// A whole Design run, as the command runs it, over a tree.
class DesignRun : public ::testing::Test {
protected:
    void SetUp() override {
        ResetSettings();
        French = false;
        Settings.SousRepertoire = true;
        Settings.checkMode = Settings.dictionaryMode = Settings.replaceMode = Settings.couverture = false;
        Settings.designMode = Settings.Indenter = true;
        Settings.aligner = Settings.accolades = Settings.monoInstruction = true;
        ConsoleAttach(&console, &sink);
    }
    void TearDown() override {
        ConsoleDetach(&console);
        ResetSettings();
        Settings.designMode = Settings.Indenter = false;
        French = true;
    }
    void Run() {
        ASSERT_TRUE(BeginDesignRun(out));
        RunBatch(dir / "src", out, nullptr);
        EXPECT_TRUE(EndDesignRun(out));
    }

    TempDir dir;
    std::string out = dir / "out/design";
    RecordingSink sink;
};

}  // namespace

TEST_F(DesignRun, CrossReferencePages) {
    WriteFile(dir / "src/a/util.c", "#include \"first.h\"\n#include <Shared.h>\n");
    WriteFile(dir / "src/b/Util.c", "#include \"second.h\"\n#include \"shared.h\"\n");
    WriteFile(dir / "src/main.c",
              "#include \"list.h\"\n#include \"list.h\"\n"
              "void f(void)\n{\n   Run();\n}\n"
              "void f(void)\n{\n   run();\n   stop();\n   stop();\n}\n"
              "int g(void)\n{\n   return 0;\n}\n");
    WriteFile(dir / "src/Util.h", "");
    Run();
    // a/util.c is walked before b/Util.c: one row, spelled as first added,
    // holding the uses of the second file; the reverse index keeps both.
    EXPECT_EQ(ReadFile(out + "/dependency.html"),
              "<p><b><U>Table use:</U></b>\n"
              "<p><b>main.c</b>:&nbsp;list&nbsp;<p></p></p>\n"
              "<p><b>util.c</b>:&nbsp;second&nbsp;shared&nbsp;<p></p></p>\n"
              "<p><b>Util.h</b>:&nbsp;<p></p></p>\n"
              "<b><U>Table is used by</U></b>\n"
              "<p><b>first</b>:&nbsp;util.c&nbsp;</p>\n"
              "<p><b>list</b>:&nbsp;main.c&nbsp;</p>\n"
              "<p><b>second</b>:&nbsp;util.c&nbsp;</p>\n"
              "<p><b>Shared</b>:&nbsp;util.c&nbsp;</p>\n");
    EXPECT_EQ(ReadFile(out + "/calling.html"),
              "<p><b><U>Table use:</U></b>\n"
              "<p><b>f</b>:&nbsp;run&nbsp;stop&nbsp;<p></p></p>\n"
              "<p><b>g</b>:&nbsp;<p></p></p>\n"
              "<b><U>Table is used by</U></b>\n"
              "<p><b>Run</b>:&nbsp;f&nbsp;</p>\n"
              "<p><b>stop</b>:&nbsp;f&nbsp;</p>\n");
    EXPECT_EQ(nullptr, Settings.dependencyMatrix);
    EXPECT_EQ(nullptr, Settings.callingMatrix);
    EXPECT_EQ(nullptr, Settings.designListFile);
    EXPECT_FALSE(Settings.designMode);  // a following Check makes no pseudo-code
}

TEST_F(DesignRun, EveryPageIsMadeOfParagraphsOnly) {
    // Line 1 changes nothing and line 2 would be the first change: no source
    // line may stand raw at the top of the page.
    WriteFile(dir / "src/a.c", "#if X\nint a;\n#endif\n");
    WriteFile(dir / "src/plain.c", "x\n");
    WriteFile(dir / "src/empty.c", "");
    WriteFile(dir / "src/sub/b.h", "int f(int n)\n{\n   if (n < 0)\n   {\n      return 0;\n   }\n   return n;\n}\n");
    Run();
    EXPECT_EQ("<P>int&nbsp;a</P>\r\n", ReadFile(out + "/a.c.html"));
    EXPECT_EQ("<P>x</P>\r\n", ReadFile(out + "/plain.c.html"));
    EXPECT_TRUE(FileExists(out + "/empty.c.html"));
    EXPECT_EQ("", ReadFile(out + "/empty.c.html"));
    EXPECT_EQ("<P>int&nbsp;f(int&nbsp;n)</P>\r\n<P><B>begin</B></P>\r\n"
              "<P>&nbsp;&nbsp;&nbsp;<B>if</B>&nbsp;(n&nbsp;&lt;&nbsp;0)</P>\r\n"
              "<P>&nbsp;&nbsp;&nbsp;<B>begin</B></P>\r\n"
              "<P>&nbsp;&nbsp;&nbsp;&nbsp;&nbsp;&nbsp;<B>return</B>&nbsp;0</P>\r\n"
              "<P>&nbsp;&nbsp;&nbsp;<B>end</B></P>\r\n"
              "<P>&nbsp;&nbsp;&nbsp;<B>return</B>&nbsp;n</P>\r\n<P><B>end</B></P>\r\n",
              ReadFile(out + "/sub/b.h.html"));
    const std::string o = out;
    auto entry = [&](const std::string& page) {
        std::string e;
        for (char c : o + "/" + page) e += c == '/' ? std::string("\\\\") : std::string(1, c);
        size_t last = e.rfind("\\\\");
        return e.replace(last, 2, "\\") + "\r\n";
    };
    EXPECT_EQ(entry("a.c.html") + entry("empty.c.html") + entry("plain.c.html") + entry("sub/b.h.html"),
              ReadFile(out + "/liste.txt"));
}

TEST_F(DesignRun, UnwritableFolderIsReportedInRed) {
    WriteFile(dir / "blocker", "a file where the folder should be");
    out = dir / "blocker/design";
    EXPECT_FALSE(BeginDesignRun(out));
    EXPECT_NE(nullptr, Settings.dependencyMatrix);  // the run goes on, pages are still tried
    EXPECT_FALSE(EndDesignRun(out));
    std::string red;
    for (const RecordedPiece& p : sink.pieces)
        if (p.colour == kColorRed) red += p.text;
    EXPECT_EQ("unable to write the file " + out + "/liste.txt\n"
              "unable to write the file " + out + "/dependency.html\n"
              "unable to write the file " + out + "/calling.html\n",
              red);
    EXPECT_EQ(nullptr, Settings.dependencyMatrix);
    EXPECT_FALSE(Settings.designMode);
}
