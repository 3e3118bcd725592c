#pragma once
// Free space of the disk that holds a path, and the text forms of disk sizes.

#include <QString>

namespace vnt {

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
