#include "backup/FileTimes.h"

#include "setups/DateProc.h"
#include "TestSupport.h"

#include <gtest/gtest.h>
#include <QTemporaryDir>

namespace vnt {
namespace {

CalendarTime Rounded(CalendarTime time) {
    RoundToMinute(time);
    return time;
}

QString Shifted(CalendarTime time, qint32 offset) {
    AddZoneOffset(time, offset);
    return LocalMinuteText(time);
}

TEST(FileTimes, RoundingToTheMinuteNeverChangesTheMonth) {
    EXPECT_EQ(LocalMinuteText(Rounded({2024, 5, 10, 14, 0, 30})), "2024-05-10 14:00");
    EXPECT_EQ(LocalMinuteText(Rounded({2024, 5, 10, 14, 0, 31})), "2024-05-10 14:01");
    EXPECT_EQ(LocalMinuteText(Rounded({2024, 5, 10, 14, 59, 45})), "2024-05-10 15:00");
    EXPECT_EQ(LocalMinuteText(Rounded({2024, 5, 10, 23, 59, 45})), "2024-05-11 00:00");
    EXPECT_EQ(LocalMinuteText(Rounded({2024, 5, 30, 23, 59, 45})), "2024-05-30 23:59");
    EXPECT_EQ(LocalMinuteText(Rounded({2024, 2, 28, 23, 59, 59})), "2024-02-28 23:59");
    EXPECT_EQ(LocalMinuteText(Rounded({2024, 2, 27, 23, 59, 59})), "2024-02-28 00:00");
    EXPECT_EQ(Rounded({2024, 5, 10, 14, 0, 50}).second, 0);
    EXPECT_EQ(MinuteOfMonth({2024, 5, 1, 0, 0, 0}), 0);
    EXPECT_EQ(MinuteOfMonth({2024, 5, 31, 23, 59, 0}), 31 * 1440 - 1);
}

TEST(FileTimes, ZoneOffsetCarriesAcrossDaysMonthsAndYears) {
    EXPECT_EQ(Shifted({2024, 5, 10, 14, 30, 0}, 0), "2024-05-10 14:30");
    EXPECT_EQ(Shifted({2024, 5, 10, 14, 30, 0}, 90), "2024-05-10 16:00");
    EXPECT_EQ(Shifted({2023, 12, 31, 23, 59, 0}, 60), "2024-01-01 00:59");
    EXPECT_EQ(Shifted({2024, 4, 30, 22, 0, 0}, 120), "2024-05-01 00:00");
    EXPECT_EQ(Shifted({2024, 5, 10, 14, 30, 0}, -300), "2024-05-10 09:30");
    EXPECT_EQ(Shifted({2024, 5, 1, 0, 30, 0}, -60), "2024-04-30 23:30");
    EXPECT_EQ(Shifted({2024, 3, 1, 2, 0, 0}, -180), "2024-02-29 23:00");
    EXPECT_EQ(Shifted({2023, 3, 1, 2, 0, 0}, -180), "2023-02-28 23:00");
    EXPECT_EQ(Shifted({2024, 1, 1, 0, 0, 0}, -1), "2023-12-31 23:59");
    EXPECT_EQ(Shifted({2024, 5, 10, 20, 0, 0}, 345), "2024-05-11 01:45");
}

class FileTimesOnDisk : public ::testing::Test {
protected:
    QTemporaryDir dir;
    QString source = dir.filePath("source.txt");
    QString target = dir.filePath("target.txt");

    void SetUp() override {
        test::WriteFile(source, "same size");
        test::WriteFile(target, "same size");
    }

