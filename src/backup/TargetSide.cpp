#include "backup/TargetSide.h"

#include "backup/Catalog.h"
#include "backup/Disks.h"
#include "mainwindow/FolderProc.h"
#include "mainwindow/Language.h"
#include "platform/Drives.h"

#include <cerrno>
#include <QDateTime>

namespace vnt {

QString LinkRefusedText(const OpenedFolder& opened) {
    return ProgramText(opened.intoSource ? 417 : 418) + u' ' + opened.leadsTo;
}

TargetSide::TargetSide(const Setup& setupIn, const FolderLister& listerIn)
    : setup(setupIn), lister(listerIn),
      keepStamp(QDateTime::currentDateTime().toString(QStringLiteral("yyyy-MM-dd_HHmmss"))) {}

TargetSide::~TargetSide() = default;

// The target's own folder (made if it has gone), opened once a walk and refused should it
// no longer be the folder chosen; every target folder is made and opened below it.
OpenedFolder TargetSide::OpenFolder(const QString& relative) {
    if (!writer) {
        if (!FolderExists(setup.targetFolder))
            CreateFolderPath(setup.targetFolder, CopyFolderMode(setup.sourceFolder));
        OpenedFolder root =
            OpenTargetRoot(setup.targetFolder, lister.realSource, lister.realTarget);
        if (!root.handle)
            return root;
        writer = std::make_unique<FolderOpener>(std::move(root.handle), true, lister.realSource,
                                                lister.realTarget);
        // A folder made grants nobody more than the source folder it copies (a private
        // folder keeps its files private), and its owner what a backup needs to fill it.
        // The folders of kept copies are the owner's alone.
        writer->folderMode = [source = setup.sourceFolder](const QByteArray& below) {
            if (below.startsWith(KeptCopiesFolderName + QByteArray("/")))
                return 0700u;
            return CopyFolderMode(source + DecodeName(below));
        };
    }
    return writer->Open(relative);
}

TargetSide::Folder TargetSide::Enter(const QString& targetFolder,
                                     const std::vector<ListedFile>& sourceFiles) {
    if (targetFolder == knownFolder)
        return {};
    OpenedFolder opened;
    if (targetFolder != failedFolder) {
        // Made and opened one name at a time from the target's own folder, so that no link,
        // whenever it was put there, leads a write into the source.
        opened = OpenFolder(targetFolder.mid(setup.targetFolder.size()));
        if (!opened.leadsTo.isEmpty())
            Refuse(targetFolder, LinkRefusedText(opened));
    }
    if (targetFolder == failedFolder)
        return {Folder::State::Refused, nullptr, failedReason, 0};
    if (!opened.handle)
        return {Folder::State::Unmade, nullptr, QString(), opened.error};
    // Once per target folder: it exists now, and leftovers of a killed copy go. A name the
    // source holds is the copy of a user's file, not a leftover.
    QList<QByteArray> sourceNames;
    for (const ListedFile& listed : sourceFiles)
        if (IsUnfinishedCopyName(listed.bytes.constData()))
            sourceNames.append(listed.bytes);
    RemoveUnfinishedCopies(*opened.handle, sourceNames);
    knownFolder = targetFolder;
    return {Folder::State::Ready, std::move(opened.handle), QString(), 0};
}

void TargetSide::Refuse(const QString& targetFolder, const QString& reason) {
    failedFolder = targetFolder;
    failedReason = reason;
}

bool TargetSide::FreeSpaceKnown(const QString& targetFolder, qint64 size) const {
    constexpr double Margin = 256.0 * 1024 * 1024;
    return knownFreeFolder == targetFolder && knownFree - static_cast<double>(size) > Margin;
}

bool TargetSide::QueryFreeSpace(const QString& targetFolder, const FolderHandle* opened,
                                qint64 size, double& available) {
    if (FreeSpaceKnown(targetFolder, size)) {
        available = knownFree;
        return true;
    }
    double total = 0;
    const qint16 result = freeSpace ? freeSpace(targetFolder, available, total)
                          : opened != nullptr && opened->IsOpen()
                              ? GetFreeDiskSpace(opened->Descriptor(), available, total)
                              : GetFreeDiskSpace(targetFolder, available, total);
    if (result != 0) {
        knownFreeFolder.clear();
        return false;
    }
    knownFreeFolder = targetFolder;
    knownFree = available;
    return true;
}

void TargetSide::SpendFreeSpace(const QString& targetFolder, qint64 size) {
    if (knownFreeFolder == targetFolder)
        knownFree -= static_cast<double>((size + 4095) / 4096 * 4096);
}

std::optional<double> TargetSide::KnownFreeSpace(const QString& targetFolder) const {
    if (knownFreeFolder != targetFolder)
        return std::nullopt;
    return std::max(knownFree, 0.0);
}

bool TargetSide::KeepReplacedAs(const QString& relativeFolder, const QByteArray& name, CopyJob& job,
                                QString& why) {
    if (keepRoot.isEmpty()) {
        const QString base = QStringLiteral(".vantoro-replaced/") + keepStamp;
        keepRoot = base + u'/';
        for (int n = 2; FolderExists(setup.targetFolder + keepRoot); ++n)
            keepRoot = base + u'-' + QString::number(n) + u'/';
    }
    const QString keepFolder = keepRoot + relativeFolder;
    if (keepFolder != keepFolderMade || !keepHandle) {
        keepFolderMade = keepFolder;
        OpenedFolder opened = OpenFolder(keepFolder);
        keepHandle = std::move(opened.handle);
        keepError = !opened.leadsTo.isEmpty() ? LinkRefusedText(opened)
                                              : FileErrorFromErrno(opened.error).description;
    }
    if (!keepHandle) {
        why = keepError;
        return false;
    }
    job.keepFolder = keepHandle;
    job.keepReplacedAs = KeepAs(keepHandle->Descriptor(), name);
    return true;
}

bool TargetSide::StaysReadOnly(const FolderHandle& folder, const QByteArray& name) {
    return IsReadOnly(folder, name) && !ClearReadOnly(folder, name);
}

bool TargetSide::DiskGone(int error) {
    if (error != EIO && error != ENOTCONN && error != ECONNABORTED && error != ENODEV &&
        error != ENXIO)
        return false;
    return !writer || !writer->RootReadable();
}

void TargetSide::Close() {
    writer.reset();
    keepHandle.reset();
    knownFolder.clear();
    keepFolderMade.clear();
}

} // namespace vnt
