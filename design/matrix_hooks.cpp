// Entry points that keep the scanner apart from the matrix type.
#include "design/matrix_hooks.h"

#include "config/settings.h"
#include "design/stringmatrix.h"

namespace vantor {

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
