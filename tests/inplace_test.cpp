// Rewriting a user's sources in place, attacked as a shared tree may be: a
// run never writes through a planted link, never widens a file's
// permissions, never takes its own work files as sources, leaves alone what
// it cannot handle, and says why a file failed.
#include <gtest/gtest.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <fcntl.h>
#include <unistd.h>

#include <cstdlib>
#include <cstring>
#include <string>

#include "config/batch.h"
#include "config/pipeline.h"
#include "config/settings.h"
#include "console/recording_sink.h"
#include "platform/fs.h"
#include "support/test_support.h"

using namespace vantor;
using vantor::test::CliRun;
using vantor::test::FileExists;
using vantor::test::ReadFile;
using vantor::test::RunCli;
using vantor::test::ShellQuote;
using vantor::test::TempDir;
using vantor::test::WriteFile;

namespace {

const char kBefore[] = "int f(){return 1;}\n";
const char kAfter[] = "int f()\n{\n   return 1;\n}\n";

CliRun Apply(const std::string& args) { return RunCli("--color never " + args); }

unsigned ModeOf(const std::string& path) {
    struct stat st;
    return stat(path.c_str(), &st) == 0 ? st.st_mode & 07777 : 0;
}

bool Contains(const std::string& text, const std::string& part) { return text.find(part) != std::string::npos; }

}  // namespace

TEST(InPlace, PlantedNewLinkIsReplacedNeverFollowed) {
    TempDir t;
    WriteFile(t / "a.c", kBefore);
    WriteFile(t / "victim", "precious\n");
    ASSERT_EQ(0, symlink((t / "victim").c_str(), (t / "a.c.new").c_str()));
    CliRun r = Apply("apply " + ShellQuote(t.path()));
    EXPECT_EQ(0, r.status) << r.err;
    EXPECT_EQ("precious\n", ReadFile(t / "victim"));
    EXPECT_EQ(kAfter, ReadFile(t / "a.c"));
    EXPECT_EQ(kBefore, ReadFile(t / "a.c.bak"));
    struct stat st;
    ASSERT_EQ(0, lstat((t / "a.c").c_str(), &st));
    EXPECT_TRUE(S_ISREG(st.st_mode));
    EXPECT_FALSE(FileExists(t / "a.c.new"));

    // A Design page name planted as a link in the destination: replaced too.
    WriteFile(t / "src/b.c", kBefore);
    ASSERT_EQ(0, mkdir((t / "pages").c_str(), 0755));
    ASSERT_EQ(0, symlink((t / "victim").c_str(), (t / "pages/b.c.html").c_str()));
    r = Apply("design " + ShellQuote(t / "src") + " -o " + ShellQuote(t / "pages"));
    EXPECT_EQ(0, r.status) << r.err;
    EXPECT_EQ("precious\n", ReadFile(t / "victim"));
    EXPECT_TRUE(Contains(ReadFile(t / "pages/b.c.html"), "<P>"));
}

TEST(InPlace, RewriteKeepsTheSourcesModeAndARead_onlySourceIsRefused) {
    TempDir t;
    for (const char* n : {"secret.c", "script.c", "locked.c"}) WriteFile(t / n, kBefore);
    chmod((t / "secret.c").c_str(), 0600);
    chmod((t / "script.c").c_str(), 0750);
    chmod((t / "locked.c").c_str(), 0444);
    CliRun r = Apply("apply " + ShellQuote(t.path()));
    EXPECT_EQ(3, r.status);
    EXPECT_EQ(0600u, ModeOf(t / "secret.c"));
    EXPECT_EQ(0750u, ModeOf(t / "script.c"));
    EXPECT_EQ(kAfter, ReadFile(t / "script.c"));
    EXPECT_EQ(kBefore, ReadFile(t / "locked.c"));
    EXPECT_FALSE(FileExists(t / "locked.c.bak"));
    EXPECT_FALSE(FileExists(t / "locked.c.new"));
    EXPECT_TRUE(Contains(r.out, "unable to modify " + (t / "locked.c") + "\n")) << r.out;
    // The console line stays the same; stderr adds the reason, once per failed file.
    EXPECT_EQ("vantor-cli: " + (t / "locked.c") + ": read-only file\n", r.err);
}

TEST(InPlace, WorkFilesAreNeverSourcesWhateverTheMasks) {
    TempDir t;
    WriteFile(t / "stack.c", kBefore);
    WriteFile(t / "x.bak.c", kBefore);
    for (int run = 0; run < 2; ++run) EXPECT_EQ(0, Apply("--mask '*' apply " + ShellQuote(t.path())).status);
    EXPECT_EQ(kBefore, ReadFile(t / "stack.c.bak"));
    EXPECT_EQ(kAfter, ReadFile(t / "x.bak.c"));
    EXPECT_FALSE(FileExists(t / "stack.c.bak.bak"));
    EXPECT_FALSE(FileExists(t / "stack.c.bak.new"));
}

