// The analysed coverage as an lcov tracefile, for genhtml and the tools that
// read the same format.
#pragma once

#include <string>

namespace vantor {

// One record per file version of componentList: SF, a BRDA per branch at its
// first line (taken 1 when executed, else 0), a DA per such line (hit when a
// branch starting there was executed), the BRF/BRH and LF/LH totals.
// With `base`, a relative name (the coverage table holds the source's path as
// the instrumenting run was given it) is resolved against that folder, so that
// genhtml finds the sources from any folder.
void AppendLcovTracefile(std::string& out, const std::string& base = std::string());
// Writes the tracefile; false when the file cannot be written.
bool WriteLcovTracefile(const std::string& path, const std::string& base = std::string());

}  // namespace vantor
