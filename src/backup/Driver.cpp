#include "backup/Driver.h"

#include "backup/Catalog.h"
#include "backup/Counting.h"
#include "backup/Disks.h"
#include "backup/Walk.h"
#include "mainwindow/FolderProc.h"
#include "mainwindow/Language.h"
#include "platform/Drives.h"
#include "platform/FileCopy.h"
#include "platform/FileErrors.h"
#include "platform/FolderLock.h"
#include "platform/Names.h"
#include "report/ReportFile.h"
#include "report/ReportHost.h"
#include "report/StrProc.h"
#include "report/Summaries.h"

#include <chrono>
#include <future>
#include <optional>
#include <QDateTime>
#include <system_error>

namespace vnt {

namespace {

// A flush may take seconds on a slow disk: it runs on a thread of its own while the window
// stays answerable (a click waits for the flush, but is seen at once).
FileError FlushAnswering(const FileSystemFlush& flush, ReportHost& report) {
    std::future<FileError> flushed;
    try {
        flushed = std::async(std::launch::async, [&flush] { return flush.Flush(); });
    } catch (const std::system_error&) {
        return flush.Flush(); // no thread to be had
    }
    while (flushed.wait_for(std::chrono::milliseconds(20)) != std::future_status::ready)
        report.Yield();
    return flushed.get();
}

const QString CRLF = QStringLiteral("\r\n");

// The quick check for a file writes nothing anywhere: it only answers yes or no, and
// keeps the first folder it could not read.
class SilentHost : public NullReportHost {
public:
    void FailureReported(const QString& path, const QString& reason) override {
        if (failedPath.isEmpty()) {
            failedPath = path;
            failedReason = reason;
        }
    }
    QString failedPath;
    QString failedReason;
};

// The operation as report files are named after it.
QString ReportFileOperation(Operation operation, const OperationState& state) {
    if (operation == state.intOperationListFolders)
        return QStringLiteral("list");
    if (operation == state.intOperationCheckBackupState)
        return QStringLiteral("check");
    if (operation == state.intOperationBackupAllFiles)
        return QStringLiteral("backup-all");
    if (operation == state.intOperationBackupModifiedFiles)
        return QStringLiteral("backup-modified");
    return QStringLiteral("verify");
}

} // namespace

QString BackupDiskAbsentText(const QString& targetFolder) {
    return QStringLiteral("The backup disk for ") + targetFolder +
           QStringLiteral(" is not connected; nothing was done.");
}

namespace {

// The folders exist (a missing target is made where that is asked for), the target may take
// the source's copies, and no other run is using it; the lock is held until the summary.
bool FoldersReady(OperationState& state, MainHooks& main, const Setup& setup, bool list,
                  FolderLock& targetLock) {
    // The folders must exist; a missing target may be created.
    if (!setup.sourceFolder.isEmpty() && !FolderExists(setup.sourceFolder)) {
        if (main.Ask(ProgramText(36) + CRLF + CRLF + ProgramText(81), state.strWindowCaption,
                     MsgResult::No))
            main.ClearSource();
        return false;
    }
    if (!FolderExists(setup.sourceFolder))
        return false;
    if (!list) {
        // Neither offered to be made nor backed up into: it would land on the wrong disk.
        if (!setup.targetFolder.isEmpty() && BackupDiskAway(setup.targetFolder)) {
            state.blnBackupDiskAbsent = true;
            main.Tell(BackupDiskAbsentText(setup.targetFolder), state.strWindowCaption,
                      MsgIcon::Warning);
            return false;
        }
        if (!setup.targetFolder.isEmpty() && !FolderExists(setup.targetFolder) &&
            main.AskCreateTarget(ProgramText(43) + CRLF + CRLF + ProgramText(403),
                                 QStringLiteral("Create folder")) &&
            !CreateFolderPath(setup.targetFolder, CopyFolderMode(setup.sourceFolder)))
            main.Tell(QStringLiteral("Cannot create the target folder."),
                      QStringLiteral("Create folder"), MsgIcon::Warning);
        if (!FolderExists(setup.targetFolder))
            return false;
        // Whatever brought the folders here (a setup file, an old next-run setup), a target
        // that is the source, or holds it, under another name would overwrite the source.
        const TargetRule rule = CheckTargetRule(setup.targetFolder, setup.sourceFolder);
        if (rule != TargetRule::Acceptable) {
            main.Tell(rule == TargetRule::EqualsSource
                          ? ProgramText(27)
                          : setup.targetFolder + CRLF + CRLF + ProgramText(28),
                      state.strWindowCaption, MsgIcon::Warning);
            return false;
        }
        // Taken once the target exists (created just above when it was missing and that
        // was asked for): before that, no run can write in it. Only another run's lock
        // stops this one; a folder or file system that allows no lock does not.
        const FolderLock::Outcome locked =
            targetLock.Take(setup.targetFolder, TargetLockWaitMilliseconds());
        if (locked == FolderLock::Outcome::Stopped)
            return false; // asked to stop while it waited: nothing to say
        if (locked == FolderLock::Outcome::HeldElsewhere) {
            main.Tell(QStringLiteral("Another Vantoro run is using the target folder ") +
                          setup.targetFolder +
                          QStringLiteral(", so nothing was done. Please try again when that run "
                                         "has finished."),
                      state.strWindowCaption, MsgIcon::Warning);
            return false;
        }
    }

    return true;
}

// The source holds something, and the Setup selects at least one file of it.
bool SelectsWork(OperationState& state, MainHooks& main, const Setup& setup,
                 Operation operation) {
    state.blnSubfoldersExist = CountSubfolders(setup.sourceFolder).count > 0;
    if (IsChecked(setup.excludeFilesInSourceFolder) && setup.includedFolders.isEmpty()) {
        main.Tell(QStringLiteral("The setup excludes the files in the source folder and includes "
                                 "no subfolder, so there is nothing to do."),
                  state.strWindowCaption, MsgIcon::Warning);
        return false;
    }
    if (CountFiles(setup.sourceFolder, QStringLiteral("*.*")).count == 0 &&
        !state.blnSubfoldersExist) {
        main.Tell(ProgramText(37), ProgramText(38), MsgIcon::Warning);
        return false;
    }

    // Does the Setup select any file at all?
    state.strExcludedFilepaths = ParseExcludedFilepaths(setup.excludedFilepaths);
    state.intNumExcludedFilepaths = static_cast<qint32>(state.strExcludedFilepaths.size());
    const bool slowCheck = !setup.fileExtension.isEmpty();
    if (slowCheck)
        main.ShowCheckingNotice(true);
    state.intOperation = state.intOperationCheckForFile;
    state.blnFileExists = false;
    SilentHost silent;
    {
        FolderWalk check(setup, state, silent);
        check.WalkFolder(setup.sourceFolder);
    }
    state.intOperation = operation;
    if (slowCheck)
        main.ShowCheckingNotice(false);
    // A folder that could not be read (too few descriptors, say) is not an empty selection.
    if (!state.blnFileExists && !silent.failedPath.isEmpty()) {
        main.Tell(ProgramText(79) + u' ' + silent.failedPath + QStringLiteral(": ") +
                      silent.failedReason + QStringLiteral(". Nothing was done."),
                  state.strWindowCaption, MsgIcon::Warning);
        return false;
    }
    if (!state.blnFileExists) {
        main.Tell(ProgramText(40), ProgramText(38), MsgIcon::Warning);
        return false;
    }

    return true;
}

// The counts and texts of a new operation, and the report window prepared for it.
void StartReport(OperationState& state, MainHooks& main, Setup& setup, ReportHost& report,
                 Operation operation, bool list) {
    state.dblTotalFilesize = 0;
    state.lngTotalNumFolders = state.lngTotalNumFiles = 0;
    state.lngTotalNumNewFiles = state.lngTotalNumModifiedFiles = 0;
    state.lngTotalNumFilesCopied = state.lngTotalNumCopyErrors = 0;
    state.lngTotalNumKeptCopies = 0;
    state.lngTotalNumFilesCompared = state.lngTotalNumFilesDiffering = 0;
    state.lngTotalNumFilesNotInTarget = state.lngTotalNumFilesRepaired = 0;
    state.strVerifyProblems.clear();
    state.strFirstFailure.clear();
    state.dblTotalBytesCompared = 0;
    state.blnDisplayingSummary = false;
    setup.excludedFilepaths = setup.excludedFilepaths.trimmed();
    main.SetExcludedFilepathsText(setup.excludedFilepaths);
    state.strExcludedFilepaths = ParseExcludedFilepaths(setup.excludedFilepaths);
    state.intNumExcludedFilepaths = static_cast<qint32>(state.strExcludedFilepaths.size());
    state.blnSuppressDetailedReports = IsChecked(setup.suppressDetailedReports);
    report.blnReportBufferFull = false;

    QString caption;
    if (list)
        caption = IsChecked(setup.suppressDetailedReports)
                      ? QStringLiteral("Counting files and folders")
                      : main.OperationCaption(operation);
    else
        caption = state.strWindowCaption;
    if (!setup.fileExtension.isEmpty())
        caption += QStringLiteral(" with file extension '") + setup.fileExtension + u'\'';
    report.SetCaption(caption);
    report.OperationStarted();

    const QString legendName = u'{' + ProgramText(45) + u'}';
    if (setup.sourceFolder.size() > legendName.size() + 5 && !state.blnSuppressDetailedReports)
        report.SetText(ProgramText(45) + QStringLiteral(" = ") + setup.sourceFolder + CRLF);
    report.intPauseInSeconds = 15;
    report.ShowReport();
    if (list)
        report.SetText(QStringLiteral("Now counting files and folders ...") + CRLF);
}

// Done means on the disk: people unplug a backup disk as soon as the report says so.
void FlushCopies(OperationState& state, const Setup& setup, ReportHost& report,
                 const FileSystemFlush& flush) {
        if (const FileError flushed = FlushAnswering(flush, report)) {
            ++state.lngTotalNumCopyErrors;
            report.Output(CRLF + QStringLiteral("    ") + ProgramText(416) + u' ' +
                              setup.targetFolder + QStringLiteral("  ") + flushed.description,
                          true);
            ReportFailure(state, report, setup.targetFolder,
                          ProgramText(416) + u' ' + flushed.description);
        }
}

// The source's subfolders the Setup does not include, with their files: a first backup of a
// home folder that takes only its own few files must not end like a whole one.
void SayWhatIsNotIncluded(ReportHost& report, MainHooks& main, const Setup& setup) {
    FileError error;
    QStringList left = SubfolderNames(setup.sourceFolder, error);
    for (const QString& chosen : setup.includedFolders)
        left.removeAll(chosen);
    if (left.isEmpty())
        return;
    constexpr qsizetype Named = 5;
    const bool one = left.size() == 1;
    report.Output(QString(), true);
    report.Output(QStringLiteral("Not included: ") + FormatCount(left.size()) +
                      (one ? QStringLiteral(" subfolder of ") : QStringLiteral(" subfolders of ")) +
                      setup.sourceFolder +
                      (one ? QStringLiteral(" with its files: ") : QStringLiteral(" with their files: ")) +
                      left.mid(0, Named).join(QStringLiteral(", ")) +
                      (left.size() > Named ? QStringLiteral(", ...") : QString()) +
                      QStringLiteral(". ") + main.IncludeSubfoldersHint(),
                  true);
}

// The totals, and where the whole report is kept.
void WriteSummary(OperationState& state, MainHooks& main, ReportHost& report, const Setup& setup,
                  Operation operation, const QString& reportFile,
                  const QString& reportFileProblem) {
    state.blnDisplayingSummary = true;
    const bool list = operation == Operation::ListFolders;
    const bool backupModified = operation == Operation::BackupModifiedFiles;
    if (state.blnStop)
        report.Output(ProgramText(49) + CRLF, false);
    // Named before the totals: the window may hold only the end of a long report.
    if (!reportFile.isEmpty()) {
        report.Output(QString(), true);
        report.Output(ReportFileLine(reportFile), true);
    } else if (!reportFileProblem.isEmpty()) {
        report.Output(QString(), true);
        report.Output(QStringLiteral("The report could not be kept in a file: ") +
                          reportFileProblem + u'.',
                      true);
    }
    if (list)
        ReportForListFolders(report, state);
    else if (operation == state.intOperationBackupAllFiles)
        ReportForBackupAllFiles(report, state);
    else if (backupModified)
        ReportForBackupModifiedFiles(report, state, main.ModifiedSinceText());
    else if (operation == state.intOperationVerifyBackup)
        ReportForVerifyBackup(report, state);
    else
        ReportForCheckBackupState(report, state, main.ModifiedSinceText());
    if (!list)
        SayWhatIsNotIncluded(report, main, setup);

    if (const QString problem = report.EndReportFile(); !problem.isEmpty())
        report.Output(QStringLiteral("The report file ") + reportFile +
                          QStringLiteral(" is not complete: ") + problem + u'.',
                      true);
}

// What the sleep lock says the computer stays awake for.
QString AwakeReason(Operation operation, const Setup& setup) {
    const QString folder = ShownName(setup.sourceFolder);
    switch (operation) {
    case Operation::ListFolders:
        return QStringLiteral("Listing ") + folder;
    case Operation::CheckBackupState:
        return QStringLiteral("Checking ") + folder;
    case Operation::VerifyBackup:
        return QStringLiteral("Verifying ") + folder;
    default:
        return QStringLiteral("Backing up ") + folder;
    }
}

} // namespace

void RunOperation(OperationState& state, MainHooks& main, Operation operation) {
    state.intOperation = operation;
    Setup setup = main.ReadSetup();
    state.blnStop = false;
    // blnReportLost is the host's: a console that could not log its first line has set it.
    state.blnOperationStarted = state.blnInterrupted = false;
    state.blnBackupDiskAbsent = false;

    const bool list = operation == state.intOperationListFolders;
    const bool backupModified = operation == state.intOperationBackupModifiedFiles;
    const bool backup = operation == state.intOperationBackupAllFiles || backupModified;
    state.strWindowCaption = main.OperationCaption(operation);
    if (backupModified)
        state.strWindowCaption += QStringLiteral(" (") + main.ModifiedSinceText() + u')';
    state.blnListFolders = list;
    state.blnBackupOperation = backup;
    // Held to the end of the summary; a list reads only the source and takes none.
    FolderLock targetLock;

    if (!FoldersReady(state, main, setup, list, targetLock) ||
        !SelectsWork(state, main, setup, operation))
        return;
    if (backup) {
        QString errorText;
        int errorNumber = 0;
        if (WriteTestFails(setup.targetFolder, errorText, &errorNumber)) {
            main.Tell(WriteTestFailureText(errorNumber, errorText, ProgramText(406)),
                      state.strWindowCaption, MsgIcon::Warning);
            return;
        }
    }
    if (backup && !state.blnScheduledTask && !main.ConfirmOperation())
        return;
    // From here on the operation runs to its summary, whatever stops it. Not before: a
    // question or a refusal left on the screen must not keep the computer awake all night.
    const UniqueFd awake = main.Inhibitor().HoldOffSleep(AwakeReason(operation, setup));
    ReportHost& report = main.PrepareReport();
    state.blnOperationStarted = true;
    QString reportFileProblem;
    const QString reportFile = report.BeginReportFile(ReportFileOperation(operation, state),
                                                      reportFileProblem);

    StartReport(state, main, setup, report, operation, list);
    state.blnStop = false;
    main.LockForOperation();
    state.blnPausedAfterFirstCopy = false;
    // Opened before the first copy, so that the flush at the end reports every write error.
    const bool writes = backup || (operation == state.intOperationVerifyBackup && state.blnRepair);
    const std::optional<FileSystemFlush> flush =
        writes ? std::make_optional<FileSystemFlush>(setup.targetFolder) : std::nullopt;
    RunHistory history(setup, state, ReportFileOperation(operation, state));
    {
        FolderWalk walk(setup, state, report);
        walk.catalog = history.Writer();
        walk.WalkFolder(setup.sourceFolder);
    }
    if (writes && state.lngTotalNumFilesCopied > 0) {
        history.Settle();
        FlushCopies(state, setup, report, *flush);
    }
    history.End(state, report);
    // The disk this backup went to, so that a later run knows when it is away.
    if (const int status = RunExitStatus(state);
        writes && (status == Finished || status == FinishedWithErrors))
        RememberBackupDisk(setup.targetFolder, QDateTime::currentMSecsSinceEpoch());
    report.SetSourceDirpath(QString());
    report.SetTargetDirpath(QString());
    report.SetFileNowBeingCopied(QString(), QString());
    main.UnlockAfterOperation();

    WriteSummary(state, main, report, setup, operation, reportFile, reportFileProblem);
    report.MoveCaretToEnd();
    report.OperationFinished();
    report.SetCaption(state.strWindowCaption);
    main.RefreshDisplays();
    if (report.IsReportVisible())
        report.ShowReport();
}

} // namespace vnt
