#pragma once
// Copier threads: the walk decides which files to copy, in order; these copy them.

#include "platform/FileCopy.h"

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <deque>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

namespace vnt {

// How many threads the walk uses: VANTORO_THREADS when set (1 is the serial engine),
// else the cores available, at most 4.
int WalkThreads();

struct CopyJob {
    // Open folders and names, or (handles null) whole paths.
    const FolderHandle* sourceFolder = nullptr;
    const FolderHandle* targetFolder = nullptr;
    QByteArray sourceName;
    QByteArray targetName;
    QString sourcePath;
    QString targetPath;
    bool targetMayExist = true;
    CopyOutcome outcome;
    std::atomic<bool> done{false};
};

class CopierPool {
public:
    // paused holds a copy between chunks while it is true.
    CopierPool(int threads, const std::atomic<bool>& paused);
    ~CopierPool();
    CopierPool(const CopierPool&) = delete;
    CopierPool& operator=(const CopierPool&) = delete;

    void Submit(std::shared_ptr<CopyJob> job);
    // True when the job is done, after waiting at most the given time.
    bool WaitFor(const CopyJob& job, std::chrono::milliseconds time);
    // Copies under way are abandoned between chunks; those not begun are not begun.
    void Cancel() { cancelled = true; }

private:
    void Run();

    const std::atomic<bool>& paused;
    std::atomic<bool> cancelled{false};
    std::mutex mutex;
    std::condition_variable work;
    std::condition_variable done;
    std::deque<std::shared_ptr<CopyJob>> queue;
    bool quitting = false;
    // Small files take microseconds: a thread is woken only when somebody sleeps.
    int idleCopiers = 0;
    std::atomic<bool> walkWaiting{false};
    std::vector<std::thread> threads;
};

// Runs one job on the calling thread; continueCopy as for CopySingleFile.
void RunCopyJob(CopyJob& job, const std::function<bool()>& continueCopy);

} // namespace vnt
