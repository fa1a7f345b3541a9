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

// Search over `size` bytes of whole lines, the last of which may lack its line
// end: reports and counts every line as ApplyDictionary would, one by one,
// and returns how many lines there are. `line` is room for a reported line.
// Needs dictionary.BlockSearchable().
int32_t SearchLines(const char* data, size_t size, const Dictionary& dictionary, std::string& line,
                    int32_t* matches);

}  // namespace vantor
