#pragma once
// vantoro-cli: the four operations on a Setup given on the command line.

#include "backup/OperationState.h"
#include "platform/Desktop.h"

#include <QStringList>

namespace vnt {

// Runs the console program with its arguments (the program name first); returns the exit
// status: 0 finished, 1 finished with errors, 2 nothing done, 3 the backup disk not
// connected, 130 interrupted. With --notify the run's end goes to notifier; inhibitor keeps
// the computer awake while it runs.
int RunConsole(const QStringList& arguments, const QString& programFolder,
               Notifier& notifier = NoDesktop::Instance(),
               SleepInhibitor& inhibitor = NoDesktop::Instance());

} // namespace vnt
