#pragma once
// One owner for each open file descriptor: it is closed once, when its owner lets go, and
// never twice. Closing keeps errno, so a failure can still be read after its descriptor went.

#include <cerrno>
#include <unistd.h>
#include <utility>

namespace vnt {

class UniqueFd {
public:
    UniqueFd() = default;
    explicit UniqueFd(int descriptor) noexcept : fd(descriptor) {}
    UniqueFd(UniqueFd&& other) noexcept : fd(other.release()) {}
    UniqueFd& operator=(UniqueFd&& other) noexcept {
        if (this != &other)
            reset(other.release());
        return *this;
    }
    UniqueFd(const UniqueFd&) = delete;
    UniqueFd& operator=(const UniqueFd&) = delete;
    ~UniqueFd() { reset(); }

    int get() const noexcept { return fd; }
    bool valid() const noexcept { return fd >= 0; }
    explicit operator bool() const noexcept { return valid(); }

    // Gives the descriptor up without closing it: its new owner closes it.
    int release() noexcept { return std::exchange(fd, -1); }
    // Closes the descriptor held, if any, and holds descriptor instead. Where the result of
    // the close matters (a file just written), close release() instead and read it.
    void reset(int descriptor = -1) noexcept {
        const int old = std::exchange(fd, descriptor);
        if (old >= 0) {
            const int error = errno;
            ::close(old);
            errno = error;
        }
    }

private:
    int fd = -1;
};

} // namespace vnt
