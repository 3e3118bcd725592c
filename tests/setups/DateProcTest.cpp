#include "setups/DateProc.h"

#include "TestSupport.h"

#include <gtest/gtest.h>
#include <QDate>

namespace vnt {
namespace {

TEST(DateProc, DayNumbers) {
    EXPECT_EQ(DayNumber(2000, 1, 1), 2451545);
    EXPECT_EQ(DayNumber(1600, 3, 1) - DayNumber(1600, 2, 29), 1);
    EXPECT_EQ(DayNumber(1900, 3, 1) - DayNumber(1900, 2, 28), 1);
    EXPECT_EQ(DayNumber(2024, 1, 1) - DayNumber(2023, 12, 31), 1);
    // The formula agrees with Qt's Julian day over centuries of dates.
    for (QDate d(1601, 1, 1); d.year() < 2400; d = d.addDays(97))
        ASSERT_EQ(DayNumber(d.year(), d.month(), d.day()), d.toJulianDay())
            << d.toString().toStdString();
    EXPECT_EQ(TodayDayNumber(), QDate::currentDate().toJulianDay());
    EXPECT_LT(DayNumber(0, 0, 0), DayNumber(1900, 1, 1)) << "an unreadable date lies far back";
}

TEST(DateProc, LeapYearsAndMonthLengths) {
    EXPECT_TRUE(IsLeapYear(2000));
    EXPECT_TRUE(IsLeapYear(2024));
    EXPECT_FALSE(IsLeapYear(2100));
    EXPECT_FALSE(IsLeapYear(2023));
    EXPECT_EQ(DaysInMonth(2, 2000), 29);
    EXPECT_EQ(DaysInMonth(2, 2100), 28);
    EXPECT_EQ(DaysInMonth(1, 2023), 31);
    EXPECT_EQ(DaysInMonth(4, 2023), 30);
    EXPECT_EQ(DaysInMonth(12, 2023), 31);
    EXPECT_EQ(DaysInMonth(13, 2023), 0);
    EXPECT_EQ(DaysInMonth(0, 2023), 0);
}

TEST(DateProc, TimeZoneOffset) {
    EXPECT_EQ(TimeZoneOffsetMinutes(-3600), 60);
    EXPECT_EQ(TimeZoneOffsetMinutes(18000), -300);
    EXPECT_EQ(TimeZoneOffsetMinutes(-19800), 330);
    EXPECT_EQ(TimeZoneOffsetMinutes(-30), 0) << "half a minute rounds to the even 0";
    EXPECT_EQ(TimeZoneOffsetMinutes(-90), 2) << "one and a half rounds to the even 2";
    {
        test::ScopedTimeZone zone("UTC-2"); // POSIX signs: two hours east
        EXPECT_EQ(LocalTimeZoneOffset(), 120);
    }
    {
        test::ScopedTimeZone zone("EST5");
        EXPECT_EQ(LocalTimeZoneOffset(), -300);
    }
    {
        test::ScopedTimeZone zone("UTC");
        EXPECT_EQ(LocalTimeZoneOffset(), 0);
    }
}

} // namespace
} // namespace vnt
