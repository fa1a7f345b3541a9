#include "ui/qtdispatcher.h"

namespace {
// One slice of the event loop spent on delivery, then the loop runs again.
constexpr std::chrono::milliseconds kSlice(8);
// How long a slice waits for the worker's next call before it gives the loop
// back: while a run prints, the next one comes within microseconds.
constexpr std::chrono::microseconds kNextCallWait(200);
}  // namespace

QtConsoleDispatcher::QtConsoleDispatcher() {
    poll_.setInterval(1);
    poll_.setTimerType(Qt::PreciseTimer);
    connect(&poll_, &QTimer::timeout, this, &QtConsoleDispatcher::Drain);
}

void QtConsoleDispatcher::RunSynchronised(const std::function<void()>& call) {
    Waiting waiting;
    waiting.call = &call;
    std::unique_lock<std::mutex> lock(mutex_);
    queue_.push_back({nullptr, &waiting});
    arrived_.notify_all();
    served_.wait(lock, [&] { return waiting.done; });
    if (waiting.error) std::rethrow_exception(waiting.error);
}

bool QtConsoleDispatcher::Post(std::function<void()>& call) {
    std::unique_lock<std::mutex> lock(mutex_);
    // The window is far behind: let it catch up rather than hold an
    // unbounded backlog in memory.
    served_.wait(lock, [&] { return queue_.size() < kMaxQueued; });
    queue_.push_back({std::move(call), nullptr});
    arrived_.notify_all();
    return true;
}

void QtConsoleDispatcher::ProcessPending() {
    std::unique_lock<std::mutex> lock(mutex_);
    while (!queue_.empty()) {
        Entry entry = std::move(queue_.front());
        queue_.pop_front();
        const bool roomMade = queue_.size() + 1 == kMaxQueued / 2;
        lock.unlock();
        if (roomMade) served_.notify_all();
        if (entry.waiting) {
            std::exception_ptr error;
            try {
                (*entry.waiting->call)();
            } catch (...) {
                error = std::current_exception();
            }
            lock.lock();
            entry.waiting->error = error;
            entry.waiting->done = true;
            served_.notify_all();
        } else {
            entry.posted();
            lock.lock();
        }
    }
}

bool QtConsoleDispatcher::WaitForCalls(std::chrono::milliseconds limit) {
    std::unique_lock<std::mutex> lock(mutex_);
    return arrived_.wait_for(lock, limit, [&] { return !queue_.empty(); });
}

void QtConsoleDispatcher::Drain() {
    const auto end = std::chrono::steady_clock::now() + kSlice;
    std::unique_lock<std::mutex> lock(mutex_);
    while (std::chrono::steady_clock::now() < end) {
        if (holdBack && holdBack()) return;
        if (queue_.empty() && !arrived_.wait_for(lock, kNextCallWait, [&] { return !queue_.empty(); })) break;
        // Take the queue in one piece, so that the worker never waits on the
        // mutex for long while the pane takes the messages.
        std::deque<Entry> batch;
        batch.swap(queue_);
        lock.unlock();
        served_.notify_all();  // room was made
        for (Entry& entry : batch) {
            if (!entry.waiting) {
                entry.posted();
                continue;
            }
            std::exception_ptr error;
            try {
                (*entry.waiting->call)();
            } catch (...) {
                error = std::current_exception();
            }
            std::lock_guard<std::mutex> relock(mutex_);
            entry.waiting->error = error;
            entry.waiting->done = true;
            served_.notify_all();
        }
        lock.lock();
    }
}
