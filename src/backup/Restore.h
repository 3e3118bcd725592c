#pragma once
// Getting files back out of a backup: every file of a Setup's selection, or of the paths
// named, copied from the target into a destination (the source folder unless another is
// given), as the backup holds it now or held it at a given time. What the target holds is
// read as untrusted input: no link there or in the destination is followed, and nothing in
// the destination is replaced without being kept aside first.

#include "backup/KeptVersions.h"
#include "backup/OperationState.h"
#include "platform/Desktop.h"

#include <functional>
#include <optional>
#include <QByteArray>
#include <QDateTime>
#include <QHash>
#include <QString>
#include <QStringList>

namespace vnt {

class CatalogReader;
struct CatalogRun;
class ReportHost;

// What the backup's history says of a path, where a catalogue is there and usable.
class RestoreHistory {
public:
    virtual ~RestoreHistory() = default;
    // When the first copy of the path (relative to the source, as bytes) was made; nothing
    // when the history has no row for it (its copy then counts as present).
    virtual std::optional<QDateTime> FirstCopied(const QByteArray& relativePath) const = 0;
};

// The catalogue's word on when a path was first copied. The console's times are typed to the
// second, so there a copy made in the second asked for counts as there; a time taken from
// the history itself is compared to the millisecond.
class CatalogHistory : public RestoreHistory {
public:
    CatalogHistory(CatalogReader& readerIn, bool toTheSecondIn)
        : reader(readerIn), toTheSecond(toTheSecondIn) {}
    std::optional<QDateTime> FirstCopied(const QByteArray& relativePath) const override;

private:
    CatalogReader& reader;
    const bool toTheSecond;
    // Every path's first copy, read in one pass at the first question.
    mutable std::optional<QHash<QByteArray, qint64>> first;
};

// Where a replaced file of the destination is kept, below the destination.
inline constexpr char BeforeRestoreFolder[] = ".vantoro-before-restore";

struct RestoreRequest {
    Setup setup;              // source and target folders, the selection and its filters
    bool wholeBackup = false; // every folder the backup holds, not only the included ones
    QStringList paths;        // relative to the source, checked by RelativeRestorePath
    QString destination;      // with a final slash; the source folder when empty
    std::optional<QDateTime> asOf;
    // With asOf, the kept copies that count: where set, those of the runs after the one that
    // kept its copies in this folder of the kept copies (empty: every run), as the history
    // knows it; else those of the runs begun at or after asOf, which the folders' names tell
    // only to the second.
    std::optional<QString> keptAfter;
    bool overwrite = false;
    const RestoreHistory* history = nullptr; // null: the files alone say what is there
};

struct RestoreTotals {
    qint64 restored = 0;
    qint64 same = 0;      // already in the destination with the same contents
    qint64 keptAside = 0; // replaced with --overwrite, kept below BeforeRestoreFolder first
    qint64 notYet = 0;    // first copied after the time asked for
    qint64 leftBehind = 0;
    double bytes = 0;
    bool stopped = false;
};

struct RestoreOutcome {
    QString refused; // why nothing was done; empty when the restore ran
    RestoreTotals totals;
};

// A path typed relative to the source, tidied ("./", doubled and final slashes); empty when
// it is none: absolute, empty, or going up with "..".
QString RelativeRestorePath(const QString& typed);

// "YYYY-MM-DD HH:MM", seconds optional, in local time; nothing when it is not such a time.
std::optional<QDateTime> ParseAsOf(const QString& text);

// The version of a file to restore as of a time, among the runs that kept copies of it
// (oldest first): the first replaced at or after that time that holds it, else the copy
// now in the backup (-1). keptIn says whether a run holds a copy.
int VersionAsOf(const std::vector<KeptRun>& runs, const QDateTime& asOf,
                const std::function<bool(const KeptRun&)>& keptIn);

// The request for the files and folders (relative to the source) a person picked in the
// backup's tree: the whole backup is open to it, and the Setup's filters leave nothing out.
RestoreRequest RestoreOfPaths(const Setup& setup, const QStringList& paths);

// Sets request's time to "as it was after" runs[index] (runs newest first, as the catalogue
// gives them): the run's end, and the kept copies of the runs after it.
void RestoreAsAfterRun(CatalogReader& catalog, const std::vector<CatalogRun>& runs, size_t index,
                       RestoreRequest& request);

// Why the request cannot run (folders missing, paths not relative, the destination in the
// target), in words; empty when it can.
QString RestoreRefusal(const RestoreRequest& request);

// What RunRestore would do, file by file the same decisions, without writing anything and
// without a report: totals.restored files (totals.bytes) would be restored, of them
// totals.keptAside would replace a file kept aside first, and so on. Contents are compared
// where the sizes agree, so it reads what the restore would read.
RestoreOutcome PlanRestore(const RestoreRequest& request,
                           const std::function<bool()>& stopRequested);

// The question before a restore that a plan leads to: how many files and bytes, how many
// kept aside first, into where; and the counts of what it leaves alone.
QString RestorePlanText(const RestoreTotals& plan, const QString& destination);

// The folders and files of one folder of the backup (relative to the target, with a final
// slash, or empty), sorted; no link is listed or followed, and at the root the program's own
// folders are not shown.
struct BackupFolder {
    QStringList folders;
    QStringList files;
    QString problem; // why the folder could not be read; empty when it could
};
BackupFolder ListBackupFolder(const QString& targetFolder, const QString& relativeFolder);

// Runs the restore: checks, locks on the target and the destination, the copies, and the
// report through host (lines, every file left behind named, the totals). stopRequested is
// asked between files and between the chunks of a copy. inhibitor keeps the computer awake
// from the first file to the totals.
RestoreOutcome RunRestore(const RestoreRequest& request, ReportHost& host,
                          const std::function<bool()>& stopRequested,
                          SleepInhibitor& inhibitor = NoDesktop::Instance());

} // namespace vnt
