#pragma once
// Folder path utilities. An accepted folder path ends with exactly one "/"; the "root" of a
// path is the mount point that holds it (see platform/Drives.h).

#include <QString>

namespace vnt {

// The path with "/" appended unless it is empty or already ends with one.
QString WithTrailingBackslash(const QString& path);

// True when path lies in folder (both compared with a trailing "/"); an equal path counts
// unless strict.
bool IsWithinFolder(const QString& path, const QString& folder, bool strict);

// The (n+1)-th folder name from the end of the path below its root (n = 0: the last one).
// Empty when there are only n names; empty and tooFew set when there are fewer.
QString PathPartFromEnd(const QString& path, int n, bool& tooFew);
QString PathPartFromEnd(const QString& path, int n);

// True when the path below its root begins with a recycle-bin name, in any letter case.
bool IsRecycleBin(const QString& path);

// True, with the name to report, for a recycle bin or a path that begins below its root
// with a system folder name; also for proc, sys, dev and run directly under "/".
bool IsSystemFolder(const QString& path, QString& reportedName);

// The same rules with the root prefix given, for callers that know it already.
bool IsRecycleBinUnder(const QString& path, const QString& rootPrefix);
bool IsSystemFolderUnder(const QString& path, const QString& rootPrefix, QString& reportedName);

} // namespace vnt
