// vantor-cli: the batch commands of the window for terminals, scripts and CI.
// Its stdout is the console text the window would show, in the same order.
#include <clocale>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "cli/options.h"
#include "config/batch.h"
#include "config/configfile.h"
#include "config/settings.h"
#include "console/console.h"
#include "console/terminal_sink.h"
#include "engine/rules.h"
#include "platform/fs.h"

using namespace vantor;
using namespace vantor::cli;

namespace {

constexpr int kExitOk = 0;
constexpr int kExitViolations = 1;
constexpr int kExitUsage = 2;
constexpr int kExitFileError = 3;

int Fail(const std::string& message) {
    std::fprintf(stderr, "vantor-cli: %s\n", message.c_str());
    return kExitUsage;
}

// French when the locale's language is French, as the window decides at first start.
bool LocaleIsFrench() {
    for (const char* var : {"LC_ALL", "LC_MESSAGES", "LANG"}) {
        const char* v = std::getenv(var);
        if (v && *v) return std::strncmp(v, "fr", 2) == 0;
    }
    return false;
}

const char* CommandName(Command c) {
    switch (c) {
        case Command::Check: return "check";
        case Command::Apply: return "apply";
        case Command::Design: return "design";
        case Command::Instrument: return "instrument";
        case Command::Analyse: return "analyse";
        case Command::Search: return "search";
        case Command::Replace: return "replace";
        case Command::None: break;
    }
    return "?";
}

bool CommandBuilt(Command c) { return c == Command::Check; }

// The run flags each command sets, as the window's buttons do.
void SetRunFlags(Command c, bool substring) {
    SettingsRecord& s = Settings;
    s.checkMode = c == Command::Check;
    s.dictionaryMode = c == Command::Search || c == Command::Replace;
    s.replaceMode = c == Command::Replace;
    if (c == Command::Search || c == Command::Replace) s.substringMode = substring;
    if (c == Command::Instrument) s.substringMode = false;
    s.designMode = c == Command::Design;
    s.Indenter = c == Command::Apply || c == Command::Design || c == Command::Instrument;
    s.couverture = c == Command::Instrument;
    if (c == Command::Design || c == Command::Instrument) {
        s.aligner = true;
        s.accolades = true;
        s.monoInstruction = true;
    }
}

// --format gcc: one PATH:LINE: TEXT line per violation, nothing else on stdout.
void GccViolation(const ctxFichier& ctx, int32_t line, const char* text) {
    size_t n = std::strlen(text);
    while (n > 0 && (text[n - 1] == '\n' || text[n - 1] == '\r')) --n;
    std::fprintf(stdout, "%s:%d: %.*s\n", ctx.filePath.c_str(), line, static_cast<int>(n), text);
}

// Under --format gcc the console keeps only errors (red), and sends them to stderr.
class ErrorsToStderrSink : public ConsoleSink {
public:
    void Append(const char* text, size_t len, uint32_t colour, uint8_t) override {
        if (colour == kColorRed) std::fwrite(text, 1, len, stderr);
    }
};

}  // namespace

int main(int argc, char** argv) {
    std::setlocale(LC_ALL, "C");
    Options o;
    std::string error;
    if (!ParseOptions(argc, argv, o, error)) {
        std::fprintf(stderr, "vantor-cli: %s (see vantor-cli --help)\n", error.c_str());
        return kExitUsage;
    }
    if (o.help) {
        std::fputs(UsageText(), stdout);
        return kExitOk;
    }
    if (o.version) {
        std::printf("vantor-cli %s\n", VANTOR_VERSION);
        return kExitOk;
    }
    French = o.lang.empty() ? LocaleIsFrench() : o.lang == "fr";

    Dictionary dictionary;
    ResetSettings(&dictionary);
    if (!o.configFile.empty()) {
        if (!IsFile(o.configFile)) return Fail("configuration file not found: " + o.configFile);
        if (!LoadConfiguration(o.configFile, dictionary, &error))
            return Fail("cannot read configuration " + o.configFile + ": " + error);
    }
    for (const auto& kv : o.sets)
        if (!ApplySetting(kv.first, kv.second, error)) return Fail(error);
    if (o.masksGiven) Settings.Masques = o.masks;
    if (o.forbiddenGiven) {
        Settings.MotsInterdits.Clear();
        for (const std::string& w : o.forbidden) Settings.MotsInterdits.Add(w);
    }
    if (!o.dict.empty()) {
        dictionary.Clear();
        for (const auto& row : o.dict)
            if (!dictionary.Add(row.first, row.second))
                return Fail("dictionary name given twice: " + row.first);
    }

    std::string source = o.sourceGiven ? o.source
                                       : (o.command == Command::Analyse ? Settings.Test : Settings.Source);
    if (source.empty()) return Fail("no SOURCE given and the configuration names none");
    if (!PathExists(source)) return Fail("SOURCE does not exist: " + source);
    if (!CommandBuilt(o.command))
        return Fail(std::string("the ") + CommandName(o.command) + " command is not available yet");
    if (o.format == ReportFormat::Gcc && o.command != Command::Check)
        return Fail("--format gcc applies to check only");

    SetRunFlags(o.command, o.substring);

    bool colours = o.color == ColorMode::Always || (o.color == ColorMode::Auto && StdoutIsTerminal());
    TerminalSink terminal(stdout, colours);
    ErrorsToStderrSink errorsOnly;
    if (o.format == ReportFormat::Gcc) {
        ConsoleAttach(&console, &errorsOnly);
        SetViolationSink(&GccViolation);
    } else {
        ConsoleAttach(&console, &terminal);
    }

    BatchTotals totals = RunBatch(source, "", &dictionary);
    if (o.format == ReportFormat::Console) ConsolePrintStyle(&console, fsUnderline, "%s", Tr("terminé\n", "finished\n"));
    std::fflush(stdout);
    ConsoleDetach(&console);

    if (totals.ioErrors > 0) return kExitFileError;
    if (Settings.checkMode && totals.violations > 0) return kExitViolations;
    return kExitOk;
}
