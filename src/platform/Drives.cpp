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

// A mount table's path field: blanks and the like are written as octal escapes ("\040").
QString MountPath(const QByteArray& field) {
    QByteArray path;
    for (qsizetype i = 0; i < field.size(); ++i) {
        bool ok = false;
        const int code = field[i] == '\\' ? field.mid(i + 1, 3).toInt(&ok, 8) : 0;
        if (ok && i + 3 < field.size()) {
            path.append(static_cast<char>(code));
            i += 3;
        } else {
            path.append(field[i]);
        }
    }
    return QDir::cleanPath(DecodeName(path));
}

// The mount points of a table: the field at index (1 in fstab, 4 in mountinfo) of each line
// that is not a comment.
QStringList MountPoints(const QString& file, int index) {
    QStringList points;
    QFile table(file);
    if (!table.open(QIODevice::ReadOnly))
        return points;
    for (const QByteArray& line : table.readAll().split('\n')) {
        const QList<QByteArray> fields = line.simplified().split(' ');
        if (fields.size() > index && !fields[0].startsWith('#'))
            points.append(MountPath(fields[index]));
    }
    return points;
}

// path is at or below folder (both clean, absolute).
bool AtOrBelow(const QString& path, const QString& folder) {
    return path == folder || path.startsWith(WithSlash(folder));
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

bool BackupDiskAbsent(const QString& targetFolder, const QString& fstab) {
    if (!targetFolder.startsWith(u'/'))
        return false;
    const QString target = QDir::cleanPath(targetFolder);
    const QFileInfo info(target);
    if (info.exists() &&
        !(info.isDir() && QDir(target).isEmpty(QDir::AllEntries | QDir::NoDotAndDotDot |
                                               QDir::Hidden | QDir::System)))
        return false;
    const QStringList mounted = MountPoints(QStringLiteral("/proc/self/mountinfo"), 4);
    for (const QString& point : MountPoints(fstab, 1)) {
        if (point != QStringLiteral("/") && point.startsWith(u'/') && AtOrBelow(target, point) &&
            !mounted.contains(point))
            return true;
    }
    for (const char* removable : {"/media", "/run/media", "/mnt"}) {
        const QString root = QLatin1String(removable);
        if (!target.startsWith(root + u'/'))
            continue;
        for (const QString& point : mounted) {
            if (point.startsWith(root + u'/') && AtOrBelow(target, point))
                return false;
        }
        return true;
    }
    return false;
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
