#include "backup/Walk.h"

#include "backup/Disks.h"
#include "backup/FileTimes.h"
#include "mainwindow/FolderProc.h"
#include "mainwindow/Language.h"
#include "mainwindow/Wildcard.h"
#include "platform/Directory.h"
#include "platform/Drives.h"
#include "platform/FileCopy.h"
#include "platform/Names.h"
#include "report/Progress.h"
#include "report/ReportHost.h"
#include "report/StrProc.h"
#include "setups/DateProc.h"

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <deque>
#include <fcntl.h>
#include <optional>
#include <QDateTime>
#include <QStorageInfo>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>

namespace vnt {

namespace {

const QString CRLF = QStringLiteral("\r\n");
const QString SixBlanks = QStringLiteral("      ");
const QString FourBlanks = QStringLiteral("    "); // folder-level lines
const QString ExplainIndent = QStringLiteral("          ");
constexpr qint64 LargeSystemFileBytes = 10487560;
// Files up to this size are compared several to a job.
constexpr qint64 SmallCompareBytes = 256 * 1024;

QString BadNameExplanation(const QString& description, const QString& path) {
    return description + CRLF + CRLF +
           QStringLiteral("Possibly the filepath contains an invalid character:") + CRLF + path +
           CRLF + QStringLiteral("You may wish to rename or to delete this file.");
}

} // namespace

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

QString GetCopyErrorText(const QString& source) {
    // What opening the file for reading says: permission denied, in use or locked, other.
    const int fd = ::open(EncodeName(source).constData(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    if (fd >= 0) {
        ::close(fd);
        return ProgramText(172);
    }
    if (errno == EACCES || errno == EPERM)
        return ProgramText(347);
    if (errno == EBUSY || errno == ETXTBSY || errno == EAGAIN)
        return ProgramText(346);
    return ProgramText(172);
}

namespace {

QString LinkRefusedText(const OpenedFolder& opened) {
    return ProgramText(opened.intoSource ? 417 : 418) + u' ' + opened.leadsTo;
}

QString KeepFailedText(const QString& why) {
    return QStringLiteral("The previous copy could not be kept, so it was not replaced (") + why +
           u')';
}

} // namespace

FolderWalk::FolderWalk(const Setup& setupIn, OperationState& stateIn, ReportHost& hostIn)
    : todayDayNumber(TodayDayNumber()), zoneOffsetMinutes(LocalTimeZoneOffset()), setup(setupIn),
      state(stateIn), host(hostIn) {
    // Mount points are read once: the walk asks for the root of every subfolder.
    for (const QStorageInfo& volume : QStorageInfo::mountedVolumes()) {
        mountRoots.append(volume.rootPath());
        if (IsWindowsFileSystem(volume.fileSystemType()))
            windowsRoots.append(WithTrailingBackslash(volume.rootPath()));
    }
    realSource = RealFolder(setup.sourceFolder);
    realTarget = RealFolder(setup.targetFolder);
    targetIdentity = IdentityOf(setup.targetFolder);
    keepStamp = QDateTime::currentDateTime().toString(QStringLiteral("yyyy-MM-dd_HHmmss"));
}

FolderWalk::~FolderWalk() = default;

bool FolderWalk::KeepReplacedAs(const QString& folder, const QByteArray& name, CopyJob& job,
                                QString& why) {
    if (keepRoot.isEmpty()) {
        const QString base = QStringLiteral(".vantoro-replaced/") + keepStamp;
        keepRoot = base + u'/';
        for (int n = 2; FolderExists(setup.targetFolder + keepRoot); ++n)
            keepRoot = base + u'-' + QString::number(n) + u'/';
    }
    const QString keepFolder = keepRoot + folder.mid(setup.sourceFolder.size());
    if (keepFolder != keepFolderMade || !keepHandle) {
        keepFolderMade = keepFolder;
        OpenedFolder opened = OpenTargetFolder(keepFolder);
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

// The target's own folder (made if it has gone), opened once a walk and refused should it
// no longer be the folder chosen; every target folder is made and opened below it.
OpenedFolder FolderWalk::OpenTargetFolder(const QString& relative) {
    if (!targetWriter) {
        if (!FolderExists(setup.targetFolder))
            CreateFolderPath(setup.targetFolder);
        OpenedFolder root = OpenTargetRoot();
        if (!root.handle)
            return root;
        targetWriter =
            std::make_unique<FolderOpener>(std::move(root.handle), true, realSource, realTarget);
    }
    return targetWriter->Open(relative);
}

// The target's own folder, refused when what its path leads to now is another folder.
OpenedFolder FolderWalk::OpenTargetRoot() const {
    OpenedFolder opened;
    auto root = std::make_unique<FolderHandle>(setup.targetFolder);
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

QString FolderWalk::Drive(const QString& path) const {
    QString root = RootPrefixIn(path, mountRoots);
    if (root.size() > 1)
        root.chop(1);
    return root;
}

// Asking the file system for its free space costs more than copying a small file, so a
// known figure is used while it leaves a wide margin; near the limit (and for every new
// target folder) the file system is asked again, so the decisions at the border are exact.
bool FolderWalk::FreeSpaceKnown(const QString& targetFolder, qint64 size) const {
    constexpr double Margin = 256.0 * 1024 * 1024;
    return knownFreeFolder == targetFolder && knownFree - static_cast<double>(size) > Margin;
}

bool FolderWalk::QueryFreeSpace(const QString& targetFolder, const FolderHandle* opened,
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

void FolderWalk::SpendFreeSpace(const QString& targetFolder, qint64 size) {
    if (knownFreeFolder == targetFolder)
        knownFree -= static_cast<double>((size + 4095) / 4096 * 4096);
}

bool FolderWalk::IsExcludedFilepath(const QString& path) const {
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

bool FolderWalk::IsTrashFolder(const QString& path) const {
    const QString root = RootPrefixIn(path, mountRoots);
    QString belowRoot = path.mid(root.size());
    if (belowRoot.endsWith(u'/'))
        belowRoot.chop(1);
    return !belowRoot.isEmpty() && !belowRoot.contains(u'/') &&
           IsTrashFolderName(belowRoot, windowsRoots.contains(root), true);
}

bool FolderWalk::InIncludedFolders(const QString& path) const {
    return std::any_of(setup.includedFolders.cbegin(), setup.includedFolders.cend(),
                       [&](const QString& name) {
                           return IsWithinFolder(path, setup.sourceFolder + name, false);
                       });
}

bool FolderWalk::IsIncludedSubfolder(const QString& path) const {
    if (IsTrashFolder(path))
        return false;
    if (path == setup.targetFolder)
        return false;
    // The folder itself is looked at only when it would be walked.
    return InIncludedFolders(path) && !(targetIdentity.known && IdentityOf(path) == targetIdentity);
}

// A person reads a label a few times a second; drawing it for every small file would cost
// more than the copy. Labels change at most every 50 ms, and show the last values when a
// folder is done.
bool FolderWalk::LabelsDue(QElapsedTimer& clock) {
    if (clock.isValid() && clock.elapsed() < 50)
        return false;
    clock.start();
    return true;
}

void FolderWalk::ShowCopyLabels(const QString& drive, const QString& folder, bool final) {
    labelsBehind = true;
    if (!final && !LabelsDue(copiedClock))
        return;
    labelsBehind = false;
    host.ShowBytesCopied(BytesCopiedText(state.dblTotalFilesize, state.lngTotalNumFilesCopied));
    // The figure the free-space rule keeps for this folder's disk, spent by every copy handed
    // out, asked of the disk again only where the rule needed it.
    const QString targetFolder = setup.targetFolder + folder.mid(setup.sourceFolder.size());
    if (knownFreeFolder == targetFolder)
        host.ShowFreeSpace(FreeSpaceLabelText(drive, std::max(knownFree, 0.0)));
    else
        DisplayFreeSpace(host, drive);
}

void FolderWalk::ShowCopyProgress(const CopyJob& job) {
    if (job.compare || !job.batch.empty() || job.done)
        return;
    const qint64 done = job.bytesCopied.load(std::memory_order_relaxed);
    if (done <= 0 || done >= job.bytes ||
        (progressClock.isValid() && progressClock.elapsed() < progressIntervalMs))
        return;
    progressClock.start();
    progressJob = &job;
    host.CopyProgress(LowerCase(DecodeName(job.targetName)), done, job.bytes);
}

void FolderWalk::EndCopyProgress(const CopyJob* job) {
    if (job == nullptr || job != progressJob)
        return;
    progressJob = nullptr;
    host.CopyProgress(QString(), 0, 0);
}

bool FolderWalk::AskToStopAfterError(const QString& message, bool everySixth) {
    if (everySixth && !(state.lngTotalNumCopyErrors > 0 && state.lngTotalNumCopyErrors % 6 == 0))
        return false;
    host.blnPaused = true;
    host.Beep();
    const bool stop = host.AskYesNo(message, ProgramText(83), MsgResult::No, MsgIcon::Question);
    host.blnPaused = false;
    return stop;
}

bool FolderWalk::FailureEndsVisit(const QString& description, int errorNumber,
                                  const QString& path) {
    ++state.lngTotalNumCopyErrors;
    const QString text = errorNumber == ErrorNumber::BadFileName
                             ? BadNameExplanation(description, path)
                             : description + CRLF + path;
    if (AskToStopAfterError(QStringLiteral("Error: ") + text + CRLF + CRLF + ProgramText(63) +
                                QString::number(state.lngTotalNumCopyErrors) + u'.' + CRLF +
                                ProgramText(64),
                            false))
        state.blnStop = true;
    return true;
}

void FolderWalk::LineBreakFix(bool headerWritten) {
    if (headerWritten && !host.blnReportBufferFull && !host.ReportText().endsWith(CRLF))
        host.AppendToText(CRLF);
}

// One file that could not be backed up gets its own line under its folder and counts as
// an error; the folder goes on. True when the user chose to stop.
bool FolderWalk::ReportFileFailure(const QString& src, const QString& errorText,
                                   bool& headerWritten) {
    if (!headerWritten && !state.blnSuppressDetailedReports) {
        host.Output(CRLF + host.strNumFilesInFolder, true);
        headerWritten = true;
    }
    host.Output(CRLF + SixBlanks + ProgramText(79) + u' ' + src + QStringLiteral("  ") + errorText,
                true);
    host.FailureReported(src, errorText);
    ++state.lngTotalNumCopyErrors;
    // Once the user chose to stop, copies still finishing are reported, not asked about.
    if (!state.blnStop &&
        AskToStopAfterError(ProgramText(80) + CRLF + src + CRLF + errorText + CRLF + CRLF +
                                ProgramText(63) + QString::number(state.lngTotalNumCopyErrors) +
                                u'.' + CRLF + ProgramText(64),
                            true)) {
        state.blnStop = true;
        return true;
    }
    host.Output(QString(), true);
    return false;
}

void FolderWalk::WriteFileLine(const QString& line, bool& headerWritten) {
    if (state.blnSuppressDetailedReports)
        return;
    if (headerWritten) {
        LineBreakFix(true);
    } else {
        host.Output(CRLF + host.strNumFilesInFolder, true);
        headerWritten = true;
    }
    host.Output(line, true);
}

void FolderWalk::WalkFolder(const QString& folder) {
    const Operation op = state.intOperation;
    // Every folder is opened below these, one name at a time: no path length limit, and
    // no link swapped in on the way is followed. Opened before the listing threads start.
    sourceReader = std::make_unique<FolderOpener>(
        std::make_unique<FolderHandle>(setup.sourceFolder), false, realSource, QString());
    if (OpenedFolder root = OpenTargetRoot(); root.handle)
        targetReader =
            std::make_unique<FolderOpener>(std::move(root.handle), false, realSource, realTarget);
    // Looking for one file stops at the first: nothing to gain from listing ahead.
    if (threads > 1 && op != state.intOperationCheckForFile)
        lookahead = std::make_unique<Lookahead>(
            WithTrailingBackslash(folder),
            [this](const QString& f, const Lookahead::Counted& counted) {
                return ListFolder(f, counted);
            },
            [this](FolderListing& listing) { ReadTargetFacts(listing); },
            [this](const FolderListing& listing) { return FoldersToVisit(listing); });
    const bool backup =
        op == state.intOperationBackupAllFiles || op == state.intOperationBackupModifiedFiles;
    if (threads > 1 && (backup || op == state.intOperationVerifyBackup))
        copiers = std::make_unique<CopierPool>(threads, host.blnPaused,
                                               backup ? setup.targetFolder : QString());
    // Threads that cannot start (a memory limit) leave the run to the serial engine.
    if (const int error = std::max(lookahead ? lookahead->StartError() : 0,
                                   copiers ? copiers->StartError() : 0)) {
        lookahead.reset();
        copiers.reset();
        host.Notice(SerialEngineText(error));
    }
    // Depth first, subfolders in listing order; a stack of its own, not the call stack,
    // so that a tree of any depth is walked.
    std::vector<QString> pending{folder};
    const auto found = [&] { return op == state.intOperationCheckForFile && state.blnFileExists; };
    while (!pending.empty() && !state.blnStop && !found()) {
        const QString next = std::move(pending.back());
        pending.pop_back();
        const QStringList visits = VisitFolder(next);
        for (auto it = visits.crbegin(); it != visits.crend(); ++it)
            pending.push_back(*it);
        if (next != folder)
            host.Yield();
    }
    if (copiers)
        copiers->QuitAnswering([this] { host.Yield(); });
    copiers.reset();
    lookahead.reset();
    // A later walk opens the target afresh: it may have been unmounted or made again.
    targetWriter.reset();
    targetReader.reset();
    sourceReader.reset();
    keepHandle.reset();
    knownTargetFolder.clear();
    keepFolderMade.clear();
}

FolderListing FolderWalk::ListFolder(const QString& folder,
                                     const Lookahead::Counted& counted) const {
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
    const bool compare =
        op == state.intOperationCheckBackupState || op == state.intOperationBackupAllFiles ||
        op == state.intOperationBackupModifiedFiles || op == state.intOperationVerifyBackup;
    if (listing.files.empty() || !(compare || op == state.intOperationListFolders))
        return listing;

    // Both folders are held open: their files are looked up by name. A target folder that
    // is not there holds none of these files (the walk makes it and puts only its own
    // copies in), so they are not looked up at all.
    const QString targetFolder = setup.targetFolder + folder.mid(setup.sourceFolder.size());
    listing.factsRead = true;
    if (!listing.sourceHandle)
        listing.sourceHandle = std::make_unique<FolderHandle>(folder);
    if (compare && targetReader) {
        // A link out of the target leads to no copy of these files.
        OpenedFolder opened = targetReader->Open(folder.mid(setup.sourceFolder.size()));
        listing.targetHandle =
            opened.handle ? std::move(opened.handle)
                          : FolderHandle::Absent(opened.leadsTo.isEmpty() ? opened.error : ENOENT);
    } else if (compare) {
        listing.targetHandle = std::make_unique<FolderHandle>(targetFolder);
    }
    const FolderHandle& source = *listing.sourceHandle;
    for (ListedFile& file : listing.files) {
        if (!file.skipped && !file.special)
            file.source =
                source.IsOpen() ? source.Facts(file.bytes) : ReadFileFacts(folder + file.Name());
    }
    return listing;
}

void FolderWalk::ReadTargetFacts(FolderListing& listing) const {
    if (!listing.targetHandle)
        return;
    const FolderHandle& target = *listing.targetHandle;
    const QString targetFolder = setup.targetFolder + listing.folder.mid(setup.sourceFolder.size());
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

QStringList FolderWalk::FoldersToVisit(const FolderListing& listing) const {
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

QStringList FolderWalk::VisitFolder(const QString& folderIn) {
    const Operation op = state.intOperation;
    if (state.blnStop || (op == state.intOperationCheckForFile && state.blnFileExists))
        return {};
    const QString folder = WithTrailingBackslash(folderIn);
    const QString targetFolder = setup.targetFolder + folder.mid(setup.sourceFolder.size());
    bool shortened = false;
    host.SetSourceDirpath(QStringLiteral("Source folder: ") +
                          ShortenedPath(folder, state.intMaxPathDisplayLength, shortened));
    host.SetTargetDirpath(QStringLiteral("Target folder:  ") +
                          ShortenedPath(targetFolder, state.intMaxPathDisplayLength, shortened));
    host.SetFileNowBeingCopied(QString(), QString());

    const bool list = op == state.intOperationListFolders;
    const bool check = op == state.intOperationCheckBackupState;
    const bool backupAll = op == state.intOperationBackupAllFiles;
    const bool backupModified = op == state.intOperationBackupModifiedFiles;
    const bool verify = op == state.intOperationVerifyBackup;

    const bool skipFiles =
        folder == setup.sourceFolder && IsChecked(setup.excludeFilesInSourceFolder);
    // The please-wait notice of a folder of many files shows while its files are read, from
    // the moment they are counted; it goes when the first pass is done.
    qsizetype noticeLength = -1;
    const auto showNotice = [&](qsizetype fileCount) {
        if (noticeLength >= 0 || skipFiles || host.blnReportBufferFull ||
            fileCount < state.intManyFilesThreshold || state.blnSuppressDetailedReports)
            return;
        noticeLength = host.ReportText().size();
        host.AppendToText(ProgramText(60) + u' ');
        host.MoveCaretToEnd();
        host.DrawNow();
    };
    const auto removeNotice = [&] {
        if (noticeLength >= 0) {
            host.RemoveFromEnd(host.ReportText().size() - noticeLength);
            host.MoveCaretToEnd();
            noticeLength = -1;
        }
    };

    // One listing serves both passes, read ahead when a listing thread runs.
    std::optional<FolderListing> ahead;
    if (lookahead) {
        ahead = lookahead->Take(folder, [&](qsizetype fileCount) {
            showNotice(fileCount);
            host.Yield();
        });
        if (!ahead)
            lookahead.reset();
    }
    FolderListing listing;
    if (ahead) {
        listing = std::move(*ahead);
    } else {
        listing = ListFolder(folder, showNotice);
        ReadTargetFacts(listing);
    }
    if (listing.error)
        removeNotice();
    std::vector<ListedFile>& files = listing.files;
    qint32 fileCount = static_cast<qint32>(files.size());
    if (const FileError& error = listing.error) {
        if (error.number == ErrorNumber::PermissionDenied && list) {
            fileCount = -1;
            files.clear();
        } else if (error.number == ErrorNumber::PermissionDenied) {
            // An unreadable folder is reported and counted, never passed over in silence.
            files.clear();
            fileCount = 0;
            ++state.lngTotalNumCopyErrors;
            host.Output(CRLF + FourBlanks + ProgramText(79) + u' ' + folder + QStringLiteral("  ") +
                            error.description,
                        true);
            host.FailureReported(folder, error.description);
            if (AskToStopAfterError(ProgramText(79) + u' ' + folder + CRLF + error.description +
                                        CRLF + CRLF + ProgramText(63) +
                                        QString::number(state.lngTotalNumCopyErrors) + u'.' + CRLF +
                                        ProgramText(64),
                                    true)) {
                state.blnStop = true;
                return {};
            }
        } else {
            // The folder itself cannot be read: it and all it holds are left behind, so it
            // is named in the report, not only in the question.
            host.Output(CRLF + FourBlanks + ProgramText(79) + u' ' + folder + QStringLiteral("  ") +
                            error.description,
                        true);
            host.FailureReported(folder, error.description);
            FailureEndsVisit(error.description, error.number, folder);
            return {};
        }
    }

    qint32 counts[3] = {0, 0, 0}; // new, modified, copied
    // Without the folder's own line (its files excluded), later lines need no header.
    bool headerWritten = skipFiles;
    // Links to folders and trash folders that the walk would have entered are named with
    // the folder's files, before its result line.
    bool linksReported = state.blnSuppressDetailedReports ||
                         !(check || backupAll || backupModified || verify) ||
                         (folder != setup.sourceFolder && !IsChecked(setup.includeSubfolders));
    const auto reportFolderLinks = [&] {
        if (linksReported)
            return;
        linksReported = true;
        for (const QString& name : listing.folderLinks) {
            const QString path = folder + name + u'/';
            if (IsIncludedSubfolder(path) && !IsExcludedFilepath(path))
                WriteFileLine(SixBlanks + folder + name + u' ' + ProgramText(412), headerWritten);
        }
        for (const QString& name : listing.subfolders) {
            const QString path = folder + name + u'/';
            if (IsTrashFolder(path) && InIncludedFolders(path) && !IsExcludedFilepath(path))
                WriteFileLine(SixBlanks + path + u' ' + ProgramText(419), headerWritten);
        }
    };
    if (!skipFiles) {
        double freeBytes = -1.0;
        if (fileCount > 0) {
            showNotice(fileCount);
            // The check and the backups find nothing to do here: the second pass filters.
            const bool firstPassWorks = op == state.intOperationCheckForFile || list;
            for (size_t i = 0; firstPassWorks && i < files.size(); ++i) {
                const ListedFile& file = files[i];
                if (file.skipped)
                    continue;
                if (op == state.intOperationCheckForFile) {
                    if (file.special)
                        continue;
                    removeNotice();
                    state.blnFileExists = true;
                    return {};
                }
                if (list && !file.special) {
                    const qint64 size = listing.factsRead
                                            ? (file.source.exists ? file.source.size : -1)
                                            : FileSizeOrError(folder + file.Name());
                    if (size >= 0)
                        state.dblTotalFilesize += static_cast<double>(size);
                }
            }
            removeNotice();
        }

        if (!state.blnSuppressDetailedReports) {
            const bool immediate = !(check || backupModified || verify);
            DisplayNumFilesInFolder(host, true, setup.sourceFolder, state.blnSubfoldersExist,
                                    folder, fileCount, fileCount != 0 ? state.blnListFolders : true,
                                    list, immediate);
            headerWritten = immediate;
        }
        if (fileCount > 0 || list)
            ++state.lngTotalNumFolders;
        host.Yield();

        if (fileCount > 0) {
            state.lngTotalNumFiles += fileCount;
            if (check || backupAll || backupModified || verify) {
                if (host.ShowsLabels())
                    DisplayFreeSpace(host, Drive(targetFolder));
                if (SecondPass(listing, targetFolder, counts, freeBytes, headerWritten) ==
                    Visit::Ends)
                    return {};
                reportFolderLinks();
                if (!host.blnReportBufferFull && !state.blnSuppressDetailedReports && !verify) {
                    if (check)
                        DisplayNewAndModifiedFiles(host, fileCount, counts[0], counts[1]);
                    else
                        DisplayFilesCopied(host, backupAll, fileCount, counts[0], counts[1],
                                           counts[2]);
                }
                if (freeBytes == 0)
                    host.Output(QString(), true);
            }
        }
    }

    // A pause after the first folder that had copies, once per operation.
    if ((backupAll || backupModified) && IsChecked(setup.pauseAfterFirstCopy) && counts[2] >= 1 &&
        (IsChecked(setup.includeSubfolders) || setup.includedFolders.size() >= 2) &&
        !state.blnPausedAfterFirstCopy) {
        if (!state.blnScheduledTask) {
            host.Inform(QStringLiteral("Source disk or folder: ") + setup.sourceFolder + CRLF +
                            QStringLiteral("Target disk or folder: ") + setup.targetFolder + CRLF +
                            CRLF + ProgramText(391) + CRLF + ProgramText(392),
                        state.strWindowCaption, MsgIcon::Information);
            host.Pause();
        }
        state.blnPausedAfterFirstCopy = true;
    }

    if (folder != setup.sourceFolder && !IsChecked(setup.includeSubfolders))
        return {}; // an included subfolder contributes only its own files

    reportFolderLinks();

    host.Yield();
    if (state.blnStop)
        return {};
    return FoldersToVisit(listing);
}

// Copies handed to the copier threads, and the report steps that must follow them: a step
// runs only when every copy handed out before it is done, so the report reads exactly as
// if the files had been copied one after the other. Without copier threads every step
// runs at once.
class FolderWalk::Pipeline {
public:
    using After = std::function<bool(const CopyOutcome&)>; // true: the user chose to stop
    explicit Pipeline(FolderWalk& walkIn) : walk(walkIn) {}
    ~Pipeline() { Drain(); }
    Pipeline(const Pipeline&) = delete;
    Pipeline& operator=(const Pipeline&) = delete;

    bool Idle() const { return steps.empty(); }

    // How many of the folder's files are still to come, this one included: comparisons
    // are gathered into smaller jobs towards the folder's end, so that no thread is left
    // with a long last job while the others wait for the next folder.
    void FilesLeft(size_t left) { filesLeft = left; }

    // Runs step now, or once the copies handed out before it are done. Past a stop nothing
    // runs, on any engine: neither the steps of the files after it nor their copies. (The
    // walk stops by itself only with nothing pending; a stop seen while steps wait is the
    // user's, and the first step not yet run is where it falls.)
    bool Then(std::function<bool()> step) {
        if (stopped || walk.state.blnStop)
            return false;
        if (HandOutGathered())
            return true;
        if (steps.empty())
            return Run([&step](const CopyOutcome&) { return step(); }, {});
        steps.push_back({nullptr, [step = std::move(step)](const CopyOutcome&) { return step(); }});
        return false;
    }

    bool HandOut(const std::shared_ptr<CopyJob>& job, After after) {
        if (stopped || walk.state.blnStop)
            return false;
        if (HandOutGathered())
            return true;
        if (!walk.copiers) {
            RunCopyJob(*job, [this, &job] {
                // Pause and Cancel stay answerable while a large file is copied.
                walk.ShowCopyProgress(*job);
                walk.host.Yield();
                return !walk.state.blnStop;
            });
            walk.EndCopyProgress(job.get());
            return Run(after, job->outcome);
        }
        // Copied on a copier thread. A copy that replaces a file is named only when its turn
        // in the report comes; a new file is named at once, and its name is taken back if a
        // stop comes before its turn. Either way a stop leaves no trace of it in the target.
        job->deferName = job->targetMayExist;
        walk.copiers->Submit(job);
        steps.push_back({job, std::move(after)});
        // A bounded number in flight keeps memory flat and the report moving. Past it, the
        // walk waits until half are done: one wake-up for many small files, not one each.
        return RunSteps(steps.size() > MaxInFlight ? MaxInFlight / 2 : MaxInFlight);
    }

    // Waits for every copy handed out and runs every step left.
    bool Drain() {
        const bool stop = HandOutGathered();
        return RunSteps(0) || stop;
    }

    // With copier threads, small comparisons are gathered into one job, handed out when it
    // is full and before any other step, so that the report keeps file order. report words
    // what the job found. False: not gathered (no copier threads), compare it alone.
    using Report = std::function<bool(const CopyJob&)>;
    bool Gather(const FolderHandle& source, const FolderHandle& target, CompareItem item,
                qint64 bytes, const Report& report, bool& stop) {
        stop = false;
        if (!walk.copiers || stopped || walk.state.blnStop)
            return false;
        if (!gathered) {
            gathered = std::make_shared<CopyJob>();
            gathered->compare = true;
            gathered->sourceFolder = &source;
            gathered->targetFolder = &target;
            gatheredReport = report;
        }
        gathered->batch.push_back(std::move(item));
        gathered->bytes += bytes;
        const size_t share = filesLeft / (static_cast<size_t>(walk.threads) + 1);
        if (gathered->batch.size() >= std::clamp<size_t>(share, 1, GatherFiles) ||
            gathered->bytes >= GatherBytes)
            stop = HandOutGathered();
        return true;
    }

private:
    static constexpr size_t MaxInFlight = 64;
    static constexpr size_t GatherFiles = 64;
    static constexpr qint64 GatherBytes = 4 * 1024 * 1024;

    bool HandOutGathered() {
        if (!gathered)
            return false;
        if (stopped) { // past a stop nothing is compared
            gathered.reset();
            return false;
        }
        const std::shared_ptr<CopyJob> job = std::move(gathered);
        gathered.reset();
        walk.copiers->Submit(job);
        steps.push_back({job, [job, report = std::move(gatheredReport)](const CopyOutcome&) {
                             return report(*job);
                         }});
        return RunSteps(steps.size() > MaxInFlight ? MaxInFlight / 2 : MaxInFlight);
    }

    struct Step {
        std::shared_ptr<CopyJob> job;
        After after;
    };

    // Runs the steps whose copies are done, in order, waiting while more than keep are left.
    bool RunSteps(size_t keep) {
        // Copies end about in the order handed out: wait for the last that must be done.
        if (steps.size() > keep) {
            for (auto step = steps.rbegin() + static_cast<std::ptrdiff_t>(keep);
                 step != steps.rend(); ++step)
                if (step->job) {
                    Wait(*step->job, true);
                    break;
                }
        }
        bool stop = false;
        while (!steps.empty()) {
            if (const std::shared_ptr<CopyJob>& job = steps.front().job;
                job && !Wait(*job, stopped || steps.size() > keep))
                break;
            const Step step = std::move(steps.front());
            steps.pop_front();
            walk.EndCopyProgress(step.job.get());
            // Past a stop a finished copy is dropped unnamed: the serial engine never made it.
            stopped = stopped || walk.state.blnStop;
            if (stopped) {
                walk.copiers->Cancel();
                if (step.job)
                    TakeBackNewCopy(*step.job);
                continue;
            }
            if (step.job)
                NameCopy(step.job->outcome);
            stop = Run(step.after, step.job ? step.job->outcome : CopyOutcome{}) || stop;
        }
        return stop;
    }

    // A new file named ahead of a stop that falls before it: the name goes again.
    static void TakeBackNewCopy(const CopyJob& job) {
        if (!job.outcome.copied || !job.outcome.madeNew)
            return;
        if (job.targetFolder != nullptr)
            ::unlinkat(job.targetFolder->Descriptor(), job.targetName.constData(), 0);
        else
            ::unlink(EncodeName(job.targetPath).constData());
    }

    // Runs one step; a stop it brings (the user's answer, or Cancel pressed meanwhile) is the
    // stop point: every step after it is dropped.
    bool Run(const After& step, const CopyOutcome& outcome) {
        const bool stop = step(outcome);
        stopped = stopped || stop || walk.state.blnStop;
        return stop;
    }

    // The window stays answerable while the walk waits; a Cancel reaches the copiers.
    bool Wait(const CopyJob& job, bool block) {
        using namespace std::chrono_literals;
        if (!block)
            return walk.copiers->WaitFor(job, 0ms);
        // Small comparisons still waiting are taken on here, a core's worth of work.
        while (!job.done && walk.copiers->RunWaitingBatch())
            walk.host.Yield();
        while (!walk.copiers->WaitFor(job, 20ms)) {
            // The copy that holds the report back shows how far it has got.
            for (const Step& step : steps)
                if (step.job && !step.job->done) {
                    walk.ShowCopyProgress(*step.job);
                    break;
                }
            walk.host.Yield();
            if (walk.state.blnStop)
                walk.copiers->Cancel();
        }
        return true;
    }

    FolderWalk& walk;
    std::deque<Step> steps;
    bool stopped = false;
    size_t filesLeft = GatherFiles;
    std::shared_ptr<CopyJob> gathered;
    Report gatheredReport;
};

// --since-last passes over a copy when neither it nor its source changed since the last
// comparison and it did not differ then. Any write to either file, a new copy and a changed
// time all move the inode's change time, which nobody can set back.
bool FolderWalk::SinceLastSkips(const ListedFile& file, const QString& path) const {
    const qint64 since = state.lngVerifyChangedSince;
    return since >= 0 && file.source.ctimeNanoseconds < since &&
           file.target.ctimeNanoseconds < since && !state.strVerifyAgain.contains(path);
}

// Counts and words what one comparison found. True when the user chose to stop.
bool FolderWalk::ReportComparison(const CompareOutcome& compared, const QString& path,
                                  bool& headerWritten) {
    if (compared.cancelled)
        return false;
    ++state.lngTotalNumFilesCompared;
    state.dblTotalBytesCompared += static_cast<double>(compared.bytes);
    if (compared.error) {
        state.strVerifyProblems.append(path);
        return ReportFileFailure(
            path,
            (compared.inTarget ? QStringLiteral("(in the target) ") : QString()) +
                compared.error.description,
            headerWritten);
    }
    if (compared.differsAt >= 0) {
        ++state.lngTotalNumFilesDiffering;
        state.strVerifyProblems.append(path);
        WriteFileLine(SixBlanks + path + QStringLiteral(" (Contents differ at byte ") +
                          FormatCount(static_cast<double>(compared.differsAt)) + u')',
                      headerWritten);
    }
    return false;
}

bool FolderWalk::ReportNotInTarget(Pipeline& pipeline, const QString& path, bool& headerWritten) {
    return pipeline.Then(
        [this, line = SixBlanks + path + QStringLiteral(" (Not in target)"), &headerWritten] {
            ++state.lngTotalNumFilesNotInTarget;
            WriteFileLine(line, headerWritten);
            return false;
        });
}

// A file missing from the target is named; a copy is compared byte for byte with its source
// (on the copier threads), unless --since-last passes over it. True when the user chose to
// stop.
bool FolderWalk::VerifyContents(Pipeline& pipeline, const ListedFile& file, const QString& folder,
                                const QString& targetFolder, const FolderHandle& sourceHandle,
                                const FolderHandle& targetHandle, bool& headerWritten) {
    const FileFacts& target = file.target;
    const QString path = folder + file.Name();
    if (!target.exists || target.directory)
        return ReportNotInTarget(pipeline, path, headerWritten);
    if (SinceLastSkips(file, path))
        return false;
    if (bool stop = false;
        sourceHandle.IsOpen() && targetHandle.IsOpen() && file.source.size <= SmallCompareBytes &&
        pipeline.Gather(
            sourceHandle, targetHandle, {file.bytes, path, {file.source.size, target.size}, {}},
            file.source.size,
            [this, &headerWritten](const CopyJob& job) {
                // Cancel pressed during a line: the files after it are not
                // reported, as on the serial engine.
                for (const CompareItem& item : job.batch) {
                    if (state.blnStop)
                        return false;
                    if (ReportComparison(item.compared, item.path, headerWritten))
                        return true;
                }
                return false;
            },
            stop))
        return stop;
    auto job = std::make_shared<CopyJob>();
    job->compare = true;
    job->listed = {file.source.size, target.size};
    if (sourceHandle.IsOpen() && targetHandle.IsOpen()) {
        job->sourceFolder = &sourceHandle;
        job->targetFolder = &targetHandle;
        job->sourceName = job->targetName = file.bytes;
    } else {
        job->sourcePath = path;
        job->targetPath = targetFolder + file.Name();
    }
    return pipeline.HandOut(job, [this, job, path, &headerWritten](const CopyOutcome&) {
        return ReportComparison(job->compared, path, headerWritten);
    });
}

// verify --repair: compared here and now, since a copy follows the comparison at once.
FolderWalk::Repair FolderWalk::RepairNeeded(Pipeline& pipeline, const ListedFile& file,
                                            const QString& folder, const QString& targetFolder,
                                            const FolderHandle& sourceHandle,
                                            const FolderHandle& targetHandle, bool& headerWritten) {
    const QString path = folder + file.Name();
    if (!file.target.exists || file.target.directory)
        return ReportNotInTarget(pipeline, path, headerWritten) ? Repair::Stop : Repair::Copy;
    if (SinceLastSkips(file, path))
        return Repair::None;
    const CompareOutcome compared =
        CompareNow(file, folder, targetFolder, sourceHandle, targetHandle);
    if (pipeline.Then([this, compared, path, &headerWritten] {
            return ReportComparison(compared, path, headerWritten);
        }))
        return Repair::Stop;
    return !compared.cancelled && !compared.error && compared.differsAt >= 0 ? Repair::Copy
                                                                             : Repair::None;
}

CompareOutcome FolderWalk::CompareNow(const ListedFile& file, const QString& folder,
                                      const QString& targetFolder, const FolderHandle& sourceHandle,
                                      const FolderHandle& targetHandle) {
    const auto goOn = [this] {
        host.Yield();
        return !state.blnStop;
    };
    const ListedSizes sizes{file.source.size, file.target.size};
    return sourceHandle.IsOpen() && targetHandle.IsOpen()
               ? CompareFiles(sourceHandle.Descriptor(), file.bytes, targetHandle.Descriptor(),
                              file.bytes, goOn, sizes)
               : CompareFiles(AT_FDCWD, EncodeName(folder + file.Name()), AT_FDCWD,
                              EncodeName(targetFolder + file.Name()), goOn, sizes);
}

ModifiedVerdict::Contents FolderWalk::CompareContents(const ListedFile& file, const QString& folder,
                                                      const QString& targetFolder,
                                                      const FolderHandle& sourceHandle,
                                                      const FolderHandle& targetHandle) {
    using Contents = ModifiedVerdict::Contents;
    const CompareOutcome compared =
        CompareNow(file, folder, targetFolder, sourceHandle, targetHandle);
    // A comparison the user stopped decides nothing: the walk ends before the next file.
    if (compared.cancelled)
        return Contents::NotCompared;
    if (compared.same)
        return Contents::Same;
    return compared.error ? Contents::Unreadable : Contents::Differ;
}

FolderWalk::Visit FolderWalk::SecondPass(FolderListing& listing, const QString& targetFolder,
                                         qint32 counts[3], double& freeBytes, bool& headerWritten) {
    const QString& folder = listing.folder;
    const Operation op = state.intOperation;
    const bool check = op == state.intOperationCheckBackupState;
    const bool backupAll = op == state.intOperationBackupAllFiles;
    const QString drive = Drive(targetFolder);
    const QString filter = setup.fileExtension;
    const FolderHandle& sourceHandle = *listing.sourceHandle;
    std::unique_ptr<FolderHandle>& targetHandle = listing.targetHandle;

    Visit result = Visit::Goes_on;
    Pipeline pipeline(*this);
    // Copies of files rewritten in place while they were copied, tried again at the end.
    std::vector<std::pair<std::shared_ptr<CopyJob>, Pipeline::After>> retries;
    bool retrying = false;
    const auto line = [this, &headerWritten](const QString& text) {
        return [this, text, &headerWritten] {
            WriteFileLine(text, headerWritten);
            return false;
        };
    };
    // A new (0) or modified (1) file is counted with its line: after a stop, neither.
    const auto counted = [this, counts, &headerWritten](int which, const QString& text) {
        return [this, counts, which, text, &headerWritten] {
            ++counts[which];
            ++(which == 0 ? state.lngTotalNumNewFiles : state.lngTotalNumModifiedFiles);
            WriteFileLine(text, headerWritten);
            return false;
        };
    };
    for (const ListedFile& file : listing.files) {
        pipeline.FilesLeft(
            static_cast<size_t>(listing.files.data() + listing.files.size() - &file));
        if (file.skipped)
            continue;
        // Paths are built only when something reads them: most files are unchanged.
        QString nameText;
        QString srcPath;
        QString tgtPath;
        const auto name = [&]() -> const QString& {
            if (nameText.isEmpty())
                nameText = file.Name();
            return nameText;
        };
        const auto src = [&]() -> const QString& {
            if (srcPath.isEmpty())
                srcPath = folder + name();
            return srcPath;
        };
        const auto tgt = [&]() -> const QString& {
            if (tgtPath.isEmpty())
                tgtPath = targetFolder + name();
            return tgtPath;
        };

        if (file.special) {
            // Under its own folder's line, which may still be held back.
            pipeline.Then(line(SixBlanks + src() + u' ' + ProgramText(411)));
            continue;
        }
        const FileFacts& source = file.source;
        if (!source.exists) {
            // Gone (or unreadable) since the folder was listed: this file is named and
            // counted, and the folder goes on.
            const FileError error = source.Error();
            const QString errorText = error.number == ErrorNumber::BadFileName
                                          ? BadNameExplanation(error.description, src())
                                          : error.description;
            if (pipeline.Then([this, path = src(), errorText, &headerWritten] {
                    return ReportFileFailure(path, errorText, headerWritten);
                })) {
                result = Visit::Ends;
                break;
            }
            host.Yield();
            if (state.blnStop)
                break;
            continue;
        }
        const FileFacts& target = file.target;
        const bool targetExists = target.exists && !target.directory;
        bool decision = false;

        const bool inWindow = IsWithinModifiedSinceWindow(
            source.mtimeSeconds, setup.modifiedSinceDays, todayDayNumber, zoneOffsetMinutes);
        if (op == state.intOperationVerifyBackup) {
            // Compared; copied again only when asked to repair what differs.
            if (inWindow && state.blnRepair) {
                const Repair repair = RepairNeeded(pipeline, file, folder, targetFolder,
                                                   sourceHandle, *targetHandle, headerWritten);
                if (repair == Repair::Stop) {
                    result = Visit::Ends;
                    break;
                }
                decision = repair == Repair::Copy;
            } else if (inWindow && VerifyContents(pipeline, file, folder, targetFolder,
                                                  sourceHandle, *targetHandle, headerWritten)) {
                result = Visit::Ends;
                break;
            }
        } else if (inWindow) {
            if (backupAll) {
                decision = true;
            } else if (targetExists) {
                ModifiedVerdict verdict = JudgeFileModified(source.size, source.mtimeSeconds,
                                                            target.size, target.mtimeSeconds);
                if (verdict.NeedsSecondLook())
                    verdict.SetContents(
                        CompareContents(file, folder, targetFolder, sourceHandle, *targetHandle));
                if (verdict.modified) {
                    decision = true;
                    pipeline.Then(counted(1, SixBlanks + src() + u' ' + ProgramText(66)));
                }
                // Also the files taken as unchanged although their times differ: a same-size
                // edit could hide there.
                if (state.blnExplain &&
                    (verdict.modified || verdict.Tolerated() ||
                     verdict.contents != ModifiedVerdict::Contents::NotCompared)) {
                    if (!verdict.modified)
                        pipeline.Then(
                            line(SixBlanks + src() + QStringLiteral(" counted unchanged")));
                    pipeline.Then(line(ExplainIndent + VerdictText(verdict)));
                }
            } else {
                decision = true;
                pipeline.Then(counted(0, SixBlanks + src() + u' ' + ProgramText(65)));
                if (state.blnExplain)
                    pipeline.Then(line(ExplainIndent + QStringLiteral("no copy in the target")));
            }
        }
        if (check)
            decision = false;

        // Windows' own page, hibernation and swap files, by the file's own extension: a
        // Linux user's folder or file that merely holds ".sys" loses nothing. What these
        // rules leave out is named and counted like any file left behind.
        if (decision && source.size > LargeSystemFileBytes) {
            const QString extension = LowerCase(ExtensionOfPath(name(), true));
            const int rule = extension == u"sys" && (filter.isEmpty() || filter == u"sys")   ? 390
                             : extension == u"swp" && (filter.isEmpty() || filter == u"swp") ? 164
                                                                                             : 0;
            if (rule != 0) {
                decision = false;
                pipeline.Then([this, rule, path = src()] {
                    host.Output(SixBlanks + ProgramText(rule) + u' ' + path + u'.', true);
                    host.FailureReported(path, ProgramText(rule));
                    ++state.lngTotalNumCopyErrors;
                    return false;
                });
            }
        }

        if (decision && !targetExists) {
            // Near the limit the file system is asked again, once the copies in flight
            // have taken their space: the decisions at the border are exact.
            if (!pipeline.Idle() && !FreeSpaceKnown(targetFolder, source.SpaceTaken()) &&
                pipeline.Drain()) {
                result = Visit::Ends;
                break;
            }
            double available = 0;
            if (QueryFreeSpace(targetFolder, targetHandle.get(), source.SpaceTaken(), available)) {
                freeBytes = available;
                if (available == 0) {
                    LineBreakFix(headerWritten);
                    const QString full = QStringLiteral("The target drive is full.");
                    host.Output(SixBlanks + full, true);
                    host.FailureReported(src(), full);
                    host.Repaint();
                    ++state.lngTotalNumCopyErrors;
                    host.Inform(
                        QStringLiteral("The target drive is full, so this backup operation") +
                            CRLF + QStringLiteral("must be terminated."),
                        state.strWindowCaption, MsgIcon::Warning);
                    state.blnStop = true;
                    break;
                }
                if (available <= static_cast<double>(source.SpaceTaken())) {
                    decision = false;
                    LineBreakFix(headerWritten);
                    const QString noRoom =
                        QStringLiteral("Insufficient space on the target drive for this file.");
                    host.Output(SixBlanks + noRoom, true);
                    host.FailureReported(src(), noRoom);
                    host.Repaint();
                    ++state.lngTotalNumCopyErrors;
                    const QString message = ProgramText(62) + CRLF + src() + QStringLiteral(" (") +
                                            FormatCount(static_cast<double>(source.size)) + u' ' +
                                            ProgramText(152) + QStringLiteral(").") + CRLF + CRLF +
                                            ProgramText(63) +
                                            QString::number(state.lngTotalNumCopyErrors) + u'.' +
                                            CRLF + ProgramText(64);
                    if (AskToStopAfterError(message, false)) {
                        state.blnStop = true;
                        result = Visit::Ends;
                        break;
                    }
                }
            }
        }

        if (decision) {
            const QString& tf = targetFolder; // every file of the folder goes there
            OpenedFolder opened;
            if (tf != knownTargetFolder && tf != failedTargetFolder) {
                // Made and opened one name at a time from the target's own folder, so that
                // no link, whenever it was put there, leads a write into the source.
                opened = OpenTargetFolder(tf.mid(setup.targetFolder.size()));
                if (!opened.leadsTo.isEmpty()) {
                    failedTargetFolder = tf;
                    failedTargetReason = LinkRefusedText(opened);
                }
            }
            // Nothing is in flight for a folder not yet known: its first copy is this one.
            if (tf == failedTargetFolder) {
                // Asked about once; every file that needed it is named and counted.
                if (pipeline.Then(
                        [this, path = src(), reason = failedTargetReason, &headerWritten] {
                            return ReportFileFailure(path, reason, headerWritten);
                        })) {
                    result = Visit::Ends;
                    break;
                }
                decision = false;
            } else if (tf != knownTargetFolder && !opened.handle) {
                // Named even in a summary-only report: files are left behind.
                const QString why =
                    opened.error != 0
                        ? QStringLiteral("  ") + FileErrorFromErrno(opened.error).description
                        : QString();
                host.Output(CRLF + FourBlanks + ProgramText(165) + QStringLiteral(": ") + tf + why,
                            true);
                QString message = ProgramText(166) + u' ' + tf;
                QString blocking = tf;
                while (blocking.endsWith(u'/'))
                    blocking.chop(1);
                if (FileExistsAt(blocking))
                    message += CRLF + ProgramText(386) + u' ' + FileNameOfPath(blocking, true) +
                               u' ' + ProgramText(387) + u' ' + FolderOfPath(blocking) + u'.';
                message += CRLF + CRLF + ProgramText(64);
                host.blnPaused = true;
                const bool stop =
                    host.AskYesNo(message, ProgramText(167), MsgResult::No, MsgIcon::Question);
                host.blnPaused = false;
                failedTargetFolder = tf;
                failedTargetReason = ProgramText(415);
                if (stop) {
                    state.blnStop = true;
                    ++state.lngTotalNumCopyErrors;
                    host.FailureReported(src(), ProgramText(415));
                    result = Visit::Ends;
                    break;
                }
                if (ReportFileFailure(src(), ProgramText(415), headerWritten)) {
                    result = Visit::Ends;
                    break;
                }
                decision = false;
            } else if (tf != knownTargetFolder) {
                // Once per target folder: it exists now, and leftovers of a killed copy go.
                // The folder opened when it was listed (perhaps ahead, seconds ago) may have
                // been swapped since: the copies go into the one just checked.
                targetHandle = std::move(opened.handle);
                // A name the source holds is the copy of a user's file, not a leftover.
                QList<QByteArray> sourceNames;
                for (const ListedFile& listed : listing.files)
                    if (IsUnfinishedCopyName(listed.bytes.constData()))
                        sourceNames.append(listed.bytes);
                RemoveUnfinishedCopies(*targetHandle, sourceNames);
                knownTargetFolder = tf;
            }

            if (decision && targetExists && IsReadOnly(*targetHandle, file.bytes) &&
                !ClearReadOnly(*targetHandle, file.bytes)) {
                // A question: the lines before it come first.
                if (pipeline.Drain()) {
                    result = Visit::Ends;
                    break;
                }
                ++state.lngTotalNumCopyErrors;
                if (!state.blnSuppressDetailedReports)
                    host.Output(CRLF + FourBlanks + ProgramText(169) + u' ' + tgt(), true);
                host.FailureReported(src(), ProgramText(169) + u' ' + tgt() + QStringLiteral(". ") +
                                                ProgramText(170));
                host.blnPaused = true;
                const bool stop =
                    host.AskYesNo(ProgramText(169) + CRLF + tgt() + CRLF + ProgramText(170) + CRLF +
                                      CRLF + ProgramText(64),
                                  ProgramText(171), MsgResult::No, MsgIcon::Question);
                host.blnPaused = false;
                if (stop) {
                    state.blnStop = true;
                    result = Visit::Ends;
                    break;
                }
                decision = false;
            }
        }

        if (decision) {
            host.CopyHandedOut(folder, name());
            if (host.ShowsLabels() && LabelsDue(fileLabelClock)) {
                const QString label = host.FileNowBeingCopiedLabel();
                host.SetFileNowBeingCopied(
                    label.isEmpty() ? QStringLiteral("File now being copied: ") : label,
                    LowerCase(name()));
            }
            auto job = std::make_shared<CopyJob>();
            // Always into the target folder held open; the source by path only when its
            // folder could not be held open.
            if (sourceHandle.IsOpen())
                job->sourceFolder = &sourceHandle;
            else
                job->sourcePath = src();
            job->targetFolder = targetHandle.get();
            job->sourceName = job->targetName = file.bytes;
            job->targetMayExist = target.exists || target.link;
            job->bytes = source.size;
            if (QString why; state.blnKeepReplaced && target.exists && !target.directory &&
                             !KeepReplacedAs(folder, file.bytes, *job, why)) {
                if (pipeline.Then([this, path = src(), why, &headerWritten] {
                        return ReportFileFailure(path, KeepFailedText(why), headerWritten);
                    })) {
                    result = Visit::Ends;
                    break;
                }
                continue;
            }
            // Reserved when handed out, so the next decision counts this copy's space.
            SpendFreeSpace(targetFolder, source.SpaceTaken());
            const qint64 size = source.size;
            const QByteArray bytes = file.bytes;
            const auto after = [this, counts, size, bytes, &folder, &drive, &headerWritten,
                                &pipeline](const CopyOutcome& outcome) {
                if (outcome.kept)
                    ++state.lngTotalNumKeptCopies;
                if (outcome.copied && outcome.grewSince >= 0)
                    WriteFileLine(SixBlanks + folder + DecodeName(bytes) +
                                      QStringLiteral(" copied as it was at ") +
                                      QDateTime::fromSecsSinceEpoch(outcome.grewSince)
                                          .toString(QStringLiteral("HH:mm:ss")) +
                                      QStringLiteral("; it was still being written"),
                                  headerWritten);
                if (outcome.copied && state.intOperation == state.intOperationVerifyBackup) {
                    const QString path = folder + DecodeName(bytes);
                    ++state.lngTotalNumFilesRepaired;
                    state.strVerifyProblems.removeAll(path);
                    WriteFileLine(SixBlanks + path + QStringLiteral(" (repaired)"), headerWritten);
                }
                if (outcome.copied && outcome.accessListDropped && !accessListsDroppedSaid) {
                    accessListsDroppedSaid = true;
                    LineBreakFix(headerWritten);
                    host.Output(SixBlanks + QStringLiteral("Access lists (ACLs) could not be kept "
                                                           "on the target's file system; the "
                                                           "copies grant no more than their "
                                                           "sources."),
                                true);
                }
                if (outcome.copied) {
                    if (host.ShowsLabels() && pipeline.Idle() && LabelsDue(fileLabelClock))
                        host.SetFileNowBeingCopied(host.FileNowBeingCopiedLabel(), QString());
                    ++counts[2];
                    ++state.lngTotalNumFilesCopied;
                    state.dblTotalFilesize += static_cast<double>(size);
                    // Label texts only for a host that shows labels (not the console).
                    if (host.ShowsLabels())
                        ShowCopyLabels(drive, folder, false);
                    return false;
                }
                if (outcome.cancelled)
                    return false;
                const QString path = folder + DecodeName(bytes);
                QString errorText;
                if (outcome.sameFile) {
                    errorText = ProgramText(414);
                } else if (outcome.changed) {
                    errorText = ProgramText(413);
                } else if (const FileFacts now = ReadFileFacts(path); !now.exists) {
                    // Gone since the folder was listed: the source's own reason, as for a file
                    // found missing before its copy, not a failure to write the target.
                    const FileError gone = now.Error();
                    errorText = gone.number == ErrorNumber::BadFileName
                                    ? BadNameExplanation(gone.description, path)
                                    : gone.description;
                } else if (outcome.keepFailed) {
                    errorText = KeepFailedText(outcome.error.description);
                } else {
                    errorText = GetCopyErrorText(path) + QStringLiteral(" (") +
                                outcome.error.description + u')';
                    // The disk filled up behind the known figure: ask it again next time,
                    // so that a full disk stops the backup instead of failing file by file.
                    if (outcome.systemError == ENOSPC)
                        knownFreeFolder.clear();
                }
                return ReportFileFailure(path, errorText, headerWritten);
            };
            // A file rewritten in place during its copy is tried again once the rest of its
            // folder is done: a program saving it is done by then, mostly.
            const auto afterOrRetry = [job, after, &retries,
                                       &retrying](const CopyOutcome& outcome) {
                if (!outcome.changed || retrying)
                    return after(outcome);
                retries.emplace_back(job, after);
                return false;
            };
            if (pipeline.HandOut(job, afterOrRetry)) {
                result = Visit::Ends;
                break;
            }
        }
        host.Yield();
        if (state.blnStop)
            break;
    }
    if (pipeline.Drain())
        result = Visit::Ends;
    if (host.ShowsLabels() && labelsBehind)
        ShowCopyLabels(drive, folder, true);
    retrying = true;
    for (auto& [job, after] : retries) {
        for (int attempt = 1; attempt <= 3 && result != Visit::Ends && !state.blnStop; ++attempt) {
            std::this_thread::sleep_for(std::chrono::milliseconds(10 * attempt));
            job->outcome = CopyOutcome{};
            job->deferName = false;
            RunCopyJob(*job, [this] {
                host.Yield();
                return !state.blnStop;
            });
            if (!job->outcome.changed)
                break;
        }
        if (result == Visit::Ends || state.blnStop)
            break;
        if (after(job->outcome))
            result = Visit::Ends;
    }
    return result;
}

} // namespace vnt
