#pragma once
// A folder's listing as the walk uses it, and the lister that makes it. The lister is all
// the listing threads touch: it changes nothing once the walk has opened its roots, so
// that the thread boundary is this type.

#include "backup/OperationState.h"
#include "mainwindow/FolderProc.h"
#include "platform/FileCopy.h"
#include "platform/FileErrors.h"
#include "platform/Names.h"
#include "platform/TargetDisk.h"

#include <functional>
#include <memory>
#include <QString>
#include <QStringList>
#include <vector>

namespace vnt {

struct ListedFile {
    QByteArray bytes;     // the name as the file system has it; decoded where it is read
    bool special = false; // not a regular file: reported, never opened
    bool skipped = false; // a skip fragment or the extension filter leaves it out
    // Read with the listing for the passes that compare the two trees.
    FileFacts source;
    FileFacts target;
    // On a disk that folds letter case, the name of an earlier entry of the folder that this
    // one would be on the target: it is named and left out, never copied over the other.
    QString sameNameAs;
    QString Name() const { return DecodeName(bytes); }
};

struct FolderListing {
    QString folder; // with its trailing slash
    FileError error;
    std::vector<ListedFile> files;
    QStringList subfolders;
    QStringList folderLinks; // not followed (no loops), but named in the report
    // Subfolders left out, as their names are those of earlier entries on the target's
    // disk: the subfolder's name and that entry's.
    std::vector<std::pair<QString, QString>> foldedSubfolders;
    bool factsRead = false;
    // Held open while the folder is visited and while copies or comparisons of its files
    // run: its files are looked up by name.
    std::shared_ptr<const FolderHandle> sourceHandle;
    std::shared_ptr<const FolderHandle> targetHandle;
};

// The skip fragments as the operation uses them: a leading comma skipped, every piece
// before a comma trimmed (empty pieces kept; they match nothing).
QStringList ParseExcludedFilepaths(const QString& text);

// An empty filter matches every file; otherwise the extension (lower case) against the
// filter. A file without an extension gets noExtensionValue.
bool MatchesExtensionFilter(const QString& path, const QString& filter, bool noExtensionValue);

// The target's own folder, refused when what its path leads to now is another folder.
OpenedFolder OpenTargetRoot(const QString& targetFolder, const QString& realSource,
                            const QString& realTarget);

class FolderLister {
public:
    // A lister calls counted with the folder's number of files as soon as it knows it,
    // before it reads their facts.
    using Counted = std::function<void(qsizetype files)>;

    FolderLister(const Setup& setup, const OperationState& state);
    ~FolderLister();
    FolderLister(const FolderLister&) = delete;
    FolderLister& operator=(const FolderLister&) = delete;

    // Every folder is opened below the source and the target held open, one name at a time:
    // no path length limit, and no link swapped in on the way is followed. Opened before the
    // listing threads start, closed after they end.
    void OpenRoots();
    void CloseRoots();

    // Reads a folder and, for the passes that need them, its files' facts in the source.
    FolderListing List(const QString& folder, const Counted& counted = {}) const;
    // Completes a listing with its files' facts in the target.
    void ReadTargetFacts(FolderListing& listing) const;
    // The subfolders the walk enters after this folder, in order.
    QStringList FoldersToVisit(const FolderListing& listing) const;

    bool IsExcludedFilepath(const QString& path) const;
    bool IsIncludedSubfolder(const QString& path) const;
    // A recycle bin or trash folder at a mount root, which the walk leaves out and names.
    bool IsTrashFolder(const QString& path) const;
    bool InIncludedFolders(const QString& path) const;
    // A name in a folder that is the name of one of the program's own folders in the target,
    // at the source's root.
    bool IsOwnFolderName(const QString& folder, const QByteArray& name) const;
    // The disk of a path as labels name it, from the mount points read once.
    QString Drive(const QString& path) const;
    // The target folder that holds the copies of a source folder's files.
    QString TargetFolderOf(const QString& folder) const;

    // Where source and target really are: a link inside the target must not lead a copy
    // into the source.
    const QString realSource;
    const QString realTarget;
    // What the target's disk keeps, learned when the roots are opened.
    DiskAbilities disk;

private:
    // Marks the entries whose names the target's disk takes as those of earlier ones.
    void MarkFoldedNames(FolderListing& listing) const;
    // Whether the target folder of a folder (relative, with a final slash) folds names: its
    // own flag, or where it is still to be made, that of the nearest folder that is there.
    bool TargetFolderFolds(QString relative) const;

    const Setup& setup;
    const OperationState& state;
    QStringList mountRoots;
    QStringList windowsRoots; // those of file systems Windows writes, with a final slash
    // The target folder as the file system knows it, so that it is never walked as a
    // source subfolder whatever path leads there.
    FolderIdentity targetIdentity;
    std::unique_ptr<FolderOpener> sourceReader;
    std::unique_ptr<FolderOpener> targetReader;
};

} // namespace vnt
