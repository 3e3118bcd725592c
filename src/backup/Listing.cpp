#include "backup/Listing.h"

#include "backup/Catalog.h"
#include "mainwindow/FolderProc.h"
#include "mainwindow/Wildcard.h"
#include "platform/Directory.h"
#include "platform/Drives.h"
#include "report/StrProc.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <QHash>
#include <QStorageInfo>
#include <fcntl.h>
#include <sys/stat.h>

namespace vnt {

QStringList ParseExcludedFilepaths(const QString& text) {
    QString rest = text.trimmed();
    if (rest.isEmpty())
        return {};
    if (rest.startsWith(u','))
        rest.remove(0, 1);
    if (!rest.endsWith(u','))
        rest.append(u',');
    QStringList fragments = rest.split(u',');
    fragments.removeLast(); // the piece after the final comma
    for (QString& fragment : fragments)
        fragment = fragment.trimmed();
    return fragments;
}

bool MatchesExtensionFilter(const QString& path, const QString& filter, bool noExtensionValue) {
    if (filter.isEmpty())
        return true;
    const QString extension = ExtensionOfPath(path, true);
    if (extension.isEmpty())
        return noExtensionValue;
    return MatchesWildcardPart(extension, filter, false);
}

OpenedFolder OpenTargetRoot(const QString& targetFolder, const QString& realSource,
                            const QString& realTarget) {
    OpenedFolder opened;
    auto root = std::make_unique<FolderHandle>(targetFolder);
    const QString real = root->IsOpen() ? RealFolderOf(*root) : QString();
    if (real == realTarget) {
        opened.handle = std::move(root);
    } else {
        opened.error = ENOENT;
        if (!real.isEmpty()) {
            opened.leadsTo = real;
            opened.intoSource = real.startsWith(realSource);
        }
    }
    return opened;
}

FolderLister::FolderLister(const Setup& setupIn, const OperationState& stateIn)
    : realSource(RealFolder(setupIn.sourceFolder)), realTarget(RealFolder(setupIn.targetFolder)),
      setup(setupIn), state(stateIn), targetIdentity(IdentityOf(setupIn.targetFolder)) {
    // Mount points are read once: the walk asks for the root of every subfolder.
    for (const QStorageInfo& volume : QStorageInfo::mountedVolumes()) {
        mountRoots.append(volume.rootPath());
        if (IsWindowsFileSystem(volume.fileSystemType()))
            windowsRoots.append(WithTrailingBackslash(volume.rootPath()));
    }
}

FolderLister::~FolderLister() = default;

namespace {
// The program's own folder in the target, made where missing (for the owner alone: the
// catalogue names every file backed up, private ones too), never through a link.
UniqueFd OpenOwnFolder(const FolderHandle& target, bool create) {
    if (create)
        ::mkdirat(target.Descriptor(), CatalogFolderName, 0700);
    return UniqueFd(::openat(target.Descriptor(), CatalogFolderName,
                             O_PATH | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
}
} // namespace

void FolderLister::OpenRoots() {
    sourceReader = std::make_unique<FolderOpener>(
        std::make_unique<FolderHandle>(setup.sourceFolder), false, realSource, QString());
    OpenedFolder root = OpenTargetRoot(setup.targetFolder, realSource, realTarget);
    disk = DiskAbilities();
    if (!root.handle)
        return;
    // A run that writes may try what the disk keeps, in the program's own folder; a check
    // writes nothing and learns what it can without.
    const Operation op = state.intOperation;
    const bool writes = op == Operation::BackupAllFiles || op == Operation::BackupModifiedFiles ||
                        (op == Operation::VerifyBackup && state.blnRepair);
    UniqueFd own;
    if (writes)
        own = OpenOwnFolder(*root.handle, true);
    disk = LearnDisk(root.handle->Descriptor(), own.valid() ? own.get() : -1);
    targetReader =
        std::make_unique<FolderOpener>(std::move(root.handle), false, realSource, realTarget);
}

void FolderLister::MarkFoldedNames(FolderListing& listing) const {
    // Files first, then subfolders: the walk's order, in which the first of a group is
    // backed up.
    QHash<QString, QString> first;
    // The earlier name this one is on the disk; empty when it is the first.
    const auto earlier = [&first](const QString& name) {
        const QString key = name.toCaseFolded();
        if (const auto it = first.constFind(key); it != first.cend())
            return *it;
        first.insert(key, name);
        return QString();
    };
    // A file the filters leave out, or a pipe or device, never reaches the target.
    for (ListedFile& file : listing.files) {
        if (!file.skipped && !file.special)
            file.sameNameAs = earlier(file.Name());
    }
    for (qsizetype i = 0; i < listing.subfolders.size();) {
        const QString name = listing.subfolders[i];
        QString other = earlier(name);
        if (other.isEmpty()) {
            ++i;
            continue;
        }
        listing.foldedSubfolders.emplace_back(name, std::move(other));
        listing.subfolders.removeAt(i);
    }
}

bool FolderLister::TargetFolderFolds(QString relative) const {
    if (!targetReader)
        return false;
    while (true) {
        const OpenedFolder opened = targetReader->Open(relative);
        if (opened.handle)
            return FolderFoldsCase(opened.handle->Descriptor());
        if (relative.isEmpty() || opened.error != ENOENT)
            return false;
        // A folder made there takes the flag of the folder it is made in.
        relative.chop(1);
        relative.truncate(relative.lastIndexOf(u'/') + 1);
    }
}

void FolderLister::CloseRoots() {
    // A later walk opens them afresh: the target may have been unmounted or made again.
    targetReader.reset();
    sourceReader.reset();
}

QString FolderLister::TargetFolderOf(const QString& folder) const {
    return setup.targetFolder + folder.mid(setup.sourceFolder.size());
}

FolderListing FolderLister::List(const QString& folder, const Counted& counted) const {
    FolderListing listing;
    listing.folder = folder;
    const auto visit = [&](const DirectoryEntry& entry) {
        if (entry.kind == EntryKind::Folder) {
            (entry.isLink ? listing.folderLinks : listing.subfolders)
                .append(
                    DecodeName(entry.rawName, static_cast<qsizetype>(std::strlen(entry.rawName))));
            return true;
        }
        // A name like our own temporary copies' is still the user's file in the source.
        ListedFile file;
        file.bytes = QByteArray(entry.rawName);
        file.special = entry.kind != EntryKind::File;
        listing.files.push_back(std::move(file));
        return true;
    };
    if (sourceReader && sourceReader->IsOpen() && folder.startsWith(setup.sourceFolder)) {
        OpenedFolder opened = sourceReader->Open(folder.mid(setup.sourceFolder.size()));
        if (!opened.handle) {
            listing.error = FileErrorFromErrno(opened.error);
            return listing;
        }
        listing.sourceHandle = std::move(opened.handle);
        listing.error = ReadDirectoryAt(listing.sourceHandle->Descriptor(), visit, false);
    } else {
        listing.error = ReadDirectory(folder, visit, false);
    }
    if (counted && !listing.error)
        counted(static_cast<qsizetype>(listing.files.size()));
    const Operation op = state.intOperation;
    const QString& filter = setup.fileExtension;
    if (state.intNumExcludedFilepaths > 0 || !filter.isEmpty()) {
        for (ListedFile& file : listing.files) {
            const QString path = folder + file.Name();
            file.skipped = IsExcludedFilepath(path) || !MatchesExtensionFilter(path, filter, false);
        }
    }
    const bool compare = op == Operation::CheckBackupState || op == Operation::BackupAllFiles ||
                         op == Operation::BackupModifiedFiles || op == Operation::VerifyBackup;
    // Only what goes to the target, or is compared with it, meets its disk's names.
    if (compare && (disk.foldsCase ||
                    (disk.foldsPerFolder &&
                     TargetFolderFolds(folder.mid(setup.sourceFolder.size())))))
        MarkFoldedNames(listing);
    if (listing.files.empty() || !(compare || op == Operation::ListFolders))
        return listing;

    // Both folders are held open: their files are looked up by name. A target folder that
    // is not there holds none of these files (the walk makes it and puts only its own
    // copies in), so they are not looked up at all.
    listing.factsRead = true;
    if (!listing.sourceHandle)
        listing.sourceHandle = std::make_shared<FolderHandle>(folder);
    if (compare && targetReader) {
        // A link out of the target leads to no copy of these files.
        OpenedFolder opened = targetReader->Open(folder.mid(setup.sourceFolder.size()));
        if (opened.handle)
            listing.targetHandle = std::move(opened.handle);
        else
            listing.targetHandle =
                FolderHandle::Absent(opened.leadsTo.isEmpty() ? opened.error : ENOENT);
    } else if (compare) {
        listing.targetHandle = std::make_shared<FolderHandle>(TargetFolderOf(folder));
    }
    const FolderHandle& source = *listing.sourceHandle;
    for (ListedFile& file : listing.files) {
        if (!file.skipped && !file.special)
            file.source =
                source.IsOpen() ? source.Facts(file.bytes) : ReadFileFacts(folder + file.Name());
    }
    return listing;
}

void FolderLister::ReadTargetFacts(FolderListing& listing) const {
    if (!listing.targetHandle)
        return;
    const FolderHandle& target = *listing.targetHandle;
    const QString targetFolder = TargetFolderOf(listing.folder);
    for (ListedFile& file : listing.files) {
        if (file.skipped || file.special || !file.source.exists)
            continue;
        if (target.Missing())
            file.target.systemError = ENOENT;
        else
            file.target = target.IsOpen() ? target.Facts(file.bytes, false)
                                          : ReadFileFacts(targetFolder + file.Name(), false);
    }
}

QStringList FolderLister::FoldersToVisit(const FolderListing& listing) const {
    QStringList visits;
    // An included subfolder contributes only its own files; a folder that could not be read
    // ends its visit.
    if (listing.folder != setup.sourceFolder && !IsChecked(setup.includeSubfolders))
        return visits;
    if (listing.error && listing.error.number != ErrorNumber::PermissionDenied)
        return visits;
    for (const QString& name : listing.subfolders) {
        const QString path = listing.folder + name + u'/';
        if (IsIncludedSubfolder(path) && !IsExcludedFilepath(path))
            visits.append(path);
    }
    return visits;
}

bool FolderLister::IsExcludedFilepath(const QString& path) const {
    QString lower;
    for (qint32 i = 0; i < state.intNumExcludedFilepaths && i < state.strExcludedFilepaths.size();
         ++i) {
        const QString& fragment = state.strExcludedFilepaths[i];
        // An empty fragment (from ",," or a trailing comma) would match every path.
        if (fragment.isEmpty())
            continue;
        if (lower.isEmpty())
            lower = LowerCase(path);
        if (lower.contains(LowerCase(fragment)))
            return true;
    }
    return false;
}

bool FolderLister::IsTrashFolder(const QString& path) const {
    const QString root = RootPrefixIn(path, mountRoots);
    QString belowRoot = path.mid(root.size());
    if (belowRoot.endsWith(u'/'))
        belowRoot.chop(1);
    return !belowRoot.isEmpty() && !belowRoot.contains(u'/') &&
           IsTrashFolderName(belowRoot, windowsRoots.contains(root), true);
}

bool FolderLister::InIncludedFolders(const QString& path) const {
    return std::any_of(setup.includedFolders.cbegin(), setup.includedFolders.cend(),
                       [&](const QString& name) {
                           return IsWithinFolder(path, setup.sourceFolder + name, false);
                       });
}

bool FolderLister::IsOwnFolderName(const QString& folder, const QByteArray& name) const {
    return folder == setup.sourceFolder &&
           (name == CatalogFolderName || name == KeptCopiesFolderName);
}

bool FolderLister::IsIncludedSubfolder(const QString& path) const {
    if (IsTrashFolder(path))
        return false;
    if (path.size() > setup.sourceFolder.size() && path.startsWith(setup.sourceFolder)) {
        const QString name = path.mid(setup.sourceFolder.size()).chopped(1);
        if (IsOwnTargetFolderName(name))
            return false;
    }
    if (path == setup.targetFolder)
        return false;
    // The folder itself is looked at only when it would be walked.
    return InIncludedFolders(path) && !(targetIdentity.known && IdentityOf(path) == targetIdentity);
}

QString FolderLister::Drive(const QString& path) const {
    QString root = RootPrefixIn(path, mountRoots);
    if (root.size() > 1)
        root.chop(1);
    return root;
}

} // namespace vnt
