// The self-installer's logic against a temporary HOME and XDG folders and a
// key store in memory: never the user's real folders.
#include "install/installer.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <map>

#include "console/recording_sink.h"
#include "support/test_support.h"

namespace vantor {
namespace {

using test::FileExists;
using test::ReadFile;
using test::TempDir;
using test::WriteFile;

// install.ini bytes: five sections of LF-ended lines.
std::string IniBytes(const std::vector<std::vector<std::string>>& sections, const char* eol = "\n") {
    std::string b;
    for (const auto& s : sections) {
        const uint32_t n = static_cast<uint32_t>(s.size());
        for (int i = 0; i < 4; ++i) b.push_back(static_cast<char>((n >> (8 * i)) & 0xff));
        for (const auto& l : s) b += l + eol;
    }
    return b;
}

class MemoryStore : public KeyStore {
public:
    std::map<std::string, std::map<std::string, std::string>> keys, userKeys;
    bool refuse = false;
    bool CreateKey(const std::string& k) override {
        if (refuse) return false;
        keys[k];
        return true;
    }
    void WriteString(const std::string& k, const std::string& n, const std::string& v) override { keys[k][n] = v; }
    void WriteInteger(const std::string& k, const std::string& n, int v) override { keys[k][n] = std::to_string(v); }
    bool ReadString(const std::string& k, const std::string& n, std::string* v) override {
        auto it = keys.find(k);
        if (it == keys.end() || !it->second.count(n)) return false;
        *v = it->second[n];
        return true;
    }
    void DeleteKey(const std::string& k) override { keys.erase(k); }
    std::vector<std::string> UserNames() override { return {"me"}; }
    void DeleteUserKey(const std::string&, const std::string& k) override { userKeys.erase(k); }
};

std::string Joined(const std::vector<std::string>& lines) {
    std::string all;
    for (const auto& l : lines) all += l + "\n";
    return all;
}

// A scratch world: HOME, XDG homes, a source folder holding the files and
// install.ini as the current folder, both memos attached.
class InstallerTest : public ::testing::Test {
protected:
    void SetUp() override {
        setenv("HOME", (dir / "home").c_str(), 1);
        setenv("XDG_DATA_HOME", (dir / "home/data").c_str(), 1);
        setenv("XDG_CONFIG_HOME", (dir / "home/config").c_str(), 1);
        mkdir((dir / "home").c_str(), 0755);
        mkdir((dir / "src").c_str(), 0755);
        WriteFile(dir / "home/keep.txt", "mine");
        WriteFile(dir / "src/vantor", std::string(70000, 'x'));  // more than two blocks
        chmod((dir / "src/vantor").c_str(), 0755);
        WriteFile(dir / "src/VANTOR.html", "<p>aide</p>");
        ASSERT_TRUE(getcwd(cwd_, sizeof cwd_));
        ASSERT_EQ(0, chdir((dir / "src").c_str()));
        ConsoleAttach(&console, &fr, true);
        ConsoleAttach(&englishConsole, &en, true);
        job.product = "Vantor";
        job.programName = "vantor";
        job.versionLabel = "Version=0.1.0";
        job.folder = SpecialFolder(FolderKind::ProgramFiles, false) + "/Vantor";
        job.menu = SpecialFolder(FolderKind::ProgramsMenu, false) + "/Vantor";
        job.startup = SpecialFolder(FolderKind::Startup, false);
        job.home = dir / "home";
        job.store = &store;
        job.ini = &ini;
    }
    void TearDown() override {
        ConsoleDetach(&console);
        ConsoleDetach(&englishConsole);
        ASSERT_EQ(0, chdir(cwd_));
    }
    void UseIni(const std::vector<std::vector<std::string>>& sections, const char* eol = "\n") {
        WriteFile(dir / "src/install.ini", IniBytes(sections, eol));
        ini = ReadInstallIni("install.ini");
    }
    void UseStandardIni() {
        UseIni({{"Bienvenue"}, {"Welcome"}, {"vantor", "VANTOR.html"},
                {"Vantor=vantor", "Aide=vantor  --help  \"two words\""}, {"Vantor au démarrage=vantor"}});
    }

