#pragma once
// The backup's own history, kept in the target: TARGET/.vantoro/catalog.sqlite holds one row
// per backup run and one per copy made. The walk's thread gathers the rows in batches, each
// written in one transaction, so that a run that dies leaves a consistent catalogue (its
// copies are real files without a row). Everything read from it is untrusted: the file may be damaged, foreign or planted.

#include "backup/OperationState.h"

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <deque>
#include <memory>
#include <mutex>
#include <optional>
#include <QByteArray>
#include <QHash>
#include <QString>
#include <thread>
#include <vector>

struct sqlite3;
struct sqlite3_stmt;

namespace vnt {

class FolderHandle;
class ReportHost;

// The program's own folders at the target's root: never walked, never mixed with the
// source's entries of the same names.
inline constexpr char CatalogFolderName[] = ".vantoro";
inline constexpr char KeptCopiesFolderName[] = ".vantoro-replaced";
bool IsOwnTargetFolderName(const QString& name);
// Why a source entry at the source's root with one of those names is left behind.
QString OwnFolderNameText();

// A path read from the catalogue, fit to be joined below a folder: not empty, not absolute,
// no "", "." or ".." component, no NUL.
bool IsSafeRelativePath(const QByteArray& path);

struct CatalogRun {
    qint64 id = 0;
    qint64 startedMs = 0;  // since the epoch
    qint64 finishedMs = 0; // 0: the run did not reach its end
    QString operation;     // as the console names it: backup-all, backup-modified, verify
    QString setup;         // the setup file's name, or the source and the target
    qint64 filesCopied = 0;
    qint64 errors = 0;
    int exitStatus = -1; // the console's statuses; -1: not finished
};

struct CatalogCopy {
    QByteArray path; // relative to the source (and the target), as the file system has it
    qint64 size = 0;
    qint64 mtimeSeconds = 0;
    qint64 copiedMs = 0; // when the copy was recorded, since the epoch
    qint64 run = 0;
    QByteArray keptAs; // below the target, where the copy it replaced was kept; empty: none
    // The source's permission bits when it was copied: a restore gives them back, also from
    // a disk that keeps none. -1: not recorded (catalogues before they were).
    int mode = -1;
};

// Writes one run's rows. Failing never fails the backup: the first failure is kept, said
// once by the caller, and nothing more is written. Batches are written on a thread of their
// own, so that the walk does not wait for them; the walk's thread calls every member.
class CatalogWriter {
public:
    CatalogWriter();
    ~CatalogWriter();
    CatalogWriter(const CatalogWriter&) = delete;
    CatalogWriter& operator=(const CatalogWriter&) = delete;

    // Opens (or makes) the catalogue of the target folder, then starts the run's row.
    bool Open(const QString& targetFolder);
    void BeginRun(qint64 startedMs, const QString& operation, const QString& setup);
    // A copy made; handed over with the next batch (every BatchRows rows or BatchTime).
    void AddCopy(const QByteArray& path, qint64 size, qint64 mtimeSeconds,
                 const QByteArray& keptAs, int mode = -1);
    // Before the backup's flush: the last batch written and the log folded into the catalogue
    // without waiting for the disk, so that the flush takes them there with the copies.
    void Settle();
    // The last batch and the run's end.
    void EndRun(qint64 finishedMs, qint64 filesCopied, qint64 errors, int exitStatus);
    // Empty while all is well; else why the history could not be written.
    const QString& Problem() const { return problem; }

    static constexpr int BatchRows = 1000;
    static constexpr std::chrono::milliseconds BatchTime{1000};
    // Handed over and not yet written: more are written on the walk's thread, so that memory
    // stays flat.
    static constexpr size_t MaxBatchesWaiting = 4;

private:
    bool Exec(const char* sql);
    bool Fail(const QString& why);
    // Writes rows, and with end the run's end, in one transaction.
    bool Commit(const std::vector<CatalogCopy>& rows, const CatalogRun* end = nullptr);
    void Close();
    // The pending rows to the writing thread; with wait, or too many waiting, every batch
    // not written yet is written here.
    void HandOver(bool wait);
    void WriteBatches();
    void StopWriting();

