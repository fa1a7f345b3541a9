#include "config/pipeline.h"

#include <atomic>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <system_error>

#include "config/ansiext.h"
#include "config/filerecord.h"
#include "config/search.h"
#include "console/console.h"
#include "coverage/covtable.h"
#include "engine/lineengine.h"
#include "engine/rules.h"
#include "platform/fs.h"

namespace vantor {

namespace {

// Output line strings kept for reuse: more than most functions have lines.
constexpr size_t kSpareLines = 256;

// The read and write buffers go from one file to the next: large blocks
// allocated once per thread, not once per file.
struct FileBuffers {
    LineReader reader;
    std::string pending;
    std::string held;
};

FileBuffers& Buffers() {
    static thread_local FileBuffers buffers;
    return buffers;
}

// Everything one ProcessFile call owns besides the context.
struct FileRun {
    ctxFichier& ctx;
    const std::string& source;
    std::string destination;  // the source itself when in place
    bool inPlace = false;
    bool throughEngine = true;  // false for sub-string search and replace
    FILE* out = nullptr;
    bool outFailed = false;
    int32_t linesDiscarded = 0;
    bool writeOk = true;
    bool readFailed = false;
    bool ioError = false;
    int error = 0;               // the first system error met while writing
    FileOwnership ownership;     // the source's, given to its rewrite
    SourceLock lock;             // in place: held until the rewrite is swapped in
    PendingSwaps* swaps = nullptr;  // in place: flushed and swapped later, with others
    LineReader* reader = nullptr;   // the source's reader, while it is read
    // A preview (apply/replace --check, --diff): the rewrite is compared with
    // the source as it is made, and written nowhere.
    bool preview = false;
    bool previewOpen = false;
    bool differs = false;
    std::string original;       // the source's bytes, read when the rewrite starts
    size_t compared = 0;        // bytes of `original` matched so far
    size_t pendingCompared = 0; // bytes of `pending` already compared
    std::string previewText;    // --diff: the whole new text
    // Output lines gathered here and handed to the stream in large pieces: a
    // stream call per line cost more than making the line.
    std::string& pending;
    // Apply: the lines made since the last line that could be written (those
    // of the function being read), one after the other; Instrument, Design
    // and Search hold theirs in the context's `outputLines`.
    std::string& held;

