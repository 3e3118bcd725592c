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
    int status = 0;     // one of the console's exit statuses (cli/ConsoleRun.h)
    QString counts;     // empty when the operation did not run
    QString reportHint; // where the report is, said after a failure
};
DesktopNotice NoticeOfRun(const RunEnd& run);

// Where the console's report is read after a failure: the log file when there is one; the
// journal of the systemd unit whose control group (as /proc/self/cgroup gives it) holds a
// run that systemd started; else the command run again.
QString ConsoleReportHint(const QString& logPath, bool startedBySystemd, const QByteArray& cgroup);

// The window's unattended backup of new and modified files, once it is over: ran says
// whether it came to its summary, and then its whole report is in reportFile, where one was
// kept.
DesktopNotice UnattendedBackupNotice(const OperationState& state, bool ran,
                                     const QString& reportFile);

} // namespace vnt
