#pragma once
// Calendar arithmetic shared by the modified-since test and the file-time readers.

#include <QtGlobal>

namespace vnt {

// Julian day number of a Gregorian date (2000-01-01 gives 2451545).
qint32 DayNumber(qint32 year, qint32 month, qint32 day);
// The day number of the current local date.
qint32 TodayDayNumber();
bool IsLeapYear(qint32 year);
// 28 to 31; 0 for a month outside 1 to 12.
qint32 DaysInMonth(qint32 month, qint32 year);

// Minutes to add to UTC to get local time, from a get_timezone value (halves to even).
qint32 TimeZoneOffsetMinutes(qint32 secondsWestOfUtc);
// The same for the time zone in force now.
qint32 LocalTimeZoneOffset();

} // namespace vnt
