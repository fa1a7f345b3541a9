// The coverage side of the block stack and of the line engine: branch
// records, their counts and the output positions where markers will land.
// The engine calls these at fixed points in every mode (the statistics count
// branches for every command); marker lines are written only during an
// instrumentation run, and never into a header.
#pragma once

#include <string>

#include "engine/ctxfichier.h"

namespace vantor {

// PushBlock, for If/Else/While/Do/For/Switch, where the instruction is counted.
void CoverageOnPushCount(ctxFichier& ctx, BlockKind kind);
// PushBlock of a Brace, after the entry is on the stack: inserted-brace marking.
void CoverageOnPushBrace(ctxFichier& ctx);
// PushBlock, after the entry is on the stack: positions in the current branch.
void CoverageOnPushPositions(ctxFichier& ctx, BlockKind kind);
// PushBlock, last: a new Branch for the kinds that own one.
void CoverageOnPushBranch(ctxFichier& ctx, BlockKind kind);
// PopBlock, before the entry leaves the stack (top is still the closing entry).
void CoverageOnPop(ctxFichier& ctx);

// An instruction counted in `functionInstructions` (";" with content, an exit in a case).
void CoverageOnInstruction(ctxFichier& ctx);
// ";" at parenthesis depth 0, before `doWhileTail` and `exitSeen` are cleared.
void CoverageOnStatementEnd(ctxFichier& ctx);
// A "}" has popped its Brace entry.
void CoverageOnBraceClosed(ctxFichier& ctx);
// "case" or "default" inside a function, after its push (if any).
void CoverageOnCaseKeyword(ctxFichier& ctx);
// ":" while the top entry is a Case.
void CoverageOnCaseLabel(ctxFichier& ctx);
// break, continue or return inside a function.
void CoverageOnExit(ctxFichier& ctx);
// Entry `i` is the body of a function nested in the current one (a lambda,
// the method of a local class or structure): an exit inside it leaves that
// body only.
bool IsNestedFunctionBody(const ctxFichier& ctx, int32_t i);
// A "while" that does not end a do ... while, before its PushBlock.
void CoverageOnWhile(ctxFichier& ctx);

// Inserts the line "COV_SET(n);" of `branch` into `outputLines` at its last
// recorded position (appended when none), once. Returns the text inserted.
std::string EmitCoverageMarker(ctxFichier& ctx, Branch* branch);

}  // namespace vantor
