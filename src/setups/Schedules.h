#pragma once
// Nightly backups: a setup file in the user's folder of the program and the user timer
// shipped with the program (vantoro-backup@NAME.timer), which runs the console program on it.
// Where no user systemd runs, the equivalent cron line is offered instead.

#include "platform/SystemShell.h"

#include <QByteArray>
#include <QString>
#include <QStringList>

namespace vnt {

// When the timer starts the backup: its OnCalendar= time, which the cron line repeats.
inline constexpr int NightlyHour = 2;
inline constexpr int NightlyMinute = 30;
inline constexpr char SystemctlProgram[] = "systemctl";
// How long systemctl may hold the window; it answers in a moment when the manager runs.
inline constexpr int SystemctlWaitMilliseconds = 10000;

// Why name cannot name a nightly backup; empty when it can. The name becomes a file name and
// a unit's instance name, which systemd takes only in plain characters.
QString ScheduleNameProblem(const QString& name);
// The setup file the timer of name reads: NAME.vnt in configFolder.
QString ScheduledSetupPath(const QString& configFolder, const QString& name);
QString TimerUnitName(const QString& name);
// The name in a unit of ours; empty for any other unit and for the template itself.
QString ScheduleNameOfUnit(const QString& unit);

// The arguments of systemctl for each step.
QStringList IsSystemRunningArguments();
QStringList EnableTimerArguments(const QString& name);
QStringList DisableTimerArguments(const QString& unit);
QStringList ListEnabledTimersArguments();

// Our units in what list-unit-files printed, one a line, in its order.
QStringList ParseEnabledTimers(const QByteArray& output);
// Whether a user's service manager runs: its runtime folder exists ($XDG_RUNTIME_DIR/systemd)
// and it says so (degraded still runs timers).
bool UserSystemdRuns(bool runtimeFolderExists, const ProgramOutput& isSystemRunning);
// The same, asked through the shell.
bool UserSystemdRuns(SystemShell& shell);

// What the timer's unit runs on the setup file (and the cron line too), as one command line.
QString NightlyCommand(const QString& cliCommand, const QString& setupPath);

// The crontab line that runs what the timer would, every night at the timer's time, its
// report appended to logPath. Cron gives its commands no desktop: busAddress, when not empty,
// is the session bus the notification goes to. A path below home is written from "~/", and
// every word is quoted as sh and cron need.
QString CronLine(const QString& cliCommand, const QString& setupPath, const QString& home,
                 const QString& logPath = {}, const QString& busAddress = {});
// The session bus address a cron line can name: the user's bus at a fixed place
// (unix:path=/run/user/UID/bus), which outlives a login; empty for any other.
QString LastingBusAddress(const QString& sessionBusAddress, uint uid);
// The lines of a crontab (as "crontab -l" prints it) that run the console program on a setup
// file, as written.
QStringList ParseCronLines(const QByteArray& crontab);
// The console program beside the desktop program when it is there (cron's PATH is short),
// else its name.
QString CliCommandBeside(const QString& programFolder);

// The days without a backup after which a scheduled run whose disk is away reminds the person.
inline constexpr int ReminderDays = 7;

// The unit systemd keeps for the file system mounted at mountPoint ("/media/me/STICK" is
// media-me-STICK.mount): names escaped as systemd escapes paths.
QString MountUnitName(const QString& mountPoint);
// The service that backs up from the setup of name when its disk is plugged in.
QString PluggedUnitName(const QString& name);
// systemctl's arguments that make the disk's mount unit start it, and that undo that.
QStringList WantWhenMountedArguments(const QString& mountUnit, const QString& name);
QStringList DisablePluggedArguments(const QString& name);
// Whether the user's units (configFolder: $XDG_CONFIG_HOME/systemd/user) have a mount unit
// that starts the plugged backup of name.
bool PluggedBackupWanted(const QString& unitsFolder, const QString& name);
// Makes the disk mounted at mountPoint start the backup of name when it is mounted; the
// words for the user, whether it worked or not.
QString EnablePluggedBackup(SystemShell& shell, const QString& name, const QString& mountPoint);

// What scheduling name came to, in words for the user.
struct ScheduleOutcome {
    enum class Kind { Enabled, NoUserSystemd, Failed } kind = Kind::Failed;
    QString text;
};
// Enables the timer of name for setupPath, saved already; where that cannot be done, the
// outcome gives the cron line instead.
ScheduleOutcome EnableNightlyBackup(SystemShell& shell, const QString& name,
                                    const QString& setupPath, const QString& cliCommand);

} // namespace vnt
