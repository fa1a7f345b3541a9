#include <gtest/gtest.h>

#include "coverage/branch.h"
#include "engine/ctxfichier.h"

using namespace vantor;

TEST(Branch, NumbersFollowTheLiveCountAndTreesFreeTheirChildren) {
    int32_t base = LiveBranchCount();
    {
        Branch root(0, 0, 0, 0);
        EXPECT_EQ(base, root.number);
        auto* a = new Branch(3, 0, 1, 4);
        auto* b = new Branch(7, 2, 1, 4);
        auto* c = new Branch(8, 2, 2, 7);
        root.AppendChild(a);
        root.AppendChild(b);
        b->AppendChild(c);
        EXPECT_EQ(base + 3, c->number);
        EXPECT_EQ(2, root.count);
        EXPECT_EQ(a, root.first);
        EXPECT_EQ(b, root.last);
        EXPECT_EQ(b, a->next);
        EXPECT_EQ(a, b->prev);
        EXPECT_EQ(3, a->lastLine);  // lastLine and endInstructions start at the opening values
        EXPECT_EQ(2, b->endInstructions);
        EXPECT_EQ(-1, a->conditionPosition);
        EXPECT_EQ(base + 4, LiveBranchCount());
    }
    EXPECT_EQ(base, LiveBranchCount());
}

TEST(Branch, UnlinkRepairsTheSiblingChain) {
    Branch root(0, 0, 0, 0);
    auto* a = new Branch(1, 0, 1, 1);
    auto* b = new Branch(2, 0, 1, 1);
    auto* c = new Branch(3, 0, 1, 1);
    root.AppendChild(a);
    root.AppendChild(b);
    root.AppendChild(c);
    delete b;  // middle
    EXPECT_EQ(2, root.count);
    EXPECT_EQ(c, a->next);
    EXPECT_EQ(a, c->prev);
    delete a;  // first
    EXPECT_EQ(c, root.first);
    EXPECT_EQ(nullptr, c->prev);
    delete c;  // last and only
    EXPECT_EQ(nullptr, root.first);
    EXPECT_EQ(nullptr, root.last);
    EXPECT_EQ(0, root.count);
}

TEST(ctxFichier, FreshRecordAndFileKinds) {
    int32_t base = LiveBranchCount();
    {
        ctxFichier ctx;
        EXPECT_EQ("?", ctx.version);
        EXPECT_TRUE(ctx.atStatementStart);
        EXPECT_EQ(0, ctx.blockTop);
        EXPECT_EQ(Root, ctx.blocks[0].kind);
        EXPECT_EQ(1, ctx.blocks[0].column);
        EXPECT_EQ(ctx.firstBranch, ctx.blocks[0].branch);
        EXPECT_EQ(ctx.firstBranch, ctx.currentBranch);
        EXPECT_EQ(0, ctx.branchCount);
        EXPECT_FALSE(ctx.inFunction || ctx.isHeader || ctx.isAssembler || ctx.lineModified);
        EXPECT_EQ(base + 1, LiveBranchCount());
    }
    EXPECT_EQ(base, LiveBranchCount());

    struct Case {
        const char* path;
        bool header, assembler;
    } cases[] = {{"a/b/x.H", true, false}, {"x.h", true, false}, {"boot.S", false, true},
                 {"boot.s", false, true},  {"h", false, false},  {"x.c", false, false},
                 {"x.hpp", false, false}};
    for (const Case& c : cases) {
        ctxFichier ctx;
        ctx.SetFile(c.path);
        EXPECT_EQ(c.header, ctx.isHeader) << c.path;
        EXPECT_EQ(c.assembler, ctx.isAssembler) << c.path;
        EXPECT_EQ(c.path, ctx.filePath);
    }
}
