// Arbitrary bytes as file names and report texts: the SARIF log must be valid
// UTF-8 JSON and the checkstyle log valid UTF-8 with no bare markup bytes.
#include <cstddef>
#include <cstdint>
#include <cctype>
#include <cstdlib>
#include <string>
#include <vector>

#include "cli/reports.h"

namespace {

bool ValidUtf8(const std::string& s) {
    for (size_t i = 0; i < s.size();) {
        const unsigned char b = static_cast<unsigned char>(s[i]);
        const int extra = b < 0x80 ? 0 : b >= 0xC2 && b < 0xE0 ? 1 : b >= 0xE0 && b < 0xF0 ? 2 : b >= 0xF0 && b <= 0xF4 ? 3 : -1;
        if (extra < 0 || i + extra >= s.size()) return false;
        for (int k = 1; k <= extra; ++k)
            if ((static_cast<unsigned char>(s[i + k]) & 0xC0) != 0x80) return false;
        i += extra + 1;
    }
    return true;
}

// A small recursive JSON reader: true when `s` from `i` holds one value.
struct Json {
    const std::string& s;
    size_t i = 0;
    void Blank() { while (i < s.size() && (s[i] == ' ' || s[i] == '\n' || s[i] == '\t' || s[i] == '\r')) ++i; }
    bool Lit(const char* w) { const std::string t(w); if (s.compare(i, t.size(), t) != 0) return false; i += t.size(); return true; }
    bool String() {
        if (s[i++] != '"') return false;
        while (i < s.size() && s[i] != '"') {
            if (static_cast<unsigned char>(s[i]) < 0x20) return false;
            if (s[i] == '\\') {
                ++i;
                if (i >= s.size()) return false;
                if (s[i] == 'u') { for (int k = 1; k <= 4; ++k) if (i + k >= s.size() || !isxdigit(static_cast<unsigned char>(s[i + k]))) return false; i += 4; }
                else if (std::string("\"\\/bfnrt").find(s[i]) == std::string::npos) return false;
            }
            ++i;
        }
        return i++ < s.size();
    }
    bool Value() {
        Blank();
        if (i >= s.size()) return false;
        const char c = s[i];
        if (c == '"') return String();
        if (c == '{' || c == '[') {
            const char close = c == '{' ? '}' : ']';
            ++i; Blank();
            if (i < s.size() && s[i] == close) return ++i, true;
            for (;;) {
                if (c == '{') { Blank(); if (i >= s.size() || s[i] != '"' || !String()) return false; Blank(); if (i >= s.size() || s[i++] != ':') return false; }
                if (!Value()) return false;
                Blank();
                if (i >= s.size()) return false;
                if (s[i] == close) return ++i, true;
                if (s[i++] != ',') return false;
            }
        }
        if (c == '-' || (c >= '0' && c <= '9')) { ++i; while (i < s.size() && s[i] >= '0' && s[i] <= '9') ++i; return true; }
        return Lit("true") || Lit("false") || Lit("null");
    }
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    // NUL bytes cut the input into path, rule and text fields of successive violations.
    std::vector<vantor::cli::Violation> v;
    std::string fields[3];
    int f = 0;
    for (size_t k = 0; k <= size; ++k) {
        if (k == size || data[k] == 0) {
            if (++f == 3 || k == size) {
                v.push_back({fields[0], static_cast<int32_t>(k), static_cast<int32_t>(size - k), fields[1], fields[2]});
                fields[0].clear(), fields[1].clear(), fields[2].clear();
                f = 0;
            }
        } else {
            fields[f] += static_cast<char>(data[k]);
        }
    }
    const std::string sarif = vantor::cli::SarifLog(v, v.front().path.empty() ? "/" : "/" + v.front().path);
    Json j{sarif};
    if (!ValidUtf8(sarif) || !j.Value()) std::abort();
    j.Blank();
    if (j.i != sarif.size()) std::abort();
    const std::string xml = vantor::cli::CheckstyleXml(v);
    if (!ValidUtf8(xml)) std::abort();
    // Inside attribute values no raw '<' or '"' may appear: every '<' starts a tag we wrote.
    for (size_t k = xml.find('<'); k != std::string::npos; k = xml.find('<', k + 1))
        if (xml.compare(k, 5, "<?xml") != 0 && xml.compare(k, 6, "<check") != 0 && xml.compare(k, 7, "</check") != 0 &&
            xml.compare(k, 5, "<file") != 0 && xml.compare(k, 6, "</file") != 0 && xml.compare(k, 6, "<error") != 0)
            std::abort();
    return 0;
}
