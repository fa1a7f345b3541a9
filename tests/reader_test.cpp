// The token reader: how lines are cut into tokens, and the lexical state it
// carries from line to line (comments, continued strings, line continuation).
#include "engine/reader.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "config/settings.h"
#include "design/stringmatrix.h"
#include "engine/bytescan.h"
#include "engine/ctxfichier.h"
#include "engine/lineengine.h"
#include "platform/text.h"

using namespace vantor;

namespace {

using Tokens = std::vector<std::string>;

// Reads one line to its end as the line engine does: token, then past it.
Tokens ReadAll(ctxFichier& ctx, const std::string& line) {
    ctx.line = line;
    BeginLine(ctx);
    Tokens out;
    for (int guard = 0; guard < 100000; ++guard) {
        ReadToken(ctx);
        if (ctx.token.empty()) break;
        out.push_back(ctx.token.Str());
        ctx.column += static_cast<int32_t>(ctx.token.size());
    }
    return out;
}

void expectTokens(const std::string& line, const Tokens& expected, const char* file = "t.c") {
    ctxFichier ctx;
    ctx.SetFile(file);
    EXPECT_EQ(ReadAll(ctx, line), expected) << "line: " << line;
}

// Several lines through one context: the state runs on from line to line.
void expectLines(const std::vector<std::string>& lines, const std::vector<Tokens>& expected) {
    ctxFichier ctx;
    ctx.SetFile("t.c");
    std::vector<Tokens> got;
    for (const std::string& l : lines) got.push_back(ReadAll(ctx, l));
    EXPECT_EQ(got, expected);
}

class ReaderTest : public ::testing::Test {
protected:
    void SetUp() override { ResetSettings(); }
};

TEST(ByteScan, FirstOfASetWithinTheBound) {
    // Every position in and around the 16-byte blocks, with a matching byte
    // just past the bound that must not count.
    for (size_t n = 0; n <= 40; ++n) {
        for (size_t at = 0; at <= n; ++at) {
            std::string s(n, 'x');
            if (at < n) s[at] = '*';
            s += "/////////////////////";  // readable, but past `n`
            const size_t want = at < n ? at : n;
            EXPECT_EQ(want, (FindAnyOf<'/', '*'>(s.data(), 0, n, s.size()))) << n << " " << at;
            EXPECT_EQ(want, (FindAnyOf<'/', '*'>(s.data(), 0, n, n))) << n << " " << at;
            if (at < n) {
                EXPECT_EQ(n, (FindAnyOf<'/', '*'>(s.data(), at + 1, n, s.size()))) << n << " " << at;
            }
        }
    }
    const std::string t = "a\tb\"c'd\\e";
    EXPECT_EQ(1u, (FindAnyOf<'\t', '"'>(t.data(), 0, t.size(), t.size())));
    EXPECT_EQ(3u, (FindAnyOf<'\t', '"'>(t.data(), 2, t.size(), t.size())));
    EXPECT_EQ(7u, (FindAnyOf<'\\'>(t.data(), 0, t.size(), t.size())));
}

TEST_F(ReaderTest, OperatorsAndPunctuation) {
    expectTokens("a->b<<=c", {"a", "-", ">", "b", "<<=", "c"});
    expectTokens("x>>=1>>2>=3", {"x", ">>=", "1", ">>", "2", ">=", "3"});
    expectTokens("a<b<=c<<d", {"a", "<", "b", "<=", "c", "<<", "d"});
    expectTokens("!= %= *= ++ += -- -= == ^= ~=",
                 {"!=", "%=", "*=", "++", "+=", "--", "-=", "==", "^=", "~="});
    expectTokens("x&&y||z&=w|=v", {"x", "&", "&", "y", "|", "|", "z", "&", "=", "w", "|", "=", "v"});
    expectTokens("a::b", {"a", ":", ":", "b"});
    expectTokens("f(a,b)[0]{;}?:.",
                 {"f", "(", "a", ",", "b", ")", "[", "0", "]", "{", ";", "}", "?", ":", "."});
    expectTokens("x/=2", {"x", "/", "=", "2"});
    expectTokens("+++", {"++", "+"});
}

TEST_F(ReaderTest, WordsAndNumbers) {
    expectTokens("int _x1 = 0x1F;", {"int", "_x1", "=", "0x1F", ";"});
    expectTokens("1.5e3", {"1", ".", "5e3"});
    expectTokens("$x #y a#b", {"$x", "#y", "a", "#b"});
    expectTokens("  \t lead", {"lead"});
    expectTokens("a b\n", {"a", "b"});
    expectTokens("ab", {"ab"});
    expectTokens("   ", {});
    expectTokens("", {});
}

TEST_F(ReaderTest, AccessLabels) {
    expectTokens("public:", {"public:"});
    expectTokens("public :", {"public", ":"});
    expectTokens("private:int protected: x", {"private:", "int", "protected:", "x"});
    expectTokens("publics: Public:", {"publics", ":", "Public", ":"});
}

TEST_F(ReaderTest, Literals) {
    expectTokens("s = \"a b\";", {"s", "=", "\"a b\"", ";"});
    expectTokens("\"a\\\"b\" c", {"\"a\\\"b\"", "c"});
    expectTokens("c = '\\'' ;", {"c", "=", "'\\''", ";"});
    expectTokens("'\"' x", {"'\"'", "x"});
    expectTokens("\"/* not a comment */\" y", {"\"/* not a comment */\"", "y"});
    expectTokens("\"unterminated", {"\"unterminated"});
}

TEST_F(ReaderTest, RawStrings) {
    expectTokens("g(R\"(b\" })\");", {"g", "(", "R\"(b\" })\"", ")", ";"});
    expectTokens("u8R\"x(a)\" )x\" LR\"(/*)\" uR\"()\" UR\"()\" R \"s\"",
                 {"u8R\"x(a)\" )x\"", "LR\"(/*)\"", "uR\"()\"", "UR\"()\"", "R", "\"s\""});
    // A delimiter of more than 16 bytes opens no raw string.
    expectTokens("R\"abcdefghijklmnopq(x)abcdefghijklmnopq\"",
                 {"R", "\"abcdefghijklmnopq(x)abcdefghijklmnopq\""});
    // Over lines: nothing in it is code, a comment mark included.
    expectLines({"s = R\"d(a {\n", "  /* } \"\n", ")d\"; t;\n"},
                {{"s", "=", "R\"d(a {\n"}, {"  /* } \"\n"}, {")d\"", ";", "t", ";"}});
}

TEST_F(ReaderTest, BackslashTokens) {
    expectTokens("a \\x b", {"a", "\\x", "b"});
    expectTokens("#define X \\\n", {"#define", "X", "\\"});
}

TEST_F(ReaderTest, LineEndsAndOddBytes) {
    expectTokens("a;\r\n", {"a", ";"});
    expectTokens("a\rb", {"a", "b"});
    expectTokens(std::string("a\0b", 3), {"a", std::string(1, '\0'), "b"});
    // Bytes above 127 are no letters, whatever the locale.
    expectTokens("caf\xC3\xA9 x", {"caf", "\xC3", "\xA9", "x"});
    expectTokens("\xFF\xFE", {"\xFF", "\xFE"});
}

TEST_F(ReaderTest, Comments) {
    expectLines({"a /* b\n", "c */ d\n"}, {{"a", "/*", "b"}, {"c", "*/", "d"}});
    expectLines({"// x \"y\n", "z\n"}, {{"//", "x", "\"", "y"}, {"z"}});
    expectLines({"/* 'q' */ 'r'\n"}, {{"/*", "'", "q", "'", "*/", "'r'"}});
}

TEST_F(ReaderTest, CommentStates) {
    ctxFichier ctx;
    ReadAll(ctx, "/* a // b\n");
    EXPECT_TRUE(ctx.inBlockComment);
    EXPECT_FALSE(ctx.inLineComment);
    ReadAll(ctx, "*/ x\n");
    EXPECT_FALSE(ctx.inBlockComment);

    ReadAll(ctx, "// a /* b\n");
    EXPECT_TRUE(ctx.inLineComment);
    EXPECT_FALSE(ctx.inBlockComment);
    ReadAll(ctx, "y\n");
    EXPECT_FALSE(ctx.inLineComment);

    ReadAll(ctx, "/*- private\n");
    EXPECT_TRUE(ctx.dashComment);
    ReadAll(ctx, "*/ //x\n");
    EXPECT_FALSE(ctx.dashComment);
}

TEST_F(ReaderTest, StringContinuedByBackslash) {
    // The tail is read from column 1 without skipping its blanks.
    expectLines({"s = \"abc\\\n", "  def\" ;\n"}, {{"s", "=", "\"abc\\"}, {"  def\"", ";"}});
    expectLines({"s = \"abc\\\r\n", "  def\" ;\r\n"}, {{"s", "=", "\"abc\\"}, {"  def\"", ";"}});
    expectLines({"s = \"abc\\", "  def\" ;"}, {{"s", "=", "\"abc\\"}, {"  def\"", ";"}});
    expectLines({"\"a\\\n", "b\\\n", "c\" x\n"}, {{"\"a\\"}, {"b\\"}, {"c\"", "x"}});
    // Inside a literal a line that starts with a letter is not read as a word.
    expectLines({"s = \"a\\\n", "bc d\";\n"}, {{"s", "=", "\"a\\"}, {"bc d\"", ";"}});
    expectLines({"t = \"\"\"\n", "word  two\n", "end\"\"\" x\n"},
                {{"t", "=", "\"\"\"\n"}, {"word  two\n"}, {"end\"\"\"", "x"}});
    // A character literal does not run on.
    expectLines({"c = '\\\n", "  d\n"}, {{"c", "=", "'\\\n"}, {"d"}});
}

TEST_F(ReaderTest, StringContinuationState) {
    ctxFichier ctx;
    ReadAll(ctx, "s = \"abc\\\n");
    EXPECT_TRUE(ctx.inStringContinuation);
    EXPECT_TRUE(ctx.lineContinued);
    ReadAll(ctx, "end\";\n");
    EXPECT_FALSE(ctx.inStringContinuation);
    EXPECT_FALSE(ctx.lineContinued);
    // An unterminated tail ends with its line.
    ReadAll(ctx, "s = \"abc\\\n");
    ReadAll(ctx, "no end\n");
    ReadAll(ctx, "x y\n");
    EXPECT_FALSE(ctx.inStringContinuation);
    // A continued string followed by an empty line yields no token there.
    ReadAll(ctx, "s = \"abc\\\n");
    EXPECT_EQ(ReadAll(ctx, "\n"), Tokens{});
    EXPECT_EQ(ReadAll(ctx, "\r\n"), Tokens{});
}

TEST_F(ReaderTest, LineContinuationKeepsStates) {
    ctxFichier ctx;
    ReadAll(ctx, "// comment \\\n");
    EXPECT_TRUE(ctx.lineContinued);
    ReadAll(ctx, "still comment\n");
    EXPECT_TRUE(ctx.inLineComment);
    ReadAll(ctx, "code\n");
    EXPECT_FALSE(ctx.inLineComment);

    ReadAll(ctx, "#define A \\\n");
    ctx.inPreprocessor = true;  // as the line engine sets it
    ctx.directive = "#define";
    ReadAll(ctx, "  B\n");
    EXPECT_TRUE(ctx.inPreprocessor);
    EXPECT_EQ(ctx.directive, "#define");
    ReadAll(ctx, "C\n");
    EXPECT_FALSE(ctx.inPreprocessor);
    EXPECT_EQ(ctx.directive, "");
}

TEST_F(ReaderTest, BlockCommentKeepsDirectiveAlive) {
    ctxFichier ctx;
    ReadAll(ctx, "#if A /* open\n");
    ctx.inPreprocessor = true;
    ctx.directive = "#if";
    ReadAll(ctx, "close */\n");
    EXPECT_TRUE(ctx.inPreprocessor);
    EXPECT_EQ(ctx.directive, "#if");
}

TEST_F(ReaderTest, LineResetRunsOncePerLine) {
    ctxFichier ctx;
    ctx.line = "// words\n";
    BeginLine(ctx);
    ReadToken(ctx);
    EXPECT_EQ(ctx.token, "//");
    ASSERT_TRUE(ctx.inLineComment);
    // A rewrite that brings the column back to 1 is not a new line.
    ctx.line = "words\n";
    ctx.column = 1;
    ReadToken(ctx);
    EXPECT_TRUE(ctx.inLineComment);
    BeginLine(ctx);
    ReadToken(ctx);
    EXPECT_FALSE(ctx.inLineComment);
}

TEST_F(ReaderTest, AssemblerComments) {
    expectTokens("mov a, b ; move 'it'", {"mov", "a", ",", "b", ";", "move", "'", "it", "'"}, "x.s");
    expectTokens("mov a, b ; move 'it'", {"mov", "a", ",", "b", ";", "move", "'it'"}, "x.c");
    ctxFichier ctx;
    ctx.SetFile("boot.S");
    ReadAll(ctx, "  # comment\n");
    EXPECT_TRUE(ctx.inLineComment);
    ReadAll(ctx, "x ; y\n");
    EXPECT_TRUE(ctx.inLineComment);
    ctxFichier c2;
    c2.inAsm = true;
    ReadAll(c2, "mov ; y\n");
    EXPECT_TRUE(c2.inLineComment);
}

// The include name reaches the dependency matrix of a Design run: the first
// identifier after the directive, without its extension, for both forms.
TEST_F(ReaderTest, IncludeRecording) {
    TStringMatrix matrix;
    Settings.dependencyMatrix = &matrix;
    Settings.designMode = true;
    matrix.AddRow("main.c");
    ctxFichier ctx;
    for (const char* l :
         {"#include \"util.h\"\n", "#include <stdio.h>\n", "#include \"util.h\"\n", "int a;\n"}) {
        ctx.line = l;
        ProcessLine(ctx, nullptr);
    }
    Settings.dependencyMatrix = nullptr;
    Settings.designMode = false;
    EXPECT_EQ(matrix.Uses("main.c"), (std::vector<std::string>{"stdio", "util"}));
}

// Passing over the rest of a comment must leave the reader where reading its
// tokens one by one leaves it: same column (the "*/" that ends the comment
// not read), same comment state, same line continuation.
TEST_F(ReaderTest, SkippingACommentMatchesReadingIt) {
    struct Case {
        const char* line;
        bool block, asmFile;
    };
    const Case cases[] = {
        {"x yy * z */ a\n", true, false},   {"\\*/ still */ b\n", true, false},
        {"/*/ still */ c\n", true, false},  {"//*/ d\n", true, false},
        {"**/ e\n", true, false},           {"a <<*/ f\n", true, false},
        {"#define x */ g\n", true, false},  {"# ; x */ h\n", true, true},
        {"no end at all\n", true, false},    {"ends with \\\n", true, false},
        {"ends with \\\r\n", false, false}, {"/*- a */ b\n", false, false},
        {"//- x\n", false, false},          {"$x 1.5e3 _y */\n", true, false},
        {"", true, false},                 {"   \t \r\n", true, false},
        // The same after a name, where only "/", "*" and "\\" are looked at.
        {"w \\*/ x */ y\n", true, false},   {"w /*/ x */ y\n", true, false},
        {"w //*/ y\n", true, false},        {"w a/b*c **/ y\n", true, false},
        {"w *= x\\\r\n", true, false},    {"w /*- x\n", false, false},
        {"w //- x \\ y\n", false, false},  {"w # ; */ y\n", true, true},
    };
    for (const Case& c : cases) {
        ctxFichier read, skip;
        for (ctxFichier* x : {&read, &skip}) {
            x->SetFile(c.asmFile ? "t.S" : "t.c");
            x->inBlockComment = c.block;
            x->inLineComment = !c.block;
            x->line = c.line;
            x->column = 1;
            x->lineStartPending = false;
        }
        bool sawName = false;
        int tokens = 0;
        bool closed = false;  // stopped at the "*/" (which reading it has consumed)
        for (;;) {
            const bool inComment = read.inBlockComment;
            ReadToken(read);
            closed = inComment && read.token == "*/";
            if (read.token.empty() || closed) break;
            if (IsAsciiLetter(static_cast<unsigned char>(read.token[0])) || read.token[0] == '_') sawName = true;
            read.column += static_cast<int32_t>(read.token.size());
            ++tokens;
        }
        bool skipName = false;
        EXPECT_EQ(SkipCommentTokens(skip, skipName), tokens > 0) << c.line;
        EXPECT_EQ(skip.column, read.column) << c.line;
        EXPECT_EQ(skipName, sawName) << c.line;
        EXPECT_EQ(skip.inBlockComment, read.inBlockComment || closed) << c.line;
        EXPECT_EQ(skip.inLineComment, read.inLineComment) << c.line;
        EXPECT_EQ(skip.lineContinued, read.lineContinued) << c.line;
        EXPECT_EQ(skip.dashComment, read.dashComment) << c.line;
    }
}

}  // namespace
