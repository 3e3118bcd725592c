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

// One small file a target, a line each: its disk's mount point (percent-encoded bytes) and
// identity, when its last backup ended (milliseconds since the epoch), the target itself.
QString RememberedDiskFile(const QString& targetFolder) {
    const QByteArray key =
        QCryptographicHash::hash(EncodeName(targetFolder), QCryptographicHash::Sha256).toHex();
    return RememberedDisksFolder() + QString::fromLatin1(key.left(32));
}

BackupDiskMemory ReadMemory(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    const QList<QByteArray> lines = file.read(16384).split('\n');
    BackupDiskMemory memory{{DecodeName(QByteArray::fromPercentEncoding(lines.value(0))),
                             QString::fromUtf8(lines.value(1))},
                            lines.value(2).toLongLong(),
                            DecodeName(QByteArray::fromPercentEncoding(lines.value(3)))};
    // Only a whole record counts: a damaged one says nothing.
    if (!memory.disk.mountPoint.startsWith(u'/') || memory.disk.identity.isEmpty())
        return {};
    return memory;
}

// Every record kept. A few hundred backups' worth; the folder is the program's own, but it is
// not trusted to be small.
QList<BackupDiskMemory> AllMemories() {
    constexpr int MostRead = 1000;
    QList<BackupDiskMemory> memories;
    const QDir folder(RememberedDisksFolder());
    const QStringList names = folder.entryList(QDir::Files, QDir::Name);
    for (qsizetype i = 0; i < names.size() && i < MostRead; ++i)
        if (const BackupDiskMemory memory = ReadMemory(folder.filePath(names[i]));
            memory.disk.Known())
            memories.append(memory);
    return memories;
}

} // namespace

BackupDiskMemory RememberedBackupDisk(const QString& targetFolder) {
    return ReadMemory(RememberedDiskFile(targetFolder));
}

QStringList RememberedMountPoints() {
    QStringList points;
    for (const BackupDiskMemory& memory : AllMemories())
        if (memory.disk.mountPoint != QStringLiteral("/") &&
            !points.contains(memory.disk.mountPoint))
            points.append(memory.disk.mountPoint);
    return points;
}

bool BackupDiskAway(const QString& targetFolder) {
    return BackupDiskAbsent(targetFolder, QStringLiteral("/etc/fstab"),
                            RememberedBackupDisk(targetFolder).disk, RememberedMountPoints());
}

void RememberBackupDisk(const QString& targetFolder, qint64 endedMs) {
    const DiskPlace place = DiskPlaceOf(targetFolder);
    const QString path = RememberedDiskFile(targetFolder);
    if (!place.Known() || !QDir().mkpath(QFileInfo(path).path()))
        return;
    QSaveFile file(path);
    if (file.open(QIODevice::WriteOnly)) {
        file.write(EncodeName(place.mountPoint).toPercentEncoding("/") + '\n' +
                   place.identity.toUtf8() + '\n' + QByteArray::number(endedMs) + '\n' +
                   EncodeName(targetFolder).toPercentEncoding("/") + '\n');
        file.commit();
    }
}

QString BackupDiskMountPoint(const QString& targetFolder) {
    const DiskPlace disk = RememberedBackupDisk(targetFolder).disk;
    if (disk.Known() && disk.mountPoint != QStringLiteral("/"))
        return disk.mountPoint;
    // Where removable disks are mounted: /media/USER/NAME, /run/media/USER/NAME, /mnt/NAME.
    const QStringList parts = QDir::cleanPath(targetFolder).split(u'/', Qt::SkipEmptyParts);
    qsizetype depth = 0;
    if (parts.size() >= 3 && parts[0] == u"media")
        depth = 3;
    else if (parts.size() >= 4 && parts[0] == u"run" && parts[1] == u"media")
        depth = 4;
    else if (parts.size() >= 2 && parts[0] == u"mnt")
        depth = 2;
    return depth == 0 ? QString() : u'/' + parts.mid(0, depth).join(u'/');
}

QString BackupDiskName(const QString& targetFolder) {
    return QFileInfo(BackupDiskMountPoint(targetFolder)).fileName();
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
