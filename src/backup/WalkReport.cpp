#include "backup/WalkReport.h"

#include "mainwindow/Language.h"
#include "platform/FileErrors.h"
#include "platform/Names.h"
#include "report/Progress.h"
#include "report/ReportHost.h"
#include "report/StrProc.h"

#include <cerrno>
#include <QDateTime>

namespace vnt {

void ReportFailure(OperationState& state, ReportHost& host, const QString& path,
                   const QString& reason) {
    if (state.strFirstFailure.isEmpty())
        state.strFirstFailure =
            path + QStringLiteral(": ") +
            QString(reason).replace(QStringLiteral("\r\n"), QStringLiteral(" "));
    host.FailureReported(path, reason);
}

namespace {
const QString CRLF = QStringLiteral("\r\n");
const QString SixBlanks = QStringLiteral("      ");
const QString FourBlanks = QStringLiteral("    "); // folder-level lines

// Errors of opening a file that say it is not there (any more) under its name.
bool SourceGone(int error) {
    return error == ENOENT || error == ENOTDIR || error == ENAMETOOLONG || error == EILSEQ ||
           error == ELOOP;
}
} // namespace

QString GetCopyErrorText(const CopyOutcome& outcome) {
    // Why the source could not be read: permission denied, in use or locked; any other
    // failure, the target's included, is said in general words.
    if (outcome.failedSide == CopySide::Source) {
        switch (outcome.systemError) {
        case EACCES:
        case EPERM:
            return ProgramText(347);
        case EBUSY:
        case ETXTBSY:
        case EAGAIN:
            return ProgramText(346);
        default:
            break;
        }
    }
    return ProgramText(172);
}

WalkReport::WalkReport(OperationState& stateIn, ReportHost& hostIn)
    : state(stateIn), host(hostIn) {}

QString WalkReport::BadNameExplanation(const QString& description, const QString& path) {
    return description + CRLF + CRLF +
           QStringLiteral("Possibly the filepath contains an invalid character:") + CRLF + path +
           CRLF + QStringLiteral("You may wish to rename or to delete this file.");
}

QString WalkReport::KeepFailedText(const QString& why) {
    return QStringLiteral("The previous copy could not be kept, so it was not replaced (") + why +
           u')';
}

QString WalkReport::CopyFailureText(const CopyOutcome& outcome, const QString& path) {
    if (outcome.sameFile)
        return ProgramText(414);
    if (outcome.changed)
        return ProgramText(413);
    if (outcome.failedSide == CopySide::Source && SourceGone(outcome.systemError)) {
        // Gone since the folder was listed: the source's own reason, as for a file found
        // missing before its copy, not a failure to write the target.
        return outcome.error.number == ErrorNumber::BadFileName
                   ? BadNameExplanation(outcome.error.description, path)
                   : outcome.error.description;
    }
    if (outcome.keepFailed)
        return KeepFailedText(outcome.error.description);
    return GetCopyErrorText(outcome) + QStringLiteral(" (") + outcome.error.description + u')';
}

void WalkReport::EndLine() {
    if (folderLineOut && !host.blnReportBufferFull && !host.ReportText().endsWith(CRLF))
        host.AppendToText(CRLF);
}

void WalkReport::FileLine(const QString& line) {
    if (state.blnSuppressDetailedReports)
        return;
    if (folderLineOut) {
        EndLine();
    } else {
        host.Output(CRLF + host.strNumFilesInFolder, true);
        folderLineOut = true;
    }
    host.Output(line, true);
}

QString WalkReport::SameNameText(const QString& first) {
    return QStringLiteral("not copied: on this disk its name is the same as ") + first;
}

bool WalkReport::FileFailure(const QString& path, const QString& reason) {
    if (!folderLineOut && !state.blnSuppressDetailedReports) {
        host.Output(CRLF + host.strNumFilesInFolder, true);
        folderLineOut = true;
    }
    host.Output(CRLF + SixBlanks + ProgramText(79) + u' ' + path + QStringLiteral("  ") + reason,
                true);
    ReportFailure(state, host, path, reason);
    ++state.lngTotalNumCopyErrors;
    // Once the user chose to stop, copies still finishing are reported, not asked about.
    if (!state.blnStop && AskToStop(ProgramText(80) + CRLF + path + CRLF + reason, true)) {
        state.blnStop = true;
        return true;
    }
    host.Output(QString(), true);
    return false;
}

void WalkReport::LeftBehind(const QString& line, const QString& path, const QString& reason) {
    host.Output(line, true);
    ReportFailure(state, host, path, reason);
    ++state.lngTotalNumCopyErrors;
}

void WalkReport::FolderLine(const QString& text) {
    host.Output(CRLF + FourBlanks + text, true);
}

bool WalkReport::AskToStop(const QString& what, bool everySixth) {
    if (everySixth && !(state.lngTotalNumCopyErrors > 0 && state.lngTotalNumCopyErrors % 6 == 0))
        return false;
    host.Beep();
    return AskPaused(what + CRLF + CRLF + ProgramText(63) +
                         QString::number(state.lngTotalNumCopyErrors) + u'.' + CRLF +
                         ProgramText(64),
                     ProgramText(83));
}

bool WalkReport::AskPaused(const QString& message, const QString& title) {
    host.blnPaused = true;
    const bool yes = host.AskYesNo(message, title, MsgResult::No, MsgIcon::Question);
    host.blnPaused = false;
    return yes;
}

void WalkReport::ShowFolders(const QString& source, const QString& target) {
    bool shortened = false;
    host.SetSourceDirpath(QStringLiteral("Source folder: ") +
                          ShortenedPath(source, state.intMaxPathDisplayLength, shortened));
    host.SetTargetDirpath(QStringLiteral("Target folder:  ") +
                          ShortenedPath(target, state.intMaxPathDisplayLength, shortened));
    host.SetFileNowBeingCopied(QString(), QString());
}

void WalkReport::ShowWaitNotice(qsizetype files) {
    if (noticeAt >= 0 || host.blnReportBufferFull || files < state.intManyFilesThreshold ||
        state.blnSuppressDetailedReports)
        return;
    noticeAt = host.ReportText().size();
    host.AppendToText(ProgramText(60) + u' ');
    host.MoveCaretToEnd();
    host.DrawNow();
}

void WalkReport::RemoveWaitNotice() {
    if (noticeAt < 0)
        return;
    host.RemoveFromEnd(host.ReportText().size() - noticeAt);
    host.MoveCaretToEnd();
    noticeAt = -1;
}

bool WalkReport::LabelsDue(QElapsedTimer& clock) {
    if (clock.isValid() && clock.elapsed() < 50)
        return false;
    clock.start();
    return true;
}

void WalkReport::ShowFileLabel(const QString& name) {
    if (!host.ShowsLabels() || !LabelsDue(fileLabelClock))
        return;
    const QString label = host.FileNowBeingCopiedLabel();
    host.SetFileNowBeingCopied(label.isEmpty() ? QStringLiteral("File now being copied: ") : label,
                               name);
}

void WalkReport::ClearFileLabel() {
    if (host.ShowsLabels() && LabelsDue(fileLabelClock))
        host.SetFileNowBeingCopied(host.FileNowBeingCopiedLabel(), QString());
}

void WalkReport::ShowCopied(const QString& drive, std::optional<double> freeSpace, bool final) {
    // Label texts only for a host that shows labels (not the console).
    if (!host.ShowsLabels())
        return;
    labelsBehind = true;
    if (!final && !LabelsDue(copiedClock))
        return;
    labelsBehind = false;
    host.ShowBytesCopied(BytesCopiedText(state.dblTotalFilesize, state.lngTotalNumFilesCopied));
    // The figure spent by every copy handed out, asked of the disk again only where the
    // free-space rule needed it.
    if (freeSpace)
        host.ShowFreeSpace(FreeSpaceLabelText(drive, *freeSpace));
    else
        DisplayFreeSpace(host, drive);
}

bool WalkReport::StopRequested() const {
    return state.blnStop;
}

void WalkReport::Yield() {
    host.Yield();
}

void WalkReport::ShowCopyProgress(const CopyJob& job) {
    if (job.compare || !job.batch.empty() || job.done)
        return;
    const qint64 done = job.bytesCopied.load(std::memory_order_relaxed);
    if (done <= 0 || done >= job.bytes ||
        (progressClock.isValid() && progressClock.elapsed() < progressIntervalMs))
        return;
    progressClock.start();
    progressJob = &job;
    host.CopyProgress(LowerCase(DecodeName(job.targetName)), done, job.bytes);
}

void WalkReport::EndCopyProgress(const CopyJob* job) {
    if (job == nullptr || job != progressJob)
        return;
    progressJob = nullptr;
    host.CopyProgress(QString(), 0, 0);
}

} // namespace vnt
