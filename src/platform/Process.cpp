#include "platform/Process.h"

#include <csignal>
#include <fcntl.h>
#include <unistd.h>

namespace vnt {

void TakeClosedStandardDescriptors() {
    for (int descriptor = STDIN_FILENO; descriptor <= STDERR_FILENO; ++descriptor) {
        if (::fcntl(descriptor, F_GETFD) != -1)
            continue;
        // The lowest free number: this one, as the lower ones are taken by now.
        const int taken = ::open("/dev/null", descriptor == STDIN_FILENO ? O_WRONLY : O_RDONLY);
        if (taken != descriptor && taken != -1)
            ::close(taken);
    }
}

void IgnoreWriteSignals() {
    std::signal(SIGPIPE, SIG_IGN);
    std::signal(SIGXFSZ, SIG_IGN);
}

} // namespace vnt
