// The walk of a batch run with its files processed by several threads, for
// vantor-cli's "-j": everything the run shows and writes is what the serial
// walk (WalkFolder) shows and writes, in the same order.
#pragma once

#include <string>

#include "config/batch.h"

namespace vantor {

// The number of worker threads "-j N" asks for: N, or one per core for 0.
int JobsFor(int requested);

// WalkFolder with `jobs` workers. The walk lists every file first, in the
// serial order; a file a worker processes leaves its console text, reports,
// Design rows and in-place rewrite in a record that the calling thread (the
// console's main thread) plays back in that order as soon as the files
// before it are done. A source that is one file, or a folder where one file
// is taken by two masks (its second pass must read the first one's
// rewrite), goes through WalkFolder itself.
void WalkFolderInParallel(const std::string& source, const std::string& destination,
                          const Dictionary* dictionary, BatchTotals& totals, LineProcessor processor,
                          PendingSwaps* swaps, int jobs);

}  // namespace vantor
