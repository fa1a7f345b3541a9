// The output console: formatting, the console lock, delivery on the main
// thread, the freeze queue and the memo line rules.
#include "console/console.h"

#include <condition_variable>
#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <deque>
#include <exception>
#include <mutex>
#include <new>

namespace vantor {

// Held messages are one heap block each: this header, then the text.
struct ConsoleMessage {
    ConsoleMessage* next;
    uint32_t colour;
    uint8_t style;
    uint8_t paneDefaults;  // colour and/or style still to be taken from the pane
    size_t len;
    const char* text;  // NUL-terminated
};

enum : uint8_t { kPaneColour = 1, kPaneStyle = 2 };

TConsole console;

// Recursive like the platform mutex it stands for: a sink that prints while
// appending must not deadlock its own thread.
static std::recursive_mutex consoleMutex;
constexpr std::chrono::milliseconds kLockPoll(1);

// --- default dispatcher ---------------------------------------------------

namespace {

class QueuedDispatcher : public ConsoleDispatcher {
public:
    void RunSynchronised(const std::function<void()>& call) override {
        Call entry{&call, false, nullptr};
        std::unique_lock<std::mutex> lock(mutex_);
        queue_.push_back(&entry);
        changed_.notify_all();
        changed_.wait(lock, [&] { return entry.done; });
        if (entry.error) std::rethrow_exception(entry.error);
    }

    void ProcessPending() override {
        std::unique_lock<std::mutex> lock(mutex_);
        while (!queue_.empty()) {
            Call* entry = queue_.front();
            queue_.pop_front();
            lock.unlock();
            std::exception_ptr error;
            try {
                (*entry->call)();
            } catch (...) {
                error = std::current_exception();
            }
            lock.lock();
            entry->error = error;
            entry->done = true;
            changed_.notify_all();
        }
    }

