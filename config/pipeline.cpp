#include "config/pipeline.h"

#include <cstdio>
#include <cstring>
#include <system_error>

#include "config/ansiext.h"
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
    PendingSwaps* swaps = nullptr;  // in place: flushed and swapped later, with others
    LineReader* reader = nullptr;   // the source's reader, while it is read
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

void PrintError(const char* fr, const char* en, const std::string& path) {
    ConsolePrintColor(&console, kColorRed, Tr(fr, en), path.c_str());
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
    run.writeOk = std::fwrite(run.pending.data(), 1, run.pending.size(), run.out) == run.pending.size() &&
                  run.writeOk;
    run.pending.clear();
}

void OpenOutput(FileRun& run) {
    std::string path = run.inPlace ? run.source + ".new" : run.destination;
    if (Settings.designMode && Settings.designListFile) {
        if (!WriteLine(Settings.designListFile, DesignListEntry(path))) run.ioError = true;
    }
    ConsolePrint(&console, "Modification\n");
    FILE* f = OpenFile(path, "wb");
    if (!f) {
        PrintError("impossible d'écrire le fichier %s\n", "unable to write the file %s\n", path);
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
        PrintError("erreur de copie de %s\n", "copy error on %s\n", run.source);
        std::fclose(f);
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
    if (!run.out && !run.outFailed && changed && flushable) OpenOutput(run);
    if (!ctx.inFunction) run.linesDiscarded = ctx.lineNumber;
    if (run.out && flushable) {
        run.pending += run.held;
        run.held.clear();
        for (const std::string& l : ctx.outputLines) run.pending += l;
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
    if (run.out && ctx.directOutput == &run.held && run.held.empty() && ctx.outputLines.empty())
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
// source stays as it was: it is never lost.
bool SwapInPlace(const std::string& source) {
    return ReplaceKeepingBackup(source, source + ".new", source + ".bak");
}

void FinishOutput(FileRun& run) {
    if (!run.out) return;
    FlushPending(run);
    // A table that could not be written leaves an output that does not build: a write error.
    if (Settings.couverture && !WriteCoverageTable(run.ctx, run.out)) run.writeOk = false;
    const bool deferred = run.inPlace && run.swaps != nullptr;
    bool ok = run.inPlace && !deferred ? FlushToDisk(run.out) : std::fflush(run.out) == 0;
    if (std::ferror(run.out)) ok = false;
    if (std::fclose(run.out) != 0) ok = false;
    run.out = nullptr;
    if (!ok) run.writeOk = false;
    if (!run.writeOk) {
        PrintError("erreur d'écriture sur %s\n", "write error on %s\n", run.destination);
        run.ioError = true;
        return;
    }
    // After a read error the output is incomplete: the source stays as it is.
    if (run.readFailed || !run.inPlace) return;
    if (deferred) {
        run.swaps->Add(run.source);
        return;
    }
    if (!SwapInPlace(run.source)) {
        PrintError("impossible de modifier %s\n", "unable to modify %s\n", run.source);
        run.ioError = true;
    }
}

// Flushes the ".new" of every source to the disk, then swaps each in;
// the sources that failed go to the two lists.
void CommitBatch(const std::vector<std::string>& sources, std::vector<std::string>& writeFailed,
                 std::vector<std::string>& swapFailed) {
    std::vector<std::string> fresh;
    fresh.reserve(sources.size());
    for (const std::string& s : sources) fresh.push_back(s + ".new");
    std::vector<bool> flushed;
    FlushFilesToDisk(fresh, flushed);
    for (size_t i = 0; i < sources.size(); ++i) {
        if (!flushed[i])
            writeFailed.push_back(sources[i]);
        else if (!SwapInPlace(sources[i]))
            swapFailed.push_back(sources[i]);
    }
}

}  // namespace

int32_t PendingSwaps::Wait() {
    if (worker_.joinable()) worker_.join();
    inFlight_.clear();
    for (const std::string& s : writeFailed_) PrintError("erreur d'écriture sur %s\n", "write error on %s\n", s);
    for (const std::string& s : swapFailed_) PrintError("impossible de modifier %s\n", "unable to modify %s\n", s);
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
    return failures + Wait();
}

int32_t PendingSwaps::CommitInBackground() {
    const int32_t failures = Wait();
    if (sources_.empty()) return failures;
    inFlight_.swap(sources_);
    sources_.clear();
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
        PrintError("impossible de lire %s\n", "unable to read %s\n", source);
        counts.ioError = true;
        return counts;
    }
    ConsolePrintStyle(&console, fsUnderline, "%s\n", source.c_str());

    ctx.lineNumber = 1;
    ctx.outputLineNumber = 1;
    int32_t lines = 0;
    for (;;) {
        ReadStatus st = ReadLine(reader, ctx.line);
        if (st == ReadStatus::End) break;
        if (st == ReadStatus::Error) {
            PrintError("erreur de lecture of %s\n", "read error on %s\n", source);
            run.readFailed = run.ioError = true;
            break;
        }
        ++lines;
        bool atEof = reader.AtEnd();
        // The header goes in before the first line is processed: a function
        // body opened on line 1 then records its marker positions past it.
        if (ctx.lineNumber == 1 && Settings.couverture) InsertCoverageHeader(ctx);
        if (substring) {
            if (ApplyDictionary(ctx.line, dictionary)) ctx.lineModified = true;
            ctx.outputLines.push_back(ctx.line);
        } else {
            engine(ctx, dictionary);
        }
        AfterLine(run, atEof);
    }
    // An empty file still gets its coverage header, so the instrumented tree
    // holds every file of the source tree.
    if (lines == 0 && !run.readFailed && Settings.couverture) {
        InsertCoverageHeader(ctx);
        AfterLine(run, true);
    }
    // An empty source still gets its (empty) page and its list entry.
    if (lines == 0 && !run.readFailed && Settings.designMode) OpenOutput(run);
    reader.Close();
    run.reader = nullptr;

    if (Settings.checkMode && ctx.functionCount > Settings.fonctions) {
        char text[64];
        std::snprintf(text, sizeof text, "%d functions>%d", ctx.functionCount, Settings.fonctions);
        ctx.lineNumber = lines > 0 ? lines : 1;
        ReportViolation(ctx, text);
    }

    FinishOutput(run);

    counts.functions = ctx.functionCount;
    counts.instructions = ctx.fileInstructions;
    counts.branches = ctx.branchCount;
    counts.lines = lines;
    counts.codeLines = ctx.codeLineCount;
    counts.violations = ctx.violationCount;
    counts.ioError = run.ioError;
    // The buffers keep their room for the next file, within reason.
    if (run.pending.capacity() > (4u << 20)) std::string().swap(run.pending);
    if (run.held.capacity() > (4u << 20)) std::string().swap(run.held);
    return counts;
}

}  // namespace vantor
