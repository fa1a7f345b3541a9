// vantor-cli: the batch commands of the window for terminals, scripts and CI.
// Its stdout is the console text the window would show, in the same order.
#include <csignal>
#include <clocale>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>
#include <filesystem>

#include "cli/diff.h"
#include "cli/options.h"
#include "cli/reports.h"
#include "config/batch.h"
#include "config/command.h"
#include "config/configfile.h"
#include "config/settings.h"
#include "console/console.h"
#include "console/terminal_sink.h"
#include "coverage/analyse.h"
#include "engine/rules.h"
#include "platform/fs.h"

using namespace vantor;
using namespace vantor::cli;

extern "C" const char* VantorVersionBlock();  // build/version_block.c

namespace {

constexpr int kExitOk = 0;
constexpr int kExitViolations = 1;
constexpr int kExitUsage = 2;
constexpr int kExitFileError = 3;
constexpr int kExitInterrupted = 130;  // as a shell reports a command ended by Ctrl-C

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

bool CommandBuilt(Command c) {
    return c == Command::Check || c == Command::Apply || c == Command::Design || c == Command::Search ||
           c == Command::Replace || c == Command::Instrument || c == Command::Analyse;
}

// The window's batch command for a command of the command line.
BatchCommand ToBatchCommand(Command c) {
    switch (c) {
        case Command::Apply: return BatchCommand::Apply;
        case Command::Design: return BatchCommand::Design;
        case Command::Instrument: return BatchCommand::Instrument;
        case Command::Search: return BatchCommand::Search;
        case Command::Replace: return BatchCommand::Replace;
        default: return BatchCommand::Check;
    }
}

// The folder of the Design pages (-o, else DestinationDesign) or of the
// instrumented copies (-o, else Destination), checked as the window checks it.
// The command line words the faults of both folders as Design's.
bool DestinationFolder(const Options& o, const std::string& source, std::string& folder, std::string& error) {
    const bool design = o.command == Command::Design;
    folder = o.destGiven ? o.dest : (design ? Settings.DestinationDesign : Settings.Destination);
    const DestinationFault fault = design ? CheckDesignDestination(folder, source, Settings.SousRepertoire)
                                          : CheckInstrumentDestination(folder, source, Settings.SousRepertoire);
    if (fault == DestinationFault::None) return true;
    error = DestinationMessage(BatchCommand::Design, fault);
    error.pop_back();  // the window's line end
    return false;
}

// The first interrupt asks the run to stop after the file in progress, with
// every rewrite already written swapped in; a second one ends the program.
extern "C" void OnInterrupt(int sig) {
    RequestStop();
    std::signal(sig, SIG_DFL);
}

void CatchInterrupts() {
#ifdef _WIN32
    std::signal(SIGINT, OnInterrupt);
    std::signal(SIGTERM, OnInterrupt);
#else
    struct sigaction sa {};
    sa.sa_handler = OnInterrupt;
    sa.sa_flags = SA_RESTART | SA_RESETHAND;
    sigemptyset(&sa.sa_mask);
    for (int sig : {SIGINT, SIGTERM, SIGHUP}) sigaction(sig, &sa, nullptr);
#endif
}

// Each failed file also gets the system's reason, for the person reading the log.
void FileErrorToStderr(const std::string& path, const std::string& reason) {
    std::fprintf(stderr, "vantor-cli: %s: %s\n", path.c_str(), reason.c_str());
}

// --format gcc: each violation as it comes; sarif and checkstyle: kept for the
// log written at the end.
std::vector<Violation> kept;

Violation MakeViolation(const ctxFichier& ctx, int32_t line, int32_t column, const char* rule, const char* text) {
    size_t n = std::strlen(text);
    while (n > 0 && (text[n - 1] == '\n' || text[n - 1] == '\r')) --n;
    return {ctx.filePath, line, column, rule ? rule : "vantor", std::string(text, n)};
}

void GccViolation(const ctxFichier& ctx, int32_t line, int32_t column, const char* rule, const char* text) {
    const std::string out = GccLine(MakeViolation(ctx, line, column, rule, text));
    std::fwrite(out.data(), 1, out.size(), stdout);
}

void KeepViolation(const ctxFichier& ctx, int32_t line, int32_t column, const char* rule, const char* text) {
    kept.push_back(MakeViolation(ctx, line, column, rule, text));
}

// The path a diff names: "a/PATH" must not read "a/./PATH".
std::string DiffPath(const std::string& path) {
    size_t from = 0;
    while (path.compare(from, 2, "./") == 0) {
        from += 2;
        while (from < path.size() && path[from] == '/') ++from;
    }
    return path.substr(from);
}

void PrintChangedFile(const std::string& path, const std::string&, const std::string&) {
    std::fwrite(path.data(), 1, path.size(), stdout);
    std::fputc('\n', stdout);
}

void PrintDiff(const std::string& path, const std::string& before, const std::string& after) {
    const std::string diff = UnifiedDiff(DiffPath(path), before, after);
    std::fwrite(diff.data(), 1, diff.size(), stdout);
}

// A SOURCE the run can take; else the usage error's message.
bool CheckSource(const std::string& source, std::string& error) {
    int pathError = 0;
    switch (KindOfPath(source, &pathError)) {
        case PathKind::Missing: error = "SOURCE does not exist: " + source; return false;
        case PathKind::Error: error = source + ": " + ErrorText(pathError); return false;
        // A FIFO or a device would block the run or feed it endless bytes.
        case PathKind::Other: error = "SOURCE is neither a folder nor a regular file: " + source; return false;
        case PathKind::File:
        case PathKind::Folder: break;
    }
    return true;
}

std::string CurrentFolder() {
    std::error_code ec;
    const std::filesystem::path p = std::filesystem::current_path(ec);
    return ec ? std::string(".") : p.generic_string();
}

// Under the report formats the console keeps only errors (red), and sends them to stderr.
class ErrorsToStderrSink : public ConsoleSink {
public:
    void Append(const char* text, size_t len, uint32_t colour, uint8_t) override {
        if (colour == kColorRed) std::fwrite(text, 1, len, stderr);
    }
};

}  // namespace

