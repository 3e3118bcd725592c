#pragma once
// Last-write times at minute precision: the modified-since window and the test whether a
// source file differs from its copy in the target.

#include "platform/FileErrors.h"

#include <QString>

namespace vnt {

struct CalendarTime {
    int year = 0;
    int month = 0; // 1-12
    int day = 0;
    int hour = 0; // 0-23
    int minute = 0;
    int second = 0;
};

// Error codes of the time readers.
namespace TimeReadError {
constexpr int None = 0;
constexpr int CannotOpen = -1;
constexpr int CannotReadTimes = -2;
} // namespace TimeReadError

// Rounds up from second 31 on, except at 23:59 on a day that may end its month, so the
// month never changes; the second becomes 0.
void RoundToMinute(CalendarTime& time);
// (day - 1) * 1440 + hour * 60 + minute.
qint32 MinuteOfMonth(const CalendarTime& time);
// Adds a time-zone offset in minutes (less than a day either way), carrying into the
// day, month and year.
void AddZoneOffset(CalendarTime& time, qint32 offsetMinutes);
// "YYYY-MM-DD hh:mm" and "YYYY-MM-DD hh:mm:ss".
QString LocalMinuteText(const CalendarTime& time);
QString UtcSecondText(const CalendarTime& time);

struct LastWriteTime {
    QString text;             // empty on an error
    qint32 minuteOfMonth = 0; // of the rounded time (UTC reader only)
    int error = TimeReadError::None;
};

// UTC second text (before rounding) and the minute of month of the rounded time.
LastWriteTime ReadLastWriteTime(const QString& path);
// Local minute text of the rounded time, shifted by the given zone offset in minutes.
LastWriteTime ReadLocalLastWriteTime(const QString& path, qint32 zoneOffsetMinutes);
// The same with the time zone in force now.
LastWriteTime ReadLocalLastWriteTime(const QString& path);

// True when the file's local last-write date lies at most periodDays before today (future
// dates included). A negative period means no restriction.
bool IsWithinModifiedSinceWindow(const QString& path, qint32 periodDays, qint32 todayDayNumber);

// True when the sizes differ, or the last-write times differ beyond a one-minute jitter and
// whole half-hour shifts of up to eight hours within one month. False when a time cannot
// be read. When a size cannot be read the result is false and sizeError says why.
bool IsFileModified(const QString& sourcePath, const QString& targetPath,
                    FileError* sizeError = nullptr);

// The same tests on times and sizes already read (seconds since the epoch, UTC).
bool IsWithinModifiedSinceWindow(qint64 lastWriteSeconds, qint32 periodDays, qint32 todayDayNumber,
                                 qint32 zoneOffsetMinutes);
bool IsFileModified(qint64 sourceSize, qint64 sourceSeconds, qint64 targetSize,
                    qint64 targetSeconds);

// The same decision with its reason, so that what a report says about a file is what
// decided it.
struct ModifiedVerdict {
    enum class Reason {
        SameMinute,  // unchanged: both times in one whole minute
        Sizes,       // modified: the sizes differ
        SourceNewer, // modified: the times differ beyond every tolerance
        TargetNewer,
        Jitter,    // unchanged: the times differ by at most a minute
        ZoneShift, // unchanged: whole half hours up to eight hours within a month
        TimesUnreadable,
        DiskTime, // unchanged: the target's disk cannot hold the source's time
    };
    bool modified = false;
    Reason reason = Reason::SameMinute;
    qint64 sourceSize = 0;
    qint64 targetSize = 0;
    qint64 seconds = 0; // source time minus target time
    qint32 minutes = 0; // the difference the tolerances looked at, in whole minutes
    // Modified only because the times lie in two months: within one they would be tolerated.
    bool acrossMonthStart = false;
    // A time difference that the tolerances passed over: where a real edit could hide.
    bool Tolerated() const {
        return reason == Reason::Jitter || reason == Reason::ZoneShift ||
               reason == Reason::DiskTime;
    }
    // Taken as unchanged although the times differ by 2 s or more: only the contents can
    // tell a clock shift from a same-size edit.
    bool NeedsSecondLook() const {
        return !modified && sourceSize == targetSize && (seconds >= 2 || seconds <= -2);
    }
    // What that second look found; modified follows it.
    enum class Contents { NotCompared, Same, Differ, Unreadable };
    Contents contents = Contents::NotCompared;
    void SetContents(Contents found) {
        if (found == Contents::NotCompared)
            return;
        contents = found;
        modified = found != Contents::Same;
    }
};
ModifiedVerdict JudgeFileModified(qint64 sourceSize, qint64 sourceSeconds, qint64 targetSize,
                                  qint64 targetSeconds);
// "size 1,234 -> 1,240 bytes", "source newer by 3 h 12 min", "times differ by 1 min, taken
// as jitter", "times differ by exactly 1 h, contents differ" ...; empty when the times are
// less than 2 s apart in one minute.
QString VerdictText(const ModifiedVerdict& verdict);

} // namespace vnt
