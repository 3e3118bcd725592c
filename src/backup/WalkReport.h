#pragma once
// What the walk says: the lines of the report under each folder's line, the questions it
// asks after errors, the labels that show a copy going on, and the words for every outcome,
// each written once.

#include "backup/CopyPipeline.h"
#include "backup/OperationState.h"

#include <optional>
#include <QElapsedTimer>
#include <QString>

namespace vnt {

class ReportHost;

// A file or folder left behind, or a copy found wrong: the host hears it, and the run keeps
// the first for its notification.
void ReportFailure(OperationState& state, ReportHost& host, const QString& path,
                   const QString& reason);

// The words for a copy that failed, from the side it failed on and its error number.
QString GetCopyErrorText(const CopyOutcome& outcome);

class WalkReport : public CopyWaiter {
public:
    WalkReport(OperationState& state, ReportHost& host);

    // A folder's file lines follow its own line, which may be held back (as the host's
    // strNumFilesInFolder) until the first of them: written says it is out already, or
    // that the folder has none.
    void BeginFolder(bool written) { folderLineOut = written; }
    // One line under the folder (not in a summary-only report).
    void FileLine(const QString& line);
    // One file that could not be backed up: its own line under its folder, named and
    // counted as an error; the folder goes on. True when the user chose to stop.
    bool FileFailure(const QString& path, const QString& reason);
    // A line of the walk's own that names a file left behind, counted as an error.
    void LeftBehind(const QString& line, const QString& path, const QString& reason);
    // The line under way is ended before a line written straight to the text.
    void EndLine();

    // The question after an error: what happened, the errors so far, and whether to stop.
    // everySixth asks only at every sixth error. True: stop.
    bool AskToStop(const QString& what, bool everySixth);
    // A question that holds the copiers while the user thinks. True: yes.
    bool AskPaused(const QString& message, const QString& title);
    // A folder that cannot be read or made, named even in a summary-only report.
    void FolderLine(const QString& text);

    // The words for a copy's failure.
    static QString BadNameExplanation(const QString& description, const QString& path);
    static QString KeepFailedText(const QString& why);
    // Why an entry is left out whose name the target's disk takes as an earlier one's.
    static QString SameNameText(const QString& first);
    static QString CopyFailureText(const CopyOutcome& outcome, const QString& path);

    // The folders a visit is in, on their labels.
    void ShowFolders(const QString& source, const QString& target);
    // A notice under a folder's line while its many files are read (from the moment they
    // are counted, when they are many); it goes when they have been read.
    void ShowWaitNotice(qsizetype files);
    void RemoveWaitNotice();

    // The labels: the file being copied, the bytes copied and the free space, changed at
    // most every 50 ms (a person reads a label a few times a second) and exact at a
    // folder's end. freeSpace: the figure the free-space rule keeps for the folder's disk.
    void ShowFileLabel(const QString& name);
    void ClearFileLabel();
    void ShowCopied(const QString& drive, std::optional<double> freeSpace, bool final);
    bool LabelsBehind() const { return labelsBehind; }
    // The progress of a large file's copy is shown at most this often (milliseconds).
    int progressIntervalMs = 250;

    // While the walk waits for copies.
    bool StopRequested() const override;
    void Yield() override;
    void ShowCopyProgress(const CopyJob& job) override;
    void EndCopyProgress(const CopyJob* job) override;

private:
    static bool LabelsDue(QElapsedTimer& clock);

    OperationState& state;
    ReportHost& host;
    bool folderLineOut = false;
    qsizetype noticeAt = -1;      // where the wait notice begins in the text; -1: none shown
    QElapsedTimer fileLabelClock; // when the file label last changed
    QElapsedTimer copiedClock;    // when the copied and free-space labels last changed
    bool labelsBehind = false;
    QElapsedTimer progressClock;
    const CopyJob* progressJob = nullptr;
};

} // namespace vnt
