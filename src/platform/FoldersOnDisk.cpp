#include "platform/FoldersOnDisk.h"

#include "platform/Drives.h"
#include "platform/Names.h"
#include "platform/UniqueFd.h"

#include <algorithm>
#include <array>
#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QRandomGenerator>
#include <QStandardPaths>
#include <QStorageInfo>
#include <sys/stat.h>
#include <unistd.h>
#include <utility>
#include <vector>

namespace vnt {

namespace {

// Windows' names, compared in upper case.
constexpr std::array RecycleBinNames = {u"$RECYCLE.BIN", u"RECYCLER", u"RECYCLED"};

constexpr std::array<std::pair<const char16_t*, const char16_t*>, 5> SystemFolderNames = {{
    {u"USERS", u"Users"},
    {u"WINDOWS", u"Windows"},
    {u"PROGRAM FILES", u"Program Files"},
    {u"DOCUMENTS AND SETTINGS", u"Documents and Settings"},
    {u"SYSTEM VOLUME INFORMATION", u"System Volume Information"},
}};

// Kernel and runtime file systems directly under "/", whatever they are mounted as.
constexpr std::array LinuxSystemFolders = {u"proc", u"sys", u"dev", u"run"};

// Whether text begins with capitals (a name in upper case), each letter compared in upper
// case on its own, as Windows compares these names; with whole, it is all of text.
bool BeginsWithCapitals(QStringView text, QStringView capitals, bool whole) {
    if (text.size() < capitals.size() || (whole && text.size() != capitals.size()))
        return false;
    for (qsizetype i = 0; i < capitals.size(); ++i) {
        if (text[i].toUpper() != capitals[i])
            return false;
    }
    return true;
}

} // namespace

QString WithTrailingBackslash(const QString& path) {
    if (path.isEmpty() || path.endsWith(u'/'))
        return path;
    return path + u'/';
}

bool IsWindowsFileSystem(const QByteArray& type) {
    // ntfs-3g and exfat-fuse show as fuseblk.
    static const QList<QByteArray> windows = {"vfat", "msdos", "exfat", "ntfs", "ntfs3", "fuseblk"};
    return windows.contains(type);
}

bool IsTrashFolderName(const QString& firstName, bool windowsFileSystem, bool wholeName) {
    // A user's own folder of these names on a Linux file system is the user's data.
    if (windowsFileSystem) {
        for (const char16_t* name : RecycleBinNames) {
            if (BeginsWithCapitals(firstName, name, wholeName))
                return true;
        }
    }
    if (firstName == u".Trash" || firstName == u"lost+found")
        return true;
    // ".Trash-" and the owner's user number.
    static const QString perUser = QStringLiteral(".Trash-");
    if (!firstName.startsWith(perUser) || firstName.size() == perUser.size())
        return false;
    return std::all_of(firstName.cbegin() + perUser.size(), firstName.cend(),
                       [](QChar c) { return c >= u'0' && c <= u'9'; });
}

bool IsRecycleBinUnder(const QString& path, const QString& rootPrefix) {
    if (rootPrefix.isEmpty() || !path.startsWith(rootPrefix))
        return false;
    const QString rest = path.mid(rootPrefix.size());
    const QString first = rest.left(rest.indexOf(u'/'));
    if (IsTrashFolderName(first, false, false))
        return true;
    // Only a name Windows gives asks which file system holds it.
    return IsTrashFolderName(first, true, false) &&
           IsWindowsFileSystem(QStorageInfo(rootPrefix).fileSystemType());
}

bool IsRecycleBin(const QString& path) {
    return IsRecycleBinUnder(path, RootPrefix(path));
}

bool IsSystemFolderUnder(const QString& path, const QString& rootPrefix, QString& reportedName) {
    reportedName.clear();
    if (IsRecycleBinUnder(path, rootPrefix)) {
        reportedName = QStringLiteral("Recycle Bin");
        return true;
    }
    const QStringView rest = rootPrefix.isEmpty() || !path.startsWith(rootPrefix)
                                 ? QStringView()
                                 : QStringView(path).mid(rootPrefix.size());
    for (const auto& [upper, reported] : SystemFolderNames) {
        if (BeginsWithCapitals(rest, upper, false)) {
            reportedName = QString::fromUtf16(reported);
            return true;
        }
    }
    for (const char16_t* name : LinuxSystemFolders) {
        const QString folder = u'/' + QString::fromUtf16(name);
        if (path == folder || path.startsWith(folder + u'/')) {
            reportedName = QString::fromUtf16(name);
            return true;
        }
    }
    return false;
}

bool IsSystemFolder(const QString& path, QString& reportedName) {
    return IsSystemFolderUnder(path, RootPrefix(path), reportedName);
}

namespace {

// A folder held by a descriptor that only names it (O_PATH): the next name is looked up
// below it, so a path is walked one name at a time and never spelled out again.
struct FolderDescriptor {
    UniqueFd fd;
    FolderDescriptor() = default;
    explicit FolderDescriptor(int descriptor) : fd(descriptor) {}
    bool Valid() const { return fd.valid(); }
    // The folder of that name below this one, links followed unless noFollow.
    int OpenFolder(const QByteArray& name, bool noFollow = false) const {
        return ::openat(fd.get(), name.constData(),
                        O_PATH | O_DIRECTORY | O_CLOEXEC | (noFollow ? O_NOFOLLOW : 0));
    }
    FolderIdentity Identity() const {
        struct stat st {};
        if (!fd || ::fstat(fd.get(), &st) != 0)
            return {};
        return {true, st.st_dev, st.st_ino};
    }
};

} // namespace

bool FolderExists(const QString& path) {
    const QByteArray bytes = EncodeName(path.trimmed());
    struct stat st {};
    // No name holds a NUL byte: cut there, the path would name another folder.
    return !bytes.isEmpty() && !bytes.contains('\0') && ::stat(bytes.constData(), &st) == 0 &&
           S_ISDIR(st.st_mode);
}

bool IsDriveRoot(const QString& path) {
    return !path.isEmpty() && WithTrailingBackslash(path) == RootPrefix(path);
}

QString SpecialFolderPath() {
    return QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation);
}

