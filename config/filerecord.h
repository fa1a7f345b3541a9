// What one file of a parallel run produces that the reader sees in the walk's
// order: console text, reports to the violation sink and to the file-error
// hook, the Design list entry and matrix rows, its counts and its pending
// swap. A worker fills the record of the file it processes; the main thread
// plays the records back one after the other in the order of the walk, so the
// run reads as the serial one, byte for byte.
#pragma once

#include <cstdint>
#include <exception>
#include <string>
#include <vector>

#include "config/pipeline.h"
#include "console/console.h"
#include "engine/ctxfichier.h"

namespace vantor {

class FileRecord {
public:
    FileRecord() = default;
    FileRecord(const FileRecord&) = delete;
    FileRecord& operator=(const FileRecord&) = delete;

    void Violation(int32_t line, int32_t column, const char* rule, const char* text);
    void FileError(const std::string& path, const std::string& reason);
    // A preview's report of a file that would change (the hook's three texts).
    void Preview(const std::string& path, const std::string& before, const std::string& after);
    void ListEntry(const std::string& entry) { list_ += entry; }
    // Design's matrices: 'F' a file row, 'I' an include, 'R' a function row, 'C' a call.
    void Matrix(char op, const std::string& name);

    // Main thread: replays everything in order, the violation sink told of
    // `sinkContext` (its path set to the file's), then empties the record but
    // for its room. A list entry that cannot be written marks `counts` as a
    // file error, as in the serial run.
    void Replay(ctxFichier& sinkContext, const std::string& file);
    void Clear();

    ConsoleRecord console;  // the worker's console messages (ConsoleRecordThread)
    FileCounts counts;
    PendingSwaps swaps;        // the file's in-place rewrite, handed to the run's own
    std::exception_ptr error;  // thrown by ProcessFile, rethrown at playback

private:
    enum class Kind : uint8_t { Violation, FileError, Preview };
    struct Event {
        Kind kind;
        bool hasRule;
        int32_t line, column;
        size_t consoleBefore;       // the console messages printed before it
        uint32_t a, aLen, b, bLen;  // pieces of `text_`
    };
    uint32_t Keep(const char* p, size_t n);

    std::vector<Event> events_;
    std::string text_;    // the texts of the events, one after the other
    std::string matrix_;  // op, 4-byte length, name; again and again
    std::string list_;
    struct PreviewTexts {
        std::string path, before, after;
    };
    std::vector<PreviewTexts> previews_;
};

// The record the calling thread fills, or nullptr (the main thread, a serial
// run): the engine's reports go to it instead of their process-wide outlets.
FileRecord* RecordingFile();
void SetRecordingFile(FileRecord* record);

}  // namespace vantor
