// The Analyse command for the front ends.
#pragma once

#include <string>

namespace vantor {

// Analyses the "*.cov" traces of `traceFolder` (or the one trace it names)
// into the console, merged with earlier analyses of this process, and writes
// an lcov tracefile to `lcovPath` unless it is empty. Returns 0, or 3 when a
// trace or the folder could not be read, a trace held a broken record, or the
// tracefile could not be written. The tracefile's source paths are absolute:
// relative ones are taken from `lcovBase` (default: the current folder, where
// the instrumenting run is expected to have been made).
int RunAnalyse(const std::string& traceFolder, const std::string& lcovPath,
               const std::string& lcovBase = std::string());

}  // namespace vantor
