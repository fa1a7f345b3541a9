// Command-line parsing of vantor-cli, kept apart from main() so that the
// rules (what is a usage error, what each option changes) are testable.
#pragma once

#include <string>
#include <utility>
#include <vector>

namespace vantor::cli {

enum class Command { None, Check, Apply, Design, Instrument, Analyse, Search, Replace };
enum class ColorMode { Auto, Always, Never };
enum class ReportFormat { Console, Gcc, Sarif, Checkstyle };

struct Options {
    Command command = Command::None;
    // In the order given; none: the configuration's Source (Test for analyse).
    std::vector<std::string> sources;
    std::string configFile;
    std::string dest;
    bool destGiven = false;
    std::vector<std::pair<std::string, std::string>> sets;  // --set KEY=VALUE, in order
    std::vector<std::string> masks;
    bool masksGiven = false;
    std::vector<std::string> forbidden;
    bool forbiddenGiven = false;
    std::vector<std::pair<std::string, std::string>> dict;
    bool substring = false;
    std::vector<std::string> pragmaBefore;  // --pragma-before LINE: the "Pragma avant" list
    bool pragmaBeforeGiven = false;
    std::vector<std::string> pragmaAfter;  // --pragma-after LINE: the "Pragma apres" list
    bool pragmaAfterGiven = false;
    std::string lcov;  // analyse --lcov FILE
    std::string lcovBase;  // analyse --lcov-base DIR: the folder the SF paths are resolved against
    bool preview = false;  // apply/replace --check
    bool diff = false;     // apply/replace --diff
    bool noBackup = false;
    bool matchCase = false;
    std::string lang;  // "", "en" or "fr"
    ColorMode color = ColorMode::Auto;
    ReportFormat format = ReportFormat::Console;
    bool formatGiven = false;
    int jobs = 1;  // -j N: files processed at once; 0: one per core
    bool help = false;
    bool version = false;
};

// Parses argv; on a usage error returns false with a one-line message.
bool ParseOptions(int argc, char** argv, Options& out, std::string& error);

// Applies one "General" setting by its INI key (any letter case) to Settings.
// False with a message when the key is unknown or a number is malformed.
bool ApplySetting(const std::string& key, const std::string& value, std::string& error);

const char* UsageText();

}  // namespace vantor::cli
