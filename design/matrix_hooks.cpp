// Entry points that keep the scanner apart from the matrix type.
#include "design/matrix_hooks.h"

#include "config/settings.h"
#include "design/stringmatrix.h"

namespace vantor {

void DependencyMatrixAddFile(const std::string& path) {
    if (Settings.dependencyMatrix == nullptr) return;
    const size_t slash = path.find_last_of("/\\");
    Settings.dependencyMatrix->AddRow(slash == std::string::npos ? path : path.substr(slash + 1));
}

void CallingMatrixAddFunction(const std::string& name) {
    if (Settings.callingMatrix != nullptr) Settings.callingMatrix->AddRow(name);
}

void CallingMatrixAddCall(const std::string& name) {
    if (Settings.callingMatrix != nullptr) Settings.callingMatrix->AddUse(name);
}

void DependencyMatrixAddInclude(const std::string& name) {
    if (Settings.dependencyMatrix != nullptr) Settings.dependencyMatrix->AddUse(name);
}

}  // namespace vantor
