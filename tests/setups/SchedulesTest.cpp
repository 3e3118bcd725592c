// Nightly backups: the names a timer can take, systemctl's answers, and the cron line.
#include "setups/Schedules.h"

#include "TestSupport.h"

#include <gtest/gtest.h>
#include <QRegularExpression>

namespace vnt::test {
namespace {

TEST(Schedules, NamesBecomeAFileAndATimerOrAreRefused) {
    for (const QString& name :
         {QString("nightly"), QString("photos-2024_v1.2:usb"), QString(200, u'a')})
        EXPECT_EQ(ScheduleNameProblem(name), "") << name.toStdString();
    EXPECT_EQ(ScheduleNameProblem(""), "The name must not be empty.");
    EXPECT_EQ(ScheduleNameProblem("../x"), "The name must not contain '/'.");
    // Hidden files, and what systemd would need escaped in an instance name.
    for (const char* name : {"..", "my photos", "a\\x2d", "caf\xc3\xa9", "a*", "a\nb"})
        EXPECT_NE(ScheduleNameProblem(QString::fromUtf8(name)), "") << name;
    EXPECT_NE(ScheduleNameProblem(QString(201, u'a')), "") << "a unit name's length";
    EXPECT_EQ(ScheduleNameOfUnit(TimerUnitName("nightly")), "nightly");
    EXPECT_EQ(ScheduleNameOfUnit("vantoro-backup@.timer"), "") << "the template";
    EXPECT_EQ(ScheduleNameOfUnit("vantoro-backup@nightly.service"), "");
}

TEST(Schedules, OnlyOurEnabledTimersAreListedAndOnlyARunningManagerCounts) {
    // Newer systemd prints a vendor preset column, older ones do not.
    EXPECT_EQ(ParseEnabledTimers("vantoro-backup@nightly.timer enabled enabled\n"
                                 "  vantoro-backup@photos.timer   enabled\n"
                                 "vantoro-backup@.timer        enabled enabled\n"
                                 "other-backup@nightly.timer   enabled enabled\n"
                                 "vantoro-backup@nightly.timer enabled enabled\n\n"),
              (QStringList{"vantoro-backup@nightly.timer", "vantoro-backup@photos.timer"}));
    const auto answer = [](int status, const QByteArray& output) {
        return ProgramOutput{{ProgramLaunch::Outcome::Exited, status}, output};
    };
    EXPECT_TRUE(UserSystemdRuns(true, answer(1, "degraded\n"))) << "a unit failed; timers run";
    EXPECT_FALSE(UserSystemdRuns(false, answer(0, "running\n")));
    EXPECT_FALSE(UserSystemdRuns(true, answer(1, "offline\n")));
    EXPECT_FALSE(UserSystemdRuns(true, {{ProgramLaunch::Outcome::StillRunning, 0}, {}}));
}

TEST(Schedules, TheCronLineRunsWhatTheTimerWouldAtItsTime) {
    const QRegularExpressionMatch calendar =
        QRegularExpression("OnCalendar=\\*-\\*-\\* (\\d\\d):(\\d\\d):00")
            .match(ReadAll(VANTORO_DATA_DIR "/../dist/systemd/vantoro-backup@.timer"));
    ASSERT_TRUE(calendar.hasMatch());
    EXPECT_EQ(CronLine("/usr/bin/vantoro-cli", "/home/me/.config/vantoro/n.vnt", "/home/me"),
              QString("%1 %2 * * * /usr/bin/vantoro-cli backup-modified --setup "
                      "~/.config/vantoro/n.vnt --notify")
                  .arg(calendar.captured(2).toInt())
                  .arg(calendar.captured(1).toInt()));
    // One word for sh, and no "%" that cron would make a line break of.
    EXPECT_EQ(CronLine("vantoro-cli", "/home/me/My Setups/it's 100%.vnt", "/home/me/"),
              "30 2 * * * vantoro-cli backup-modified --setup "
              "~/'My Setups/it'\\''s 100\\%.vnt' --notify");
    EXPECT_TRUE(CronLine("vantoro-cli", "/home/meself/n.vnt", "/home/me")
                    .contains("--setup /home/meself/n.vnt"));
    // Cron's run reaches the desktop only through a bus at a lasting place, and leaves its
    // report in a log.
    EXPECT_EQ(CronLine("vantoro-cli", "/home/me/n.vnt", "/home/me", "/home/me/.local/state/n.log",
                       LastingBusAddress("unix:path=/run/user/1000/bus", 1000)),
              "30 2 * * * DBUS_SESSION_BUS_ADDRESS=unix:path=/run/user/1000/bus vantoro-cli "
              "backup-modified --setup ~/n.vnt --notify --log ~/.local/state/n.log");
    EXPECT_EQ(LastingBusAddress("unix:abstract=/tmp/dbus-XYZ,guid=1", 1000), "");
    // The mount units systemd names after their paths, as systemd-escape --path spells them.
    EXPECT_EQ(MountUnitName("/media/me/MY STICK"), "media-me-MY\\x20STICK.mount");
    EXPECT_EQ(MountUnitName("/mnt/back-up/.x/"), "mnt-back\\x2dup-.x.mount");
    EXPECT_EQ(MountUnitName("/run/media/me/caf\u00e9"), "run-media-me-caf\\xc3\\xa9.mount");
    EXPECT_EQ(MountUnitName("/"), "-.mount");
    EXPECT_EQ(LastingBusAddress("unix:path=/run/user/1001/bus", 1000), "");
}

} // namespace
} // namespace vnt::test
