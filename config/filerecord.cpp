#include "config/filerecord.h"

#include <cstring>

#include "config/ansiext.h"
#include "config/settings.h"
#include "design/stringmatrix.h"
#include "engine/rules.h"

namespace vantor {

namespace {
// Each worker's own, as the read buffers are.
thread_local FileRecord* recording = nullptr;
}  // namespace

FileRecord* RecordingFile() { return recording; }
void SetRecordingFile(FileRecord* record) { recording = record; }

uint32_t FileRecord::Keep(const char* p, size_t n) {
    const uint32_t at = static_cast<uint32_t>(text_.size());
    text_.append(p, n);
    return at;
}

void FileRecord::Violation(int32_t line, int32_t column, const char* rule, const char* text) {
    Event e{Kind::Violation, rule != nullptr, line, column, console.Size(), 0, 0, 0, 0};
    const size_t textLen = std::strlen(text);
    e.a = Keep(text, textLen + 1);
    e.aLen = static_cast<uint32_t>(textLen);
    if (rule != nullptr) {
        const size_t ruleLen = std::strlen(rule);
        e.b = Keep(rule, ruleLen + 1);
        e.bLen = static_cast<uint32_t>(ruleLen);
    }
    events_.push_back(e);
}

void FileRecord::FileError(const std::string& path, const std::string& reason) {
    Event e{Kind::FileError, false, 0, 0, console.Size(), 0, 0, 0, 0};
    e.a = Keep(path.data(), path.size());
    e.aLen = static_cast<uint32_t>(path.size());
    e.b = Keep(reason.data(), reason.size());
    e.bLen = static_cast<uint32_t>(reason.size());
    events_.push_back(e);
}

void FileRecord::Preview(const std::string& path, const std::string& before, const std::string& after) {
    Event e{Kind::Preview, false, 0, 0, console.Size(), static_cast<uint32_t>(previews_.size()), 0, 0, 0};
    previews_.push_back({path, before, after});
    events_.push_back(e);
}

void FileRecord::Matrix(char op, const std::string& name) {
    const uint32_t n = static_cast<uint32_t>(name.size());
    matrix_ += op;
    matrix_.append(reinterpret_cast<const char*>(&n), sizeof n);
    matrix_ += name;
}

void FileRecord::Replay(ctxFichier& sinkContext, const std::string& file) {
    const ViolationSink sink = GetViolationSink();
    size_t delivered = 0;
    for (const Event& e : events_) {
        ConsoleReplay(&vantor::console, console, delivered, e.consoleBefore);
        delivered = e.consoleBefore;
        switch (e.kind) {
            case Kind::Violation:
                if (sink != nullptr) {
                    sinkContext.filePath = file;
                    sink(sinkContext, e.line, e.column, e.hasRule ? text_.data() + e.b : nullptr, text_.data() + e.a);
                }
                break;
            case Kind::FileError:
                CallFileErrorHook(text_.substr(e.a, e.aLen), text_.substr(e.b, e.bLen));
                break;
            case Kind::Preview: {
                const PreviewTexts& p = previews_[e.a];
                CallPreviewHook(p.path, p.before, p.after);
                break;
            }
        }
    }
    ConsoleReplay(&vantor::console, console, delivered, console.Size());
    std::string name;
    for (size_t at = 0; at < matrix_.size();) {
        const char op = matrix_[at];
        uint32_t n = 0;
        std::memcpy(&n, matrix_.data() + at + 1, sizeof n);
        name.assign(matrix_, at + 1 + sizeof n, n);
        at += 1 + sizeof n + n;
        TStringMatrix* m = op == 'F' || op == 'I' ? Settings.dependencyMatrix : Settings.callingMatrix;
        if (m == nullptr) continue;
        if (op == 'F' || op == 'R')
            m->AddRow(name);
        else
            m->AddUse(name);
    }
    if (!list_.empty() && Settings.designListFile != nullptr && !WriteLine(Settings.designListFile, list_))
        counts.ioError = true;
    Clear();
}

void FileRecord::Clear() {
    console.Clear();
    events_.clear();
    text_.clear();
    matrix_.clear();
    list_.clear();
    previews_.clear();
    error = nullptr;
}

}  // namespace vantor