    bool WaitForCalls(std::chrono::milliseconds limit) override {
        std::unique_lock<std::mutex> lock(mutex_);
        return changed_.wait_for(lock, limit, [&] { return !queue_.empty(); });
    }

private:
    struct Call {
        const std::function<void()>* call;
        bool done;
        std::exception_ptr error;
    };
    std::mutex mutex_;
    std::condition_variable changed_;
    std::deque<Call*> queue_;
};

QueuedDispatcher& DefaultDispatcher() {
    static QueuedDispatcher dispatcher;
    return dispatcher;
}

std::atomic<ConsoleDispatcher*> installedDispatcher{nullptr};

// --- thread table ---------------------------------------------------------

// Written by workers registering themselves, read by printers, all under the lock.
std::thread::id threadIds[kConsoleThreadSlots];
TThreadConsole* threadObjects[kConsoleThreadSlots];
size_t threadSlotsUsed = 0;

TThreadConsole* FindThread(std::thread::id id) {
    for (size_t i = 0; i < threadSlotsUsed; ++i)
        if (threadObjects[i] && threadIds[i] == id) return threadObjects[i];
    return nullptr;
}

}  // namespace

void ConsoleSetDispatcher(ConsoleDispatcher* dispatcher) { installedDispatcher.store(dispatcher); }

ConsoleDispatcher* ConsoleGetDispatcher() {
    ConsoleDispatcher* d = installedDispatcher.load();
    return d ? d : &DefaultDispatcher();
}

void ConsolePump(std::chrono::milliseconds limit) {
    ConsoleDispatcher* d = ConsoleGetDispatcher();
    if (limit.count() > 0) d->WaitForCalls(limit);
    d->ProcessPending();
}

// --- the lock ---------------------------------------------------------------

static bool IsMainThread(TConsole* c) { return c->mainThread.load() == std::this_thread::get_id(); }

// A console never attached takes its first printer as main thread, so that
// printing before any set-up still works and never waits on a hand-over.
static bool ClaimMainThread(TConsole* c) {
    std::thread::id self = std::this_thread::get_id();
    std::thread::id expected;
    if (c->mainThread.compare_exchange_strong(expected, self)) return true;
    return expected == self;
}

// A waiting main thread goes before a worker's next message. The mutex is not
// fair: a worker printing without pause would re-take it each time it was
// served and keep the main thread (the window) out until the end of the run.
static std::mutex turnstileMutex;
static std::condition_variable turnstileOpen;
static int mainThreadsWaiting = 0;
static thread_local int lockDepth = 0;  // a thread already inside never stops at the turnstile

// The main thread serves hand-overs while it waits: a worker may hold the lock
// while it waits for the main thread to deliver its message.
static void TakeLock(bool onMainThread) {
    if (!onMainThread) {
        if (lockDepth == 0) {
            std::unique_lock<std::mutex> turnstile(turnstileMutex);
            turnstileOpen.wait(turnstile, [] { return mainThreadsWaiting == 0; });
        }
        consoleMutex.lock();
        ++lockDepth;
        return;
    }
    {
        std::lock_guard<std::mutex> turnstile(turnstileMutex);
        ++mainThreadsWaiting;
    }
    ConsoleDispatcher* d = ConsoleGetDispatcher();
    for (;;) {
        d->ProcessPending();
        if (consoleMutex.try_lock()) break;
        // The worker that holds the lock is about to hand a message over, or
        // to let the lock go: serve the hand-over the moment it comes, and
        // look at the lock again soon, rather than sleep on the lock itself.
        d->WaitForCalls(kLockPoll);
    }
    {
        std::lock_guard<std::mutex> turnstile(turnstileMutex);
        --mainThreadsWaiting;
    }
    turnstileOpen.notify_all();
    ++lockDepth;
}

static void ReleaseLock() {
    --lockDepth;
    consoleMutex.unlock();
}

namespace {
struct ConsoleLock {
    explicit ConsoleLock(TConsole* c) { TakeLock(IsMainThread(c)); }
    explicit ConsoleLock(bool onMainThread) { TakeLock(onMainThread); }
    ~ConsoleLock() { ReleaseLock(); }
    ConsoleLock(const ConsoleLock&) = delete;
    ConsoleLock& operator=(const ConsoleLock&) = delete;
};
}  // namespace

// --- delivery ---------------------------------------------------------------

static void FreePending(TConsole* c) {
    ConsoleMessage* m = c->pendingHead;
    while (m) {
        ConsoleMessage* next = m->next;
        std::free(m);
        m = next;
    }
    c->pendingHead = c->pendingTail = nullptr;
}

TConsole::~TConsole() {
    output = nullptr;
    memo = nullptr;
    frozen = false;
    FreePending(this);
}

// Adds one piece as a new memo line; a full memo loses its first lines until
// the line fits. An empty memo that refuses a line cannot make room: give up.
static void AddMemoLine(MemoSink* memo, const char* text, size_t len) {
    for (;;) {
        size_t before = memo->LineCount();
        memo->AddLine(text, len);
        if (memo->LineCount() > before || before == 0) return;
        memo->DeleteLine(0);
    }
}

static void InsertMemo(TConsole* c, const char* text, size_t len) {
    MemoSink* memo = c->memo;
    const char* end = text + len;
    const char* p = text;
    while (p < end) {
        const char* nl = static_cast<const char*>(std::memchr(p, '\n', end - p));
        const char* pieceEnd = nl ? nl : end;
        if (*p == '\r') {
            ++p;
            if (c->lineOpen) {
                if (memo->LineCount() > 0) memo->DeleteLine(memo->LineCount() - 1);
                c->lineOpen = false;
            }
        }
        if (c->lineOpen && memo->LineCount() > 0)
            memo->AppendToLastLine(p, pieceEnd - p);
        else
            AddMemoLine(memo, p, pieceEnd - p);
        c->lineOpen = nl == nullptr;
        if (!nl) break;
        p = nl + 1;
    }
}

// Appends a message to the pane in its colour and style.
static void Insert(TConsole* c, const ConsoleMessage* m) {
    if (!c->output || m->len == 0) return;
    if (c->memoMode) {
        if (c->memo)
            InsertMemo(c, m->text, m->len);
        else
            c->output->Append(m->text, m->len, 0, 0);
        return;
    }
    c->output->Append(m->text, m->len, m->colour, m->style);
}

// Step 5 of an output, always on the main thread under the lock.
static void Deliver(TConsole* c, ConsoleMessage* m) {
    if (!c->output) return;
    if (c->memoMode) {
        m->colour = 0;
        m->style = 0;
    } else {
        if (m->paneDefaults & kPaneColour) m->colour = c->output->DefaultColour();
        if (m->paneDefaults & kPaneStyle) m->style = c->output->DefaultStyle();
    }
    m->paneDefaults = 0;
    if (!c->frozen) {
        Insert(c, m);
        return;
    }
    // One block for header and text; a failed allocation drops the message.
    void* block = std::malloc(sizeof(ConsoleMessage) + m->len + 1);
    if (!block) return;
    auto* held = static_cast<ConsoleMessage*>(block);
    char* text = static_cast<char*>(block) + sizeof(ConsoleMessage);
    std::memcpy(text, m->text, m->len);
    text[m->len] = '\0';
    *held = ConsoleMessage{nullptr, m->colour, m->style, 0, m->len, text};
    if (c->pendingTail)
        c->pendingTail->next = held;
    else
        c->pendingHead = held;
    c->pendingTail = held;
}

// Delivers `text` (NUL-terminated, at most kConsoleBufferSize - 1 bytes).
static int OutputText(TConsole* c, uint32_t colour, uint8_t style, uint8_t paneDefaults, const char* text,
                      size_t len);

static int Output(TConsole* c, uint32_t colour, uint8_t style, uint8_t paneDefaults, const char* format,
                  va_list args) {
    char buffer[kConsoleBufferSize];
    int n = std::vsnprintf(buffer, sizeof buffer, format, args);
    if (n < 0) return -1;
    // The pane gets NUL-terminated text: an embedded NUL ends the message.
    return OutputText(c, colour, style, paneDefaults, buffer, std::strlen(buffer));
}

// A worker's message handed over without waiting, where the dispatcher can:
// the text is copied, since the worker's buffer is gone by the time the main
// thread delivers it. Delivery keeps the order of the queue, which the main
// thread empties before any message of its own.
static bool PostMessage(TConsole* c, const ConsoleMessage& m) {
    void* block = std::malloc(sizeof(ConsoleMessage) + m.len + 1);
    if (!block) return false;
    auto* held = static_cast<ConsoleMessage*>(block);
    char* text = static_cast<char*>(block) + sizeof(ConsoleMessage);
    std::memcpy(text, m.text, m.len);
    text[m.len] = '\0';
    *held = ConsoleMessage{nullptr, m.colour, m.style, m.paneDefaults, m.len, text};
    std::function<void()> call = [c, held] {
        Deliver(c, held);
        std::free(held);
    };
    if (ConsoleGetDispatcher()->Post(call)) return true;
    std::free(held);
    return false;
}

// The record the calling thread's messages go to (ConsoleRecordThread).
static thread_local ConsoleRecord* threadRecord = nullptr;

void ConsoleRecordThread(ConsoleRecord* record) { threadRecord = record; }

int RecordMessage(ConsoleRecord* r, uint32_t colour, uint8_t style, uint8_t paneDefaults, const char* text,
                  size_t len) {
    r->pieces_.push_back({colour, style, paneDefaults, r->text_.size(), len});
    r->text_.append(text, len);
    r->text_ += '\0';
    return static_cast<int>(len);
}

void ConsoleReplay(TConsole* c, const ConsoleRecord& record, size_t from, size_t to) {
    if (from >= to) return;
    ConsoleLock lock(c);
    for (size_t i = from; i < to && i < record.pieces_.size(); ++i) {
        const ConsoleRecord::Piece& p = record.pieces_[i];
        ConsoleMessage message{nullptr, p.colour, p.style, p.paneDefaults, p.len, record.text_.data() + p.at};
        Deliver(c, &message);
    }
}

static int OutputText(TConsole* c, uint32_t colour, uint8_t style, uint8_t paneDefaults, const char* text,
                      size_t len) {
    ConsoleMessage message{nullptr, colour, style, paneDefaults, len, text};
    if (!c) return static_cast<int>(message.len);
    if (threadRecord != nullptr) return RecordMessage(threadRecord, colour, style, paneDefaults, text, len);

    bool onMainThread = ClaimMainThread(c);
    ConsoleLock lock(onMainThread);
    if (onMainThread) {
        Deliver(c, &message);
    } else if (TThreadConsole* thread = FindThread(std::this_thread::get_id())) {
        // Without a pane delivery does nothing: do not make the worker wait
        // for a main thread that may never serve it.
        if (c->output && PostMessage(c, message)) return static_cast<int>(message.len);
        if (c->output) {
            thread->deliveryConsole = c;
            thread->deliveryMessage = &message;
            ConsoleGetDispatcher()->RunSynchronised(
                [thread] { Deliver(thread->deliveryConsole, thread->deliveryMessage); });
            thread->deliveryMessage = nullptr;
        }
    }
    return static_cast<int>(message.len);
}

int ConsolePrint(TConsole* c, const char* format, ...) {
    va_list args;
    va_start(args, format);
    int n = Output(c, 0, 0, kPaneColour | kPaneStyle, format, args);
    va_end(args);
    return n;
}

int ConsoleWriteColor(TConsole* c, uint32_t colour, const char* text) {
    size_t len = std::strlen(text);
    if (len < kConsoleBufferSize) return OutputText(c, colour, 0, 0, text, len);
    char buffer[kConsoleBufferSize];  // cut as a formatted message is
    std::memcpy(buffer, text, kConsoleBufferSize - 1);
    buffer[kConsoleBufferSize - 1] = '\0';
    return OutputText(c, colour, 0, 0, buffer, kConsoleBufferSize - 1);
}

int ConsoleWrite(TConsole* c, const char* text, size_t len) {
    // As "%.*s" takes it: up to the first NUL, cut to one message's room.
    if (const void* nul = std::memchr(text, '\0', len)) len = static_cast<size_t>(static_cast<const char*>(nul) - text);
    if (len > kConsoleBufferSize - 1) len = kConsoleBufferSize - 1;
    char buffer[kConsoleBufferSize];
    std::memcpy(buffer, text, len);
    buffer[len] = '\0';
    return OutputText(c, 0, 0, kPaneColour | kPaneStyle, buffer, len);
}

int ConsolePrintColor(TConsole* c, uint32_t colour, const char* format, ...) {
    va_list args;
    va_start(args, format);
    int n = Output(c, colour, 0, 0, format, args);
    va_end(args);
    return n;
}

int ConsolePrintStyle(TConsole* c, uint8_t style, const char* format, ...) {
    va_list args;
    va_start(args, format);
    int n = Output(c, 0, style, kPaneColour, format, args);
    va_end(args);
    return n;
}

// --- attach, freeze, threads ------------------------------------------------

void ConsoleAttach(TConsole* c, ConsoleSink* sink, bool memoMode) {
    c->mainThread.store(std::this_thread::get_id());
    ConsoleLock lock(c);
    c->output = sink;
    c->memoMode = memoMode;
    c->memo = memoMode ? dynamic_cast<MemoSink*>(sink) : nullptr;
    c->lineOpen = false;
}

void ConsoleDetach(TConsole* c) {
    ConsoleLock lock(c);
    c->output = nullptr;
    c->memo = nullptr;
    c->lineOpen = false;
}

void ConsoleFreeze(TConsole* c) {
    ConsoleLock lock(c);
    if (c->frozen) return;
    c->frozen = true;
    FreePending(c);
}

void ConsoleUnfreeze(TConsole* c) {
    ConsoleLock lock(c);
    if (!c->frozen) return;
    while (ConsoleMessage* m = c->pendingHead) {
        c->pendingHead = m->next;
        Insert(c, m);
        std::free(m);
    }
    c->pendingTail = nullptr;
    c->frozen = false;
}

bool ConsoleRegisterThread(TConsole* c, TThreadConsole* thread) {
    std::thread::id self = std::this_thread::get_id();
    ConsoleLock lock(c);
    size_t slot = threadSlotsUsed;
    for (size_t i = 0; i < threadSlotsUsed; ++i) {
        if (threadIds[i] == self) {
            slot = i;
            break;
        }
        if (!threadObjects[i] && slot == threadSlotsUsed) slot = i;
    }
    if (slot == threadSlotsUsed) {
        // The table has a fixed size: a registration beyond it is refused.
        if (threadSlotsUsed == kConsoleThreadSlots) return false;
        ++threadSlotsUsed;
    }
    threadIds[slot] = self;
    threadObjects[slot] = thread;
    return true;
}

void ConsoleUnregisterThread(TConsole* c) {
    std::thread::id self = std::this_thread::get_id();
    ConsoleLock lock(c);
    for (size_t i = 0; i < threadSlotsUsed; ++i)
        if (threadIds[i] == self) threadObjects[i] = nullptr;
}

}  // namespace vantor
