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
