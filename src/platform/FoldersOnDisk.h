#pragma once
// Folders as the disk has them: whether they exist, where they really are, making them, the
// write test, and the trash and system folders a backup leaves out. An accepted folder path
// ends with exactly one "/"; the "root" of a path is the mount point that holds it (see
// platform/Drives.h).

#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringList>

namespace vnt {

// The path with "/" appended unless it is empty or already ends with one.
QString WithTrailingBackslash(const QString& path);

// True for a trash folder at a mount root: below its root the path begins with a Windows
// recycle-bin name (any letter case) on a file system Windows writes, or its first name is
// Linux's ".Trash", ".Trash-<uid>" or "lost+found" on any file system.
bool IsRecycleBin(const QString& path);
// The same for the first name below a mount root; wholeName compares the Windows names
// whole instead of as the beginning of the name.
bool IsTrashFolderName(const QString& firstName, bool windowsFileSystem, bool wholeName);
// File systems Windows writes, by the type the mount table gives: only there are its
// recycle-bin names what they say.
bool IsWindowsFileSystem(const QByteArray& type);

// True, with the name to report, for a recycle bin or a path that begins below its root
// with a system folder name; also for proc, sys, dev and run directly under "/".
bool IsSystemFolder(const QString& path, QString& reportedName);

// The same rules with the root prefix given, for callers that know it already.
bool IsRecycleBinUnder(const QString& path, const QString& rootPrefix);
bool IsSystemFolderUnder(const QString& path, const QString& rootPrefix, QString& reportedName);

// True when the path, blanks trimmed at both ends, names an existing folder.
bool FolderExists(const QString& path);

// True when the path is the root of its disk (a mount point).
bool IsDriveRoot(const QString& path);

// The per-user application-data folder (~/.local/share), without a trailing "/".
QString SpecialFolderPath();
// The per-user data folder, then subfolder (created when missing), then the file name.
QString AppDataFilePath(const QString& fileName, const QString& subfolder);

// Creates one folder; false on any failure.
bool CreateFolder(const QString& path);
// Creates every missing level of the path below its root, with mode (less the umask); true
// when all levels exist.
bool CreateFolderPath(const QString& path, unsigned mode = 0777);
// The permission bits of a folder made to hold copies of the folder given: no wider than it
// (a private folder keeps its files private), and the owner's rwx to fill it.
unsigned CopyFolderMode(const QString& folder);

// Writes, then deletes, a small scratch file in the folder. True, with the system's
// description, when that fails. A file of the scratch name that is already there is left
// alone: the test then uses a name of its own.
bool WriteTestFails(const QString& folder, QString& errorText, int* errorNumber = nullptr);

// Whether a failed write test is the target's protection (permissions, a disk mounted
// read-only, a folder that takes no files), not a full disk or a failing one.
bool IsWriteProtection(int errorNumber);

// Whether the file system holding the path is mounted read-only.
bool IsOnReadOnlyDisk(const QString& path);

// A folder as the Setup holds it: absolute, "." and ".." resolved, exactly one trailing
// "/". An empty text stays empty: it is no folder, never the current one.
QString NormaliseFolder(const QString& text);

// Where a folder really is: every link resolved. For a path that does not exist (yet), its
// nearest existing ancestor is resolved and the rest appended. Ends with "/".
QString RealFolder(const QString& path);

// What a path leads to (links followed): device and inode, unknown when it cannot be read.
struct FolderIdentity {
    bool known = false;
    quint64 device = 0;
    quint64 inode = 0;
    bool operator==(const FolderIdentity& other) const {
        return known && other.known && device == other.device && inode == other.inode;
    }
};
FolderIdentity IdentityOf(const QString& path);

// Folders compared by what they are, not by how they are spelled: links resolved, and
// device and inode where both exist.
bool SameFolder(const QString& a, const QString& b);
// True when inner is outer or lies anywhere below it.
bool FolderHolds(const QString& outer, const QString& inner);

// Opens each name below folder for reading, the folder looked up once, so that a long list
// costs the length of its names only. Per name: 0 and the folder's identity when it is a
// folder that can be read, else the error number (ENOENT, ENOTDIR, EACCES...). An empty
// name is the folder itself.
struct SubfolderState {
    int error = 0;
    FolderIdentity identity;
};
QList<SubfolderState> OpenSubfolders(const QString& folder, const QStringList& names);

// True when a file (not a folder) exists at the path.
bool FileExistsAt(const QString& path);

} // namespace vnt
