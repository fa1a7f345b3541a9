#include "design/designrun.h"

#include <cstdio>

#include "config/settings.h"
#include "console/console.h"
#include "design/stringmatrix.h"
#include "platform/fs.h"

namespace vantor {

namespace {

void ReportUnwritable(const std::string& path) {
    ConsolePrintColor(&console, kColorRed, Tr("impossible d'écrire le fichier %s\n", "unable to write the file %s\n"),
                      path.c_str());
}

}  // namespace

bool BeginDesignRun(const std::string& designFolder) {
    // A matrix left by a run that never ended must not leak into this one.
    delete Settings.dependencyMatrix;
    delete Settings.callingMatrix;
    Settings.dependencyMatrix = new TStringMatrix;
    Settings.callingMatrix = new TStringMatrix;
    if (Settings.designListFile != nullptr) std::fclose(Settings.designListFile);
    Settings.designListFile = nullptr;

    const std::string list = JoinPath(designFolder, "liste.txt");
    if (CreateFolders(designFolder)) Settings.designListFile = OpenFile(list, "wb");
    if (Settings.designListFile == nullptr) {
        ReportUnwritable(list);
        return false;
    }
    return true;
}

bool EndDesignRun(const std::string& designFolder) {
    bool ok = WriteDesignMatrices(designFolder);
    if (Settings.designListFile != nullptr) {
        // Entries are written as the pages open; a full disk shows here.
        const bool listOk = std::ferror(Settings.designListFile) == 0;
        if (std::fclose(Settings.designListFile) != 0 || !listOk) {
            ReportUnwritable(JoinPath(designFolder, "liste.txt"));
            ok = false;
        }
        Settings.designListFile = nullptr;
    }
    Settings.designMode = false;
    return ok;
}

}  // namespace vantor
