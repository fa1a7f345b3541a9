// Sub-string search and replace of the dictionary's old names in one line.
#pragma once

#include <string>

#include "config/settings.h"

namespace vantor {

// Search (`replaceMode` off): reports the first row that occurs in `line`, at
// its first occurrence, and returns false. Replace: rewrites every occurrence
// of every row in grid order and returns true when the line changed.
// Search mode counts the line into `*matches` when it holds a name.
bool ApplyDictionary(std::string& line, const Dictionary* dictionary, int32_t* matches = nullptr);

}  // namespace vantor
