#pragma once
// Where the program's data lies: the program texts (vnt.dat) and the help file, and the
// user's own folder of the program.

#include <QString>
#include <QStringList>

namespace vnt {

// The folders that may hold the data, in the order they are tried: the executable's own
// folder (the build tree copies the data there), then the installed data folder relative to
// it (../share/vantoro), so an installed tree still works after it is moved as a whole.
QStringList DataFolderCandidates(const QString& programFolder);

// The first of those folders that holds vnt.dat; an empty string when none does.
QString DataFolder(const QString& programFolder);

// The program's folder in the user's state folder ($XDG_STATE_HOME, else ~/.local/state):
// vantoro/, with a trailing slash. Not made here.
QString StateFolder();
// Where the reports of operations are kept: reports/ in it.
QString ReportsFolder();

// The user's folder of the program, $XDG_CONFIG_HOME/vantoro (~/.config/vantoro): the setup
// files that the scheduled runs read, and the settings. Made when it is missing; a folder
// that cannot be made is still named, and the writes into it say why they fail.
QString UserConfigFolder();

} // namespace vnt
