#pragma once
// Disks on Linux: a "drive" is the mounted file system that holds a path, and its "root"
// is that mount point with a trailing "/".

#include <QString>
#include <QStringList>

namespace vnt {

// The longest of mountRoots (mount points) that contains path by its text, with one
// trailing "/". Empty for a path that is not absolute.
QString RootPrefixIn(const QString& path, const QStringList& mountRoots);

// RootPrefixIn over the file systems mounted now.
QString RootPrefix(const QString& path);

// Bytes available to this user and total bytes of the file system holding path (or its
// nearest existing parent). False when that file system cannot be queried.
bool QueryDiskSpace(const QString& path, double& available, double& total);
// The same for the file system of a folder held open: no path to look up.
bool QueryDiskSpace(int folder, double& available, double& total);

// The file system a folder really lies on (links resolved): where it is mounted, and what
// tells it from every other file system (its UUID where the system names one, else its
// device number). Empty when the mount table cannot be read.
struct DiskPlace {
    QString mountPoint;
    QString identity;
    bool Known() const { return !mountPoint.isEmpty(); }
};
// mountinfo and byUuid: the tables read ("/proc/self/mountinfo", "/dev/disk/by-uuid").
DiskPlace DiskPlaceOf(const QString& folder,
                      const QString& mountinfo = QStringLiteral("/proc/self/mountinfo"),
                      const QString& byUuid = QStringLiteral("/dev/disk/by-uuid"));

// Whether the disk meant to hold a backup target is not connected, judged on where the
// target really is (links resolved):
// - fstab (the file, "/etc/fstab" on a system) names a mount point at the target or above
//   it that is not mounted now, and the target is missing or an empty folder;
// - or the target is missing below /media, /run/media or /mnt (where removable disks are
//   mounted) with no file system mounted on the way (those folders themselves count);
// - or the target is missing or an empty folder at or below one of learnedPoints (where the
//   disks of earlier backups were mounted) that is not mounted now, as for fstab;
// - or remembered, the disk the last backup into it went to, was mounted below where the
//   file system holding the target now is, and this one is another: the disk is away and
//   what stands at its mount point (an old copy, an empty folder) is on the disk above.
// Making the target or backing up into it then would put the backup on the wrong disk. An
// existing empty folder that none of this speaks of is a first backup, wherever it is.
bool BackupDiskAbsent(const QString& targetFolder, const QString& fstab,
                      const DiskPlace& remembered = {}, const QStringList& learnedPoints = {},
                      const QString& mountinfo = QStringLiteral("/proc/self/mountinfo"),
                      const QString& byUuid = QStringLiteral("/dev/disk/by-uuid"));

} // namespace vnt