QString AppDataFilePath(const QString& fileName, const QString& subfolder) {
    const QString folder = SpecialFolderPath() + u'/' + subfolder;
    if (!FolderExists(folder))
        CreateFolderPath(folder);
    return folder + u'/' + fileName;
}

bool CreateFolder(const QString& path) {
    return ::mkdir(EncodeName(path).constData(), 0777) == 0;
}

unsigned CopyFolderMode(const QString& folder) {
    struct stat st {};
    return ::lstat(EncodeName(folder).constData(), &st) == 0 && S_ISDIR(st.st_mode)
               ? (st.st_mode & 0777u) | 0700u
               : 0700u;
}

bool CreateFolderPath(const QString& path, unsigned mode) {
    // Every level from the file system's root, one name at a time below the level made
    // before it: the mount points need not be known, and a long path costs no more than
    // its length.
    // A folder too deep to be named in one path could never be used: make none of it.
    const QByteArray bytes = EncodeName(path);
    if (!path.startsWith(u'/') || bytes.size() >= PATH_MAX)
        return false;
    FolderDescriptor folder(::open("/", O_PATH | O_DIRECTORY | O_CLOEXEC));
    for (const QByteArray& name : bytes.split('/')) {
        if (name.isEmpty())
            continue;
        if (!folder.Valid() || name.contains('\0'))
            return false;
        FolderDescriptor next(folder.OpenFolder(name));
        if (!next.Valid() && ::mkdirat(folder.fd.get(), name.constData(), mode) == 0)
            next = FolderDescriptor(folder.OpenFolder(name));
        else if (!next.Valid() && errno == EEXIST)
            next = FolderDescriptor(folder.OpenFolder(name)); // made meanwhile by another
        folder = std::move(next);
    }
    return folder.Valid();
}

bool IsWriteProtection(int errorNumber) {
    return errorNumber != ENOSPC && errorNumber != EDQUOT && errorNumber != EIO;
}

