// What a batch command does around its run, shared by the window and vantor-cli.
#include "config/command.h"

#include <gtest/gtest.h>

#include <string>

#include "platform/fs.h"
#include "support/test_support.h"

using namespace vantor;
using vantor::test::TempDir;
using vantor::test::WriteFile;

TEST(Command, RunFlagsOfEachCommand) {
    ResetSettings();
    SetRunFlags(BatchCommand::Replace, true);
    EXPECT_TRUE(Settings.dictionaryMode && Settings.replaceMode && Settings.substringMode);
    SetRunFlags(BatchCommand::Check, false);  // keeps the sub-string state of the last Search or Replace
    EXPECT_TRUE(Settings.checkMode && !Settings.dictionaryMode && Settings.substringMode && !Settings.Indenter);
    Settings.aligner = false;
    SetRunFlags(BatchCommand::Instrument, true);
    EXPECT_TRUE(Settings.couverture && Settings.Indenter && !Settings.substringMode && Settings.aligner);
    SetRunFlags(BatchCommand::Design, false);
    EXPECT_TRUE(Settings.designMode && Settings.Indenter && !Settings.couverture);
}

TEST(Command, DestinationChecks) {
    TempDir t;
    CreateFolders(t / "src/sub");
    WriteFile(t / "src/a.c", "int a;\n");
    const std::string src = t / "src";
    EXPECT_EQ(CheckDesignDestination("", src, false), DestinationFault::Missing);
    EXPECT_EQ(CheckDesignDestination(t / "SRC/", t / "src", false), DestinationFault::SameAsSource);
    EXPECT_EQ(CheckDesignDestination(t / "src/sub/..", src, false), DestinationFault::SameAsSource);
    EXPECT_EQ(CheckDesignDestination(t / "src/pages", src, true), DestinationFault::SameAsSource);
    EXPECT_EQ(CheckDesignDestination(t / "src/pages", src, false), DestinationFault::None);
    EXPECT_EQ(CheckInstrumentDestination("", src, false), DestinationFault::Missing);
    EXPECT_EQ(CheckInstrumentDestination(src, t / "src/a.c", false), DestinationFault::SameAsSource);
    EXPECT_EQ(CheckInstrumentDestination(t / "src/out", src, true), DestinationFault::SameAsSource);
    EXPECT_EQ(CheckInstrumentDestination(t / "out", src, true), DestinationFault::None);
}

TEST(Command, DestinationMessagesInBothLanguages) {
    French = true;
    EXPECT_STREQ(DestinationMessage(BatchCommand::Instrument, DestinationFault::Missing),
                 "Vous devez spéficier un répertoire de destination\n");
    EXPECT_STREQ(DestinationMessage(BatchCommand::Design, DestinationFault::SameAsSource),
                 "Les répertoires sources et destination doivent être différents\n");
    French = false;
    EXPECT_STREQ(DestinationMessage(BatchCommand::Instrument, DestinationFault::SameAsSource),
                 "Yous must select a different destination than source\n");
    EXPECT_EQ(DestinationMessage(BatchCommand::Design, DestinationFault::None), nullptr);
    French = true;
}

TEST(Command, CountsTheFilesTheWalkTakes) {
    ResetSettings();
    const std::string samples = VANTOR_SOURCE_DIR "/samples";
    EXPECT_EQ(CountBatchFiles(samples), 4);  // *.h and *.c on top, portab.h left out
    Settings.SousRepertoire = true;
    Settings.Masques = {"*.c", "*.cpp", "*.java"};
    EXPECT_EQ(CountBatchFiles(samples), 7);
    Settings.folderToIgnore = "util";
    EXPECT_EQ(CountBatchFiles(samples), 5);  // demo/ and java/ only
    EXPECT_EQ(CountBatchFiles(samples + "/stack.c"), 1);
    EXPECT_EQ(CountBatchFiles(""), 0);
}
