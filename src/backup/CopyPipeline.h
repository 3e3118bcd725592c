#pragma once
// Copies handed to the copier threads, and the report steps that must follow them: a step
// runs only when every copy handed out before it is done, so the report reads exactly as
// if the files had been copied one after the other. Without copier threads every step
// runs at once.

#include "backup/Copiers.h"

#include <deque>
#include <functional>
#include <memory>

namespace vnt {

// What the pipeline needs of the walk while it waits for copies.
class CopyWaiter {
public:
    virtual ~CopyWaiter() = default;
    virtual bool StopRequested() const = 0;
    // The window stays answerable while the walk waits.
    virtual void Yield() = 0;
    // How far the copy the walk waits for has got; its end takes the progress back.
    virtual void ShowCopyProgress(const CopyJob& job) = 0;
    virtual void EndCopyProgress(const CopyJob* job) = 0;
};

class CopyPipeline {
public:
    using After = std::function<bool(const CopyOutcome&)>; // true: the user chose to stop
    // copiers null: every copy runs on the calling thread.
    CopyPipeline(CopierPool* copiers, int threads, CopyWaiter& waiter);
    ~CopyPipeline() { Drain(); }
    CopyPipeline(const CopyPipeline&) = delete;
    CopyPipeline& operator=(const CopyPipeline&) = delete;

    bool Idle() const { return steps.empty(); }

    // How many of the folder's files are still to come, this one included: comparisons
    // are gathered into smaller jobs towards the folder's end, so that no thread is left
    // with a long last job while the others wait for the next folder.
    void FilesLeft(size_t left) { filesLeft = left; }

    // Runs step now, or once the copies handed out before it are done. Past a stop nothing
    // runs, on any engine: neither the steps of the files after it nor their copies. (The
    // walk stops by itself only with nothing pending; a stop seen while steps wait is the
    // user's, and the first step not yet run is where it falls.)
    bool Then(std::function<bool()> step);
    // The same for a step that also runs past a stop the user made (Cancel, or a rule that
    // ends the run), though not past a step's own answer to stop.
    bool Finally(std::function<bool()> step);
    bool HandOut(const std::shared_ptr<CopyJob>& job, After after);
    // Waits for every copy handed out and runs every step left.
    bool Drain();

    // With copier threads, small comparisons are gathered into one job, handed out when it
    // is full and before any other step, so that the report keeps file order. report words
    // what the job found. False: not gathered (no copier threads), compare it alone.
    using Report = std::function<bool(const CopyJob&)>;
    bool Gather(const std::shared_ptr<const FolderHandle>& source,
                const std::shared_ptr<const FolderHandle>& target, CompareItem item, qint64 bytes,
                const Report& report, bool& stop);

private:
    static constexpr size_t MaxInFlight = 64;
    static constexpr size_t GatherFiles = 64;
    static constexpr qint64 GatherBytes = 4 * 1024 * 1024;

    struct Step {
        std::shared_ptr<CopyJob> job;
        After after;
        bool always = false;
    };
    bool Add(std::function<bool()> step, bool always);
    bool HandOutGathered();
    bool RunSteps(size_t keep);
    static void TakeBackNewCopy(const CopyJob& job);
    bool Run(const After& step, const CopyOutcome& outcome);
    bool Wait(const CopyJob& job, bool block);
    bool Stopping() const { return stopped || waiter.StopRequested(); }

    CopierPool* const copiers;
    const int threads;
    CopyWaiter& waiter;
    std::deque<Step> steps;
    bool stopped = false;
    bool answered = false; // a step answered to stop
    size_t filesLeft = GatherFiles;
    std::shared_ptr<CopyJob> gathered;
    Report gatheredReport;
};

} // namespace vnt
