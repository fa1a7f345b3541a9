// Search and Replace through the per-file pipeline, whole-token (the line
// engine) and sub-string (ApplyDictionary), as the commands run them.
#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <utility>
#include <vector>

#include "config/pipeline.h"
#include "config/search.h"
#include "config/settings.h"
#include "console/recording_sink.h"
#include "support/test_support.h"

using namespace vantor;
using vantor::test::FileExists;
using vantor::test::ReadFile;
using vantor::test::TempDir;
using vantor::test::WriteFile;
using Rows = std::vector<std::pair<std::string, std::string>>;

namespace {

class SearchReplace : public ::testing::Test {
protected:
    void SetUp() override {
        ResetSettings();
        French = false;
        Settings.checkMode = Settings.designMode = Settings.Indenter = Settings.couverture = false;
        Settings.dictionaryMode = true;
        Settings.rtlf = true;  // must not matter: line ends stay as they are
        ConsoleAttach(&console, &sink);
    }
    void TearDown() override {
        ConsoleDetach(&console);
        ResetSettings();
        Settings.dictionaryMode = Settings.replaceMode = Settings.substringMode = false;
        French = true;
    }

    // Runs `source` through one command; the console text comes back with the
    // green pieces in brackets and without the file-name line.
    std::string Run(bool replace, bool substring, const Rows& rows, const std::string& source) {
        Settings.replaceMode = replace;
        Settings.substringMode = substring;
        Dictionary dictionary;
        for (const auto& r : rows) dictionary.Add(r.first, r.second);
        WriteFile(path, source);
        std::remove((path + ".bak").c_str());
        sink.pieces.clear();
        ProcessFile(path, "", &dictionary);
        return Shown();
    }
    // What the console showed since the last clear, as Run returns it.
    std::string Shown() {
        std::string shown;
        for (const RecordedPiece& p : sink.pieces) {
            if (p.style == fsUnderline) continue;
            EXPECT_TRUE(p.colour == 0 || p.colour == kColorGreen) << p.text;
            shown += p.colour == kColorGreen ? "[" + p.text + "]" : p.text;
        }
        sink.pieces.clear();
        return shown;
    }
    std::string Search(const Rows& rows, const std::string& source, bool substring = false) {
        return Run(false, substring, rows, source);
    }
    // The file after Replace (its report must not be needed to check it).
    std::string Replace(const Rows& rows, const std::string& source, bool substring = false) {
        Run(true, substring, rows, source);
        return ReadFile(path);
    }

    TempDir dir;
    std::string path = dir / "a.c";
    RecordingSink sink;
};

}  // namespace

TEST_F(SearchReplace, WholeTokenAgainstSubstring) {
    const Rows countTotal = {{"count", "total"}};
    EXPECT_EQ("account = total;\n", Replace(countTotal, "account = count;\n"));
    EXPECT_EQ("actotal = total;\n", Replace(countTotal, "account = count;\n", true));
    EXPECT_EQ("0001:account = [count];\n", Search(countTotal, "account = count;\n"));
    EXPECT_EQ("account = count;\n", ReadFile(path));  // Search never writes
    EXPECT_FALSE(FileExists(path + ".bak"));
    EXPECT_EQ("ac[count] = count;\n", Search(countTotal, "account = count;\n", true));

    // Letter case: not significant for whole tokens, significant for sub-strings.
    EXPECT_EQ("0001:[count] = 1;\n", Search({{"Count", "Total"}}, "count = 1;\n"));
    EXPECT_EQ("", Search({{"Count", "Total"}}, "count = 1;\n", true));
    EXPECT_EQ("Total = 1;\n", Replace({{"Count", "Total"}}, "count = 1;\n"));
}

TEST_F(SearchReplace, RowsApplyInGridOrder) {
    const Rows chain = {{"a", "b"}, {"b", "c"}};
    EXPECT_EQ("c\n", Replace(chain, "a\n", true));
    // A whole token is replaced once: the new name is not looked up again.
    EXPECT_EQ("b = c;\n", Replace(chain, "a = b;\n"));
    // Sub-string Search: the earlier row, once, even when a later row comes first in the line.
    EXPECT_EQ("alpha [beta] gamma beta\n", Search({{"beta", "x"}, {"alpha", "y"}}, "alpha beta gamma beta\n", true));
    // Whole-token Search lists every match, each on a console line of its own.
    EXPECT_EQ("0002:   [alpha] = beta;\n0002:   alpha = [beta];\n",
              Search({{"beta", "x"}, {"alpha", "y"}}, "x;\n   alpha = beta;\n"));
}

TEST_F(SearchReplace, TitleRowOnlyChangesAndReportsNothing) {
    for (bool substring : {false, true}) {
        EXPECT_EQ("", Search({}, "int count;\n", substring));
        EXPECT_EQ("int count;\n", Replace({}, "int count;\n", substring));
        EXPECT_EQ("", sink.Text().substr(sink.Text().find('\n') + 1));  // no "Modification" either
        EXPECT_FALSE(FileExists(path + ".bak"));
    }
}

TEST_F(SearchReplace, ReplaceTouchesNothingButTheNames) {
    // Line ends of every kind stay, a last line keeps lacking its end, and
    // strings, longer names and numbers are left alone.
    const std::string before = "int n;\r\nchar *s = \"n\";\nn1 = 0x1n;\r\n/* n */ f(n);\n  if (n)\tn++;";
    const std::string after = "int count;\r\nchar *s = \"n\";\nn1 = 0x1n;\r\n/* count */ f(count);\n  if (count)\tcount++;";
    EXPECT_EQ(after, Replace({{"n", "count"}}, before));
    EXPECT_EQ(before, ReadFile(path + ".bak"));
    EXPECT_EQ(before, Replace({{"count", "n"}}, after));
}

