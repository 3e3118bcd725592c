#include "backup/FileTimes.h"

#include "platform/Names.h"
#include "report/StrProc.h"
#include "setups/DateProc.h"

#include <cerrno>
#include <cstdlib>
#include <ctime>
#include <QStringList>
#include <sys/stat.h>

namespace vnt {

namespace {

QString Padded(int value, int width) {
    return QStringLiteral("%1").arg(value, width, 10, QLatin1Char('0'));
}

struct Stat {
    struct stat st {};
    int errnoValue = 0;
};

Stat StatFile(const QString& path) {
    Stat result;
    const QByteArray native = EncodeName(path);
    if (native.isEmpty() || ::stat(native.constData(), &result.st) != 0)
        result.errnoValue = native.isEmpty() ? ENOENT : errno;
    return result;
}

// The UTC calendar fields of a last-write time in seconds.
bool UtcFields(time_t seconds, CalendarTime& time) {
    struct tm utc {};
    if (gmtime_r(&seconds, &utc) == nullptr)
        return false;
    time = {utc.tm_year + 1900, utc.tm_mon + 1, utc.tm_mday, utc.tm_hour, utc.tm_min, utc.tm_sec};
    return true;
}

bool ReadUtcFields(const QString& path, CalendarTime& time, int& error) {
    const Stat file = StatFile(path);
    if (file.errnoValue != 0) {
        error = TimeReadError::CannotOpen;
        return false;
    }
    if (!UtcFields(file.st.st_mtim.tv_sec, time)) {
        error = TimeReadError::CannotReadTimes;
        return false;
    }
    error = TimeReadError::None;
    return true;
}

// The numeric value of a piece of text; 0 for an empty or non-numeric one.
int NumericValue(const QString& text, qsizetype from, qsizetype length) {
    bool ok = false;
    const int value = text.mid(from, length).toInt(&ok);
    return ok ? value : 0;
}

} // namespace

void RoundToMinute(CalendarTime& time) {
    const bool mayEndMonth = (time.month == 2 && time.day >= 28) || time.day >= 30;
    if (time.second > 30 && !(time.hour == 23 && time.minute == 59 && mayEndMonth)) {
        if (++time.minute == 60) {
            time.minute = 0;
            if (++time.hour == 24) {
                time.hour = 0;
                ++time.day;
            }
        }
    }
    time.second = 0;
}

qint32 MinuteOfMonth(const CalendarTime& time) {
    return (time.day - 1) * 1440 + time.hour * 60 + time.minute;
}

void AddZoneOffset(CalendarTime& time, qint32 offsetMinutes) {
    if (offsetMinutes == 0)
        return;
    if (offsetMinutes < 0) {
        --time.day;
        offsetMinutes += 1440;
    }
    time.minute += offsetMinutes;
    if (time.minute >= 60) {
        time.hour += time.minute / 60;
        time.minute %= 60;
        if (time.hour > 23) {
            time.day += time.hour / 24;
            time.hour %= 24;
        }
    }
    if (time.day != 0 && time.day > DaysInMonth(time.month, time.year)) {
        time.day = 1;
        if (++time.month > 12) {
            time.month = 1;
            ++time.year;
        }
    }
    if (time.day == 0) {
        if (time.month == 1) {
            time.month = 12;
            --time.year;
            time.day = 31;
        } else {
            --time.month;
            time.day = DaysInMonth(time.month, time.year);
        }
    }
}

QString LocalMinuteText(const CalendarTime& time) {
    return Padded(time.year, 4) + u'-' + Padded(time.month, 2) + u'-' + Padded(time.day, 2) + u' ' +
           Padded(time.hour, 2) + u':' + Padded(time.minute, 2);
}

QString UtcSecondText(const CalendarTime& time) {
    return LocalMinuteText(time) + u':' + Padded(time.second, 2);
}

LastWriteTime ReadLastWriteTime(const QString& path) {
    LastWriteTime result;
    CalendarTime time;
    if (!ReadUtcFields(path, time, result.error))
        return result;
    result.text = UtcSecondText(time);
    RoundToMinute(time);
    result.minuteOfMonth = MinuteOfMonth(time);
    return result;
}

LastWriteTime ReadLocalLastWriteTime(const QString& path, qint32 zoneOffsetMinutes) {
    LastWriteTime result;
    CalendarTime time;
    if (!ReadUtcFields(path, time, result.error))
        return result;
    RoundToMinute(time);
    AddZoneOffset(time, zoneOffsetMinutes);
    result.text = LocalMinuteText(time);
    return result;
}

LastWriteTime ReadLocalLastWriteTime(const QString& path) {
    return ReadLocalLastWriteTime(path, LocalTimeZoneOffset());
}

bool IsWithinModifiedSinceWindow(const QString& path, qint32 periodDays, qint32 todayDayNumber) {
    if (periodDays < 0)
        return true;
    const QString text = ReadLocalLastWriteTime(path).text;
    const qint32 fileDay =
        DayNumber(NumericValue(text, 0, 4), NumericValue(text, 5, 2), NumericValue(text, 8, 2));
    return periodDays >= todayDayNumber - fileDay;
}

bool IsWithinModifiedSinceWindow(qint64 lastWriteSeconds, qint32 periodDays, qint32 todayDayNumber,
                                 qint32 zoneOffsetMinutes) {
    if (periodDays < 0)
        return true;
    CalendarTime time;
    if (!UtcFields(static_cast<time_t>(lastWriteSeconds), time))
        return false; // an unreadable time lies far in the past
    RoundToMinute(time);
    AddZoneOffset(time, zoneOffsetMinutes);
    return periodDays >= todayDayNumber - DayNumber(time.year, time.month, time.day);
}

ModifiedVerdict JudgeFileModified(qint64 sourceSize, qint64 sourceSeconds, qint64 targetSize,
                                  qint64 targetSeconds) {
    using Reason = ModifiedVerdict::Reason;
    ModifiedVerdict verdict;
    verdict.sourceSize = sourceSize;
    verdict.targetSize = targetSize;
    verdict.seconds = sourceSeconds - targetSeconds;
    const auto beyondTolerance = [&] {
        verdict.modified = true;
        verdict.reason = verdict.seconds > 0 ? Reason::SourceNewer : Reason::TargetNewer;
        verdict.minutes =
            static_cast<qint32>(std::min<qint64>((std::abs(verdict.seconds) + 30) / 60, INT32_MAX));
        return verdict;
    };
    if (sourceSize != targetSize) {
        verdict.modified = true;
        verdict.reason = Reason::Sizes;
        return verdict;
    }
    // The UTC texts without their seconds are equal exactly when both times fall in the
    // same whole minute; that is the common case and needs no calendar.
    const auto minute = [](qint64 seconds) {
        return seconds >= 0 ? seconds / 60 : -((-seconds + 59) / 60);
    };
    if (minute(sourceSeconds) == minute(targetSeconds))
        return verdict;
    CalendarTime sourceTime;
    CalendarTime targetTime;
    if (!UtcFields(static_cast<time_t>(sourceSeconds), sourceTime) ||
        !UtcFields(static_cast<time_t>(targetSeconds), targetTime)) {
        verdict.reason = Reason::TimesUnreadable;
        return verdict;
    }
    const bool sameMonth =
        sourceTime.year == targetTime.year && sourceTime.month == targetTime.month;
    RoundToMinute(sourceTime);
    RoundToMinute(targetTime);
    // A one-minute jitter and whole half-hour shifts of up to eight hours (time zones and
    // daylight saving between file systems) are absorbed, but only within one month.
    const auto tolerable = [](qint32 minutes) {
        return minutes < 2 || (minutes % 30 == 0 && minutes <= 480);
    };
    if (!sameMonth) {
        // Within one month such a difference would be tolerated: the reason says why not.
        const auto calendarMinute = [](const CalendarTime& t) {
            return static_cast<qint64>(DayNumber(t.year, t.month, t.day)) * 1440 + t.hour * 60 +
                   t.minute;
        };
        const qint64 apart = std::abs(calendarMinute(sourceTime) - calendarMinute(targetTime));
        verdict.acrossMonthStart = apart <= 480 && tolerable(static_cast<qint32>(apart));
        return beyondTolerance();
    }
    const qint32 difference = std::abs(MinuteOfMonth(sourceTime) - MinuteOfMonth(targetTime));
    verdict.minutes = difference;
    if (difference < 2)
        verdict.reason = Reason::Jitter;
    else if (tolerable(difference))
        verdict.reason = Reason::ZoneShift;
    else
        return beyondTolerance();
    return verdict;
}

bool IsFileModified(qint64 sourceSize, qint64 sourceSeconds, qint64 targetSize,
                    qint64 targetSeconds) {
    return JudgeFileModified(sourceSize, sourceSeconds, targetSize, targetSeconds).modified;
}

namespace {

// "3 h 12 min", "2 days", "1 day 4 h".
QString Duration(qint64 minutes) {
    QStringList parts;
    if (const qint64 days = minutes / 1440; days > 0)
        parts.append(QStringLiteral("%1 %2").arg(days).arg(days == 1 ? QStringLiteral("day")
                                                                     : QStringLiteral("days")));
    if (const qint64 hours = minutes % 1440 / 60; hours > 0)
        parts.append(QStringLiteral("%1 h").arg(hours));
    if (const qint64 rest = minutes % 60; rest > 0 || parts.isEmpty())
        parts.append(QStringLiteral("%1 min").arg(rest));
    return parts.join(u' ');
}

} // namespace

QString VerdictText(const ModifiedVerdict& verdict) {
    using Reason = ModifiedVerdict::Reason;
    using Contents = ModifiedVerdict::Contents;
    if (verdict.contents != Contents::NotCompared) {
        const qint64 seconds = std::abs(verdict.seconds);
        const QString difference = verdict.reason == Reason::ZoneShift
                                       ? QStringLiteral("exactly ") + Duration(verdict.minutes)
                                   : seconds < 60 ? QStringLiteral("%1 s").arg(seconds)
                                                  : Duration(std::max<qint64>(verdict.minutes, 1));
        return QStringLiteral("times differ by ") + difference +
               (verdict.contents == Contents::Same     ? QStringLiteral(", contents the same")
                : verdict.contents == Contents::Differ ? QStringLiteral(", contents differ")
                                                       : QStringLiteral(", contents could not be "
                                                                        "compared"));
    }
    switch (verdict.reason) {
    case Reason::SameMinute:
        return {};
    case Reason::Sizes:
        return QStringLiteral("size %1 -> %2 bytes")
            .arg(FormatCount(static_cast<double>(verdict.targetSize)),
                 FormatCount(static_cast<double>(verdict.sourceSize)));
    case Reason::SourceNewer:
    case Reason::TargetNewer: {
        const QString newer = verdict.reason == Reason::SourceNewer
                                  ? QStringLiteral("source newer by ")
                                  : QStringLiteral("target newer by ");
        if (!verdict.acrossMonthStart)
            return newer + Duration(verdict.minutes);
        const qint64 seconds = std::abs(verdict.seconds);
        return newer +
               (seconds < 60 ? QStringLiteral("%1 s").arg(seconds) : Duration(verdict.minutes)) +
               QStringLiteral(" across the start of a month");
    }
    case Reason::Jitter:
        return verdict.minutes == 0 ? QStringLiteral("times differ by %1 s, taken as jitter")
                                          .arg(std::abs(verdict.seconds))
                                    : QStringLiteral("times differ by 1 min, taken as jitter");
    case Reason::ZoneShift:
        return QStringLiteral("times differ by exactly ") + Duration(verdict.minutes) +
               QStringLiteral(", taken as a time-zone shift");
    case Reason::TimesUnreadable:
        return QStringLiteral("times could not be read, taken as unchanged");
    case Reason::DiskTime:
        return QStringLiteral("the target's disk cannot hold the source's time");
    }
    return {};
}

bool IsFileModified(const QString& sourcePath, const QString& targetPath, FileError* sizeError) {
    const Stat source = StatFile(sourcePath);
    const Stat target = StatFile(targetPath);
    if (source.errnoValue != 0 || target.errnoValue != 0) {
        if (sizeError != nullptr)
            *sizeError =
                FileErrorFromErrno(source.errnoValue != 0 ? source.errnoValue : target.errnoValue);
        return false;
    }
    return IsFileModified(source.st.st_size, source.st.st_mtim.tv_sec, target.st.st_size,
                          target.st.st_mtim.tv_sec);
}

} // namespace vnt