int main(int argc, char** argv) {
    // Keeps the version block in the program file for TVersion.
    volatile const char* versionBlock = VantorVersionBlock();
    (void)versionBlock;
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
    if (o.pragmaBeforeGiven) Settings.PragmaAvant = o.pragmaBefore;
    if (o.pragmaAfterGiven) Settings.PragmaApres = o.pragmaAfter;
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

    std::vector<std::string> sources = o.sources;
    if (sources.empty()) sources.push_back(o.command == Command::Analyse ? Settings.Test : Settings.Source);
    if (sources.front().empty()) return Fail("no SOURCE given and the configuration names none");
    // Every SOURCE is there before anything runs: a run that stops half-way
    // through the list would leave half of it rewritten.
    for (const std::string& s : sources)
        if (!CheckSource(s, error)) return Fail(error);
    const std::string& source = sources.front();
    if (!CommandBuilt(o.command))
        return Fail(std::string("the ") + CommandName(o.command) + " command is not available yet");

    std::string destination;
    if ((o.command == Command::Design || o.command == Command::Instrument) &&
        !DestinationFolder(o, source, destination, error))
        return Fail(error);

    SetRunFlags(ToBatchCommand(o.command), o.substring);
    Settings.preview = o.preview ? PreviewMode::Changed : o.diff ? PreviewMode::Diff : PreviewMode::None;
    Settings.noBackup = o.noBackup;
    Settings.matchCase = o.matchCase;
    const bool previewing = Settings.preview != PreviewMode::None;
    if (previewing) SetPreviewHook(o.preview ? &PrintChangedFile : &PrintDiff);

    SetFileErrorHook(&FileErrorToStderr);
    bool colours = o.color == ColorMode::Always || (o.color == ColorMode::Auto && StdoutIsTerminal());
    TerminalSink terminal(stdout, colours);
    ErrorsToStderrSink errorsOnly;
    if (o.format != ReportFormat::Console) {
        ConsoleAttach(&console, &errorsOnly);
        SetViolationSink(o.format == ReportFormat::Gcc ? &GccViolation : &KeepViolation);
    } else if (previewing) {
        // stdout holds only the file list or the diff.
        ConsoleAttach(&console, &errorsOnly);
    } else {
        ConsoleAttach(&console, &terminal);
    }

    // Analyse is no batch run: the report, and no closing word.
    if (o.command == Command::Analyse) {
        const int status = RunAnalyse(source, o.lcov, o.lcovBase);
        std::fflush(stdout);
        ConsoleDetach(&console);
        return status;
    }

    CatchInterrupts();
    const BatchTotals totals = RunBatchCommand(sources, destination, &dictionary,
                                               o.format == ReportFormat::Console && !previewing, o.jobs);
    if (o.format == ReportFormat::Sarif || o.format == ReportFormat::Checkstyle) {
        const std::string log = o.format == ReportFormat::Sarif ? SarifLog(kept, CurrentFolder()) : CheckstyleXml(kept);
        std::fwrite(log.data(), 1, log.size(), stdout);
    }
    std::fflush(stdout);
    ConsoleDetach(&console);
    if (totals.stopped) {
        std::fprintf(stderr, "vantor-cli: interrupted\n");
        return kExitInterrupted;
    }

    if (totals.ioErrors > 0) return kExitFileError;
    if (Settings.checkMode && totals.violations > 0) return kExitViolations;
    // A CI step can forbid a name as Check forbids a word.
    if (o.command == Command::Search && totals.matches > 0) return kExitViolations;
    if (previewing && totals.changed > 0) return kExitViolations;
    return kExitOk;
}
