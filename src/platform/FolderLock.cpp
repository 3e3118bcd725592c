#include "platform/FolderLock.h"

#include "platform/Names.h"
#include "platform/Process.h"

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <fcntl.h>
#include <sys/file.h>
#include <thread>
#include <unistd.h>

namespace vnt {

namespace {

constexpr int DefaultWaitMilliseconds = 3000;
constexpr int RetryMilliseconds = 20;

} // namespace

void FolderLock::Release() {
    fd.reset(); // closing the last descriptor releases the lock
}

FolderLock::Outcome FolderLock::Take(const QString& folder, int waitMilliseconds) {
    Release();
    UniqueFd opened(
        ::open(EncodeName(folder).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC | O_NOCTTY));
    if (!opened)
        return Outcome::Unavailable;
    // Tried without blocking, again and again, so that the wait has an end.
    const auto deadline =
        std::chrono::steady_clock::now() + std::chrono::milliseconds(std::max(waitMilliseconds, 0));
    while (::flock(opened.get(), LOCK_EX | LOCK_NB) != 0) {
        if (errno == EINTR)
            continue;
        if (errno != EWOULDBLOCK)
            return Outcome::Unavailable;
        const auto now = std::chrono::steady_clock::now();
        if (now >= deadline)
            return Outcome::HeldElsewhere;
        if (InterruptionRequested())
            return Outcome::Stopped;
        std::this_thread::sleep_for(std::min<std::chrono::steady_clock::duration>(
            deadline - now, std::chrono::milliseconds(RetryMilliseconds)));
    }
    fd = std::move(opened);
    return Outcome::Taken;
}

int TargetLockWaitMilliseconds() {
    if (const char* text = std::getenv("VANTORO_LOCK_WAIT_MS"); text != nullptr && *text != '\0') {
        char* end = nullptr;
        const long milliseconds = std::strtol(text, &end, 10);
        if (*end == '\0' && milliseconds >= 0)
            return static_cast<int>(std::min(milliseconds, 3600L * 1000));
    }
    return DefaultWaitMilliseconds;
}

} // namespace vnt
