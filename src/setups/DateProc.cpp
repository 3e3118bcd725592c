#include "setups/DateProc.h"

#include "platform/TimeZone.h"

#include <cmath>
#include <QDate>

namespace vnt {

qint32 DayNumber(qint32 year, qint32 month, qint32 day) {
    // Fliegel and Van Flandern; C++ division truncates toward zero as the formula needs.
    const qint32 a = (month - 14) / 12;
    return (1461 * (year + 4800 + a)) / 4 + (367 * (month - 2 - 12 * a)) / 12 -
           (3 * ((year + 4900 + a) / 100)) / 4 + day - 32075;
}

qint32 TodayDayNumber() {
    const QDate today = QDate::currentDate();
    return DayNumber(today.year(), today.month(), today.day());
}

bool IsLeapYear(qint32 year) {
    return (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
}

qint32 DaysInMonth(qint32 month, qint32 year) {
    switch (month) {
    case 1:
    case 3:
    case 5:
    case 7:
    case 8:
    case 10:
    case 12:
        return 31;
    case 4:
    case 6:
    case 9:
    case 11:
        return 30;
    case 2:
        return IsLeapYear(year) ? 29 : 28;
    default:
        return 0;
    }
}

qint32 TimeZoneOffsetMinutes(qint32 secondsWestOfUtc) {
    // nearbyint rounds halves to the even number in the default rounding mode.
    return static_cast<qint32>(std::nearbyint(-static_cast<double>(secondsWestOfUtc) / 60.0));
}

qint32 LocalTimeZoneOffset() {
    return TimeZoneOffsetMinutes(get_timezone());
}

} // namespace vnt
