// Byte-level text helpers: ASCII classification in the C locale, so results
// never depend on the user's locale and a negative char is never passed to <cctype>.
#pragma once

#include <cstddef>
#include <string>

namespace vantor {

inline bool IsAsciiLetter(unsigned char c) { return (c | 0x20) >= 'a' && (c | 0x20) <= 'z'; }
inline bool IsAsciiDigit(unsigned char c) { return c >= '0' && c <= '9'; }
inline bool IsAsciiAlnum(unsigned char c) { return IsAsciiLetter(c) || IsAsciiDigit(c); }
inline char AsciiLower(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c + 32) : c; }

inline bool EqualsNoCase(const char* a, const char* b, size_t n) {
    for (size_t i = 0; i < n; ++i)
        if (AsciiLower(a[i]) != AsciiLower(b[i])) return false;
    return true;
}
inline bool EqualsNoCase(const std::string& a, const std::string& b) {
    return a.size() == b.size() && EqualsNoCase(a.data(), b.data(), a.size());
}
inline bool EndsWithNoCase(const std::string& s, const char* suffix, size_t n) {
    return s.size() >= n && EqualsNoCase(s.data() + s.size() - n, suffix, n);
}
inline std::string ToLowerAscii(std::string s) {
    for (char& c : s) c = AsciiLower(c);
    return s;
}

}  // namespace vantor
