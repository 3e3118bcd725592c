#pragma once
// The folder walk: visits the source tree for every operation and leads each file through
// its stages: listed (Listing), decided (Decision), its target folder readied (TargetSide),
// copied or compared (CopyPipeline, on the copier threads) and reported (WalkReport).

#include "backup/Catalog.h"
#include "backup/CopyPipeline.h"
#include "backup/Decision.h"
#include "backup/Listing.h"
#include "backup/Lookahead.h"
#include "backup/OperationState.h"
#include "backup/TargetSide.h"
#include "backup/WalkReport.h"

#include <deque>
#include <functional>
#include <memory>
#include <QString>
#include <QStringList>

namespace vnt {

class ReportHost;

class FolderWalk {
public:
    FolderWalk(const Setup& setup, OperationState& state, ReportHost& host);
    ~FolderWalk();
    FolderWalk(const FolderWalk&) = delete;
    FolderWalk& operator=(const FolderWalk&) = delete;

    void WalkFolder(const QString& folder);

    const FolderLister& Lister() const { return lister; }

    // Today and the local time-zone offset, read once for the operation; tests set them.
    qint32 todayDayNumber;
    qint32 zoneOffsetMinutes;
    // Free space of the disk holding a path (0 on success); tests replace it. Unset: the
    // target's file system is asked, through its folder where that is open.
    std::function<qint16(const QString&, double&, double&)>& freeSpace;
    // The progress of a large file's copy is shown at most this often (milliseconds).
    int& progressIntervalMs;
    // 1: everything on the walk's own thread. More: the next folders are listed on a thread
    // of their own, and copies run on this many copier threads; the report is the same.
    int threads = WalkThreads();
    // Where the copies made are recorded; null: nowhere.
    CatalogWriter* catalog = nullptr;

private:
    // One folder's visit: what its files' steps read and count while copies run.
    struct FolderVisit {
        FolderVisit(FolderListing listing, const FolderLister& lister, CopyPipeline& pipeline);
        FolderListing listing;
        const QString& folder;
        const QString targetFolder;
        const QString drive;
        qint32 counts[3] = {0, 0, 0}; // new, modified, copied
        double freeBytes = -1.0;      // the last free space asked of the target's disk
        // Copies of files rewritten in place while they were copied, tried again at the end.
        std::vector<std::pair<std::shared_ptr<CopyJob>, CopyPipeline::After>> retries;
        bool retrying = false;
        CopyPipeline& pipeline; // the walk's: a folder's copies run on into the next folder's
        bool filesVisited = false;
        bool begun = false; // its own line is out (or would be): its result follows
        bool ended = false;
        bool linksReported = false;
    };
    // What one of a file's stages leads to: its next stage (GoesOn; after the last, the next
    // file once the window is served), its copy (Copies), the next file with it left out
    // (LeftOut) or without serving the window (Next), the folder's end (Stops), or the
    // walk's (Ends).
    enum class Step { GoesOn, Copies, LeftOut, Next, Stops, Ends };
    enum class Repair { None, Copy, Stop };

    // Visits one folder; returns the subfolders to visit after it, in order.
    QStringList VisitFolder(const QString& folder);
    FolderListing TakeListing(const QString& folder, const std::function<void(qsizetype)>& counted);
    bool FirstPass(const FolderListing& listing);
    // A folder that cannot be read: named and counted. True when the walk goes on in it.
    bool FolderUnreadable(const QString& folder, const FileError& error, bool list);
    void BeginFolder(FolderVisit& visit, qint32 fileCount, bool skipFiles);
    bool EndFolder(FolderVisit& visit);
    void ReportFolderLinks(FolderVisit& visit);
    void PauseAfterFirstCopy(qint32 copied);

    // The files of a folder, one after the other, each through its stages; false when the
    // walk ends.
    bool VisitFiles(FolderVisit& visit);
    Step FileGone(FolderVisit& visit, const ListedFile& file);
    bool Decide(FolderVisit& visit, const ListedFile& file, const DecisionRules& rules);
    void RefuseSystemFile(FolderVisit& visit, const QString& path, int rule);
    // Entries at the source's root named like the program's own folders in the target.
    bool LeaveOutOwnNames(FolderVisit& visit, bool skipFiles);
    bool LeaveOutFoldedSubfolders(FolderVisit& visit);
    // What the target's disk did not keep of a copy, said once a run (BackupPass.cpp).
    void SayWhatTheDiskKeeps(const FolderVisit& visit, const ListedFile& file,
                             const CopyOutcome& outcome);
    // A copy and what follows it (BackupPass.cpp).
    Step BackUpFile(FolderVisit& visit, const ListedFile& file);
    Step HasRoom(FolderVisit& visit, const ListedFile& file);
    Step ReadyTargetFolder(FolderVisit& visit, const ListedFile& file);
    Step HandOutCopy(FolderVisit& visit, const ListedFile& file);
    bool CopyDone(FolderVisit& visit, const ListedFile& file, const QByteArray& keptAs,
                  const CopyOutcome& outcome);
    bool RetryChangedCopies(FolderVisit& visit);

    // The comparison of contents (VerifyPass.cpp).
    Step VerifyFile(FolderVisit& visit, const ListedFile& file);
    bool SinceLastSkips(const ListedFile& file, const QString& path) const;
    bool ReportComparison(const CompareOutcome& compared, const QString& path);
    bool ReportNotInTarget(FolderVisit& visit, const QString& path);
    Repair RepairNeeded(FolderVisit& visit, const ListedFile& file);
    bool VerifyContents(FolderVisit& visit, const ListedFile& file);
    CompareOutcome CompareNow(const FolderVisit& visit, const ListedFile& file);
    // The second look at a copy taken as unchanged although its time differs.
    ModifiedVerdict::Contents CompareContents(const FolderVisit& visit, const ListedFile& file);

    const Setup& setup;
    OperationState& state;
    ReportHost& host;
    FolderLister lister;
    TargetSide target;
    WalkReport report;
    bool accessListsDroppedSaid = false; // once a run
    bool diskSaid = false;
    // Copies that failed because the target's disk went during the run; the first stops it.
    qint32 filesLostWithDisk = 0;
    bool DiskDisconnected();
    bool setIdSaid = false;
    std::unique_ptr<Lookahead> lookahead;
    std::unique_ptr<CopierPool> copiers;
    std::unique_ptr<CopyPipeline> pipeline;
    // The folders whose files' steps may still wait in the pipeline, oldest first.
    std::deque<std::unique_ptr<FolderVisit>> visits;
};

} // namespace vnt
