#include "cli/options.h"

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>

#include "config/settings.h"
#include "platform/text.h"

namespace vantor::cli {

const char* UsageText() {
    return "usage: vantor-cli [options] COMMAND [SOURCE...]\n"
           "COMMAND: check | apply | design | instrument | analyse | search | replace\n"
           "SOURCE:  a folder or one file (analyse: the trace folder or one trace);\n"
           "         check, apply, search and replace take several, run in the order given;\n"
           "         default: the configuration's Source (Test for analyse)\n"
           "  -c, --config FILE    load a .cod configuration\n"
           "  -o, --dest DIR       destination folder (design, instrument)\n"
           "  --set KEY=VALUE      override a \"General\" setting by its key (repeatable)\n"
           "  --mask MASK          file mask, repeatable; replaces the mask list\n"
           "  --forbid WORD        forbidden word, repeatable; replaces the list\n"
           "  --dict OLD=NEW       dictionary row, repeatable, in order\n"
           "  --substring          sub-string matching for search and replace\n"
           "  --match-case         whole-token search and replace: letter case counts\n"
           "  --check              apply, replace: write nothing, list the files that would change\n"
           "  --diff               apply, replace: write nothing, print the changes as a unified diff\n"
           "  --no-backup          apply, replace: keep no .bak of a rewritten file\n"
           "  --pragma-before LINE instrument: a \"Pragma avant\" line, repeatable; replaces the list\n"
           "  --pragma-after LINE  instrument: a \"Pragma apres\" line, repeatable; replaces the list\n"
           "  --lcov FILE          analyse: also write an lcov tracefile\n"
           "  --lcov-base DIR      analyse: the folder the sources were instrumented from, which\n"
           "                       the tracefile's SF paths start from (default: the current folder)\n"
           "  --format F           check: console (default); gcc: PATH:LINE:COLUMN: warning: TEXT [RULE];\n"
           "                       sarif: a SARIF 2.1.0 log; checkstyle: checkstyle XML\n"
           "  -j, --jobs N         files processed at once (default 1; 0: one per core), same output\n"
           "  --lang en|fr         message language\n"
           "  --color auto|always|never\n"
           "  -h, --help           this text\n"
           "  --version            the version\n"
           "exit status: 0 nothing reported, 1 check reported a violation, search a match,\n"
           "             apply/replace --check or --diff a file that would change,\n"
           "             2 usage or configuration error, 3 a file could not be read or written\n";
}

static bool ParseCommand(const std::string& s, Command& c) {
    static const struct {
        const char* name;
        Command cmd;
    } table[] = {{"check", Command::Check},           {"apply", Command::Apply},
                 {"design", Command::Design},         {"instrument", Command::Instrument},
                 {"analyse", Command::Analyse},       {"analyze", Command::Analyse},
                 {"search", Command::Search},         {"replace", Command::Replace}};
    for (const auto& t : table)
        if (s == t.name) {
            c = t.cmd;
            return true;
        }
    return false;
}

// Splits "A=B" at the first "="; false when there is none.
static bool SplitPair(const std::string& s, std::string& a, std::string& b) {
    size_t eq = s.find('=');
    if (eq == std::string::npos) return false;
    a = s.substr(0, eq);
    b = s.substr(eq + 1);
    return true;
}

// An option the command does not use would be passed over without a word,
// and the user left believing it did something (`apply -o DIR` rewriting the
// sources in place): it is a usage error.
static bool RefuseUnusedOptions(const Options& o, std::string& error) {
    const Command c = o.command;
    const bool dictionaryCommand = c == Command::Search || c == Command::Replace;
    const struct {
        bool given;
        bool used;
        const char* what;
    } rules[] = {
        {o.destGiven, c == Command::Design || c == Command::Instrument, "-o/--dest applies to design and instrument only"},
        {!o.dict.empty(), dictionaryCommand, "--dict applies to search and replace only"},
        {o.substring, dictionaryCommand, "--substring applies to search and replace only"},
        {o.pragmaBeforeGiven, c == Command::Instrument, "--pragma-before applies to instrument only"},
        {o.pragmaAfterGiven, c == Command::Instrument, "--pragma-after applies to instrument only"},
        {!o.lcov.empty(), c == Command::Analyse, "--lcov applies to analyse only"},
        {o.formatGiven, c == Command::Check, "--format applies to check only"},
        {o.preview, c == Command::Apply || c == Command::Replace, "--check applies to apply and replace only"},
        {o.diff, c == Command::Apply || c == Command::Replace, "--diff applies to apply and replace only"},
        {o.preview && o.diff, false, "--check and --diff cannot be used together"},
        {o.noBackup, c == Command::Apply || c == Command::Replace, "--no-backup applies to apply and replace only"},
        {o.matchCase, dictionaryCommand, "--match-case applies to search and replace only"},
        {o.matchCase && o.substring, false, "--match-case applies to whole-token matching, not with --substring"},
        {!o.lcovBase.empty(), !o.lcov.empty(), "--lcov-base needs --lcov"},
        // Two sources written into one destination would mix their trees.
        {o.sources.size() > 1,
         c == Command::Check || c == Command::Apply || c == Command::Search || c == Command::Replace,
         "several SOURCE arguments apply to check, apply, search and replace only"},
    };
    for (const auto& r : rules)
        if (r.given && !r.used) {
            error = r.what;
            return false;
        }
    return true;
}

// Digits only: "-1", "+2", "2x" or "" are typos, not a number of jobs.
static bool ParseJobs(const std::string& s, int& out) {
    if (s.empty() || s.size() > 9) return false;
    int v = 0;
    for (char c : s) {
        if (c < '0' || c > '9') return false;
        v = v * 10 + (c - '0');
    }
    out = v;
    return true;
}

bool ParseOptions(int argc, char** argv, Options& o, std::string& error) {
    std::vector<std::string> positional;
    bool onlyPositional = false;
    for (int i = 1; i < argc; ++i) {
        std::string arg = argv[i];
        if (onlyPositional || arg.empty() || arg[0] != '-' || arg == "-") {
            positional.push_back(arg);
            continue;
        }
        if (arg == "--") {
            onlyPositional = true;
            continue;
        }
        // --opt=value is accepted beside --opt value, and -jN beside -j N.
        std::string name = arg, inlineValue;
        bool hasInline = false;
        if (arg.size() > 2 && arg.rfind("-j", 0) == 0) {
            name = "-j";
            inlineValue = arg.substr(2);
            hasInline = true;
        } else if (arg.rfind("--", 0) == 0) {
            size_t eq = arg.find('=');
            if (eq != std::string::npos) {
                name = arg.substr(0, eq);
                inlineValue = arg.substr(eq + 1);
                hasInline = true;
            }
        }
        auto value = [&](std::string& v) -> bool {
            if (hasInline) {
                v = inlineValue;
                return true;
            }
            if (i + 1 >= argc) {
                error = "option " + name + " needs a value";
                return false;
            }
            v = argv[++i];
            return true;
        };
        std::string v;
        if (name == "-h" || name == "--help") {
            o.help = true;
        } else if (name == "--version") {
            o.version = true;
        } else if (name == "-c" || name == "--config") {
            if (!value(o.configFile)) return false;
        } else if (name == "-o" || name == "--dest") {
            if (!value(o.dest)) return false;
            o.destGiven = true;
        } else if (name == "--set") {
            if (!value(v)) return false;
            std::string k, val;
            if (!SplitPair(v, k, val) || k.empty()) {
                error = "--set needs KEY=VALUE, got \"" + v + "\"";
                return false;
            }
            o.sets.emplace_back(k, val);
        } else if (name == "--mask") {
            if (!value(v)) return false;
            o.masks.push_back(v);
            o.masksGiven = true;
        } else if (name == "--forbid") {
            if (!value(v)) return false;
            o.forbidden.push_back(v);
            o.forbiddenGiven = true;
        } else if (name == "--dict") {
            if (!value(v)) return false;
            std::string a, b;
            if (!SplitPair(v, a, b) || a.empty()) {
                error = "--dict needs OLD=NEW, got \"" + v + "\"";
                return false;
            }
            o.dict.emplace_back(a, b);
        } else if (name == "--substring") {
            o.substring = true;
        } else if (name == "--match-case") {
            o.matchCase = true;
        } else if (name == "--check") {
            o.preview = true;
        } else if (name == "--diff") {
            o.diff = true;
        } else if (name == "--no-backup") {
            o.noBackup = true;
        } else if (name == "--lcov-base") {
            if (!value(o.lcovBase)) return false;
            if (o.lcovBase.empty()) {
                error = "--lcov-base needs a folder";
                return false;
            }
        } else if (name == "--pragma-before") {
            if (!value(v)) return false;
            o.pragmaBefore.push_back(v);
            o.pragmaBeforeGiven = true;
        } else if (name == "--pragma-after") {
            if (!value(v)) return false;
            o.pragmaAfter.push_back(v);
            o.pragmaAfterGiven = true;
        } else if (name == "--lcov") {
            if (!value(o.lcov)) return false;
            if (o.lcov.empty()) {
                error = "--lcov needs a file name";
                return false;
            }
        } else if (name == "-j" || name == "--jobs") {
            if (!value(v)) return false;
            if (!ParseJobs(v, o.jobs)) {
                error = "-j/--jobs takes a number of files at once (0: one per core), got \"" + v + "\"";
                return false;
            }
        } else if (name == "--lang") {
            if (!value(v)) return false;
            if (v != "en" && v != "fr") {
                error = "--lang takes en or fr, got \"" + v + "\"";
                return false;
            }
            o.lang = v;
        } else if (name == "--color" || name == "--colour") {
            if (!value(v)) return false;
            if (v == "auto")
                o.color = ColorMode::Auto;
            else if (v == "always")
                o.color = ColorMode::Always;
            else if (v == "never")
                o.color = ColorMode::Never;
            else {
                error = "--color takes auto, always or never, got \"" + v + "\"";
                return false;
            }
        } else if (name == "--format") {
            if (!value(v)) return false;
            o.formatGiven = true;
            if (v == "console")
                o.format = ReportFormat::Console;
            else if (v == "gcc")
                o.format = ReportFormat::Gcc;
            else if (v == "sarif")
                o.format = ReportFormat::Sarif;
            else if (v == "checkstyle")
                o.format = ReportFormat::Checkstyle;
            else {
                error = "--format takes console, gcc, sarif or checkstyle, got \"" + v + "\"";
                return false;
            }
        } else {
            error = "unknown option " + name;
            return false;
        }
    }
    if (o.help || o.version) return true;
    if (positional.empty()) {
        error = "no command given (check, apply, design, instrument, analyse, search or replace)";
        return false;
    }
    if (!ParseCommand(positional[0], o.command)) {
        error = "unknown command \"" + positional[0] + "\"";
        return false;
    }
    o.sources.assign(positional.begin() + 1, positional.end());
    return RefuseUnusedOptions(o, error);
}

// Strict decimal int32, blanks around allowed: a typo must not become 0.
static bool ParseInt32(const std::string& s, int32_t& out) {
    const char* p = s.c_str();
    while (*p == ' ' || *p == '\t') ++p;
    if (!*p) return false;
    errno = 0;
    char* end = nullptr;
    long v = std::strtol(p, &end, 10);
    if (end == p) return false;
    while (*end == ' ' || *end == '\t') ++end;
    if (*end || errno == ERANGE || v < INT32_MIN || v > INT32_MAX) return false;
    out = static_cast<int32_t>(v);
    return true;
}

bool ApplySetting(const std::string& key, const std::string& value, std::string& error) {
    SettingsRecord& s = Settings;
    struct TextKey {
        const char* name;
        std::string* field;
    };
    struct BoolKey {
        const char* name;
        bool* field;
    };
    struct IntKey {
        const char* name;
        int32_t* field;
    };
    const TextKey texts[] = {{"Source", &s.Source},
                             {"Destination", &s.Destination},
                             {"DestinationDesign", &s.DestinationDesign},
                             {"Test", &s.Test},
                             {"folderToIgnore", &s.folderToIgnore}};
    const BoolKey bools[] = {{"SousRepertoire", &s.SousRepertoire}, {"Indenter", &s.Indenter},
                             {"noInterrog", &s.noInterrog},         {"breakSurCase", &s.breakSurCase},
                             {"monoInstruction", &s.monoInstruction}, {"aligner", &s.aligner},
                             {"couverture", &s.couverture},         {"accolades", &s.accolades},
                             {"rtlf", &s.rtlf},                     {"Methodes", &s.Methodes}};
    const IntKey ints[] = {{"lnIndentation", &s.lnIndentation}, {"imbrications", &s.imbrications},
                           {"fonctions", &s.fonctions},         {"instructions", &s.instructions},
                           {"caracteres", &s.caracteres}};
    for (const TextKey& t : texts)
        if (EqualsNoCase(key, t.name)) {
            *t.field = value;
            return true;
        }
    for (const BoolKey& b : bools)
        if (EqualsNoCase(key, b.name)) {
            int32_t v;
            if (!ParseInt32(value, v)) {
                error = "setting " + std::string(b.name) + " takes a number (0 or 1), got \"" + value + "\"";
                return false;
            }
            *b.field = v != 0;
            return true;
        }
    for (const IntKey& n : ints)
        if (EqualsNoCase(key, n.name)) {
            int32_t v;
            if (!ParseInt32(value, v)) {
                error = "setting " + std::string(n.name) + " takes a number, got \"" + value + "\"";
                return false;
            }
            *n.field = v;
            return true;
        }
    error = "unknown setting \"" + key + "\"";
    return false;
}

}  // namespace vantor::cli
