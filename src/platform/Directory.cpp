#include "platform/Directory.h"

#include "platform/Names.h"

#include <cerrno>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <memory>
#include <sys/stat.h>

namespace vnt {

namespace {

EntryKind KindOf(mode_t mode) {
    if (S_ISREG(mode))
        return EntryKind::File;
    if (S_ISDIR(mode))
        return EntryKind::Folder;
    return EntryKind::Other;
}

} // namespace

FileError ReadDirectory(const QString& folder,
                        const std::function<bool(const DirectoryEntry&)>& visit, bool decodeNames) {
    const QByteArray native = EncodeName(folder);
    std::unique_ptr<DIR, int (*)(DIR*)> dir(::opendir(native.constData()), &::closedir);
    if (!dir)
        return FileErrorFromErrno(errno);
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

} // namespace vnt
