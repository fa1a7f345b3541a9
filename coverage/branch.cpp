#include "coverage/branch.h"

#include <vector>

#include "console/console.h"

namespace vantor {

namespace {
thread_local int32_t liveBranchCount = 0;
}  // namespace

int32_t LiveBranchCount() { return liveBranchCount; }

DblCollection2::~DblCollection2() {
    ClearChildren();
    Unlink();
}

void DblCollection2::AppendChild(DblCollection2* node) {
    node->prev = last;
    node->next = nullptr;
    if (last)
        last->next = node;
    else
        first = node;
    last = node;
    ++count;
    node->parent = this;
}

void DblCollection2::ClearChildren() {
    // Destructors do not throw here; each child unlinks itself as it goes.
    while (first != nullptr && count != 0) delete first;
    if (first == nullptr || count == 0) {
        first = last = nullptr;
        count = 0;
    }
}

void DblCollection2::Unlink() {
    if (prev) prev->next = next;
    if (next) next->prev = prev;
    if (parent) {
        if (parent->count > 0) {
            --parent->count;
            if (!prev) parent->first = next;
            if (!next) parent->last = prev;
        } else {
            ConsolePrint(&console, "anomalie de chaînage en sub\n");
        }
    }
    parent = next = prev = nullptr;
}

Branch::Branch(int32_t line, int32_t instructions, int32_t depth_, int32_t column_)
    : firstLine(line),
      startInstructions(instructions),
      lastLine(line),
      endInstructions(instructions),
      depth(depth_),
      column(column_),
      number(liveBranchCount) {
    ++liveBranchCount;
}

Branch::~Branch() { --liveBranchCount; }

namespace {

// Blocks of freed branches of this thread, given back when the thread ends.
// Bounded: a file with a huge tree does not keep its memory for ever.
struct FreeBranchBlocks {
    static constexpr size_t kKept = 1 << 16;
    std::vector<void*> blocks;
    FreeBranchBlocks() = default;
    FreeBranchBlocks(const FreeBranchBlocks&) = delete;
    FreeBranchBlocks& operator=(const FreeBranchBlocks&) = delete;
    ~FreeBranchBlocks() {
        for (void* b : blocks) ::operator delete(b);
    }
};

FreeBranchBlocks& FreeBlocks() {
    static thread_local FreeBranchBlocks cache;
    return cache;
}

}  // namespace

void* Branch::operator new(size_t size) {
    std::vector<void*>& blocks = FreeBlocks().blocks;
    if (size != sizeof(Branch) || blocks.empty()) return ::operator new(size);
    void* b = blocks.back();
    blocks.pop_back();
    return b;
}

void Branch::operator delete(void* block, size_t size) {
    if (block == nullptr) return;
    std::vector<void*>& blocks = FreeBlocks().blocks;
    if (size != sizeof(Branch) || blocks.size() >= FreeBranchBlocks::kKept) {
        ::operator delete(block);
        return;
    }
    // Keeping the block must not fail: without room for it, it goes back.
    try {
        blocks.push_back(block);
    } catch (...) {
        ::operator delete(block);
    }
}

}  // namespace vantor
