// The batch worker: one run of a batch command on a thread of its own, so
// that the window answers and the pane fills while the run goes on.
#pragma once

#include <functional>
#include <string>
#include <thread>

#include "config/settings.h"
#include "console/console.h"

// What the worker reads from the window, taken when the command starts: the
// user may edit the fields while the run goes on.
struct BatchJob {
    std::string source;
    std::string destination;        // Couverture's Destination
    std::string destinationDesign;  // Conception's Destination
    vantor::Dictionary dictionary;  // the grid's rows
};

class TFichierBatch : public vantor::TThreadConsole {
public:
    // Starts the run at once. The window has set the busy cursor (so that no
    // second command starts before the thread does); `ended` runs on the
    // window thread when the run is over, after its last message and after
    // the worker has left the console, and must reset the cursor. The worker
    // deletes itself then.
    TFichierBatch(BatchJob job, std::function<void()> ended);
    ~TFichierBatch() override;

    // Waits for the thread to end (a window going away under a run).
    void Wait() {
        if (thread_.joinable()) thread_.join();
    }

    // Files the run will take, counted before it starts (0 until known).
    static int FilesFound();

private:
    void Execute();

    BatchJob job_;
    std::function<void()> ended_;
    std::thread thread_;
};
