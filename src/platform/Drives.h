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

} // namespace vnt
