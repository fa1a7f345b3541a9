// Entry points that keep the scanner apart from the matrix type.
#include "design/matrix_hooks.h"

#include "config/filerecord.h"
#include "config/settings.h"
#include "design/stringmatrix.h"

namespace vantor {

// A worker of a parallel run leaves the matrices alone: its rows go to the
// file's record and are added on the main thread, in the walk's order.

void DependencyMatrixAddFile(const std::string& path) {
    if (Settings.dependencyMatrix == nullptr) return;
    const size_t slash = path.find_last_of("/\\");
    const std::string name = slash == std::string::npos ? path : path.substr(slash + 1);
    if (FileRecord* record = RecordingFile())
        record->Matrix('F', name);
    else
        Settings.dependencyMatrix->AddRow(name);
}

void CallingMatrixAddFunction(const std::string& name) {
    if (Settings.callingMatrix == nullptr) return;
    if (FileRecord* record = RecordingFile())
        record->Matrix('R', name);
    else
        Settings.callingMatrix->AddRow(name);
}

void CallingMatrixAddCall(const std::string& name) {
    if (Settings.callingMatrix == nullptr) return;
    if (FileRecord* record = RecordingFile())
        record->Matrix('C', name);
    else
        Settings.callingMatrix->AddUse(name);
}

void DependencyMatrixAddInclude(const std::string& name) {
    if (Settings.dependencyMatrix == nullptr) return;
    if (FileRecord* record = RecordingFile())
        record->Matrix('I', name);
    else
        Settings.dependencyMatrix->AddUse(name);
}

}  // namespace vantor