TEST_F(SearchReplace, ReportFormat) {
    // Replace shows the new name in green; the rest of the line follows with its end.
    EXPECT_EQ("0002:  if ([n])\tcount++;\r\n0002:  if (n)\t[n]++;\r\nModification\n",
              Run(true, false, {{"count", "n"}}, "a;\n  if (count)\tcount++;\r\n"));
    // A last line without line end still ends its report lines.
    EXPECT_EQ("0001:[x] = x\n0001:x = [x]\n", Search({{"x", "y"}}, "x = x"));
    EXPECT_EQ("[x] = x\n", Search({{"x", "y"}}, "x = x", true));
}

// Search over whole blocks of lines tells and counts what the line-by-line
// Search does, through the wide first look too (blocks of many bytes).
TEST_F(SearchReplace, BlockSearchAgreesWithLineByLine) {
    // A name across a line end is none; an earlier row found later in the line
    // wins; the last line, without its end, is counted and its report ended.
    EXPECT_EQ("ha [beta] alpha\n[alpha]\n", Search({{"beta", "x"}, {"alpha", "y"}}, "alp\nha beta alpha\nalpha", true));
    uint32_t seed = 4321;
    auto next = [&seed] { return (seed = seed * 1103515245u + 12345u) >> 16; };
    const char alphabet[] = "abc_\n";
    for (int round = 0; round < 300; ++round) {
        Dictionary d;
        for (int k = 0; k < 1 + round % 9; ++k) {
            std::string key;
            for (size_t n = 3 + next() % 4; key.size() < n;) key += alphabet[next() % 4];
            d.Add(key, "x");
        }
        std::string text;
        for (size_t n = next() % 600; text.size() < n;) text += alphabet[next() % 5];
        int32_t expectedMatches = 0, expectedLines = 0, matches = 0;
        for (size_t from = 0; from < text.size(); ++expectedLines) {
            const size_t nl = text.find('\n', from);
            const size_t to = nl == std::string::npos ? text.size() : nl + 1;
            std::string line = text.substr(from, to - from);
            ApplyDictionary(line, &d, &expectedMatches);
            from = to;
        }
        const std::string expected = Shown();
        std::string room;
        ASSERT_TRUE(d.BlockSearchable());
        EXPECT_EQ(expectedLines, SearchLines(text.data(), text.size(), d, room, &matches)) << text;
        EXPECT_EQ(expected, Shown()) << text;
        EXPECT_EQ(expectedMatches, matches);
    }
    // A file larger than the read buffer: lines that go on past it are searched whole.
    Dictionary d;
    d.Add("abc_", "x");
    d.Add("cab", "y");
    std::string text;
    while (text.size() < 200000) text += alphabet[next() % 5];
    WriteFile(path, text);
    std::string room;
    int32_t matches = 0;
    const int32_t lines = SearchLines(text.data(), text.size(), d, room, &matches);
    const std::string expected = Shown();
    Settings.substringMode = true;
    const FileCounts counts = ProcessFile(path, "", &d);
    EXPECT_EQ(expected, Shown());
    EXPECT_EQ(lines, counts.lines);
    EXPECT_EQ(matches, counts.matches);
    EXPECT_FALSE(Dictionary().BlockSearchable());
    d.Add("ab", "z");
    EXPECT_FALSE(d.BlockSearchable());  // a name of two bytes takes the line-by-line way
}

// The quick rejections of the dictionary never hide a name that is there.
TEST(DictionaryFilters, NeverRejectAName) {
    Dictionary d;
    EXPECT_FALSE(d.MayOccurIn("anything"));
    EXPECT_EQ(nullptr, d.Find("anything"));
    uint32_t seed = 12345;
    auto next = [&seed] { return (seed = seed * 1103515245u + 12345u) >> 16; };
    const char alphabet[] = "abAB_1";
    for (int round = 0; round < 200; ++round) {
        d.Clear();
        std::vector<std::string> keys;
        for (int k = 0; k < 1 + round % 5; ++k) {
            std::string key;
            for (size_t n = 3 + next() % 20; key.size() < n;) key += alphabet[next() % 6];
            if (d.Add(key, "x")) keys.push_back(key);
        }
        for (int l = 0; l < 50; ++l) {
            std::string line;
            for (size_t n = next() % 40; line.size() < n;) line += alphabet[next() % 6];
            bool occurs = false;
            for (const std::string& k : keys) occurs = occurs || line.find(k) != std::string::npos;
            EXPECT_TRUE(!occurs || d.MayOccurIn(line)) << line;
        }
        for (const std::string& k : keys) {
            std::string other = k;
            for (char& c : other) c = (c >= 'a' && c <= 'z') ? static_cast<char>(c - 32) : c;
            EXPECT_NE(nullptr, d.Find(other)) << other;
        }
    }
    // Names of one or two bytes are always worth a look; a removed name no longer is.
    d.Clear();
    d.Add("ab", "x");
    EXPECT_TRUE(d.MayOccurIn("zzzz"));
    d.SetRow(0, "abcdef", "x");
    EXPECT_FALSE(d.MayOccurIn("zzzz abc def"));
    EXPECT_TRUE(d.MayOccurIn("zzzz abcdef"));
    d.RemoveRow(0);
    EXPECT_FALSE(d.MayOccurIn("zzzz abcdef"));
    EXPECT_EQ(nullptr, d.Find("abcdef"));
}
