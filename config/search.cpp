#include "config/search.h"

#include <cstring>

#include "console/console.h"
#include "engine/bytescan.h"

namespace vantor {

namespace {

void ReportMatch(const std::string& line, size_t at, const std::string& key) {
    if (at > 0) ConsoleWrite(&console, line.data(), at);
    ConsoleWriteColor(&console, kColorGreen, key.c_str());
    const size_t restAt = at + key.size();
    if (restAt < line.size() && line[restAt] != '\0') ConsoleWrite(&console, line.data() + restAt, line.size() - restAt);
    // A last line without line end must not leave the console line open.
    if (line.empty() || line.back() != '\n') ConsolePrint(&console, "\n");
}

#ifdef VANTOR_AVX2
// Line ends from `p` on, 32 bytes at a time; `p` is left where fewer remain.
__attribute__((target("avx2,popcnt"))) int32_t CountLineEndsWide(const char*& p, const char* end) {
    const __m256i nl = _mm256_set1_epi8('\n');
    int32_t n = 0;
    for (; end - p >= 32; p += 32) {
        const __m256i c = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(p));
        n += __builtin_popcount(static_cast<uint32_t>(_mm256_movemask_epi8(_mm256_cmpeq_epi8(c, nl))));
    }
    return n;
}
#endif

// Line ends in [p, end), eight bytes at a time where no wider way is there.
int32_t CountLineEnds(const char* p, const char* end) {
    int32_t n = 0;
#ifdef VANTOR_AVX2
    if (HasAvx2()) n = CountLineEndsWide(p, end);
#endif
    constexpr uint64_t kOnes = 0x0101010101010101u, kLow7 = 0x7F7F7F7F7F7F7F7Fu;
    while (end - p >= 8) {
        // Each byte of `sums` counts up to 255 words' worth of line ends.
        uint64_t sums = 0;
        for (int k = 0; k < 255 && end - p >= 8; ++k, p += 8) {
            uint64_t w;
            std::memcpy(&w, p, 8);
            w ^= kOnes * '\n';                           // a line end becomes a zero byte
            const uint64_t t = ((w & kLow7) + kLow7) | w;  // high bit clear only in the zero bytes
            sums += (~t >> 7) & kOnes;
        }
        for (; sums != 0; sums >>= 8) n += static_cast<int32_t>(sums & 0xFF);
    }
    for (; p < end; ++p) n += *p == '\n';
    return n;
}

}  // namespace

int32_t SearchLines(const char* data, size_t size, const Dictionary& dictionary, std::string& line,
                    int32_t* matches) {
    const char* const end = data + size;
    const char* p = data;
    const char* lineStart = data;  // the line holding p
    while (p < end) {
        const char* at = dictionary.NextCandidate(p, end);
        if (at == end) break;
        // A name holds no line end: one that starts at `at` lies in the line holding `at`.
        int32_t row = dictionary.RowAt(at, end, INT32_MAX);
        if (row < 0) {
            p = at + 1;
            continue;
        }
        for (const char* q = at; q > lineStart; --q)
            if (q[-1] == '\n') {
                lineStart = q;
                break;
            }
        const char* nl = static_cast<const char*>(std::memchr(at, '\n', static_cast<size_t>(end - at)));
        const char* lineEnd = nl ? nl + 1 : end;
        // The first row in dictionary order wins, at its first occurrence,
        // wherever the others are in the line.
        for (const char* q = at + 1; row > 0 && q < lineEnd; ++q) {
            q = dictionary.NextCandidate(q, lineEnd);
            if (q == lineEnd) break;
            const int32_t other = dictionary.RowAt(q, lineEnd, row);
            if (other >= 0) {
                row = other;
                at = q;
            }
        }
        line.assign(lineStart, static_cast<size_t>(lineEnd - lineStart));
        ReportMatch(line, static_cast<size_t>(at - lineStart), dictionary[static_cast<size_t>(row)].oldName);
        if (matches) ++*matches;
        p = lineStart = lineEnd;
    }
    return CountLineEnds(data, end) + (size > 0 && end[-1] != '\n');
}

bool ApplyDictionary(std::string& line, const Dictionary* dictionary, int32_t* matches) {
    // Most lines hold none of the names: they are passed over at a glance.
    if (!dictionary || !dictionary->MayOccurIn(line)) return false;
    bool changed = false;
    std::string result;
    for (const DictionaryRow& row : dictionary->Rows()) {
        const std::string& key = row.oldName;
        if (key.empty()) continue;
        size_t at = line.find(key);
        if (at == std::string::npos) continue;
        if (!Settings.replaceMode) {
            ReportMatch(line, at, key);
            if (matches) ++*matches;
            return false;
        }
        // Left to right, never looking into a replacement made by this row.
        result.clear();
        size_t from = 0;
        do {
            result.append(line, from, at - from);
            result += row.newName;
            from = at + key.size();
            at = line.find(key, from);
        } while (at != std::string::npos);
        result.append(line, from, std::string::npos);
        line.swap(result);
        changed = true;
    }
    return changed;
}

}  // namespace vantor
