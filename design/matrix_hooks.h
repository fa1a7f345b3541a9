// What the scanner feeds into the two cross-reference matrices of a Design
// run. Each call does nothing when its matrix does not exist (every other command).
#pragma once

#include <string>

namespace vantor {

// A file is set into a file context: its name without folders becomes a new
// row of the dependency matrix.
void DependencyMatrixAddFile(const std::string& path);
// A function body starts at file level: `name` becomes a new row of the calling matrix.
void CallingMatrixAddFunction(const std::string& name);
// Inside a function body, `name` is called by the current function.
void CallingMatrixAddCall(const std::string& name);
// On an #include line, the included file's name (Design only).
void DependencyMatrixAddInclude(const std::string& name);

}  // namespace vantor
