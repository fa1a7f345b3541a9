// Unified diffs of a rewrite against its source, for `apply --diff` and
// `replace --diff`: what `git apply` and `patch -p1` take.
#pragma once

#include <string>

namespace vantor::cli {

// The diff of `before` into `after` under "--- a/PATH" / "+++ b/PATH", with
// hunks of 3 lines of context; empty when the two are equal. Lines keep their
// bytes as they are (a CR before the LF included); a last line without a line
// end is marked "\ No newline at end of file", as diff marks it.
std::string UnifiedDiff(const std::string& path, const std::string& before, const std::string& after);

}  // namespace vantor::cli
