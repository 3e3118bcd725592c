#include "backup/Lookahead.h"

#include <chrono>
#include <system_error>

namespace vnt {

Lookahead::Lookahead(const QString& root, Lister listIn, Completer completeIn, Visits visitsIn,
                     size_t maxAheadIn)
    : list(std::move(listIn)), complete(std::move(completeIn)), visits(std::move(visitsIn)),
      maxAhead(std::max<size_t>(1, maxAheadIn)) {
    // A thread that cannot start (a memory limit) is a result, not an abort: the walk then
    // lists for itself.
    try {
        lister = std::thread(&Lookahead::List, this, root);
        completer = std::thread(&Lookahead::Complete, this);
    } catch (const std::system_error& error) {
        startError = error.code().value();
        Stop();
        if (lister.joinable())
            lister.join();
    }
}

Lookahead::~Lookahead() {
    Stop();
    if (lister.joinable())
        lister.join();
    if (completer.joinable())
        completer.join();
}

void Lookahead::Stop() {
    std::lock_guard lock(mutex);
    stopping = true;
    listed.clear();
    ready.clear();
    changed.notify_all();
}

void Lookahead::List(QString root) {
    // Depth first, children in listing order: the walk's own order.
    std::vector<QString> pending{std::move(root)};
    while (!pending.empty()) {
        {
            std::unique_lock lock(mutex);
            changed.wait(lock, [&] { return stopping || listed.size() + ready.size() < maxAhead; });
            if (stopping)
                break;
        }
        const QString folder = std::move(pending.back());
        pending.pop_back();
        FolderListing listing = list(folder, [this, &folder](qsizetype files) {
            std::lock_guard lock(mutex);
            counting = folder;
            countedFiles = files;
        });
        const QStringList next = visits(listing);
        for (auto it = next.crbegin(); it != next.crend(); ++it)
            pending.push_back(*it);
        std::lock_guard lock(mutex);
        if (stopping)
            break;
        listed.push_back(std::move(listing));
        changed.notify_all();
    }
    std::lock_guard lock(mutex);
    listingDone = true;
    changed.notify_all();
}

void Lookahead::Complete() {
    while (true) {
        FolderListing listing;
        {
            std::unique_lock lock(mutex);
            changed.wait(lock, [&] { return stopping || listingDone || !listed.empty(); });
            if (stopping || listed.empty())
                break;
            listing = std::move(listed.front());
            listed.pop_front();
        }
        complete(listing);
        std::lock_guard lock(mutex);
        if (stopping)
            break;
        ready.push_back(std::move(listing));
        changed.notify_all();
    }
    std::lock_guard lock(mutex);
    finished = true;
    changed.notify_all();
}

std::optional<FolderListing>
Lookahead::Take(const QString& folder, const std::function<void(qsizetype files)>& whileWaiting) {
    std::unique_lock lock(mutex);
    while (!changed.wait_for(lock, std::chrono::milliseconds(20),
                             [&] { return stopping || finished || !ready.empty(); })) {
        qsizetype files = -1;
        if (!listed.empty() && listed.front().folder == folder)
            files = static_cast<qsizetype>(listed.front().files.size());
        else if (listed.empty() && counting == folder)
            files = countedFiles;
        lock.unlock();
        whileWaiting(files);
        lock.lock();
    }
    if (!ready.empty() && ready.front().folder == folder) {
        FolderListing listing = std::move(ready.front());
        ready.pop_front();
        changed.notify_all();
        return listing;
    }
    // Out of step (the walk went elsewhere): listing ahead is of no use any more.
    lock.unlock();
    Stop();
    return std::nullopt;
}

} // namespace vnt
