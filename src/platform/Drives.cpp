#include "platform/Drives.h"

#include "platform/FoldersOnDisk.h"
#include "platform/Names.h"

#include <algorithm>
#include <cerrno>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStorageInfo>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <sys/sysmacros.h>

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

struct Mount {
    QString point;
    QByteArray device; // "major:minor"
};

QList<Mount> Mounts(const QString& mountinfo) {
    QList<Mount> mounts;
    QFile table(mountinfo);
    if (!table.open(QIODevice::ReadOnly))
        return mounts;
    for (const QByteArray& line : table.readAll().split('\n')) {
        const QList<QByteArray> fields = line.simplified().split(' ');
        if (fields.size() > 4)
            mounts.append({MountPath(fields[4]), fields[2]});
    }
    return mounts;
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

namespace {

// The mount that holds path (clean, real): the longest mount point above it, the last of
// equals (a mount over another hides it).
const Mount* MountHolding(const QString& path, const QList<Mount>& mounts) {
    const Mount* best = nullptr;
    for (const Mount& mount : mounts)
        if (AtOrBelow(path, mount.point) &&
            (best == nullptr || mount.point.size() >= best->point.size()))
            best = &mount;
    return best;
}

QString IdentityOf(const Mount& mount, const QString& byUuid) {
    const QList<QByteArray> numbers = mount.device.split(':');
    bool majorOk = false;
    bool minorOk = false;
    const unsigned major = numbers.value(0).toUInt(&majorOk);
    const unsigned minor = numbers.value(1).toUInt(&minorOk);
    if (majorOk && minorOk) {
        const QDir uuids(byUuid);
        for (const QString& name : uuids.entryList(QDir::AllEntries | QDir::System)) {
            struct stat st {};
            if (::stat(EncodeName(uuids.filePath(name)).constData(), &st) == 0 &&
                S_ISBLK(st.st_mode) && ::major(st.st_rdev) == major && ::minor(st.st_rdev) == minor)
                return QStringLiteral("UUID=") + name;
        }
    }
    return QStringLiteral("device ") + QString::fromLatin1(mount.device);
}

QString RealPath(const QString& path) {
    return QDir::cleanPath(RealFolder(path));
}

} // namespace

DiskPlace DiskPlaceOf(const QString& folder, const QString& mountinfo, const QString& byUuid) {
    const QList<Mount> mounts = Mounts(mountinfo);
    const Mount* holding = MountHolding(RealPath(folder), mounts);
    if (holding == nullptr)
        return {};
    return {holding->point, IdentityOf(*holding, byUuid)};
}

bool BackupDiskAbsent(const QString& targetFolder, const QString& fstab,
                      const DiskPlace& remembered, const QStringList& learnedPoints,
                      const QString& mountinfo, const QString& byUuid) {
    if (!targetFolder.startsWith(u'/'))
        return false;
    const QString target = RealPath(targetFolder);
    const QFileInfo info(target);
    const bool exists = info.exists();
    const bool empty =
        !exists || (info.isDir() && QDir(target).isEmpty(QDir::AllEntries | QDir::NoDotAndDotDot |
                                                         QDir::Hidden | QDir::System));
    const QList<Mount> mounts = Mounts(mountinfo);
    const auto mounted = [&mounts](const QString& point) {
        return std::any_of(mounts.cbegin(), mounts.cend(),
                           [&point](const Mount& mount) { return mount.point == point; });
    };
    if (empty) {
        for (const QString& listed : MountPoints(fstab, 1) + learnedPoints) {
            if (!listed.startsWith(u'/') || listed == QStringLiteral("/"))
                continue;
            const QString point = RealPath(listed);
            if (AtOrBelow(target, point) && !mounted(point) && !mounted(listed))
                return true;
        }
    }
    if (!exists) {
        for (const char* removable : {"/media", "/run/media", "/mnt"}) {
            const QString root = QLatin1String(removable);
            if (!target.startsWith(root + u'/'))
                continue;
            return std::none_of(mounts.cbegin(), mounts.cend(), [&](const Mount& mount) {
                return AtOrBelow(target, mount.point) && AtOrBelow(mount.point, root);
            });
        }
    }
    if (remembered.Known()) {
        const Mount* now = MountHolding(target, mounts);
        if (now != nullptr && now->point != remembered.mountPoint &&
            AtOrBelow(remembered.mountPoint, now->point) &&
            IdentityOf(*now, byUuid) != remembered.identity)
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
