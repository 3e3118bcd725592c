#include "platform/Process.h"

#include "platform/UniqueFd.h"

#include <atomic>
#include <csignal>
#include <fcntl.h>
#include <unistd.h>

namespace vnt {

void TakeClosedStandardDescriptors() {
    for (int descriptor = STDIN_FILENO; descriptor <= STDERR_FILENO; ++descriptor) {
        if (::fcntl(descriptor, F_GETFD) != -1)
            continue;
        // The lowest free number: this one, as the lower ones are taken by now.
        UniqueFd taken(::open("/dev/null", descriptor == STDIN_FILENO ? O_WRONLY : O_RDONLY));
        if (taken.get() == descriptor)
            taken.release(); // it stands in for the standard descriptor from now on
    }
}

namespace {
std::atomic<bool> interruption{false};
static_assert(std::atomic<bool>::is_always_lock_free, "set from a signal handler");
} // namespace

void RequestInterruption() {
    interruption.store(true);
}

bool InterruptionRequested() {
    return interruption.load();
}

void ClearInterruption() {
    interruption.store(false);
}

void IgnoreWriteSignals() {
    std::signal(SIGPIPE, SIG_IGN);
    std::signal(SIGXFSZ, SIG_IGN);
}

} // namespace vnt
