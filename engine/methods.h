// Methodes setting: functions inside class, structure, union, interface,
// enum and namespace braces (and extern "C"). Off, only a "{" opened at file
// level right after a ")" is a function body; on, a member function's body is
// one too, known by what stands between its parameter list and its "{".
#pragma once

#include "engine/ctxfichier.h"

namespace vantor {

// Before the push of a "{" outside any function: it opens a function body.
bool MethodBodyOpens(const ctxFichier& ctx);
// Before the push of a "{" that is no function body: it opens the braces of
// a class, structure, namespace or the like, whose functions count.
bool ContainerOpens(const ctxFichier& ctx);
// After the push of a "{": the head read so far is spent, except in an
// initialiser list, where `b{y}` initialises a member and the body follows.
void HeadAfterBrace(ctxFichier& ctx, bool body);
// Every code token read outside any function, once its punctuation has been
// handled (`parenDepth` and the block stack are up to date) and before
// `column` passes it.
void TrackFunctionHead(ctxFichier& ctx);

}  // namespace vantor
