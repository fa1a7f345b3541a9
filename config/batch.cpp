#include "config/batch.h"

#include <atomic>
#include <cerrno>
#include <ctime>
#include <vector>

#include "config/parallelwalk.h"
#include "console/console.h"
#include "platform/fs.h"
#include "platform/text.h"

namespace vantor {

namespace {

// Lock-free, so a signal handler may set it.
std::atomic<bool> stopRequested{false};
static_assert(std::atomic<bool>::is_always_lock_free, "the stop flag is set from signal handlers");

bool MatchGlob(const char* name, size_t nameLen, const char* mask, size_t maskLen) {
    const size_t none = static_cast<size_t>(-1);
    size_t i = 0, j = 0, star = none, mark = 0;
    while (i < nameLen) {
        if (j < maskLen && mask[j] == '*') {
            star = j++;
            mark = i;
        } else if (j < maskLen && (mask[j] == '?' || AsciiLower(mask[j]) == AsciiLower(name[i]))) {
            ++i;
            ++j;
        } else if (star != none) {
            j = star + 1;  // let the last "*" take one more character
            i = ++mark;
        } else {
            return false;
        }
    }
    while (j < maskLen && mask[j] == '*') ++j;
    return j == maskLen;
}

void PrintDateLine() {
    std::time_t now = std::time(nullptr);
    std::tm local{};
#ifdef _WIN32
    localtime_s(&local, &now);
#else
    localtime_r(&now, &local);
#endif
    char text[64];
    if (std::strftime(text, sizeof text, "%Y-%m-%d %H:%M:%S", &local) == 0) text[0] = '\0';
    ConsolePrint(&console, "%s\n", text);
}

void PrintRules() {
    const SettingsRecord& s = Settings;
    ConsolePrintStyle(&console, fsUnderline, "Rules:\n");
    ConsolePrint(&console, "%s", Tr("instructions interdites:\n", "instructions forbidden:\n"));
    for (const std::string& w : s.MotsInterdits.Items()) ConsolePrint(&console, "%s\n", w.c_str());
    if (s.noInterrog) ConsolePrint(&console, "?:\n");
    if (s.breakSurCase) ConsolePrint(&console, "%s", Tr("break exigé dans les case\n", "break mandatory on case\n"));
    if (s.monoInstruction) ConsolePrint(&console, "%s", Tr("Une instruction/line\n", "One instruction/line\n"));
    if (s.aligner) ConsolePrint(&console, "%s", Tr("{} aligné\n", "{} aligned\n"));
    ConsolePrint(&console, Tr("%d caractères/ligne\n", "%d characters/line\n"), s.caracteres);
    ConsolePrint(&console, Tr("%d instructions/fonction\n", "%d instructions/function\n"), s.instructions);
    ConsolePrint(&console, Tr("%d fonctions/source\n", "%d functions/source\n"), s.fonctions);
    ConsolePrint(&console, Tr("%d niveaux d'imbrication\n", "%d levels\n"), s.imbrications);
}

}  // namespace

void AddFile(BatchTotals& totals, const FileCounts& c) {
    totals.files++;
    totals.functions += c.functions;
    totals.lines += c.lines;
    totals.codeLines += c.codeLines;
    totals.instructions += c.instructions;
    totals.branches += c.branches;
    totals.violations += c.violations;
    totals.matches += c.matches;
    totals.changed += c.changed;
    if (c.ioError) totals.ioErrors++;
}

bool IsWalkedFile(const DirEntry& e, const std::string& mask) {
    return e.isFile && !e.isHidden && MatchMask(e.name, mask) && !EqualsNoCase(e.name, std::string("portab.h")) &&
           !EndsWithNoCase(e.name, ".bak", 4) && !EndsWithNoCase(e.name, ".new", 4);
}

bool IsWalkedFolder(const DirEntry& e) {
    return e.isDir && !e.isHidden && !e.isSymlinkToDir && e.name.find(".bak") == std::string::npos;
}

void RequestStop() { stopRequested.store(true); }
bool StopRequested() { return stopRequested.load(); }
void ClearStopRequest() { stopRequested.store(false); }

bool MatchMask(const std::string& name, const std::string& mask) {
    if (MatchGlob(name.data(), name.size(), mask.data(), mask.size())) return true;
    size_t n = mask.size();
    if (n >= 2 && mask[n - 2] == '.' && mask[n - 1] == '*' && name.find('.') == std::string::npos)
        return MatchGlob(name.data(), name.size(), mask.data(), n - 2);
    return false;
}

BatchTotals RunBatch(const std::string& source, const std::string& destination,
                     const Dictionary* dictionary, LineProcessor processor, int jobs) {
    return RunBatch(std::vector<std::string>{source}, destination, dictionary, processor, jobs);
}

BatchTotals RunBatch(const std::vector<std::string>& sources, const std::string& destination,
                     const Dictionary* dictionary, LineProcessor processor, int jobs) {
    PrintDateLine();
    if (Settings.checkMode) PrintRules();
    BatchTotals totals;
    // Two batches of rewrites, each holding its sources open, and room to spare.
    EnsureOpenFiles(static_cast<unsigned>(4 * PendingSwaps::kBatch));
    PendingSwaps swaps;
    for (const std::string& source : sources) {
        if (StopRequested()) break;
        if (jobs != 1)
            WalkFolderInParallel(source, destination, dictionary, totals, processor, &swaps, jobs);
        else
            WalkFolder(source, destination, dictionary, totals, processor, &swaps);
        // A file named again (alone, or in a folder named after it) is read
        // anew only once its first rewrite is in place: two pending swaps of
        // one file would leave the original in no ".bak".
        totals.ioErrors += swaps.Commit();
    }
    // A request is for this run only: the next one starts afresh.
    totals.stopped = StopRequested();
    ClearStopRequest();
    ConsolePrintStyle(&console, fsUnderline,
                      "Analyzed:%d files,%d functions, %d lines, %d lines with code, %d instructions %d branchs\n",
                      totals.files, totals.functions, totals.lines, totals.codeLines, totals.instructions,
                      totals.branches);
    return totals;
}

void WalkFolder(const std::string& source, const std::string& destination,
                const Dictionary* dictionary, BatchTotals& totals, LineProcessor processor,
                PendingSwaps* swaps) {
    if (source.empty()) return;
    const SettingsRecord& s = Settings;

    // A path that is there but is no folder (a FIFO, a device) goes to the
    // pipeline, which refuses it with its reason.
    const PathKind kind = KindOfPath(source);
    if (kind == PathKind::File || kind == PathKind::Other) {
        // Design and Instrumentation write a single file into their destination
        // folder under its own name, never over the source.
        std::string out;
        if (!destination.empty()) {
            CreateFolders(destination);
            out = JoinPath(destination, BaseName(source));
            if (s.designMode) out += ".html";
        }
        AddFile(totals, ProcessFile(source, out, dictionary, processor, swaps));
        return;
    }

    // A file that several masks take ("*.c" and "*.*") is processed once per
    // mask. Its rewrite from the first pass is swapped in before the second
    // pass reads it: two pending swaps of one file would leave the original
    // in no ".bak".
    VisitFolder(
        source, destination,
        [&](const std::string& file, const std::string& out, bool again) {
            if (again && swaps != nullptr) totals.ioErrors += swaps->Commit();
            AddFile(totals, ProcessFile(file, out, dictionary, processor, swaps));
            if (swaps != nullptr && swaps->Full()) totals.ioErrors += swaps->CommitInBackground();
            return true;
        },
        [&](const std::string& folder, int error) {
            ReportPathError("impossible de lire le répertoire %s\n", "unable to read the folder %s\n", folder, error);
            totals.ioErrors++;
        });
}

bool VisitFolder(const std::string& source, const std::string& destination, const WalkFileStep& file,
                 const WalkFolderError& folderError) {
    const SettingsRecord& s = Settings;
    const std::string src = WithTrailingSeparator(source);
    const std::string dst = destination.empty() ? src : WithTrailingSeparator(destination);
    // Only a separate destination tree is created: a Check of a folder that
    // does not exist must leave no folder behind.
    if (dst != src) CreateFolders(dst);
    if (!s.folderToIgnore.empty() && dst.find(s.folderToIgnore) != std::string::npos) return true;

    std::vector<DirEntry> entries;
    int error = 0;
    // One listing serves every mask and the sub-folders. A folder that is not
    // there yields nothing, as a missing source gives an empty run; one that
    // is there and cannot be listed is a file error.
    if (!ListFolder(src, entries, &error) && error != ENOENT) {
        folderError(src, error);
        return true;
    }

    std::vector<bool> seen(entries.size(), false);
    for (const std::string& mask : s.Masques) {
        for (size_t i = 0; i < entries.size(); ++i) {
            const DirEntry& e = entries[i];
            if (!IsWalkedFile(e, mask)) continue;
            if (StopRequested()) return true;
            std::string out = dst + e.name;
            if (s.designMode) out += ".html";
            if (!file(src + e.name, out, seen[i])) return false;
            seen[i] = true;
        }
    }

    if (!s.SousRepertoire) return true;
    for (const DirEntry& e : entries) {
        if (!IsWalkedFolder(e)) continue;
        if (StopRequested()) return true;
        if (!VisitFolder(src + e.name, dst + e.name, file, folderError)) return false;
    }
    return true;
}

}  // namespace vantor
