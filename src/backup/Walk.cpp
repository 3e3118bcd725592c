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
#include <cstring>
#include <fcntl.h>
#include <optional>
#include <QStorageInfo>
#include <sys/stat.h>
#include <unistd.h>

namespace vnt {

namespace {

const QString CRLF = QStringLiteral("\r\n");
const QString SixBlanks = QStringLiteral("      ");
constexpr qint64 LargeSystemFileBytes = 10487560;

QString BadNameExplanation(const QString& description, const QString& path) {
    return description + CRLF + CRLF +
           QStringLiteral("Possibly the filepath contains an invalid character:") + CRLF + path +
           CRLF + QStringLiteral("You may wish to rename or to delete this file.");
}

} // namespace

struct FolderWalk::Entry {
    QByteArray bytes;     // the name as the file system has it; decoded where it is read
    bool special = false; // not a regular file: reported, never opened
    QString Name() const { return DecodeName(bytes); }
};

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

FolderWalk::FolderWalk(const Setup& setupIn, OperationState& stateIn, ReportHost& hostIn)
    : todayDayNumber(TodayDayNumber()), zoneOffsetMinutes(LocalTimeZoneOffset()),
      freeSpace(GetFreeDiskSpace), setup(setupIn), state(stateIn), host(hostIn) {
    // Mount points are read once: the walk asks for the root of every subfolder.
    for (const QStorageInfo& volume : QStorageInfo::mountedVolumes())
        mountRoots.append(volume.rootPath());
    realSource = RealFolder(setup.sourceFolder);
    realTarget = RealFolder(setup.targetFolder);
    targetIdentity = IdentityOf(setup.targetFolder);
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
bool FolderWalk::QueryFreeSpace(const QString& targetFolder, qint64 size, double& available) {
    constexpr double Margin = 256.0 * 1024 * 1024;
    if (knownFreeFolder == targetFolder && knownFree - static_cast<double>(size) > Margin) {
        available = knownFree;
        return true;
    }
    double total = 0;
    if (freeSpace(targetFolder, available, total) != 0) {
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

// Below the target the walk itself makes plain folders, so only a link that somebody put
// there can lead elsewhere. The components that the last checked folder does not share are
// looked at (one lstat for a new subfolder); only a link costs a full resolution.
QString FolderWalk::RealTargetFolder(const QString& tf) {
    if (!tf.startsWith(setup.targetFolder))
        return RealFolder(tf);
    qsizetype common = setup.targetFolder.size();
    const qsizetype shared = std::min(tf.size(), checkedFolder.size());
    for (qsizetype i = 0; i < shared && tf[i] == checkedFolder[i]; ++i) {
        if (tf[i] == u'/')
            common = std::max(common, i + 1);
    }
    for (qsizetype slash = tf.indexOf(u'/', common); slash >= 0;
         slash = tf.indexOf(u'/', slash + 1)) {
        struct stat st {};
        if (::lstat(EncodeName(tf.left(slash)).constData(), &st) != 0)
            break; // not there yet: the walk makes it a plain folder
        if (!S_ISDIR(st.st_mode)) {
            checkedFolder.clear();
            return RealFolder(tf);
        }
    }
    checkedFolder = tf;
    return realTarget + tf.mid(setup.targetFolder.size());
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

bool FolderWalk::IsIncludedSubfolder(const QString& path) const {
    QString belowRoot = LowerCase(path.mid(RootPrefixIn(path, mountRoots).size()));
    if (belowRoot.endsWith(u'/'))
        belowRoot.chop(1);
    if (belowRoot == u"recycled")
        return false;
    if (path == setup.targetFolder)
        return false;
    if (targetIdentity.known && IdentityOf(path) == targetIdentity)
        return false;
    for (const QString& name : setup.includedFolders) {
        if (IsWithinFolder(path, setup.sourceFolder + name, false))
            return true;
    }
    return false;
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
    ++state.lngTotalNumCopyErrors;
    if (AskToStopAfterError(ProgramText(80) + CRLF + src + CRLF + errorText + CRLF + CRLF +
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

void FolderWalk::WalkFolder(const QString& folderIn) {
    const qint16 op = state.intOperation;
    if (state.blnStop || (op == state.intOperationCheckForFile && state.blnFileExists))
        return;
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

    // One enumeration serves both passes.
    std::vector<Entry> files;
    QStringList subfolders;
    QStringList folderLinks; // not followed (no loops), but named in the report
    const FileError listing = ReadDirectory(
        folder,
        [&](const DirectoryEntry& entry) {
            if (entry.kind == EntryKind::Folder) {
                (entry.isLink ? folderLinks : subfolders)
                    .append(DecodeName(entry.rawName,
                                       static_cast<qsizetype>(std::strlen(entry.rawName))));
                return true;
            }
            // A copy killed halfway is ours, not the user's.
            if (entry.kind == EntryKind::File && IsUnfinishedCopyName(entry.rawName))
                return true;
            files.push_back({QByteArray(entry.rawName), entry.kind != EntryKind::File});
            return true;
        },
        false);
    qint32 fileCount = static_cast<qint32>(files.size());
    if (listing) {
        if (listing.number == ErrorNumber::PermissionDenied && list) {
            fileCount = -1;
            files.clear();
        } else if (listing.number == ErrorNumber::PermissionDenied) {
            // An unreadable folder is reported and counted, never passed over in silence.
            files.clear();
            fileCount = 0;
            ++state.lngTotalNumCopyErrors;
            host.Output(CRLF + SixBlanks + ProgramText(79) + u' ' + folder + QStringLiteral("  ") +
                            listing.description,
                        true);
            if (AskToStopAfterError(ProgramText(79) + u' ' + folder + CRLF + listing.description +
                                        CRLF + CRLF + ProgramText(63) +
                                        QString::number(state.lngTotalNumCopyErrors) + u'.' + CRLF +
                                        ProgramText(64),
                                    true)) {
                state.blnStop = true;
                return;
            }
        } else {
            // The folder itself cannot be read: it and all it holds are left behind, so it
            // is named in the report, not only in the question.
            host.Output(CRLF + SixBlanks + ProgramText(79) + u' ' + folder + QStringLiteral("  ") +
                            listing.description,
                        true);
            FailureEndsVisit(listing.description, listing.number, folder);
            return;
        }
    }

    qint32 counts[3] = {0, 0, 0}; // new, modified, copied
    const bool skipFiles =
        folder == setup.sourceFolder && IsChecked(setup.excludeFilesInSourceFolder);
    // Without the folder's own line (its files excluded), later lines need no header.
    bool headerWritten = skipFiles;
    // Links to folders that the walk would have entered are named with the folder's files,
    // before its result line.
    bool linksReported = folderLinks.isEmpty() || state.blnSuppressDetailedReports ||
                         !(check || backupAll || backupModified) ||
                         (folder != setup.sourceFolder && !IsChecked(setup.includeSubfolders));
    const auto reportFolderLinks = [&] {
        if (linksReported)
            return;
        linksReported = true;
        for (const QString& name : folderLinks) {
            const QString path = folder + name + u'/';
            if (IsIncludedSubfolder(path) && !IsExcludedFilepath(path))
                WriteFileLine(SixBlanks + folder + name + u' ' + ProgramText(412), headerWritten);
        }
    };
    if (!skipFiles) {
        double freeBytes = -1.0;
        if (fileCount > 0) {
            qsizetype noticeLength = -1;
            if (!host.blnReportBufferFull && fileCount >= state.intManyFilesThreshold &&
                !state.blnSuppressDetailedReports) {
                noticeLength = host.ReportText().size();
                host.AppendToText(ProgramText(60) + u' ');
                host.MoveCaretToEnd();
            }
            const auto removeNotice = [&] {
                if (noticeLength >= 0) {
                    host.RemoveFromEnd(host.ReportText().size() - noticeLength);
                    host.MoveCaretToEnd();
                }
            };
            // The check and the backups find nothing to do here: the second pass filters.
            const bool firstPassWorks = op == state.intOperationCheckForFile || list;
            for (size_t i = 0; firstPassWorks && i < files.size(); ++i) {
                const Entry& file = files[i];
                const QString path = folder + file.Name();
                if (IsExcludedFilepath(path) ||
                    !MatchesExtensionFilter(path, setup.fileExtension, false))
                    continue;
                if (op == state.intOperationCheckForFile) {
                    if (file.special)
                        continue;
                    removeNotice();
                    state.blnFileExists = true;
                    return;
                }
                if (list && !file.special) {
                    const qint64 size = FileSizeOrError(path);
                    if (size >= 0)
                        state.dblTotalFilesize += static_cast<double>(size);
                }
            }
            removeNotice();
        }

        if (!state.blnSuppressDetailedReports) {
            const bool immediate = !(check || backupModified);
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
            if (check || backupAll || backupModified) {
                if (host.ShowsLabels())
                    DisplayFreeSpace(host, Drive(targetFolder));
                if (SecondPass(folder, targetFolder, files, counts, freeBytes, headerWritten) ==
                    Visit::Ends)
                    return;
                reportFolderLinks();
                if (!host.blnReportBufferFull && !state.blnSuppressDetailedReports) {
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
        return; // an included subfolder contributes only its own files

    reportFolderLinks();

    host.Yield();
    if (state.blnStop)
        return;
    for (const QString& name : subfolders) {
        const QString path = folder + name + u'/';
        if (!IsIncludedSubfolder(path))
            continue;
        if (!IsExcludedFilepath(path))
            WalkFolder(path);
        host.Yield();
        if (state.blnStop)
            break;
    }
}

FolderWalk::Visit FolderWalk::SecondPass(const QString& folder, const QString& targetFolder,
                                         const std::vector<Entry>& files, qint32 counts[3],
                                         double& freeBytes, bool& headerWritten) {
    const qint16 op = state.intOperation;
    const bool check = op == state.intOperationCheckBackupState;
    const bool backupAll = op == state.intOperationBackupAllFiles;
    const QString drive = Drive(targetFolder);
    const QString filter = setup.fileExtension;

    // Both folders are held open: their files are looked up by name. A target folder that
    // is not there when the pass begins holds none of these files (the walk makes it and
    // puts only its own copies in), so they are not looked up at all.
    const FolderHandle sourceHandle(folder);
    std::optional<FolderHandle> targetHandle(std::in_place, targetFolder);
    const bool targetMissing = targetHandle->Missing();

    for (const Entry& file : files) {
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
        if ((state.intNumExcludedFilepaths > 0 && IsExcludedFilepath(src())) ||
            (!filter.isEmpty() && !MatchesExtensionFilter(src(), filter, false)))
            continue;

        if (file.special) {
            // Under its own folder's line, which may still be held back.
            WriteFileLine(SixBlanks + src() + u' ' + ProgramText(411), headerWritten);
            continue;
        }
        const FileFacts source =
            sourceHandle.IsOpen() ? sourceHandle.Facts(file.bytes) : ReadFileFacts(src());
        if (!source.exists) {
            // Gone (or unreadable) since the folder was listed: this file is named and
            // counted, and the folder goes on.
            const FileError error = source.Error();
            const QString errorText = error.number == ErrorNumber::BadFileName
                                          ? BadNameExplanation(error.description, src())
                                          : error.description;
            if (ReportFileFailure(src(), errorText, headerWritten))
                return Visit::Ends;
            host.Yield();
            if (state.blnStop)
                break;
            continue;
        }
        FileFacts target;
        if (targetMissing)
            target.systemError = ENOENT;
        else
            target =
                targetHandle->IsOpen() ? targetHandle->Facts(file.bytes) : ReadFileFacts(tgt());
        const bool targetExists = target.exists && !target.directory;
        bool decision = false;

        if (IsWithinModifiedSinceWindow(source.mtimeSeconds, setup.modifiedSinceDays,
                                        todayDayNumber, zoneOffsetMinutes)) {
            if (backupAll) {
                decision = true;
            } else if (targetExists) {
                if (IsFileModified(source.size, source.mtimeSeconds, target.size,
                                   target.mtimeSeconds)) {
                    decision = true;
                    ++counts[1];
                    ++state.lngTotalNumModifiedFiles;
                    WriteFileLine(SixBlanks + src() + u' ' + ProgramText(66), headerWritten);
                }
            } else {
                decision = true;
                ++counts[0];
                ++state.lngTotalNumNewFiles;
                WriteFileLine(SixBlanks + src() + u' ' + ProgramText(65), headerWritten);
            }
        }
        if (check)
            decision = false;

        // Lower-cased only for the few files large enough for these two rules.
        const QString lower =
            decision && source.size > LargeSystemFileBytes ? LowerCase(src()) : QString();
        if (decision && source.size > LargeSystemFileBytes &&
            lower.contains(QStringLiteral(".sys")) && (filter.isEmpty() || filter == u"sys")) {
            decision = false;
            host.Output(SixBlanks + ProgramText(390) + u' ' + src() + u'.', true);
        }
        if (decision && source.size > LargeSystemFileBytes &&
            lower.contains(QStringLiteral("/win")) && lower.contains(QStringLiteral(".swp")) &&
            (filter.isEmpty() || filter == u"swp")) {
            decision = false;
            host.Output(SixBlanks + ProgramText(164) + u' ' + src() + u'.', true);
        }

        if (decision && !targetExists) {
            double available = 0;
            if (QueryFreeSpace(targetFolder, source.size, available)) {
                freeBytes = available;
                if (available == 0) {
                    LineBreakFix(headerWritten);
                    host.Output(SixBlanks + QStringLiteral("The target drive is full."), true);
                    host.Repaint();
                    ++state.lngTotalNumCopyErrors;
                    host.Inform(
                        QStringLiteral("The target drive is full, so this backup operation") +
                            CRLF + QStringLiteral("must be terminated."),
                        state.strWindowCaption, MsgIcon::Warning);
                    state.blnStop = true;
                    break;
                }
                if (available <= static_cast<double>(source.size)) {
                    decision = false;
                    LineBreakFix(headerWritten);
                    host.Output(
                        SixBlanks +
                            QStringLiteral("Insufficient space on the target drive for this file."),
                        true);
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
                        return Visit::Ends;
                    }
                }
            }
        }

        if (decision) {
            const QString& tf = targetFolder; // every file of the folder goes there
            if (tf != knownTargetFolder && tf != failedTargetFolder) {
                const QString realFolder = RealTargetFolder(tf);
                if (realFolder.startsWith(realSource) && !realFolder.startsWith(realTarget)) {
                    failedTargetFolder = tf;
                    failedTargetReason = ProgramText(417) + u' ' + realFolder;
                }
            }
            if (tf == failedTargetFolder) {
                // Asked about once; every file that needed it is named and counted.
                if (ReportFileFailure(src(), failedTargetReason, headerWritten))
                    return Visit::Ends;
                decision = false;
            } else if (tf != knownTargetFolder && !FolderExists(tf) && !CreateFolderPath(tf)) {
                // Named even in a summary-only report: files are left behind.
                host.Output(CRLF + QStringLiteral("    ") + ProgramText(165) +
                                QStringLiteral(": ") + tf,
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
                    return Visit::Ends;
                }
                if (ReportFileFailure(src(), ProgramText(415), headerWritten))
                    return Visit::Ends;
                decision = false;
            } else if (tf != knownTargetFolder) {
                // Once per target folder: it exists now, and leftovers of a killed copy go.
                RemoveUnfinishedCopies(tf);
                knownTargetFolder = tf;
            }

            if (targetExists && IsReadOnly(tgt()) && !ClearReadOnly(tgt())) {
                ++state.lngTotalNumCopyErrors;
                if (!state.blnSuppressDetailedReports)
                    host.Output(CRLF + QStringLiteral("    ") + ProgramText(169) + u' ' + tgt(),
                                true);
                host.blnPaused = true;
                const bool stop =
                    host.AskYesNo(ProgramText(169) + CRLF + tgt() + CRLF + ProgramText(170) + CRLF +
                                      CRLF + ProgramText(64),
                                  ProgramText(171), MsgResult::No, MsgIcon::Question);
                host.blnPaused = false;
                if (stop) {
                    state.blnStop = true;
                    return Visit::Ends;
                }
                decision = false;
            }
        }

        if (decision) {
            if (host.ShowsLabels()) {
                const QString label = host.FileNowBeingCopiedLabel();
                host.SetFileNowBeingCopied(
                    label.isEmpty() ? QStringLiteral("File now being copied: ") : label,
                    LowerCase(name()));
            }
            // Pause and Cancel stay answerable while a large file is copied.
            const auto goOn = [this] {
                host.Yield();
                return !state.blnStop;
            };
            // The target folder may have been made just now for this file.
            if (!targetHandle->IsOpen())
                targetHandle.emplace(targetFolder);
            const CopyOutcome outcome =
                sourceHandle.IsOpen() && targetHandle->IsOpen()
                    ? CopySingleFile(sourceHandle, file.bytes, *targetHandle, file.bytes, goOn,
                                     target.exists)
                    : CopySingleFile(src(), tgt(), goOn, target.exists);
            if (outcome.copied) {
                if (host.ShowsLabels())
                    host.SetFileNowBeingCopied(host.FileNowBeingCopiedLabel(), QString());
                ++counts[2];
                ++state.lngTotalNumFilesCopied;
                SpendFreeSpace(targetFolder, source.size);
                state.dblTotalFilesize += static_cast<double>(source.size);
                // Label texts only for a host that shows labels (not the console).
                if (host.ShowsLabels()) {
                    host.ShowBytesCopied(
                        BytesCopiedText(state.dblTotalFilesize, state.lngTotalNumFilesCopied));
                    DisplayFreeSpace(host, drive);
                }
            } else if (!outcome.cancelled) {
                QString errorText;
                if (outcome.sameFile) {
                    errorText = ProgramText(414);
                } else if (outcome.changed) {
                    errorText = ProgramText(413);
                } else {
                    errorText = GetCopyErrorText(src()) + QStringLiteral(" (") +
                                outcome.error.description + u')';
                    // The disk filled up behind the known figure: ask it again next time,
                    // so that a full disk stops the backup instead of failing file by file.
                    if (outcome.systemError == ENOSPC)
                        knownFreeFolder.clear();
                }
                if (ReportFileFailure(src(), errorText, headerWritten))
                    return Visit::Ends;
            }
        }
        host.Yield();
        if (state.blnStop)
            break;
    }
    return Visit::Goes_on;
}

} // namespace vnt
