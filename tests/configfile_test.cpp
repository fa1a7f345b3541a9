#include "config/configfile.h"

#include <gtest/gtest.h>

#include <algorithm>

#include "support/test_support.h"

namespace vantor {
namespace {

using test::FileExists;
using test::ReadFile;
using test::TempDir;
using test::WriteFile;

// The saved text uses the platform's line end in a new file.
std::string Eol(std::string text) {
    if (!kPlatformCrLf) return text;
    std::string out;
    for (char c : text) out += c == '\n' ? std::string("\r\n") : std::string(1, c);
    return out;
}

const char* Rtlf() { return kPlatformCrLf ? "1" : "0"; }

// Every saved setting but the lists, in one text for comparison.
std::string Scalars(const SettingsRecord& s) {
    std::string t = s.Source + "|" + s.Destination + "|" + s.DestinationDesign + "|" + s.Test + "|" + s.folderToIgnore;
    for (bool b : {s.SousRepertoire, s.Indenter, s.noInterrog, s.breakSurCase, s.monoInstruction, s.aligner,
                   s.couverture, s.accolades, s.rtlf, s.Methodes})
        t += b ? "1" : "0";
    for (int32_t n : {s.lnIndentation, s.imbrications, s.fonctions, s.instructions, s.caracteres})
        t += "|" + std::to_string(n);
    return t;
}

class ConfigFileTest : public ::testing::Test {
protected:
    void SetUp() override { ResetSettings(&dictionary); }
    void TearDown() override { ResetSettings(); }

    // Loads `text` written to a file, with the dictionary full of a stale row first.
    void LoadText(const std::string& text) {
        WriteFile(dir / "c.cod", text);
        dictionary.Add("stale", "row");
        std::string error;
        ASSERT_TRUE(LoadConfiguration(dir / "c.cod", dictionary, &error)) << error;
    }

