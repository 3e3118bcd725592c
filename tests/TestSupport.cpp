#include "TestSupport.h"

#include "platform/Names.h"

#include <cstdlib>
#include <ctime>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <QFile>
#include <QFileInfo>
#include <sys/stat.h>
#include <unistd.h>

namespace vnt::test {

void WriteFile(const QString& path, const QByteArray& bytes) {
    // Through the program's own name codec, so that names that are not UTF-8 work too.
    const int fd =
        ::open(EncodeName(path).constData(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    ASSERT_GE(fd, 0) << path.toStdString();
    ASSERT_EQ(::write(fd, bytes.constData(), static_cast<size_t>(bytes.size())), bytes.size());
    ::close(fd);
}

QByteArray ReadAll(const QString& path) {
    QFile file;
    const int fd = ::open(EncodeName(path).constData(), O_RDONLY | O_CLOEXEC);
    if (fd < 0 || !file.open(fd, QIODevice::ReadOnly, QFileDevice::AutoCloseHandle))
        return QByteArray("<missing>");
    return file.readAll();
}

void SetLastWriteUtc(const QString& path, int year, int month, int day, int hour, int minute,
                     int second) {
    struct tm utc {};
    utc.tm_year = year - 1900;
    utc.tm_mon = month - 1;
    utc.tm_mday = day;
    utc.tm_hour = hour;
    utc.tm_min = minute;
    utc.tm_sec = second;
    const struct timespec times[2] = {{timegm(&utc), 0}, {timegm(&utc), 0}};
    ASSERT_EQ(utimensat(AT_FDCWD, QFile::encodeName(path).constData(), times, 0), 0);
}

ScopedTimeZone::ScopedTimeZone(const char* tz) {
    if (const char* old = std::getenv("TZ"))
        previous = old;
    setenv("TZ", tz, 1);
    tzset();
}

ScopedTimeZone::~ScopedTimeZone() {
    if (previous)
        setenv("TZ", previous->c_str(), 1);
    else
        unsetenv("TZ");
    tzset();
}

ScopedEnvironment::ScopedEnvironment(const char* nameIn, const char* value) : name(nameIn) {
    if (const char* old = std::getenv(nameIn))
        previous = old;
    setenv(nameIn, value, 1);
}

ScopedEnvironment::~ScopedEnvironment() {
    if (previous)
        setenv(name.c_str(), previous->c_str(), 1);
    else
        unsetenv(name.c_str());
}

} // namespace vnt::test

#include <grp.h>
#include <QDir>
#include <sys/wait.h>
#include <unistd.h>

namespace vnt::test {

int RunWithoutPrivileges(const std::function<int()>& check) {
    const pid_t child = fork();
    if (child == 0) {
        if (getuid() == 0) {
            constexpr uid_t nobody = 65534;
            if (setgroups(0, nullptr) != 0 || setgid(nobody) != 0 || setuid(nobody) != 0)
                _exit(99);
        }
        _exit(check());
    }
    int status = 0;
    waitpid(child, &status, 0);
    return WIFEXITED(status) ? WEXITSTATUS(status) : 98;
}

void OpenForOthers(const QString& path) {
    for (QString p = path; p.startsWith(QDir::tempPath()) && p.size() > QDir::tempPath().size();
         p = QFileInfo(p).path())
        chmod(QFile::encodeName(p).constData(), 0755);
}

} // namespace vnt::test

#include <dirent.h>
#include <QCryptographicHash>

namespace vnt::test {

namespace {

void SnapshotInto(const QByteArray& folder, const QByteArray& relative, QStringList& rows) {
    DIR* dir = ::opendir(folder.constData());
    if (dir == nullptr)
        return;
    while (const dirent* entry = ::readdir(dir)) {
        const QByteArray name(entry->d_name);
        if (name == "." || name == "..")
            continue;
        const QByteArray path = folder + '/' + name;
        struct stat st {};
        if (::lstat(path.constData(), &st) != 0)
            continue;
        QByteArray content;
        if (S_ISREG(st.st_mode)) {
            QFile file;
            const int fd = ::open(path.constData(), O_RDONLY | O_CLOEXEC);
            if (fd >= 0 && file.open(fd, QIODevice::ReadOnly, QFileDevice::AutoCloseHandle))
                content =
                    QCryptographicHash::hash(file.readAll(), QCryptographicHash::Sha1).toHex();
        } else if (S_ISLNK(st.st_mode)) {
            char text[4096];
            const ssize_t n = ::readlink(path.constData(), text, sizeof text);
            content = QByteArray(text, n > 0 ? static_cast<qsizetype>(n) : 0);
        }
        rows.append(QStringLiteral("%1 ino=%2 mode=%3 uid=%4 size=%5 mtime=%6.%7 %8")
                        .arg(DecodeName(relative + name))
                        .arg(st.st_ino)
                        .arg(st.st_mode, 0, 8)
                        .arg(st.st_uid)
                        .arg(st.st_size)
                        .arg(st.st_mtim.tv_sec)
                        .arg(st.st_mtim.tv_nsec)
                        .arg(QString::fromLatin1(content.toHex())));
        if (S_ISDIR(st.st_mode))
            SnapshotInto(path, relative + name + '/', rows);
    }
    ::closedir(dir);
}

} // namespace

QString TreeSnapshot(const QString& root) {
    QStringList rows;
    SnapshotInto(EncodeName(root), QByteArray(), rows);
    rows.sort();
    return rows.join(u'\n');
}

} // namespace vnt::test
