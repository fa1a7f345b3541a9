// Coverage side of the block stack and of the line engine. Branch records and
// their counts are kept in every mode (the statistics line counts branches for
// every command); only the marker lines depend on an instrumentation run.
//
// Positions are indices into `outputLines`: C, its count, is the index the
// current line will get, so C + 1 is "after the current line".
#include "coverage/coverage_hooks.h"

#include <string>

#include "config/settings.h"
#include "coverage/covtable.h"
#include "engine/rules.h"

namespace vantor {

namespace {

inline int32_t OutputCount(const ctxFichier& ctx) { return static_cast<int32_t>(ctx.outputLines.size()); }

// Position `p` for a marker of `b`: inside a preprocessor conditional section
// opened after the block's start the marker would be built in one
// alternative only; it goes before the first line of the outermost such
// section instead.
inline int32_t OutsideSections(const ctxFichier& ctx, const Branch* b, int32_t p) {
    const int32_t d = b->conditionalDepth;
    if (ctx.conditionalDepth <= d || d >= ctxFichier::kConditionalSlots) return p;
    const int32_t at = ctx.conditionalLine[d];
    return at < p ? at : p;
}

inline bool HasBranch(int32_t kind) {
    return kind == If || kind == Else || kind == While || kind == Do || kind == For || kind == Case;
}

// The statement kinds whose block must be braced to hold a marker line.
inline bool IsControlled(int32_t kind) {
    return kind == If || kind == Else || kind == While || kind == Do || kind == For;
}

// What a brace block is to the markers (BlockEntry::braceRole).
constexpr int8_t kStatementBlock = 0;
// A block that may be skipped although the statement before it ran: a catch
// handler, the body of a loop macro. The enclosing marker must not move into it.
constexpr int8_t kMayNotRun = 1;
// Part of an expression or a declaration: an initialiser list, a compound
// literal, a lambda, a struct or enum body. It holds no statements of the
// block, so no marker may land inside it, nor between its "}" and the rest of
// the statement.
constexpr int8_t kExpression = 2;

inline bool Is(const std::string& s, char c) { return s.size() == 1 && s[0] == c; }
inline bool Is(const TokenText& s, char c) { return s.size() == 1 && s[0] == c; }

int8_t BraceRole(const ctxFichier& ctx, const BlockEntry& brace, const BlockEntry& below) {
    if (brace.initialiser || ctx.parenDepth > 0 || ctx.exitSeen) return kExpression;
    // The block of an if, else, loop, do, switch or function.
    if (brace.functionBody || (below.kind != Brace && below.kind != Case && below.kind != Root))
        return kStatementBlock;
    const TokenText& p = ctx.previousToken;
    if (Is(p, ')')) return kMayNotRun;
    if (p.empty() || Is(p, ';') || Is(p, '{') || Is(p, '}') || Is(p, ':') || p == "try")
        return kStatementBlock;
    return kExpression;
}

// The positions of the current branch stay where they are while a block that
// is not a plain block of statements lies between entry `from` (downwards)
// and the branch's own entry.
bool PositionsFrozen(const ctxFichier& ctx, int32_t from) {
    for (int32_t i = from; i > 0; --i) {
        const BlockEntry& e = ctx.blocks[i];
        if (e.branch != nullptr) return false;
        if (e.braceRole != kStatementBlock) return true;
    }
    return false;
}

// Every path of the if ... else that is closing ends in an exit: so does the
// enclosing block, down through its brace levels to the first statement entry.
void PropagateExitOfElse(ctxFichier& ctx) {
    if (ctx.blockTop < 1) return;
    const BlockEntry& below = ctx.blocks[ctx.blockTop - 1];
    if (!below.ifExitSeen || below.ifFallThroughSeen) return;
    for (int32_t i = ctx.blockTop - 1; i >= 0; --i) {
        ctx.blocks[i].exitSeen = true;
        if (ctx.blocks[i].kind != Brace) break;
    }
}

// Indentation of a marker, clamped as the reformatter clamps its own: an
// absurd indentation width must not make megabyte lines.
constexpr int32_t kMaxMarkerColumn = 1 << 16;

std::string MarkerText(const Branch* b) {
    std::string text;
    const int32_t column = b->column < kMaxMarkerColumn ? b->column : kMaxMarkerColumn;
    if (column > 1) text.assign(static_cast<size_t>(column - 1), ' ');
    text += "COV_SET(";
    text += std::to_string(b->number - 1);
    text += ");";
    text += CoverageLineEnd();
    return text;
}

// "};" at file level: the braces just closed, taken for a function body since
// they followed a ")", may have held the members of a structure written
// through a macro (FIXTURE(name) { int fd; };), where a marker would not
// compile. Braces that held an instruction were a function with a stray ";"
// after it: its marker stays.
void WithdrawStructureMarker(ctxFichier& ctx) {
    const BlockEntry& closed = ctx.blocks[1];  // the entry just popped
    Branch* b = closed.branch;
    if (!Settings.couverture || !closed.functionBody || b == nullptr || !b->instrumented) return;
    if (b->endInstructions != b->startInstructions) return;
    const std::string text = MarkerText(b);
    for (size_t i = ctx.outputLines.size(); i-- > 0;) {
        if (ctx.outputLines[i] != text) continue;
        ctx.outputLines.erase(ctx.outputLines.begin() + static_cast<std::ptrdiff_t>(i));
        ReportViolation(ctx, Tr("pas un corps de fonction (};) : pas de COV_SET",
                                "not a function body (};): no COV_SET"));
        return;
    }
}

}  // namespace

void CoverageOnPushCount(ctxFichier& ctx, BlockKind kind) {
    ++ctx.currentBranch->instructionCount;
    if (kind == If) {
        BlockEntry& top = ctx.Top();  // still the entry the If goes on
        top.ifFallThroughSeen = false;
        top.ifExitSeen = false;
    }
}

void CoverageOnPushBrace(ctxFichier& ctx) {
    Branch* b = ctx.currentBranch;
    BlockEntry& top = ctx.Top();
    const BlockEntry& below = ctx.blocks[ctx.blockTop - 1];
    top.braceRole = BraceRole(ctx, top, below);
    // A brace inside the parentheses of a condition or loop header ("for (bool
    // e : {true, false})") is not the block of the statement controlled.
    if (ctx.parenDepth > 0) return;
    if (b->braceInserted && !b->braceOpened) top.insertedBrace = true;
    // The brace that opens the block of the if, else, loop or do itself, not
    // one inside its unbraced statement (a compound literal, an initialiser).
    if (!b->braceOpened && below.branch == b && IsControlled(below.kind) && top.braceRole != kExpression)
        b->blockBraced = true;
    b->braceOpened = true;
}

void CoverageOnPushPositions(ctxFichier& ctx, BlockKind kind) {
    BlockEntry& top = ctx.Top();
    if (kind != Brace) top.braceRole = kStatementBlock;
    if (PositionsFrozen(ctx, ctx.blockTop - 1)) return;
    Branch* b = ctx.currentBranch;
    const int32_t c = OutsideSections(ctx, b, OutputCount(ctx));
    switch (kind) {
        case If:
        case While:
        case Do:
        case For:
        case Switch:
            b->conditionPosition = c;
            if (!ctx.doWhileTail) b->lastPositionOrCondition = b->nextPosition = c;
            break;
        case Brace:
            if (top.braceRole == kStatementBlock && ctx.blocks[ctx.blockTop - 1].kind != Switch)
                b->conditionPosition = b->lastPositionOrCondition = b->nextPosition =
                    OutsideSections(ctx, b, OutputCount(ctx) + 1);
            break;
        default:
            break;
    }
}

void CoverageOnPushBranch(ctxFichier& ctx, BlockKind kind) {
    BlockEntry& top = ctx.Top();
    const bool functionBody = kind == Brace && top.functionBody && !ctx.assignmentSeen;
    if (!HasBranch(kind) && !functionBody) {
        top.branch = nullptr;
        return;
    }
    Branch* b = new Branch(ctx.lineNumber, ctx.functionInstructions, ctx.blockTop, top.column);
    b->conditionalDepth = ctx.conditionalDepth;
    ++ctx.branchCount;
    ctx.currentBranch->AppendChild(b);
    ctx.currentBranch = b;
    top.branch = b;
    if (functionBody) {
        // By default the marker goes right after the line of the opening brace.
        b->lastPositionOrCondition = b->nextPosition = OutputCount(ctx) + 1;
        b->blockBraced = true;
    }
}

void CoverageOnPop(ctxFichier& ctx) {
    BlockEntry& e = ctx.Top();
    Branch* b = e.branch;
    if (HasBranch(e.kind) || e.functionBody) {
        if (e.kind == If && ctx.blockTop > 0) {
            BlockEntry& below = ctx.blocks[ctx.blockTop - 1];
            if (e.exitSeen)
                below.ifExitSeen = true;
            else
                below.ifFallThroughSeen = true;
        } else if (e.kind == Else && e.exitSeen) {
            PropagateExitOfElse(ctx);
        }
        Branch* cur = ctx.currentBranch;
        cur->lastLine = ctx.lineNumber;
        cur->endInstructions = ctx.functionInstructions;
        if (cur->Parent() != nullptr) ctx.currentBranch = cur->Parent();
        if (!PositionsFrozen(ctx, ctx.blockTop - 1))
            ctx.currentBranch->nextPosition = OutsideSections(ctx, ctx.currentBranch, OutputCount(ctx) + 1);
    }
    if (!Settings.couverture || b == nullptr) return;
    // A header is included by several instrumented sources: it keeps its
    // blocks counted but carries no marker (it has no table of its own).
    if (IsHeaderFile(ctx.filePath)) return;
    // A marker in an unbraced if, else or loop would become its statement and
    // change what the program does; such a block is left without one.
    if (IsControlled(e.kind) && !b->blockBraced) {
        if (!b->instrumented)
            ReportViolation(ctx,
                            Tr("bloc sans accolades : pas de COV_SET", "block without braces: no COV_SET"));
        b->instrumented = true;
        return;
    }
    EmitCoverageMarker(ctx, b);
}

void CoverageOnInstruction(ctxFichier& ctx) { ++ctx.currentBranch->instructionCount; }

void CoverageOnStatementEnd(ctxFichier& ctx) {
    if (ctx.blockTop == 0 && ctx.lastPoppedKind == Brace && Is(ctx.previousToken, '}'))
        WithdrawStructureMarker(ctx);
    if (ctx.exitSeen || ctx.Top().exitSeen || PositionsFrozen(ctx, ctx.blockTop)) return;
    Branch* b = ctx.currentBranch;
    const int32_t after = OutsideSections(ctx, b, OutputCount(ctx) + 1);
    // The marker stays one statement behind: in front of the last statement.
    if (!ctx.doWhileTail) {
        b->conditionPosition = after;
        b->lastPositionOrCondition = b->nextPosition;
    }
    b->nextPosition = after;
}

void CoverageOnBraceClosed(ctxFichier& ctx) {
    // The entry just popped is still in its slot above the top.
    if (ctx.blocks[ctx.blockTop + 1].braceRole == kExpression || PositionsFrozen(ctx, ctx.blockTop)) return;
    ctx.currentBranch->nextPosition = OutsideSections(ctx, ctx.currentBranch, OutputCount(ctx) + 1);
}

void CoverageOnCaseKeyword(ctxFichier& ctx) {
    if (ctx.Top().kind == Case) ctx.currentBranch->labelOpen = true;
}

void CoverageOnCaseLabel(ctxFichier& ctx) {
    Branch* b = ctx.currentBranch;
    // Only the ":" of a label: one of "?:" would put the marker inside an expression.
    if (!b->labelOpen) return;
    b->labelOpen = false;
    if (PositionsFrozen(ctx, ctx.blockTop)) return;
    b->nextPosition = b->lastPositionOrCondition = OutsideSections(ctx, b, OutputCount(ctx) + 1);
}

void CoverageOnExit(ctxFichier& ctx) {
    Branch* b = ctx.currentBranch;
    if (!Settings.couverture || b->instrumented || ctx.Top().exitSeen) return;
    if (PositionsFrozen(ctx, ctx.blockTop)) return;
    b->conditionPosition = b->lastPositionOrCondition = OutsideSections(ctx, b, OutputCount(ctx));
}

bool IsNestedFunctionBody(const ctxFichier& ctx, int32_t i) {
    const BlockEntry& e = ctx.blocks[i];
    if (e.kind != Brace || e.functionBody || i < 2) return false;
    // A lambda inside an expression (an argument, an initialiser), or a
    // method directly inside the braces of a local class or structure.
    return e.braceRole == kExpression || (e.braceRole == kMayNotRun && ctx.blocks[i - 1].braceRole == kExpression);
}

void CoverageOnWhile(ctxFichier& ctx) {
    if (PositionsFrozen(ctx, ctx.blockTop)) return;
    Branch* b = ctx.currentBranch;
    b->conditionPosition = b->lastPositionOrCondition = OutsideSections(ctx, b, OutputCount(ctx));
}

std::string EmitCoverageMarker(ctxFichier& ctx, Branch* b) {
    if (b->instrumented) return std::string();
    b->instrumented = true;
    const std::string text = MarkerText(b);
    int32_t p = b->lastPositionOrCondition;
    const int32_t count = OutputCount(ctx);
    if (p < 0) {
        ctx.outputLines.push_back(text);
        return text;
    }
    if (count < p) {
        ReportViolation(ctx, "Vantor error : lastPositionOrCondition out of lines array\n");
        p = count;
    }
    ctx.outputLines.insert(ctx.outputLines.begin() + p, text);
    return text;
}

}  // namespace vantor
