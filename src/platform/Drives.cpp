#include "platform/Drives.h"

#include <QDir>
#include <QFileInfo>
#include <QStorageInfo>

namespace vnt {

namespace {

QString WithSlash(const QString& path) {
    return path.endsWith(u'/') ? path : path + u'/';
}

// A folder that is to be created does not exist yet; its disk is that of its parent.
QString NearestExistingPath(const QString& path) {
    QString candidate = QDir::cleanPath(path);
    while (!QFileInfo::exists(candidate)) {
        const QString parent = QFileInfo(candidate).path();
        if (parent == candidate)
            return {};
        candidate = parent;
    }
    return candidate;
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
    const QString existing = NearestExistingPath(path);
    if (existing.isEmpty())
        return false;
    const QStorageInfo storage(existing);
    if (!storage.isValid() || !storage.isReady())
        return false;
    available = static_cast<double>(storage.bytesAvailable());
    total = static_cast<double>(storage.bytesTotal());
    return available >= 0 && total >= 0;
}

} // namespace vnt
