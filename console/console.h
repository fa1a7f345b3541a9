// The output console: every report of every unit goes through it, from the
// main thread or from the one batch worker.
#pragma once

#include <atomic>
#include <chrono>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <thread>
#include <vector>

namespace vantor {

// Colours: blue in bits 16-23, green 8-15, red 0-7.
constexpr uint32_t kColorRed = 255;
constexpr uint32_t kColorGreen = 32768;

// Font styles, a set in one byte.
enum : uint8_t { fsBold = 1, fsItalic = 2, fsUnderline = 4, fsStrikeOut = 8 };

constexpr size_t kConsoleBufferSize = 2000;  // with the terminator
constexpr size_t kConsoleThreadSlots = 300;  // registered worker threads at most

// Where delivered messages end up: the terminal, the window's rich-text pane,
// a memo, or a recorder in the tests. Append is only ever called on the
// console's main thread, under the console lock.
class ConsoleSink {
public:
    virtual ~ConsoleSink() = default;
    virtual void Append(const char* text, size_t len, uint32_t colour, uint8_t style) = 0;
    // The pane's own font colour and style, used by ConsolePrint. Asked on the
    // main thread at delivery, never on the worker.
    virtual uint32_t DefaultColour() const { return 0; }
    virtual uint8_t DefaultStyle() const { return 0; }
};

// A plain-text memo of lines (the installer's). Attached with memoMode the
// console drives it line by line: a message without a line end stays open and
// the next one continues it, a piece starting with "\r" overwrites the open
// line, and a full memo loses its first lines. Colours and styles are dropped.
// Append is used only when a memo is attached without memoMode.
class MemoSink : public ConsoleSink {
public:
    virtual size_t LineCount() const = 0;
    // Adds a line at the end; a full memo may refuse (the count does not grow).
    virtual void AddLine(const char* text, size_t len) = 0;
    virtual void AppendToLastLine(const char* text, size_t len) = 0;
    virtual void DeleteLine(size_t index) = 0;
    void Append(const char* text, size_t len, uint32_t, uint8_t) override { AddLine(text, len); }
};

struct ConsoleMessage;  // a message on its way to the pane (console.cpp)

// The console record. The fields belong to the console functions below, which
// read and write them under the console lock; callers only pass the pointer.
class TConsole {
public:
    TConsole() = default;
    ~TConsole();  // releases held messages
    TConsole(const TConsole&) = delete;
    TConsole& operator=(const TConsole&) = delete;

