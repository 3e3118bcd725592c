#pragma once
// The folder walk: visits the source tree for every operation, filters, classifies and
// copies files, and reports through the host.

#include "backup/Copiers.h"
#include "backup/FileTimes.h"
#include "backup/Lookahead.h"
#include "backup/OperationState.h"
#include "mainwindow/FolderProc.h"

#include <functional>
#include <memory>
#include <QElapsedTimer>
#include <QString>
#include <QStringList>

namespace vnt {

class ReportHost;

// The skip fragments as the operation uses them: a leading comma skipped, every piece
// before a comma trimmed (empty pieces kept; they match nothing).
QStringList ParseExcludedFilepaths(const QString& text);

// An empty filter matches every file; otherwise the extension (lower case) against the
// filter. A file without an extension gets noExtensionValue.
bool MatchesExtensionFilter(const QString& path, const QString& filter, bool noExtensionValue);

// The words for a copy that failed, from what opening the source for reading says.
QString GetCopyErrorText(const QString& source);

class FolderWalk {
public:
    FolderWalk(const Setup& setup, OperationState& state, ReportHost& host);
    ~FolderWalk();
    FolderWalk(const FolderWalk&) = delete;
    FolderWalk& operator=(const FolderWalk&) = delete;

    void WalkFolder(const QString& folder);

    bool IsExcludedFilepath(const QString& path) const;
    bool IsIncludedSubfolder(const QString& path) const;
    // A recycle bin or trash folder at a mount root, which the walk leaves out and names.
    bool IsTrashFolder(const QString& path) const;
    bool InIncludedFolders(const QString& path) const;
    bool AskToStopAfterError(const QString& message, bool everySixth);

    // Today and the local time-zone offset, read once for the operation; tests set them.
    qint32 todayDayNumber;
    qint32 zoneOffsetMinutes;
    // Free space of the disk holding a path (0 on success); tests replace it. Unset: the
    // target's file system is asked, through its folder where that is open.
    std::function<qint16(const QString&, double&, double&)> freeSpace;
    // The progress of a large file's copy is shown at most this often (milliseconds).
    int progressIntervalMs = 250;
    // 1: everything on the walk's own thread. More: the next folders are listed on a thread
    // of their own, and copies run on this many copier threads; the report is the same.
    int threads = WalkThreads();

private:
    class Pipeline;
    enum class Visit { Goes_on, Ends };
    // Visits one folder; returns the subfolders to visit after it, in order.
    QStringList VisitFolder(const QString& folder);
    // Reads a folder and, for the passes that need them, its files' facts in both trees.
    // Touches nothing but the file system: it also runs ahead on the listing thread.
    FolderListing ListFolder(const QString& folder, const Lookahead::Counted& counted = {}) const;
    void ReadTargetFacts(FolderListing& listing) const;
    // The subfolders the walk enters after this folder, in order.
    QStringList FoldersToVisit(const FolderListing& listing) const;
    enum class Repair { None, Copy, Stop };
    bool SinceLastSkips(const ListedFile& file, const QString& path) const;
    bool ReportComparison(const CompareOutcome& compared, const QString& path, bool& headerWritten);
    bool ReportNotInTarget(Pipeline& pipeline, const QString& path, bool& headerWritten);
    Repair RepairNeeded(Pipeline& pipeline, const ListedFile& file, const QString& folder,
                        const QString& targetFolder, const FolderHandle& sourceHandle,
                        const FolderHandle& targetHandle, bool& headerWritten);
    CompareOutcome CompareNow(const ListedFile& file, const QString& folder,
                              const QString& targetFolder, const FolderHandle& sourceHandle,
                              const FolderHandle& targetHandle);
    bool VerifyContents(Pipeline& pipeline, const ListedFile& file, const QString& folder,
                        const QString& targetFolder, const FolderHandle& sourceHandle,
                        const FolderHandle& targetHandle, bool& headerWritten);
    // The second look at a copy taken as unchanged although its time differs.
    ModifiedVerdict::Contents CompareContents(const ListedFile& file, const QString& folder,
                                              const QString& targetFolder,
                                              const FolderHandle& sourceHandle,
                                              const FolderHandle& targetHandle);
    Visit SecondPass(FolderListing& listing, const QString& targetFolder, qint32 counts[3],
                     double& freeBytes, bool& headerWritten);
    void WriteFileLine(const QString& line, bool& headerWritten);
    bool ReportFileFailure(const QString& src, const QString& errorText, bool& headerWritten);
    void LineBreakFix(bool headerWritten);
    bool FreeSpaceKnown(const QString& targetFolder, qint64 size) const;
    bool QueryFreeSpace(const QString& targetFolder, const FolderHandle* opened, qint64 size,
                        double& available);
    void SpendFreeSpace(const QString& targetFolder, qint64 size);
    // The disk of a path as labels name it, from the mount points read once.
    QString Drive(const QString& path) const;
    bool LabelsDue(QElapsedTimer& clock);
    void ShowCopyLabels(const QString& drive, const QString& folder, bool final);
    QElapsedTimer fileLabelClock; // when the file label last changed
    QElapsedTimer copiedClock;    // when the copied and free-space labels last changed
    bool labelsBehind = false;
    // How far the copy the walk waits for has got; its end takes the progress back.
    void ShowCopyProgress(const CopyJob& job);
    void EndCopyProgress(const CopyJob* job);
    QElapsedTimer progressClock;
    const CopyJob* progressJob = nullptr;
    bool FailureEndsVisit(const QString& description, int errorNumber, const QString& path);

    const Setup& setup;
    OperationState& state;
    ReportHost& host;
    QStringList mountRoots;
    QStringList windowsRoots;  // those of file systems Windows writes, with a final slash
    QString knownTargetFolder; // the last target folder known to exist and be cleaned
    QString knownFreeFolder;   // the folder whose free space is known, and that figure
    double knownFree = 0;
    QString failedTargetFolder; // a target folder that cannot be written to, and why
    QString failedTargetReason;
    // Where source and target really are: a link inside the target must not lead a copy
    // into the source.
    QString realSource;
    QString realTarget;
    // Folders are opened below the source and the target held open, for the walk's run;
    // the readers serve the listing threads too.
    std::unique_ptr<FolderOpener> targetWriter;
    std::unique_ptr<FolderOpener> sourceReader;
    std::unique_ptr<FolderOpener> targetReader;
    OpenedFolder OpenTargetFolder(const QString& relative);
    OpenedFolder OpenTargetRoot() const;
    // The target folder as the file system knows it, so that it is never walked as a
    // source subfolder whatever path leads there.
    FolderIdentity targetIdentity;
    // Where replaced copies are kept in this run (one folder a run), made when first needed.
    QString keepStamp;
    QString keepRoot; // below the target
    QString keepFolderMade;
    std::shared_ptr<FolderHandle> keepHandle;
    QString keepError;
    bool accessListsDroppedSaid = false; // once a run
    // Sets where the job keeps the copy it replaces; false, and why, when it cannot.
    bool KeepReplacedAs(const QString& folder, const QByteArray& name, CopyJob& job, QString& why);
    std::unique_ptr<Lookahead> lookahead;
    std::unique_ptr<CopierPool> copiers;
};

} // namespace vnt
