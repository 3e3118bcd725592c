#include "report/RunNotice.h"

#include "backup/Restore.h"
#include "platform/Names.h"
#include "report/StrProc.h"

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
    {Finished, " finished", false},
    {FinishedWithErrors, " finished with errors", true},
    {NothingDone, ": nothing done", true},
    {DiskNotConnected, ": disk not connected", true},
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
    if (!run.counts.isEmpty())
        notice.body = run.counts + u'.';
    if (notice.critical && !run.reportHint.isEmpty())
        notice.body += (notice.body.isEmpty() ? QString() : QStringLiteral("\n")) + run.reportHint;
    return notice;
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

DesktopNotice UnattendedBackupNotice(const OperationState& state, bool ran,
                                     const QString& reportFile) {
    RunEnd run{QStringLiteral("Backup"), RunExitStatus(state), {}, {}};
    if (ran)
        run.counts = RunCountsText(state, Operation::BackupModifiedFiles);
    // A report file is named only when this run began it; before that it is the last run's.
    run.reportHint = !ran || reportFile.isEmpty()
                         ? QStringLiteral("See the Vantoro window.")
                         : QStringLiteral("The whole report is in ") + ShownName(reportFile) + u'.';
    return NoticeOfRun(run);
}

} // namespace vnt
