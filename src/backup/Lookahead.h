#pragma once
// Threads that list the next folders ahead of the walk, in the order the walk will visit
// them.

#include "backup/Listing.h"

#include <condition_variable>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <QString>
#include <QStringList>
#include <thread>
#include <vector>

namespace vnt {

// Lists folders ahead of the walk, depth first from the root, at most maxAhead listings
// ahead (memory stays bounded however large the tree), on two threads: one lists a folder
// and reads its files' facts, the next completes the listing (the target's facts) while
// the first goes on. Which subfolders come next is decided by the same function the walk
// uses, so the two orders agree.
class Lookahead {
public:
    // A lister calls counted with the folder's number of files as soon as it knows it,
    // before it reads their facts.
    using Counted = FolderLister::Counted;
    using Lister = std::function<FolderListing(const QString& folder, const Counted& counted)>;
    using Completer = std::function<void(FolderListing& listing)>;
    using Visits = std::function<QStringList(const FolderListing& listing)>;
    Lookahead(const QString& root, Lister list, Completer complete, Visits visits,
              size_t maxAhead = 16);
    ~Lookahead();
    Lookahead(const Lookahead&) = delete;
    Lookahead& operator=(const Lookahead&) = delete;

    // The listing of folder when it is the next one listed; otherwise nothing, and the
    // threads stop (the caller lists for itself from then on). While it waits, whileWaiting
    // runs every 20 ms, so that a slow disk does not freeze the window; it is given the
    // folder's number of files once that is known, else -1.
    std::optional<FolderListing> Take(const QString& folder,
                                      const std::function<void(qsizetype files)>& whileWaiting);
    // 0 when both threads run; else why one could not be started (an errno value), and
    // none runs.
    int StartError() const { return startError; }

private:
    void List(QString root);
    void Complete();
    void Stop();

    Lister list;
    Completer complete;
    Visits visits;
    const size_t maxAhead;
    std::mutex mutex;
    std::condition_variable changed;
    std::deque<FolderListing> listed; // waiting for the second thread
    std::deque<FolderListing> ready;  // waiting for the walk
    bool listingDone = false;         // nothing more will be listed
    bool finished = false;            // nothing more will be ready
    bool stopping = false;
    QString counting;           // the folder being listed, once its files are counted
    qsizetype countedFiles = 0; // and their number
    int startError = 0;
    std::thread lister;
    std::thread completer;
};

} // namespace vnt
