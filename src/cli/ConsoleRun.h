#pragma once
// vantoro-cli: the four operations on a Setup given on the command line.

#include <QStringList>

namespace vnt {

// Runs the console program with its arguments (the program name first); returns the exit
// status: 0 finished, 1 finished with errors, 2 nothing done, 130 interrupted.
int RunConsole(const QStringList& arguments, const QString& programFolder);

} // namespace vnt
