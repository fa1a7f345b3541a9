#include "config/inifile.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <csignal>
#include <filesystem>

#include "support/test_support.h"

#ifndef _WIN32
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace vantor {
namespace {

using test::FileExists;
using test::ReadFile;
using test::TempDir;
using test::WriteFile;

IniFile FromText(const std::string& text) {
    IniFile ini;
    ini.SetText(text);
    return ini;
}

std::string Read(const std::string& text, const char* section, const char* key) {
    return FromText(text).ReadString(section, key, "<def>");
}

int32_t ReadInt(const std::string& value) { return FromText("[S]\nk=" + value + "\n").ReadInteger("S", "k", -99); }

// Names of the files in a folder, to see that no temporary file stays behind.
std::vector<std::string> Names(const std::string& folder) {
    std::vector<std::string> names;
    for (auto& e : std::filesystem::directory_iterator(folder)) names.push_back(e.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
}

TEST(IniFileTest, ReadStringFollowsPrivateProfileRules) {
    EXPECT_EQ(Read("[General]\nSource=\" a b \"\n", "General", "Source"), " a b ");
    EXPECT_EQ(Read("[general]\n  SOURCE  =  x y  \n", "General", "source"), "x y");
    EXPECT_EQ(Read("[ General ] ; note\nk=v\n", "GENERAL", " k "), "v");
    EXPECT_EQ(Read("[S]\nk=\"\"\n", "S", "k"), "");
    EXPECT_EQ(Read("[S]\nk=\"a\"b\"\n", "S", "k"), "a\"b");  // one pair only
    EXPECT_EQ(Read("[S]\nk=\"a\n", "S", "k"), "\"a");
    EXPECT_EQ(Read("[S]\nk='a'\n", "S", "k"), "'a'");
    EXPECT_EQ(Read("[S]\nk=a=b\n", "S", "k"), "a=b");
    EXPECT_EQ(Read("\xEF\xBB\xBF[S]\nk=bom\n", "S", "k"), "bom");
    EXPECT_EQ(Read("[S]\nk=first\nK=second\n[s]\nk=third\n", "S", "k"), "first");
    EXPECT_EQ(Read("[S]\nk=v\n", "S", "other"), "<def>");
    EXPECT_EQ(Read("[S]\nk=v\n", "T", "k"), "<def>");
    EXPECT_EQ(Read("k=before any section\n[S]\n", "S", "k"), "<def>");
    EXPECT_EQ(Read("[T]\nk=v\n[S]\n", "S", "k"), "<def>");
    EXPECT_EQ(Read("[S]\n;k=comment\n", "S", ";k"), "<def>");
    EXPECT_EQ(Read("[S\nk=v\n", "S", "k"), "<def>");  // no "]": not a header
}

TEST(IniFileTest, ReadIntegerIsDecimalOnlyAndWholeValue) {
    EXPECT_EQ(ReadInt("50"), 50);
    EXPECT_EQ(ReadInt("  -7  "), -7);
    EXPECT_EQ(ReadInt("+3"), 3);
    EXPECT_EQ(ReadInt("\"12\""), 12);
    EXPECT_EQ(ReadInt("2147483647"), 2147483647);
    EXPECT_EQ(ReadInt("-2147483648"), INT32_MIN);
    EXPECT_EQ(ReadInt("2147483648"), -99);
    EXPECT_EQ(ReadInt("99999999999999999999"), -99);
    EXPECT_EQ(ReadInt("0x10"), -99);
    EXPECT_EQ(ReadInt("12abc"), -99);
    EXPECT_EQ(ReadInt(""), -99);
    EXPECT_EQ(FromText("[S]\n").ReadInteger("S", "k", 4), 4);

    IniFile ini = FromText("[S]\nzero=0\ntwo=2\nminus=-1\nword=true\n");
    EXPECT_FALSE(ini.ReadBool("S", "zero", true));
    EXPECT_TRUE(ini.ReadBool("S", "two", false));
    EXPECT_TRUE(ini.ReadBool("S", "minus", false));
    EXPECT_TRUE(ini.ReadBool("S", "word", true));
    EXPECT_FALSE(ini.ReadBool("S", "word", false));
    EXPECT_TRUE(ini.ReadBool("S", "missing", true));
}

TEST(IniFileTest, ReadSectionGivesKeysInFileOrder) {
    IniFile ini = FromText("[L]\nb=\n  a  = 1\nno equals sign\n;c=\n\nB=\"q\"\n[M]\nm=\n");
    EXPECT_EQ(ini.ReadSection("l"), (std::vector<std::string>{"b", "a", "B"}));
    using Pairs = std::vector<std::pair<std::string, std::string>>;
    EXPECT_EQ(ini.ReadSectionValues("L"), (Pairs{{"b", ""}, {"a", "1"}, {"B", "\"q\""}}));
    EXPECT_TRUE(ini.ReadSection("missing").empty());
    EXPECT_TRUE(ini.SectionExists("m"));
    EXPECT_FALSE(ini.KeyExists("L", "no equals sign"));
}

TEST(IniFileTest, TextComesBackAsItWas) {
    for (const char* text : {"; top\n[A]\n  x = 1 ; not a comment\n\nodd line\n[B]\n", "[A]\r\nk=v\r\n\r\n",
                             "\xEF\xBB\xBF[A]\nk=v\n", ""})
        EXPECT_EQ(FromText(text).Text(), text);
    EXPECT_EQ(FromText("[A]\r\nk=v").Text(), "[A]\r\nk=v\r\n");  // last line gets its line end
    EXPECT_EQ(FromText("[A]\nk=v\r\nj=w\r").Text(), "[A]\nk=v\nj=w\n");  // the first line end wins
}

TEST(IniFileTest, WriteStringReplacesInPlaceOrAppendsToItsSection) {
    IniFile ini = FromText("[General]\nlnIndentation = 3\nVersion=2\n\n[Masques]\n*.c=\n");
    EXPECT_TRUE(ini.WriteString("general", "LnIndentation", "5"));  // the file's spelling stays
    EXPECT_TRUE(ini.WriteString("General", "New", "  x "));         // leading blanks are not written
    EXPECT_TRUE(ini.WriteInteger("Other", "n", -4));
    EXPECT_TRUE(ini.WriteBool("Other", "b", true));
    EXPECT_EQ(ini.Text(), "[General]\nlnIndentation=5\nVersion=2\nNew=x \n\n[Masques]\n*.c=\n[Other]\nn=-4\nb=1\n");
    EXPECT_EQ(ini.ReadInteger("GENERAL", "lnindentation", 0), 5);
}

TEST(IniFileTest, WriteStringRefusesWhatCouldNotBeReadBack) {
    const std::string text = "[S]\nk=v\n";
    IniFile ini = FromText(text);
    EXPECT_FALSE(ini.WriteString("S", "a=b", ""));
    EXPECT_FALSE(ini.WriteString("S", ";a", ""));
    EXPECT_FALSE(ini.WriteString("S", "[a]", ""));
    EXPECT_FALSE(ini.WriteString("S", "  ", "v"));
    EXPECT_FALSE(ini.WriteString(" ", "k", "v"));
    EXPECT_FALSE(ini.WriteString("S", "k", "line\n[Injected]"));
    EXPECT_FALSE(ini.WriteString("S", "k", "cr\r"));
    EXPECT_FALSE(ini.WriteString("S", "k", std::string("nul\0", 4)));
    EXPECT_FALSE(ini.WriteString("S\nT", "k", "v"));
    EXPECT_EQ(ini.Text(), text);
    EXPECT_TRUE(ini.WriteString("S", "k", "a=b"));  // "=" in a value is fine
    EXPECT_EQ(ini.ReadString("S", "k", ""), "a=b");
}

TEST(IniFileTest, EraseSectionRemovesEveryCopy) {
    IniFile ini = FromText("[A]\na=\n; about B\n[B]\nb=1\n\n[a]\nstale=\n[C]\nc=\n");
    ini.EraseSection("A");
    EXPECT_EQ(ini.Text(), "[B]\nb=1\n\n[C]\nc=\n");
    ini.EraseSection("missing");
    EXPECT_TRUE(ini.WriteString("A", "new", ""));
    EXPECT_EQ(ini.ReadSection("a"), (std::vector<std::string>{"new"}));
}

TEST(IniFileTest, LoadReportsMissingAndUnreadableFiles) {
    TempDir dir;
    IniFile ini;
    std::string error;
    EXPECT_FALSE(ini.Load(dir / "none.ini", &error));
    EXPECT_TRUE(ini.Missing());
    EXPECT_NE(error.find("none.ini"), std::string::npos);

    error.clear();
    EXPECT_FALSE(ini.Load(dir.path(), &error));
    EXPECT_FALSE(ini.Missing());
    EXPECT_FALSE(error.empty());

    WriteFile(dir / "a.ini", "[S]\r\nk=v\r\n");
    EXPECT_TRUE(ini.Load(dir / "a.ini", &error));
    EXPECT_EQ(ini.ReadString("s", "K", ""), "v");
}

TEST(IniFileTest, SaveReplacesTheFileWholeOrNotAtAll) {
    TempDir dir;
    IniFile ini = FromText("[S]\nk=v\n");
    std::string error;
    EXPECT_FALSE(ini.Save(dir / "no/such/folder/a.ini", &error));
    EXPECT_NE(error.find("a.ini"), std::string::npos);
    EXPECT_FALSE(FileExists(dir / "no"));

    EXPECT_FALSE(ini.Save(dir.path(), &error));  // a folder is not replaced
    EXPECT_TRUE(std::filesystem::is_directory(dir.path()));

    const std::string path = dir / "a.ini";
    ASSERT_TRUE(ini.Save(path, &error)) << error;
    EXPECT_EQ(ReadFile(path), "[S]\nk=v\n");
    EXPECT_EQ(Names(dir.path()), (std::vector<std::string>{"a.ini"}));
}

#ifndef _WIN32
TEST(IniFileTest, SaveFailingMidWriteLeavesTheOldFileIntact) {
    TempDir dir;
    const std::string path = dir / "a.ini";
    const std::string old = "[Old]\nkept=1\n";
    WriteFile(path, old);
    IniFile ini = FromText("[New]\nvalue=" + std::string(4096, 'x') + "\n");

    // A file-size limit makes the write fail after its first bytes, as a full disk would.
    struct rlimit saved;
    ASSERT_EQ(getrlimit(RLIMIT_FSIZE, &saved), 0);
    auto oldHandler = std::signal(SIGXFSZ, SIG_IGN);
    struct rlimit small = saved;
    small.rlim_cur = 100;
    ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &small), 0);
    std::string error;
    bool saved_ok = ini.Save(path, &error);
    setrlimit(RLIMIT_FSIZE, &saved);
    std::signal(SIGXFSZ, oldHandler);

    EXPECT_FALSE(saved_ok);
    EXPECT_NE(error.find("a.ini"), std::string::npos);
    EXPECT_EQ(ReadFile(path), old);
    EXPECT_EQ(Names(dir.path()), (std::vector<std::string>{"a.ini"}));
}

TEST(IniFileTest, SaveKeepsModeAndLinks) {
    TempDir dir;
    const std::string path = dir / "a.ini";
    WriteFile(path, "[S]\n");
    ASSERT_EQ(chmod(path.c_str(), 0640), 0);
    ASSERT_EQ(symlink("a.ini", (dir / "link.ini").c_str()), 0);
    IniFile ini = FromText("[S]\nk=v\n");
    ASSERT_TRUE(ini.Save(dir / "link.ini"));
    EXPECT_TRUE(std::filesystem::is_symlink(dir / "link.ini"));
    EXPECT_EQ(ReadFile(path), "[S]\nk=v\n");
    struct stat st;
    ASSERT_EQ(stat(path.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0640u);
}

TEST(IniFileTest, SaveRefusesAReadOnlyFile) {
    if (geteuid() == 0) GTEST_SKIP() << "root may write a read-only file";
    TempDir dir;
    const std::string path = dir / "a.ini";
    WriteFile(path, "[S]\nk=v\n");
    ASSERT_EQ(chmod(path.c_str(), 0440), 0);
    EXPECT_FALSE(FromText("[S]\nk=changed\n").Save(path));
    EXPECT_EQ(ReadFile(path), "[S]\nk=v\n");
}
#endif

}  // namespace
}  // namespace vantor