    FileRun(ctxFichier& c, const std::string& src)
        : ctx(c), source(src), pending(Buffers().pending), held(Buffers().held) {
        pending.clear();
        held.clear();
    }
};

std::atomic<FileErrorHook> fileErrorHook{nullptr};
std::atomic<PreviewHook> previewHook{nullptr};

bool OutputOpen(const FileRun& run) { return run.out != nullptr || run.previewOpen; }

// A preview compares the new bytes of `pending` with the source's as they come.
void ComparePending(FileRun& run) {
    const size_t n = run.pending.size() - run.pendingCompared;
    if (n == 0) return;
    if (!run.differs && (run.compared + n > run.original.size() ||
                         std::memcmp(run.original.data() + run.compared, run.pending.data() + run.pendingCompared,
                                     n) != 0))
        run.differs = true;
    run.compared += n;
    run.pendingCompared = run.pending.size();
}

void PrintError(const char* fr, const char* en, const std::string& path, int error) {
    ReportFileError(fr, en, path, ErrorText(error));
}

// The next line into `line`; false at the end of the file or on a read error,
// which is reported and marks the run.
bool NextLine(FileRun& run, LineReader& reader, std::string& line, const std::string& source) {
    const ReadStatus st = ReadLine(reader, line);
    if (st == ReadStatus::Error) {
        PrintError("erreur de lecture of %s\n", "read error on %s\n", source, reader.File().Error());
        run.readFailed = run.ioError = true;
    }
    return st == ReadStatus::Line;
}

void NoteError(FileRun& run) {
    if (run.error == 0) run.error = errno;
}

// Copied lines take the line end the engine gives its own output lines, so a
// rewritten file does not mix line ends. The line is the end of `s` from `from` on.
void SetLineEnd(std::string& s, size_t from, bool crlf) {
    if (s.size() == from || s.back() != '\n') return;
    s.pop_back();
    if (s.size() > from && s.back() == '\r') s.pop_back();
    s += crlf ? "\r\n" : "\n";
}

// The "liste.txt" form of a path: every separator doubled as "\\\\" but the
// last, written as one "\\".
std::string DesignListEntry(const std::string& path) {
    size_t last = path.find_last_of("/\\");
    std::string r;
    r.reserve(path.size() + 16);
    for (size_t i = 0; i < path.size(); ++i) {
        if (IsPathSeparator(path[i]))
            r += i == last ? "\\" : "\\\\";
        else
            r += path[i];
    }
    r += "\r\n";
    return r;
}

// Appends the first `count` lines of `data` (`size` bytes) to `out`, each
// given the engine's line end when `setLineEnd`. False, with `out` as it
// was, when `data` holds fewer lines.
bool AppendLines(std::string& out, const char* data, size_t size, int32_t count, bool setLineEnd) {
    const size_t start = out.size();
    const char* p = data;
    const char* const end = data + size;
    for (int32_t i = 0; i < count; ++i) {
        const char* nl = static_cast<const char*>(std::memchr(p, '\n', static_cast<size_t>(end - p)));
        if (nl == nullptr) {
            out.resize(start);
            return false;
        }
        const size_t from = out.size();
        out.append(p, static_cast<size_t>(nl - p) + 1);
        p = nl + 1;
        if (setLineEnd) SetLineEnd(out, from, Settings.rtlf);
    }
    return true;
}

// The lines dropped while the file was still unchanged: taken again from the
// reader's buffer when it still holds them all (a file read in one block),
// else read again from the start of the source by a reader of their own.
bool CopyDiscardedLines(FileRun& run) {
    if (run.linesDiscarded <= 0) return true;
    // Search and Replace keep every line end as it is.
    const bool setLineEnd = run.throughEngine && !Settings.dictionaryMode;
    std::string& out = run.pending;
    const char* data = nullptr;
    size_t size = 0;
    if (run.reader != nullptr && run.reader->HeldFromStart(data, size) &&
        AppendLines(out, data, size, run.linesDiscarded, setLineEnd))
        return true;
    LineReader again;
    if (!again.Open(run.source)) return false;
    std::string text;
    for (int32_t i = 0; i < run.linesDiscarded; ++i) {
        if (ReadLine(again, text) != ReadStatus::Line) return false;
        const size_t from = out.size();
        out += text;
        if (setLineEnd) SetLineEnd(out, from, Settings.rtlf);
    }
    return true;
}

// Output gathered in FileRun::pending goes to the stream in pieces of about this size.
constexpr size_t kWriteChunk = 64 * 1024;

void FlushPending(FileRun& run) {
    if (run.pending.empty()) return;
    if (run.preview) {
        ComparePending(run);
        if (Settings.preview == PreviewMode::Diff) run.previewText += run.pending;
        run.pending.clear();
        run.pendingCompared = 0;
        return;
    }
    if (std::fwrite(run.pending.data(), 1, run.pending.size(), run.out) != run.pending.size()) {
        NoteError(run);
        run.writeOk = false;
    }
    run.pending.clear();
}

void OpenOutput(FileRun& run) {
    std::string path = run.inPlace ? run.source + ".new" : run.destination;
    if (Settings.designMode && Settings.designListFile) {
        if (FileRecord* record = RecordingFile())
            record->ListEntry(DesignListEntry(path));
        else if (!WriteLine(Settings.designListFile, DesignListEntry(path)))
            run.ioError = true;
    }
    ConsolePrint(&console, "Modification\n");
    // A source its user may not write is not rewritten behind their back.
    if (run.inPlace && !run.ownership.writable) {
        ReportFileError("impossible de modifier %s\n", "unable to modify %s\n", run.source, "read-only file");
        run.outFailed = run.ioError = true;
        return;
    }
    if (run.preview) {
        int error = 0;
        ReadWholeFile(run.source, run.original, &error);
        run.pending.reserve(kWriteChunk + 4096);
        if (error != 0 || !CopyDiscardedLines(run)) {
            PrintError("erreur de copie de %s\n", "copy error on %s\n", run.source, error != 0 ? error : errno);
            run.pending.clear();
            run.outFailed = run.ioError = true;
            return;
        }
        run.previewOpen = true;
        ComparePending(run);
        return;
    }
    // The new text of a source is readable by its owner only until it takes
    // the source's own permissions, just before the swap.
    int error = 0;
    FILE* f = CreateNewFile(path, run.inPlace ? 0600 : 0666, error);
    if (!f) {
        PrintError("impossible d'écrire le fichier %s\n", "unable to write the file %s\n", path, error);
        run.outFailed = run.ioError = true;
        return;
    }
    // Every byte but Instrument's table goes through `pending`, handed over in
    // large pieces: the stream needs no buffer of its own (nor the look at the
    // file that choosing one costs).
    if (Settings.couverture)
        std::setvbuf(f, nullptr, _IOFBF, 64 * 1024);
    else
        std::setvbuf(f, nullptr, _IONBF, 0);
    run.pending.reserve(kWriteChunk + 4096);
    if (!CopyDiscardedLines(run)) {
        PrintError("erreur de copie de %s\n", "copy error on %s\n", run.source, errno);
        std::fclose(f);
        if (run.inPlace) RemoveFile(path);
        run.pending.clear();
        run.outFailed = run.ioError = true;
        return;
    }
    run.out = f;
}

// Steps after the engine has seen one line: open the output at the first
// change outside a function, move the output on, hold a function's lines
// until the function ends.
void AfterLine(FileRun& run, bool atEof) {
    ctxFichier& ctx = run.ctx;
    // Lines going straight to the file: only the numbering moves on.
    if (ctx.directOutput == &run.pending && ctx.outputLines.empty()) {
        if (run.preview) ComparePending(run);
        if (run.pending.size() >= kWriteChunk) FlushPending(run);
        ctx.lineNumber++;
        ctx.outputLineNumber++;
        return;
    }
    // A function left open at the end of the file still has its changes written.
    bool flushable = !ctx.inFunction || atEof;
    // A Design page holds only what EmitLine made of each line: it is opened
    // from the first line on, so no source line is ever copied into it raw.
    bool changed = ctx.lineModified || Settings.designMode;
    if (!OutputOpen(run) && !run.outFailed && changed && flushable) OpenOutput(run);
    if (!ctx.inFunction) run.linesDiscarded = ctx.lineNumber;
    if (OutputOpen(run) && flushable) {
        run.pending += run.held;
        run.held.clear();
        for (const std::string& l : ctx.outputLines) run.pending += l;
        if (run.preview) ComparePending(run);
        if (run.pending.size() >= kWriteChunk) FlushPending(run);
    }
    if (!ctx.inFunction) {
        run.held.clear();
        // The strings go back to EmitLine with their capacity. Design and Search
        // take none from there: the pool is bounded, not a copy of the file.
        for (std::string& l : ctx.outputLines) {
            if (ctx.spareLines.size() >= kSpareLines) break;
            ctx.spareLines.push_back(std::move(l));
        }
        ctx.outputLines.clear();
    }
    // From here on every line goes to the file as it is made.
    if (OutputOpen(run) && ctx.directOutput == &run.held && run.held.empty() && ctx.outputLines.empty())
        ctx.directOutput = &run.pending;
    ctx.lineNumber++;
    ctx.outputLineNumber++;
}

void InsertCoverageHeader(ctxFichier& ctx) {
    ctx.outputLines.insert(ctx.outputLines.begin(), CoverageHeaderLine1());
    ctx.outputLines.insert(ctx.outputLines.begin() + 1, CoverageHeaderLine2(ctx.filePath));
    ctx.lineModified = true;
}

// ".new" becomes the source, the source becomes ".bak"; on failure the
// source stays as it was: it is never lost, and the ".new" goes.
bool SwapInPlace(const std::string& source, int& error) {
    // Without a backup the new text is renamed over the source: one step, so
    // the source is still never missing.
    if (Settings.noBackup) {
        if (RenameFile(source + ".new", source, &error)) return true;
    } else if (ReplaceKeepingBackup(source, source + ".new", source + ".bak", &error)) {
        return true;
    }
    RemoveFile(source + ".new");
    return false;
}

// The end of a preview: the source's last bytes must have come too; the hook
// is told of a source that would change.
void FinishPreview(FileRun& run) {
    FlushPending(run);
    run.previewOpen = false;
    if (run.compared != run.original.size()) run.differs = true;
    if (!run.differs) return;
    // Only a diff needs the texts: a list of paths keeps no copy of them.
    static const std::string none;
    const std::string& before = Settings.preview == PreviewMode::Diff ? run.original : none;
    // A worker of a parallel run keeps the report for the main thread.
    if (FileRecord* record = RecordingFile())
        record->Preview(run.source, before, run.previewText);
    else
        CallPreviewHook(run.source, before, run.previewText);
}

void FinishOutput(FileRun& run) {
    if (run.previewOpen) return FinishPreview(run);
    if (!run.out) return;
    FlushPending(run);
    // A table that could not be written leaves an output that does not build: a write error.
    if (Settings.couverture && !WriteCoverageTable(run.ctx, run.out)) {
        NoteError(run);
        run.writeOk = false;
    }
    int error = 0;
    if (run.inPlace && run.writeOk && !TakeOwnership(run.out, run.ownership, error)) {
        if (run.error == 0) run.error = error;
        run.writeOk = false;
    }
    const bool deferred = run.inPlace && run.swaps != nullptr;
    bool ok = run.inPlace && !deferred ? FlushToDisk(run.out) : std::fflush(run.out) == 0;
    if (!ok) NoteError(run);
    if (std::ferror(run.out)) ok = false;
    if (std::fclose(run.out) != 0) {
        NoteError(run);
        ok = false;
    }
    run.out = nullptr;
    if (!ok) run.writeOk = false;
    if (!run.writeOk) {
        PrintError("erreur d'écriture sur %s\n", "write error on %s\n", run.destination, run.error);
        // An incomplete rewrite is no use to anyone; the source is untouched.
        if (run.inPlace) RemoveFile(run.source + ".new");
        run.ioError = true;
        return;
    }
    if (!run.inPlace) return;
    // After a read error the output is incomplete: the source stays as it is.
    if (run.readFailed) {
        RemoveFile(run.source + ".new");
        return;
    }
    if (deferred) {
        run.swaps->Add(run.source, std::move(run.lock));
        return;
    }
    if (!SwapInPlace(run.source, error)) {
        PrintError("impossible de modifier %s\n", "unable to modify %s\n", run.source, error);
        run.ioError = true;
    }
}

// Flushes the ".new" of every source to the disk, then swaps each in;
// the sources that failed go to the two lists with their error codes.
void CommitBatch(const std::vector<std::string>& sources, std::vector<std::pair<std::string, int>>& writeFailed,
                 std::vector<std::pair<std::string, int>>& swapFailed) {
    std::vector<std::string> fresh;
    fresh.reserve(sources.size());
    for (const std::string& s : sources) fresh.push_back(s + ".new");
    std::vector<bool> flushed;
    std::vector<int> errors;
    FlushFilesToDisk(fresh, flushed, &errors);
    for (size_t i = 0; i < sources.size(); ++i) {
        int error = 0;
        if (!flushed[i]) {
            RemoveFile(fresh[i]);
            writeFailed.emplace_back(sources[i], errors[i]);
        } else if (!SwapInPlace(sources[i], error)) {
            swapFailed.emplace_back(sources[i], error);
        }
    }
}

}  // namespace

void SetFileErrorHook(FileErrorHook hook) { fileErrorHook.store(hook); }
void SetPreviewHook(PreviewHook hook) { previewHook.store(hook); }

void CallPreviewHook(const std::string& path, const std::string& before, const std::string& after) {
    if (PreviewHook hook = previewHook.load()) hook(path, before, after);
}

void ReportFileError(const char* fr, const char* en, const std::string& path, const std::string& reason) {
    ConsolePrintColor(&console, kColorRed, Tr(fr, en), path.c_str());
    if (FileRecord* record = RecordingFile())
        record->FileError(path, reason);
    else
        CallFileErrorHook(path, reason);
}

void CallFileErrorHook(const std::string& path, const std::string& reason) {
    if (FileErrorHook hook = fileErrorHook.load()) hook(path, reason);
}

void ReportPathError(const char* fr, const char* en, const std::string& path, int error) {
    if (IsNameTooLong(error)) {
        fr = "chemin trop long : %s\n";
        en = "path too long: %s\n";
    }
    ReportFileError(fr, en, path, ErrorText(error));
}

int32_t PendingSwaps::Wait() {
    if (worker_.joinable()) worker_.join();
    inFlight_.clear();
    inFlightLocks_.clear();
    for (const auto& f : writeFailed_)
        PrintError("erreur d'écriture sur %s\n", "write error on %s\n", f.first, f.second);
    for (const auto& f : swapFailed_)
        PrintError("impossible de modifier %s\n", "unable to modify %s\n", f.first, f.second);
    const int32_t failures = static_cast<int32_t>(writeFailed_.size() + swapFailed_.size());
    writeFailed_.clear();
    swapFailed_.clear();
    return failures;
}

int32_t PendingSwaps::Commit() {
    int32_t failures = Wait();
    if (sources_.empty()) return failures;
    CommitBatch(sources_, writeFailed_, swapFailed_);
    sources_.clear();
    locks_.clear();
    return failures + Wait();
}

void PendingSwaps::MoveTo(PendingSwaps& other) {
    for (size_t i = 0; i < sources_.size(); ++i) other.Add(sources_[i], std::move(locks_[i]));
    sources_.clear();
    locks_.clear();
}

int32_t PendingSwaps::CommitInBackground() {
    const int32_t failures = Wait();
    if (sources_.empty()) return failures;
    inFlight_.swap(sources_);
    sources_.clear();
    inFlightLocks_.swap(locks_);
    locks_.clear();
    try {
        worker_ = std::thread([this] { CommitBatch(inFlight_, writeFailed_, swapFailed_); });
    } catch (const std::system_error&) {
        // No thread to be had: the batch is committed here.
        CommitBatch(inFlight_, writeFailed_, swapFailed_);
        return failures + Wait();
    }
    return failures;
}

FileCounts ProcessFile(const std::string& source, const std::string& destination,
                       const Dictionary* dictionary, LineProcessor processor, PendingSwaps* swaps) {
    FileCounts counts;
    ctxFichier ctx;
    ctx.SetFile(source);
    FileRun run(ctx, source);
    run.swaps = swaps;
    // Another spelling of the source itself must not be opened for writing
    // while it is read: that would empty it.
    run.inPlace = destination.empty() || destination == source || SameFile(destination, source);
    run.destination = run.inPlace ? source : destination;
    const bool substring = Settings.dictionaryMode && Settings.substringMode;
    run.throughEngine = !substring;
    // Apply's lines go to a buffer as they are made, where nothing changes
    // them later: Instrument moves its lines until the end of the function,
    // Design and Search make theirs differently, Check keeps none.
    if (!Settings.checkMode && !Settings.couverture && !Settings.designMode && !Settings.dictionaryMode)
        ctx.directOutput = &run.held;
    LineProcessor engine = processor ? processor : &ProcessLine;

    LineReader& reader = Buffers().reader;
    run.reader = &reader;
    if (!reader.Open(source)) {
        ReportPathError("impossible de lire %s\n", "unable to read %s\n", source, reader.File().Error());
        counts.ioError = true;
        return counts;
    }
    if (!reader.LooksLikeText()) {
        ConsolePrintColor(&console, kColorRed, Tr("fichier non texte ignoré : %s\n", "not a text file, skipped: %s\n"),
                          source.c_str());
        reader.Close();
        return counts;
    }
    // A source that may be rewritten in place is locked while it is read,
    // rewritten and swapped in: a second run over the same files leaves it
    // to this one, and no original goes missing between the two.
    const bool rewrites = run.inPlace && !Settings.checkMode && !(Settings.dictionaryMode && !Settings.replaceMode);
    run.preview = rewrites && Settings.preview != PreviewMode::None;
    const bool mayRewrite = rewrites && !run.preview;
    if (mayRewrite && !reader.File().TryLock(source)) {
        ReportFileError("fichier en cours de traitement par un autre lancement, ignoré : %s\n",
                        "file in use by another run, skipped: %s\n", source, "locked by another run");
        reader.Close();
        counts.ioError = true;
        return counts;
    }
    run.ownership = reader.File().Ownership();
    if (Settings.checkMode) {
        const char* head = nullptr;
        size_t headSize = 0;
        ctx.checkSuppressed = reader.HeldFromStart(head, headSize) && FileSuppressed(head, headSize);
    }
    ConsolePrintStyle(&console, fsUnderline, "%s\n", source.c_str());

    ctx.lineNumber = 1;
    ctx.outputLineNumber = 1;
    int32_t lines = 0;
    // Sub-string Search writes nothing: the lines are looked through a
    // buffer's worth at a time and only those holding a name are copied
    // (into `held`, which Search leaves unused).
    const bool blockSearch = substring && !Settings.replaceMode && dictionary != nullptr &&
                             dictionary->BlockSearchable() && !Settings.checkMode && !Settings.couverture &&
                             !Settings.designMode;
    if (blockSearch) {
        const char* data = nullptr;
        size_t size = 0;
        for (;;) {
            if (reader.TakeLines(data, size)) {
                lines += SearchLines(data, size, *dictionary, run.held, &ctx.matchCount);
            } else if (NextLine(run, reader, ctx.line, source)) {
                lines += SearchLines(ctx.line.data(), ctx.line.size(), *dictionary, run.held, &ctx.matchCount);
            } else {
                break;
            }
        }
        ctx.lineNumber += lines;
        ctx.outputLineNumber += lines;
    }
    while (!blockSearch && NextLine(run, reader, ctx.line, source)) {
        ++lines;
        bool atEof = reader.AtEnd();
        // The header goes in before the first line is processed: a function
        // body opened on line 1 then records its marker positions past it.
        if (ctx.lineNumber == 1 && Settings.couverture) InsertCoverageHeader(ctx);
        if (substring) {
            if (ApplyDictionary(ctx.line, dictionary, &ctx.matchCount)) ctx.lineModified = true;
            // Search writes nothing: only Replace needs the line kept.
            if (Settings.replaceMode) ctx.outputLines.push_back(ctx.line);
        } else {
            engine(ctx, dictionary);
        }
        AfterLine(run, atEof);
        // Whether the file changes is known: the rest of it cannot tell more.
        if (run.differs && Settings.preview == PreviewMode::Changed) break;
    }
    // An empty file still gets its coverage header, so the instrumented tree
    // holds every file of the source tree.
    if (lines == 0 && !run.readFailed && Settings.couverture) {
        InsertCoverageHeader(ctx);
        AfterLine(run, true);
    }
    // An empty source still gets its (empty) page and its list entry.
    if (lines == 0 && !run.readFailed && Settings.designMode) OpenOutput(run);
    if (mayRewrite) run.lock = reader.File().TakeLock();
    reader.Close();
    run.reader = nullptr;

    if (Settings.checkMode && ctx.functionCount > Settings.fonctions) {
        char text[64];
        std::snprintf(text, sizeof text, "%d functions>%d", ctx.functionCount, Settings.fonctions);
        ctx.lineNumber = lines > 0 ? lines : 1;
        ctx.column = ctx.lineStart + 1;
        ReportViolation(ctx, text, rule::kFonctions);
    }

    FinishOutput(run);

    counts.functions = ctx.functionCount;
    counts.instructions = ctx.fileInstructions;
    counts.branches = ctx.branchCount;
    counts.lines = lines;
    counts.codeLines = ctx.codeLineCount;
    counts.violations = ctx.violationCount;
    counts.matches = ctx.matchCount;
    counts.changed = run.differs;
    counts.ioError = run.ioError;
    // The buffers keep their room for the next file, within reason.
    if (run.pending.capacity() > (4u << 20)) std::string().swap(run.pending);
    if (run.held.capacity() > (4u << 20)) std::string().swap(run.held);
    return counts;
}

}  // namespace vantor
