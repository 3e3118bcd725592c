#pragma once
// What the desktop program's command line asks for. A word on it matters only when it is a
// whole argument: "--no-shutdown" must never shut the computer down, and asking for help
// must never start a backup. Anything else starts the unattended backup, as it always did,
// so that the scheduled commands people already have keep working.

#include <QString>
#include <QStringList>

namespace vnt {

struct DesktopCommandLine {
    enum class Action { OpenWindow, ShowHelp, ShowVersion, UnattendedBackup };
    Action action = Action::OpenWindow;
    bool shutDown = false; // after the unattended backup
};

// arguments without the program's own name.
DesktopCommandLine ParseDesktopCommandLine(const QStringList& arguments);

// What --help and --version print.
QString DesktopHelpText();
QString DesktopVersionText();

} // namespace vnt
