// The self-installer's logic, without the window: the description file
// install.ini, shortcut lines, the checked copy, the well-known folders, the
// desktop entries that stand for shortcuts, the guard that keeps a damaged
// record from deleting a user's files, and the install and uninstall steps.
// Everything is reported twice: French to `console`, English to
// `englishConsole`.
#pragma once

#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "console/console.h"

namespace vantor {

extern TConsole englishConsole;  // the installer's second console (MemoEnglish)

// install.ini: five sections, each a 32-bit little-endian count followed by
// that many LF-ended lines (a CR before the LF stays in the line). Empty
// lines are ignored by every consumer, so they are not kept.
struct InstallIni {
    bool open = false;
    std::vector<std::string> sections[5];
};
InstallIni ReadInstallIni(const std::string& path);

// "name=target arguments": the name before the first "=", the target up to
// the first blank, the arguments after the blanks that follow it.
struct ShortcutLine {
    std::string name, target, arguments;
    bool hasArguments = false;
};
bool ParseShortcutLine(const std::string& line, ShortcutLine* out);  // false: no "="

// Copies in blocks of 32768 bytes; every failure is reported and returns false.
bool CopyFileChecked(const std::string& source, const std::string& destination);

enum class FolderKind { Startup, ProgramFiles, ProgramsMenu };
// The folders for root (system-wide) or for the user (XDG data and config homes).
std::string SpecialFolder(FolderKind kind, bool asRoot);
// Root installs system-wide; systemWide, when 0 or 1, decides instead (tests).
extern int systemWide;
bool RunningAsRoot();

// Creates `path` level by level; reports each folder it created.
void CreateFoldersReported(const std::string& path);

// Exec quoting of the desktop-entry rules, then the string escapes of the file.
std::string DesktopExecArgument(const std::string& arg);
// Splits the shortcut's argument text at blanks; double quotes group.
std::vector<std::string> SplitArguments(const std::string& text);
std::string DesktopEntry(const std::string& name, const std::string& workingFolder,
                         const std::string& target, const std::string* arguments,
                         const std::string& description);
// The shortcut: a .desktop entry at `linkPath`.
bool CreateShortcut(const std::string& workingFolder, const std::string& target,
                    const std::string& linkPath, const std::string* arguments,
                    const std::string& description);
// "Name.lnk" stands for "Name.desktop".
std::string ShortcutFileName(const std::string& name);

// Whether the installer may delete the files of `folder`: never an empty or
// relative path, the root, the home folder or one of its ancestors.
bool SafeToClear(const std::string& folder, const std::string& home);
// A shortcut name that stays inside its folder (no "/", not "." or "..").
bool SafeEntryName(const std::string& name);

// The key store (the registry's machine hive and the user's keys).
class KeyStore {
public:
    virtual ~KeyStore() = default;
    virtual bool CreateKey(const std::string& key) = 0;
    virtual void WriteString(const std::string& key, const std::string& name, const std::string& value) = 0;
    virtual void WriteInteger(const std::string& key, const std::string& name, int value) = 0;
    virtual bool ReadString(const std::string& key, const std::string& name, std::string* value) = 0;
    virtual void DeleteKey(const std::string& key) = 0;
    // The users whose own keys are walked at uninstallation, and their deletion.
    virtual std::vector<std::string> UserNames() = 0;
    virtual void DeleteUserKey(const std::string& user, const std::string& key) = 0;
};

std::string MachineKey(const std::string& product);    // "Software\Morvane\" + product
std::string UninstallKey(const std::string& product);  // "...\Uninstall\Morvane" + product

// The previous installation, if one is recorded.
struct Previous {
    std::string folder, menu, version;
    bool found = false;        // "Program" and "Menu" both read
    bool hasVersion = false;
};
Previous ReadPrevious(KeyStore& store, const std::string& product);

bool LocaleIsFrench();  // LC_ALL, LC_MESSAGES, LANG: "fr..." or none set

struct InstallJob {
    std::string product;       // product name of the version texts
    std::string programName;   // the program file's name (the uninstall command)
    std::string versionLabel;  // "Version=" + file version
    std::string folder;        // installation folder
    std::string menu;          // menu folder
    std::string startup;       // startup entries folder
    std::string home;          // the user's home folder (the guard)
    bool french = true;
    const InstallIni* ini = nullptr;
    KeyStore* store = nullptr;
};

// The welcome texts and the update notice, at the window's creation.
void PrintWelcome(const InstallJob& job, const Previous& previous);
void PrintUninstallWarning(const InstallJob& job);
// The steps of the main button; true when everything succeeded.
bool RunInstall(const InstallJob& job);
bool RunUninstall(const InstallJob& job);

}  // namespace vantor

namespace vantor {
// "-uninstall": the temporary folder (TMPDIR, TEMP, TMP, else "/tmp").
std::string TemporaryFolder();
// Copies install.ini from beside the program and the program itself into
// `tempFolder`; both copies are attempted. The copy's path in *copy.
bool PrepareUninstallCopy(const std::string& program, const std::string& tempFolder, std::string* copy);
}  // namespace vantor
