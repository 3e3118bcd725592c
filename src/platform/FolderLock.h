#pragma once
// One Vantoro run per target folder. Two runs into one folder would race for the same
// files, and each run's removal of unfinished copies would take the other's copies in
// flight. The lock is an advisory flock on the folder itself, so it holds whatever path
// each run names the folder by, and it goes with the process however that ends.

#include "platform/UniqueFd.h"

#include <QString>

namespace vnt {

class FolderLock {
public:
    enum class Outcome {
        Taken,
        HeldElsewhere, // another run held it for the whole wait
        Unavailable,   // the folder cannot be opened or the file system has no such locks
        Stopped,       // the run was asked to stop while it waited (Process.h)
    };

    FolderLock() = default;
    FolderLock(const FolderLock&) = delete;
    FolderLock& operator=(const FolderLock&) = delete;

    // Takes the lock on folder, trying again for up to waitMilliseconds while another
    // process holds it. A lock taken before is released first.
    Outcome Take(const QString& folder, int waitMilliseconds);
    void Release();
    bool Held() const { return fd.valid(); }

private:
    UniqueFd fd;
};

// How long a run waits for another run to finish with its target: VANTORO_LOCK_WAIT_MS
// when it holds a number of milliseconds (0 or more), or else a few seconds.
int TargetLockWaitMilliseconds();

} // namespace vnt
