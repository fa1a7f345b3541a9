#include "engine/ctxfichier.h"

#include "config/settings.h"
#include "design/matrix_hooks.h"

namespace vantor {

ctxFichier::ctxFichier() {
    firstBranch = new Branch(0, 0, 0, 0);
    currentBranch = firstBranch;
    blocks[0] = BlockEntry{};
    blocks[0].kind = Root;
    blocks[0].column = 1;
    blocks[0].branch = firstBranch;
    if (Settings.Methodes) head.name.reserve(FunctionHead::kNameLimit + 16);
}

ctxFichier::~ctxFichier() { delete firstBranch; }

void ctxFichier::SetFile(const std::string& path) {
    filePath = path;
    size_t n = path.size();
    if (n >= 2 && path[n - 2] == '.') {
        char c = path[n - 1];
        if (c == 'h' || c == 'H')
            isHeader = true;
        else if (c == 's' || c == 'S')
            isAssembler = true;
    }
    // The dependency matrix (Design only) takes the bare name as a new row.
    DependencyMatrixAddFile(path);
}

}  // namespace vantor
