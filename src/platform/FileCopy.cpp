#include "platform/FileCopy.h"

#include "platform/Directory.h"
#include "platform/ExtendedAttributes.h"
#include "platform/Names.h"

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <climits>
#include <cstring>
#include <ctime>
#include <fcntl.h>
#include <future>
#include <mutex>
#include <QFile>
#include <QRandomGenerator>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <system_error>
#include <thread>
#include <unistd.h>

namespace vnt {

namespace {

constexpr size_t ChunkBytes = 8 * 1024 * 1024;

std::atomic<ChangeModeCall> changeMode{&::fchmod};

// Set by CopyProgressCounter for the copies made on this thread.
thread_local std::atomic<qint64>* copyProgress = nullptr;

QByteArray Native(const QString& path) {
    return EncodeName(path);
}

// Opens a file to read it without moving its access time where the system lets us (its
// owner, or root): a backup reads every file and should leave no mark on the source.
int OpenToRead(int folder, const QByteArray& name, int flags) {
    const int fd = ::openat(folder, name.constData(), O_RDONLY | O_CLOEXEC | O_NOATIME | flags);
    if (fd >= 0 || errno != EPERM)
        return fd;
    return ::openat(folder, name.constData(), O_RDONLY | O_CLOEXEC | flags);
}

// Copies a file's data into the same places of another: kernel copies where the two file
// systems allow them, reads and writes where not.
class DataCopy {
public:
    DataCopy(int inFd, int outFd, qint64 sizeIn, const std::function<bool()>& continueCopyIn,
             CopyOutcome& outcomeIn)
        : in(inFd), out(outFd), size(sizeIn), continueCopy(continueCopyIn), outcome(outcomeIn) {}

    // The whole file; false with error (and its side) set, or cancelled or changed in the
    // outcome.
    bool Whole(bool sparse) {
        if (!sparse)
            return Range(0, size);
        if (DataOnly())
            return true;
        // A disk that cannot make a file longer but by writing (fusefat refuses to extend
        // it): the holes are written as zeros, from the start.
        const bool cannotExtend = errorSide == CopySide::Target &&
                                  (error == EPERM || error == ENOSYS || error == EOPNOTSUPP);
        if (!cannotExtend || outcome.changed || outcome.cancelled)
            return false;
        error = 0;
        errorSide = CopySide::None;
        return Range(0, size);
    }
    int error = 0;
    CopySide errorSide = CopySide::None;

private:
    // Bytes from offset to end, or with end negative to the end of the file. A file that
    // grows past the size it had when opened is being written: the copy stops at once
    // (changed) rather than chase it.
    bool Range(qint64 offset, qint64 end) {
        qint64 at = offset;
        while (end < 0 || at < end) {
            const size_t want =
                end < 0 ? ChunkBytes : static_cast<size_t>(std::min<qint64>(ChunkBytes, end - at));
            ssize_t n = 0;
            if (kernelCopy) {
                loff_t from = at;
                loff_t to = at;
                n = ::copy_file_range(in, &from, out, &to, want, 0);
                if (n < 0 && errno != EINTR) {
                    // This file system pair needs a plain copy, or the kernel copy failed:
                    // a plain read and write then also say which side the failure is on.
                    kernelCopy = false;
                    continue;
                }
            } else {
                if (buffer.empty())
                    buffer.resize(1024 * 1024);
                n = ::pread(in, buffer.data(), std::min(want, buffer.size()), at);
                for (ssize_t written = 0; written < n;) {
                    const ssize_t w = ::pwrite(out, buffer.data() + written,
                                               static_cast<size_t>(n - written), at + written);
                    if (w < 0 && errno == EINTR)
                        continue;
                    if (w < 0)
                        return Fail(CopySide::Target, errno);
                    written += w;
                }
            }
            if (n < 0) {
                if (errno == EINTR)
                    continue;
                return Fail(CopySide::Source, errno); // a read: the kernel copy fell back above
            }
            if (n == 0 && end >= 0 && kernelCopy) {
                kernelCopy = false; // a kernel copy that stops short: reads will tell why
                continue;
            }
            if (n == 0) {
                // Data that was there at the start is gone: the file was cut short meanwhile.
                outcome.changed = end >= 0;
                return end < 0;
            }
            at += n;
            if (copyProgress != nullptr)
                copyProgress->fetch_add(n, std::memory_order_relaxed);
            // A large file starts on its way to the disk while the rest is copied: the flush
            // at the end of the backup then has that much less to wait for.
            if (size >= static_cast<qint64>(ChunkBytes))
                ::sync_file_range(out, at - n, n, SYNC_FILE_RANGE_WRITE);
            if (at > size) {
                outcome.changed = true;
                return false;
            }
            if (continueCopy && !continueCopy()) {
                outcome.cancelled = true;
                return false;
            }
        }
        return true;
    }

