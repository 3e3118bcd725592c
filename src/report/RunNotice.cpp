#include "report/RunNotice.h"

#include "backup/Disks.h"
#include "backup/Restore.h"
#include "platform/Names.h"
#include "report/StrProc.h"

#include <QDateTime>
#include <QFileInfo>

namespace vnt {

namespace {

// How a run ended, by exit status: the end of the title and whether it is a failure (which
// the desktop shows as critical). A new exit status adds its row here.
struct Ending {
    int status;
    const char* title;
    bool failure;
};
constexpr Ending Endings[] = {
    {Finished, " finished", false},        {FinishedWithErrors, " finished with errors", true},
    {NothingDone, ": nothing done", true}, {DiskNotConnected, ": disk not connected", true},
    {Interrupted, " interrupted", true},
};

QString Counted(qint64 count, const char* one, const char* many) {
    return FormatCount(count) + u' ' + QLatin1String(count == 1 ? one : many);
}

QString Errors(qint64 count) {
    return Counted(count, "error", "errors");
}

} // namespace

QString NoticeWord(const QString& command) {
    if (command.startsWith(QStringLiteral("backup-")))
        return QStringLiteral("Backup");
    for (const QString& word : {QStringLiteral("Check"), QStringLiteral("List"),
                                QStringLiteral("Verify"), QStringLiteral("Restore")})
        if (command == word.toLower())
            return word;
    return {};
}

QString RunCountsText(const OperationState& state, Operation operation) {
    const QString errors = Errors(state.lngTotalNumCopyErrors);
    switch (operation) {
    case Operation::ListFolders:
        return Counted(state.lngTotalNumFolders, "folder", "folders") + QStringLiteral(", ") +
               Counted(state.lngTotalNumFiles, "file", "files") + QStringLiteral(", ") + errors;
    case Operation::CheckBackupState:
        return FormatCount(state.lngTotalNumNewFiles) + QStringLiteral(" new and ") +
               Counted(state.lngTotalNumModifiedFiles, "modified file", "modified files") +
               QStringLiteral(", ") + errors;
    case Operation::VerifyBackup: {
        QString text = Counted(state.lngTotalNumFilesCompared, "file compared", "files compared");
        if (const qint64 wrong =
                state.lngTotalNumFilesDiffering + state.lngTotalNumFilesNotInTarget)
            text +=
                QStringLiteral(", ") + FormatCount(wrong) + QStringLiteral(" differing or missing");
        if (state.blnRepair)
            text += QStringLiteral(", ") + FormatCount(state.lngTotalNumFilesRepaired) +
                    QStringLiteral(" repaired");
        return text + QStringLiteral(", ") + errors;
    }
    default:
        return Counted(state.lngTotalNumFilesCopied, "file copied", "files copied") +
               QStringLiteral(", ") + errors;
    }
}

QString RestoreCountsText(const RestoreTotals& totals) {
    return Counted(totals.restored, "file restored", "files restored") + QStringLiteral(", ") +
           FormatCount(totals.leftBehind) + QStringLiteral(" left behind");
}

DesktopNotice NoticeOfRun(const RunEnd& run) {
    DesktopNotice notice;
    const Ending* ending = nullptr;
    for (const Ending& row : Endings)
        if (row.status == run.status)
            ending = &row;
    notice.title = run.word + (ending != nullptr ? QString::fromLatin1(ending->title)
                                                 : QStringLiteral(" ended with status ") +
                                                       QString::number(run.status));
    notice.critical = ending == nullptr || ending->failure;
    QStringList lines;
    const QString disk =
        run.disk.isEmpty() ? QStringLiteral("for ") + ShownName(run.target) : ShownName(run.disk);
    if (run.overdueDays > 0)
        notice.title = QStringLiteral("No backup for %1 days: connect ").arg(run.overdueDays) +
                       (run.disk.isEmpty() ? QStringLiteral("the backup disk") : disk);
    if (run.status == DiskNotConnected) {
        QString line = run.word + QStringLiteral(" not done: the backup disk ") + disk +
                       QStringLiteral(" is not connected.");
        if (run.lastBackupMs > 0)
            line += QStringLiteral(" The last backup to it was on ") +
                    QDateTime::fromMSecsSinceEpoch(run.lastBackupMs)
                        .toString(QStringLiteral("yyyy-MM-dd 'at' HH:mm")) +
                    u'.';
        lines.append(line);
        lines.append(QStringLiteral("Connect ") +
                     (run.disk.isEmpty() ? QStringLiteral("the backup disk") : disk) +
                     QStringLiteral(" and run the backup again."));
    } else if (run.counts.isEmpty() && !run.reason.isEmpty()) {
        lines.append(run.word + QStringLiteral(" not done: ") +
                     ShownLine(QString(run.reason)
                                   .replace(QStringLiteral("\r\n"), QStringLiteral(" "))
                                   .simplified()));
    } else if (!run.counts.isEmpty()) {
        lines.append(run.counts + u'.');
    }
    if (!run.setup.isEmpty())
        lines.append(QStringLiteral("Setup: ") + ShownName(run.setup) +
                     (run.disk.isEmpty() || run.status == DiskNotConnected
                          ? QString()
                          : QStringLiteral(", backup disk ") + ShownName(run.disk)) +
                     u'.');
    if (!run.firstError.isEmpty())
        lines.append(QStringLiteral("First error: ") + ShownLine(run.firstError));
    if (notice.critical && !run.reportHint.isEmpty())
        lines.append(run.reportHint);
    notice.body = lines.join(u'\n');
    return notice;
}

QString SetupNoticeName(const QString& setupFile, const QString& sourceFolder) {
    if (!setupFile.isEmpty()) {
        const QString name = QFileInfo(setupFile).fileName();
        return name.endsWith(QStringLiteral(".vnt")) ? name.chopped(4) : name;
    }
    return sourceFolder.size() > 1 && sourceFolder.endsWith(u'/') ? sourceFolder.chopped(1)
                                                                  : sourceFolder;
}

QString ConsoleReportHint(const QString& logPath, bool startedBySystemd, const QByteArray& cgroup) {
    if (!logPath.isEmpty())
        return QStringLiteral("The report is in ") + ShownName(logPath) + u'.';
    // The unified hierarchy's line names the unit: "0::/user.slice/user-1000.slice/
    // user@1000.service/app.slice/vantoro-backup@home.service".
    QByteArray path;
    for (const QByteArray& line : cgroup.split('\n'))
        if (line.startsWith("0::"))
            path = line.mid(3).trimmed();
    const QString unit = ShownName(DecodeName(path.mid(path.lastIndexOf('/') + 1)));
    if (startedBySystemd && unit.endsWith(QStringLiteral(".service")))
        return QStringLiteral("The report is in the journal: journalctl ") +
               (path.contains("/user@") ? QStringLiteral("--user ") : QString()) +
               QStringLiteral("-u ") + unit;
    return QStringLiteral("Run the command again, or with --log FILE, to read its report.");
}

DesktopNotice UnattendedBackupNotice(const OperationState& state, const Setup& setup,
                                     const QString& reportFile, const QString& reason) {
    RunEnd run;
    run.word = QStringLiteral("Backup");
    run.status = RunExitStatus(state);
    const bool ran = state.blnOperationStarted;
    if (ran)
        run.counts = RunCountsText(state, Operation::BackupModifiedFiles);
    run.setup = SetupNoticeName(state.strSetupFileName, setup.sourceFolder);
    run.target = setup.targetFolder;
    run.disk = BackupDiskName(setup.targetFolder);
    run.firstError = state.strFirstFailure;
    run.reason = reason;
    if (run.status == DiskNotConnected)
        run.lastBackupMs = RememberedBackupDisk(setup.targetFolder).lastBackupMs;
    // A report file is named only when this run began it; before that it is the last run's.
    if (ran && !reportFile.isEmpty())
        run.reportHint = QStringLiteral("The whole report is in ") + ShownName(reportFile) + u'.';
    return NoticeOfRun(run);
}

} // namespace vnt
