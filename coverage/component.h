// Coverage analysis: the records of the instrumented file versions found in
// the traces, the trace reader that merges their executed flags, and the
// report weighted by instruction counts.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "coverage/dblsorted.h"

namespace vantor {

// One instrumented file version (name, revision, date) seen in the traces.
class Component : public DblSorted {
public:
    Component(std::string name, std::string version, std::string date);

    // Byte order of name, then version, then date (unsigned characters).
    int32_t compare(const DblSorted* existing, const DblSorted* candidate) const override;

    Component* NextComponent() const { return static_cast<Component*>(next); }

    std::string name;
    std::string version;
    std::string date;
    // The branch table of the first trace that held this version, four values
    // per branch: index, first line, last line, instruction count.
    std::vector<uint16_t> rows;
    // 1 where any trace had the branch's flag set.
    std::vector<uint8_t> covered;
    int64_t branchTotal = -1;  // N; -1 while no table has been read
    bool fullyCovered = false;

    uint16_t Index(size_t j) const { return rows[4 * j]; }
    uint16_t FirstLine(size_t j) const { return rows[4 * j + 1]; }
    uint16_t LastLine(size_t j) const { return rows[4 * j + 2]; }
    uint16_t Instructions(size_t j) const { return rows[4 * j + 3]; }
};

// Every record of every analysis of this process, from the highest (name,
// version, date) to the lowest. A later analysis merges into these records.
extern DblSorted componentList;
inline Component* FirstComponent() { return static_cast<Component*>(componentList.first); }

// Instruction totals of the last summary. 64-bit: a folder of big traces can
// hold more than 2^31 weighted instructions.
extern int64_t totalInstructions;
extern int64_t coveredInstructions;

// The record of that file version, created (in order) when new.
Component* FindOrAddComponent(const std::string& name, const std::string& version, const std::string& date);
// Forgets every record (tests and the fuzzer start from nothing).
void ResetComponents();

enum class TraceStatus { Ok, Unreadable, Malformed };

// Scans one trace file and merges its tables into componentList. An
// unreadable file and a malformed record are reported in red.
TraceStatus ReadTrace(const std::string& path);
// The same on a file already open for reading in binary mode, from its start.
TraceStatus ReadTraceFile(FILE* f, const std::string& path);
// Bytes read from a trace file at a time, at least (1 MiB; the tests make it
// small to cross chunk edges everywhere).
extern size_t traceReadChunk;
// The same on bytes already in memory; `path` only names them in messages.
TraceStatus ReadTraceBytes(const uint8_t* data, size_t size, const std::string& path);

void PrintCoverageSummary();
void PrintUncovered();

struct AnalyseResult {
    int32_t traces = 0;      // trace files read (or tried)
    int32_t unreadable = 0;  // files or folder that could not be read
    int32_t malformed = 0;   // traces with a record that could not be merged
};

// The Analyse command on the "*.cov" files of a folder: headings, the path of
// each trace, the summary, the blocks never executed, the total.
AnalyseResult AnalyseCoverage(const std::string& testFolder);
// The same on a list of trace files.
AnalyseResult AnalyseTraceFiles(const std::vector<std::string>& paths);

}  // namespace vantor
