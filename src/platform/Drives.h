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

// Whether the disk meant to hold a backup target is not connected. Only a target that is
// missing or an empty folder can be on a disk that is not there:
// - fstab (the file, "/etc/fstab" on a system) names a mount point at the target or above
//   it that is not mounted now;
// - or the target lies below /media/, /run/media/ or /mnt/ (where removable disks are
//   mounted) with no file system mounted on the way.
// Making the target then would put the backup on the disk that holds the mount point.
bool BackupDiskAbsent(const QString& targetFolder, const QString& fstab);

} // namespace vnt
