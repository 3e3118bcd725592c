#include "backup/Disks.h"

#include "platform/DataFolder.h"
#include "platform/Drives.h"
#include "platform/Names.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFileInfo>
#include <QLocale>
#include <QSaveFile>

namespace vnt {

namespace {
template <typename Place>
qint16 FreeDiskSpace(const Place& place, double& freeBytes, double& totalBytes) {
    double available = 0;
    double total = 0;
    // A file system that reports no size at all (ramfs, some FUSE ones) says nothing about
    // its free space: unknown, not a full disk.
    if (!QueryDiskSpace(place, available, total) || total <= 0)
        return -1;
    freeBytes = available;
    totalBytes = total;
    return 0;
}
} // namespace

qint16 GetFreeDiskSpace(const QString& path, double& freeBytes, double& totalBytes) {
    return FreeDiskSpace(path, freeBytes, totalBytes);
}

qint16 GetFreeDiskSpace(int folder, double& freeBytes, double& totalBytes) {
    return FreeDiskSpace(folder, freeBytes, totalBytes);
}

namespace {
QString RememberedDisksFolder() {
    return StateFolder() + QStringLiteral("disks/");
}

// One small file a target: its mount point (percent-encoded bytes) and identity, a line each.
QString RememberedDiskFile(const QString& targetFolder) {
    const QByteArray key =
        QCryptographicHash::hash(EncodeName(targetFolder), QCryptographicHash::Sha256).toHex();
    return RememberedDisksFolder() + QString::fromLatin1(key.left(32));
}

DiskPlace ReadDiskPlace(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    const QList<QByteArray> lines = file.read(16384).split('\n');
    DiskPlace place{DecodeName(QByteArray::fromPercentEncoding(lines.value(0))),
                    QString::fromUtf8(lines.value(1))};
    // Only a whole record counts: a damaged one says nothing.
    if (!place.mountPoint.startsWith(u'/') || place.identity.isEmpty())
        return {};
    return place;
}

} // namespace

DiskPlace RememberedBackupDisk(const QString& targetFolder) {
    return ReadDiskPlace(RememberedDiskFile(targetFolder));
}

QStringList RememberedMountPoints() {
    // A few hundred backups' worth; the folder is the program's own, but it is not trusted
    // to be small.
    constexpr int MostRead = 1000;
    QStringList points;
    const QDir folder(RememberedDisksFolder());
    const QStringList names = folder.entryList(QDir::Files, QDir::Name);
    for (qsizetype i = 0; i < names.size() && i < MostRead; ++i) {
        const DiskPlace place = ReadDiskPlace(folder.filePath(names[i]));
        if (place.Known() && place.mountPoint != QStringLiteral("/") &&
            !points.contains(place.mountPoint))
            points.append(place.mountPoint);
    }
    return points;
}

bool BackupDiskAway(const QString& targetFolder) {
    return BackupDiskAbsent(targetFolder, QStringLiteral("/etc/fstab"),
                            RememberedBackupDisk(targetFolder), RememberedMountPoints());
}

void RememberBackupDisk(const QString& targetFolder) {
    const DiskPlace place = DiskPlaceOf(targetFolder);
    const QString path = RememberedDiskFile(targetFolder);
    if (!place.Known() || !QDir().mkpath(QFileInfo(path).path()))
        return;
    QSaveFile file(path);
    if (file.open(QIODevice::WriteOnly)) {
        file.write(EncodeName(place.mountPoint).toPercentEncoding("/") + '\n' +
                   place.identity.toUtf8() + '\n');
        file.commit();
    }
}

QString GetDriveFreeSpaceText(const QString& path) {
    double freeBytes = 0;
    double totalBytes = 0;
    if (GetFreeDiskSpace(path, freeBytes, totalBytes) != 0)
        return {};
    return FormatDiskSize(freeBytes, false);
}

QString FormatDiskSize(double bytes, bool capitalised) {
    const QString word = capitalised ? QStringLiteral("Bytes") : QStringLiteral("bytes");
    const QLocale locale;
    if (bytes == 0)
        return QStringLiteral("0 ") + word;
    if (bytes < 1024.0)
        return locale.toString(bytes, 'f', 0) + u' ' + word;
    if (bytes < 1048576.0)
        return locale.toString(bytes / 1024.0, 'f', 2) + QStringLiteral(" Kb");
    if (bytes < 1073741824.0)
        return locale.toString(bytes / 1048576.0, 'f', 2) + QStringLiteral(" Mb");
    return locale.toString(bytes / 1073741824.0, 'f', 2) + QStringLiteral(" Gb");
}

} // namespace vnt
