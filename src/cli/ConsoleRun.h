#pragma once
// vantoro-cli: the four operations on a Setup given on the command line.

#include "platform/Desktop.h"

#include <QStringList>

namespace vnt {

// The console's exit statuses, the same for every command.
inline constexpr int Finished = 0;
inline constexpr int FinishedWithErrors = 1;
inline constexpr int NothingDone = 2;
// The target's disk is not connected (a run skipped, not failed).
inline constexpr int DiskNotConnected = 3;
inline constexpr int Interrupted = 130;

// Runs the console program with its arguments (the program name first); returns the exit
// status: 0 finished, 1 finished with errors, 2 nothing done, 3 the backup disk not
// connected, 130 interrupted. With --notify the run's end goes to notifier; inhibitor keeps
// the computer awake while it runs.
int RunConsole(const QStringList& arguments, const QString& programFolder,
               Notifier& notifier = NoDesktop::Instance(),
               SleepInhibitor& inhibitor = NoDesktop::Instance());

} // namespace vnt
