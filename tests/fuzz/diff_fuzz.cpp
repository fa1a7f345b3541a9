// Any two texts: the unified diff of one into the other, applied to the first
// by an applier of its own, must give the second (and be empty only for equal texts).
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

#include "cli/diff.h"

namespace {

std::vector<std::string> Lines(const std::string& text) {
    std::vector<std::string> lines;
    size_t from = 0;
    while (from < text.size()) {
        size_t nl = text.find('\n', from);
        size_t to = nl == std::string::npos ? text.size() : nl + 1;
        lines.push_back(text.substr(from, to - from));
        from = to;
    }
    return lines;
}

long Number(const std::string& s, size_t& i) {
    long v = 0;
    if (i >= s.size() || s[i] < '0' || s[i] > '9') std::abort();
    while (i < s.size() && s[i] >= '0' && s[i] <= '9') v = v * 10 + (s[i++] - '0');
    return v;
}

void Expect(const std::string& s, size_t& i, const char* word) {
    const std::string w(word);
    if (s.compare(i, w.size(), w) != 0) std::abort();
    i += w.size();
}

// Applies `diff` to `before`; aborts on anything a patch tool would refuse.
std::string Apply(const std::string& before, const std::string& diff) {
    const std::vector<std::string> a = Lines(before);
    const std::vector<std::string> d = Lines(diff);
    if (d.size() < 3 || d[0] != "--- a/f\n" || d[1] != "+++ b/f\n") std::abort();
    std::string out;
    size_t next = 0;  // next line of `a` to copy
    for (size_t k = 2; k < d.size();) {
        const std::string& h = d[k++];
        size_t i = 0;
        Expect(h, i, "@@ -");
        long aStart = Number(h, i);
        Expect(h, i, ",");
        long aCount = Number(h, i);
        Expect(h, i, " +");
        Number(h, i);
        Expect(h, i, ",");
        long bCount = Number(h, i);
        Expect(h, i, " @@\n");
        const size_t from = static_cast<size_t>(aCount > 0 ? aStart - 1 : aStart);
        if (from < next || from > a.size()) std::abort();
        for (; next < from; ++next) out += a[next];
        while (aCount > 0 || bCount > 0) {
            if (k >= d.size()) std::abort();
            std::string line = d[k++].substr(1);
            const char kind = d[k - 1][0];
            // "\ No newline" belongs to the line before it.
            if (k < d.size() && d[k] == "\\ No newline at end of file\n") {
                line.pop_back();
                ++k;
            }
            if (kind == ' ' || kind == '-') {
                if (next >= a.size() || a[next] != line) std::abort();
                ++next;
                --aCount;
            }
            if (kind == ' ' || kind == '+') {
                out += line;
                --bCount;
            }
            if (kind != ' ' && kind != '-' && kind != '+') std::abort();
            if (aCount < 0 || bCount < 0) std::abort();
        }
    }
    for (; next < a.size(); ++next) out += a[next];
    return out;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    // A NUL byte cuts the input into the text before and the text after.
    const std::string all(reinterpret_cast<const char*>(data), size);
    const size_t cut = all.find('\0');
    const std::string before = all.substr(0, cut);
    const std::string after = cut == std::string::npos ? before : all.substr(cut + 1);
    const std::string diff = vantor::cli::UnifiedDiff("f", before, after);
    if (diff.empty() != (before == after)) std::abort();
    if (!diff.empty() && Apply(before, diff) != after) std::abort();
    return 0;
}