    TempDir dir;
    Dictionary dictionary;
};

TEST_F(ConfigFileTest, DefaultConfigurationIsSavedInThisExactLayout) {
    std::string path = dir / "new.cod";
    std::string error;
    ASSERT_TRUE(SaveConfiguration(path, dictionary, &error)) << error;
    EXPECT_EQ(Settings.configFilePath, path);
    EXPECT_EQ(ReadFile(path), Eol(std::string("[General]\nSource=\"\"\nDestination=\"\"\nDestinationDesign=\"\"\n"
                                              "Test=\"\"\nSousRepertoire=0\nIndenter=0\nnoInterrog=0\n"
                                              "breakSurCase=1\nmonoInstruction=1\naligner=1\nLnIndentation=3\n"
                                              "instructions=100\nimbrications=8\nfonctions=20\ncaracteres=80\n"
                                              "couverture=0\naccolades=0\nfolderToIgnore=\nrtlf=") +
                                  Rtlf() + "\nMethodes=0\n[Masques]\n*.h=\n*.c=\n[MotsInterdits]\ngoto=\n"));
}

TEST_F(ConfigFileTest, SaveThenLoadGivesBackEverySetting) {
    SettingsRecord& s = Settings;
    s.Source = " src folder ";  // blanks at both ends survive the quoting
    s.Destination = "\"quoted\"";
    s.DestinationDesign = "d:\\design\\";
    s.Test = "";
    s.SousRepertoire = true, s.Indenter = true, s.noInterrog = true, s.breakSurCase = false;
    s.monoInstruction = false, s.aligner = false, s.couverture = true, s.accolades = true, s.rtlf = !kPlatformCrLf;
    s.Methodes = true;
    s.lnIndentation = 8, s.imbrications = -1, s.fonctions = 2147483647, s.instructions = 0, s.caracteres = 132;
    s.folderToIgnore = "tmp";
    s.Masques = {"*.cpp", "*.java"};
    s.PragmaAvant = {"#pragma location=0x1000", "#pragma pack(1)"};
    s.PragmaApres = {"#pragma pack()"};
    s.MotsInterdits.Add("malloc");
    s.MotsInterdits.Add("NULL");
    dictionary.Add("oldName", "newName");
    dictionary.Add("gone", "");
    dictionary.Add("a", "\"q\"");

    const SettingsRecord before = s;
    ASSERT_TRUE(SaveConfiguration(dir / "c.cod", dictionary));
    ResetSettings(&dictionary);
    ASSERT_TRUE(LoadConfiguration(dir / "c.cod", dictionary));

    EXPECT_EQ(Scalars(s), Scalars(before));
    EXPECT_EQ(s.Source, " src folder ");
    EXPECT_EQ(s.Masques, before.Masques);
    EXPECT_EQ(s.PragmaAvant, before.PragmaAvant);
    EXPECT_EQ(s.PragmaApres, before.PragmaApres);
    EXPECT_EQ(s.MotsInterdits.Items(), before.MotsInterdits.Items());
    ASSERT_EQ(dictionary.Count(), 3u);
    EXPECT_EQ(dictionary[0].oldName + ">" + dictionary[0].newName, "oldName>newName");
    EXPECT_EQ(dictionary[1].oldName + ">" + dictionary[1].newName, "gone>");
    EXPECT_EQ(dictionary[2].oldName + ">" + dictionary[2].newName, "a>\"q\"");
}

TEST_F(ConfigFileTest, ListEntriesAreKeys) {
    // Blanks around an entry are not kept, empty entries are skipped, and
    // entries differing only in letter case are stored once.
    Settings.Masques = {" *.cpp ", "", "  ", "*.H", "*.h"};
    Settings.PragmaApres.clear();
    Settings.MotsInterdits.Add("Goto");
    ASSERT_TRUE(SaveConfiguration(dir / "c.cod", dictionary));
    ASSERT_TRUE(LoadConfiguration(dir / "c.cod", dictionary));
    EXPECT_EQ(Settings.Masques, (std::vector<std::string>{"*.cpp", "*.H"}));
    EXPECT_EQ(Settings.MotsInterdits.Items(), (std::vector<std::string>{"Goto"}));
    EXPECT_TRUE(Settings.PragmaApres.empty());
}

TEST_F(ConfigFileTest, MissingKeysTakeTheLoadDefaults) {
    LoadText("[General]\ninstructions=50\n");
    const SettingsRecord& s = Settings;
    EXPECT_EQ(s.instructions, 50);
    EXPECT_TRUE(s.SousRepertoire);
    EXPECT_EQ(s.Source, ".");
    EXPECT_EQ(s.Destination + s.DestinationDesign + s.Test, "...");
    EXPECT_TRUE(s.Masques.empty());
    EXPECT_TRUE(s.MotsInterdits.Empty());
    EXPECT_TRUE(s.PragmaAvant.empty() && s.PragmaApres.empty());
    EXPECT_TRUE(dictionary.Empty());
    EXPECT_TRUE(s.noInterrog && s.breakSurCase && s.monoInstruction && s.aligner);
    EXPECT_FALSE(s.Indenter || s.couverture || s.accolades || s.Methodes);
    EXPECT_EQ(s.rtlf, kPlatformCrLf);
    EXPECT_EQ((std::vector<int32_t>{s.lnIndentation, s.imbrications, s.fonctions, s.caracteres}),
              (std::vector<int32_t>{3, 8, 20, 80}));
    EXPECT_EQ(s.folderToIgnore, "");
}

TEST_F(ConfigFileTest, KeysAndSectionsCompareWithoutCase) {
    LoadText("[GENERAL]\nsousrepertoire=0\nLNINDENTATION=7\nSOURCE=\"x\"\n[masques]\n*.c=\n[DICTIONNAIRE]\nold=new\n");
    EXPECT_FALSE(Settings.SousRepertoire);
    EXPECT_EQ(Settings.lnIndentation, 7);
    EXPECT_EQ(Settings.Source, "x");
    EXPECT_EQ(Settings.Masques, (std::vector<std::string>{"*.c"}));
    ASSERT_EQ(dictionary.Count(), 1u);
    EXPECT_EQ(dictionary[0].newName, "new");
}

TEST_F(ConfigFileTest, ValueThatIsNotANumberGivesTheDefault) {
    LoadText("[General]\nlnIndentation=abc\ncaracteres=0x50\nfonctions=12 functions\nSousRepertoire=yes\n"
             "imbrications= 4 \n");
    EXPECT_EQ(Settings.lnIndentation, 3);
    EXPECT_EQ(Settings.caracteres, 80);
    EXPECT_EQ(Settings.fonctions, 20);
    EXPECT_TRUE(Settings.SousRepertoire);
    EXPECT_EQ(Settings.imbrications, 4);
}

TEST_F(ConfigFileTest, SavingIntoAnExistingFileKeepsWhatItDoesNotWrite) {
    WriteFile(dir / "c.cod",
              "; my project\n[Masques]\n*.old=\n[General]\nVersion=7\nlnindentation=9\n"
              "[Other]\nx=1\n[MotsInterdits]\nfoo=\n[masques]\n*.stale=\n");
    Settings.PragmaAvant = {"#pragma a"};
    dictionary.Add("o", "n");
    ASSERT_TRUE(SaveConfiguration(dir / "c.cod", dictionary));
    EXPECT_EQ(ReadFile(dir / "c.cod"),
              std::string("; my project\n[General]\nVersion=7\nlnindentation=3\nSource=\"\"\nDestination=\"\"\n"
                          "DestinationDesign=\"\"\nTest=\"\"\nSousRepertoire=0\nIndenter=0\nnoInterrog=0\n"
                          "breakSurCase=1\nmonoInstruction=1\naligner=1\ninstructions=100\nimbrications=8\n"
                          "fonctions=20\ncaracteres=80\ncouverture=0\naccolades=0\nfolderToIgnore=\nrtlf=") +
                  Rtlf() +
                  "\nMethodes=0\n[Other]\nx=1\n[Masques]\n*.h=\n*.c=\n[Pragma avant]\n#pragma a=\n[Dictionnaire]\no=n\n"
                  "[MotsInterdits]\ngoto=\n");
}

TEST_F(ConfigFileTest, MissingFileLoadsDefaultsButIsReported) {
    Settings.Masques = {"*.x"};
    std::string error;
    EXPECT_FALSE(LoadConfiguration(dir / "none.cod", dictionary, &error));
    EXPECT_NE(error.find("none.cod"), std::string::npos);
    EXPECT_EQ(Settings.configFilePath, dir / "none.cod");
    EXPECT_EQ(Settings.Source, ".");
    EXPECT_TRUE(Settings.SousRepertoire);
    EXPECT_TRUE(Settings.Masques.empty());
    EXPECT_FALSE(FileExists(dir / "none.cod"));
}

TEST_F(ConfigFileTest, FailedSaveLeavesTheFileAsItWas) {
    std::string error;
    EXPECT_FALSE(SaveConfiguration(dir / "missing/c.cod", dictionary, &error));
    EXPECT_NE(error.find("c.cod"), std::string::npos);
    EXPECT_FALSE(FileExists(dir / "missing"));

    const std::string old = "[General]\r\nSource=\"keep\"\r\n";
    WriteFile(dir / "c.cod", old);
    Settings.Masques = {"*.c", "a=b", "[x].c"};  // a key cannot start with "["
    error.clear();
    EXPECT_FALSE(SaveConfiguration(dir / "c.cod", dictionary, &error));
    EXPECT_NE(error.find("[x].c"), std::string::npos);
    Settings.Masques = {"*.c"};
    Settings.Source = "two\nlines";
    EXPECT_FALSE(SaveConfiguration(dir / "c.cod", dictionary, &error));
    EXPECT_EQ(ReadFile(dir / "c.cod"), old);
}

}  // namespace
}  // namespace vantor
