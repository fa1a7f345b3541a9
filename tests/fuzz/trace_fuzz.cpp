// Arbitrary bytes as one trace file: the reader, the report and the lcov
// tracefile must take anything without crashing or allocating without bound,
// and reading the bytes from a file in small chunks must give the same
// records as reading them from memory.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <unistd.h>

#include "console/console.h"
#include "coverage/component.h"
#include "coverage/lcov.h"

namespace {

// Keeps the console's formatting on the path without printing anything.
class NullSink : public vantor::ConsoleSink {
public:
    void Append(const char*, size_t, uint32_t, uint8_t) override {}
};

std::string Records(vantor::TraceStatus st) {
    std::string text = std::to_string(static_cast<int>(st)) + "\n";
    vantor::AppendLcovTracefile(text);
    return text;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static NullSink sink;
    static FILE* file = nullptr;
    if (!file) {
        vantor::ConsoleAttach(&vantor::console, &sink);
        file = std::tmpfile();
        if (!file) std::abort();
    }
    vantor::ResetComponents();
    vantor::TraceStatus st = vantor::ReadTraceBytes(data, size, "fuzz.cov");
    // The same bytes again merge into the records the first pass made.
    vantor::ReadTraceBytes(data, size, "fuzz.cov");
    vantor::PrintCoverageSummary();
    vantor::PrintUncovered();
    vantor::ResetComponents();
    st = vantor::ReadTraceBytes(data, size, "fuzz.cov");
    std::string fromMemory = Records(st);

    std::rewind(file);
    if (ftruncate(fileno(file), 0) != 0 || std::fwrite(data, 1, size, file) != size || std::fflush(file) != 0)
        std::abort();
    vantor::ResetComponents();
    vantor::traceReadChunk = size > 0 ? 1 + data[0] % 16 : 1;
    std::string fromFile = Records(vantor::ReadTraceFile(file, "fuzz.cov"));
    if (fromFile != fromMemory) std::abort();
    vantor::ResetComponents();
    return 0;
}