    void Times(int sy, int smo, int sd, int sh, int smi, int ss, int ty, int tmo, int td, int th,
               int tmi, int ts) {
        test::SetLastWriteUtc(source, sy, smo, sd, sh, smi, ss);
        test::SetLastWriteUtc(target, ty, tmo, td, th, tmi, ts);
    }
};

TEST_F(FileTimesOnDisk, ReadersGiveTextsMinutesAndErrors) {
    test::SetLastWriteUtc(source, 2024, 3, 5, 14, 0, 40);
    const LastWriteTime utc = ReadLastWriteTime(source);
    EXPECT_EQ(utc.error, TimeReadError::None);
    EXPECT_EQ(utc.text, "2024-03-05 14:00:40") << "the text is taken before rounding";
    EXPECT_EQ(utc.minuteOfMonth, 4 * 1440 + 14 * 60 + 1) << "the minute is of the rounded time";

    EXPECT_EQ(ReadLocalLastWriteTime(source, 60).text, "2024-03-05 15:01");
    test::SetLastWriteUtc(source, 2023, 12, 31, 23, 59, 45);
    EXPECT_EQ(ReadLocalLastWriteTime(source, 60).text, "2024-01-01 00:59");
    {
        test::ScopedTimeZone zone("UTC-1");
        EXPECT_EQ(ReadLocalLastWriteTime(source).text, "2024-01-01 00:59");
    }

    const LastWriteTime missing = ReadLastWriteTime(dir.filePath("missing"));
    EXPECT_EQ(missing.error, TimeReadError::CannotOpen);
    EXPECT_EQ(missing.text, "");
    EXPECT_EQ(ReadLocalLastWriteTime(dir.filePath("missing"), 0).text, "");
}

TEST_F(FileTimesOnDisk, ModifiedSinceWindow) {
    test::ScopedTimeZone zone("UTC");
    const qint32 today = DayNumber(2024, 6, 28);
    test::SetLastWriteUtc(source, 2024, 6, 1, 12, 0, 0); // 27 days before today
    EXPECT_TRUE(IsWithinModifiedSinceWindow(source, 27, today));
    EXPECT_FALSE(IsWithinModifiedSinceWindow(source, 13, today));
    test::SetLastWriteUtc(source, 2024, 5, 31, 12, 0, 0); // 28 days
    EXPECT_FALSE(IsWithinModifiedSinceWindow(source, 27, today));
    EXPECT_TRUE(IsWithinModifiedSinceWindow(source, -1, today)) << "no restriction";

    test::SetLastWriteUtc(source, 2024, 6, 26, 0, 0, 0); // the day before yesterday
    EXPECT_TRUE(IsWithinModifiedSinceWindow(source, 2, today));
    test::SetLastWriteUtc(source, 2024, 6, 25, 23, 59, 0);
    EXPECT_FALSE(IsWithinModifiedSinceWindow(source, 2, today));
    test::SetLastWriteUtc(source, 2025, 1, 1, 0, 0, 0);
    EXPECT_TRUE(IsWithinModifiedSinceWindow(source, 2, today)) << "future dates are admitted";
    EXPECT_FALSE(IsWithinModifiedSinceWindow(dir.filePath("missing"), 27, today));
    EXPECT_TRUE(IsWithinModifiedSinceWindow(dir.filePath("missing"), -1, today));
}

TEST_F(FileTimesOnDisk, ModifiedSinceWindowUsesTheLocalDate) {
    test::ScopedTimeZone zone("UTC-2");
    const qint32 today = DayNumber(2024, 6, 28);
    test::SetLastWriteUtc(source, 2024, 6, 25, 22, 30, 0); // 26 June 00:30 local
    EXPECT_TRUE(IsWithinModifiedSinceWindow(source, 2, today));
}

TEST_F(FileTimesOnDisk, ModifiedTestAtItsBorders) {
    Times(2024, 5, 10, 12, 0, 0, 2024, 5, 10, 12, 0, 0);
    EXPECT_FALSE(IsFileModified(source, target));
    Times(2024, 5, 10, 12, 0, 0, 2024, 5, 10, 13, 0, 0); // 60 minutes
    EXPECT_FALSE(IsFileModified(source, target));
    Times(2024, 5, 10, 12, 0, 0, 2024, 5, 10, 13, 1, 0); // 61 minutes
    EXPECT_TRUE(IsFileModified(source, target));
    Times(2024, 5, 10, 12, 0, 0, 2024, 5, 10, 12, 1, 0); // one-minute jitter
    EXPECT_FALSE(IsFileModified(source, target));
    Times(2024, 5, 10, 12, 0, 0, 2024, 5, 10, 12, 2, 0);
    EXPECT_TRUE(IsFileModified(source, target));
    Times(2024, 5, 10, 14, 0, 40, 2024, 5, 10, 14, 1, 10); // both round to 14:01
    EXPECT_FALSE(IsFileModified(source, target));
    Times(2024, 5, 10, 12, 0, 0, 2024, 5, 10, 20, 0, 0); // 480 minutes
    EXPECT_FALSE(IsFileModified(source, target));
    Times(2024, 5, 10, 12, 0, 0, 2024, 5, 10, 20, 30, 0); // 510 minutes
    EXPECT_TRUE(IsFileModified(source, target));
    Times(2024, 5, 10, 12, 0, 0, 2024, 5, 10, 10, 30, 0); // target older by 90 minutes
    EXPECT_FALSE(IsFileModified(source, target));
    Times(2024, 3, 31, 23, 30, 0, 2024, 4, 1, 0, 30, 0); // a shift across a month start
    EXPECT_TRUE(IsFileModified(source, target));
    Times(2024, 5, 1, 12, 0, 0, 2024, 5, 23, 12, 0, 0); // 22 days apart
    EXPECT_TRUE(IsFileModified(source, target));
    Times(2024, 5, 10, 12, 0, 0, 2024, 6, 10, 12, 0, 0); // same minute of another month
    EXPECT_TRUE(IsFileModified(source, target));
    Times(2024, 5, 10, 12, 0, 5, 2024, 5, 10, 12, 0, 55); // same minute, other seconds
    EXPECT_FALSE(IsFileModified(source, target));
}

TEST_F(FileTimesOnDisk, SizeDecidesFirstAndUnreadableFilesAreNotModified) {
    Times(2024, 5, 10, 12, 0, 0, 2024, 5, 10, 12, 0, 0);
    test::WriteFile(target, "a different size");
    test::SetLastWriteUtc(target, 2024, 5, 10, 12, 0, 0);
    EXPECT_TRUE(IsFileModified(source, target));

    FileError error;
    EXPECT_FALSE(IsFileModified(source, dir.filePath("missing"), &error));
    EXPECT_EQ(error.number, ErrorNumber::PathNotFound);
    EXPECT_FALSE(error.description.isEmpty());
}

} // namespace
} // namespace vnt
