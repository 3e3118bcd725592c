#include "report/Progress.h"

#include "backup/Disks.h"
#include "mainwindow/Language.h"
#include "report/ReportHost.h"
#include "report/StrProc.h"

namespace vnt {

namespace {

const QString SourceFolderMark = QStringLiteral("{source folder}");

// A result that starts after a finished line stands indented on a line of its own.
void Indent(ReportHost& host) {
    if (host.ReportText().endsWith(QStringLiteral("\r\n")))
        host.AppendToText(QStringLiteral("    "));
}

QString FilesPhrase(qint32 modified, qint32 fresh, const char* ending) {
    return QStringLiteral("  ") + QString::number(modified) + QStringLiteral(" modified file") +
           PluralSuffix(modified) + QStringLiteral(" and ") + QString::number(fresh) +
           QStringLiteral(" file") + PluralSuffix(fresh) + QString::fromLatin1(ending);
}

} // namespace

QString FolderCountField(qint32 numFiles) {
    if (numFiles == -1)
        return QStringLiteral("    ? files  in ");
    if (numFiles == 1)
        return QStringLiteral("    1 file  in ");
    return (QStringLiteral("     ") + QString::number(numFiles)).right(5) +
           QStringLiteral(" files in ");
}

QString FolderPathForReport(const QString& folder, const QString& sourceFolder,
                            bool subfoldersExist) {
    if (sourceFolder.size() > SourceFolderMark.size() + 5 && subfoldersExist)
        return QString(folder).replace(sourceFolder, SourceFolderMark);
    return folder;
}

QString BytesCopiedText(double bytes, qint32 filesCopied) {
    return QStringLiteral("Copied: ") + FormatByteSize(bytes) + QStringLiteral(" in ") +
           FormatCount(filesCopied) + QStringLiteral(" file") + PluralSuffix(filesCopied);
}

QString FreeSpaceLabelText(const QString& drive) {
    return ProgramText(168) + u' ' + drive + u' ' + GetDriveFreeSpaceText(drive);
}

QString FreeSpaceLabelText(const QString& drive, double freeBytes) {
    return ProgramText(168) + u' ' + drive + u' ' + FormatDiskSize(freeBytes, false);
}

void DisplayNumFilesInFolder(ReportHost& host, bool IsBackupOperation, const QString& sourceFolder,
                             bool subfoldersExist, const QString& strFolder, qint32 lngNumFilesInFolder, bool blnCRLF,
                             bool blnDisplayZeroFiles, bool blnImmediateOutput) {
    if (lngNumFilesInFolder == 0 && !blnDisplayZeroFiles)
        return;
    const QString piece =
        FolderCountField(lngNumFilesInFolder) +
        (IsBackupOperation ? FolderPathForReport(strFolder, sourceFolder, subfoldersExist)
                           : strFolder);
    if (blnImmediateOutput) {
        host.Output(piece, blnCRLF);
        host.MoveCaretToEnd();
    } else {
        host.strNumFilesInFolder = piece;
    }
    host.Repaint();
}

void DisplayFilesCopied(ReportHost& host, bool backupAllFiles, qint32 lngNumFiles,
                        qint32 lngNumNewFiles, qint32 lngNumModifiedFiles,
                        qint32 lngNumFilesCopied) {
    const qint32 n = lngNumFiles;
    const qint32 w = lngNumNewFiles;
    const qint32 m = lngNumModifiedFiles;
    const qint32 k = lngNumFilesCopied;

    if (backupAllFiles) {
        if (k == n) {
            Indent(host);
            host.Output(k == 1   ? QStringLiteral("  Copied.")
                        : k == 2 ? QStringLiteral("  Both copied.")
                                 : QStringLiteral("  All copied."),
                        true);
        } else if (k == 0) {
            host.Output(QStringLiteral("  None copied."), true);
        } else if (k == 1) {
            host.Output(QStringLiteral("  Only one file copied."), true);
        } else {
            host.Output(QStringLiteral("  Only ") + QString::number(k) +
                            QStringLiteral(" files copied."),
                        true);
        }
        return;
    }

    // What was found.
    if (w != n && m == n) {
        Indent(host);
        if (m > 1)
            host.Output(QStringLiteral("  All are modified.  "), false);
    } else if (w != n && w + m > 0) {
        Indent(host);
        host.Output(FilesPhrase(m, w, " not previously backed up.  "), false);
    } else if (w == n && w > 1) {
        Indent(host);
        host.Output(w == 2 ? QStringLiteral("  Neither previously backed up.  ")
                           : QStringLiteral("  None previously backed up.  "),
                    false);
    }

    // What was copied; it follows on the same line.
    if (k == 0)
        return;
    Indent(host);
    if (w + m != k && k == 1)
        host.Output(QStringLiteral("One file copied."), true);
    else if (w + m != k)
        host.Output(QString::number(k) + QStringLiteral(" files copied."), true);
    else if (k == 1)
        host.Output(QStringLiteral("Copied."), true);
    else if (k == 2)
        host.Output(QStringLiteral("Both copied."), true);
    else
        host.Output(QStringLiteral("All Copied."), true);
}

void DisplayNewAndModifiedFiles(ReportHost& host, qint32 lngNumFiles, qint32 lngNumNewFiles,
                                qint32 lngNumModifiedFiles) {
    const qint32 n = lngNumFiles;
    const qint32 w = lngNumNewFiles;
    const qint32 m = lngNumModifiedFiles;
    if (w == n) {
        Indent(host);
        if (w == 2)
            host.Output(QStringLiteral("  Neither are backed up."), true);
        else if (w > 2)
            host.Output(QStringLiteral("  None are backed up."), true);
    } else if (m == n) {
        Indent(host);
        if (m == 2)
            host.Output(QStringLiteral("  Both are modified."), true);
        else if (m > 2)
            host.Output(QStringLiteral("  All are modified."), true);
    } else if (w + m > 0) {
        Indent(host);
        host.Output(FilesPhrase(m, w, " not backed up.  "), true);
    }
}

void DisplayFreeSpace(ReportHost& host, const QString& strTargetDrive) {
    host.ShowFreeSpace(FreeSpaceLabelText(strTargetDrive));
}

} // namespace vnt
