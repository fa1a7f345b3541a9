#include "cli/reports.h"

#include <cstring>

#include "config/settings.h"
#include "engine/rules.h"

namespace vantor::cli {

namespace {

// Appends the code point `c` as UTF-8.
void PutUtf8(std::string& out, uint32_t c) {
    if (c < 0x80) {
        out += static_cast<char>(c);
    } else if (c < 0x800) {
        out += static_cast<char>(0xC0 | (c >> 6));
        out += static_cast<char>(0x80 | (c & 0x3F));
    } else if (c < 0x10000) {
        out += static_cast<char>(0xE0 | (c >> 12));
        out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (c & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | (c >> 18));
        out += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
        out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (c & 0x3F));
    }
}

// The code point at s[i], advancing i; a byte that starts no valid UTF-8
// sequence is a Latin-1 character of its own.
uint32_t NextCodePoint(const std::string& s, size_t& i) {
    const unsigned char b = static_cast<unsigned char>(s[i]);
    const int extra = b >= 0xF0 && b <= 0xF4 ? 3 : b >= 0xE0 && b < 0xF0 ? 2 : b >= 0xC2 && b < 0xE0 ? 1 : 0;
    if (extra == 0 || i + extra >= s.size()) {
        ++i;
        return b;
    }
    uint32_t c = b & (0x3F >> extra);
    for (int k = 1; k <= extra; ++k) {
        const unsigned char n = static_cast<unsigned char>(s[i + k]);
        if ((n & 0xC0) != 0x80) {
            ++i;
            return b;
        }
        c = (c << 6) | (n & 0x3F);
    }
    // Overlong forms, surrogates and values past U+10FFFF are no UTF-8.
    const uint32_t min = extra == 1 ? 0x80 : extra == 2 ? 0x800 : 0x10000;
    if (c < min || (c >= 0xD800 && c <= 0xDFFF) || c > 0x10FFFF) {
        ++i;
        return b;
    }
    i += extra + 1;
    return c;
}

const char* RuleText(const std::string& id) {
    if (id == rule::kInstructions) return "instructions per function";
    if (id == rule::kFonctions) return "functions per source";
    if (id == rule::kImbrications) return "levels of brace nesting";
    if (id == rule::kCaracteres) return "characters per line";
    if (id == rule::kAligner) return "{} aligned";
    if (id == rule::kBreakSurCase) return "break mandatory on case";
    if (id == rule::kMonoInstruction) return "one instruction per line";
    if (id == rule::kNoInterrog) return "no ?: operator";
    if (id == rule::kMotsInterdits) return "instructions forbidden";
    if (id == rule::kParentheses) return "no unmatched closing parenthesis";
    if (id == rule::kBlocs) return "block table overflow";
    return "engine warning";
}

const char* const kRuleIds[] = {rule::kInstructions, rule::kFonctions,       rule::kImbrications,
                                rule::kCaracteres,   rule::kAligner,         rule::kBreakSurCase,
                                rule::kMonoInstruction, rule::kNoInterrog,   rule::kMotsInterdits,
                                rule::kParentheses,  rule::kBlocs};
constexpr int kRuleCount = sizeof kRuleIds / sizeof kRuleIds[0];

int RuleIndex(const std::string& id) {
    for (int i = 0; i < kRuleCount; ++i)
        if (id == kRuleIds[i]) return i;
    return -1;
}

bool Unreserved(unsigned char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '-' || c == '.' ||
           c == '_' || c == '~' || c == '/';
}

}  // namespace

std::string JsonString(const std::string& bytes) {
    std::string out = "\"";
    for (size_t i = 0; i < bytes.size();) {
        const uint32_t c = NextCodePoint(bytes, i);
        if (c == '"' || c == '\\') {
            out += '\\';
            out += static_cast<char>(c);
        } else if (c < 0x20 || c == 0x7F) {
            char esc[8];
            std::snprintf(esc, sizeof esc, "\\u%04x", c);
            out += esc;
        } else {
            PutUtf8(out, c);
        }
    }
    return out + "\"";
}

