// The batch driver: which files the walk hands to the pipeline, in which
// order, where their output goes, and what the run prints around them.
#include <gtest/gtest.h>

#include <filesystem>

#include "config/batch.h"
#include "console/recording_sink.h"
#include "platform/fs.h"
#include "platform/text.h"
#include "support/test_support.h"

using namespace vantor;
using vantor::test::FileExists;
using vantor::test::ReadFile;
using vantor::test::TempDir;
using vantor::test::WriteFile;

namespace {

bool g_modify = false;  // the processor marks every line changed

void Echo(ctxFichier& ctx, const Dictionary*) {
    if (ctx.line.find("BAD") != std::string::npos) ctx.violationCount++;
    if (ctx.line.find("FUNC") != std::string::npos) ctx.functionCount++;
    if (g_modify) ctx.lineModified = true;
    ctx.outputLines.push_back(ctx.line);
}

// Marks each line once: a second pass over its own output changes nothing,
// as Apply's second pass does.
void MarkOnce(ctxFichier& ctx, const Dictionary*) {
    std::string& l = ctx.line;
    if (l.find("//v") == std::string::npos) {
        l.insert(l.find('\n'), " //v");
        ctx.lineModified = true;
    }
    ctx.outputLines.push_back(ctx.line);
}

class Batch : public ::testing::Test {
protected:
    void SetUp() override {
        ResetSettings();
        Settings.checkMode = Settings.dictionaryMode = Settings.replaceMode = false;
        Settings.substringMode = Settings.designMode = false;
        Settings.SousRepertoire = true;
        French = false;
        g_modify = false;
        ConsoleAttach(&console, &sink);
    }
    void TearDown() override { ConsoleDetach(&console); }

    BatchTotals Walk(const std::string& src, const std::string& dst = "") {
        BatchTotals t;
        WalkFolder(src, dst, &dico, t, &Echo);
        return t;
    }
    // The files the pipeline announced (underlined), relative to the top folder.
    std::vector<std::string> Processed() const {
        std::vector<std::string> names;
        for (const RecordedPiece& p : sink.pieces) {
            if (p.style != fsUnderline || p.text.rfind(dir.path(), 0) != 0) continue;
            names.push_back(p.text.substr(dir.path().size() + 1, p.text.size() - dir.path().size() - 2));
        }
        return names;
    }
    void Make(std::initializer_list<const char*> files) {
        for (const char* f : files) WriteFile(dir / f, "int x;\n");
    }