TEST(InPlace, NonTextFilesAreSkippedByEveryCommand) {
    TempDir t;
    const std::string utf16("\xFF\xFEi\0n\0t\0 \0x\0;\0\n\0", 16);
    const std::string nul("int x;\0\n", 8);
    WriteFile(t / "wide.c", utf16);
    WriteFile(t / "nul.c", nul);
    for (const char* cmd : {"apply", "check", "--dict x=y replace", "--dict x=y search"}) {
        CliRun r = Apply(std::string(cmd) + " " + ShellQuote(t.path()));
        EXPECT_TRUE(Contains(r.out, "not a text file, skipped: " + (t / "wide.c") + "\n")) << cmd << r.out;
        EXPECT_TRUE(Contains(r.out, "not a text file, skipped: " + (t / "nul.c") + "\n")) << cmd << r.out;
    }
    EXPECT_EQ(utf16, ReadFile(t / "wide.c"));
    EXPECT_EQ(nul, ReadFile(t / "nul.c"));
    EXPECT_TRUE(Contains(RunCli("--lang fr apply " + ShellQuote(t / "wide.c")).out, "fichier non texte ignoré : "));
}

TEST(InPlace, WhatCannotBeWalkedIsReported) {
    TempDir t;
    WriteFile(t / "a.c", kBefore);
    ASSERT_EQ(0, mkfifo((t / "pipe.c").c_str(), 0600));  // in the tree: passed over, never opened
    CliRun r = Apply("check " + ShellQuote(t.path()));
    EXPECT_NE(3, r.status) << r.out;
    EXPECT_EQ(2, Apply("check " + ShellQuote(t / "pipe.c")).status);

    // A folder deeper than a path may be long, made one step at a time.
    const std::string deep = t / "deep";
    int fd = open(t.path().c_str(), O_RDONLY | O_DIRECTORY);
    for (int i = 0; i < 24 && fd >= 0; ++i) {
        const std::string name = i == 0 ? "deep" : std::string(200, 'd');
        ASSERT_EQ(0, mkdirat(fd, name.c_str(), 0755));
        const int next = openat(fd, name.c_str(), O_RDONLY | O_DIRECTORY);
        close(fd);
        fd = next;
    }
    ASSERT_GE(fd, 0);
    close(fd);
    r = Apply("--set SousRepertoire=1 check " + ShellQuote(t.path()));
    std::system(("rm -rf " + ShellQuote(deep)).c_str());
    EXPECT_EQ(3, r.status);
    EXPECT_TRUE(Contains(r.out, "path too long: ")) << r.out.substr(0, 400);
    EXPECT_TRUE(Contains(r.err, ": File name too long\n")) << r.err;
}

// Pipeline-level: a source that another run holds is left to it.
TEST(InPlace, ASourceLockedByAnotherRunIsLeftAlone) {
    TempDir t;
    const std::string src = t / "a.c";
    WriteFile(src, kBefore);
    const int other = open(src.c_str(), O_RDONLY);
    ASSERT_EQ(0, flock(other, LOCK_EX));
    CliRun r = Apply("apply " + ShellQuote(src));
    close(other);
    EXPECT_EQ(3, r.status);
    EXPECT_TRUE(Contains(r.out, "file in use by another run, skipped: " + src + "\n")) << r.out;
    EXPECT_EQ(kBefore, ReadFile(src));
    EXPECT_FALSE(FileExists(src + ".bak"));
}

// An interrupted walk ends after the file in progress, with that file's
// rewrite swapped in: no ".new" is left, no file half done.
TEST(InPlace, StopRequestEndsTheWalkWithEveryRewriteSwappedIn) {
    TempDir t;
    for (const char* n : {"a.c", "b.c", "c.c"}) WriteFile(t / n, kBefore);
    ResetSettings(nullptr);
    Settings.Indenter = true;
    RecordingSink sink;
    ConsoleAttach(&console, &sink);
    static int seen;
    seen = 0;
    auto stopAtFirst = [](ctxFichier& ctx, const Dictionary*) {
        if (ctx.lineNumber == 1 && ++seen == 1) RequestStop();
        ctx.outputLines.push_back("//x\n");
        ctx.lineModified = true;
    };
    BatchTotals totals = RunBatch(t.path(), "", nullptr, stopAtFirst);
    ClearStopRequest();
    ConsoleDetach(&console);
    EXPECT_TRUE(totals.stopped);
    EXPECT_EQ(1, totals.files);
    EXPECT_EQ("//x\n", ReadFile(t / "a.c"));
    EXPECT_EQ(kBefore, ReadFile(t / "a.c.bak"));
    EXPECT_EQ(kBefore, ReadFile(t / "b.c"));
    EXPECT_FALSE(FileExists(t / "a.c.new"));
}
