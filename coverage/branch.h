// Intrusive tree nodes: the base of the coverage records of a file.
#pragma once

#include <cstddef>
#include <cstdint>

namespace vantor {

class DblCollection2 {
public:
    DblCollection2() = default;
    DblCollection2(const DblCollection2&) = delete;
    DblCollection2& operator=(const DblCollection2&) = delete;
    // A node owns its children: they go first, then the node leaves its parent.
    virtual ~DblCollection2();

    void AppendChild(DblCollection2* node);
    void ClearChildren();
    void Unlink();

    DblCollection2* prev = nullptr;
    DblCollection2* next = nullptr;
    DblCollection2* first = nullptr;
    DblCollection2* last = nullptr;
    DblCollection2* parent = nullptr;
    int32_t count = 0;
};

// The coverage record of one block of a source file.
class Branch : public DblCollection2 {
public:
    Branch(int32_t line, int32_t instructions, int32_t depth, int32_t column);
    ~Branch() override;

    // A tree of tens of thousands of branches is made and dropped for every
    // file: their blocks are kept for the next file rather than returned to
    // the general allocator one by one.
    static void* operator new(size_t size);
    static void operator delete(void* block, size_t size);

    Branch* Parent() const { return static_cast<Branch*>(parent); }
    Branch* FirstChild() const { return static_cast<Branch*>(first); }
    Branch* Next() const { return static_cast<Branch*>(next); }

    int32_t firstLine;
    int32_t startInstructions;
    int32_t lastLine;
    int32_t endInstructions;
    int32_t depth;
    bool instrumented = false;
    bool braceInserted = false;
    bool braceOpened = false;
    bool braceClosed = false;
    int32_t instructionCount = 0;
    int32_t conditionPosition = -1;
    int32_t column;
    int32_t number;
    int32_t lastPositionOrCondition = -1;
    int32_t nextPosition = -1;
    // The block of this branch is a brace block (written or inserted), so a
    // marker line inside it cannot become the statement of an if or loop.
    bool blockBraced = false;
    // A "case" or "default" of this branch waits for the ":" that ends it; any
    // other ":" under the label (of a ?: operator) moves no position.
    bool labelOpen = false;
    // Preprocessor conditional sections open when the block opened
    // (ctxFichier::conditionalDepth then).
    int32_t conditionalDepth = 0;
};

// Number of Branch objects in existence on this thread; gives each new branch
// its number. Each file's tree lives on the thread that processes it, so the
// numbers of a file do not depend on the files processed beside it.
// Read through a function: a thread_local named from another file goes through
// a wrapper that the undefined-behaviour sanitizer of g++ 12 takes for null.
int32_t LiveBranchCount();

}  // namespace vantor
