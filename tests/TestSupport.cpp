#include "TestSupport.h"

#include <cstdlib>
#include <ctime>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <QFile>
#include <QFileInfo>
#include <sys/stat.h>

namespace vnt::test {

void WriteFile(const QString& path, const QByteArray& bytes) {
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate)) << path.toStdString();
    ASSERT_EQ(file.write(bytes), bytes.size());
}

QByteArray ReadAll(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<missing>");
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
