#include "backup/Copiers.h"

#include "platform/Names.h"

#include <algorithm>
#include <cstdlib>
#include <fcntl.h>
#include <system_error>

namespace vnt {

int WalkThreads() {
    if (const char* text = std::getenv("VANTORO_THREADS"); text != nullptr && *text != '\0') {
        char* end = nullptr;
        const long count = std::strtol(text, &end, 10);
        if (*end == '\0' && count >= 1)
            return static_cast<int>(std::min(count, 16L));
    }
    const unsigned cores = std::thread::hardware_concurrency();
    return static_cast<int>(std::clamp(cores, 1U, 4U));
}

void RunCopyJob(CopyJob& job, const std::function<bool()>& continueCopy) {
    if (!job.batch.empty()) {
        for (CompareItem& item : job.batch) {
            item.compared.cancelled = continueCopy && !continueCopy();
            if (!item.compared.cancelled)
                item.compared =
                    CompareFiles(job.sourceFolder->Descriptor(), item.name,
                                 job.targetFolder->Descriptor(), item.name, {}, item.sizes);
        }
        return;
    }
    if (job.compare) {
        job.compared = job.sourceFolder != nullptr && job.targetFolder != nullptr
                           ? CompareFiles(job.sourceFolder->Descriptor(), job.sourceName,
                                          job.targetFolder->Descriptor(), job.targetName,
                                          continueCopy, job.listed)
                           : CompareFiles(AT_FDCWD, EncodeName(job.sourcePath), AT_FDCWD,
                                          EncodeName(job.targetPath), continueCopy, job.listed);
        job.outcome.cancelled = job.compared.cancelled;
        return;
    }
    job.bytesCopied = 0; // a copy tried again starts afresh
    const CopyProgressCounter progress(&job.bytesCopied);
    if (job.targetFolder == nullptr)
        job.outcome = CopySingleFile(job.sourcePath, job.targetPath, continueCopy,
                                     job.targetMayExist, job.keepReplacedAs, job.deferName);
    else if (job.sourceFolder == nullptr)
        job.outcome =
            CopySingleFile(job.sourcePath, *job.targetFolder, job.targetName, continueCopy,
                           job.targetMayExist, job.keepReplacedAs, job.deferName);
    else
        job.outcome =
            CopySingleFile(*job.sourceFolder, job.sourceName, *job.targetFolder, job.targetName,
                           continueCopy, job.targetMayExist, job.keepReplacedAs, job.deferName);
}

CopierPool::CopierPool(int count, const std::atomic<bool>& pausedIn, const QString& flushFolder)
    : paused(pausedIn) {
    // A thread that cannot start (a memory limit) is a result, not an abort: the walk then
    // copies on its own thread.
    try {
        if (!flushFolder.isEmpty()) {
            flush.emplace(flushFolder);
            flusher = std::thread(&CopierPool::Flush, this);
        }
        for (int i = 0; i < count; ++i)
            threads.emplace_back(&CopierPool::Run, this);
    } catch (const std::system_error& error) {
        startError = error.code().value();
        Quit();
    }
}

CopierPool::~CopierPool() {
    Quit();
}

void CopierPool::QuitAnswering(const std::function<void()>& answer) {
    {
        std::lock_guard lock(mutex);
        quitting = true;
        work.notify_all();
        flushing.notify_all();
    }
    while (flushBusy) {
        answer();
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    Quit();
}

void CopierPool::Quit() {
    {
        std::lock_guard lock(mutex);
        quitting = true;
        work.notify_all();
        flushing.notify_all();
    }
    for (std::thread& thread : threads)
        thread.join();
    threads.clear();
    if (flusher.joinable())
        flusher.join();
}

QString SerialEngineText(int startError) {
    return QStringLiteral("A thread could not be started (") +
           FileErrorFromErrno(startError).description +
           QStringLiteral("), so this run goes on with one thread.");
}

void CopierPool::Flush() {
    // Errors are left to the flush at the end: it reports every one since before the copies.
    std::unique_lock lock(mutex);
    while (true) {
        flushing.wait(lock, [&] { return quitting || flushWanted; });
        if (quitting)
            return;
        flushWanted = false;
        flushBusy = true;
        lock.unlock();
        (void)flush->Flush();
        lock.lock();
        flushBusy = false;
    }
}

void CopierPool::Submit(std::shared_ptr<CopyJob> job) {
    std::lock_guard lock(mutex);
    queue.push_back(std::move(job));
    if (idleCopiers > 0)
        work.notify_one();
}

bool CopierPool::WaitFor(const CopyJob& job, std::chrono::milliseconds time) {
    if (job.done || time.count() == 0)
        return job.done;
    std::unique_lock lock(mutex);
    awaited = &job;
    const bool finished = done.wait_for(lock, time, [&] { return job.done.load(); });
    awaited = nullptr;
    return finished;
}

// Between chunks: a pause holds the copy, a cancel abandons it.
bool CopierPool::GoOn() const {
    while (paused && !cancelled)
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    return !cancelled.load();
}

bool CopierPool::RunWaitingBatch() {
    std::shared_ptr<CopyJob> job;
    {
        std::lock_guard lock(mutex);
        if (paused || queue.empty() || queue.front()->batch.empty())
            return false;
        job = std::move(queue.front());
        queue.pop_front();
    }
    Finish(*job);
    return true;
}

void CopierPool::Run() {
    while (true) {
        std::shared_ptr<CopyJob> job;
        {
            std::unique_lock lock(mutex);
            ++idleCopiers;
            work.wait(lock, [&] { return quitting || !queue.empty(); });
            --idleCopiers;
            if (queue.empty())
                return;
            job = std::move(queue.front());
            queue.pop_front();
        }
        Finish(*job);
    }
}

void CopierPool::Finish(CopyJob& job) {
    const auto goOn = [this] { return GoOn(); };
    if (goOn()) {
        RunCopyJob(job, goOn);
    } else {
        job.outcome.cancelled = job.compared.cancelled = true;
        for (CompareItem& item : job.batch)
            item.compared.cancelled = true;
    }
    const bool flushNow = flush && (job.outcome.copied || job.outcome.unnamed) &&
                          unflushedBytes.fetch_add(job.bytes) + job.bytes >= FlushBytes;
    job.done = true; // from here on the walk reads the outcome
    if (awaited == &job || flushNow) {
        std::lock_guard lock(mutex);
        done.notify_all();
        if (flushNow) {
            unflushedBytes = 0;
            flushWanted = true;
            flushing.notify_one();
        }
    }
}

} // namespace vnt
