// Machine-readable Check reports for editors and CI: gcc-style lines, a SARIF
// 2.1.0 log and checkstyle XML. Text in any bytes comes out as valid UTF-8
// (bytes that are no UTF-8 are taken as Latin-1, the sources' 8-bit code page).
#pragma once

#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

namespace vantor::cli {

struct Violation {
    std::string path;
    int32_t line;
    int32_t column;
    std::string rule;
    std::string text;
};

// "PATH:LINE:COLUMN: warning: TEXT [RULE]\n"
std::string GccLine(const Violation& v);
// `cwd` (absolute, no trailing slash) is the base of the relative URIs.
std::string SarifLog(const std::vector<Violation>& violations, const std::string& cwd);
std::string CheckstyleXml(const std::vector<Violation>& violations);

// Escapes for the two formats (exposed for the fuzz target and tests).
std::string JsonString(const std::string& bytes);
std::string XmlText(const std::string& bytes);
std::string FileUri(const std::string& path);

}  // namespace vantor::cli
