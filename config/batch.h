// The batch driver: run header, rules listing, the walk, the totals.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "config/pipeline.h"
#include "config/settings.h"
#include "platform/fs.h"

namespace vantor {

struct BatchTotals {
    int32_t files = 0;
    int32_t functions = 0;
    int32_t lines = 0;
    int32_t codeLines = 0;
    int32_t instructions = 0;
    int32_t branches = 0;
    // Beyond the statistics line: what the command-line front end turns into
    // its exit status.
    int32_t violations = 0;
    int32_t matches = 0;  // Search
    int32_t changed = 0;  // previews: sources whose rewrite differs
    int32_t ioErrors = 0;
    bool stopped = false;  // RequestStop ended the walk early
};

// One run over a folder or one file; prints the header, the rules listing for
// Check, and the "Analyzed:" line. Returns the totals.
// `jobs` other than 1: the files are processed by that many threads (0: one
// per core), with the same output (WalkFolderInParallel).
BatchTotals RunBatch(const std::string& source, const std::string& destination,
                     const Dictionary* dictionary, LineProcessor processor = nullptr, int jobs = 1);
// The same over several sources (files and folders) in order, in one run:
// one header, one "Analyzed:" line for them all.
BatchTotals RunBatch(const std::vector<std::string>& sources, const std::string& destination,
                     const Dictionary* dictionary, LineProcessor processor = nullptr, int jobs = 1);

// Asks the run in progress to stop before its next file: the file being
// processed is finished and every rewrite already written is swapped in, so
// an interrupted run leaves no half state behind. Safe in a signal handler.
void RequestStop();
bool StopRequested();
// Clears a request, before a new run.
void ClearStopRequest();

// The entries of a folder listing that a walk takes, shared by the walk and
// by whatever counts its files beforehand. A source file matches `mask`, is
// not hidden, not "portab.h" (any letter case) and not one of the backups
// and new texts that rewriting in place leaves beside the sources ("x.bak.c"
// still is a source). A sub-folder is not hidden, not reached through a link
// (a link loop would never end) and has no ".bak" in its name.
bool IsWalkedFile(const DirEntry& entry, const std::string& mask);
bool IsWalkedFolder(const DirEntry& entry);

// A file mask: "*" any run of characters, "?" one character, letter case
// ignored; a mask ending in ".*" also takes names without a dot ("*.*" takes all).
bool MatchMask(const std::string& name, const std::string& mask);

// One processed file's counts added to the totals.
void AddFile(BatchTotals& totals, const FileCounts& counts);

// The walk's order and rules over a folder (masks in order, then the
// sub-folders, the folders to ignore, the destination folders created):
// `file` is told of each source in turn, its output path and whether an
// earlier mask took it already; `folderError` of a folder that could not be
// listed. A `file` that returns false ends the walk and makes it return
// false; a stop request ends it too.
using WalkFileStep = std::function<bool(const std::string& source, const std::string& out, bool again)>;
using WalkFolderError = std::function<void(const std::string& folder, int error)>;
bool VisitFolder(const std::string& source, const std::string& destination, const WalkFileStep& file,
                 const WalkFolderError& folderError);

// With `swaps`, files rewritten in place are flushed and swapped in batches
// (the caller commits the last one).
void WalkFolder(const std::string& source, const std::string& destination,
                const Dictionary* dictionary, BatchTotals& totals,
                LineProcessor processor = nullptr, PendingSwaps* swaps = nullptr);

}  // namespace vantor
