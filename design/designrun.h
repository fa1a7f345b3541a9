// Start and end of a Design run around the batch: the two cross-reference
// matrices and the list file "liste.txt" live exactly as long as the run.
// Shared by the window's worker and the command-line front end.
#pragma once

#include <string>

namespace vantor {

// Creates Settings.dependencyMatrix and Settings.callingMatrix, creates the
// design folder with its parents and opens Settings.designListFile as
// "liste.txt" in it. A list file that cannot be opened is reported in red
// with its path and the run goes on without it: false then.
bool BeginDesignRun(const std::string& designFolder);

// After the batch: writes "dependency.html" and "calling.html" into the
// design folder and frees the matrices, closes the list file and clears
// `designMode`. False when a page or the list file could not be written
// (already reported).
bool EndDesignRun(const std::string& designFolder);

}  // namespace vantor
