// The coverage table appended to each instrumented file, and the two macro
// lines at its top. The table's memory image is what the trace reader finds
// in the traces, so every character here is part of an external format.
#pragma once

#include <cstdio>
#include <string>

#include "coverage/branch.h"
#include "engine/ctxfichier.h"

namespace vantor {

// The magic words that open every table.
constexpr uint32_t kCovMagic1 = 0x67a64b65;
constexpr uint32_t kCovMagic2 = 0x66ef4365;
constexpr uint32_t kCovMagic3 = 0xa786f365;

// The line end of generated C text: the one the `rtlf` setting gives the
// file's own lines, so an instrumented file never mixes line ends.
const char* CoverageLineEnd();

// Headers (.h .hh .hpp .hxx) are included by several instrumented sources:
// they get the macro lines only, never a table of their own.
bool IsHeaderFile(const std::string& path);
// C++ sources (.cc .cpp .cxx .c++), which allow no second definition of the
// table pointer.
bool IsCppSourceFile(const std::string& path);

// Line 1 of an instrumented file: "#define COV_SET(a) CovTablePt[a]=1".
std::string CoverageHeaderLine1();
// Line 2: a header keeps "extern char *CovTablePt;" (the pointer of the source
// that includes it); a C file defines its own "static char *CovTablePt;"; a C++
// source declares "static inline char *CovTableAt();" and, on a third line,
// makes CovTablePt stand for its call.
std::string CoverageHeaderLine2(const std::string& path);

// The `CovDef` table of the file after its last line. Writes nothing for a
// file without branches or for a header. False when a write failed; the file
// is then left as far as it was written.
bool WriteCoverageTable(ctxFichier& ctx, FILE* out);

// The rows of `branch` and, depth-first, of its children; the root (number 0)
// writes none. False when a write failed.
bool WriteBranchTable(const Branch* branch, FILE* out);

}  // namespace vantor
