#include "backup/FileTimes.h"

#include "backup/Decision.h"
#include "setups/DateProc.h"
#include "TestSupport.h"

#include <gtest/gtest.h>
#include <QDateTime>
#include <QTemporaryDir>
#include <QTimeZone>

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

namespace vnt {
namespace {

qint64 Utc(int year, int month, int day, int hour, int minute, int second = 0) {
    return QDateTime(QDate(year, month, day), QTime(hour, minute, second), QTimeZone::utc())
        .toSecsSinceEpoch();
}

// What --explain says is what decided: every reason at the tolerance borders.
TEST(ModifiedVerdict, SaysWhyAtEveryBorder) {
    struct Case {
        qint64 source;
        qint64 target;
        bool modified;
        const char* text;
    };
    const qint64 noon = Utc(2024, 5, 10, 12, 0);
    const Case cases[] = {
        {noon, noon, false, ""},
        {noon, Utc(2024, 5, 10, 12, 1), false, "times differ by 1 min, taken as jitter"},
        {Utc(2024, 5, 10, 12, 0, 40), Utc(2024, 5, 10, 12, 1, 10), false,
         "times differ by 30 s, taken as jitter"},
        {noon, Utc(2024, 5, 10, 12, 2), true, "target newer by 2 min"},
        {noon, Utc(2024, 5, 10, 13, 0), false,
         "times differ by exactly 1 h, taken as a time-zone shift"},
        {Utc(2024, 5, 10, 13, 1), noon, true, "source newer by 1 h 1 min"},
        {noon, Utc(2024, 5, 10, 10, 30), false,
         "times differ by exactly 1 h 30 min, taken as a time-zone shift"},
        {Utc(2024, 5, 10, 20, 0), noon, false,
         "times differ by exactly 8 h, taken as a time-zone shift"},
        {Utc(2024, 5, 10, 20, 30), noon, true, "source newer by 8 h 30 min"},
        // Across the start of a month nothing is tolerated, and the reason says so.
        {Utc(2024, 4, 1, 0, 30), Utc(2024, 3, 31, 23, 30), true,
         "source newer by 1 h across the start of a month"},
        {Utc(2024, 5, 31, 23, 30), Utc(2024, 6, 1, 0, 0), true,
         "target newer by 30 min across the start of a month"},
        {Utc(2024, 3, 31, 23, 59, 10), Utc(2024, 4, 1, 0, 0, 20), true,
         "target newer by 1 min across the start of a month"},
        {Utc(2024, 12, 31, 23, 59, 50), Utc(2025, 1, 1, 0, 0, 5), true,
         "target newer by 15 s across the start of a month"},
        {Utc(2024, 4, 1, 0, 15), Utc(2024, 3, 31, 23, 30), true, "source newer by 45 min"},
        {Utc(2024, 5, 12, 15, 12), Utc(2024, 5, 10, 12, 0), true,
         "source newer by 2 days 3 h 12 min"},
        {noon, Utc(2024, 6, 10, 12, 0), true, "target newer by 31 days"},
    };
    for (const Case& c : cases) {
        const ModifiedVerdict verdict = JudgeFileModified(100, c.source, 100, c.target);
        EXPECT_EQ(verdict.modified, c.modified) << c.text;
        EXPECT_EQ(verdict.modified, IsFileModified(100, c.source, 100, c.target)) << c.text;
        EXPECT_EQ(VerdictText(verdict), QString::fromUtf8(c.text));
        EXPECT_EQ(verdict.Tolerated(), !c.modified && *c.text != '\0') << c.text;
    }
    // Same size, 2 s or more apart, taken as unchanged: the contents decide and are named.
    ModifiedVerdict shift = JudgeFileModified(100, Utc(2024, 5, 10, 13, 0), 100, noon);
    EXPECT_TRUE(shift.NeedsSecondLook());
    shift.SetContents(ModifiedVerdict::Contents::Differ);
    EXPECT_TRUE(shift.modified);
    EXPECT_EQ(VerdictText(shift), "times differ by exactly 1 h, contents differ");
    ModifiedVerdict close = JudgeFileModified(100, noon + 40, 100, noon);
    EXPECT_TRUE(close.NeedsSecondLook()) << "one minute, 40 s apart";
    close.SetContents(ModifiedVerdict::Contents::Same);
    EXPECT_FALSE(close.modified);
    EXPECT_EQ(VerdictText(close), "times differ by 40 s, contents the same");
    EXPECT_FALSE(JudgeFileModified(100, noon + 1, 100, noon).NeedsSecondLook()) << "a FAT tick";
    EXPECT_FALSE(JudgeFileModified(101, noon + 90, 100, noon).NeedsSecondLook()) << "sizes say it";

    const ModifiedVerdict sizes = JudgeFileModified(1240, noon, 1234, noon);
    EXPECT_TRUE(sizes.modified);
    EXPECT_EQ(VerdictText(sizes), "size 1,234 -> 1,240 bytes");
}

} // namespace
} // namespace vnt

