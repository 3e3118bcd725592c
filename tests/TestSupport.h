#pragma once
// Small helpers shared by the tests: files with chosen contents and times, and the
// process's time zone.

#include <optional>
#include <QByteArray>
#include <QString>
#include <string>

namespace vnt::test {

// Writes bytes to path (creating or truncating it); fails the test on error.
void WriteFile(const QString& path, const QByteArray& bytes);

// The whole file, or "<missing>" when it cannot be read.
QByteArray ReadAll(const QString& path);

// Sets the file's last-write time to the given UTC calendar time.
void SetLastWriteUtc(const QString& path, int year, int month, int day, int hour, int minute,
                     int second);

// Sets TZ for the process while it lives, then puts the previous value back.
class ScopedTimeZone {
public:
    explicit ScopedTimeZone(const char* tz);
    ~ScopedTimeZone();
    ScopedTimeZone(const ScopedTimeZone&) = delete;
    ScopedTimeZone& operator=(const ScopedTimeZone&) = delete;

private:
    std::optional<std::string> previous;
};

// Sets an environment variable for the process (and the programs it starts) while it
// lives, then puts the previous value back.
class ScopedEnvironment {
public:
    ScopedEnvironment(const char* name, const char* value);
    ~ScopedEnvironment();
    ScopedEnvironment(const ScopedEnvironment&) = delete;
    ScopedEnvironment& operator=(const ScopedEnvironment&) = delete;

private:
    std::string name;
    std::optional<std::string> previous;
};

} // namespace vnt::test

#include <functional>

namespace vnt::test {

// Runs check in a child process without root's privileges (as "nobody" when the tests run
// as root) and returns the child's exit status; permission checks apply there.
int RunWithoutPrivileges(const std::function<int()>& check);

// Makes a folder (and the folders above it up to the temporary one) reachable by others.
void OpenForOthers(const QString& path);

} // namespace vnt::test

#include <ostream>
#include <QString>

// Failed comparisons show texts as text.
inline void PrintTo(const QString& text, std::ostream* os) {
    *os << '"' << text.toStdString() << '"';
}

#include <QStringList>

namespace vnt::test {

// Every entry below root, by its bytes: inode, mode, owner, size, modification time and a
// hash of the contents (or a link's text). Equal snapshots mean nothing was touched.
QString TreeSnapshot(const QString& root);

} // namespace vnt::test
