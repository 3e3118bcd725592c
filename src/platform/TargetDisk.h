#pragma once
// What the disk that holds a backup can keep: letter case, permissions, set-ID bits, access
// lists and extended attributes, the times, the largest file and the names it takes. USB
// sticks and external drives come formatted exFAT, NTFS or FAT32, and each of them keeps
// less than a Linux file system: the walk rules on that before it copies, instead of
// learning it from a failed copy, a lost file or a widened one.

#include <limits>
#include <QString>

namespace vnt {

struct DiskAbilities {
    // The file system as mounted ("ext4", "exfat", "vfat", "ntfs"...); on a FUSE disk the
    // format its device holds, where that could be read or told from how it behaves.
    QString type;
    QString mountPoint; // where it is mounted, without a final slash ("/" stays "/")
    bool foldsCase = false; // "Report.txt" and "report.txt" are one name
    // Folding is chosen folder by folder (ext4, f2fs, tmpfs: a casefold folder, and every
    // folder made in it): FolderFoldsCase tells.
    bool foldsPerFolder = false;
    bool keepsPermissions = true; // and owners: chmod takes, and the mode reads back
    bool keepsSetId = true;
    bool keepsAccessLists = true;
    bool keepsAttributes = true; // the user's extended attributes
    // Renaming a file gives it the time of the rename (fusefat does): a copy's time is set
    // again once it has its name.
    bool losesTimeWhenNamed = false;
    // A file written again in its middle keeps what was written. fusefat corrupts such a
    // file once it passes some hundreds of KiB (a database's pages); a copy, written from
    // its start to its end, it keeps.
    bool keepsRewrites = true;
    // The modification times it can hold, in seconds since the epoch.
    qint64 earliestTime = std::numeric_limits<qint64>::min();
    qint64 latestTime = std::numeric_limits<qint64>::max();
    qint64 largestFile = -1;   // bytes; -1: no limit below what a disk holds anyway
    QString refusedCharacters; // characters no name may hold (control characters aside)
    bool refusesControlCharacters = false;
    bool refusesTrailingDotOrBlank = false;
    bool refusesDeviceNames = false; // CON, PRN, AUX, NUL, COM1 to COM9, LPT1 to LPT9
    int longestName = 255; // bytes, or UTF-16 units where the disk counts so
    bool countsUtf16 = false;

    bool HoldsTime(qint64 seconds) const {
        return seconds >= earliestTime && seconds <= latestTime;
    }
    // What the disk keeps of a file beside its contents and times, when that is not all
    // of it: "permissions, owners or extended attributes". Empty when it keeps everything.
    QString NotKeptText() const;
    // Why the disk cannot hold a file of this name or size, in words a person understands
    // ("this disk holds files up to 4 GiB"); empty when it can.
    QString RefusalOf(const QByteArray& name, qint64 size = 0) const;
    // The earliest and latest years it holds, for the report: "1980 to 2107".
    QString TimeRangeText() const;
};

// keepsRewrites alone, from the mount table: what the catalogue needs, without the rest.
bool KeepsRewrites(int folder);

// Whether names fold in the open folder: its casefold flag.
bool FolderFoldsCase(int folder);
// The call that reads a folder's flags (FS_IOC_GETFLAGS). This machine's kernel may make no
// casefold folder: tests put such a folder's answers in here. Null puts the ioctl back.
using FolderFlagsCall = int (*)(int fd, int* flags);
void SetFolderFlagsCall(FolderFlagsCall call);

// Learns the disk that holds the open folder: from its file system's type and mount
// options, and, with probeFolder (a folder of the program's own on that disk, open, in
// which a file may be made and removed), by trying what it keeps.
DiskAbilities LearnDisk(int folder, int probeFolder = -1);

} // namespace vnt