    // Only the parts of a sparse file that hold data, as the file system lists them: the
    // holes between stay holes in the copy, which takes no more room than its source.
    bool DataOnly() {
        for (qint64 at = 0; at < size;) {
            const off_t data = ::lseek(in, at, SEEK_DATA);
            if (data < 0 && errno == ENXIO)
                break; // a hole to the end
            if (data < 0)
                return Range(at, -1); // no list of holes here: the whole rest
            if (data >= size)
                break;
            const off_t hole = ::lseek(in, data, SEEK_HOLE);
            if (hole <= data) {
                if (hole < 0 && errno != ENXIO)
                    return Fail(CopySide::Source, errno);
                outcome.changed = true; // cut short between the two looks
                return false;
            }
            at = std::min<qint64>(hole, size);
            if (!Range(data, at))
                return false;
        }
        if (::ftruncate(out, size) != 0)
            return Fail(CopySide::Target, errno);
        return true;
    }

    bool Fail(CopySide side, int number) {
        errorSide = side;
        error = number;
        return false;
    }

    const int in;
    const int out;
    const qint64 size;
    const std::function<bool()>& continueCopy;
    CopyOutcome& outcome;
    bool kernelCopy = true;
    std::vector<char> buffer;
};

} // namespace

namespace {

FileFacts FactsFrom(const struct stat& st) {
    FileFacts facts;
    if (S_ISLNK(st.st_mode)) {
        facts.link = true;
        return facts;
    }
    facts.exists = true;
    facts.regular = S_ISREG(st.st_mode);
    facts.directory = S_ISDIR(st.st_mode);
    facts.size = st.st_size;
    facts.allocated = static_cast<qint64>(st.st_blocks) * 512;
    facts.mtimeSeconds = st.st_mtim.tv_sec;
    facts.mtimeNanoseconds = st.st_mtim.tv_nsec;
    facts.ctimeNanoseconds = st.st_ctim.tv_sec * 1'000'000'000LL + st.st_ctim.tv_nsec;
    facts.mode = st.st_mode & 07777;
    return facts;
}

} // namespace

FileFacts ReadFileFacts(const QString& path, bool followLinks) {
    struct stat st {};
    if (path.isEmpty() || (followLinks ? ::stat(Native(path).constData(), &st)
                                       : ::lstat(Native(path).constData(), &st)) != 0) {
        FileFacts facts;
        facts.systemError = path.isEmpty() ? ENOENT : errno;
        return facts;
    }
    return FactsFrom(st);
}

FolderHandle::FolderHandle(const QString& folder)
    : fd(::open(Native(folder).constData(), O_PATH | O_DIRECTORY | O_CLOEXEC)) {
    missing = !fd.valid() && (errno == ENOENT || errno == ENOTDIR);
}

std::unique_ptr<FolderHandle> FolderHandle::Adopt(int descriptor) {
    std::unique_ptr<FolderHandle> handle(new FolderHandle());
    handle->fd.reset(descriptor);
    return handle;
}

std::unique_ptr<FolderHandle> FolderHandle::Absent(int error) {
    std::unique_ptr<FolderHandle> handle(new FolderHandle());
    handle->missing = error == ENOENT || error == ENOTDIR;
    return handle;
}

namespace {

QString RealFolderOf(int fd) {
    char buffer[PATH_MAX];
    const QByteArray self = "/proc/self/fd/" + QByteArray::number(fd);
    const ssize_t n = ::readlink(self.constData(), buffer, sizeof buffer);
    if (n <= 0 || n >= static_cast<ssize_t>(sizeof buffer) || buffer[0] != '/')
        return {};
    QString real = DecodeName(QByteArray(buffer, n));
    if (!real.endsWith(u'/'))
        real += u'/';
    return real;
}

} // namespace

QString RealFolderOf(const FolderHandle& folder) {
    return RealFolderOf(folder.Descriptor());
}

namespace {

// Opens the names of path, one at a time, below the open folder start (see FolderOpener).
OpenedFolder OpenNamesBelow(int start, const QByteArray& done, const QByteArray& path,
                            bool create, const QString& realSource, const QString& realTarget,
                            const std::function<unsigned(const QByteArray&)>& folderMode) {
    OpenedFolder opened;
    constexpr int Flags = O_PATH | O_DIRECTORY | O_CLOEXEC;
    UniqueFd current(::openat(start, ".", Flags));
    if (!current) {
        opened.error = errno;
        return opened;
    }
    for (qsizetype from = 0; from < path.size();) {
        qsizetype slash = path.indexOf('/', from);
        if (slash < 0)
            slash = path.size();
        const QByteArray name = path.mid(from, slash - from);
        from = slash + 1;
        if (name.isEmpty() || name == ".")
            continue;
        UniqueFd next(::openat(current.get(), name.constData(), Flags | O_NOFOLLOW));
        if (!next && errno == ENOENT && create) {
            const unsigned mode = folderMode ? folderMode(done + path.left(slash + 1)) : 0700;
            if (::mkdirat(current.get(), name.constData(), mode) != 0 && errno != EEXIST) {
                opened.error = errno;
                return opened;
            }
            next.reset(::openat(current.get(), name.constData(), Flags | O_NOFOLLOW));
        }
        struct stat link {};
        if (!next && (errno == ELOOP || errno == ENOTDIR) && !realTarget.isEmpty() &&
            ::fstatat(current.get(), name.constData(), &link, AT_SYMLINK_NOFOLLOW) == 0 &&
            S_ISLNK(link.st_mode)) {
            // Opened first, then judged by where the open folder is: what the link says
            // may change, the folder held open cannot.
            next.reset(::openat(current.get(), name.constData(), Flags));
            if (next) {
                const QString real = RealFolderOf(next.get());
                if (real.isEmpty()) {
                    opened.error = ELOOP; // no link is followed blind
                    return opened;
                }
                if (!real.startsWith(realTarget)) {
                    opened.leadsTo = real;
                    opened.intoSource = real.startsWith(realSource);
                    return opened;
                }
            }
        }
        if (!next) {
            opened.error = errno;
            return opened;
        }
        current = std::move(next);
    }
    opened.handle = FolderHandle::Adopt(current.release());
    return opened;
}

} // namespace

FolderOpener::FolderOpener(std::unique_ptr<FolderHandle> rootIn, bool createIn,
                           QString realSourceIn, QString realTargetIn)
    : root(std::move(rootIn)), create(createIn), realSource(std::move(realSourceIn)),
      realTarget(std::move(realTargetIn)) {}

OpenedFolder FolderOpener::Open(const QString& relative) {
    QByteArray path = EncodeName(relative);
    if (!path.isEmpty() && !path.endsWith('/'))
        path += '/';
    std::lock_guard lock(mutex);
    // The deepest folder opened lately that holds this one.
    int start = root ? root->Descriptor() : -1;
    qsizetype done = 0;
    for (auto it = recent.crbegin(); it != recent.crend(); ++it) {
        if (it->first.size() > done && path.startsWith(it->first)) {
            start = it->second.get();
            done = it->first.size();
        }
    }
    OpenedFolder opened = OpenNamesBelow(start, path.left(done), path.mid(done), create,
                                         realSource, realTarget, folderMode);
    // Kept open a while: the next folders are mostly its subfolders.
    if (opened.handle && done < path.size()) {
        if (UniqueFd copy(::fcntl(opened.handle->Descriptor(), F_DUPFD_CLOEXEC, 0)); copy) {
            recent.emplace_back(path, std::move(copy));
            // A few: the parent is what a walk needs, and a process with more than 64
            // descriptors open has its table grown, which waits for every thread (RCU).
            constexpr size_t Kept = 4;
            if (recent.size() > Kept)
                recent.pop_front();
        }
    }
    return opened;
}

bool FolderOpener::RootReadable() {
    std::lock_guard lock(mutex);
    if (!root || !root->IsOpen())
        return false;
    const UniqueFd fd(::openat(root->Descriptor(), ".", O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    char buffer[4096];
    return fd && ::syscall(SYS_getdents64, fd.get(), buffer, sizeof buffer) >= 0;
}

FileFacts FolderHandle::Facts(const QByteArray& name, bool followLinks) const {
    struct stat st {};
    if (::fstatat(fd.get(), name.constData(), &st, followLinks ? 0 : AT_SYMLINK_NOFOLLOW) != 0) {
        FileFacts facts;
        facts.systemError = errno;
        return facts;
    }
    return FactsFrom(st);
}

qint64 FileSizeOrError(const QString& path) {
    const FileFacts facts = ReadFileFacts(path);
    return facts.exists ? facts.size : -static_cast<qint64>(facts.Error().number);
}

void SetChangeModeCall(ChangeModeCall call) {
    changeMode = call != nullptr ? call : &::fchmod;
}

bool IsUnfinishedCopyName(const char* name) {
    // ".~vantoro-" + 8 hexadecimal digits + ".part"
    if (std::strncmp(name, ".~vantoro-", 10) != 0 || std::strlen(name) != 23 ||
        std::strcmp(name + 18, ".part") != 0)
        return false;
    for (int i = 10; i < 18; ++i) {
        const char c = name[i];
        if (!((c >= '0' && c <= '9') || (c >= 'a' && c <= 'f')))
            return false;
    }
    return true;
}

bool IsUnfinishedCopyName(const QString& name) {
    return IsUnfinishedCopyName(EncodeName(name).constData());
}

int RemoveUnfinishedCopies(const FolderHandle& folder, const QList<QByteArray>& keep) {
    QList<QByteArray> leftovers;
    ReadDirectoryAt(
        folder.Descriptor(),
        [&leftovers, &keep](const DirectoryEntry& entry) {
            if (entry.kind == EntryKind::File && !entry.isLink &&
                IsUnfinishedCopyName(entry.rawName) && !keep.contains(QByteArray(entry.rawName)))
                leftovers.append(QByteArray(entry.rawName));
            return true;
        },
        false);
    int removed = 0;
    for (const QByteArray& name : leftovers)
        removed += ::unlinkat(folder.Descriptor(), name.constData(), 0) == 0 ? 1 : 0;
    return removed;
}

namespace {

QByteArray TemporaryNameIn(const QByteArray& prefix) {
    return prefix + ".~vantoro-" +
           QByteArray::number(QRandomGenerator::global()->generate(), 16).rightJustified(8, '0') +
           ".part";
}

// Gives a file made with O_TMPFILE its name; 0 or the error. Since Linux 6.10 the descriptor
// itself will do for its opener, which spares the look-up of a path through /proc.
int NameUnnamed(int fd, int folder, const QByteArray& name) {
    static std::atomic<bool> direct{true};
    if (direct) {
        if (::linkat(fd, "", folder, name.constData(), AT_EMPTY_PATH) == 0)
            return 0;
        if (errno != ENOENT && errno != EPERM)
            return errno;
    }
    const QByteArray self = "/proc/self/fd/" + QByteArray::number(fd);
    if (::linkat(AT_FDCWD, self.constData(), folder, name.constData(), AT_SYMLINK_FOLLOW) != 0)
        return errno;
    direct = false; // this kernel needs the path
    return 0;
}

// File times come from the kernel's clock tick (on kernels before 6.13 even right after a
// stat), so a write later in the tick in which a file last changed may leave its times as
// they were: neither the check after the copy nor the next backup would see it. Such a
// file is copied only once that tick has passed. A change time further ahead than two
// ticks is another machine's clock (a network share): waiting would not help.
bool ChangedInThisTick(const struct timespec& changed, const struct timespec& now) {
    static const qint64 tick = [] {
        struct timespec resolution {};
        ::clock_getres(CLOCK_REALTIME_COARSE, &resolution);
        return std::max<qint64>(resolution.tv_nsec, 1'000'000);
    }();
    const auto ns = [](const struct timespec& t) {
        return static_cast<qint64>(t.tv_sec) * 1'000'000'000 + t.tv_nsec;
    };
    return ns(changed) >= ns(now) && ns(changed) <= ns(now) + 2 * tick;
}

// Whether the first size bytes of two open files are the same.
bool SameFirstBytes(int one, int other, qint64 size) {
    constexpr qint64 Chunk = 1024 * 1024;
    std::vector<char> a(static_cast<size_t>(std::min(size, Chunk)));
    std::vector<char> b(a.size());
    const auto fill = [](int fd, std::vector<char>& buffer, qint64 want, qint64 at) {
        for (qint64 got = 0; got < want;) {
            const ssize_t n =
                ::pread(fd, buffer.data() + got, static_cast<size_t>(want - got), at + got);
            if (n < 0 && errno == EINTR)
                continue;
            if (n <= 0)
                return false;
            got += n;
        }
        return true;
    };
    for (qint64 at = 0; at < size; at += Chunk) {
        const qint64 want = std::min(Chunk, size - at);
        if (!fill(one, a, want, at) || !fill(other, b, want, at) ||
            std::memcmp(a.data(), b.data(), static_cast<size_t>(want)) != 0)
            return false;
    }
    return true;
}

// Naming a file that has none goes through /proc; without it, named temporary files serve.
bool ProcFdAvailable() {
    static const bool available = ::access("/proc/self/fd", X_OK) == 0;
    return available;
}

} // namespace

// A complete copy without its name yet: an unnamed file, or one under a temporary name.
struct UnnamedCopy {
    UniqueFd fd;
    bool unnamed = false;
    int targetDir = AT_FDCWD;
    QByteArray targetPrefix;
    QByteArray targetPath;
    QByteArray temporaryName;
    KeepAs keepAs;

    UnnamedCopy() = default;
    UnnamedCopy(const UnnamedCopy&) = delete;
    UnnamedCopy& operator=(const UnnamedCopy&) = delete;
    // Never named: an unnamed file vanishes with its descriptor, a temporary name goes.
    ~UnnamedCopy() {
        fd.reset();
        if (!temporaryName.isEmpty())
            ::unlinkat(targetDir, temporaryName.constData(), 0);
    }

    // Sets copied (and kept) in the outcome, or why not.
    void Name(CopyOutcome& outcome);
};

namespace {

// Records why a copy failed: the error number, in words, and on which side.
CopyOutcome& Failed(CopyOutcome& outcome, CopySide side, int error) {
    outcome.failedSide = side;
    outcome.systemError = error;
    outcome.error = FileErrorFromErrno(error);
    return outcome;
}

// The copy itself. Each place is a folder descriptor and a path relative to it: an open
// folder and a name, or AT_FDCWD and a whole path; the temporary file goes beside the
// target (targetPrefix is the target's folder part of targetName's path, or empty).
CopyOutcome CopyAt(int sourceDir, const QByteArray& sourcePath, int targetDir,
                   const QByteArray& targetPrefix, const QByteArray& targetName,
                   const std::function<bool()>& continueCopy, bool targetMayExist,
                   const KeepAs& keepAs, bool deferName, int sourceFlags = 0,
                   int exactMode = -1) {
    CopyOutcome outcome;
    const QByteArray targetPath = targetPrefix + targetName;
    // Non-blocking, so that a FIFO swapped in for a file cannot hang the copy.
    UniqueFd in(OpenToRead(sourceDir, sourcePath, O_NONBLOCK | sourceFlags));
    if (!in)
        return Failed(outcome, CopySide::Source, errno);
    struct stat st {};
    // Still being written after the wait: its times cannot tell whether the copy holds one
    // version, so the copy's bytes are compared with the file's afterwards.
    bool confirm = false;
    time_t started = 0;
    for (int wait = 0;; ++wait) {
        struct timespec now {};
        ::clock_gettime(CLOCK_REALTIME_COARSE, &now);
        started = now.tv_sec;
        if (::fstat(in.get(), &st) != 0 || !S_ISREG(st.st_mode))
            return Failed(outcome, CopySide::Source, S_ISREG(st.st_mode) ? errno : EINVAL);
        if (!ChangedInThisTick(st.st_ctim, now))
            break;
        if (wait == 50) {
            confirm = true;
            break;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }

    // A target folder that is the source folder under another name, or a hard link: the
    // rename would put a copy in the source file's place.
    struct stat existing {};
    if (targetMayExist &&
        ::fstatat(targetDir, targetPath.constData(), &existing, AT_SYMLINK_NOFOLLOW) == 0 &&
        existing.st_dev == st.st_dev && existing.st_ino == st.st_ino) {
        outcome.sameFile = true;
        return outcome;
    }

    QByteArray temporaryName;
    UniqueFd out;
    // A new file is written without a name and named only when complete: no half-written
    // name ever exists, and nothing is left behind if the program dies. A file that is
    // replaced (its name must change in one step) and file systems that cannot do this use
    // a named temporary file.
    if (!targetMayExist && ProcFdAvailable())
        out.reset(::openat(targetDir, targetPrefix.isEmpty() ? "." : targetPrefix.constData(),
                           O_TMPFILE | O_RDWR | O_CLOEXEC, 0600));
    const bool unnamed = out.valid();
    for (int attempt = 0; !unnamed && attempt < 8 && !out; ++attempt) {
        temporaryName = TemporaryNameIn(targetPrefix);
        out.reset(::openat(targetDir, temporaryName.constData(),
                           O_RDWR | O_CREAT | O_EXCL | O_CLOEXEC, 0600));
        if (!out && errno != EEXIST)
            break;
    }
    if (!out)
        return Failed(outcome, CopySide::Target, errno);
    // Gives up the copy; error 0 when the outcome already says why (changed, cancelled).
    const auto abandon = [&](CopySide side, int error) {
        out.reset();
        if (!temporaryName.isEmpty())
            ::unlinkat(targetDir, temporaryName.constData(), 0);
        return error != 0 ? Failed(outcome, side, error) : outcome;
    };

    DataCopy data(in.get(), out.get(), st.st_size, continueCopy, outcome);
    // Fewer blocks than the size needs: holes to keep (a file without any costs no look for them).
    const bool sparse = static_cast<qint64>(st.st_blocks) * 512 < st.st_size;
    if (!data.Whole(sparse))
        return abandon(data.errorSide, data.error);
    // The copy keeps the source's time and permissions, and stays writable for its owner
    // so that the next backup can replace it. A set-ID bit on a copy owned by somebody else
    // (a backup run as root of a user's file) would hand that user the copy's owner's rights.
    // A set-ID bit given only where the file copied has it too: a recorded mode says nothing
    // of whose program it was.
    unsigned mode = exactMode >= 0 ? static_cast<unsigned>(exactMode) & (01777 | st.st_mode)
                                   : (st.st_mode & 07777) | S_IWUSR;
    if ((mode & (S_ISUID | S_ISGID)) != 0) {
        struct stat copy {};
        if (::fstat(out.get(), &copy) != 0)
            return abandon(CopySide::Target, errno);
        if (copy.st_uid != st.st_uid)
            mode &= ~static_cast<unsigned>(S_ISUID | S_ISGID);
    }
    // Before the check below, which then also sees a change to them during the copy.
    if (const AttributeError attributes =
            CopyExtendedAttributes(in.get(), out.get(), mode, outcome.accessListDropped);
        attributes.number != 0)
        return abandon(attributes.inSource ? CopySide::Source : CopySide::Target,
                       attributes.number);
    // One version of the file, or none: a write during the copy shows in its size or times.
    // A file that only grew (a log) still holds in its first bytes what was copied: then the
    // copy is the file as it was when the copy began.
    struct stat after {};
    if (::fstat(in.get(), &after) != 0)
        return abandon(CopySide::Source, errno);
    const bool written = after.st_size != st.st_size || after.st_mtim.tv_sec != st.st_mtim.tv_sec ||
                         after.st_mtim.tv_nsec != st.st_mtim.tv_nsec ||
                         after.st_ctim.tv_sec != st.st_ctim.tv_sec ||
                         after.st_ctim.tv_nsec != st.st_ctim.tv_nsec;
    if (written || confirm) {
        if (after.st_size < st.st_size || !SameFirstBytes(in.get(), out.get(), st.st_size)) {
            outcome.changed = true;
            return abandon(CopySide::None, 0);
        }
        if (written)
            outcome.grewSince = started;
    }
    // A disk that cannot hold the bits (FAT, exFAT, NTFS) still takes the contents and the
    // time: the copy then keeps the mode it was made with, or what the disk shows.
    const ChangeModeCall setMode = changeMode.load(std::memory_order_relaxed);
    if (setMode(out.get(), mode) != 0) {
        int error = errno;
        if (error == EPERM && (mode & (S_ISUID | S_ISGID)) != 0) {
            mode &= ~static_cast<unsigned>(S_ISUID | S_ISGID);
            outcome.setIdDropped = true;
            error = setMode(out.get(), mode) == 0 ? 0 : errno;
        }
        if (error != 0 && error != EPERM && error != ENOSYS && error != EOPNOTSUPP)
            return abandon(CopySide::Target, error);
        outcome.modeNotKept = error != 0;
    }
    const struct timespec times[2] = {st.st_atim, st.st_mtim};
    if (::futimens(out.get(), times) != 0)
        return abandon(CopySide::Target, errno);
    outcome.unnamed = std::make_shared<UnnamedCopy>();
    UnnamedCopy& copy = *outcome.unnamed;
    copy.fd = std::move(out);
    copy.unnamed = unnamed;
    copy.targetDir = targetDir;
    copy.targetPrefix = targetPrefix;
    copy.targetPath = targetPath;
    copy.temporaryName = temporaryName;
    copy.keepAs = keepAs;
    if (!deferName)
        NameCopy(outcome);
    return outcome;
}

} // namespace

void UnnamedCopy::Name(CopyOutcome& outcome) {
    const auto fail = [&](int error) {
        fd.reset();
        if (!temporaryName.isEmpty())
            ::unlinkat(targetDir, std::exchange(temporaryName, {}).constData(), 0);
        Failed(outcome, CopySide::Target, error);
    };
    if (unnamed) {
        if (const int linkError = NameUnnamed(fd.get(), targetDir, targetPath); linkError != 0) {
            if (linkError != EEXIST)
                return fail(linkError);
            // A file appeared there meanwhile: it is replaced in one step, as any other.
            temporaryName = TemporaryNameIn(targetPrefix);
            if (const int again = NameUnnamed(fd.get(), targetDir, temporaryName); again != 0) {
                temporaryName.clear();
                return fail(again);
            }
        } else {
            if (::close(fd.release()) != 0) {
                // Our own new name, just made: the copy behind it may be incomplete.
                const int closeError = errno;
                ::unlinkat(targetDir, targetPath.constData(), 0);
                return fail(closeError);
            }
            outcome.copied = outcome.madeNew = true;
            return;
        }
    }
    if (::close(fd.release()) != 0)
        return fail(errno);
    // The copy about to be replaced gets its second name only now, when the new one is
    // complete: a cancelled or failed copy keeps no extra version.
    if (!keepAs.name.isEmpty()) {
        struct stat old {};
        if (::fstatat(targetDir, targetPath.constData(), &old, AT_SYMLINK_NOFOLLOW) == 0 &&
            S_ISREG(old.st_mode) &&
            ::linkat(targetDir, targetPath.constData(), keepAs.folder, keepAs.name.constData(),
                     0) != 0) {
            const int linkError = errno;
            const qsizetype slash = keepAs.name.lastIndexOf('/');
            const CopyProgressCounter notCounted(nullptr); // the old copy is not the file's
            const bool copied =
                (linkError == EXDEV || linkError == EPERM || linkError == EMLINK ||
                 linkError == ENOTSUP) &&
                CopyAt(targetDir, targetPath, keepAs.folder, keepAs.name.left(slash + 1),
                       keepAs.name.mid(slash + 1), {}, false, {}, false)
                    .copied;
            if (!copied) {
                outcome.keepFailed = true;
                return fail(linkError);
            }
        }
        outcome.kept = S_ISREG(old.st_mode);
    }
    if (::renameat(targetDir, temporaryName.constData(), targetDir, targetPath.constData()) != 0)
        return fail(errno);
    temporaryName.clear();
    outcome.copied = true;
}

void NameCopy(CopyOutcome& outcome) {
    if (const std::shared_ptr<UnnamedCopy> copy = std::move(outcome.unnamed))
        copy->Name(outcome);
}

CopyOutcome CopySingleFile(const QString& source, const QString& target,
                           const std::function<bool()>& continueCopy, bool targetMayExist,
                           const KeepAs& keepReplacedAs, bool deferName) {
    const qsizetype slash = target.lastIndexOf(u'/');
    return CopyAt(AT_FDCWD, Native(source), AT_FDCWD, Native(target.left(slash + 1)),
                  Native(target.mid(slash + 1)), continueCopy, targetMayExist, keepReplacedAs,
                  deferName);
}

CopyOutcome CopySingleFile(const FolderHandle& sourceFolder, const QByteArray& sourceName,
                           const FolderHandle& targetFolder, const QByteArray& targetName,
                           const std::function<bool()>& continueCopy, bool targetMayExist,
                           const KeepAs& keepReplacedAs, bool deferName) {
    return CopyAt(sourceFolder.Descriptor(), sourceName, targetFolder.Descriptor(), QByteArray(),
                  targetName, continueCopy, targetMayExist, keepReplacedAs, deferName);
}

CopyOutcome CopyUnlinkedFile(const FolderHandle& sourceFolder, const QByteArray& sourceName,
                             const FolderHandle& targetFolder, const QByteArray& targetName,
                             const std::function<bool()>& continueCopy, bool targetMayExist,
                             const KeepAs& keepReplacedAs, int mode) {
    return CopyAt(sourceFolder.Descriptor(), sourceName, targetFolder.Descriptor(), QByteArray(),
                  targetName, continueCopy, targetMayExist, keepReplacedAs, false, O_NOFOLLOW,
                  mode);
}

CopyOutcome CopySingleFile(const QString& source, const FolderHandle& targetFolder,
                           const QByteArray& targetName, const std::function<bool()>& continueCopy,
                           bool targetMayExist, const KeepAs& keepReplacedAs, bool deferName) {
    return CopyAt(AT_FDCWD, Native(source), targetFolder.Descriptor(), QByteArray(), targetName,
                  continueCopy, targetMayExist, keepReplacedAs, deferName);
}

bool IsReadOnly(const FolderHandle& folder, const QByteArray& name) {
    struct stat st {};
    return ::fstatat(folder.Descriptor(), name.constData(), &st, AT_SYMLINK_NOFOLLOW) == 0 &&
           S_ISREG(st.st_mode) && st.st_nlink == 1 && (st.st_mode & S_IWUSR) == 0;
}

bool ClearReadOnly(const FolderHandle& folder, const QByteArray& name) {
    struct stat st {};
    if (::fstatat(folder.Descriptor(), name.constData(), &st, AT_SYMLINK_NOFOLLOW) != 0)
        return false;
    if (!S_ISREG(st.st_mode) || st.st_nlink != 1 || (st.st_mode & S_IWUSR) != 0)
        return true;
    // Should a link have taken the file's place meanwhile, this fails rather than follow it.
    return ::fchmodat(folder.Descriptor(), name.constData(), (st.st_mode & 07777) | S_IWUSR,
                      AT_SYMLINK_NOFOLLOW) == 0;
}

FileError FlushFileSystem(const QString& folder) {
    return FileSystemFlush(folder).Flush();
}

FileSystemFlush::FileSystemFlush(const QString& folder)
    : fd(::open(Native(folder).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC)),
      openError(fd.valid() ? 0 : errno) {}

FileError FileSystemFlush::Flush() const {
    if (!fd)
        return FileErrorFromErrno(openError);
    if (::syncfs(fd.get()) != 0)
        return FileErrorFromErrno(errno);
    return {};
}

CompareOutcome CompareFiles(int sourceFolder, const QByteArray& sourceName, int targetFolder,
                            const QByteArray& targetName,
                            const std::function<bool()>& continueCompare, ListedSizes listed) {
    CompareOutcome outcome;
    UniqueFd source(OpenToRead(sourceFolder, sourceName, O_NONBLOCK));
    if (!source) {
        outcome.error = FileErrorFromErrno(errno);
        return outcome;
    }
    // The copy is the target's own entry: a link there is no copy, whatever it leads to.
    UniqueFd target(OpenToRead(targetFolder, targetName, O_NONBLOCK | O_NOFOLLOW));
    if (!target) {
        outcome.error = FileErrorFromErrno(errno);
        outcome.inTarget = true;
        return outcome;
    }
    // Two buffers a thread, whatever the file's size: memory stays flat. Left unfilled, so
    // that a thread comparing small files touches only the pages it reads into.
    constexpr qint64 Chunk = 4 * 1024 * 1024;
    thread_local const std::unique_ptr<char[]> firstBuffer(new char[Chunk]);
    thread_local const std::unique_ptr<char[]> secondBuffer(new char[Chunk]);
    // This thread's buffers, also where another thread fills one.
    char* const one = firstBuffer.get();
    char* const two = secondBuffer.get();
    // Reads as much as there is, up to the buffer (a short read is not yet the end, unless it
    // reaches the size the file was listed with: had the file grown, the read would have
    // given more); a failure gives the negated error number.
    const auto fill = [](int fd, char* buffer, qint64 left) -> qint64 {
        qint64 got = 0;
        while (got < Chunk) {
            const ssize_t n = ::read(fd, buffer + got, static_cast<size_t>(Chunk - got));
            if (n < 0 && errno == EINTR)
                continue;
            if (n < 0)
                return -errno;
            if (n == 0)
                break;
            got += n;
            if (got == left)
                break;
        }
        return got;
    };
    qint64 size = listed.source;
    if (struct stat st{}; size < 0 && ::fstat(source.get(), &st) == 0)
        size = st.st_size;
    const bool large = size > Chunk;
    // Read-ahead hints pay only where there is much to read: two calls more for every
    // small file would cost more than they save.
    if (large) {
        ::posix_fadvise(source.get(), 0, 0, POSIX_FADV_SEQUENTIAL);
        ::posix_fadvise(target.get(), 0, 0, POSIX_FADV_SEQUENTIAL);
    }
    // One large comparison at a time: a second would make each disk seek between them.
    static std::mutex largeFiles;
    std::unique_lock<std::mutex> oneAtATime(largeFiles, std::defer_lock);
    if (large)
        oneAtATime.lock();
    qint64 offset = 0;
    while (true) {
        // The two files are read at the same time: mostly two disks, the source and the
        // backup, each reading at its own pace.
        std::future<qint64> targetRead;
        try {
            if (large)
                targetRead = std::async(std::launch::async, [&fill, two, fd = target.get(),
                                                             left = listed.target - offset] {
                    return fill(fd, two, left);
                });
        } catch (const std::system_error&) {
            // No thread to be had: one file after the other.
        }
        const qint64 a = fill(source.get(), one, listed.source - offset);
        const qint64 b =
            targetRead.valid() ? targetRead.get() : fill(target.get(), two, listed.target - offset);
        if (a < 0 || b < 0) {
            outcome.error = FileErrorFromErrno(static_cast<int>(a < 0 ? -a : -b));
            outcome.inTarget = a >= 0;
            return outcome;
        }
        const qint64 common = std::min(a, b);
        if (std::memcmp(one, two, static_cast<size_t>(common)) != 0) {
            const auto mismatch = std::mismatch(one, one + common, two);
            outcome.differsAt = offset + (mismatch.first - one);
            outcome.bytes = offset + common;
            return outcome;
        }
        offset += common;
        outcome.bytes = offset;
        if (a != b) {
            outcome.differsAt = offset; // one file ends here, the other goes on
            return outcome;
        }
        if (a < Chunk) {
            // An empty file reads like a pipe or a device with nothing to give: only a
            // regular file is a copy, or the source it was made from.
            struct stat sourceStat {};
            struct stat targetStat {};
            if (offset == 0 && (::fstat(source.get(), &sourceStat) != 0 ||
                                ::fstat(target.get(), &targetStat) != 0 ||
                                !S_ISREG(sourceStat.st_mode) || !S_ISREG(targetStat.st_mode))) {
                outcome.differsAt = 0;
                return outcome;
            }
            outcome.same = true;
            return outcome;
        }
        if (continueCompare && !continueCompare()) {
            outcome.cancelled = true;
            return outcome;
        }
    }
}

CopyProgressCounter::CopyProgressCounter(std::atomic<qint64>* counter) : previous(copyProgress) {
    copyProgress = counter;
}

CopyProgressCounter::~CopyProgressCounter() {
    copyProgress = previous;
}

} // namespace vnt