bool WriteTestFails(const QString& folder, QString& errorText, int* errorNumber) {
    errorText.clear();
    const QString base = WithTrailingBackslash(folder);
    const auto fail = [&errorText, errorNumber](int error) {
        errorText = QString::fromLocal8Bit(std::strerror(error));
        if (errorNumber != nullptr)
            *errorNumber = error;
        return true;
    };
    // Never touch a file that was there before: create exclusively, and pick another
    // name if the usual one is taken.
    QString name = QStringLiteral("klasdjfdskjfkjkwjkweoewiroew.txt");
    UniqueFd file;
    for (int attempt = 0; attempt < 5 && !file; ++attempt) {
        const QByteArray path = EncodeName(base + name);
        file.reset(::open(path.constData(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600));
        if (!file && errno != EEXIST)
            return fail(errno);
        if (!file)
            name = QStringLiteral("klasdjfdskjfkjkwjkweoewiroew-%1.txt")
                       .arg(QRandomGenerator::global()->generate(), 8, 16, QLatin1Char('0'));
    }
    if (!file)
        return fail(EEXIST);
    const QByteArray path = EncodeName(base + name);
    static constexpr char line[] = "A line\n";
    const bool written =
        ::write(file.get(), line, sizeof line - 1) == static_cast<ssize_t>(sizeof line - 1);
    const int writeError = errno;
    // The close's own result counts: a write the disk refuses may only show here.
    const bool closed = ::close(file.release()) == 0;
    const int closeError = errno;
    const bool removed = ::unlink(path.constData()) == 0;
    if (!written)
        return fail(writeError);
    if (!closed)
        return fail(closeError);
    if (!removed)
        return fail(errno);
    return false;
}

bool IsOnReadOnlyDisk(const QString& path) {
    const QStorageInfo storage(path);
    return storage.isValid() && storage.isReadOnly();
}

namespace {

QString CurrentFolder() {
    std::vector<char> buffer(4096);
    while (::getcwd(buffer.data(), buffer.size()) == nullptr) {
        if (errno != ERANGE)
            return QStringLiteral("/");
        buffer.resize(buffer.size() * 2);
    }
    return DecodeName(buffer.data(), static_cast<qsizetype>(std::strlen(buffer.data())));
}

} // namespace

FolderIdentity IdentityOf(const QString& path) {
    struct stat st {};
    const QByteArray bytes = EncodeName(path);
    // No name holds a NUL byte: cut there, the path would name another folder.
    if (bytes.isEmpty() || bytes.contains('\0') || ::stat(bytes.constData(), &st) != 0)
        return {};
    return {true, st.st_dev, st.st_ino};
}

QString NormaliseFolder(const QString& textIn) {
    // A line break typed in a name is spelled as a name read from the disk spells it.
    const QString given = DecodeName(EncodeName(textIn));
    // Blanks around a whole path are a slip (the folder test ignores them too); a text of
    // blanks is no folder, never the current one.
    const QString trimmed = given.trimmed();
    if (trimmed.isEmpty())
        return {};
    const QString& text = trimmed.startsWith(u'/') ? trimmed : given;
    const QString absolute = text.startsWith(u'/') ? text : CurrentFolder() + u'/' + text;
    QString clean = QDir::cleanPath(absolute);
    // Above the root is the root, as the kernel has it.
    while (clean == u"/.." || clean.startsWith(QStringLiteral("/../")))
        clean.remove(0, 3);
    return WithTrailingBackslash(clean.isEmpty() ? QStringLiteral("/") : clean);
}

namespace {

// The kernel's own limit on links met while resolving one path.
constexpr int MaxLinks = 40;

// Where a folder really is, found the way the kernel finds it: one name at a time below the
// part already resolved, a link's text put in place of its name. Each name is looked at
// once (links add at most their own text), so the cost follows the path's length.
struct Resolution {
    QByteArray real = "/"; // the part that exists, links resolved, ending with "/"
    QByteArray rest;       // the names below it that do not exist (yet), as given, with "/"
    std::vector<FolderIdentity> folders; // "/" and every folder of real, outermost first
};

Resolution Resolve(const QString& normal) {
    Resolution found;
    FolderDescriptor folder(::open("/", O_PATH | O_DIRECTORY | O_CLOEXEC));
    found.folders.push_back(folder.Identity());
    // The names still to look at, the next one last.
    QList<QByteArray> names = EncodeName(normal).split('/');
    std::reverse(names.begin(), names.end());
    int links = 0;
    while (!names.isEmpty()) {
        const QByteArray name = names.takeLast();
        if (name.isEmpty() || name == ".")
            continue;
        if (name == "..") {
            if (found.real.size() > 1) {
                folder = FolderDescriptor(folder.OpenFolder(name));
                found.real.truncate(found.real.lastIndexOf('/', found.real.size() - 2) + 1);
                found.folders.pop_back();
            }
            continue;
        }
        struct stat st {};
        bool exists = folder.Valid() && !name.contains('\0') &&
                      ::fstatat(folder.fd.get(), name.constData(), &st, AT_SYMLINK_NOFOLLOW) == 0;
        if (exists && S_ISLNK(st.st_mode) && links < MaxLinks) {
            ++links;
            QByteArray text(qMax<qsizetype>(st.st_size, 255) + 1, Qt::Uninitialized);
            const ssize_t size = ::readlinkat(folder.fd.get(), name.constData(), text.data(),
                                              static_cast<size_t>(text.size()));
            if (size > 0 && size < text.size()) {
                text.truncate(size);
                if (text.startsWith('/')) {
                    folder = FolderDescriptor(::open("/", O_PATH | O_DIRECTORY | O_CLOEXEC));
                    found.real = "/";
                    found.folders.assign(1, folder.Identity());
                }
                QList<QByteArray> target = text.split('/');
                std::reverse(target.begin(), target.end());
                names.append(target);
                continue;
            }
            exists = false;
        } else if (exists && S_ISDIR(st.st_mode)) {
            FolderDescriptor next(folder.OpenFolder(name, true));
            if (next.Valid()) {
                folder = std::move(next);
                found.real += name + '/';
                found.folders.push_back(folder.Identity());
                continue;
            }
            exists = false;
        }
        // Nothing below this name exists: the rest stays as it was written.
        found.rest = name + '/';
        while (!names.isEmpty()) {
            const QByteArray below = names.takeLast();
            if (!below.isEmpty())
                found.rest += below + '/';
        }
    }
    return found;
}

} // namespace

QString RealFolder(const QString& path) {
    const QString normal = NormaliseFolder(path);
    if (normal.isEmpty())
        return {};
    const Resolution found = Resolve(normal);
    return DecodeName(found.real + found.rest);
}

bool SameFolder(const QString& a, const QString& b) {
    if (a.isEmpty() || b.isEmpty())
        return false;
    const FolderIdentity first = IdentityOf(a);
    const FolderIdentity second = IdentityOf(b);
    if (first.known && second.known)
        return first == second;
    return RealFolder(a) == RealFolder(b);
}

bool FolderHolds(const QString& outer, const QString& inner) {
    if (outer.isEmpty() || inner.isEmpty())
        return false;
    const QString normalInner = NormaliseFolder(inner);
    if (normalInner.isEmpty())
        return false;
    const Resolution found = Resolve(normalInner);
    if (DecodeName(found.real + found.rest).startsWith(RealFolder(outer)))
        return true;
    // The same folder may be mounted at two places: look for it among inner's ancestors.
    const FolderIdentity outerIdentity = IdentityOf(outer);
    return outerIdentity.known && std::find(found.folders.cbegin(), found.folders.cend(),
                                            outerIdentity) != found.folders.cend();
}

QList<SubfolderState> OpenSubfolders(const QString& folder, const QStringList& names) {
    QList<SubfolderState> states;
    states.reserve(names.size());
    const QByteArray folderBytes = EncodeName(folder);
    FolderDescriptor parent(folderBytes.contains('\0') ? -1
                                                       : ::open(folderBytes.constData(),
                                                                O_PATH | O_DIRECTORY | O_CLOEXEC));
    const int parentError = parent.Valid() ? 0 : (folderBytes.contains('\0') ? EINVAL : errno);
    // A name given again is looked up once.
    QHash<QString, SubfolderState> seen;
    for (const QString& name : names) {
        if (const auto known = seen.constFind(name); known != seen.cend()) {
            states.append(*known);
            continue;
        }
        SubfolderState state;
        const QByteArray bytes = name.isEmpty() ? QByteArray(".") : EncodeName(name);
        if (!parent.Valid() || bytes.contains('\0')) {
            state.error = parent.Valid() ? EINVAL : parentError;
        } else {
            FolderDescriptor opened(
                ::openat(parent.fd.get(), bytes.constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
            state.error = opened.Valid() ? 0 : errno;
            state.identity = opened.Identity();
        }
        seen.insert(name, state);
        states.append(state);
    }
    return states;
}

bool FileExistsAt(const QString& path) {
    struct stat st {};
    return !path.isEmpty() && ::stat(EncodeName(path).constData(), &st) == 0 &&
           !S_ISDIR(st.st_mode);
}

} // namespace vnt