    TempDir dir;
    RecordingMemoSink fr, en;
    MemoryStore store;
    InstallIni ini;
    InstallJob job;
    char cwd_[4096];
};

void ExpectShortcut(const std::string& line, const char* name, const char* target, const char* args) {
    ShortcutLine s;
    ASSERT_TRUE(ParseShortcutLine(line, &s)) << line;
    EXPECT_EQ(name, s.name) << line;
    EXPECT_EQ(target, s.target) << line;
    EXPECT_EQ(args != nullptr, s.hasArguments) << line;
    if (args) {
        EXPECT_EQ(args, s.arguments) << line;
    }
}

TEST(ShortcutLines, NameTargetAndArguments) {
    ExpectShortcut("Vantor=vantor -x", "Vantor", "vantor", "-x");
    ExpectShortcut("Vantor=vantor    -x  y", "Vantor", "vantor", "-x  y");  // leading blanks skipped
    ExpectShortcut("Vantor=vantor", "Vantor", "vantor", nullptr);
    ExpectShortcut("Vantor=vantor   ", "Vantor", "vantor", nullptr);        // blanks alone are no arguments
    ExpectShortcut("a=b=c d", "a", "b=c", "d");                             // the first "=" splits
    ShortcutLine s;
    EXPECT_FALSE(ParseShortcutLine("no equals sign", &s));
}

TEST(DesktopEntries, ExecQuotingAndEscapes) {
    EXPECT_EQ("/opt/V/vantor", DesktopExecArgument("/opt/V/vantor"));
    EXPECT_EQ("\"/opt/My V/vantor\"", DesktopExecArgument("/opt/My V/vantor"));
    // Quoted: \" ; then the file's escape doubles the backslash.
    EXPECT_EQ("\"a\\\\\"b\"", DesktopExecArgument("a\"b"));
    EXPECT_EQ("\"\\\\$HOME\"", DesktopExecArgument("$HOME"));
    EXPECT_EQ("100%%", DesktopExecArgument("100%"));
    EXPECT_EQ("\"\"", DesktopExecArgument(""));
    EXPECT_EQ((std::vector<std::string>{"--help", "two words", "x"}), SplitArguments("  --help \"two words\"  x "));
    const std::string args = "-c \"my file.cod\"";
    EXPECT_EQ("[Desktop Entry]\nType=Application\nName=Vantor\nExec=\"/opt/a b/vantor\" -c \"my file.cod\"\n"
              "Path=/opt/a b\nComment=Morvane\n",
              DesktopEntry("Vantor", "/opt/a b", "/opt/a b/vantor", &args, "Morvane"));
}

TEST(Guard, RefusesRootHomeAndItsParents) {
    TempDir d;
    const std::string home = d / "home";
    mkdir(home.c_str(), 0755);
    mkdir((d / "home/opt").c_str(), 0755);
    for (const std::string& f : {std::string(), std::string("relative/Vantor"), std::string("/"),
                                 std::string("//"), home, home + "/", d.path(), std::string("/tmp/..")})
        EXPECT_FALSE(SafeToClear(f, home)) << f;
    EXPECT_TRUE(SafeToClear(home + "/opt", home));
    EXPECT_TRUE(SafeToClear(home + "/opt/Vantor", home));  // need not exist
    for (const char* n : {"", ".", "..", "../x", "a/b"}) EXPECT_FALSE(SafeEntryName(n)) << n;
    EXPECT_TRUE(SafeEntryName("Vantor au démarrage"));
}

TEST(Folders, UserAndRootPlaces) {
    TempDir d;
    setenv("HOME", d.path().c_str(), 1);
    unsetenv("XDG_DATA_HOME");
    unsetenv("XDG_CONFIG_HOME");
    EXPECT_EQ(d / ".local/opt", SpecialFolder(FolderKind::ProgramFiles, false));
    EXPECT_EQ(d / ".local/share/applications", SpecialFolder(FolderKind::ProgramsMenu, false));
    EXPECT_EQ(d / ".config/autostart", SpecialFolder(FolderKind::Startup, false));
    setenv("XDG_DATA_HOME", "/x/data", 1);
    setenv("XDG_CONFIG_HOME", "/x/config", 1);
    EXPECT_EQ("/x/data/applications", SpecialFolder(FolderKind::ProgramsMenu, false));
    EXPECT_EQ("/x/config/autostart", SpecialFolder(FolderKind::Startup, false));
    EXPECT_EQ("/opt", SpecialFolder(FolderKind::ProgramFiles, true));
    EXPECT_EQ("/usr/share/applications", SpecialFolder(FolderKind::ProgramsMenu, true));
    EXPECT_EQ("/etc/xdg/autostart", SpecialFolder(FolderKind::Startup, true));
}

TEST(Language, FromTheLocale) {
    auto french = [](const char* all, const char* messages, const char* lang) {
        for (auto [n, v] : {std::pair{"LC_ALL", all}, {"LC_MESSAGES", messages}, {"LANG", lang}})
            v ? setenv(n, v, 1) : unsetenv(n);
        return LocaleIsFrench();
    };
    EXPECT_TRUE(french(nullptr, nullptr, nullptr));
    EXPECT_TRUE(french(nullptr, nullptr, "fr_CA.UTF-8"));
    EXPECT_FALSE(french(nullptr, nullptr, "en_GB.UTF-8"));
    EXPECT_FALSE(french("C", nullptr, "fr_FR.UTF-8"));  // LC_ALL wins
    EXPECT_TRUE(french(nullptr, "fr_BE", "en_US"));
}

TEST_F(InstallerTest, DescriptionFileLayout) {
    UseIni({{"Bonjour", "", "à tous"}, {"Hello"}, {"a", "b"}, {}, {"x=y"}});
    ASSERT_TRUE(ini.open);
    EXPECT_EQ((std::vector<std::string>{"Bonjour", "à tous"}), ini.sections[0]);  // empty line ignored
    EXPECT_EQ((std::vector<std::string>{"a", "b"}), ini.sections[2]);
    EXPECT_TRUE(ini.sections[3].empty());
    EXPECT_EQ((std::vector<std::string>{"x=y"}), ini.sections[4]);
    UseIni({{std::string(700, 'L')}, {}, {}, {}, {}});
    EXPECT_EQ(std::string(700, 'L'), ini.sections[0].at(0));  // a long line stays whole
    EXPECT_FALSE(ReadInstallIni(dir / "none.ini").open);
}

TEST_F(InstallerTest, CrLfNamesKeepTheirCrAndAreNotFound) {
    UseIni({{"Bienvenue"}, {"Welcome"}, {"vantor"}, {"Vantor=vantor"}, {}}, "\r\n");
    EXPECT_EQ("vantor\r", ini.sections[2].at(0));
    EXPECT_FALSE(RunInstall(job));
    EXPECT_FALSE(FileExists(job.folder + "/vantor"));
    EXPECT_NE(std::string::npos, Joined(en.lines).find("Unable to open for reading vantor\r"));
}

TEST_F(InstallerTest, InstallsThenUninstallsLeavingNothingElse) {
    UseStandardIni();
    WriteFile(SpecialFolder(FolderKind::Startup, false) + "/other.desktop", "x");  // not ours
    ASSERT_TRUE(RunInstall(job)) << Joined(en.lines);
    EXPECT_EQ(ReadFile(dir / "src/vantor"), ReadFile(job.folder + "/vantor"));
    EXPECT_EQ("<p>aide</p>", ReadFile(job.folder + "/VANTOR.html"));
    struct stat st;
    ASSERT_EQ(0, stat((job.folder + "/vantor").c_str(), &st));
    EXPECT_TRUE(st.st_mode & S_IXUSR);
    const std::string help = ReadFile(job.menu + "/Aide.desktop");
    EXPECT_NE(std::string::npos, help.find("Exec=" + job.folder + "/vantor --help \"two words\"\n")) << help;
    EXPECT_NE(std::string::npos, help.find("Path=" + job.folder + "\n"));
    for (const std::string& e : {job.menu + "/Vantor.desktop", job.menu + "/Aide.desktop",
                                 job.startup + "/Vantor au démarrage.desktop"})
        EXPECT_EQ(0, std::system(("desktop-file-validate " + test::ShellQuote(e)).c_str())) << e;
    const auto& machine = store.keys[MachineKey("Vantor")];
    EXPECT_EQ(job.folder, machine.at("Program"));
    EXPECT_EQ(job.menu, machine.at("Menu"));
    EXPECT_EQ("Version=0.1.0", machine.at("Version"));
    EXPECT_EQ("1", machine.at("French"));
    EXPECT_EQ("Vantor - Morvane", store.keys[UninstallKey("Vantor")].at("DisplayName"));
    EXPECT_EQ(job.folder + "/vantor -uninstall", store.keys[UninstallKey("Vantor")].at("UninstallString"));
    EXPECT_EQ("Installation finished", en.lines.back());
    EXPECT_EQ("Installation terminée", fr.lines.back());
    EXPECT_NE(std::string::npos, Joined(fr.lines).find("Copie vantor ok\n"));

    // The update notice of a second installation names the recorded version.
    Previous p = ReadPrevious(store, "Vantor");
    EXPECT_TRUE(p.found);
    PrintWelcome(job, p);
    EXPECT_EQ("Update from the version Version=0.1.0, previous Vantor must be not running.", en.lines.back());
    EXPECT_EQ("Mise à jour depuis la version Version=0.1.0, Veillez à ce que Vantor soit arrêté.", fr.lines.back());

    store.userKeys[MachineKey("Vantor")]["x"] = "1";
    EXPECT_TRUE(RunUninstall(job)) << Joined(en.lines);
    EXPECT_FALSE(FileExists(job.folder));
    EXPECT_FALSE(FileExists(job.menu));
    EXPECT_FALSE(FileExists(job.startup + "/Vantor au démarrage.desktop"));
    EXPECT_TRUE(FileExists(job.startup + "/other.desktop"));
    EXPECT_TRUE(FileExists(dir / "home/keep.txt"));
    EXPECT_TRUE(FileExists(dir / "src/vantor"));
    EXPECT_TRUE(store.keys.empty());
    EXPECT_TRUE(store.userKeys.empty());
    EXPECT_EQ("Uninstall finished", en.lines.back());
    EXPECT_NE(std::string::npos, Joined(en.lines).find("-entry me\\Software\\Morvane\\\n"));
}

TEST_F(InstallerTest, FailingCopyStopsThereWithoutShortcutsButRecordsUninstall) {
    UseIni({{}, {}, {"vantor", "missing", "VANTOR.html"}, {"Vantor=vantor"}, {"Auto=vantor"}});
    EXPECT_FALSE(RunInstall(job));
    EXPECT_TRUE(FileExists(job.folder + "/vantor"));
    EXPECT_FALSE(FileExists(job.folder + "/VANTOR.html"));
    EXPECT_FALSE(FileExists(job.menu + "/Vantor.desktop"));
    EXPECT_FALSE(FileExists(job.startup + "/Auto.desktop"));
    EXPECT_TRUE(store.keys.count(UninstallKey("Vantor")));
    EXPECT_NE(std::string::npos, Joined(en.lines).find("Copy missing Unable to open for reading missing\n"
                                                       "error, protection or active program?\n"));
}

TEST_F(InstallerTest, ShortcutFailureSkipsTheRestOfItsSectionOnly) {
    UseIni({{}, {}, {"vantor"}, {"A/B=vantor", "C=vantor"}, {"D=vantor"}});
    EXPECT_FALSE(RunInstall(job));
    EXPECT_FALSE(FileExists(job.menu + "/C.desktop"));
    EXPECT_TRUE(FileExists(job.startup + "/D.desktop"));
    EXPECT_NE(std::string::npos, Joined(en.lines).find("unable to create the shortcut " + job.menu + "/A/B.desktop"));
}

TEST_F(InstallerTest, NoDescriptionFileInstallsNothing) {
    ini = ReadInstallIni("install.ini");
    PrintWelcome(job, Previous());
    EXPECT_EQ("Installation file not found", en.lines.back());
    EXPECT_EQ("Fichier d'installation introuvable", fr.lines.back());
    EXPECT_FALSE(RunInstall(job));
    EXPECT_TRUE(store.keys.empty());
    EXPECT_FALSE(FileExists(job.folder));
}

TEST_F(InstallerTest, DamagedRecordNeverEmptiesHome) {
    UseStandardIni();
    job.folder = dir / "home";
    job.menu = "/";
    EXPECT_FALSE(RunUninstall(job));
    EXPECT_TRUE(FileExists(dir / "home/keep.txt"));
    EXPECT_NE(std::string::npos, Joined(en.lines).find("installation folder refused: " + job.folder));
    EXPECT_NE(std::string::npos, Joined(en.lines).find("menu folder refused: /"));
}

TEST_F(InstallerTest, CopyFileCheckedReportsOpenFailures) {
    EXPECT_TRUE(CopyFileChecked("vantor", dir / "copy"));
    EXPECT_EQ(ReadFile("vantor"), ReadFile(dir / "copy"));
    EXPECT_FALSE(CopyFileChecked("vantor", dir / "no/such/folder/copy"));
    EXPECT_EQ("unable to opent for writting " + (dir / "no/such/folder/copy"), en.lines.back());
    EXPECT_EQ("impossible d'ouvrir " + (dir / "no/such/folder/copy") + " en ecriture", fr.lines.back());
    struct stat st;
    // Only the device itself: a plain file of that name is never written.
    if (stat("/dev/full", &st) == 0 && S_ISCHR(st.st_mode)) {
        EXPECT_FALSE(CopyFileChecked("vantor", "/dev/full"));
        EXPECT_EQ("write error /dev/full", en.lines.back());
    }
}

}  // namespace
}  // namespace vantor

namespace vantor {
namespace {

TEST_F(InstallerTest, UninstallCopiesProgramAndDescriptionToTheTemporaryFolder) {
    for (const char* n : {"TMPDIR", "TEMP", "TMP"}) unsetenv(n);
    EXPECT_EQ("/tmp", TemporaryFolder());
    setenv("TMP", "/t3", 1);
    setenv("TEMP", "/t2", 1);
    EXPECT_EQ("/t2", TemporaryFolder());
    mkdir((dir / "tmp").c_str(), 0755);
    std::string copy;
    EXPECT_FALSE(PrepareUninstallCopy(dir / "src/vantor", dir / "tmp", &copy));  // no install.ini yet
    EXPECT_TRUE(FileExists(copy));  // both copies are attempted
    UseStandardIni();
    EXPECT_TRUE(PrepareUninstallCopy(dir / "src/vantor", dir / "tmp", &copy));
    EXPECT_EQ(dir / "tmp/vantor", copy);
    EXPECT_EQ(ReadFile(dir / "src/install.ini"), ReadFile(dir / "tmp/install.ini"));
    EXPECT_EQ(0, access(copy.c_str(), X_OK));
}

}  // namespace
}  // namespace vantor