    // Where the disk cannot write a file again in its middle, the catalogue is kept in memory
    // during the run and written out whole, from its start, at its end.
    bool TakeIntoMemory();
    bool WriteOut();
    bool inMemory = false;

    // Used by the writing thread while it writes a batch, else by the walk's thread.
    sqlite3* db = nullptr;
    sqlite3_stmt* insertCopy = nullptr;
    std::unique_ptr<FolderHandle> folder; // .vantoro, held open while the catalogue is
    QString problem;
    std::atomic<bool> writing{false}; // open and no failure yet

    // The walk's thread's own.
    qint64 runId = 0;
    std::vector<CatalogCopy> pending;
    std::chrono::steady_clock::time_point lastHandOver;

    std::thread writer;
    std::mutex batchesMutex;
    std::condition_variable batchesChanged;
    std::deque<std::vector<CatalogCopy>> batches; // handed over, not yet written
    bool writingBatch = false;
    bool stopping = false;
};

// Reads a target's catalogue, read-only. Paths that are not safe relative paths are
// skipped and counted.
class CatalogReader {
public:
    CatalogReader();
    ~CatalogReader();
    CatalogReader(const CatalogReader&) = delete;
    CatalogReader& operator=(const CatalogReader&) = delete;

    // False when there is no catalogue, or it is unusable; Problem() says why.
    bool Open(const QString& targetFolder);
    const QString& Problem() const { return problem; }
    bool Missing() const { return missing; }

    std::vector<CatalogRun> Runs(); // newest first
    std::optional<CatalogRun> LastRun();
    std::vector<CatalogCopy> CopiesOf(const QByteArray& path); // oldest first
    // When each path was first copied (milliseconds since the epoch), read in one pass.
    QHash<QByteArray, qint64> FirstCopies();
    // The permission bits each path's source had at its latest copy, where recorded, read in
    // one pass; with paths, only for those paths and what lies below them (a restore of one
    // file from a large history holds one row, not all).
    QHash<QByteArray, int> LatestModes(const QList<QByteArray>& paths = {});
    // The same for the copies kept when they were replaced: by where each was kept (below
    // the target), the mode its source had when it was copied.
    QHash<QByteArray, int> KeptModes(const QList<QByteArray>& paths = {});
    // The folder under the kept copies (its stamp alone) where the newest of the runs up to
    // and including run kept a replaced copy; empty when none of them kept one.
    QString LastKeptFolderUpTo(qint64 run);
    // Rows left out because a path in them was not safe.
    qint64 UnsafeRows() const { return unsafeRows; }

private:
    std::vector<CatalogRun> ReadRuns(const char* sql);
    bool Fail(const QString& why);

    sqlite3* db = nullptr;
    QString problem;
    bool missing = false;
    qint64 unsafeRows = 0;
};

// The run's row for the driver: opened before the walk for the operations that copy, ended
// after the flush with the run's counts; a catalogue that cannot be written is said once.
class RunHistory {
public:
    RunHistory(const Setup& setup, const OperationState& state, const QString& operation);
    ~RunHistory();
    RunHistory(const RunHistory&) = delete;
    RunHistory& operator=(const RunHistory&) = delete;
    // What the walk writes its copies to; null when nothing is recorded.
    CatalogWriter* Writer() { return writer.get(); }
    // Before the flush of a backup that copied files.
    void Settle() {
        if (writer)
            writer->Settle();
    }
    void End(const OperationState& state, ReportHost& report);

private:
    std::unique_ptr<CatalogWriter> writer;
};

// A run's result in words: "finished", "finished with errors", "nothing done",
// "interrupted", or "not finished" for a run with no end.
QString RunResultText(const CatalogRun& run);

} // namespace vnt
