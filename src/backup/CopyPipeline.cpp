#include "backup/CopyPipeline.h"

#include "platform/Names.h"

#include <algorithm>
#include <chrono>
#include <unistd.h>

namespace vnt {

CopyPipeline::CopyPipeline(CopierPool* copiersIn, int threadsIn, CopyWaiter& waiterIn)
    : copiers(copiersIn), threads(threadsIn), waiter(waiterIn) {}

bool CopyPipeline::Then(std::function<bool()> step) {
    return Add(std::move(step), false);
}

bool CopyPipeline::Finally(std::function<bool()> step) {
    return Add(std::move(step), true);
}

bool CopyPipeline::Add(std::function<bool()> step, bool always) {
    // Steps handed out before this one may bring the stop.
    const auto admitted = [&] { return !answered && (always || !Stopping()); };
    if (!admitted())
        return false;
    if (HandOutGathered())
        return true;
    if (!admitted())
        return false;
    if (steps.empty())
        return Run([&step](const CopyOutcome&) { return step(); }, {});
    steps.push_back(
        {nullptr, [step = std::move(step)](const CopyOutcome&) { return step(); }, always});
    return false;
}

bool CopyPipeline::HandOut(const std::shared_ptr<CopyJob>& job, After after) {
    if (Stopping())
        return false;
    if (HandOutGathered())
        return true;
    if (Stopping())
        return false;
    if (copiers == nullptr) {
        RunCopyJob(*job, [this, &job] {
            // Pause and Cancel stay answerable while a large file is copied.
            waiter.ShowCopyProgress(*job);
            waiter.Yield();
            return !waiter.StopRequested();
        });
        waiter.EndCopyProgress(job.get());
        return Run(after, job->outcome);
    }
    // Copied on a copier thread. A copy that replaces a file is named only when its turn
    // in the report comes; a new file is named at once, and its name is taken back if a
    // stop comes before its turn. Either way a stop leaves no trace of it in the target.
    job->deferName = job->targetMayExist;
    copiers->Submit(job);
    steps.push_back({job, std::move(after)});
    // A bounded number in flight keeps memory flat and the report moving. Past it, the
    // walk waits until half are done: one wake-up for many small files, not one each.
    return RunSteps(steps.size() > MaxInFlight ? MaxInFlight / 2 : MaxInFlight);
}

bool CopyPipeline::Drain() {
    const bool stop = HandOutGathered();
    return RunSteps(0) || stop;
}

bool CopyPipeline::Gather(const std::shared_ptr<const FolderHandle>& source,
                          const std::shared_ptr<const FolderHandle>& target, CompareItem item,
                          qint64 bytes, const Report& report, bool& stop) {
    stop = false;
    if (copiers == nullptr || Stopping())
        return false;
    if (!gathered) {
        gathered = std::make_shared<CopyJob>();
        gathered->compare = true;
        gathered->sourceFolder = source;
        gathered->targetFolder = target;
        gatheredReport = report;
    }
    gathered->batch.push_back(std::move(item));
    gathered->bytes += bytes;
    const size_t share = filesLeft / (static_cast<size_t>(threads) + 1);
    if (gathered->batch.size() >= std::clamp<size_t>(share, 1, GatherFiles) ||
        gathered->bytes >= GatherBytes)
        stop = HandOutGathered();
    return true;
}

bool CopyPipeline::HandOutGathered() {
    if (!gathered)
        return false;
    if (stopped) { // past a stop nothing is compared
        gathered.reset();
        return false;
    }
    const std::shared_ptr<CopyJob> job = std::move(gathered);
    gathered.reset();
    copiers->Submit(job);
    steps.push_back({job, [job, report = std::move(gatheredReport)](const CopyOutcome&) {
                         return report(*job);
                     }});
    return RunSteps(steps.size() > MaxInFlight ? MaxInFlight / 2 : MaxInFlight);
}

// Runs the steps whose copies are done, in order, waiting while more than keep are left.
bool CopyPipeline::RunSteps(size_t keep) {
    // Copies end about in the order handed out: wait for the last that must be done.
    if (steps.size() > keep) {
        for (auto step = steps.rbegin() + static_cast<std::ptrdiff_t>(keep); step != steps.rend();
             ++step)
            if (step->job) {
                Wait(*step->job, true);
                break;
            }
    }
    bool stop = false;
    while (!steps.empty()) {
        if (const std::shared_ptr<CopyJob>& job = steps.front().job;
            job && !Wait(*job, stopped || steps.size() > keep))
            break;
        const Step step = std::move(steps.front());
        steps.pop_front();
        waiter.EndCopyProgress(step.job.get());
        // Past a stop a finished copy is dropped unnamed: the serial engine never made it.
        stopped = Stopping();
        if (stopped) {
            if (copiers != nullptr)
                copiers->Cancel();
            if (step.job)
                TakeBackNewCopy(*step.job);
            if (!step.always || answered)
                continue;
        }
        if (step.job)
            NameCopy(step.job->outcome);
        stop = Run(step.after, step.job ? step.job->outcome : CopyOutcome{}) || stop;
    }
    return stop;
}

// A new file named ahead of a stop that falls before it: the name goes again.
void CopyPipeline::TakeBackNewCopy(const CopyJob& job) {
    if (!job.outcome.copied || !job.outcome.madeNew)
        return;
    if (job.targetFolder != nullptr)
        ::unlinkat(job.targetFolder->Descriptor(), job.targetName.constData(), 0);
    else
        ::unlink(EncodeName(job.targetPath).constData());
}

// Runs one step; a stop it brings (the user's answer, or Cancel pressed meanwhile) is the
// stop point: every step after it is dropped.
bool CopyPipeline::Run(const After& step, const CopyOutcome& outcome) {
    const bool stop = step(outcome);
    answered = answered || stop;
    stopped = stopped || stop || waiter.StopRequested();
    return stop;
}

// The window stays answerable while the walk waits; a Cancel reaches the copiers.
bool CopyPipeline::Wait(const CopyJob& job, bool block) {
    using namespace std::chrono_literals;
    if (!block)
        return copiers->WaitFor(job, 0ms);
    // Small comparisons still waiting are taken on here, a core's worth of work.
    while (!job.done && copiers->RunWaitingBatch())
        waiter.Yield();
    while (!copiers->WaitFor(job, 20ms)) {
        // The copy that holds the report back shows how far it has got.
        for (const Step& step : steps)
            if (step.job && !step.job->done) {
                waiter.ShowCopyProgress(*step.job);
                break;
            }
        waiter.Yield();
        if (waiter.StopRequested())
            copiers->Cancel();
    }
    return true;
}

} // namespace vnt