    ConsoleSink* output = nullptr;  // the pane; none: delivery does nothing
    MemoSink* memo = nullptr;       // set in memo mode when the pane is a memo
    bool memoMode = false;
    bool lineOpen = false;  // memo mode: the last line was not ended by "\n"
    bool frozen = false;
    // The thread that attached the console (or printed first on one never attached).
    std::atomic<std::thread::id> mainThread{std::thread::id()};
    ConsoleMessage* pendingHead = nullptr;  // held while frozen, oldest first
    ConsoleMessage* pendingTail = nullptr;
};

extern TConsole console;  // the process-wide console

// Base of a worker thread that prints: a message printed on it is parked in
// these two fields while the main thread delivers it. Named apart from the
// global `console` so that a derived worker's code still reaches the global.
class TThreadConsole {
public:
    virtual ~TThreadConsole() = default;
    TConsole* deliveryConsole = nullptr;
    ConsoleMessage* deliveryMessage = nullptr;
};

// Runs calls on the main thread for worker threads (the toolkit's synchronise).
// The window layer provides one over its event loop; the default one queues
// the calls and runs them when the main thread waits for the console lock or
// calls ConsolePump.
class ConsoleDispatcher {
public:
    virtual ~ConsoleDispatcher() = default;
    // Called on a worker: runs `call` on the main thread and returns once it
    // has run (an exception it throws is rethrown here).
    virtual void RunSynchronised(const std::function<void()>& call) = 0;
    // Called on a worker: queues `call` to run on the main thread after every
    // call queued before it, and returns without waiting for it (a dispatcher
    // may make the worker wait while too many calls are queued). False when
    // the dispatcher cannot; the console then hands its messages over
    // synchronised, one at a time.
    virtual bool Post(std::function<void()>& call) {
        (void)call;
        return false;
    }
    // Called on the main thread: runs every call waiting.
    virtual void ProcessPending() = 0;
    // Called on the main thread: waits at most `limit` for a call to arrive.
    // Returns true when calls are waiting.
    virtual bool WaitForCalls(std::chrono::milliseconds limit) = 0;
};

// Installs the dispatcher used by every console (none: the default one). Set
// it before any worker starts.
void ConsoleSetDispatcher(ConsoleDispatcher* dispatcher);
ConsoleDispatcher* ConsoleGetDispatcher();

// Main thread: waits at most `limit` for worker hand-overs and delivers them.
// A front end without an event loop calls it while its worker runs.
void ConsolePump(std::chrono::milliseconds limit = std::chrono::milliseconds(0));

// Binds the console to a sink and makes the calling thread its main thread.
// memoMode: plain-text memo rules (no colours or styles, line-open handling);
// they need a MemoSink, any other sink then gets the plain text as it comes.
void ConsoleAttach(TConsole* c, ConsoleSink* sink, bool memoMode = false);
void ConsoleDetach(TConsole* c);

// Format printf-style into a 2000-byte buffer (longer text is cut at 1999
// bytes) and output it. Return the number of characters output, -1 on a
// format error. A message from a thread that is neither the main thread nor
// registered is dropped.
int ConsolePrint(TConsole* c, const char* format, ...) __attribute__((format(printf, 2, 3)));
int ConsolePrintColor(TConsole* c, uint32_t colour, const char* format, ...)
    __attribute__((format(printf, 3, 4)));
int ConsolePrintStyle(TConsole* c, uint8_t style, const char* format, ...)
    __attribute__((format(printf, 3, 4)));
// The same as ConsolePrintColor(c, colour, "%s", text) for text already made
// (the violation reports: one per finding, where formatting cost as much as
// reading the line).
int ConsoleWriteColor(TConsole* c, uint32_t colour, const char* text);
// The same as ConsolePrint(c, "%.*s", len, text): a slice of a line, as
// Search prints the text around each match.
int ConsoleWrite(TConsole* c, const char* text, size_t len);

// Main thread (the "Freeze" check box): hold messages, then append them in order.
void ConsoleFreeze(TConsole* c);
void ConsoleUnfreeze(TConsole* c);

// Called by a worker on its own thread at the start and end of its run.
// Registration returns false when the thread table is full.
bool ConsoleRegisterThread(TConsole* c, TThreadConsole* thread);
void ConsoleUnregisterThread(TConsole* c);

// Messages kept by a worker for the main thread to deliver later, in one go
// and in their order: the workers of a parallel batch run each fill one per
// file, and the files' messages are delivered in the order of the walk.
class ConsoleRecord {
public:
    size_t Size() const { return pieces_.size(); }
    // Keeps its room for the next file, within reason.
    void Clear() {
        pieces_.clear();
        text_.clear();
        if (text_.capacity() > (4u << 20)) std::string().swap(text_);
    }

private:
    friend int RecordMessage(ConsoleRecord*, uint32_t, uint8_t, uint8_t, const char*, size_t);
    friend void ConsoleReplay(TConsole*, const ConsoleRecord&, size_t, size_t);
    struct Piece {
        uint32_t colour;
        uint8_t style;
        uint8_t paneDefaults;
        size_t at, len;
    };
    std::vector<Piece> pieces_;
    std::string text_;
};

// From now on the calling thread's messages, whatever its console, go to
// `record` instead of their console, without its lock; nullptr ends it.
void ConsoleRecordThread(ConsoleRecord* record);
// Main thread: delivers the messages `from` to `to` (excluded) of `record`
// as if they were printed now.
void ConsoleReplay(TConsole* c, const ConsoleRecord& record, size_t from, size_t to);

}  // namespace vantor