namespace vnt {
namespace {

// The decision for one listed file, with no file system: what is counted, copied, left out
// and explained, and when the contents are looked at.
TEST(DecideFile, NewModifiedUnchangedAndLeftOut) {
    const qint64 noon =
        QDateTime(QDate(2024, 5, 10), QTime(12, 0), QTimeZone::utc()).toSecsSinceEpoch();
    const auto listed = [&](const QByteArray& name, qint64 size, qint64 copySize, qint64 copyTime) {
        ListedFile file;
        file.bytes = name;
        file.source = {true, true, false, size, -1, noon, 0, 0644, 0, false};
        if (copySize >= 0)
            file.target = {true, true, false, copySize, -1, copyTime, 0, 0644, 0, false};
        return file;
    };
    DecisionRules rules;
    rules.explain = true;
    rules.todayDayNumber = DayNumber(2024, 5, 20);
    int looks = 0;
    ModifiedVerdict::Contents found = ModifiedVerdict::Contents::Same;
    const auto decide = [&](const ListedFile& file) {
        return DecideFile(file, rules, [&] {
            ++looks;
            return found;
        });
    };
    using Kind = FileDecision::Kind;

    FileDecision d = decide(listed("new.txt", 10, -1, 0));
    EXPECT_EQ(d.kind, Kind::New);
    EXPECT_TRUE(d.copy && d.explained && !d.explainUnchanged);
    EXPECT_EQ(d.explanation, "no copy in the target");

    d = decide(listed("same.txt", 10, 10, noon));
    EXPECT_EQ(d.kind, Kind::Unchanged);
    EXPECT_FALSE(d.copy || d.explained);
    EXPECT_EQ(looks, 0) << "equal times need no look at the contents";

    // An hour apart at the same size: only the contents tell a clock shift from an edit.
    d = decide(listed("shifted.txt", 10, 10, noon - 3600));
    EXPECT_EQ(looks, 1);
    EXPECT_EQ(d.kind, Kind::Unchanged);
    EXPECT_TRUE(!d.copy && d.explained && d.explainUnchanged);
    found = ModifiedVerdict::Contents::Differ;
    d = decide(listed("shifted.txt", 10, 10, noon - 3600));
    EXPECT_EQ(d.kind, Kind::Modified);
    EXPECT_TRUE(d.copy && !d.explainUnchanged);

    // Windows' large system files are left out by name, and only when they would be copied.
    const ListedFile pagefile = listed("pagefile.sys", 20'000'000, -1, 0);
    EXPECT_EQ(decide(pagefile).refusedBy, 390);
    EXPECT_FALSE(decide(pagefile).copy);
    EXPECT_EQ(decide(listed("swap.swp", 20'000'000, -1, 0)).refusedBy, 164);
    EXPECT_EQ(decide(listed("notes.sys.txt", 20'000'000, -1, 0)).refusedBy, 0);
    rules.extensionFilter = "txt";
    EXPECT_EQ(decide(pagefile).refusedBy, 0) << "a filter that takes no .sys file";
    rules.extensionFilter.clear();
    rules.copies = false; // the check counts, copies nothing, refuses nothing
    d = decide(pagefile);
    EXPECT_TRUE(d.kind == Kind::New && !d.copy && d.refusedBy == 0);

    rules.copies = true;
    rules.backupAll = true;
    d = decide(listed("same.txt", 10, 10, noon));
    EXPECT_TRUE(d.copy && d.kind == Kind::Unchanged && !d.explained) << "all files, none named";
    rules.modifiedSinceDays = 2; // written ten days before today
    EXPECT_FALSE(decide(listed("old.txt", 10, -1, 0)).copy);
}

} // namespace
} // namespace vnt
