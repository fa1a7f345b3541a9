// The console's hand-over of a worker's messages to the window thread, over
// the Qt event loop. A message is queued and the worker goes on (it waits
// only while the window is far behind); the window thread delivers the
// queue from its loop, a few milliseconds at a time, or at once when it is
// itself about to print. Calls that must wait for their answer are queued in
// the same line, so every message keeps its place.
#pragma once

#include <QObject>
#include <atomic>
#include <condition_variable>
#include <deque>
#include <exception>
#include <mutex>

#include "console/console.h"

class QtConsoleDispatcher : public QObject, public vantor::ConsoleDispatcher {
    Q_OBJECT
public:
    // Lives on the window thread, which must run a Qt event loop.
    QtConsoleDispatcher() = default;

    void RunSynchronised(const std::function<void()>& call) override;
    bool Post(std::function<void()>& call) override;
    void ProcessPending() override;
    bool WaitForCalls(std::chrono::milliseconds limit) override;

    // While it answers true, the loop delivers nothing more (the pane is
    // behind); Resume when it turns false. The main thread's own printing
    // still delivers everything before it, to keep the order.
    std::function<bool()> holdBack;
    void Resume();

    // Calls queued at most; a worker that finds the queue full waits until
    // the window has delivered half of it.
    static constexpr size_t kMaxQueued = 20000;

private:
    // Runs from the event loop: delivers for a few milliseconds, then lets
    // the loop paint and answer the user, and comes back.
    void Drain();
    // Under mutex_: asks the loop for a Drain unless one is on its way.
    bool NeedDrain();

    struct Waiting {  // a synchronised call and its answer
        const std::function<void()>* call = nullptr;
        bool done = false;
        std::exception_ptr error;
    };
    struct Entry {
        std::function<void()> posted;  // a posted call, or
        Waiting* waiting;              // a synchronised one
    };
    std::mutex mutex_;
    std::condition_variable arrived_;  // a call was queued
    std::condition_variable served_;   // a synchronised call has run, or room was made
    std::deque<Entry> queue_;
    bool drainPosted_ = false;
};
