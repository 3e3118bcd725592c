#pragma once
// Reading file facts and copying a file so that the old copy survives any failure.

#include "platform/FileErrors.h"
#include "platform/UniqueFd.h"

#include <atomic>
#include <deque>
#include <fcntl.h>
#include <functional>
#include <memory>
#include <mutex>
#include <QList>
#include <QString>

namespace vnt {

struct FileFacts {
    bool exists = false;
    bool regular = false; // a regular file, or a link to one
    bool directory = false;
    qint64 size = 0;
    qint64 allocated = -1; // bytes its blocks take on the disk; -1 when not known
    qint64 mtimeSeconds = 0;
    long mtimeNanoseconds = 0; // past mtimeSeconds
    qint64 ctimeNanoseconds = 0; // the inode's last change: any write or new copy moves it
    unsigned mode = 0;           // permission bits
    int systemError = 0;         // errno when it could not be read (exists is then false)
    bool link = false;           // read without following: a symbolic link (exists is false)
    // Why it could not be read, in words: built only when somebody reads it, since most
    // targets that are not there are simply new.
    FileError Error() const { return FileErrorFromErrno(systemError); }
    // What its copy takes on a disk: the holes of a sparse file take nothing, and a copy
    // keeps them.
    qint64 SpaceTaken() const { return allocated >= 0 && allocated < size ? allocated : size; }
};

// Facts of what the path leads to; with followLinks false, of the entry itself: a link
// there counts as no file (a copy in the target is a real file, never what a link shows).
FileFacts ReadFileFacts(const QString& path, bool followLinks = true);
// A folder held open so that its files are looked up by name alone: no path to convert,
// no path to walk again for every file. Missing when the folder does not exist.
class FolderHandle {
public:
    explicit FolderHandle(const QString& folder);
    // Takes over an open folder descriptor.
    static std::unique_ptr<FolderHandle> Adopt(int descriptor);
    // None open, for the reason given (missing when that is ENOENT or ENOTDIR).
    static std::unique_ptr<FolderHandle> Absent(int error);
    FolderHandle(const FolderHandle&) = delete;
    FolderHandle& operator=(const FolderHandle&) = delete;
    bool IsOpen() const { return fd.valid(); }
    int Descriptor() const { return fd.get(); }
    bool Missing() const { return missing; }
    // Facts of a name in the folder, as ReadFileFacts gives them.
    FileFacts Facts(const QByteArray& name, bool followLinks = true) const;

private:
    FolderHandle() = default;
    UniqueFd fd;
    bool missing = false;
};

// Where an open folder really is (links resolved), ending in a slash; empty when the
// system cannot say.
QString RealFolderOf(const FolderHandle& folder);

// Folders below an open folder (the root), each opened one name at a time and, with
// create, made where missing. A link met on the way is followed only once the place it
// leads to is known and is in the target folder; else nothing is opened or made there and
// leadsTo names that place. So a link, swapped in at any moment, can lead no write out of
// the target, and above all none into the source. (Both real folders end in a slash.) With
// realTarget empty no link is followed at all, as in the source.
// Each folder is opened from the nearest of the folders opened last (its parent, mostly),
// so a folder thousands of levels deep costs one step, not thousands. Safe to share
// between threads.
struct OpenedFolder {
    std::unique_ptr<FolderHandle> handle; // null when it could not be opened
    int error = 0;
    QString leadsTo;         // where a link refused leads
    bool intoSource = false; // and that place is in the source
};
class FolderOpener {
public:
    FolderOpener(std::unique_ptr<FolderHandle> root, bool create, QString realSource,
                 QString realTarget);
    FolderOpener(const FolderOpener&) = delete;
    FolderOpener& operator=(const FolderOpener&) = delete;
    bool IsOpen() const { return root && root->IsOpen(); }
    OpenedFolder Open(const QString& relative);
    // Whether the root can still be read: after an error that a disk pulled out gives
    // (EIO, ENOTCONN, ECONNABORTED, ENODEV, ENXIO), false when it is gone.
    bool RootReadable();
    // The permission bits of a folder made (its path below the root, with a final slash):
    // no wider than the folder it copies. Unset: the owner's alone.
    std::function<unsigned(const QByteArray& relative)> folderMode;

private:
    std::mutex mutex;
    std::unique_ptr<FolderHandle> root;
    const bool create;
    const QString realSource;
    const QString realTarget;
    std::deque<std::pair<QByteArray, UniqueFd>> recent; // relative path with a final slash, folder
};

// Where a copy that is replaced is kept: a name in an open folder, or with AT_FDCWD a path.
struct KeepAs {
    int folder = AT_FDCWD;
    QByteArray name;
    KeepAs() = default;
    KeepAs(const QByteArray& path) : name(path) {} // NOLINT: a path is a place to keep
    KeepAs(int folderIn, const QByteArray& nameIn) : folder(folderIn), name(nameIn) {}
};

// The file's size in bytes, or the negated error number when it cannot be read. 64 bits:
// a file over 2 GB counts its whole size.
qint64 FileSizeOrError(const QString& path);

// Copies source to target through a temporary file in the target's folder that is renamed
// over the target only when complete, with the source's modification time (nanoseconds)
// and permission bits (plus write permission for the owner; set-user-ID and set-group-ID
// only when the copy has the source's owner), its access list and its user's extended
// attributes, and its holes. Between chunks of data continueCopy runs;
// when it returns false the copy is abandoned. A source that changes while it is copied
// is not installed, and a target that is the source file itself is never replaced. On any
// failure or cancellation the temporary file is removed and the old target stays as it was.
struct UnnamedCopy;

// While one lives, the copies made on its thread add the bytes of data they have written to
// counter (null: to none), which another thread may read to show how far a large copy has
// got.
class CopyProgressCounter {
public:
    explicit CopyProgressCounter(std::atomic<qint64>* counter);
    ~CopyProgressCounter();
    CopyProgressCounter(const CopyProgressCounter&) = delete;
    CopyProgressCounter& operator=(const CopyProgressCounter&) = delete;

private:
    std::atomic<qint64>* previous;
};

// Which side of a copy a failure was met on: reading the source, or making, writing,
// naming or keeping the copy in the target.
enum class CopySide { None, Source, Target };

struct CopyOutcome {
    bool copied = false;
    bool cancelled = false;
    bool changed = false;    // the source changed while it was copied
    bool sameFile = false;   // the target is the source file itself
    bool kept = false;       // the copy it replaced was kept (see keepReplacedAs)
    bool keepFailed = false; // it could not be kept, so it was not replaced
    // The file grew while it was copied, its first bytes unchanged: the copy holds it as it
    // was at this time (seconds since the epoch); -1 otherwise.
    qint64 grewSince = -1;
    int systemError = 0;     // errno of a failure, 0 otherwise
    CopySide failedSide = CopySide::None;
    FileError error; // systemError in words
    // With deferName, a complete copy not named yet (copied is then false): NameCopy names
    // it; dropped unnamed, it leaves nothing behind.
    std::shared_ptr<UnnamedCopy> unnamed;
    // Named where no file stood: removing that name puts the target back as it was.
    bool madeNew = false;
    // The target's file system holds no access list: the copy's mode grants its group and
    // others no more than the source's list granted anybody among them.
    bool accessListDropped = false;
    // The disk refused the copy's permission bits (a disk formatted for Windows): the copy
    // has what the disk shows; or only its set-user-ID and set-group-ID bits, and has the rest.
    bool modeNotKept = false;
    bool setIdDropped = false;
};
// Names a copy made with deferName, replacing (and keeping) what stands there as the copy
// would have; the outcome then says copied, or why not.
void NameCopy(CopyOutcome& outcome);
// targetMayExist false (the caller has just seen no file there) spares the look at what
// stands at the target's path. With keepReplacedAs (a name in an existing folder), a
// file the copy replaces is first given that second name (a hard link: no copy, and the
// replacement stays one step), or copied there where links cannot be made.
CopyOutcome CopySingleFile(const QString& source, const QString& target,
                           const std::function<bool()>& continueCopy = {},
                           bool targetMayExist = true, const KeepAs& keepReplacedAs = {},
                           bool deferName = false);
// The same between two open folders, by name: no path is converted or walked again.
CopyOutcome CopySingleFile(const FolderHandle& sourceFolder, const QByteArray& sourceName,
                           const FolderHandle& targetFolder, const QByteArray& targetName,
                           const std::function<bool()>& continueCopy, bool targetMayExist,
                           const KeepAs& keepReplacedAs = {}, bool deferName = false);

// The same from a source file that must be the folder's own entry: a link in its place is
// refused (ELOOP), never followed. For copies read back out of a backup, whose contents
// anybody with access to its disk may have planted.
// With mode (not -1), the copy gets exactly these permission bits: a restore gives back
// those its source had, whatever the disk of the backup shows.
CopyOutcome CopyUnlinkedFile(const FolderHandle& sourceFolder, const QByteArray& sourceName,
                             const FolderHandle& targetFolder, const QByteArray& targetName,
                             const std::function<bool()>& continueCopy, bool targetMayExist,
                             const KeepAs& keepReplacedAs = {}, int mode = -1);

// The same from a whole path into an open folder.
CopyOutcome CopySingleFile(const QString& source, const FolderHandle& targetFolder,
                           const QByteArray& targetName, const std::function<bool()>& continueCopy,
                           bool targetMayExist, const KeepAs& keepReplacedAs = {},
                           bool deferName = false);

// The call that gives a copy its permission bits (fchmod). The kernel's FAT driver refuses
// with EPERM every mode it cannot show, which no FUSE driver does: tests put such a disk's
// answers in here. Null puts fchmod back.
using ChangeModeCall = int (*)(int fd, mode_t mode);
void SetChangeModeCall(ChangeModeCall call);

// Temporary files of a copy that was killed halfway carry this mark in their names.
bool IsUnfinishedCopyName(const QString& name);
bool IsUnfinishedCopyName(const char* name);
// Removes such leftovers from a folder, except the names in keep (a user's own files named
// so); returns how many were removed.
int RemoveUnfinishedCopies(const FolderHandle& folder, const QList<QByteArray>& keep = {});

// Adds write permission for the owner; true when the file is then writable by its owner.
// Neither follows a link: a link at the target's path is replaced by the copy, and what it
// points to is none of the backup's business. A file with other names (hard links) is not
// read-only here either: its mode belongs to those names too, and the copy replaces only
// this one.
bool ClearReadOnly(const FolderHandle& folder, const QByteArray& name);
bool IsReadOnly(const FolderHandle& folder, const QByteArray& name);

// Compares two files byte for byte, each a name in an open folder (or AT_FDCWD and a whole
// path). continueCompare runs between chunks; false abandons the comparison.
struct CompareOutcome {
    bool same = false;
    bool cancelled = false;
    qint64 differsAt = -1; // the first byte that differs, or where the shorter file ends
    qint64 bytes = 0;      // compared in each file
    FileError error;       // a file could not be read
    bool inTarget = false; // the error is the target's
};
// The sizes the two files had when listed, where known: a read that reaches a file's own
// size is then its end, with no read more to confirm it.
struct ListedSizes {
    qint64 source = -1;
    qint64 target = -1;
};
CompareOutcome CompareFiles(int sourceFolder, const QByteArray& sourceName, int targetFolder,
                            const QByteArray& targetName,
                            const std::function<bool()>& continueCompare = {},
                            ListedSizes listed = {});

// Writes everything cached for the file system holding the folder to its disk.
FileError FlushFileSystem(const QString& folder);

// The same through a folder opened beforehand: its flush reports every write error of the
// file system since it was opened, also one that another flush met first (a flush in the
// background while files are still copied must not swallow the error the last one reports).
class FileSystemFlush {
public:
    explicit FileSystemFlush(const QString& folder);
    FileSystemFlush(const FileSystemFlush&) = delete;
    FileSystemFlush& operator=(const FileSystemFlush&) = delete;
    FileError Flush() const;

private:
    UniqueFd fd;
    int openError = 0;
};

} // namespace vnt
