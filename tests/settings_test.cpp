#include <gtest/gtest.h>

#include "config/settings.h"

using namespace vantor;

TEST(ResetSettings, GivesTheBuiltInDefaults) {
    Dictionary dico;
    dico.Add("old", "new");
    Settings.Source = "src";
    Settings.configFilePath = "x.cod";
    Settings.SousRepertoire = true;
    Settings.noInterrog = true;
    Settings.aligner = false;
    Settings.replaceMode = true;
    Settings.PragmaAvant = {"#pragma a"};
    Settings.PragmaApres = {"#pragma b"};
    Settings.Masques = {"*.java"};
    Settings.MotsInterdits.Add("malloc");
    Settings.checkMode = true;
    Settings.substringMode = true;
    ResetSettings(&dico);

    const SettingsRecord& s = Settings;
    EXPECT_EQ("", s.configFilePath);
    EXPECT_FALSE(s.replaceMode);
    EXPECT_EQ("", s.Source);
    EXPECT_EQ("", s.Destination);
    EXPECT_EQ("", s.DestinationDesign);
    EXPECT_EQ("", s.Test);
    EXPECT_FALSE(s.SousRepertoire);  // New keeps the walk in the top folder
    EXPECT_FALSE(s.Indenter);
    EXPECT_FALSE(s.noInterrog);
    EXPECT_TRUE(s.breakSurCase);
    EXPECT_TRUE(s.monoInstruction);
    EXPECT_TRUE(s.aligner);
    EXPECT_EQ(3, s.lnIndentation);
    EXPECT_EQ(8, s.imbrications);
    EXPECT_EQ(20, s.fonctions);
    EXPECT_EQ(100, s.instructions);
    EXPECT_EQ(80, s.caracteres);
    EXPECT_FALSE(s.couverture);
    EXPECT_FALSE(s.accolades);
    EXPECT_FALSE(s.Methodes);
    EXPECT_EQ("", s.folderToIgnore);
    EXPECT_EQ(kPlatformCrLf, s.rtlf);
    EXPECT_EQ((std::vector<std::string>{"*.h", "*.c"}), s.Masques);
    EXPECT_EQ((std::vector<std::string>{"goto"}), s.MotsInterdits.Items());
    EXPECT_TRUE(s.PragmaAvant.empty());
    EXPECT_TRUE(s.PragmaApres.empty());
    EXPECT_TRUE(dico.Empty());
    // Run flags other than replaceMode are the commands' business.
    EXPECT_TRUE(s.checkMode);
    EXPECT_TRUE(s.substringMode);
}

TEST(ResetSettings, WithoutGridLeavesNoDictionaryToClear) {
    ResetSettings();
    EXPECT_EQ(2u, Settings.Masques.size());
}

TEST(SortedStringList, KeepsSortedAndDropsDuplicates) {
    SortedStringList l;
    EXPECT_TRUE(l.Add("goto"));
    EXPECT_FALSE(l.Add("goto"));
    EXPECT_TRUE(l.Add("Goto"));  // case-sensitive
    EXPECT_TRUE(l.Add("alloca"));
    EXPECT_EQ((std::vector<std::string>{"Goto", "alloca", "goto"}), l.Items());
    EXPECT_TRUE(l.Contains("alloca"));
    EXPECT_FALSE(l.Contains("ALLOCA"));
}

// Contains first tests the first byte and the length: no item may be missed
// that way, and a Clear forgets them.
TEST(SortedStringList, ContainsEveryItemOfAnyLength) {
    SortedStringList l;
    const std::string longWord(70, 'x');
    for (const std::string& w : {std::string("goto"), std::string("go"), std::string(""),
                                 std::string("\xE9t\xE9"), longWord})
        l.Add(w);
    for (const std::string& w : l.Items()) EXPECT_TRUE(l.Contains(w)) << w;
    EXPECT_FALSE(l.Contains("got"));
    EXPECT_FALSE(l.Contains("gotos"));
    EXPECT_FALSE(l.Contains(std::string(71, 'x')));  // same filter bit as the long word
    EXPECT_FALSE(l.Contains(std::string(69, 'x') + "y"));
    l.Clear();
    EXPECT_FALSE(l.Contains("goto"));
    EXPECT_FALSE(l.Contains(""));
    EXPECT_TRUE(l.Add("goto"));
    EXPECT_TRUE(l.Contains("goto"));
}

TEST(Dictionary, OldNamesAreUniqueWithoutRegardToCase) {
    Dictionary d;
    EXPECT_TRUE(d.Add("count", "total"));
    EXPECT_FALSE(d.Add("Count", "other"));
    EXPECT_TRUE(d.Add("a", "b"));
    ASSERT_NE(nullptr, d.Find("COUNT"));
    EXPECT_EQ("total", d.Find("COUNT")->newName);
    EXPECT_EQ(nullptr, d.Find("coun"));
    EXPECT_EQ(nullptr, d.Find("counts"));
    // Names alike in length and first and last letters, and a name longer than the look-up key holds.
    EXPECT_TRUE(d.Add("cant", "x") && d.Add("a_name_longer_than_thirty_two_bytes", "y"));
    EXPECT_TRUE(d.Find("CANT") && d.Find("A_name_longer_than_thirty_two_bytes") && !d.Find("cart"));
    EXPECT_FALSE(d.SetRow(1, "count", "x"));  // would duplicate row 0
    EXPECT_TRUE(d.SetRow(0, "COUNT", "sum"));  // a row may change its own case
    EXPECT_EQ("sum", d.Find("count")->newName);
    EXPECT_TRUE(d.RemoveRow(0));
    EXPECT_FALSE(d.RemoveRow(5));
    EXPECT_EQ(3u, d.Count());
}
