#include "config/parallelwalk.h"

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <system_error>
#include <thread>
#include <vector>

#include "config/filerecord.h"
#include "console/console.h"
#include "platform/fs.h"

namespace vantor {

namespace {

// More would only wait on the disk and on the main thread's playback.
constexpr int kMaxJobs = 64;
// Files done ahead of the one played back, per worker: enough for a long
// file not to stall the others, few enough that the records stay small.
constexpr size_t kAheadPerJob = 32;

// One step of the serial walk: a file to process, or a folder that could
// not be listed (reported where the serial walk reports it).
struct WalkItem {
    std::string source;
    std::string out;
    bool listFailed = false;
    int error = 0;
};

// The serial walk's order, its rules and its side effects (the destination
// folders) without processing anything. False when a file is taken by two
// masks: the parallel walk leaves such a tree to the serial one.
bool ListTree(const std::string& source, const std::string& destination, std::vector<WalkItem>& items) {
    return VisitFolder(
        source, destination,
        [&](const std::string& file, const std::string& out, bool again) {
            if (again) return false;
            items.push_back({file, out, false, 0});
            return true;
        },
        [&](const std::string& folder, int error) { items.push_back({folder, std::string(), true, error}); });
}

class ParallelRun {
public:
    ParallelRun(const std::vector<WalkItem>& items, const Dictionary* dictionary, LineProcessor processor,
                PendingSwaps* swaps, int jobs)
        : items_(items), dictionary_(dictionary), processor_(processor), swaps_(swaps), jobs_(jobs) {
        for (size_t i = 0; i < kAheadPerJob * static_cast<size_t>(jobs); ++i)
            slots_.push_back(std::make_unique<Slot>());
    }

    void Run(BatchTotals& totals);

private:
    struct Slot {
        FileRecord record;
        bool done = false;
    };

    void Work();
    void Play(const WalkItem& item, FileRecord& record, BatchTotals& totals);
    void PlayFolderError(const WalkItem& item, BatchTotals& totals);
    // The main thread alone, from file `next_` on, as the serial walk does.
    void RunRest(BatchTotals& totals);
    Slot& SlotOf(size_t i) { return *slots_[i % slots_.size()]; }
    // Under the lock: the main thread has files to play back, and enough of
    // them to be worth waking it: it plays half a window at a time, not one
    // file per wake-up (a thread switch per file cost more than the playback).
    bool MayPlay() {
        if (played_ >= next_ || !SlotOf(played_).done) return false;
        return next_ - played_ >= slots_.size() / 2 || next_ >= items_.size() || StopRequested();
    }

    const std::vector<WalkItem>& items_;
    const Dictionary* dictionary_;
    LineProcessor processor_;
    PendingSwaps* swaps_;
    const int jobs_;
    std::vector<std::unique_ptr<Slot>> slots_;
    ctxFichier sinkContext_;  // what the violation sink is told of at playback

