// Nightly backups: the names a timer can take, systemctl's command lines and answers, and the
// cron line where no user systemd runs.
#include "setups/Schedules.h"

#include "RecordingShell.h"
#include "TestSupport.h"

#include <gtest/gtest.h>
#include <QDir>
#include <QFile>
#include <QRegularExpression>
#include <QTemporaryDir>

namespace vnt::test {
namespace {

ProgramOutput Answer(int exitCode, const QByteArray& output) {
    return {{ProgramLaunch::Outcome::Exited, exitCode}, output};
}

TEST(Schedules, NamesBecomeAFileAndATimerOrAreRefused) {
    EXPECT_TRUE(ScheduleNameProblem("nightly").isEmpty());
    EXPECT_TRUE(ScheduleNameProblem("photos-2024_v1.2:usb").isEmpty());
    EXPECT_TRUE(ScheduleNameProblem(QString(200, u'a')).isEmpty());
    EXPECT_EQ(ScheduleNameProblem(""), "The name must not be empty.");
    EXPECT_EQ(ScheduleNameProblem("a/b"), "The name must not contain '/'.");
    EXPECT_EQ(ScheduleNameProblem("../x"), "The name must not contain '/'.");
    // A hidden file, or "." and "..".
    EXPECT_FALSE(ScheduleNameProblem("..").isEmpty());
    // systemd takes an instance name only in plain characters.
    for (const char* name : {"my photos", "a\\x2d", "caf\xc3\xa9", "a*", "a\nb"})
        EXPECT_FALSE(ScheduleNameProblem(QString::fromUtf8(name)).isEmpty()) << name;
    EXPECT_FALSE(ScheduleNameProblem(QString(201, u'a')).isEmpty()) << "a unit name's length";

    EXPECT_EQ(ScheduledSetupPath("/home/me/.config/vantoro", "nightly"),
              "/home/me/.config/vantoro/nightly.vnt");
    EXPECT_EQ(TimerUnitName("nightly"), "vantoro-backup@nightly.timer");
    EXPECT_EQ(ScheduleNameOfUnit("vantoro-backup@nightly.timer"), "nightly");
    EXPECT_EQ(ScheduleNameOfUnit("vantoro-backup@.timer"), "") << "the template";
    EXPECT_EQ(ScheduleNameOfUnit("vantoro-backup@nightly.service"), "");
    EXPECT_EQ(ScheduleNameOfUnit("backup@nightly.timer"), "");
}

TEST(Schedules, SystemctlIsAskedWithArgumentLists) {
    EXPECT_EQ(EnableTimerArguments("nightly").join(' '),
              "--user enable --now vantoro-backup@nightly.timer");
    EXPECT_EQ(DisableTimerArguments("vantoro-backup@photos.timer").join(' '),
              "--user disable --now vantoro-backup@photos.timer");
    EXPECT_EQ(ListEnabledTimersArguments(),
              (QStringList{"--user", "list-unit-files", "vantoro-backup@*.timer", "--state=enabled",
                           "--no-legend"}))
        << "the pattern is one argument: no shell expands it";
    EXPECT_EQ(IsSystemRunningArguments().join(' '), "--user is-system-running");
}

TEST(Schedules, OnlyOurEnabledTimersAreListed) {
    // Newer systemd prints a vendor preset column, older ones do not.
    const QByteArray output = "vantoro-backup@nightly.timer enabled enabled\n"
                              "  vantoro-backup@photos.timer   enabled\n"
                              "vantoro-backup@.timer        enabled enabled\n"
                              "other-backup@nightly.timer   enabled enabled\n"
                              "vantoro-backup@nightly.timer enabled enabled\n"
                              "\n";
    EXPECT_EQ(ParseEnabledTimers(output),
              (QStringList{"vantoro-backup@nightly.timer", "vantoro-backup@photos.timer"}));
    EXPECT_TRUE(ParseEnabledTimers("").isEmpty());
}

TEST(Schedules, AUserSystemdRunsOnlyWhereItsFolderIsAndItSaysSo) {
    EXPECT_TRUE(UserSystemdRuns(true, Answer(0, "running\n")));
    EXPECT_TRUE(UserSystemdRuns(true, Answer(1, "degraded\n"))) << "a failed unit, timers run";
    EXPECT_FALSE(UserSystemdRuns(false, Answer(0, "running\n")));
    EXPECT_FALSE(UserSystemdRuns(true, Answer(1, "offline\n")));
    EXPECT_FALSE(UserSystemdRuns(true, Answer(1, "")));
    EXPECT_FALSE(UserSystemdRuns(true, {{ProgramLaunch::Outcome::Missing, 0}, {}}));
    EXPECT_FALSE(UserSystemdRuns(true, {{ProgramLaunch::Outcome::StillRunning, 0}, {}}));

    // Through the shell: nothing is run where the runtime folder has no systemd.
    QTemporaryDir runtime;
    RecordingShell shell;
    shell.outputs["systemctl --user is-system-running"] = Answer(0, "running\n");
    {
        const ScopedEnvironment env("XDG_RUNTIME_DIR", QFile::encodeName(runtime.path()));
        EXPECT_FALSE(UserSystemdRuns(shell));
        EXPECT_TRUE(shell.calls.isEmpty());
        ASSERT_TRUE(QDir(runtime.path()).mkdir("systemd"));
        EXPECT_TRUE(UserSystemdRuns(shell));
        EXPECT_EQ(shell.calls, QStringList{"systemctl --user is-system-running"});
    }
}

TEST(Schedules, TheCronLineRunsWhatTheTimerWouldAtItsTime) {
    // The timer file shipped with the program says when; the cron line must say the same.
    const QByteArray timer = ReadAll(VANTORO_DATA_DIR "/../dist/systemd/vantoro-backup@.timer");
    const QRegularExpressionMatch calendar =
        QRegularExpression("OnCalendar=\\*-\\*-\\* (\\d\\d):(\\d\\d):00")
            .match(QString::fromUtf8(timer));
    ASSERT_TRUE(calendar.hasMatch()) << timer.toStdString();
    const QString line =
        CronLine("/usr/bin/vantoro-cli", "/home/me/.config/vantoro/nightly.vnt", "/home/me");
    EXPECT_EQ(line, QString("%1 %2 * * * /usr/bin/vantoro-cli backup-modified --setup "
                            "~/.config/vantoro/nightly.vnt --notify")
                        .arg(calendar.captured(2).toInt())
                        .arg(calendar.captured(1).toInt()));

    // sh sees one word for each path, and cron no "%" to make a line break of.
    EXPECT_EQ(CronLine("vantoro-cli", "/home/me/My Setups/it's 100%.vnt", "/home/me/"),
              "30 2 * * * vantoro-cli backup-modified --setup "
              "~/'My Setups/it'\\''s 100\\%.vnt' --notify");
    EXPECT_EQ(CronLine("vantoro-cli", "/srv/cfg/vantoro/n.vnt", "/home/me"),
              "30 2 * * * vantoro-cli backup-modified --setup /srv/cfg/vantoro/n.vnt --notify");
    EXPECT_TRUE(CronLine("vantoro-cli", "/home/meself/n.vnt", "/home/me")
                    .contains("--setup /home/meself/n.vnt"))
        << "another user's home that begins alike";
}

TEST(Schedules, TheConsoleProgramBesideTheDesktopOneIsNamedInFull) {
    QTemporaryDir folder;
    EXPECT_EQ(CliCommandBeside(folder.path()), "vantoro-cli");
    const QString cli = folder.filePath("vantoro-cli");
    WriteFile(cli, "#!/bin/sh\n");
    EXPECT_EQ(CliCommandBeside(folder.path()), "vantoro-cli") << "not executable";
    ASSERT_TRUE(QFile::setPermissions(cli, QFile::ReadOwner | QFile::ExeOwner));
    EXPECT_EQ(CliCommandBeside(folder.path() + "/"), cli);
}

TEST(Schedules, EnablingSaysWhatBecameOfTheTimerOrGivesTheCronLine) {
    QTemporaryDir runtime;
    const ScopedEnvironment env("XDG_RUNTIME_DIR", QFile::encodeName(runtime.path()));
    const QString setup = "/srv/cfg/photos.vnt";
    const QString cron = "30 2 * * * vantoro-cli backup-modified --setup /srv/cfg/photos.vnt";
    RecordingShell shell;

    ScheduleOutcome outcome = EnableNightlyBackup(shell, "photos", setup, "vantoro-cli");
    EXPECT_EQ(outcome.kind, ScheduleOutcome::Kind::NoUserSystemd);
    EXPECT_TRUE(outcome.text.contains(cron)) << outcome.text.toStdString();
    EXPECT_TRUE(shell.calls.isEmpty());

    ASSERT_TRUE(QDir(runtime.path()).mkdir("systemd"));
    shell.outputs["systemctl --user is-system-running"] = Answer(1, "degraded\n");
    outcome = EnableNightlyBackup(shell, "photos", setup, "vantoro-cli");
    EXPECT_EQ(outcome.kind, ScheduleOutcome::Kind::Enabled);
    EXPECT_EQ(shell.calls,
              (QStringList{"systemctl --user is-system-running",
                           "systemctl --user enable --now vantoro-backup@photos.timer"}));
    EXPECT_TRUE(outcome.text.contains("02:30")) << outcome.text.toStdString();
    EXPECT_TRUE(outcome.text.contains(setup));
    EXPECT_FALSE(outcome.text.contains(cron));

    // The timer not installed: systemctl fails, and cron is offered.
    shell.launchResult = {ProgramLaunch::Outcome::Exited, 1};
    outcome = EnableNightlyBackup(shell, "photos", setup, "vantoro-cli");
    EXPECT_EQ(outcome.kind, ScheduleOutcome::Kind::Failed);
    EXPECT_TRUE(outcome.text.contains("ended with status 1")) << outcome.text.toStdString();
    EXPECT_TRUE(outcome.text.contains(cron));
}

} // namespace
} // namespace vnt::test
