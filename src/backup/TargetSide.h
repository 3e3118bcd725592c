#pragma once
// The target side of a walk: its folders (made and opened one name at a time below the
// target's own folder), the free space of its file system, where replaced copies are kept,
// and read-only copies cleared before they are replaced.

#include "backup/Copiers.h"
#include "backup/Listing.h"

#include <functional>
#include <memory>
#include <optional>
#include <QString>

namespace vnt {

// The words for a link that would lead a copy out of the target.
QString LinkRefusedText(const OpenedFolder& opened);

class TargetSide {
public:
    TargetSide(const Setup& setup, const FolderLister& lister);
    ~TargetSide();
    TargetSide(const TargetSide&) = delete;
    TargetSide& operator=(const TargetSide&) = delete;

    // What a target folder is for the copies of a folder's files.
    struct Folder {
        enum class State {
            Ready,   // made and cleaned; handle: opened now (null: as already held)
            Refused, // asked about before, or a link leads elsewhere: every file is named
            Unmade,  // could not be made or opened (error), asked about for the first time
        };
        State state = State::Ready;
        std::shared_ptr<const FolderHandle> handle;
        QString reason; // Refused
        int error = 0;  // Unmade
    };
    // Makes (once per folder) and opens the target folder, relative path with a final slash,
    // removing leftovers of a killed copy except those named like the source's own files.
    Folder Enter(const QString& targetFolder, const std::vector<ListedFile>& sourceFiles);
    bool Known(const QString& targetFolder) const { return targetFolder == knownFolder; }
    // Every later file for this folder is refused for this reason.
    void Refuse(const QString& targetFolder, const QString& reason);

    // Free space: asking the file system costs more than copying a small file, so a known
    // figure is used while it leaves a wide margin; near the limit (and for every new target
    // folder) the file system is asked again, so the decisions at the border are exact.
    bool FreeSpaceKnown(const QString& targetFolder, qint64 size) const;
    bool QueryFreeSpace(const QString& targetFolder, const FolderHandle* opened, qint64 size,
                        double& available);
    // Reserved when a copy is handed out, so the next decision counts its space.
    void SpendFreeSpace(const QString& targetFolder, qint64 size);
    // The disk filled up behind the known figure: it is asked again next time.
    void ForgetFreeSpace() { knownFreeFolder.clear(); }
    // The figure kept for a folder's disk, if any.
    std::optional<double> KnownFreeSpace(const QString& targetFolder) const;
    // Free space of the disk holding a path (0 on success); tests replace it. Unset: the
    // target's file system is asked, through its folder where that is open.
    std::function<qint16(const QString&, double&, double&)> freeSpace;

    // Sets where the job keeps the copy it replaces (the folder relative to the source, with
    // a final slash); false, and why, when it cannot.
    bool KeepReplacedAs(const QString& relativeFolder, const QByteArray& name, CopyJob& job,
                        QString& why);
    // The folder, below the target, where the last job set so keeps its replaced copy.
    const QString& KeepFolder() const { return keepFolderMade; }

    // A read-only copy is made writable before it is replaced; true when it stays read-only.
    static bool StaysReadOnly(const FolderHandle& folder, const QByteArray& name);

    // Whether the error a copy or a folder met says that the target's disk is gone: pulled
    // out or its driver ended during the run.
    bool DiskGone(int error);

    // Closes everything: a later walk opens the target afresh.
    void Close();

private:
    OpenedFolder OpenFolder(const QString& relative);

    const Setup& setup;
    const FolderLister& lister;
    std::unique_ptr<FolderOpener> writer;
    QString knownFolder;  // the last target folder known to exist and be cleaned
    QString failedFolder; // a target folder that cannot be written to, and why
    QString failedReason;
    QString knownFreeFolder; // the folder whose free space is known, and that figure
    double knownFree = 0;
    // Where replaced copies are kept in this run (one folder a run), made when first needed.
    QString keepStamp;
    QString keepRoot; // below the target
    QString keepFolderMade;
    std::shared_ptr<FolderHandle> keepHandle;
    QString keepError;
};

} // namespace vnt