    std::mutex mutex_;
    std::condition_variable slotFree_;  // a worker may take the next file
    std::condition_variable fileDone_;  // the main thread may play a file back
    size_t next_ = 0;                   // the first file no worker has taken
    size_t played_ = 0;                 // the first file not played back
    int alive_ = 0;                     // workers still taking files
    bool ending_ = false;
};

void ParallelRun::Work() {
    for (;;) {
        size_t i = 0;
        {
            std::unique_lock<std::mutex> lock(mutex_);
            slotFree_.wait(lock, [&] {
                return ending_ || next_ >= items_.size() || StopRequested() || next_ < played_ + slots_.size();
            });
            if (ending_ || next_ >= items_.size() || StopRequested()) break;
            i = next_++;
        }
        const WalkItem& item = items_[i];
        Slot& slot = SlotOf(i);
        if (!item.listFailed) {
            SetRecordingFile(&slot.record);
            ConsoleRecordThread(&slot.record.console);
            try {
                slot.record.counts = ProcessFile(item.source, item.out, dictionary_, processor_,
                                                 swaps_ != nullptr ? &slot.record.swaps : nullptr);
            } catch (...) {
                slot.record.error = std::current_exception();
            }
            ConsoleRecordThread(nullptr);
            SetRecordingFile(nullptr);
        }
        bool wake = false;
        {
            std::lock_guard<std::mutex> lock(mutex_);
            slot.done = true;
            wake = MayPlay();
        }
        if (wake) fileDone_.notify_one();
    }
    {
        std::lock_guard<std::mutex> lock(mutex_);
        --alive_;
    }
    fileDone_.notify_one();
}

void ParallelRun::PlayFolderError(const WalkItem& item, BatchTotals& totals) {
    ReportPathError("impossible de lire le répertoire %s\n", "unable to read the folder %s\n", item.source,
                    item.error);
    totals.ioErrors++;
}

void ParallelRun::Play(const WalkItem& item, FileRecord& record, BatchTotals& totals) {
    if (item.listFailed) {
        PlayFolderError(item, totals);
        return;
    }
    record.Replay(sinkContext_, item.source);
    AddFile(totals, record.counts);
    if (swaps_ == nullptr) return;
    record.swaps.MoveTo(*swaps_);
    if (swaps_->Full()) totals.ioErrors += swaps_->CommitInBackground();
}

void ParallelRun::RunRest(BatchTotals& totals) {
    for (;;) {
        size_t i = 0;
        {
            std::lock_guard<std::mutex> lock(mutex_);
            if (next_ >= items_.size()) return;
            i = next_++;
            played_ = next_;
        }
        if (StopRequested()) return;
        const WalkItem& item = items_[i];
        if (item.listFailed) {
            PlayFolderError(item, totals);
            continue;
        }
        AddFile(totals, ProcessFile(item.source, item.out, dictionary_, processor_, swaps_));
        if (swaps_ != nullptr && swaps_->Full()) totals.ioErrors += swaps_->CommitInBackground();
    }
}

void ParallelRun::Run(BatchTotals& totals) {
    std::vector<std::thread> workers;
    for (int k = 0; k < jobs_; ++k) {
        {
            std::lock_guard<std::mutex> lock(mutex_);
            ++alive_;
        }
        try {
            workers.emplace_back([this] { Work(); });
        } catch (const std::system_error&) {
            // No more threads to be had: the run goes on with those it has.
            std::lock_guard<std::mutex> lock(mutex_);
            --alive_;
            break;
        }
    }

    std::exception_ptr failure;
    for (;;) {
        size_t ready = 0;  // files done from played_ on, one after the other
        bool alone = false;
        {
            std::unique_lock<std::mutex> lock(mutex_);
            for (;;) {
                while (played_ + ready < next_ && SlotOf(played_ + ready).done) ++ready;
                if (ready > 0) break;
                if (played_ == next_ && (next_ >= items_.size() || StopRequested())) break;
                if (played_ == next_ && alive_ == 0) {
                    alone = true;
                    break;
                }
                // A stop request comes from a signal handler, which wakes no one;
                // files done short of half a window are played back after a while.
                fileDone_.wait_for(lock, std::chrono::milliseconds(20), [&] { return MayPlay() || alive_ == 0; });
            }
        }
        if (alone) {
            RunRest(totals);
            break;
        }
        if (ready == 0) break;
        size_t played = 0;
        for (; played < ready; ++played) {
            Slot& slot = SlotOf(played_ + played);
            if (slot.record.error) {
                failure = slot.record.error;
                break;
            }
            Play(items_[played_ + played], slot.record, totals);
        }
        {
            std::lock_guard<std::mutex> lock(mutex_);
            for (size_t k = 0; k < played; ++k) SlotOf(played_ + k).done = false;
            played_ += played;
        }
        slotFree_.notify_all();
        if (failure) break;
    }
    {
        std::lock_guard<std::mutex> lock(mutex_);
        ending_ = true;
    }
    slotFree_.notify_all();
    for (std::thread& t : workers) t.join();
    if (failure) std::rethrow_exception(failure);
}

}  // namespace

int JobsFor(int requested) {
    int jobs = requested;
    if (jobs == 0) jobs = static_cast<int>(std::thread::hardware_concurrency());
    return std::clamp(jobs, 1, kMaxJobs);
}

void WalkFolderInParallel(const std::string& source, const std::string& destination,
                          const Dictionary* dictionary, BatchTotals& totals, LineProcessor processor,
                          PendingSwaps* swaps, int jobs) {
    jobs = JobsFor(jobs);
    std::vector<WalkItem> items;
    if (jobs < 2 || source.empty() || KindOfPath(source) != PathKind::Folder ||
        !ListTree(source, destination, items) || items.size() < 2) {
        WalkFolder(source, destination, dictionary, totals, processor, swaps);
        return;
    }
    ParallelRun run(items, dictionary, processor, swaps, std::min(jobs, static_cast<int>(items.size())));
    run.Run(totals);
}

}  // namespace vantor
