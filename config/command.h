// What a batch command does around its run, the same in the window and in
// vantor-cli: the run flags it sets, the check of its destination folder, and
// the steps before and after the batch (Design's matrices and list file, the
// two pages, designMode cleared, the closing word).
#pragma once

#include <string>

#include "config/batch.h"
#include "config/settings.h"

namespace vantor {

enum class BatchCommand { Check, Apply, Design, Instrument, Search, Replace };

// Sets the run flags of `command` (and, for Design and Instrumentation,
// aligner, accolades and monoInstruction). `substring` is the state of the
// sub-string box, taken by Search and Replace only.
void SetRunFlags(BatchCommand command, bool substring);

enum class DestinationFault { None, Missing, SameAsSource };

// The folder a run writes into. Design: empty, or the source itself (any
// letter case, trailing separators, another spelling of the same folder), or
// a folder inside a tree walked with its sub-folders (the walk would enter
// the pages it is writing). Instrumentation: empty, the source folder (for
// one file, the file's own folder: the copy would overwrite the source), or a
// folder inside a tree walked with its sub-folders.
DestinationFault CheckDesignDestination(const std::string& folder, const std::string& source, bool subfolders);
DestinationFault CheckInstrumentDestination(const std::string& folder, const std::string& source,
                                            bool subfolders);

// The message of a fault as the window prints it (ends in "\n"), in the
// language of `French` at the call; nullptr for DestinationFault::None.
const char* DestinationMessage(BatchCommand command, DestinationFault fault);

// One batch run with the flags already set: for Design, the matrices and
// the list file before and the two pages after; designMode is cleared
// whatever happens, then the closing word is printed underlined when
// `closingWord` ("interrompu" / "interrupted" in red for a run stopped by
// RequestStop). A Design page or list file that could not be written counts
// as one file error in the totals. An exception from the run is passed on
// after designMode is cleared.
// `jobs` is RunBatch's.
BatchTotals RunBatchCommand(const std::string& source, const std::string& destination,
                            const Dictionary* dictionary, bool closingWord = true, int jobs = 1);
// The same over several sources in order, in one run.
BatchTotals RunBatchCommand(const std::vector<std::string>& sources, const std::string& destination,
                            const Dictionary* dictionary, bool closingWord = true, int jobs = 1);

// The number of files a run over `source` processes, walked by the same rules
// as the batch (masks, sub-folders, folders to ignore), for a progress count.
int32_t CountBatchFiles(const std::string& source);

// "terminé\n" or "finished\n", underlined.
void PrintClosingWord();

}  // namespace vantor
