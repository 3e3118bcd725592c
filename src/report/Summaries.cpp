#include "report/Summaries.h"

#include "backup/OperationState.h"
#include "report/ReportHost.h"
#include "report/StrProc.h"

namespace vnt {

namespace {

void Line(ReportHost& host, const char* label, const QString& value) {
    host.Output(QString::fromLatin1(label) + value, true);
}

QString Count(qint32 n) {
    return FormatCount(n);
}

QString Size(double bytes) {
    return FormatByteSize(bytes);
}

} // namespace

void ReportForListFolders(ReportHost& host, const OperationState& state) {
    Line(host, "\r\nNumber of folders: ", Count(state.lngTotalNumFolders));
    Line(host, "Number of files: ", Count(state.lngTotalNumFiles));
    Line(host, "Sum of file sizes: ", Size(state.dblTotalFilesize));
    if (host.IsReportVisible())
        host.ShowReport();
}

void ReportForBackupAllFiles(ReportHost& host, const OperationState& state) {
    host.Output(QString(), true);
    Line(host, "Number of non-empty folders accessed: ", Count(state.lngTotalNumFolders));
    Line(host, "Number of files copied: ", Count(state.lngTotalNumFilesCopied));
    if (state.blnKeepReplaced)
        Line(host, "Number of previous copies kept: ", Count(state.lngTotalNumKeptCopies));
    if (state.lngTotalNumCopyErrors > 0)
        Line(host, "Number of errors when attempting to copy a file: ",
             Count(state.lngTotalNumCopyErrors));
    if (state.lngTotalNumFilesCopied > 0)
        Line(host, "Sum of sizes of files copied: ", Size(state.dblTotalFilesize));
    host.HideBytesCopied();
}

void ReportForBackupModifiedFiles(ReportHost& host, const OperationState& state,
                                  const QString& periodText) {
    host.Output(QStringLiteral("\r\n"), true);
    host.Output(QStringLiteral("For files new or modified ") + periodText + u':', true);
    Line(host, "Number of modified files: ", Count(state.lngTotalNumModifiedFiles));
    Line(host, "Number of files not previously backed up: ", Count(state.lngTotalNumNewFiles));
    if (state.lngTotalNumNewFiles > 0 && state.lngTotalNumModifiedFiles > 0)
        Line(host, "Number of files modified or not previously backed up: ",
             Count(state.lngTotalNumNewFiles + state.lngTotalNumModifiedFiles));
    Line(host, "Number of files copied: ", Count(state.lngTotalNumFilesCopied));
    if (state.blnKeepReplaced)
        Line(host, "Number of previous copies kept: ", Count(state.lngTotalNumKeptCopies));
    if (state.lngTotalNumCopyErrors > 0)
        Line(host, "Number of errors when attempting to copy a file: ",
             Count(state.lngTotalNumCopyErrors));
    Line(host, "Sum of sizes of files copied: ", Size(state.dblTotalFilesize));
    host.HideBytesCopied();
}

void ReportForCheckBackupState(ReportHost& host, const OperationState& state,
                               const QString& periodText) {
    host.Output(QString(), true);
    host.Output(QStringLiteral("For files new or modified ") + periodText + u':', true);
    Line(host, "Number of modified files: ", Count(state.lngTotalNumModifiedFiles));
    Line(host, "Number of files not backed up: ", Count(state.lngTotalNumNewFiles));
    if (state.lngTotalNumModifiedFiles == 0 && state.lngTotalNumNewFiles == 0)
        host.Output(QStringLiteral("All files backed up."), true);
    else if (state.lngTotalNumModifiedFiles > 0 && state.lngTotalNumNewFiles > 0)
        Line(host, "Number of files modified or not backed up: ",
             Count(state.lngTotalNumNewFiles + state.lngTotalNumModifiedFiles));
}

void ReportForVerifyBackup(ReportHost& host, const OperationState& state) {
    Line(host, "\r\nNumber of folders: ", Count(state.lngTotalNumFolders));
    Line(host, "Number of files: ", Count(state.lngTotalNumFiles));
    Line(host, "Number of files compared: ", Count(state.lngTotalNumFilesCompared));
    Line(host, "Number of files whose contents differ: ", Count(state.lngTotalNumFilesDiffering));
    Line(host, "Number of files not in the target: ", Count(state.lngTotalNumFilesNotInTarget));
    if (state.blnRepair)
        Line(host, "Number of files repaired: ", Count(state.lngTotalNumFilesRepaired));
    if (state.lngTotalNumCopyErrors > 0)
        Line(host, "Number of errors when reading a file: ", Count(state.lngTotalNumCopyErrors));
    Line(host, "Sum of sizes of files compared: ", Size(state.dblTotalBytesCompared));
}

} // namespace vnt
