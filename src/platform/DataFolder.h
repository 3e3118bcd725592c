#pragma once
// Where the program's data lies: the program texts (vnt.dat) and the help file.

#include <QString>
#include <QStringList>

namespace vnt {

// The folders that may hold the data, in the order they are tried: the executable's own
// folder (the build tree copies the data there), then the installed data folder relative to
// it (../share/vantoro), so an installed tree still works after it is moved as a whole.
QStringList DataFolderCandidates(const QString& programFolder);

// The first of those folders that holds vnt.dat; an empty string when none does.
QString DataFolder(const QString& programFolder);

// Where the reports of operations are kept, with a trailing slash: reports/ in the user's
// state folder ($XDG_STATE_HOME, else ~/.local/state) under vantoro/. Not made here.
QString ReportsFolder();

} // namespace vnt
