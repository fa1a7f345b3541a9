// The per-file pipeline: one source file through the engine, its output
// written (in place through ".new"/".bak", or into the destination tree).
#pragma once

#include <cstdint>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "config/settings.h"
#include "engine/ctxfichier.h"
#include "platform/fs.h"

namespace vantor {

struct FileCounts {
    int32_t functions = 0;
    int32_t instructions = 0;
    int32_t branches = 0;
    int32_t lines = 0;
    int32_t codeLines = 0;
    int32_t violations = 0;  // reports made through ReportViolation
    int32_t matches = 0;     // Search: names reported
    bool changed = false;    // a preview found that the rewrite differs from the source
    bool ioError = false;    // the file could not be read, written or swapped
};

// Processes one line of the context: the line engine, or a test's stand-in.
using LineProcessor = void (*)(ctxFichier& ctx, const Dictionary* dictionary);

// In-place rewrites whose ".new" is written and closed but neither on the
// disk yet nor swapped in. Putting one file at a time on the disk was most of
// the time of an Apply over a large tree; a batch of them goes to the disk at
// once, and only then is each swapped in: still no source is replaced before
// its new text is on the disk. A batch may be committed in the background
// while the next files are processed: the wait for the disk then overlaps
// the engine's work.
class PendingSwaps {
public:
    static constexpr size_t kBatch = 256;

    PendingSwaps() = default;
    PendingSwaps(const PendingSwaps&) = delete;
    PendingSwaps& operator=(const PendingSwaps&) = delete;
    // Nothing written is left behind unswapped.
    ~PendingSwaps() { Commit(); }

    // `lock` is the source's, held until the swap is done.
    void Add(const std::string& source, SourceLock&& lock = SourceLock()) {
        sources_.push_back(source);
        locks_.push_back(std::move(lock));
    }
    bool Full() const { return sources_.size() >= kBatch; }
    size_t Size() const { return sources_.size(); }
    // Flushes every pending ".new" to the disk, then swaps each in, after the
    // batch committing in the background has ended. Returns how many files
    // failed (of both); each is reported and keeps its source.
    int32_t Commit();
    // Hands the files pending here, not yet committed, to `other`, in order.
    void MoveTo(PendingSwaps& other);
    // Hands the pending files to a background commit, once the one before
    // it has ended. Returns how many files of that earlier one failed.
    int32_t CommitInBackground();

private:
    // Waits for the background commit; reports its failures here, on the
    // caller's thread (the console takes messages only from known threads).
    int32_t Wait();

    std::vector<std::string> sources_;
    std::vector<SourceLock> locks_;
    std::vector<std::string> inFlight_;  // the batch the background commit works on
    std::vector<SourceLock> inFlightLocks_;
    std::thread worker_;
    // Filled by the background commit, read after it has been joined: each
    // failed source with the system's error code.
    std::vector<std::pair<std::string, int>> writeFailed_;
    std::vector<std::pair<std::string, int>> swapFailed_;
};

// Told of every file error beside its console line, with the system's
// reason: the command-line front end prints it on stderr. None by default.
using FileErrorHook = void (*)(const std::string& path, const std::string& reason);
void SetFileErrorHook(FileErrorHook hook);
// Told of each source whose rewrite differs, under Settings.preview: its
// bytes and the new ones (both empty under PreviewMode::Changed, which stops
// reading at the first difference). None by default.
using PreviewHook = void (*)(const std::string& path, const std::string& before, const std::string& after);
void SetPreviewHook(PreviewHook hook);
// Tells the preview hook, if any, of a file that would change.
void CallPreviewHook(const std::string& path, const std::string& before, const std::string& after);
// Tells the hook, if any, of a file error (and only the hook).
void CallFileErrorHook(const std::string& path, const std::string& reason);
// A file error: the console line in red (its format takes the path), and
// the hook told `reason`.
void ReportFileError(const char* fr, const char* en, const std::string& path, const std::string& reason);
// The same for a path that could not be opened or listed: one too long for
// the system is said so ("path too long") instead of the operation's message.
void ReportPathError(const char* fr, const char* en, const std::string& path, int error);

// `destination` empty or equal to `source`: rewritten in place. With `swaps`,
// an in-place rewrite is left in it to be flushed and swapped with others;
// without, it is flushed and swapped before the call returns.
FileCounts ProcessFile(const std::string& source, const std::string& destination,
                       const Dictionary* dictionary, LineProcessor processor = nullptr,
                       PendingSwaps* swaps = nullptr);

}  // namespace vantor
