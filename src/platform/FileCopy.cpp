#include "platform/FileCopy.h"

#include "platform/Directory.h"

#include <cerrno>
#include <fcntl.h>
#include <QFile>
#include <QRandomGenerator>
#include <QRegularExpression>
#include <sys/stat.h>
#include <unistd.h>

namespace vnt {

namespace {

constexpr size_t ChunkBytes = 8 * 1024 * 1024;

QByteArray Native(const QString& path) {
    return QFile::encodeName(path);
}

// Closes a descriptor when it goes out of scope.
struct Fd {
    int fd = -1;
    explicit Fd(int f) : fd(f) {}
    ~Fd() {
        if (fd >= 0)
            ::close(fd);
    }
    Fd(const Fd&) = delete;
    Fd& operator=(const Fd&) = delete;
    int release() { return std::exchange(fd, -1); }
};

bool CopyData(int in, int out, qint64 size, const std::function<bool()>& continueCopy,
              bool& cancelled, int& error) {
    bool kernelCopy = true;
    std::vector<char> buffer;
    qint64 done = 0;
    while (true) {
        ssize_t n = 0;
        if (kernelCopy) {
            n = ::copy_file_range(in, nullptr, out, nullptr, ChunkBytes, 0);
            if (n < 0 && (errno == EXDEV || errno == ENOSYS || errno == EOPNOTSUPP ||
                          errno == EINVAL || errno == EPERM)) {
                kernelCopy = false; // this file system pair needs a plain copy
                continue;
            }
        } else {
            if (buffer.empty())
                buffer.resize(1024 * 1024);
            n = ::read(in, buffer.data(), buffer.size());
            if (n > 0) {
                for (ssize_t written = 0; written < n;) {
                    const ssize_t w =
                        ::write(out, buffer.data() + written, static_cast<size_t>(n - written));
                    if (w < 0) {
                        if (errno == EINTR)
                            continue;
                        error = errno;
                        return false;
                    }
                    written += w;
                }
            }
        }
        if (n < 0) {
            if (errno == EINTR)
                continue;
            error = errno;
            return false;
        }
        if (n == 0)
            return true;
        done += n;
        if (done < size && continueCopy && !continueCopy()) {
            cancelled = true;
            return false;
        }
    }
}

} // namespace

FileFacts ReadFileFacts(const QString& path) {
    FileFacts facts;
    struct stat st {};
    if (path.isEmpty() || ::stat(Native(path).constData(), &st) != 0) {
        facts.error = FileErrorFromErrno(path.isEmpty() ? ENOENT : errno);
        return facts;
    }
    facts.exists = true;
    facts.regular = S_ISREG(st.st_mode);
    facts.directory = S_ISDIR(st.st_mode);
    facts.size = st.st_size;
    facts.mtimeSeconds = st.st_mtim.tv_sec;
    facts.mode = st.st_mode & 07777;
    return facts;
}

bool IsUnfinishedCopyName(const QString& name) {
    static const QRegularExpression pattern(QStringLiteral("^\\.~vantoro-[0-9a-f]{8}\\.part$"));
    return pattern.match(name).hasMatch();
}

int RemoveUnfinishedCopies(const QString& folder) {
    const QString base = folder.endsWith(u'/') ? folder : folder + u'/';
    QStringList leftovers;
    ReadDirectory(base, [&leftovers](const DirectoryEntry& entry) {
        if (entry.kind == EntryKind::File && !entry.isLink && IsUnfinishedCopyName(entry.name))
            leftovers.append(entry.name);
        return true;
    });
    int removed = 0;
    for (const QString& name : leftovers)
        removed += ::unlink(Native(base + name).constData()) == 0 ? 1 : 0;
    return removed;
}

CopyOutcome CopyFileSafely(const QString& source, const QString& target,
                           const std::function<bool()>& continueCopy) {
    CopyOutcome outcome;
    // Non-blocking, so that a FIFO swapped in for a file cannot hang the copy.
    Fd in(::open(Native(source).constData(), O_RDONLY | O_CLOEXEC | O_NONBLOCK));
    if (in.fd < 0) {
        outcome.error = FileErrorFromErrno(errno);
        return outcome;
    }
    struct stat st {};
    if (::fstat(in.fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        outcome.error = FileErrorFromErrno(S_ISREG(st.st_mode) ? errno : EINVAL);
        return outcome;
    }

    const qsizetype slash = target.lastIndexOf(u'/');
    const QString folder = target.left(slash + 1);
    QString temporary;
    int outFd = -1;
    for (int attempt = 0; attempt < 8 && outFd < 0; ++attempt) {
        temporary =
            folder + QStringLiteral(".~vantoro-%1.part")
                         .arg(QRandomGenerator::global()->generate(), 8, 16, QLatin1Char('0'));
        outFd =
            ::open(Native(temporary).constData(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
        if (outFd < 0 && errno != EEXIST)
            break;
    }
    if (outFd < 0) {
        outcome.error = FileErrorFromErrno(errno);
        return outcome;
    }
    Fd out(outFd);
    const QByteArray temporaryName = Native(temporary);
    const auto abandon = [&](int error) {
        ::close(out.release());
        ::unlink(temporaryName.constData());
        if (error != 0)
            outcome.error = FileErrorFromErrno(error);
        return outcome;
    };

    int error = 0;
    if (!CopyData(in.fd, out.fd, st.st_size, continueCopy, outcome.cancelled, error))
        return abandon(error);
    // The copy keeps the source's time and permissions, and stays writable for its owner
    // so that the next backup can replace it.
    const struct timespec times[2] = {st.st_atim, st.st_mtim};
    if (::fchmod(out.fd, (st.st_mode & 07777) | S_IWUSR) != 0 || ::futimens(out.fd, times) != 0)
        return abandon(errno);
    if (::close(out.release()) != 0) {
        error = errno;
        ::unlink(temporaryName.constData());
        outcome.error = FileErrorFromErrno(error);
        return outcome;
    }
    if (::rename(temporaryName.constData(), Native(target).constData()) != 0) {
        error = errno;
        ::unlink(temporaryName.constData());
        outcome.error = FileErrorFromErrno(error);
        return outcome;
    }
    outcome.copied = true;
    return outcome;
}

bool IsReadOnly(const QString& path) {
    struct stat st {};
    return ::stat(Native(path).constData(), &st) == 0 && (st.st_mode & S_IWUSR) == 0;
}

bool ClearReadOnly(const QString& path) {
    struct stat st {};
    if (::stat(Native(path).constData(), &st) != 0)
        return false;
    if ((st.st_mode & S_IWUSR) != 0)
        return true;
    return ::chmod(Native(path).constData(), (st.st_mode & 07777) | S_IWUSR) == 0;
}

} // namespace vnt
