// The per-file pipeline: one source file through the engine, its output
// written (in place through ".new"/".bak", or into the destination tree).
#pragma once

#include <cstdint>
#include <string>

#include "config/settings.h"
#include "engine/ctxfichier.h"

namespace vantor {

struct FileCounts {
    int32_t functions = 0;
    int32_t instructions = 0;
    int32_t branches = 0;
    int32_t lines = 0;
    int32_t codeLines = 0;
    int32_t violations = 0;  // reports made through ReportViolation
    bool ioError = false;    // the file could not be read, written or swapped
};

// Processes one line of the context: the line engine, or a test's stand-in.
using LineProcessor = void (*)(ctxFichier& ctx, const Dictionary* dictionary);

// `destination` empty or equal to `source`: rewritten in place.
FileCounts ProcessFile(const std::string& source, const std::string& destination,
                       const Dictionary* dictionary, LineProcessor processor = nullptr);

}  // namespace vantor
