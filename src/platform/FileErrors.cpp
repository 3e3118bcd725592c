#include "platform/FileErrors.h"

#include <cerrno>
#include <cstring>

namespace vnt {

FileError FileErrorFromErrno(int errnoValue) {
    FileError error;
    switch (errnoValue) {
    case 0:
        return error;
    case EACCES:
    case EPERM:
        error.number = ErrorNumber::PermissionDenied;
        break;
    case ENOENT:
    case ENOTDIR:
        error.number = ErrorNumber::PathNotFound;
        break;
    case EILSEQ:
    case ENAMETOOLONG:
    case EINVAL:
        error.number = ErrorNumber::BadFileName;
        break;
    default:
        error.number = ErrorNumber::Other;
        break;
    }
    error.description = QString::fromLocal8Bit(std::strerror(errnoValue));
    return error;
}

} // namespace vnt

#include "platform/Names.h"
#include "platform/UniqueFd.h"

#include <fcntl.h>
#include <unistd.h>

namespace vnt {

FileError ReadWholeFile(const QString& path, QByteArray& bytes) {
    bytes.clear();
    const UniqueFd fd(::open(EncodeName(path).constData(), O_RDONLY | O_CLOEXEC));
    if (!fd)
        return FileErrorFromErrno(errno);
    QByteArray data;
    char chunk[65536];
    while (true) {
        const ssize_t n = ::read(fd.get(), chunk, sizeof chunk);
        if (n < 0) {
            if (errno == EINTR)
                continue;
            return FileErrorFromErrno(errno);
        }
        if (n == 0)
            break;
        data.append(chunk, n);
    }
    bytes = std::move(data);
    return {};
}

} // namespace vnt
