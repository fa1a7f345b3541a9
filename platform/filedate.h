// The date text that identifies one version of a source file in its coverage
// table, and later in the traces.
#pragma once

#include <cstdint>
#include <string>

namespace vantor {

// Local time of `seconds` (since 1970) at the 2-second resolution of a file
// date (odd seconds go down), as "YYYY-MM-DD hh:mm:ss". The text does not
// depend on the locale, so every front end writes the same date for the same
// unchanged file, and byte order sorts it chronologically.
std::string FormatFileDate(int64_t seconds);

// FormatFileDate of the file's last modification; false (text empty) when the
// date cannot be read.
bool FileDateText(const std::string& path, std::string& text);

}  // namespace vantor
