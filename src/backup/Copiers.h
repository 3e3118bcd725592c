#pragma once
// Copier threads: the walk decides which files to copy (or compare), in order; these do it.

#include "platform/FileCopy.h"

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <thread>
#include <vector>

namespace vnt {

// How many threads the walk uses: VANTORO_THREADS when set (1 is the serial engine),
// else the cores available, at most 4.
int WalkThreads();

// One of the small files compared in a single job.
struct CompareItem {
    QByteArray name; // in both folders
    QString path;    // the source's, for the report
    ListedSizes sizes;
    CompareOutcome compared;
};

struct CopyJob {
    // Open folders (held open while the job may use them) and names, or (null) whole paths.
    std::shared_ptr<const FolderHandle> sourceFolder;
    std::shared_ptr<const FolderHandle> targetFolder;
    QByteArray sourceName;
    QByteArray targetName;
    QString sourcePath;
    QString targetPath;
    bool targetMayExist = true;
    qint64 bytes = 0;          // the source's size, for the flush in the background
    KeepAs keepReplacedAs; // where a replaced copy is kept; no name: not kept
    std::shared_ptr<const FolderHandle> keepFolder; // held open while the job may use it
    bool compare = false;      // compares the two files instead of copying
    ListedSizes listed;        // their sizes as listed
    // Or compares these, one after the other, between the two open folders: many small
    // files cost one hand-over and one wake-up.
    std::vector<CompareItem> batch;
    bool deferName = false;    // the copy is left for NameCopy (see CopyOutcome)
    CopyOutcome outcome;
    CompareOutcome compared;
    std::atomic<bool> done{false};
    std::atomic<qint64> bytesCopied{0}; // so far, while the copy runs on its thread
};

class CopierPool {
public:
    // paused holds a copy between chunks while it is true. With a flush folder, the target's
    // file system is flushed in the background every FlushBytes copied, so that the flush
    // at the end of the backup finds little left to write.
    CopierPool(int threads, const std::atomic<bool>& paused, const QString& flushFolder = {});
    ~CopierPool();
    CopierPool(const CopierPool&) = delete;
    CopierPool& operator=(const CopierPool&) = delete;

    void Submit(std::shared_ptr<CopyJob> job);
    // True when the job is done, after waiting at most the given time.
    bool WaitFor(const CopyJob& job, std::chrono::milliseconds time);
    // Runs the next job waiting, on the calling thread, when it is a batch of small
    // comparisons (milliseconds at most); false when there is none. A walk that waits for
    // the copiers so works with them instead of leaving a core idle.
    bool RunWaitingBatch();
    // Copies under way are abandoned between chunks; those not begun are not begun.
    void Cancel() { cancelled = true; }
    // Ends the threads; while a flush in the background finishes, answer runs now and then
    // (a window stays answerable).
    void QuitAnswering(const std::function<void()>& answer);
    // 0 when every thread runs; else why one could not be started (an errno value), and
    // none runs: the jobs must then be run by the caller.
    int StartError() const { return startError; }

    static constexpr qint64 FlushBytes = 64 * 1024 * 1024;

private:
    void Run();
    bool GoOn() const;
    void Finish(CopyJob& job);
    void Flush();
    void Quit();

    const std::atomic<bool>& paused;
    std::atomic<bool> cancelled{false};
    int startError = 0;
    std::mutex mutex;
    std::condition_variable work;
    std::condition_variable done;
    std::deque<std::shared_ptr<CopyJob>> queue;
    bool quitting = false;
    std::optional<FileSystemFlush> flush;
    std::atomic<qint64> unflushedBytes{0};
    bool flushWanted = false;
    std::atomic<bool> flushBusy{false};
    std::condition_variable flushing;
    std::thread flusher;
    // Small files take microseconds: a thread is woken only when somebody sleeps.
    int idleCopiers = 0;
    std::atomic<const CopyJob*> awaited{nullptr}; // the job the walk waits for
    std::vector<std::thread> threads;
};

// The line that says a run goes on as the serial engine, after threads failed to start.
QString SerialEngineText(int startError);

// Runs one job on the calling thread; continueCopy as for CopySingleFile.
void RunCopyJob(CopyJob& job, const std::function<bool()>& continueCopy);

} // namespace vnt
