#include "backup/Disks.h"

#include "platform/Drives.h"

#include <QLocale>

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
