#pragma once
// The Setup as the engine reads it, and the state of the operation that runs or ran last.

#include <QSet>
#include <QString>
#include <QStringList>

namespace vnt {

// A check box value: 0 unchecked, 1 checked, 2 greyed. Only 1 counts as checked.
inline bool IsChecked(int checkValue) {
    return checkValue == 1;
}

struct Setup {
    QString sourceFolder;
    QString targetFolder;
    QStringList includedFolders;
    int includeSubfolders = 0;
    QString fileExtension;
    QString excludedFilepaths;
    int modifiedSinceIndex = 0;
    int modifiedSinceDays = -1; // negative: no restriction
    int pauseAfterFirstCopy = 0;
    int saveSetupOnQuit = 0;
    int excludeFilesInSourceFolder = 0;
    int suppressDetailedReports = 0;
    // Whether a backup keeps the copies it replaces (the window's "Keep replaced copies"), as
    // a setup file carries it to a scheduled run; -1: the file does not say.
    int keepReplaced = -1;
    // A scheduled run whose disk is away reminds the person once no backup has been made for
    // this many days; -1: no reminder.
    int remindAfterDays = -1;
};

// The operation codes. A state nobody set holds None, which equals no operation.
enum class Operation : qint16 {
    None = 0,
    CheckForFile = 1,
    ListFolders = 2,
    CheckBackupState = 3,
    BackupAllFiles = 4,
    BackupModifiedFiles = 5,
    VerifyBackup = 6, // the console's comparison of contents
};

struct OperationState {
    // The codes under the names the operations are compared with.
    static constexpr Operation intOperationCheckForFile = Operation::CheckForFile;
    static constexpr Operation intOperationListFolders = Operation::ListFolders;
    static constexpr Operation intOperationCheckBackupState = Operation::CheckBackupState;
    static constexpr Operation intOperationBackupAllFiles = Operation::BackupAllFiles;
    static constexpr Operation intOperationBackupModifiedFiles = Operation::BackupModifiedFiles;
    static constexpr Operation intOperationVerifyBackup = Operation::VerifyBackup;

    Operation intOperation = Operation::None;
    bool blnStop = false;
    bool blnListFolders = false;
    bool blnBackupOperation = false;
    bool blnSuppressDetailedReports = false;
    bool blnSubfoldersExist = false;
    bool blnFileExists = false;
    bool blnDisplayingSummary = false;
    bool blnScheduledTask = false;
    // The setup file the Setup was read from, for the backup's history; empty: none.
    QString strSetupFileName;
    // Console choices: a line under each file saying why it counts as new or modified (or
    // as unchanged although its times differ); the replaced copies kept, and how many.
    bool blnExplain = false;
    bool blnKeepReplaced = false;
    qint32 lngTotalNumKeptCopies = 0;
    // The comparison of contents: only files whose copy or source changed after this time
    // (nanoseconds since the epoch; negative: every file), and what it found.
    qint64 lngVerifyChangedSince = -1;
    // Compared whatever the times say: they differed, were missing or failed last time.
    QSet<QString> strVerifyAgain;
    // What this comparison found wrong, by source path, for the next one.
    QStringList strVerifyProblems;
    // verify --repair: what differs or is missing is copied as a backup would copy it.
    bool blnRepair = false;
    // The target's disk was not connected, so nothing was done.
    bool blnBackupDiskAbsent = false;
    // How the run ended, beyond its counts: it came as far as its report; a person or a
    // signal stopped it; its report did not reach its reader (RunExitStatus).
    bool blnOperationStarted = false;
    bool blnInterrupted = false;
    bool blnReportLost = false;
    // The first file or folder left behind (or found wrong), with why: what a notification
    // names. Empty when none was.
    QString strFirstFailure;
    qint32 lngTotalNumFilesRepaired = 0;
    qint32 lngTotalNumFilesCompared = 0;
    qint32 lngTotalNumFilesDiffering = 0;
    qint32 lngTotalNumFilesNotInTarget = 0;
    double dblTotalBytesCompared = 0;

    qint32 lngTotalNumFolders = 0;
    qint32 lngTotalNumFiles = 0;
    qint32 lngTotalNumNewFiles = 0;
    qint32 lngTotalNumModifiedFiles = 0;
    qint32 lngTotalNumFilesCopied = 0;
    qint32 lngTotalNumCopyErrors = 0;
    double dblTotalFilesize = 0;
    QString strWindowCaption;

    // Counts, not small settings: a list of 32,768 names must not wrap to a negative count.
    qint32 intNumIncludedFolders = 0;
    QStringList strExcludedFilepaths;
    qint32 intNumExcludedFilepaths = 0;
    qint16 intManyFilesThreshold = 0;
    qint16 intMaxPathDisplayLength = 0;
    bool blnPausedAfterFirstCopy = false;

    // Sets the fixed values that start-up gives every operation.
    void InitialiseOperationValues();
};

// How a run ended, as the console's exit status says it. The console, the window's notice,
// the notification and the backup's history all take it from RunExitStatus.
inline constexpr int Finished = 0;
inline constexpr int FinishedWithErrors = 1; // copy errors; verify: a copy differs or is missing
inline constexpr int NothingDone = 2;
inline constexpr int DiskNotConnected = 3; // a run skipped, not failed
inline constexpr int Interrupted = 130;
int RunExitStatus(const OperationState& state);

// The modified-since periods, in list order: the text shown and the days admitted.
struct ModifiedSincePeriod {
    QString text;
    int days;
};
QList<ModifiedSincePeriod> ModifiedSincePeriods();

// The list entry a stored period index selects. A setup file may hold -1 (no entry
// selected); that, and any index the list does not have, is the first entry: no
// restriction, rather than a period nobody chose.
int ModifiedSincePeriodIndex(int storedIndex);

} // namespace vnt
