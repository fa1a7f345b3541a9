// Filled by the pseudo-code writer.
#include "design/pseudocode.h"

namespace vantor {

void RenderDesignToken(ctxFichier&) {}
void EmitDesignLine(ctxFichier&, const std::string&) {}

}  // namespace vantor
