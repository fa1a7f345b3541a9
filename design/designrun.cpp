#include "design/designrun.h"

#include <cerrno>
#include <cstdio>

#include "config/pipeline.h"
#include "config/settings.h"
#include "console/console.h"
#include "design/stringmatrix.h"
#include "platform/fs.h"

namespace vantor {

namespace {

void ReportUnwritable(const std::string& path, int error) {
    ReportFileError("impossible d'écrire le fichier %s\n", "unable to write the file %s\n", path, ErrorText(error));
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
    int error = ENOENT;
    if (CreateFolders(designFolder)) Settings.designListFile = CreateNewFile(list, 0666, error);
    if (Settings.designListFile == nullptr) {
        ReportUnwritable(list, error);
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
            ReportUnwritable(JoinPath(designFolder, "liste.txt"), errno);
            ok = false;
        }
        Settings.designListFile = nullptr;
    }
    Settings.designMode = false;
    return ok;
}

}  // namespace vantor
