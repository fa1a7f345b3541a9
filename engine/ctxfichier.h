// The state of one source file while it is processed. Every stage of the
// engine (reader, line engine, rules, reformatter, coverage, design) keeps
// its per-file memory here and nowhere else.
#pragma once

#include <cstdint>
#include <cstring>
#include <string>
#include <string_view>
#include <vector>

#include "coverage/branch.h"

namespace vantor {

enum BlockKind : int32_t {
    If = 0,
    Else = 1,
    While = 2,
    Do = 3,
    Switch = 4,
    Brace = 5,
    For = 7,
    Root = 8,
    Case = 9,
};

struct BlockEntry {
    int32_t kind = Root;
    int32_t column = 1;
    bool functionBody = false;
    bool statementDone = false;
    Branch* branch = nullptr;  // not owned
    bool conditionStarted = false;
    bool exitSeen = false;
    bool ifFallThroughSeen = false;
    bool ifExitSeen = false;
    bool initialiser = false;
    bool insertedBrace = false;
    // Coverage, set at every push: what a brace block is to the markers. 0 a
    // block of statements; 1 a block that may not run although the statement
    // before it did (a catch handler, the body of a loop macro); 2 part of an
    // expression or declaration (initialiser, compound literal, lambda, struct).
    int8_t braceRole = 0;
    // Methodes setting: braces of a class, structure, union, interface, enum
    // or namespace (or extern "C") outside any function, whose member
    // functions are functions too.
    bool container = false;
    // Methodes setting: the braces of an enum whose constants are still being
    // listed (up to its first ";"): a "{" there opens a constant's class body.
    bool enumConstants = false;
};

// Methodes setting: what the tokens read outside any function say of the
// declaration being written, so that the "{" that may follow is known to open
// a function body or not. The name is kept as written, in a string reserved
// once per file and never let grow past its capacity.
struct FunctionHead {
    enum State : int8_t {
        None,      // no parameter list yet: the name is being read
        Params,    // inside the parentheses of the parameter list
        After,     // after its ")": qualifiers may follow
        Skip,      // inside the parentheses of noexcept(...), throw(...), a macro
        Arrow,     // after the "-" of "->"
        Trailing,  // a trailing return type
        Throws,    // a Java throws list
        Init,      // a constructor's initialiser list
    };
    static constexpr size_t kNameLimit = 120;
    State state = None;
    int32_t level = 0;         // blockTop where the parameter list was read
    bool nameLive = false;     // the last token read is part of `name`
    bool join = false;         // the next word goes on the name ("::", "~")
    bool operatorName = false;  // reading the symbol of an operator's name
    int32_t angles = 0;        // open "<" of template arguments in the name
    bool enumSeen = false;     // the declaration holds "enum"
    bool containerSeen = false;  // it holds class, struct, union, namespace, enum or interface
    bool recordSeen = false;   // "record" stood before the name (Java record)
    bool recordHead = false;   // the parameter list is a Java record's header
    bool qualifierWord = false;  // the last word may take parentheses (noexcept, a macro)
    std::string name;
};

// Token text: the current token and the copies the engine keeps of earlier
// ones (`previousToken`, `lastLineToken`). One is set for nearly every token
// of every line, so a token of up to kInline bytes (nearly all) is copied as
// a fixed-size block or two, without a library call; a longer one goes to a
// string of its own. The text is always followed by a NUL.
class TokenText {
public:
    static constexpr size_t kInline = 64;

    TokenText() = default;
    TokenText(const TokenText&) = delete;
    TokenText& operator=(const TokenText&) = delete;

    // `n` bytes at `p`, where `readable` bytes may be read from `p` (at least
    // `n`; the block copy reads kInline when there are that many).
    void Set(const char* p, size_t n, size_t readable) {
        if (n <= kInline) {
            // Most tokens are short: one 16-byte move.
            if (n < 16 && readable >= 16)
                std::memcpy(inline_, p, 16);
            else if (readable >= kInline)
                std::memcpy(inline_, p, kInline);
            else
                std::memcpy(inline_, p, n);
            inline_[n] = '\0';
            data_ = inline_;
        } else {
            long_.assign(p, n);
            data_ = long_.c_str();
        }
        size_ = n;
    }
    void Assign(const std::string& s) { Set(s.data(), s.size(), s.capacity() + 1); }
    void Assign(const TokenText& from) {
        if (from.data_ == from.inline_) {
            // The text and its NUL: 16 bytes for most tokens.
            if (from.size_ < 16)
                std::memcpy(inline_, from.inline_, 16);
            else
                std::memcpy(inline_, from.inline_, sizeof inline_);
            data_ = inline_;
        } else {
            long_ = from.long_;
            data_ = long_.c_str();
        }
        size_ = from.size_;
    }
    void clear() {
        size_ = 0;
        inline_[0] = '\0';
        data_ = inline_;
    }
    size_t size() const { return size_; }
    bool empty() const { return size_ == 0; }
    const char* data() const { return data_; }
    const char* c_str() const { return data_; }
    char operator[](size_t i) const { return data_[i]; }
    char front() const { return data_[0]; }
    char back() const { return data_[size_ - 1]; }
    std::string_view View() const { return std::string_view(data_, size_); }
    std::string Str() const { return std::string(data_, size_); }
    bool operator==(std::string_view s) const { return View() == s; }
    bool operator!=(std::string_view s) const { return View() != s; }

private:
    char inline_[kInline + 1] = {};
    const char* data_ = inline_;
    size_t size_ = 0;
    std::string long_;
};

// Entry 0 is the file level; a push is refused when blockTop is 100 or more.
constexpr int32_t kBlockSlots = 101;

struct ctxFichier {
    ctxFichier();
    ~ctxFichier();
    ctxFichier(const ctxFichier&) = delete;
    ctxFichier& operator=(const ctxFichier&) = delete;

