// The console's hand-over of a worker's message to the window thread, over
// the Qt event loop: the worker queues the call and waits; the window thread
// runs it from its loop, or at once when it is itself waiting for the
// console lock.
#pragma once

#include <QObject>
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
    void ProcessPending() override;
    bool WaitForCalls(std::chrono::milliseconds limit) override;

private:
    // Runs from the event loop: serves the calls that come one after another
    // for a few milliseconds, then lets the loop paint and answer the user.
    void Drain();

    struct Call {
        const std::function<void()>* call;
        bool done;
        std::exception_ptr error;
    };
    std::mutex mutex_;
    std::condition_variable arrived_;  // a call was queued
    std::condition_variable served_;   // a call has run
    std::deque<Call*> queue_;
    bool drainPosted_ = false;
};
