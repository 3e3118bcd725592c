#include "platform/TargetDisk.h"

#include "platform/FileCopy.h"
#include "platform/Names.h"
#include "platform/UniqueFd.h"

#include <atomic>
#include <cerrno>
#include <fcntl.h>
#include <linux/fs.h>
#include <QDateTime>
#include <QFile>
#include <QRandomGenerator>
#include <QRegularExpression>
#include <QStringList>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <sys/statfs.h>
#include <sys/sysmacros.h>
#include <sys/xattr.h>
#include <unistd.h>

namespace vnt {

namespace {

// The characters Windows allows in no name, which its disks refuse also under Linux.
const QString WindowsRefused = QStringLiteral("\"*:<>?\\|");

// The kernel writes a blank, tab, newline or backslash in a mount point as \ooo.
QByteArray Unescaped(const QByteArray& field) {
    QByteArray bytes;
    for (qsizetype i = 0; i < field.size(); ++i) {
        if (field[i] == '\\' && i + 3 < field.size()) {
            bool ok = false;
            const int value = field.mid(i + 1, 3).toInt(&ok, 8);
            if (ok) {
                bytes += static_cast<char>(value);
                i += 3;
                continue;
            }
        }
        bytes += field[i];
    }
    return bytes;
}

// The file system type of the mount that holds the device dev, and where it comes from,
// as the kernel lists its mounts.
struct Mount {
    QString point;
    QString type;
    QString source;
};
Mount MountOf(dev_t dev) {
    QFile mounts(QStringLiteral("/proc/self/mountinfo"));
    if (!mounts.open(QIODevice::ReadOnly))
        return {};
    const QByteArray wanted =
        QByteArray::number(major(dev)) + ':' + QByteArray::number(minor(dev));
    // "36 35 98:0 /mnt1 /mnt/parent rw,noatime master:1 - ext3 /dev/root rw,errors=continue"
    for (const QByteArray& line : mounts.readAll().split('\n')) {
        const QList<QByteArray> fields = line.split(' ');
        const qsizetype dash = fields.indexOf("-");
        if (fields.size() > 4 && fields[2] == wanted && dash > 4 && dash + 2 < fields.size())
            return {DecodeName(Unescaped(fields[4])), QString::fromUtf8(fields[dash + 1]),
                    QString::fromUtf8(fields[dash + 2])};
    }
    return {};
}

// The format a block device holds, read from its first sector (a FUSE driver shows only
// "fuseblk"); empty when it cannot be read, as a user's disk mostly cannot.
QString FormatOnDevice(const QString& device) {
    if (!device.startsWith(u'/'))
        return {};
    const UniqueFd fd(::open(EncodeName(device).constData(), O_RDONLY | O_CLOEXEC | O_NONBLOCK));
    char sector[512];
    if (!fd || ::pread(fd.get(), sector, sizeof sector, 0) != static_cast<ssize_t>(sizeof sector))
        return {};
    const QByteArray boot(sector, sizeof sector);
    if (boot.mid(3, 8) == "EXFAT   ")
        return QStringLiteral("exfat");
    if (boot.mid(3, 8) == "NTFS    ")
        return QStringLiteral("ntfs");
    if (boot.mid(82, 5) == "FAT32" || boot.mid(54, 3) == "FAT")
        return QStringLiteral("vfat");
    return {};
}

// fusefat is the FUSE driver that corrupts a file written again in its middle.
bool KeepsRewrites(const Mount& mount) {
    return !(mount.type.startsWith(QStringLiteral("fuse.")) && mount.type.contains(u"fat"));
}

QString TypeOf(int folder, const Mount& mount) {
    struct statfs fs {};
    if (::fstatfs(folder, &fs) != 0)
        return {};
    switch (static_cast<unsigned long>(fs.f_type)) {
    case 0x4d44:
        return QStringLiteral("vfat");
    case 0x2011bab0:
        return QStringLiteral("exfat");
    case 0x7366746e: // the kernel's ntfs3
    case 0x5346544e:
        return QStringLiteral("ntfs");
    default:
        break;
    }
    if (mount.type == u"fuseblk") {
        const QString format = FormatOnDevice(mount.source);
        return format.isEmpty() ? mount.type : format;
    }
    if (mount.type.startsWith(QStringLiteral("fuse.")) && mount.type.contains(u"fat"))
        return QStringLiteral("vfat"); // fusefat
    return mount.type;
}

// Seconds since the epoch of a local time (FAT and exFAT keep the local clock's fields).
qint64 LocalSeconds(int year, int month, int day) {
    return QDateTime(QDate(year, month, day), QTime(0, 0), Qt::LocalTime)
        .toSecsSinceEpoch();
}

// What each kind of disk is known to keep, before any probe.
void ApplyKnownType(DiskAbilities& disk) {
    const bool fat = disk.type == u"vfat" || disk.type == u"msdos";
    const bool windows = fat || disk.type == u"exfat" || disk.type == u"ntfs";
    if (!windows)
        return;
    disk.countsUtf16 = true;
    disk.refusesControlCharacters = disk.type != u"ntfs";
    if (disk.type == u"ntfs")
        return; // ntfs-3g and ntfs3 keep case, times and names as Linux does, unless told
    disk.foldsCase = true;
    disk.keepsPermissions = disk.keepsSetId = false;
    disk.keepsAccessLists = disk.keepsAttributes = false;
    disk.refusedCharacters = WindowsRefused;
    disk.refusesTrailingDotOrBlank = true;
    // Years 1980 to 2107 in the local clock; a day's margin for the zones either way.
    disk.earliestTime = LocalSeconds(1980, 1, 2);
    disk.latestTime = LocalSeconds(2107, 12, 30);
    if (fat)
        disk.largestFile = 0xFFFFFFFFLL;
}

// Whether a name in the folder is found under another letter case: the disk folds case.
// Only names that exist are looked up, so nothing is written.
bool FoldsExistingName(int folder) {
    for (const char* name : {".vantoro", ".vantoro-replaced"}) {
        struct stat original {};
        struct stat swapped {};
        if (::fstatat(folder, name, &original, AT_SYMLINK_NOFOLLOW) == 0)
            return ::fstatat(folder, QByteArray(name).toUpper().constData(), &swapped,
                             AT_SYMLINK_NOFOLLOW) == 0 &&
                   swapped.st_ino == original.st_ino;
    }
    // The folder's own name, from its parent.
    const QString real = RealFolderOf(*FolderHandle::Adopt(::fcntl(folder, F_DUPFD_CLOEXEC, 0)));
    QString name = real.chopped(real.endsWith(u'/') ? 1 : 0);
    name = name.mid(name.lastIndexOf(u'/') + 1);
    const QString upper = name.toUpper();
    const QString other = upper != name ? upper : name.toLower();
    if (other == name)
        return false;
    struct stat self {};
    struct stat swapped {};
    return ::fstat(folder, &self) == 0 &&
           ::fstatat(folder, ("../" + EncodeName(other)).constData(), &swapped, 0) == 0 &&
           swapped.st_ino == self.st_ino && swapped.st_dev == self.st_dev;
}

// Tries on a file of its own, made and removed in probeFolder, what the disk keeps.
void Probe(DiskAbilities& disk, int probeFolder) {
    const QByteArray name =
        ".~vantoro-" +
        QByteArray::number(QRandomGenerator::global()->generate(), 16).rightJustified(8, '0') +
        ".part";
    const UniqueFd fd(::openat(probeFolder, name.constData(),
                               O_RDWR | O_CREAT | O_EXCL | O_CLOEXEC | O_NOFOLLOW, 0600));
    if (!fd)
        return;
    struct stat st {};
    disk.foldsCase =
        ::fstatat(probeFolder, name.toUpper().constData(), &st, AT_SYMLINK_NOFOLLOW) == 0;
    const auto modeTakes = [&](unsigned mode) {
        return ::fchmod(fd.get(), mode) == 0 && ::fstat(fd.get(), &st) == 0 &&
               (st.st_mode & 07777) == mode;
    };
    disk.keepsPermissions = modeTakes(0640) && modeTakes(0604);
    disk.keepsSetId = disk.keepsPermissions && modeTakes(S_ISUID | 0700);
    const auto refuses = [&](const char* attribute, const QByteArray& value) {
        return ::fsetxattr(fd.get(), attribute, value.constData(), value.size(), 0) != 0 &&
               (errno == ENOTSUP || errno == EOPNOTSUPP);
    };
    disk.keepsAttributes = !refuses("user.vantoro-probe", "1");
    // The least list there is: owner rw-, group r--, others ---.
    const char list[] = {2, 0, 0, 0, 1, 0, 6, 0, -1, -1, -1, -1, 4, 0, 4, 0,
                         -1, -1, -1, -1, 0x20, 0, 0, 0, -1, -1, -1, -1};
    disk.keepsAccessLists =
        disk.keepsPermissions &&
        !refuses("system.posix_acl_access", QByteArray(list, sizeof list));
    disk.keepsPermissions = disk.keepsPermissions && modeTakes(0600);
    ::unlinkat(probeFolder, name.constData(), 0);

    // Whether the disk refuses a name; one it takes is removed again, unless kept.
    const auto refusesName = [&](const QByteArray& tried, bool keep = false) {
        if (const UniqueFd file(::openat(probeFolder, tried.constData(),
                                         O_RDWR | O_CREAT | O_EXCL | O_CLOEXEC | O_NOFOLLOW, 0600));
            file) {
            if (!keep)
                ::unlinkat(probeFolder, tried.constData(), 0);
            return false;
        }
        return errno != EEXIST;
    };
    disk.refusedCharacters.clear();
    QString tried = WindowsRefused;
    tried += QChar(1); // and so every control character
    for (const QChar c : tried) {
        const QByteArray other = name + EncodeName(QString(c));
        if (!refusesName(other))
            continue;
        if (c == QChar(1))
            disk.refusesControlCharacters = true;
        else
            disk.refusedCharacters += c;
    }
    // A name ending in a dot or a blank is refused, or made without it (Linux's FAT driver),
    // where it would take another file's name.
    const QByteArray dotted = name + "-dot.";
    const QByteArray undotted = dotted.chopped(1);
    const bool refusesDot = refusesName(dotted, true);
    const bool stripsDot =
        !refusesDot &&
        ::fstatat(probeFolder, undotted.constData(), &st, AT_SYMLINK_NOFOLLOW) == 0;
    ::unlinkat(probeFolder, dotted.constData(), 0);
    ::unlinkat(probeFolder, undotted.constData(), 0);
    disk.refusesTrailingDotOrBlank = refusesDot || stripsDot || refusesName(name + "-blank ");
    disk.refusesDeviceNames = refusesName("aux");

    // A time of 2001, set before the file is named, as a copy's is.
    const QByteArray named = name + "-named";
    if (UniqueFd timed(::openat(probeFolder, name.constData(),
                                O_RDWR | O_CREAT | O_EXCL | O_CLOEXEC | O_NOFOLLOW, 0600));
        timed) {
        const struct timespec times[2] = {{1'000'000'000, 0}, {1'000'000'000, 0}};
        const bool set = ::futimens(timed.get(), times) == 0;
        timed.reset();
        if (set && ::renameat(probeFolder, name.constData(), probeFolder, named.constData()) == 0)
            disk.losesTimeWhenNamed =
                ::fstatat(probeFolder, named.constData(), &st, AT_SYMLINK_NOFOLLOW) == 0 &&
                st.st_mtim.tv_sec != 1'000'000'000;
        ::unlinkat(probeFolder, named.constData(), 0);
        ::unlinkat(probeFolder, name.constData(), 0);
    }
}

int ReadFolderFlags(int fd, int* flags) {
    return ::ioctl(fd, FS_IOC_GETFLAGS, flags);
}

std::atomic<FolderFlagsCall> folderFlags{&ReadFolderFlags};

} // namespace

void SetFolderFlagsCall(FolderFlagsCall call) {
    folderFlags = call != nullptr ? call : &ReadFolderFlags;
}

bool FolderFoldsCase(int folder) {
    const UniqueFd fd(::openat(folder, ".", O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    int flags = 0;
    return fd && folderFlags.load()(fd.get(), &flags) == 0 && (flags & FS_CASEFOLD_FL) != 0;
}

bool KeepsRewrites(int folder) {
    struct stat st {};
    return ::fstat(folder, &st) != 0 || KeepsRewrites(MountOf(st.st_dev));
}

DiskAbilities LearnDisk(int folder, int probeFolder) {
    DiskAbilities disk;
    struct stat st {};
    const Mount mount = ::fstat(folder, &st) == 0 ? MountOf(st.st_dev) : Mount();
    disk.mountPoint = mount.point;
    disk.type = TypeOf(folder, mount);
    disk.keepsRewrites = KeepsRewrites(mount);
    ApplyKnownType(disk);
    struct statfs fs {};
    if (!disk.countsUtf16 && ::fstatfs(folder, &fs) == 0 && fs.f_namelen > 0)
        disk.longestName = static_cast<int>(fs.f_namelen);
    if (probeFolder >= 0) {
        Probe(disk, probeFolder);
    } else {
        if (!disk.foldsCase)
            disk.foldsCase = FoldsExistingName(folder);
        // The program makes its own folder for the owner alone: shown open to all, with the
        // folder that holds it, it is a disk that keeps no permissions (exFAT, NTFS as most
        // mount them).
        struct stat own {};
        if (::fstatat(folder, ".vantoro", &own, AT_SYMLINK_NOFOLLOW) == 0 &&
            S_ISDIR(own.st_mode) && (own.st_mode & 0777) == 0777 && (st.st_mode & 0777) == 0777)
            disk.keepsPermissions = disk.keepsSetId = disk.keepsAccessLists = false;
    }
    disk.foldsPerFolder =
        !disk.foldsCase && (disk.type == u"ext4" || disk.type == u"f2fs" || disk.type == u"tmpfs");
    // A FUSE disk whose device could not be read, that folds case: exFAT, as sold.
    if (disk.type == u"fuseblk" && disk.foldsCase) {
        DiskAbilities exfat;
        exfat.type = QStringLiteral("exfat");
        ApplyKnownType(exfat);
        disk.earliestTime = exfat.earliestTime;
        disk.latestTime = exfat.latestTime;
    }
    return disk;
}

QString DiskAbilities::NotKeptText() const {
    QStringList missing;
    if (!keepsPermissions)
        missing << QStringLiteral("permissions") << QStringLiteral("owners");
    else if (!keepsAccessLists)
        missing << QStringLiteral("access lists (ACLs)");
    if (!keepsAttributes)
        missing << QStringLiteral("extended attributes");
    if (missing.isEmpty())
        return {};
    const QString last = missing.takeLast();
    return missing.isEmpty() ? last : missing.join(QStringLiteral(", ")) + QStringLiteral(" or ") + last;
}

QString DiskAbilities::TimeRangeText() const {
    const auto year = [](qint64 seconds) {
        return QString::number(QDateTime::fromSecsSinceEpoch(seconds).date().year());
    };
    return year(earliestTime) + QStringLiteral(" to ") + year(latestTime);
}

QString DiskAbilities::RefusalOf(const QByteArray& bytes, qint64 size) const {
    if (largestFile >= 0 && size > largestFile)
        return QStringLiteral("this disk holds files up to %1 GiB").arg((largestFile + 1) >> 30);
    // A Linux disk refuses only a name too long: no name is decoded for it, file by file.
    if (refusedCharacters.isEmpty() && !refusesControlCharacters && !refusesTrailingDotOrBlank &&
        !refusesDeviceNames && !countsUtf16)
        return bytes.size() > longestName
                   ? QStringLiteral("this disk allows names of up to %1 bytes").arg(longestName)
                   : QString();
    const QString name = DecodeName(bytes);
    for (const QChar c : name) {
        if (refusedCharacters.contains(c))
            return QStringLiteral("this disk does not allow the character '") + c +
                   QStringLiteral("' in names");
        if (refusesControlCharacters && c.unicode() < 0x20)
            return QStringLiteral("this disk does not allow control characters in names");
    }
    if (refusesTrailingDotOrBlank && (name.endsWith(u'.') || name.endsWith(u' ')) &&
        name != u"." && name != u"..")
        return QStringLiteral("this disk does not allow names that end in a dot or a blank");
    if (refusesDeviceNames) {
        // Windows keeps these for devices, with any extension and in any case.
        static const QRegularExpression device(
            QStringLiteral("^(con|prn|aux|nul|com[1-9]|lpt[1-9])(\\..*)?$"),
            QRegularExpression::CaseInsensitiveOption);
        if (device.match(name).hasMatch())
            return QStringLiteral("this disk does not allow the name ") +
                   name.section(u'.', 0, 0) +
                   QStringLiteral(", which Windows keeps for a device");
    }
    const qsizetype length = countsUtf16 ? name.size() : bytes.size();
    if (length > longestName)
        return QStringLiteral("this disk allows names of up to %1 %2")
            .arg(longestName)
            .arg(countsUtf16 ? QStringLiteral("characters") : QStringLiteral("bytes"));
    return {};
}

} // namespace vnt
