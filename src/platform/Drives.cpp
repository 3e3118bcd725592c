#include "platform/Drives.h"

#include "platform/Names.h"

#include <cerrno>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStorageInfo>
#include <sys/statvfs.h>

namespace vnt {

namespace {

QString WithSlash(const QString& path) {
    return path.endsWith(u'/') ? path : path + u'/';
}

} // namespace

QString RootPrefixIn(const QString& path, const QStringList& mountRoots) {
    if (!path.startsWith(u'/'))
        return {};
    const QString full = WithSlash(path);
    QString best = QStringLiteral("/");
    for (const QString& root : mountRoots) {
        const QString candidate = WithSlash(root);
        if (candidate.size() > best.size() && full.startsWith(candidate))
            best = candidate;
    }
    return best;
}

QString RootPrefix(const QString& path) {
    if (!path.startsWith(u'/'))
        return {};
    QStringList roots;
    for (const QStorageInfo& volume : QStorageInfo::mountedVolumes())
        roots.append(volume.rootPath());
    return RootPrefixIn(path, roots);
}

bool QueryDiskSpace(const QString& path, double& available, double& total) {
    if (!path.startsWith(u'/'))
        return false;
    // statvfs directly: the walk asks before every new file, and QStorageInfo would read
    // the mount table each time.
    QString existing = QDir::cleanPath(path);
    struct statvfs fs {};
    while (::statvfs(EncodeName(existing).constData(), &fs) != 0) {
        // A folder not made yet, or too deep to name in one path, is on its parent's disk.
        if (errno != ENOENT && errno != ENOTDIR && errno != ENAMETOOLONG)
            return false;
        const QString parent = QFileInfo(existing).path();
        if (parent == existing)
            return false;
        existing = parent;
    }
    available = static_cast<double>(fs.f_bavail) * static_cast<double>(fs.f_frsize);
    total = static_cast<double>(fs.f_blocks) * static_cast<double>(fs.f_frsize);
    return true;
}

bool QueryDiskSpace(int folder, double& available, double& total) {
    struct statvfs fs {};
    if (::fstatvfs(folder, &fs) != 0)
        return false;
    available = static_cast<double>(fs.f_bavail) * static_cast<double>(fs.f_frsize);
    total = static_cast<double>(fs.f_blocks) * static_cast<double>(fs.f_frsize);
    return true;
}

} // namespace vnt
