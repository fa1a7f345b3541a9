#include "config/command.h"

#include <filesystem>

#include "console/console.h"
#include "design/designrun.h"
#include "platform/fs.h"
#include "platform/text.h"

namespace vantor {

void SetRunFlags(BatchCommand c, bool substring) {
    SettingsRecord& s = Settings;
    s.checkMode = c == BatchCommand::Check;
    s.dictionaryMode = c == BatchCommand::Search || c == BatchCommand::Replace;
    s.replaceMode = c == BatchCommand::Replace;
    if (c == BatchCommand::Search || c == BatchCommand::Replace) s.substringMode = substring;
    if (c == BatchCommand::Instrument) s.substringMode = false;
    s.designMode = c == BatchCommand::Design;
    s.Indenter = c == BatchCommand::Apply || c == BatchCommand::Design || c == BatchCommand::Instrument;
    s.couverture = c == BatchCommand::Instrument;
    if (c == BatchCommand::Design || c == BatchCommand::Instrument) {
        s.aligner = true;
        s.accolades = true;
        s.monoInstruction = true;
    }
}

namespace {

namespace fs = std::filesystem;

fs::path Resolved(const std::string& path) {
    std::error_code ec;
    return fs::weakly_canonical(fs::absolute(path, ec), ec);
}

// `tree` is `dest` or one of its parents, component by component.
bool Contains(const fs::path& tree, const fs::path& dest) {
    if (tree.empty()) return false;
    auto d = dest.begin();
    for (auto t = tree.begin(); t != tree.end(); ++t, ++d)
        if (d == dest.end() || *t != *d) return false;
    return true;
}

}  // namespace

DestinationFault CheckDesignDestination(const std::string& folder, const std::string& source, bool subfolders) {
    if (folder.empty()) return DestinationFault::Missing;
    std::string a = folder, b = source;
    while (a.size() > 1 && EndsWithSeparator(a)) a.pop_back();
    while (b.size() > 1 && EndsWithSeparator(b)) b.pop_back();
    const fs::path tree = Resolved(source);
    const fs::path dest = Resolved(folder);
    const bool inside = !IsFile(source) && subfolders && Contains(tree, dest);
    if (EqualsNoCase(a, b) || dest == tree || SameFile(folder, source) || inside)
        return DestinationFault::SameAsSource;
    return DestinationFault::None;
}

DestinationFault CheckInstrumentDestination(const std::string& folder, const std::string& source,
                                            bool subfolders) {
    if (folder.empty()) return DestinationFault::Missing;
    fs::path tree = Resolved(source);
    if (IsFile(source)) tree = tree.parent_path();
    const fs::path dest = Resolved(folder);
    if (dest == tree || SameFile(folder, tree.string()) || (subfolders && Contains(tree, dest)))
        return DestinationFault::SameAsSource;
    return DestinationFault::None;
}

const char* DestinationMessage(BatchCommand c, DestinationFault fault) {
    const bool design = c != BatchCommand::Instrument;
    switch (fault) {
        case DestinationFault::Missing:
            return design ? Tr("Vous devez spécifier un répertoire destination\n",
                               "You must specify a destination folder\n")
                          : Tr("Vous devez spéficier un répertoire de destination\n",
                               "You must specify a destination folder\n");
        case DestinationFault::SameAsSource:
            return design ? Tr("Les répertoires sources et destination doivent être différents\n",
                               "You must select a different destination than source\n")
                          : Tr("Le répertoire destination doit différer du répertoire source\n",
                               "Yous must select a different destination than source\n");
        case DestinationFault::None:
            break;
    }
    return nullptr;
}

namespace {

void CountFolder(const std::string& folder, const std::string& ignore, int32_t& count) {
    const std::string src = WithTrailingSeparator(folder);
    if (!ignore.empty() && src.find(ignore) != std::string::npos) return;
    std::vector<DirEntry> entries;
    ListFolder(src, entries);
    for (const std::string& mask : Settings.Masques)
        for (const DirEntry& e : entries)
            if (IsWalkedFile(e, mask)) ++count;
    if (!Settings.SousRepertoire) return;
    for (const DirEntry& e : entries)
        if (IsWalkedFolder(e)) CountFolder(src + e.name, ignore, count);
}

}  // namespace

int32_t CountBatchFiles(const std::string& source) {
    if (source.empty()) return 0;
    if (IsFile(source)) return 1;
    int32_t count = 0;
    CountFolder(source, Settings.folderToIgnore, count);
    return count;
}

void PrintClosingWord() { ConsolePrintStyle(&console, fsUnderline, "%s", Tr("terminé\n", "finished\n")); }

BatchTotals RunBatchCommand(const std::string& source, const std::string& destination,
                            const Dictionary* dictionary, bool closingWord, int jobs) {
    return RunBatchCommand(std::vector<std::string>{source}, destination, dictionary, closingWord, jobs);
}

BatchTotals RunBatchCommand(const std::vector<std::string>& sources, const std::string& destination,
                            const Dictionary* dictionary, bool closingWord, int jobs) {
    const bool design = Settings.designMode;
    bool designOk = true;
    BatchTotals totals;
    try {
        if (design) designOk = BeginDesignRun(destination);
        totals = RunBatch(sources, destination, dictionary, nullptr, jobs);
    } catch (...) {
        // The matrices and the list file must not outlive a broken run.
        if (design) EndDesignRun(destination);
        Settings.designMode = false;
        throw;
    }
    if (design) designOk = EndDesignRun(destination) && designOk;
    Settings.designMode = false;
    if (!designOk) totals.ioErrors++;
    // A run stopped before its end says so instead of its closing word.
    if (closingWord && totals.stopped)
        ConsolePrintColor(&console, kColorRed, "%s", Tr("interrompu\n", "interrupted\n"));
    else if (closingWord)
        PrintClosingWord();
    return totals;
}

}  // namespace vantor