std::string XmlText(const std::string& bytes) {
    std::string out;
    for (size_t i = 0; i < bytes.size();) {
        const uint32_t c = NextCodePoint(bytes, i);
        switch (c) {
            case '&': out += "&amp;"; break;
            case '<': out += "&lt;"; break;
            case '>': out += "&gt;"; break;
            case '"': out += "&quot;"; break;
            case '\'': out += "&apos;"; break;
            default:
                // XML 1.0 has no place for other control characters, even escaped.
                if (c < 0x20 && c != '\t' && c != '\n' && c != '\r')
                    out += "&#xFFFD;";
                else
                    PutUtf8(out, c);
        }
    }
    return out;
}

std::string FileUri(const std::string& path) {
    std::string out;
    for (unsigned char c : path) {
        if (Unreserved(c)) {
            out += static_cast<char>(c);
        } else {
            char esc[4];
            std::snprintf(esc, sizeof esc, "%%%02X", c);
            out += esc;
        }
    }
    return out;
}

std::string GccLine(const Violation& v) {
    return v.path + ":" + std::to_string(v.line) + ":" + std::to_string(v.column) + ": warning: " + v.text + " [" +
           v.rule + "]\n";
}

std::string SarifLog(const std::vector<Violation>& violations, const std::string& cwd) {
    std::string out =
        "{\"$schema\":\"https://json.schemastore.org/sarif-2.1.0.json\",\"version\":\"2.1.0\",\"runs\":[{"
        "\"tool\":{\"driver\":{\"name\":\"vantor-cli\",\"version\":\"" VANTOR_VERSION "\","
        "\"informationUri\":\"https://vantor.belvane.example/\",\"rules\":[";
    for (int i = 0; i < kRuleCount; ++i) {
        if (i > 0) out += ",";
        out += "{\"id\":" + JsonString(kRuleIds[i]) + ",\"shortDescription\":{\"text\":" +
               JsonString(RuleText(kRuleIds[i])) + "}}";
    }
    out += "]}},\"originalUriBaseIds\":{\"SRCROOT\":{\"uri\":" + JsonString("file://" + FileUri(cwd + "/")) +
           "}},\"results\":[";
    const std::string prefix = cwd + "/";
    bool first = true;
    for (const Violation& v : violations) {
        if (!first) out += ",";
        first = false;
        const int index = RuleIndex(v.rule);
        out += "{\"ruleId\":" + JsonString(v.rule.empty() ? "vantor" : v.rule);
        if (index >= 0) out += ",\"ruleIndex\":" + std::to_string(index);
        out += ",\"level\":\"warning\",\"message\":{\"text\":" + JsonString(v.text) +
               "},\"locations\":[{\"physicalLocation\":{\"artifactLocation\":{";
        // Paths under the current folder are relative to it; others stay absolute.
        if (!v.path.empty() && v.path[0] == '/' && v.path.compare(0, prefix.size(), prefix) != 0) {
            out += "\"uri\":" + JsonString("file://" + FileUri(v.path));
        } else {
            std::string rel = v.path.compare(0, prefix.size(), prefix) == 0 ? v.path.substr(prefix.size()) : v.path;
            while (rel.compare(0, 2, "./") == 0) rel.erase(0, 2);
            out += "\"uri\":" + JsonString(FileUri(rel)) + ",\"uriBaseId\":\"SRCROOT\"";
        }
        out += "},\"region\":{\"startLine\":" + std::to_string(v.line > 0 ? v.line : 1) +
               ",\"startColumn\":" + std::to_string(v.column > 0 ? v.column : 1) + "}}}]}";
    }
    return out + "]}]}\n";
}

std::string CheckstyleXml(const std::vector<Violation>& violations) {
    std::string out = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<checkstyle version=\"4.3\">\n";
    size_t i = 0;
    while (i < violations.size()) {
        const std::string& path = violations[i].path;
        out += "<file name=\"" + XmlText(path) + "\">\n";
        for (; i < violations.size() && violations[i].path == path; ++i) {
            const Violation& v = violations[i];
            out += "<error line=\"" + std::to_string(v.line) + "\" column=\"" + std::to_string(v.column) +
                   "\" severity=\"warning\" message=\"" + XmlText(v.text) + "\" source=\"vantor." +
                   XmlText(v.rule.empty() ? "vantor" : v.rule) + "\"/>\n";
        }
        out += "</file>\n";
    }
    return out + "</checkstyle>\n";
}

}  // namespace vantor::cli
