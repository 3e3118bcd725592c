#include "setups/Schedules.h"

#include "platform/DataFolder.h"
#include "platform/Names.h"

#include <QDir>
#include <QFileInfo>
#include <QRegularExpression>
#include <unistd.h>

namespace vnt {

namespace {

const QString Systemctl = QString::fromLatin1(SystemctlProgram);
const QString UnitPrefix = QStringLiteral("vantoro-backup@");
const QString UnitSuffix = QStringLiteral(".timer");
// A unit name holds at most 255 characters, the prefix and the suffix among them.
constexpr qsizetype LongestName = 200;

QString CommandLine(const QStringList& arguments) {
    return Systemctl + u' ' + arguments.join(u' ');
}

// One word for sh as cron runs it: quoted when it holds more than plain characters, and every
// "%" escaped, since cron would make it a line break.
QString CronWord(const QString& word) {
    static const QRegularExpression plain(QStringLiteral("^[A-Za-z0-9_./:@+=,-]+$"));
    QString quoted = plain.match(word).hasMatch()
                         ? word
                         : u'\'' + QString(word).replace(u'\'', QStringLiteral("'\\''")) + u'\'';
    return quoted.replace(u'%', QStringLiteral("\\%"));
}

QString CronPath(const QString& path, const QString& home) {
    QString root = home;
    while (root.endsWith(u'/'))
        root.chop(1);
    if (!root.isEmpty() && path.startsWith(root + u'/') && path.size() > root.size() + 1)
        return QStringLiteral("~/") + CronWord(path.mid(root.size() + 1));
    return CronWord(path);
}

QString TimeText() {
    return QStringLiteral("%1:%2")
        .arg(NightlyHour, 2, 10, QLatin1Char('0'))
        .arg(NightlyMinute, 2, 10, QLatin1Char('0'));
}

QString CronAdvice(const QString& cronLine) {
    return QStringLiteral("To back up every night at ") + TimeText() +
           QStringLiteral(" with cron instead, add this line with \"crontab -e\":\r\n\r\n") +
           cronLine;
}

} // namespace

QString ScheduleNameProblem(const QString& name) {
    if (name.isEmpty())
        return QStringLiteral("The name must not be empty.");
    if (name.contains(u'/'))
        return QStringLiteral("The name must not contain '/'.");
    if (name.startsWith(u'.'))
        return QStringLiteral("The name must not begin with '.'.");
    if (name.size() > LongestName)
        return QStringLiteral("The name must not be longer than %1 characters.").arg(LongestName);
    static const QRegularExpression plain(QStringLiteral("^[A-Za-z0-9_.:-]+$"));
    if (!plain.match(name).hasMatch())
        return QStringLiteral("The name may hold only letters a to z, digits and the characters "
                              ". _ - : (it also names the timer).");
    return {};
}

QString ScheduledSetupPath(const QString& configFolder, const QString& name) {
    return configFolder + u'/' + name + QStringLiteral(".vnt");
}

QString TimerUnitName(const QString& name) {
    return UnitPrefix + name + UnitSuffix;
}

QString ScheduleNameOfUnit(const QString& unit) {
    if (!unit.startsWith(UnitPrefix) || !unit.endsWith(UnitSuffix))
        return {};
    return unit.mid(UnitPrefix.size(), unit.size() - UnitPrefix.size() - UnitSuffix.size());
}

QStringList IsSystemRunningArguments() {
    return {QStringLiteral("--user"), QStringLiteral("is-system-running")};
}

QStringList EnableTimerArguments(const QString& name) {
    return {QStringLiteral("--user"), QStringLiteral("enable"), QStringLiteral("--now"),
            TimerUnitName(name)};
}

QStringList DisableTimerArguments(const QString& unit) {
    return {QStringLiteral("--user"), QStringLiteral("disable"), QStringLiteral("--now"), unit};
}

QStringList ListEnabledTimersArguments() {
    return {QStringLiteral("--user"), QStringLiteral("list-unit-files"),
            UnitPrefix + u'*' + UnitSuffix, QStringLiteral("--state=enabled"),
            QStringLiteral("--no-legend")};
}

QStringList ParseEnabledTimers(const QByteArray& output) {
    QStringList units;
    for (const QByteArray& line : output.split('\n')) {
        const QList<QByteArray> columns = line.simplified().split(' ');
        const QString unit = QString::fromUtf8(columns.constFirst());
        if (!ScheduleNameOfUnit(unit).isEmpty() && !units.contains(unit))
            units.append(unit);
    }
    return units;
}

bool UserSystemdRuns(bool runtimeFolderExists, const ProgramOutput& isSystemRunning) {
    if (!runtimeFolderExists || isSystemRunning.launch.outcome != ProgramLaunch::Outcome::Exited)
        return false;
    // It exits non-zero when degraded (a unit failed), which still runs timers.
    const QByteArray state = isSystemRunning.output.trimmed();
    return state == "running" || state == "degraded" || state == "starting" ||
           state == "initializing" || state == "maintenance";
}

bool UserSystemdRuns(SystemShell& shell) {
    const QString runtime = qEnvironmentVariable("XDG_RUNTIME_DIR");
    const bool folder =
        !runtime.isEmpty() && QFileInfo(runtime + QStringLiteral("/systemd")).isDir();
    if (!folder)
        return false;
    return UserSystemdRuns(
        true, shell.runAndRead(Systemctl, IsSystemRunningArguments(), SystemctlWaitMilliseconds));
}

QString NightlyCommand(const QString& cliCommand, const QString& setupPath) {
    return cliCommand + QStringLiteral(" backup-modified --setup ") + setupPath +
           QStringLiteral(" --notify");
}

QString CronLine(const QString& cliCommand, const QString& setupPath, const QString& home,
                 const QString& logPath, const QString& busAddress) {
    QString line = QStringLiteral("%1 %2 * * * ").arg(NightlyMinute).arg(NightlyHour);
    if (!busAddress.isEmpty())
        line += QStringLiteral("DBUS_SESSION_BUS_ADDRESS=") + CronWord(busAddress) + u' ';
    line += NightlyCommand(CronPath(cliCommand, home), CronPath(setupPath, home));
    if (!logPath.isEmpty())
        line += QStringLiteral(" --log ") + CronPath(logPath, home);
    return line;
}

QString LastingBusAddress(const QString& sessionBusAddress, uint uid) {
    const QString lasting = QStringLiteral("unix:path=/run/user/%1/bus").arg(uid);
    return sessionBusAddress == lasting ? lasting : QString();
}

QStringList ParseCronLines(const QByteArray& crontab) {
    QStringList lines;
    for (const QByteArray& raw : crontab.split('\n')) {
        const QString line = QString::fromUtf8(raw).trimmed();
        if (!line.startsWith(u'#') && line.contains(QStringLiteral("vantoro-cli")) &&
            line.contains(QStringLiteral(" --setup ")))
            lines.append(line);
    }
    return lines;
}

QString CliCommandBeside(const QString& programFolder) {
    const QString beside = programFolder + QStringLiteral("/vantoro-cli");
    if (!programFolder.isEmpty() && QFileInfo(beside).isExecutable())
        return QDir::cleanPath(beside);
    return QStringLiteral("vantoro-cli");
}

QString MountUnitName(const QString& mountPoint) {
    const QByteArray path = EncodeName(QDir::cleanPath(mountPoint)).mid(1);
    if (path.isEmpty())
        return QStringLiteral("-.mount");
    QString unit;
    for (qsizetype i = 0; i < path.size(); ++i) {
        const auto c = static_cast<unsigned char>(path[i]);
        const bool plain = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') ||
                           (c >= '0' && c <= '9') || c == ':' || c == '_' || (c == '.' && i > 0);
        if (c == '/')
            unit += u'-';
        else if (plain)
            unit += QLatin1Char(static_cast<char>(c));
        else
            unit += QStringLiteral("\\x%1").arg(c, 2, 16, QLatin1Char('0'));
    }
    return unit + QStringLiteral(".mount");
}

QString PluggedUnitName(const QString& name) {
    return QStringLiteral("vantoro-plugged@") + name + QStringLiteral(".service");
}

QStringList WantWhenMountedArguments(const QString& mountUnit, const QString& name) {
    return {QStringLiteral("--user"), QStringLiteral("add-wants"), mountUnit,
            PluggedUnitName(name)};
}

QStringList DisablePluggedArguments(const QString& name) {
    return {QStringLiteral("--user"), QStringLiteral("disable"), PluggedUnitName(name)};
}

bool PluggedBackupWanted(const QString& unitsFolder, const QString& name) {
    const QDir units(unitsFolder);
    for (const QString& wants : units.entryList({QStringLiteral("*.mount.wants")}, QDir::Dirs))
        if (QFileInfo(units.filePath(wants) + u'/' + PluggedUnitName(name)).isSymLink())
            return true;
    return false;
}

QString EnablePluggedBackup(SystemShell& shell, const QString& name, const QString& mountPoint) {
    const QStringList arguments = WantWhenMountedArguments(MountUnitName(mountPoint), name);
    const ProgramLaunch wanted =
        shell.startAndWait(Systemctl, arguments, SystemctlWaitMilliseconds);
    if (wanted.outcome == ProgramLaunch::Outcome::Exited && wanted.exitCode == 0)
        return QStringLiteral("The backup also runs when the disk mounted at ") + mountPoint +
               QStringLiteral(" is plugged in, at most once a day.");
    return QStringLiteral("The backup could not be made to run when the disk is plugged in: \"") +
           CommandLine(arguments) + QStringLiteral("\" did not succeed.");
}

ScheduleOutcome EnableNightlyBackup(SystemShell& shell, const QString& name,
                                    const QString& setupPath, const QString& cliCommand) {
    // A night nobody watches leaves its report where it can be read in the morning.
    const QString log = StateFolder() + name + QStringLiteral(".log");
    const QString bus = LastingBusAddress(qEnvironmentVariable("DBUS_SESSION_BUS_ADDRESS"),
                                          static_cast<uint>(::getuid()));
    QString cron = CronAdvice(CronLine(cliCommand, setupPath, QDir::homePath(), log, bus));
    cron += QStringLiteral("\r\n\r\nEach night's report is added to ") + log + u'.';
    if (bus.isEmpty())
        cron += QStringLiteral(" Cron cannot reach this desktop (its bus changes at each login), "
                               "so no notification is shown.");
    const QString saved = QStringLiteral("The setup is saved in ") + setupPath + u'.';
    if (!UserSystemdRuns(shell))
        return {ScheduleOutcome::Kind::NoUserSystemd,
                saved +
                    QStringLiteral(" No user service manager (systemd) runs here, so no "
                                   "timer can be enabled.\r\n\r\n") +
                    cron};
    const QStringList arguments = EnableTimerArguments(name);
    const ProgramLaunch enabled =
        shell.startAndWait(Systemctl, arguments, SystemctlWaitMilliseconds);
    if (enabled.outcome == ProgramLaunch::Outcome::Exited && enabled.exitCode == 0)
        return {ScheduleOutcome::Kind::Enabled,
                saved + QStringLiteral(" New and modified files are backed up every night at ") +
                    TimeText() + QStringLiteral(" by the timer ") + TimerUnitName(name) +
                    QStringLiteral(" (a night missed while the computer is off is caught up on "
                                   "at the next start). It runs:\r\n\r\n") +
                    NightlyCommand(cliCommand, setupPath)};
    const QString how = enabled.outcome == ProgramLaunch::Outcome::Exited
                            ? QStringLiteral("ended with status %1").arg(enabled.exitCode)
                        : enabled.outcome == ProgramLaunch::Outcome::StillRunning
                            ? QStringLiteral("did not answer in time")
                            : QStringLiteral("could not be run");
    return {ScheduleOutcome::Kind::Failed,
            saved + QStringLiteral(" The timer could not be enabled: \"") + CommandLine(arguments) +
                QStringLiteral("\" ") + how +
                QStringLiteral(" (is the program's timer installed?).\r\n\r\n") + cron};
}

} // namespace vnt
