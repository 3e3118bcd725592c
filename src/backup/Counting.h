#pragma once
// Counting the files and folders of a folder.

#include <functional>
#include <QString>
#include <QStringList>

namespace vnt {

struct FileCount {
    qint32 count = 0; // -1 when the folder could not be read
    bool accessDenied = false;
    QString errorText;
    double sizeTotal = 0; // bytes of the matching files, when sizes were asked for
};

// Files directly in folder whose names match pattern (letter case ignored). Folders,
// FIFOs, sockets and devices are not files; links to files are. With stopAtFirst the
// count ends at the first match; yield runs after every file. Access denied gives 0.
FileCount CountFiles(const QString& folder, const QString& pattern, bool stopAtFirst = false,
                     bool withSizes = false, const std::function<void()>& yield = {});

struct FolderCount {
    qint32 count = 0; // -1 on failure
    QString errorText;
    int errorNumber = 0; // 70 permission denied, 76 path not found
};

// Direct subfolders of a folder (links to folders are not followed, so not counted). A
// target's displays leave out the program's own folders (ownLeftOut): a target that holds
// only them holds no backup.
FolderCount CountSubfolders(const QString& folder, bool ownLeftOut = false);

// The names of folder's direct subfolders, sorted. Links to folders are left out, as the
// window's choice of subfolders leaves them out (the walk names them); error says why the
// folder could not be read.
struct FileError;
QStringList SubfolderNames(const QString& folder, FileError& error);

// No file and no subfolder; a folder that cannot be read counts as empty. Stops at the
// first entry found.
bool IsFolderEmpty(const QString& folder, bool* accessDenied = nullptr, bool ownLeftOut = false);

// Fills names with the files of folder matching pattern, in the order the folder gives
// them: lower-cased unless keepCase, with " (size)" when withSizes. Returns their number,
// -1 when the folder does not exist, -2 when more than capacity files match, -3 on any
// other failure (names then holds the error description).
qint32 ListFilesInFolder(const QString& folder, QStringList& names, qsizetype capacity,
                         double& sizeTotal, const QString& pattern, bool keepCase, bool withSizes);

// Counting the matching files of a whole tree, with limits.
struct TreeCount {
    qint32 count = 0;
    qint32 limit = 0; // stop when the count reaches it (then -2); -3 when folderLimit passed
    double sizeTotal = 0;
    int errorNumber = 0; // the first failure other than permission denied
    bool accessDenied = false;
    qint32 foldersCounted = 0;
};

// firstCall starts the totals afresh. With skipSystemFolders, recycle bins and system
// folders are left out. While no file is found yet and folderLimit is above 0, visited
// subfolders are counted and passing folderLimit ends the count.
void CountFilesInTree(bool firstCall, const QString& folder, const QString& pattern,
                      TreeCount& tree, bool withSizes, bool skipSystemFolders, qint32 folderLimit,
                      const std::function<void()>& yield = {});

} // namespace vnt
