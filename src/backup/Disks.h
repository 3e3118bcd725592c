#pragma once
// Free space of the disk that holds a path, and the text forms of disk sizes.

#include "platform/Drives.h"

#include <QString>

namespace vnt {

// The disk a backup into targetFolder last went to, and when that backup ended, kept in the
// user's state folder at the end of each backup that ran (RememberBackupDisk): a later run
// can tell that disk is away although a folder stands where it was mounted, and say when
// the last backup was. Nothing when none is known.
struct BackupDiskMemory {
    DiskPlace disk;
    qint64 lastBackupMs = 0; // since the epoch
    QString targetFolder;
};
BackupDiskMemory RememberedBackupDisk(const QString& targetFolder);
void RememberBackupDisk(const QString& targetFolder, qint64 endedMs);
// The name people know the target's disk by: the last name of the mount point its backups
// went to, or of the place removable disks are mounted (/media/USER/NAME, /mnt/NAME); empty
// when neither is known.
QString BackupDiskName(const QString& targetFolder);
// That mount point itself; empty when it is not known.
QString BackupDiskMountPoint(const QString& targetFolder);
// Where the disks of all remembered backups were mounted, "/" left out.
QStringList RememberedMountPoints();
// BackupDiskAbsent with all that is remembered.
bool BackupDiskAway(const QString& targetFolder);

// 0 and the free bytes available to the user and the total bytes; -1 when the disk
// cannot be queried or reports no size, leaving both outputs unchanged.
qint16 GetFreeDiskSpace(const QString& path, double& freeBytes, double& totalBytes);
// The same for the disk of a folder held open.
qint16 GetFreeDiskSpace(int folder, double& freeBytes, double& totalBytes);

// The free space as FormatDiskSize text with the lower-case word, or "" on failure.
QString GetDriveFreeSpaceText(const QString& path);

// "0 bytes", "1,023 bytes", "1.00 Kb", "1.00 Mb", "1.00 Gb"; "Bytes" when capitalised.
QString FormatDiskSize(double bytes, bool capitalised);

} // namespace vnt
