#pragma once
// The per-folder report lines and the running labels of an operation.

#include <QString>

namespace vnt {

class ReportHost;

// "   23 files in ", "    1 file  in ", "    ? files  in " (no count), last five digits.
QString FolderCountField(qint32 numFiles);

// The folder path as a report line shows it: with a long source path (over 20 characters)
// and subfolders present, the source path reads "{source folder}".
QString FolderPathForReport(const QString& folder, const QString& sourceFolder,
                            bool subfoldersExist);

// "Copied: 3,145,728 bytes (3.00 Mb) in 12 files".
QString BytesCopiedText(double bytes, qint32 filesCopied);

// The free-space label: the words, the drive and its free space.
QString FreeSpaceLabelText(const QString& drive);
// The same with a figure already known.
QString FreeSpaceLabelText(const QString& drive, double freeBytes);

// The folder piece of a report line: written now, or kept in strNumFilesInFolder. A folder
// of the source tree (IsBackupOperation) is shown relative to the source where that is
// shorter.
void DisplayNumFilesInFolder(ReportHost& host, bool IsBackupOperation, const QString& sourceFolder,
                             bool subfoldersExist, const QString& strFolder, qint32 lngNumFilesInFolder, bool blnCRLF,
                             bool blnDisplayZeroFiles, bool blnImmediateOutput);

// The result piece of a backup: what was found and what was copied in one folder.
void DisplayFilesCopied(ReportHost& host, bool backupAllFiles, qint32 lngNumFiles,
                        qint32 lngNumNewFiles, qint32 lngNumModifiedFiles,
                        qint32 lngNumFilesCopied);

// The result piece of a backup-state check.
void DisplayNewAndModifiedFiles(ReportHost& host, qint32 lngNumFiles, qint32 lngNumNewFiles,
                                qint32 lngNumModifiedFiles);

void DisplayFreeSpace(ReportHost& host, const QString& strTargetDrive);

} // namespace vnt
