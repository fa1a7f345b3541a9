// PushBlock and PopBlock: the only way entries enter and leave the block
// stack of a file context. The coverage side is delegated at its fixed points.
#include "engine/blockstack.h"

#include "config/settings.h"
#include "coverage/coverage_hooks.h"
#include "design/matrix_hooks.h"
#include "engine/ctxfichier.h"
#include "engine/methods.h"
#include "engine/rules.h"

namespace vantor {

namespace {

constexpr int32_t kMaxBlockTop = kBlockSlots - 1;  // entry 0 is the file level

inline bool IsStatementKind(BlockKind kind) {
    return kind == If || kind == Else || kind == While || kind == Do || kind == For || kind == Switch;
}

}  // namespace

void PushBlock(ctxFichier& ctx, BlockKind kind) {
    ctx.structuralLine = true;
    if (ctx.blockTop > 0) {
        BlockEntry& top = ctx.Top();
        // "else if": the else entry becomes the if; nothing new opens.
        if (top.kind == Else && kind == If) {
            top.kind = If;
            return;
        }
        // The while of a do ... while ends the do.
        if (top.kind == Do && kind == While) {
            PopBlock(ctx);
            return;
        }
    }
    if (IsStatementKind(kind)) {
        ++ctx.functionInstructions;
        ctx.executableStatement = true;
        CoverageOnPushCount(ctx, kind);
    }
    if (ctx.blockTop >= kMaxBlockTop) {
        ReportViolation(ctx, Tr("Bloc table saturée\n", "Bloc table overflow\n"), rule::kBlocs);
        return;
    }
    // Methodes: a member function's body, or the braces that hold members,
    // decided from the head read before the brace and the entry below it.
    const bool methodes = Settings.Methodes && kind == Brace && !ctx.inFunction;
    const bool methodBody = methodes && MethodBodyOpens(ctx);
    const bool container = methodes && !methodBody && ContainerOpens(ctx);
    // A Java record's header is no parameter list.
    const bool recordHeader = methodes && ctx.head.recordHead;
    const bool enumConstants = container && ctx.head.enumSeen;
    const BlockEntry& below = ctx.blocks[ctx.blockTop];
    BlockEntry& entry = ctx.blocks[++ctx.blockTop];
    entry.kind = kind;
    // The braces of an if, loop, else or switch stand at the column of their keyword.
    // An absurd indentation width must not overflow the column.
    const int64_t column = (kind == Brace && below.kind != Brace && below.kind != Root)
                               ? below.column
                               : static_cast<int64_t>(below.column) + Settings.lnIndentation;
    entry.column = static_cast<int32_t>(column < -(1 << 24) ? -(1 << 24) : column > (1 << 24) ? (1 << 24) : column);
    entry.functionBody = false;
    entry.statementDone = false;
    entry.branch = nullptr;
    entry.conditionStarted = false;
    entry.exitSeen = false;
    entry.ifFallThroughSeen = false;
    entry.ifExitSeen = false;
    entry.initialiser = ctx.assignmentSeen;
    entry.insertedBrace = false;
    entry.container = container;
    entry.enumConstants = enumConstants;
    ctx.statementContinues = false;

    // A block opened at file level right after a parameter list is a function
    // body; methods inside class or namespace braces are counted only with
    // the Methodes setting.
    const bool fileLevelBody = ctx.blockTop == 1 && ctx.previousToken == ")" && !recordHeader;
    if (fileLevelBody || methodBody) {
        ++ctx.functionCount;
        ctx.functionInstructions = 0;
        entry.functionBody = true;
        ctx.inFunction = true;
        if (Settings.callingMatrix != nullptr)
            CallingMatrixAddFunction(methodes && !ctx.head.name.empty() ? ctx.head.name : ctx.functionName);
    }
    if (methodes) HeadAfterBrace(ctx, entry.functionBody);

    if (kind == Brace) CoverageOnPushBrace(ctx);
    CoverageOnPushPositions(ctx, kind);
    CoverageOnPushBranch(ctx, kind);
}

void PopBlock(ctxFichier& ctx) {
    // The file level is never closed, whatever the source holds.
    if (ctx.blockTop <= 0) return;
    BlockEntry& entry = ctx.Top();
    if (entry.functionBody) {
        RuleFunctionInstructions(ctx);
        ctx.fileInstructions += ctx.functionInstructions;
        ctx.executableStatement = ctx.isAssembler || ctx.inAsm;
        ctx.inFunction = false;
    }
    CoverageOnPop(ctx);
    ctx.lastPoppedKind = entry.kind;
    --ctx.blockTop;
}

}  // namespace vantor

namespace vantor {

namespace {

inline bool IsLoopOrSwitch(int32_t kind) { return kind == While || kind == For || kind == Switch; }

}  // namespace

void CloseIfs(ctxFichier& ctx) {
    if (ctx.blockTop > 0 && ctx.Top().kind == If) {
        PopBlock(ctx);
        while (ctx.blockTop > 0 && (ctx.Top().kind == While || ctx.Top().kind == For)) PopBlock(ctx);
    }
}

void CloseLoopsAndElse(ctxFichier& ctx) {
    while (ctx.blockTop > 0 && IsLoopOrSwitch(ctx.Top().kind)) PopBlock(ctx);
    if (ctx.blockTop > 0 && ctx.Top().kind == Else) PopBlock(ctx);
    while (ctx.blockTop > 0 && IsLoopOrSwitch(ctx.Top().kind)) PopBlock(ctx);
}

void CloseStatementSlow(ctxFichier& ctx) {
    CloseLoopsAndElse(ctx);
    CloseIfs(ctx);
}

}  // namespace vantor