    // Stores the path, decides header / assembler, feeds the dependency matrix.
    void SetFile(const std::string& path);

    int32_t lineNumber = 1;
    int32_t codeLineCount = 0;
    int32_t outputLineNumber = 1;
    bool inStringContinuation = false;
    bool lineContinued = false;
    int32_t braceDepth = 0;
    int32_t parenDepth = 0;
    bool statementContinues = false;
    int32_t commentIndentDelta = 0;
    int32_t functionInstructions = 0;
    int32_t fileInstructions = 0;
    int32_t functionCount = 0;
    BlockEntry blocks[kBlockSlots];
    int32_t blockTop = 0;
    int32_t branchCount = 0;
    Branch* currentBranch = nullptr;
    Branch* firstBranch = nullptr;  // owned: the whole tree goes with the record
    TokenText lastLineToken;
    TokenText previousToken;
    bool previousWasKeyword = false;
    TokenText token;
    std::string version = "?";
    std::string logArchive;
    std::string filePath;
    bool inFunction = false;
    bool exitSeen = false;
    bool doWhileTail = false;
    bool statementHasContent = false;
    bool isHeader = false;
    bool inAsm = false;
    bool assignmentSeen = false;
    bool inBlockComment = false;
    bool inLineComment = false;
    bool inPreprocessor = false;
    std::string directive;
    bool atStatementStart = true;
    bool includePending = false;
    bool structuralLine = false;
    bool lineHasComment = false;
    bool executableStatement = false;
    bool inVersionLog = false;
    std::string functionName;
    bool dashComment = false;
    bool versionHeadingWritten = false;
    bool isAssembler = false;
    int32_t statementTokenCount = 0;
    std::string line;
    std::vector<std::string> outputLines;
    // Strings of output lines already written, kept with their capacity for
    // the next lines: a line costs no allocation.
    std::vector<std::string> spareLines;
    // Apply: the buffer to which EmitLine appends each finished line directly
    // (nothing later changes a line already made): the pipeline's lines held
    // until they can be written, then, once the output file is open, its
    // write buffer. Null for the other commands: lines go to `outputLines`.
    std::string* directOutput = nullptr;
    bool lineModified = false;
    int32_t column = 0;

    // Kind of the entry the last PopBlock closed.
    int32_t lastPoppedKind = Root;
    // "vantor-ignore-file" near the top: Check reports nothing for this file.
    bool checkSuppressed = false;
    // Search: the matches reported for this file.
    int32_t matchCount = 0;
    // Violations reported for this file (ReportViolation counts them).
    int32_t violationCount = 0;
    // The reader's start-of-line reset is still due: set for each line handed
    // to the engine and for the rest of a line after a cut, never by a
    // replacement or insertion that brings `column` back to 1.
    bool lineStartPending = true;
    // Apply mode: 0-based index in `line` where the output line being built
    // begins. The bytes before it were cut off and emitted during this call;
    // they stay in place so that a cut costs the length of the piece, not of
    // the rest of the line. `column` keeps counting from the start of `line`
    // (the column in the output line is `column` - `lineStart`). ProcessLine
    // drops the spent bytes before the line leaves the engine.
    int32_t lineStart = 0;
    // Apply mode: the quote of a string or character literal that the last
    // line left open with a backslash at its end (also on a directive, where
    // the reader does not cut literals): the tabs in it are data and stay.
    char literalRunsOn = 0;
    // Inside a Java text block ("\"\"\"" that ends its line, up to the next
    // "\"\"\""): its lines are one string literal, read and kept as they are.
    bool inTextBlock = false;
    // Inside a C++ raw string (`R"d(` ... `)d"`, also after u8, u, U, L) that
    // runs on over lines: its text is data, read and kept as it is up to the
    // ")", the delimiter and the quote that end it.
    bool inRawString = false;
    // Open preprocessor conditional sections (#if, #ifdef, #ifndef up to their
    // #endif) and, for the first kConditionalSlots, the index in `outputLines`
    // of the line that opened each: a marker never goes inside a section that
    // opened after its block's start, but before the section's first line.
    static constexpr int32_t kConditionalSlots = 32;
    int32_t conditionalDepth = 0;
    int32_t conditionalLine[kConditionalSlots] = {};
    int32_t rawDelimiterLength = 0;
    char rawDelimiter[16] = {};
    // `previousToken` is a "}" that closed a brace inside parentheses (a macro
    // argument, compound literal or lambda): it ends no enclosing statement.
    bool braceClosedInParens = false;
    FunctionHead head;

    BlockEntry& Top() { return blocks[blockTop]; }
    // Asked several times per token: one test of the three flags, no branches.
    bool IsCode() const { return (inBlockComment | inLineComment | inPreprocessor) == 0; }
};

// The only way entries enter and leave the block stack.
void PushBlock(ctxFichier& ctx, BlockKind kind);
void PopBlock(ctxFichier& ctx);

}  // namespace vantor
