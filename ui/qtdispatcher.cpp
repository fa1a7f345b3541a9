#include "ui/qtdispatcher.h"

#include <QMetaObject>

namespace {
// One slice of the event loop spent on hand-overs, then the loop runs again.
constexpr std::chrono::milliseconds kSlice(8);
// How long a slice waits for the worker's next message before it gives the
// loop back: the next one usually comes within microseconds.
constexpr std::chrono::microseconds kNextCallWait(300);
}  // namespace

void QtConsoleDispatcher::RunSynchronised(const std::function<void()>& call) {
    Call entry{&call, false, nullptr};
    bool post = false;
    {
        std::unique_lock<std::mutex> lock(mutex_);
        queue_.push_back(&entry);
        post = !drainPosted_;
        drainPosted_ = true;
        arrived_.notify_all();
    }
    if (post) QMetaObject::invokeMethod(this, &QtConsoleDispatcher::Drain, Qt::QueuedConnection);
    std::unique_lock<std::mutex> lock(mutex_);
    served_.wait(lock, [&] { return entry.done; });
    if (entry.error) std::rethrow_exception(entry.error);
}

void QtConsoleDispatcher::ProcessPending() {
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
        served_.notify_all();
    }
}

bool QtConsoleDispatcher::WaitForCalls(std::chrono::milliseconds limit) {
    std::unique_lock<std::mutex> lock(mutex_);
    return arrived_.wait_for(lock, limit, [&] { return !queue_.empty(); });
}

void QtConsoleDispatcher::Drain() {
    {
        std::lock_guard<std::mutex> lock(mutex_);
        drainPosted_ = false;
    }
    const auto end = std::chrono::steady_clock::now() + kSlice;
    for (;;) {
        ProcessPending();
        if (std::chrono::steady_clock::now() >= end) break;
        std::unique_lock<std::mutex> lock(mutex_);
        if (!arrived_.wait_for(lock, kNextCallWait, [&] { return !queue_.empty(); })) break;
    }
    // A call queued after the slice ended has posted a new Drain (drainPosted_
    // was cleared above), so none is left waiting.
}
