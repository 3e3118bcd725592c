#pragma once
// Getting files back out of a backup: every file of a Setup's selection, or of the paths
// named, copied from the target into a destination (the source folder unless another is
// given), as the backup holds it now or held it at a given time. What the target holds is
// read as untrusted input: no link there or in the destination is followed, and nothing in
// the destination is replaced without being kept aside first.

#include "backup/KeptVersions.h"
#include "backup/OperationState.h"

#include <functional>
#include <optional>
#include <QByteArray>
#include <QDateTime>
#include <QString>
#include <QStringList>

namespace vnt {

class ReportHost;

// What the backup's history says of a path, where a catalogue is there and usable.
class RestoreHistory {
public:
    virtual ~RestoreHistory() = default;
    // When the first copy of the path (relative to the source, as bytes) was made; nothing
    // when the history has no row for it (its copy then counts as present).
    virtual std::optional<QDateTime> FirstCopied(const QByteArray& relativePath) const = 0;
};

// Where a replaced file of the destination is kept, below the destination.
inline constexpr char BeforeRestoreFolder[] = ".vantoro-before-restore";

struct RestoreRequest {
    Setup setup;              // source and target folders, the selection and its filters
    bool wholeBackup = false; // every folder the backup holds, not only the included ones
    QStringList paths;        // relative to the source, checked by RelativeRestorePath
    QString destination;      // with a final slash; the source folder when empty
    std::optional<QDateTime> asOf;
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

// Runs the restore: checks, locks on the target and the destination, the copies, and the
// report through host (lines, every file left behind named, the totals). stopRequested is
// asked between files and between the chunks of a copy.
RestoreOutcome RunRestore(const RestoreRequest& request, ReportHost& host,
                          const std::function<bool()>& stopRequested);

} // namespace vnt
