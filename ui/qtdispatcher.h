// The console's hand-over of a worker's messages to the window thread, over
// the Qt event loop. A message is queued and the worker goes on (it waits
// only while the window is far behind); while a run is on, the window thread
// looks at the queue every millisecond from its loop and delivers it a few
// milliseconds at a time, and at once when it is itself about to print.
// Calls that must wait for their answer are queued in the same line, so
// every message keeps its place. The worker touches no Qt object: the queue
// and its mutex are all the two threads share.
#pragma once

#include <QObject>
#include <QTimer>
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
    QtConsoleDispatcher();

    // From the start of a run to its end: the loop delivers the queue.
    void Begin() { poll_.start(); }
    void End() { poll_.stop(); }

    void RunSynchronised(const std::function<void()>& call) override;
    bool Post(std::function<void()>& call) override;
    void ProcessPending() override;
    bool WaitForCalls(std::chrono::milliseconds limit) override;

    // While it answers true, the loop delivers nothing more (the pane is
    // behind). The main thread's own printing still delivers everything
    // before it, to keep the order.
    std::function<bool()> holdBack;

    // Calls queued at most; a worker that finds the queue full waits until
    // the window has delivered half of it.
    static constexpr size_t kMaxQueued = 20000;

private:
    // Runs from the event loop: delivers for a few milliseconds, then lets
    // the loop paint and answer the user.
    void Drain();

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
    QTimer poll_;
};
