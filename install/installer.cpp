#include "install/installer.h"

#include <dirent.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <memory>

namespace vantor {

TConsole englishConsole;

namespace {

constexpr size_t kCopyBlock = 32768;

// One message in both languages, each to its memo.
void Say(uint32_t colour, const char* fr, const char* en) {
    ConsolePrintColor(&console, colour, "%s", fr);
    ConsolePrintColor(&englishConsole, colour, "%s", en);
}
void Say(uint32_t colour, const char* fr, const char* en, const std::string& arg) {
    ConsolePrintColor(&console, colour, fr, arg.c_str());
    ConsolePrintColor(&englishConsole, colour, en, arg.c_str());
}
void Say(const char* fr, const char* en) { Say(0, fr, en); }
void Say(const char* fr, const char* en, const std::string& arg) { Say(0, fr, en, arg); }

struct FileCloser {
    void operator()(FILE* f) const { std::fclose(f); }
};
using File = std::unique_ptr<FILE, FileCloser>;

bool ReadCount(FILE* f, uint32_t* count) {
    unsigned char b[4];
    if (std::fread(b, 1, 4, f) != 4) return false;
    *count = b[0] | (b[1] << 8) | (b[2] << 16) | (static_cast<uint32_t>(b[3]) << 24);
    return true;
}

std::string Trimmed(std::string path) {
    while (path.size() > 1 && path.back() == '/') path.pop_back();
    return path;
}

const char* Env(const char* name) {
    const char* v = std::getenv(name);
    return v && *v ? v : nullptr;
}

std::string HomeFolder() {
    const char* h = Env("HOME");
    return h ? h : "/";
}

std::string Join(const std::string& folder, const std::string& name) {
    return folder.empty() || folder.back() == '/' ? folder + name : folder + "/" + name;
}

void DeleteReported(const std::string& path) {
    if (std::remove(path.c_str()) == 0)
        Say("- %s\n", "- %s\n", path);
    else
        Say(kColorRed, "impossible de détruire %s\n", "unable to delete %s\n", path);
}

// The shortcuts of one section in `folder`; after a failure the section's
// remaining lines create nothing.
bool MakeShortcuts(const InstallJob& job, const std::vector<std::string>& lines, const std::string& folder) {
    for (const std::string& line : lines) {
        ShortcutLine s;
        if (!ParseShortcutLine(line, &s)) continue;
        const std::string link = Join(folder, ShortcutFileName(s.name));
        if (!SafeEntryName(s.name) ||
            !CreateShortcut(job.folder, Join(job.folder, s.target), link,
                            s.hasArguments ? &s.arguments : nullptr, "Morvane")) {
            Say(kColorRed, "impossible de créer le raccourcis %s\n", "unable to create the shortcut %s\n", link);
            return false;
        }
    }
    return true;
}

void DeleteShortcuts(const std::vector<std::string>& lines, const std::string& folder) {
    for (const std::string& line : lines) {
        ShortcutLine s;
        if (!ParseShortcutLine(line, &s)) continue;
        // A name that would lead out of the folder is never deleted.
        if (!SafeEntryName(s.name)) continue;
        DeleteReported(Join(folder, ShortcutFileName(s.name)));
    }
}

}  // namespace

InstallIni ReadInstallIni(const std::string& path) {
    InstallIni ini;
    File f(std::fopen(path.c_str(), "rb"));
    if (!f) return ini;
    ini.open = true;
    // Lines are read whole, however long: a line is never cut in two.
    std::string line;
    for (auto& section : ini.sections) {
        uint32_t count = 0;
        if (!ReadCount(f.get(), &count)) break;
        for (uint32_t i = 0; i < count; ++i) {
            line.clear();
            int c;
            while ((c = std::fgetc(f.get())) != EOF && c != '\n') line.push_back(static_cast<char>(c));
            if (c == EOF && line.empty()) return ini;
            if (!line.empty()) section.push_back(line);
            if (c == EOF) return ini;
        }
    }
    return ini;
}

bool ParseShortcutLine(const std::string& line, ShortcutLine* out) {
    const size_t eq = line.find('=');
    if (eq == std::string::npos) return false;
    *out = ShortcutLine();
    out->name = line.substr(0, eq);
    const size_t blank = line.find(' ', eq + 1);
    out->target = line.substr(eq + 1, blank == std::string::npos ? std::string::npos : blank - eq - 1);
    if (blank != std::string::npos) {
        const size_t args = line.find_first_not_of(' ', blank);
        if (args != std::string::npos) {
            out->arguments = line.substr(args);
            out->hasArguments = true;
        }
    }
    return true;
}

bool CopyFileChecked(const std::string& source, const std::string& destination) {
    std::unique_ptr<char[]> buffer(new (std::nothrow) char[kCopyBlock]);
    if (!buffer) {
        Say(kColorRed, "erreur reservation buffer\n", "error memory allocation\n");
        return false;
    }
    File in(std::fopen(source.c_str(), "rb"));
    if (!in) {
        Say(kColorRed, "impossible d'ouvrir %s en lecture\n", "Unable to open for reading %s\n", source);
        return false;
    }
    File out(std::fopen(destination.c_str(), "wb"));
    if (!out) {
        Say(kColorRed, "impossible d'ouvrir %s en ecriture\n", "unable to opent for writting %s\n", destination);
        return false;
    }
    for (;;) {
        const size_t got = std::fread(buffer.get(), 1, kCopyBlock, in.get());
        if (std::ferror(in.get())) {
            Say(kColorRed, "erreur lecture %s\n", "read error %s\n", source);
            return false;
        }
        if (got && std::fwrite(buffer.get(), 1, got, out.get()) != got) {
            Say(kColorRed, "erreur écriture %s\n", "write error %s\n", destination);
            return false;
        }
        if (got < kCopyBlock) break;
    }
    // A write error shows only when the last buffer goes out (a full disk).
    if (std::fclose(out.release()) != 0) {
        Say(kColorRed, "erreur écriture %s\n", "write error %s\n", destination);
        return false;
    }
    return true;
}

int systemWide = -1;

bool RunningAsRoot() { return systemWide >= 0 ? systemWide != 0 : geteuid() == 0; }

std::string SpecialFolder(FolderKind kind, bool asRoot) {
    const std::string home = HomeFolder();
    switch (kind) {
    case FolderKind::ProgramFiles:
        return asRoot ? "/opt" : Join(home, ".local/opt");
    case FolderKind::ProgramsMenu: {
        if (asRoot) return "/usr/share/applications";
        const char* data = Env("XDG_DATA_HOME");
        return Join(data ? data : Join(home, ".local/share"), "applications");
    }
    case FolderKind::Startup: {
        if (asRoot) return "/etc/xdg/autostart";
        const char* config = Env("XDG_CONFIG_HOME");
        return Join(config ? config : Join(home, ".config"), "autostart");
    }
    }
    return home;
}

void CreateFoldersReported(const std::string& path) {
    for (size_t i = 1; i <= path.size(); ++i) {
        if (i < path.size() && path[i] != '/' && path[i] != '\\') continue;
        const std::string prefix = path.substr(0, i);
        if (mkdir(prefix.c_str(), 0755) == 0) Say("Repertoire %s créé\n", "Folder %s created\n", prefix);
    }
}

std::string DesktopExecArgument(const std::string& arg) {
    static const char kReserved[] = " \t\n\"'\\><~|&;$*?#()`";
    std::string quoted;
    const bool quote = arg.empty() || arg.find_first_of(kReserved, 0, sizeof kReserved - 1) != std::string::npos;
    if (quote) quoted.push_back('"');
    for (char c : arg) {
        if (quote && (c == '"' || c == '`' || c == '$' || c == '\\')) quoted.push_back('\\');
        if (c == '%') quoted.push_back('%');  // field codes
        quoted.push_back(c);
    }
    if (quote) quoted.push_back('"');
    // The file's own string escape comes on top of the quoting.
    std::string escaped;
    for (char c : quoted) {
        if (c == '\\') escaped.push_back('\\');
        escaped.push_back(c);
    }
    return escaped;
}

std::vector<std::string> SplitArguments(const std::string& text) {
    std::vector<std::string> words;
    std::string word;
    bool inWord = false, inQuotes = false;
    for (char c : text) {
        if (c == '"') {
            inQuotes = !inQuotes;
            inWord = true;
        } else if ((c == ' ' || c == '\t') && !inQuotes) {
            if (inWord) words.push_back(word);
            word.clear();
            inWord = false;
        } else {
            word.push_back(c);
            inWord = true;
        }
    }
    if (inWord) words.push_back(word);
    return words;
}

namespace {
// Escapes of a string value: no line may end inside it.
std::string EntryValue(const std::string& text) {
    std::string v;
    for (char c : text) {
        switch (c) {
        case '\n': v += "\\n"; break;
        case '\t': v += "\\t"; break;
        case '\r': v += "\\r"; break;
        case '\\': v += "\\\\"; break;
        default: v.push_back(c);
        }
    }
    return v;
}
}  // namespace

std::string DesktopEntry(const std::string& name, const std::string& workingFolder,
                         const std::string& target, const std::string* arguments,
                         const std::string& description) {
    std::string exec = DesktopExecArgument(target);
    if (arguments)
        for (const std::string& a : SplitArguments(*arguments)) exec += " " + DesktopExecArgument(a);
    return "[Desktop Entry]\nType=Application\nName=" + EntryValue(name) + "\nExec=" + exec +
           "\nPath=" + EntryValue(workingFolder) + "\nComment=" + EntryValue(description) + "\n";
}

bool CreateShortcut(const std::string& workingFolder, const std::string& target,
                    const std::string& linkPath, const std::string* arguments,
                    const std::string& description) {
    size_t slash = linkPath.rfind('/');
    std::string name = linkPath.substr(slash == std::string::npos ? 0 : slash + 1);
    const std::string suffix = ".desktop";
    if (name.size() > suffix.size() && name.compare(name.size() - suffix.size(), suffix.size(), suffix) == 0)
        name.resize(name.size() - suffix.size());
    const std::string text = DesktopEntry(name, workingFolder, target, arguments, description);
    File f(std::fopen(linkPath.c_str(), "wb"));
    if (!f) return false;
    if (std::fwrite(text.data(), 1, text.size(), f.get()) != text.size()) return false;
    return std::fclose(f.release()) == 0;
}

std::string ShortcutFileName(const std::string& name) { return name + ".desktop"; }

bool SafeToClear(const std::string& folder, const std::string& home) {
    if (folder.empty() || folder[0] != '/') return false;
    char resolved[PATH_MAX];
    const std::string f = Trimmed(realpath(folder.c_str(), resolved) ? std::string(resolved) : folder);
    if (f == "/") return false;
    if (!home.empty()) {
        const std::string h = Trimmed(realpath(home.c_str(), resolved) ? std::string(resolved) : home);
        // The home folder itself or any folder above it.
        if (h == f || (h.compare(0, f.size(), f) == 0 && h.size() > f.size() && h[f.size()] == '/'))
            return false;
    }
    return true;
}

bool SafeEntryName(const std::string& name) {
    return !name.empty() && name != "." && name != ".." && name.find('/') == std::string::npos;
}

std::string MachineKey(const std::string& product) { return "Software\\Morvane\\" + product; }
std::string UninstallKey(const std::string& product) {
    return "Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Morvane" + product;
}

Previous ReadPrevious(KeyStore& store, const std::string& product) {
    Previous p;
    const std::string key = MachineKey(product);
    p.found = store.ReadString(key, "Program", &p.folder) && store.ReadString(key, "Menu", &p.menu);
    p.hasVersion = store.ReadString(key, "Version", &p.version);
    return p;
}

bool LocaleIsFrench() {
    for (const char* name : {"LC_ALL", "LC_MESSAGES", "LANG"})
        if (const char* v = Env(name)) return std::strncmp(v, "fr", 2) == 0;
    return true;
}

void PrintWelcome(const InstallJob& job, const Previous& previous) {
    if (!job.ini || !job.ini->open) {
        Say(kColorRed, "Fichier d'installation introuvable\n", "Installation file not found\n");
        return;
    }
    for (const std::string& l : job.ini->sections[0]) ConsolePrint(&console, "%s\n", l.c_str());
    for (const std::string& l : job.ini->sections[1]) ConsolePrint(&englishConsole, "%s\n", l.c_str());
    if (previous.hasVersion) {
        ConsolePrint(&console, "Mise à jour depuis la version %s, ", previous.version.c_str());
        ConsolePrint(&console, "Veillez à ce que %s soit arrêté.\n", job.product.c_str());
        ConsolePrint(&englishConsole, "Update from the version %s, ", previous.version.c_str());
        ConsolePrint(&englishConsole, "previous %s must be not running.\n", job.product.c_str());
    }
}

void PrintUninstallWarning(const InstallJob& job) {
    ConsolePrint(&console, "Vous allez desinstaller %s\n", job.product.c_str());
    ConsolePrint(&console, "%s", "Tous les fichiers du répertoire d'installation\n");
    ConsolePrint(&console, "%s", "et les menus seront supprimés\n");
    ConsolePrint(&console, "%s", "ainsi que toute trace dans le registre\n");
    ConsolePrint(&englishConsole, "You are uninstalling %s\n", job.product.c_str());
    ConsolePrint(&englishConsole, "%s", "Every files in the installation folder\n");
    ConsolePrint(&englishConsole, "%s", "menus and registry entry will be deleted\n");
}

bool RunInstall(const InstallJob& job) {
    // Without the description file there is nothing to install: the
    // installation stops before it writes anything.
    if (!job.ini || !job.ini->open) {
        Say(kColorRed, "Fichier d'installation introuvable, rien n'est installé\n",
            "Installation file not found, nothing installed\n");
        return false;
    }
    const std::string key = MachineKey(job.product);
    if (job.store->CreateKey(key)) {
        job.store->WriteString(key, "Program", job.folder);
        job.store->WriteString(key, "Menu", job.menu);
        job.store->WriteString(key, "Version", job.versionLabel);
        job.store->WriteInteger(key, "French", job.french ? 1 : 0);
    } else {
        Say(kColorRed, "problème d'accès à la base de registre\n", "registry base access problem\n");
    }
    CreateFoldersReported(job.folder);
    CreateFoldersReported(job.menu);

    bool copied = true;
    for (const std::string& name : job.ini->sections[2]) {
        Say("Copie %s ", "Copy %s ", name);
        if (!CopyFileChecked(name, Join(job.folder, name))) {
            Say(kColorRed, "erreur, protection ou programme actif?\n", "error, protection or active program?\n");
            copied = false;
            break;
        }
        // Programs keep their right to run in their new place.
        struct stat st;
        if (stat(name.c_str(), &st) == 0) chmod(Join(job.folder, name).c_str(), st.st_mode & 07777);
        Say(kColorGreen, "ok\n", "ok\n");
    }

    Say("Création des raccourcis\n", "Create shortcuts\n");
    bool linked = false;
    if (copied) {
        const bool menu = MakeShortcuts(job, job.ini->sections[3], job.menu);
        CreateFoldersReported(job.startup);
        const bool startup = MakeShortcuts(job, job.ini->sections[4], job.startup);
        linked = menu && startup;
    }

    Say("Enregistrement de la desinstallation\n", "records for desinstallation\n");
    const std::string uninstall = UninstallKey(job.product);
    if (job.store->CreateKey(uninstall)) {
        job.store->WriteString(uninstall, "DisplayName", job.product + " - Morvane");
        job.store->WriteString(uninstall, "UninstallString", Join(job.folder, job.programName) + " -uninstall");
    }
    if (copied && linked) Say(kColorGreen, "Installation terminée\n", "Installation finished\n");
    return copied && linked;
}

bool RunUninstall(const InstallJob& job) {
    bool ok = true;
    Say("élimination des fichiers :\n", "Remove files :\n");
    if (!SafeToClear(job.folder, job.home)) {
        // A damaged record must never empty the root, the home folder or its parents.
        Say(kColorRed, "répertoire d'installation refusé : %s\n", "installation folder refused: %s\n", job.folder);
        ok = false;
    } else if (DIR* dir = opendir(job.folder.c_str())) {
        std::vector<std::string> files;
        while (const dirent* e = readdir(dir)) {
            const std::string path = Join(job.folder, e->d_name);
            struct stat st;
            if (lstat(path.c_str(), &st) == 0 && !S_ISDIR(st.st_mode)) files.push_back(path);
        }
        closedir(dir);
        for (const std::string& f : files) DeleteReported(f);
        rmdir(job.folder.c_str());
    }

    Say("élimination des menus :\n", "Remove menus :\n");
    if (job.ini && job.ini->open) {
        if (SafeToClear(job.menu, job.home)) {
            DeleteShortcuts(job.ini->sections[3], job.menu);
            rmdir(job.menu.c_str());
        } else {
            Say(kColorRed, "répertoire des menus refusé : %s\n", "menu folder refused: %s\n", job.menu);
            ok = false;
        }
        DeleteShortcuts(job.ini->sections[4], job.startup);
    }

    Say("élimination des entrées dans les registres\n", "Remove registry entry\n");
    job.store->DeleteKey(MachineKey(job.product));
    job.store->DeleteKey(UninstallKey(job.product));
    for (const std::string& user : job.store->UserNames()) {
        Say("-préférences %s\n", "-entry %s\n", user + "\\Software\\Morvane\\");
        job.store->DeleteUserKey(user, MachineKey(job.product));
    }
    // A refused folder left files behind: the end is not shown as a success.
    Say(ok ? kColorGreen : kColorRed, "Desinstallation Terminée", "Uninstall finished");
    return ok;
}

}  // namespace vantor

namespace vantor {

std::string TemporaryFolder() {
    for (const char* name : {"TMPDIR", "TEMP", "TMP"})
        if (const char* v = Env(name)) return v;
    return "/tmp";
}

bool PrepareUninstallCopy(const std::string& program, const std::string& tempFolder, std::string* copy) {
    const size_t slash = program.find_last_of("/\\");
    const std::string beside = slash == std::string::npos ? std::string() : program.substr(0, slash + 1);
    const std::string name = slash == std::string::npos ? program : program.substr(slash + 1);
    const bool ini = CopyFileChecked(beside + "install.ini", Join(tempFolder, "install.ini"));
    *copy = Join(tempFolder, name);
    const bool self = CopyFileChecked(program, *copy);
    if (self) chmod(copy->c_str(), 0755);
    return ini && self;
}

}  // namespace vantor
