#include "ui/qtdispatcher.h"

#include <QMetaObject>

namespace {
// One slice of the event loop spent on delivery, then the loop runs again.
constexpr std::chrono::milliseconds kSlice(8);
// How long a slice waits for the worker's next call before it gives the loop
// back: while a run prints, the next one comes within microseconds.
constexpr std::chrono::microseconds kNextCallWait(200);
}  // namespace

bool QtConsoleDispatcher::NeedDrain() {
    const bool post = !drainPosted_;
    drainPosted_ = true;
    return post;
}

void QtConsoleDispatcher::RunSynchronised(const std::function<void()>& call) {
    Waiting waiting;
    waiting.call = &call;
    bool post = false;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        queue_.push_back({nullptr, &waiting});
        post = NeedDrain();
        arrived_.notify_all();
    }
    if (post) QMetaObject::invokeMethod(this, &QtConsoleDispatcher::Drain, Qt::QueuedConnection);
    std::unique_lock<std::mutex> lock(mutex_);
    served_.wait(lock, [&] { return waiting.done; });
    if (waiting.error) std::rethrow_exception(waiting.error);
}

bool QtConsoleDispatcher::Post(std::function<void()>& call) {
    bool post = false;
    {
        std::unique_lock<std::mutex> lock(mutex_);
        if (queue_.size() >= kMaxQueued) {
            // The window is far behind: let it catch up rather than hold an
            // unbounded backlog in memory. It always drains (its loop runs).
            if (NeedDrain()) QMetaObject::invokeMethod(this, &QtConsoleDispatcher::Drain, Qt::QueuedConnection);
            served_.wait(lock, [&] { return queue_.size() < kMaxQueued / 2; });
        }
        queue_.push_back({std::move(call), nullptr});
        post = NeedDrain();
        arrived_.notify_all();
    }
    if (post) QMetaObject::invokeMethod(this, &QtConsoleDispatcher::Drain, Qt::QueuedConnection);
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

void QtConsoleDispatcher::Resume() {
    std::lock_guard<std::mutex> lock(mutex_);
    drainPosted_ = true;
    QMetaObject::invokeMethod(this, &QtConsoleDispatcher::Drain, Qt::QueuedConnection);
}

void QtConsoleDispatcher::Drain() {
    {
        std::lock_guard<std::mutex> lock(mutex_);
        drainPosted_ = false;
    }
    const auto end = std::chrono::steady_clock::now() + kSlice;
    std::unique_lock<std::mutex> lock(mutex_);
    while (std::chrono::steady_clock::now() < end) {
        if (holdBack && holdBack()) {
            // Resume posts the next Drain; until then none is asked for.
            drainPosted_ = true;
            return;
        }
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
    // Whatever is still queued has a Drain on its way: drainPosted_ was
    // cleared above, so the call that queued it posted one.
    if (!queue_.empty() && NeedDrain())
        QMetaObject::invokeMethod(this, &QtConsoleDispatcher::Drain, Qt::QueuedConnection);
}
