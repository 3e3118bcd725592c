#pragma once
// The desktop notification a run sends when it ends: the title from its exit status, the
// counts, and after a failure where its report is to be read. The console and the window's
// unattended backup word it alike.

#include "backup/OperationState.h"
#include "platform/Desktop.h"

#include <QByteArray>
#include <QString>

namespace vnt {

struct RestoreTotals;

// The word a title begins with: "Backup", "Check", "List", "Verify", "Restore". For a
// console command; empty when it runs no operation.
QString NoticeWord(const QString& command);

// What the run did, in one line: "12 files copied, 1 error".
QString RunCountsText(const OperationState& state, Operation operation);
QString RestoreCountsText(const RestoreTotals& totals);

struct RunEnd {
    QString word;       // NoticeWord
    int status = 0;     // one of the exit statuses (RunExitStatus)
    QString counts;     // empty when the operation did not run
    QString reportHint; // where the report is, said after a failure
    // What the run was and where it went: the setup's name, the backup disk's name (empty
    // when it has none of its own) and the target.
    QString setup;
    QString disk;
    QString target;
    QString firstError;      // the first file left behind, with why
    QString reason;          // why nothing was done, as the run said it
    qint64 lastBackupMs = 0; // for a run skipped: when the last backup into the target ended
    int overdueDays = 0;     // a run skipped this many days after the last backup: a reminder
};
// The title says how the run ended; the body what it did (or why it did nothing), for which
// setup and disk, its first error, and what to do next.
DesktopNotice NoticeOfRun(const RunEnd& run);

// The name a notification gives a setup: its file's name without ".vnt", else the source.
QString SetupNoticeName(const QString& setupFile, const QString& sourceFolder);

// Where the console's report is read after a failure: the log file when there is one; the
// journal of the systemd unit whose control group (as /proc/self/cgroup gives it) holds a
// run that systemd started; else the command run again.
QString ConsoleReportHint(const QString& logPath, bool startedBySystemd, const QByteArray& cgroup);

// The window's unattended backup of new and modified files, once it is over: its whole
// report is in reportFile, where one was kept; reason is the first thing it would have said
// in a message box (nobody was there to read one).
DesktopNotice UnattendedBackupNotice(const OperationState& state, const Setup& setup,
                                     const QString& reportFile, const QString& reason);

} // namespace vnt
