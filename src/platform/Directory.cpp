#include "platform/Directory.h"

#include "platform/Names.h"
#include "platform/UniqueFd.h"

#include <cerrno>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <memory>
#include <sys/stat.h>
#include <sys/vfs.h>
#include <unistd.h>

namespace vnt {

namespace {

EntryKind KindOf(mode_t mode) {
    if (S_ISREG(mode))
        return EntryKind::File;
    if (S_ISDIR(mode))
        return EntryKind::Folder;
    return EntryKind::Other;
}

using Dir = std::unique_ptr<DIR, int (*)(DIR*)>;

FileError ReadOpenDirectory(Dir dir, const std::function<bool(const DirectoryEntry&)>& visit,
                            bool decodeNames);

} // namespace

FileError ReadDirectory(const QString& folder,
                        const std::function<bool(const DirectoryEntry&)>& visit, bool decodeNames) {
    Dir dir(::opendir(EncodeName(folder).constData()), &::closedir);
    if (!dir)
        return FileErrorFromErrno(errno);
    return ReadOpenDirectory(std::move(dir), visit, decodeNames);
}

FileError ReadDirectoryAt(int folder, const std::function<bool(const DirectoryEntry&)>& visit,
                          bool decodeNames) {
    UniqueFd fd(::openat(folder, ".", O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (!fd)
        return FileErrorFromErrno(errno);
    Dir dir(::fdopendir(fd.get()), &::closedir);
    if (!dir)
        return FileErrorFromErrno(errno);
    fd.release(); // the listing closes it now
    return ReadOpenDirectory(std::move(dir), visit, decodeNames);
}

namespace {

FileError ReadOpenDirectory(Dir dir, const std::function<bool(const DirectoryEntry&)>& visit,
                            bool decodeNames) {
    const int fd = ::dirfd(dir.get());
    while (true) {
        errno = 0;
        const dirent* entry = ::readdir(dir.get());
        if (entry == nullptr) {
            if (errno != 0)
                return FileErrorFromErrno(errno);
            return {};
        }
        const char* name = entry->d_name;
        if ((name[0] == '.' && name[1] == '\0') ||
            (name[0] == '.' && name[1] == '.' && name[2] == '\0'))
            continue;
        DirectoryEntry item;
        if (decodeNames)
            item.name = DecodeName(name, static_cast<qsizetype>(std::strlen(name)));
        item.rawName = name;
        switch (entry->d_type) {
        case DT_REG:
            item.kind = EntryKind::File;
            break;
        case DT_DIR:
            item.kind = EntryKind::Folder;
            break;
        case DT_LNK:
        case DT_UNKNOWN: {
            struct stat st {};
            if (::fstatat(fd, name, &st, AT_SYMLINK_NOFOLLOW) == 0 && S_ISLNK(st.st_mode)) {
                item.isLink = true;
                item.kind =
                    ::fstatat(fd, name, &st, 0) == 0 ? KindOf(st.st_mode) : EntryKind::Other;
            } else if (entry->d_type == DT_UNKNOWN) {
                item.kind = KindOf(st.st_mode);
            }
            break;
        }
        default:
            item.kind = EntryKind::Other;
            break;
        }
        if (!visit(item))
            return {};
    }
}

} // namespace

bool KeepsChangeTimes(const QString& folder) {
    struct statfs fs {};
    if (::statfs(EncodeName(folder).constData(), &fs) != 0)
        return false;
    constexpr long Fuse = 0x65735546;
    constexpr long Fat = 0x4d44;
    constexpr long ExFat = 0x2011bab0;
    const long type = static_cast<long>(fs.f_type);
    return type != Fuse && type != Fat && type != ExFat;
}

} // namespace vnt
