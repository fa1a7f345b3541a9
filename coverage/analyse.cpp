#include "coverage/analyse.h"

#include <filesystem>

#include "config/settings.h"
#include "console/console.h"
#include "coverage/component.h"
#include "coverage/lcov.h"
#include "platform/fs.h"

namespace vantor {

int RunAnalyse(const std::string& traceFolder, const std::string& lcovPath, const std::string& lcovBase) {
    AnalyseResult r = IsFile(traceFolder) ? AnalyseTraceFiles({traceFolder}) : AnalyseCoverage(traceFolder);
    bool failed = r.unreadable > 0 || r.malformed > 0;
    std::error_code ec;
    const std::filesystem::path base = std::filesystem::absolute(lcovBase.empty() ? "." : lcovBase, ec);
    if (!lcovPath.empty() && !WriteLcovTracefile(lcovPath, ec ? lcovBase : base.lexically_normal().generic_string())) {
        ConsolePrintColor(&console, kColorRed,
                          Tr("impossible d'écrire le fichier %s\n", "unable to write the file %s\n"),
                          lcovPath.c_str());
        failed = true;
    }
    return failed ? 3 : 0;
}

}  // namespace vantor