    TempDir dir;
    RecordingSink sink;
    Dictionary dico;
};

using Names = std::vector<std::string>;

TEST(Masks, StarQuestionMarkAndLetterCase) {
    struct Case { const char* name; const char* mask; bool match; };
    const Case cases[] = {
        {"a.c", "*.c", true},        {"A.C", "*.c", true},       {"a.cpp", "*.c", false},
        {"a.c", "?.c", true},        {"ab.c", "?.c", false},     {"abc", "a*c", true},
        {"abxbyd", "a*b?d", true},   {"abd", "a*b?d", false},    {"Makefile", "*.*", true},
        {"a.b.c", "*.*", true},      {"foo", "foo.*", true},     {"foo.h", "foo.*", true},
        {"foobar", "foo.*", false},  {"", "*.c", false},         {"x", "*", true},
        {"main.C", "MAIN.c", true},  {"a.h", "", false},
    };
    for (const Case& c : cases) EXPECT_EQ(c.match, MatchMask(c.name, c.mask)) << c.name << " ~ " << c.mask;
}

TEST(PlatformFiles, PathsRenameAndTimes) {
    const std::string sep = kPathSep;
    EXPECT_EQ("a" + sep + "b.c", JoinPath("a", "b.c"));
    EXPECT_EQ("a" + sep + "b.c", JoinPath("a/", "b.c"));
    EXPECT_EQ("a" + sep + "b.c", JoinPath("a\\", "b.c"));
    EXPECT_EQ("b.c", JoinPath("", "b.c"));
    EXPECT_EQ("", WithTrailingSeparator(""));
    EXPECT_EQ("b.c", BaseName("x\\y/b.c"));

    TempDir dir;
    WriteFile(dir / "f", "1");
    int64_t t = 0;
    EXPECT_TRUE(FileModificationTime(dir / "f", t));
    EXPECT_GT(t, 1600000000);
    EXPECT_FALSE(FileModificationTime(dir / "none", t));
    EXPECT_TRUE(RenameFile(dir / "f", dir / "g"));
    EXPECT_FALSE(RenameFile(dir / "f", dir / "h"));
    EXPECT_TRUE(IsFile(dir / "g"));
    EXPECT_FALSE(IsFolder(dir / "g"));
    EXPECT_TRUE(SameFile(dir / "g", dir.path() + "/./g"));
    EXPECT_TRUE(CreateFolders(dir / "p/q/r"));
    EXPECT_TRUE(IsFolder(dir / "p/q/r"));
    EXPECT_TRUE(RemoveFile(dir / "g"));
    EXPECT_FALSE(PathExists(dir / "g"));
    std::vector<DirEntry> entries;
    EXPECT_FALSE(ListFolder(dir / "none", entries));
}

TEST(PlatformFiles, FolderEntriesTellTheirKind) {
    TempDir dir;
    WriteFile(dir / "file.c", "1");
    WriteFile(dir / ".hidden.c", "1");
    ASSERT_TRUE(CreateFolders(dir / "sub"));
    std::filesystem::create_symlink(dir / "file.c", dir / "linkfile.c");
    std::filesystem::create_directory_symlink(dir / "sub", dir / "linkdir");
    std::filesystem::create_symlink(dir / "nothing", dir / "broken.c");
    std::vector<DirEntry> e;
    ASSERT_TRUE(ListFolder(dir.path(), e));
    // name, file, folder, link to a folder, hidden; in case-blind name order
    std::vector<std::string> got;
    for (const DirEntry& d : e)
        got.push_back(d.name + ":" + std::to_string(d.isFile) + std::to_string(d.isDir) +
                      std::to_string(d.isSymlinkToDir) + std::to_string(d.isHidden));
    EXPECT_EQ((Names{".hidden.c:1001", "broken.c:0000", "file.c:1000", "linkdir:0110", "linkfile.c:1000",
                     "sub:0100"}),
              got);
}

TEST(PlatformFiles, ReplaceKeepingBackup) {
    TempDir dir;
    const std::string src = dir / "a.c";
    WriteFile(src, "old");
    WriteFile(src + ".new", "new");
    ASSERT_TRUE(ReplaceKeepingBackup(src, src + ".new", src + ".bak"));
    EXPECT_EQ("new", ReadFile(src));
    EXPECT_EQ("old", ReadFile(src + ".bak"));
    EXPECT_FALSE(FileExists(src + ".new"));
    // An earlier backup gives way.
    WriteFile(src + ".new", "newer");
    ASSERT_TRUE(ReplaceKeepingBackup(src, src + ".new", src + ".bak"));
    EXPECT_EQ("newer", ReadFile(src));
    EXPECT_EQ("new", ReadFile(src + ".bak"));
    // Nothing to put in its place: the source stays, and no backup is made of it.
    std::remove((src + ".bak").c_str());
    EXPECT_FALSE(ReplaceKeepingBackup(src, src + ".missing", src + ".bak"));
    EXPECT_EQ("newer", ReadFile(src));
    EXPECT_FALSE(FileExists(src + ".bak"));
}

TEST_F(Batch, OrderMasksAndSubFolders) {
    Make({"b.c", "A.c", "a.c", "a.h", "C.h", "notes.txt", "zsub/x.c", "Asub/y.h"});
    BatchTotals t = Walk(dir.path());
    // Per mask in list order, names sorted without regard to case; then the sub-folders.
    EXPECT_EQ((Names{"a.h", "C.h", "A.c", "a.c", "b.c", "Asub/y.h", "zsub/x.c"}), Processed());
    EXPECT_EQ(7, t.files);
    EXPECT_EQ(7, t.lines);
}

TEST_F(Batch, FileMatchingTwoMasksIsProcessedTwice) {
    Make({"a.c", "Makefile"});
    Settings.Masques = {"*.c", "*.*"};
    EXPECT_EQ(3, Walk(dir.path()).files);
    EXPECT_EQ((Names{"a.c", "a.c", "Makefile"}), Processed());
}

// Rewrites in place go to the disk and are swapped in batches; a file read
// again (second mask) sees its first rewrite, and every original ends in its
// ".bak" with no ".new" left.
TEST_F(Batch, BatchedSwapsKeepEveryOriginal) {
    Settings.Masques = {"*.c", "*.*"};
    std::vector<std::string> names;
    for (int i = 0; i < static_cast<int>(PendingSwaps::kBatch) + 44; ++i)
        names.push_back("f" + std::to_string(1000 + i) + ".c");
    for (const std::string& n : names) WriteFile(dir / n, "int " + n.substr(0, 5) + ";\n");
    BatchTotals t;
    {
        PendingSwaps swaps;
        WalkFolder(dir.path(), "", &dico, t, &MarkOnce, &swaps);
        t.ioErrors += swaps.Commit();
        EXPECT_EQ(0u, swaps.Size());
    }
    EXPECT_EQ(0, t.ioErrors);
    for (const std::string& n : names) {
        EXPECT_EQ("int " + n.substr(0, 5) + ";\n", ReadFile(dir / (n + ".bak"))) << n;
        EXPECT_EQ("int " + n.substr(0, 5) + "; //v\n", ReadFile(dir / n)) << n;
        EXPECT_FALSE(FileExists(dir / (n + ".new"))) << n;
    }
}

TEST_F(Batch, PendingSwapThatCannotBeMadeKeepsTheSource) {
    WriteFile(dir / "a.c", "int a;\n");
    PendingSwaps swaps;
    swaps.Add(dir / "a.c");  // its ".new" is gone
    EXPECT_EQ(1, swaps.Commit());
    EXPECT_EQ("int a;\n", ReadFile(dir / "a.c"));
    EXPECT_FALSE(FileExists(dir / "a.c.bak"));
    EXPECT_EQ(0, swaps.Commit());  // nothing is left pending

    // Committed in the background: the failure is counted by the next call.
    WriteFile(dir / "b.c", "int b;\n");
    WriteFile(dir / "c.c", "int c2;\n");
    WriteFile(dir / "c.c.new", "int c;\n");
    swaps.Add(dir / "b.c");
    swaps.Add(dir / "c.c");
    EXPECT_EQ(0, swaps.CommitInBackground());
    EXPECT_EQ(0u, swaps.Size());
    EXPECT_EQ(1, swaps.Commit());
    EXPECT_EQ("int b;\n", ReadFile(dir / "b.c"));
    EXPECT_EQ("int c;\n", ReadFile(dir / "c.c"));
    EXPECT_EQ("int c2;\n", ReadFile(dir / "c.c.bak"));
}

TEST_F(Batch, SkippedFilesAndFolders) {
    Make({"a.c", ".hidden.c", "portab.h", "sub/PORTAB.H", "sub/x.bak.c", "old.bak/y.c", "x.BAK/z.c",
          ".git/g.c"});
    Walk(dir.path());
    EXPECT_EQ((Names{"a.c", "sub/x.bak.c", "x.BAK/z.c"}), Processed());

    Settings.SousRepertoire = false;
    sink.pieces.clear();
    Walk(dir.path());
    EXPECT_EQ((Names{"a.c"}), Processed());

    Settings.Masques.clear();  // no mask: no file, the sub-folders are still walked
    Settings.SousRepertoire = true;
    sink.pieces.clear();
    EXPECT_EQ(0, Walk(dir.path()).files);
}

TEST_F(Batch, FolderToIgnore) {
    Make({"a.c", "gen/b.c", "src/c.c", "src/generated/d.c"});
    Settings.folderToIgnore = "gen";
    Walk(dir.path());
    EXPECT_EQ((Names{"a.c", "src/c.c"}), Processed());

    sink.pieces.clear();  // the top folder itself
    EXPECT_EQ(0, Walk(dir / "src/generated").files);

    // With a destination, the test is made on the destination path.
    TempDir out;
    sink.pieces.clear();
    Settings.folderToIgnore = "src";
    Walk(dir.path(), out.path());
    EXPECT_EQ((Names{"a.c", "gen/b.c"}), Processed());
}

TEST_F(Batch, FolderTextMayEndInEitherSeparator) {
    Make({"a.c", "sub/b.c"});
    EXPECT_EQ(2, Walk(dir.path() + "/").files);
    EXPECT_EQ(2, Walk(dir.path() + "\\").files);
    TempDir out;  // a destination ending in a backslash is a folder, not a name ending in one
    g_modify = true;
    Walk(dir.path(), out.path() + "\\");
    EXPECT_TRUE(FileExists(out / "sub/b.c"));
}

TEST_F(Batch, SingleFile) {
    Make({"a.c"});
    g_modify = true;
    BatchTotals t = Walk(dir / "a.c");  // Check, Apply, Search, Replace: in place
    EXPECT_EQ(1, t.files);
    EXPECT_TRUE(FileExists(dir / "a.c.bak"));

    // Design: into the destination folder under its own name, never in place.
    TempDir out;
    Settings.designMode = true;
    std::string before = ReadFile(dir / "a.c");
    t = Walk(dir / "a.c", out / "html");
    EXPECT_EQ(1, t.files);
    EXPECT_EQ(before, ReadFile(out / "html/a.c.html"));
    EXPECT_EQ(before, ReadFile(dir / "a.c"));

    Settings.designMode = false;  // Instrumentation: same name
    Walk(dir / "a.c", out.path());
    EXPECT_EQ(before, ReadFile(out / "a.c"));
}

TEST_F(Batch, DestinationTreeMirrorsTheSource) {
    Make({"a.c", "sub/b.c"});
    g_modify = true;
    TempDir out;
    Settings.designMode = true;
    Walk(dir.path(), out / "design");
    EXPECT_TRUE(FileExists(out / "design/a.c.html"));
    EXPECT_TRUE(FileExists(out / "design/sub/b.c.html"));
    EXPECT_FALSE(FileExists(dir / "a.c.bak"));
}

TEST_F(Batch, MissingFolderIsNotCreated) {
    BatchTotals t = Walk(dir / "missing");
    EXPECT_EQ(0, t.files);
    EXPECT_FALSE(FileExists(dir / "missing"));
    Walk(dir / "missing", dir / "made/here");  // a separate destination is created
    EXPECT_TRUE(FileExists(dir / "made/here"));
}

TEST_F(Batch, LinkedFoldersAreNotEntered) {
    Make({"a.c", "sub/b.c"});
    std::filesystem::create_directory_symlink(dir.path(), dir / "sub/loop");
    std::filesystem::create_directory_symlink(dir / "sub", dir / "alias");
    Walk(dir.path());
    EXPECT_EQ((Names{"a.c", "sub/b.c"}), Processed());
}

TEST_F(Batch, TotalsSumCountsViolationsAndErrors) {
    WriteFile(dir / "a.c", "FUNC BAD\nFUNC\n");
    WriteFile(dir / "b.c", "BAD\n");
    WriteFile(dir / "c.c", "x\n");
    WriteFile(dir / "c.c.new/in-the-way", "");  // c.c cannot be rewritten
    g_modify = true;
    BatchTotals t = Walk(dir.path());
    EXPECT_EQ(3, t.files);
    EXPECT_EQ(4, t.lines);
    EXPECT_EQ(2, t.functions);
    EXPECT_EQ(2, t.violations);
    EXPECT_EQ(1, t.ioErrors);
}

TEST_F(Batch, RunPrintsDateAndAnalyzedLine) {
    WriteFile(dir / "a.c", "FUNC\nx\n");
    BatchTotals t = RunBatch(dir.path(), "", &dico, &Echo);
    ASSERT_GE(sink.pieces.size(), 3u);
    const std::string date = sink.pieces.front().text;  // "yyyy-mm-dd hh:mm:ss\n"
    const std::string shape = "dddd-dd-dd dd:dd:dd\n";
    ASSERT_EQ(shape.size(), date.size()) << date;
    for (size_t i = 0; i < shape.size(); ++i)
        EXPECT_TRUE(shape[i] == 'd' ? IsAsciiDigit(static_cast<unsigned char>(date[i])) : shape[i] == date[i]) << date;
    EXPECT_EQ((RecordedPiece{"Analyzed:1 files,1 functions, 2 lines, 0 lines with code, 0 instructions 0 branchs\n",
                             0, fsUnderline, {}}),
              sink.pieces.back());
    EXPECT_EQ(1, t.files);
    EXPECT_EQ(std::string::npos, sink.Text().find("Rules:"));  // only for Check
}

TEST_F(Batch, RulesListingInBothLanguages) {
    Settings.checkMode = true;
    Settings.noInterrog = true;
    Settings.MotsInterdits.Add("malloc");
    RunBatch(dir / "missing", "", &dico, &Echo);
    const std::string english =
        "Rules:\ninstructions forbidden:\ngoto\nmalloc\n?:\nbreak mandatory on case\nOne instruction/line\n"
        "{} aligned\n80 characters/line\n100 instructions/function\n20 functions/source\n8 levels\n";
    std::string text = sink.Text();
    EXPECT_NE(std::string::npos, text.find(english)) << text;
    EXPECT_EQ((RecordedPiece{"Rules:\n", 0, fsUnderline, {}}), sink.pieces[1]);

    sink.pieces.clear();
    French = true;
    Settings.noInterrog = Settings.breakSurCase = Settings.monoInstruction = Settings.aligner = false;
    RunBatch(dir / "missing", "", &dico, &Echo);
    const std::string french =
        "Rules:\ninstructions interdites:\ngoto\nmalloc\n80 caractères/ligne\n100 instructions/fonction\n"
        "20 fonctions/source\n8 niveaux d'imbrication\n"
        "Analyzed:0 files,0 functions, 0 lines, 0 lines with code, 0 instructions 0 branchs\n";
    text = sink.Text();
    EXPECT_EQ(french, text.substr(text.find('\n') + 1));

    sink.pieces.clear();
    Settings.breakSurCase = Settings.monoInstruction = Settings.aligner = true;
    RunBatch(dir / "missing", "", &dico, &Echo);
    text = sink.Text();
    EXPECT_NE(std::string::npos, text.find("break exigé dans les case\nUne instruction/line\n{} aligné\n"));
}

}  // namespace
