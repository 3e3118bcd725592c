// The walk's conductor: folders depth first, each listed (ahead, on the listing threads),
// its own line, its files one by one through their stages, and its result once its copies
// are done, while the next folders' files already go on.

#include "backup/Walk.h"

#include "mainwindow/FolderProc.h"
#include "mainwindow/Language.h"
#include "report/Progress.h"
#include "report/ReportHost.h"
#include "report/StrProc.h"
#include "setups/DateProc.h"

#include <optional>
#include <QScopeGuard>

namespace vnt {

namespace {
const QString CRLF = QStringLiteral("\r\n");
const QString SixBlanks = QStringLiteral("      ");
const QString ExplainIndent = QStringLiteral("          ");
} // namespace

FolderWalk::FolderVisit::FolderVisit(FolderListing listingIn, const FolderLister& lister,
                                     CopyPipeline& pipelineIn)
    : listing(std::move(listingIn)), folder(listing.folder),
      targetFolder(lister.TargetFolderOf(folder)), drive(lister.Drive(targetFolder)),
      pipeline(pipelineIn) {}

FolderWalk::FolderWalk(const Setup& setupIn, OperationState& stateIn, ReportHost& hostIn)
    : todayDayNumber(TodayDayNumber()), zoneOffsetMinutes(LocalTimeZoneOffset()),
      freeSpace(target.freeSpace), progressIntervalMs(report.progressIntervalMs), setup(setupIn),
      state(stateIn), host(hostIn), lister(setupIn, stateIn), target(setupIn, lister),
      report(stateIn, hostIn) {}

FolderWalk::~FolderWalk() = default;

void FolderWalk::WalkFolder(const QString& folder) {
    const Operation op = state.intOperation;
    lister.OpenRoots();
    // Looking for one file stops at the first: nothing to gain from listing ahead.
    if (threads > 1 && op != Operation::CheckForFile)
        lookahead = std::make_unique<Lookahead>(
            WithTrailingBackslash(folder),
            [this](const QString& f, const Lookahead::Counted& counted) {
                return lister.List(f, counted);
            },
            [this](FolderListing& listing) { lister.ReadTargetFacts(listing); },
            [this](const FolderListing& listing) { return lister.FoldersToVisit(listing); });
    const bool backup = op == Operation::BackupAllFiles || op == Operation::BackupModifiedFiles;
    if (threads > 1 && (backup || op == Operation::VerifyBackup))
        copiers = std::make_unique<CopierPool>(threads, host.blnPaused,
                                               backup ? setup.targetFolder : QString());
    // Threads that cannot start (a memory limit) leave the run to the serial engine.
    if (const int error = std::max(lookahead ? lookahead->StartError() : 0,
                                   copiers ? copiers->StartError() : 0)) {
        lookahead.reset();
        copiers.reset();
        host.Notice(SerialEngineText(error));
    }
    pipeline = std::make_unique<CopyPipeline>(copiers.get(), threads, report);
    // Depth first, subfolders in listing order; a stack of its own, not the call stack,
    // so that a tree of any depth is walked.
    std::vector<QString> pending{folder};
    const auto found = [&] { return op == Operation::CheckForFile && state.blnFileExists; };
    while (!pending.empty() && !state.blnStop && !found()) {
        const QString next = std::move(pending.back());
        pending.pop_back();
        const QStringList subfolders = VisitFolder(next);
        for (auto it = subfolders.crbegin(); it != subfolders.crend(); ++it)
            pending.push_back(*it);
        if (next != folder)
            host.Yield();
    }
    pipeline->Drain();
    if (filesLostWithDisk > 0) {
        state.lngTotalNumCopyErrors += filesLostWithDisk;
        report.EndLine();
        host.Output(CRLF + QStringLiteral("The backup disk was disconnected during the run; ") +
                        FormatCount(filesLostWithDisk) +
                        (filesLostWithDisk == 1 ? QStringLiteral(" file was not copied.")
                                                : QStringLiteral(" files were not copied.")),
                    true);
    }
    pipeline.reset();
    visits.clear();
    if (copiers)
        copiers->QuitAnswering([this] { host.Yield(); });
    copiers.reset();
    lookahead.reset();
    target.Close();
    lister.CloseRoots();
}

QStringList FolderWalk::VisitFolder(const QString& folderIn) {
    const Operation op = state.intOperation;
    if (state.blnStop || (op == Operation::CheckForFile && state.blnFileExists))
        return {};
    while (!visits.empty() && visits.front()->ended)
        visits.pop_front();
    const QString folder = WithTrailingBackslash(folderIn);
    report.ShowFolders(folder, lister.TargetFolderOf(folder));
    const bool list = op == Operation::ListFolders;
    const bool skipFiles =
        folder == setup.sourceFolder && IsChecked(setup.excludeFilesInSourceFolder);
    // The please-wait notice of a folder of many files shows while its files are read, from
    // the moment they are counted; it goes when the first pass is done. The lines of the
    // folders before come first.
    const auto showNotice = [&](qsizetype fileCount) {
        if (skipFiles || fileCount < state.intManyFilesThreshold)
            return;
        pipeline->Drain();
        report.ShowWaitNotice(fileCount);
    };
    visits.push_back(
        std::make_unique<FolderVisit>(TakeListing(folder, showNotice), lister, *pipeline));
    FolderVisit& visit = *visits.back();
    FolderListing& listing = visit.listing;
    // A visit ended early has no result to wait for: its listing (and the folders it holds
    // open) goes with the next visit.
    bool resultQueued = false;
    const auto endedEarly = qScopeGuard([&] { visit.ended = visit.ended || !resultQueued; });
    if (listing.error) {
        report.RemoveWaitNotice();
        // Said at once: the lines of the folders before come first.
        if (pipeline->Drain() || state.blnStop || !FolderUnreadable(folder, listing.error, list))
            return {};
        listing.files.clear();
    }
    const qint32 fileCount = listing.error && list ? -1 : static_cast<qint32>(listing.files.size());
    if (!skipFiles && fileCount > 0) {
        showNotice(fileCount);
        if ((op == Operation::CheckForFile || list) && FirstPass(listing))
            return {};
        report.RemoveWaitNotice();
    }
    // The folder's lines follow those of the folders before, whose copies may still run.
    if (pipeline->Then([this, &visit, fileCount, skipFiles] {
            BeginFolder(visit, fileCount, skipFiles);
            return false;
        }))
        return {};
    host.Yield();
    const bool compares = op == Operation::CheckBackupState || op == Operation::BackupAllFiles ||
                          op == Operation::BackupModifiedFiles || op == Operation::VerifyBackup;
    if (compares && folder == setup.sourceFolder && !listing.error &&
        !LeaveOutOwnNames(visit, skipFiles))
        return {};
    visit.filesVisited = !skipFiles && fileCount > 0 && compares;
    if (visit.filesVisited) {
        if (host.ShowsLabels())
            DisplayFreeSpace(host, visit.drive);
        if (!VisitFiles(visit))
            return {};
    }
    if (compares && !LeaveOutFoldedSubfolders(visit))
        return {};
    // Its result follows its files' lines; also after a Cancel, as a summary of what was done.
    pipeline->Finally([this, &visit] { return EndFolder(visit); });
    resultQueued = true;
    if (folder != setup.sourceFolder && !IsChecked(setup.includeSubfolders))
        return {}; // an included subfolder contributes only its own files
    host.Yield();
    if (state.blnStop)
        return {};
    return lister.FoldersToVisit(listing);
}

// The folder's own line (which the check, verify and backups of modified files hold back
// until a file line needs it), and its count.
void FolderWalk::BeginFolder(FolderVisit& visit, qint32 fileCount, bool skipFiles) {
    visit.begun = true;
    // Without the folder's own line (its files excluded), later lines need no header.
    report.BeginFolder(skipFiles);
    if (skipFiles)
        return;
    const Operation op = state.intOperation;
    const bool list = op == Operation::ListFolders;
    if (!state.blnSuppressDetailedReports) {
        const bool immediate =
            !(op == Operation::CheckBackupState || op == Operation::BackupModifiedFiles ||
              op == Operation::VerifyBackup);
        DisplayNumFilesInFolder(host, true, setup.sourceFolder, state.blnSubfoldersExist,
                                visit.folder, fileCount,
                                fileCount != 0 ? state.blnListFolders : true, list, immediate);
        report.BeginFolder(immediate);
    }
    if (fileCount > 0 || list)
        ++state.lngTotalNumFolders;
    if (fileCount > 0)
        state.lngTotalNumFiles += fileCount;
}

// Once every file of the folder is done: copies tried again, the folder's links and result,
// and the pause after the first copies. True when the user chose to stop.
bool FolderWalk::EndFolder(FolderVisit& visit) {
    visit.ended = true;
    if (!visit.begun) // a stop fell before the folder: nothing of it is said
        return false;
    const Operation op = state.intOperation;
    if (visit.filesVisited) {
        if (report.LabelsBehind())
            report.ShowCopied(visit.drive, target.KnownFreeSpace(visit.targetFolder), true);
        if (!RetryChangedCopies(visit))
            return true;
        ReportFolderLinks(visit);
        const qint32 fileCount = static_cast<qint32>(visit.listing.files.size());
        const qint32* counts = visit.counts;
        if (!host.blnReportBufferFull && !state.blnSuppressDetailedReports &&
            op != Operation::VerifyBackup) {
            if (op == Operation::CheckBackupState)
                DisplayNewAndModifiedFiles(host, fileCount, counts[0], counts[1]);
            else
                DisplayFilesCopied(host, op == Operation::BackupAllFiles, fileCount, counts[0],
                                   counts[1], counts[2]);
        }
        if (visit.freeBytes == 0)
            host.Output(QString(), true);
        if (op == Operation::BackupAllFiles || op == Operation::BackupModifiedFiles)
            PauseAfterFirstCopy(counts[2]);
    }
    ReportFolderLinks(visit);
    return false;
}

// One listing serves both passes, read ahead when a listing thread runs.
FolderListing FolderWalk::TakeListing(const QString& folder,
                                      const std::function<void(qsizetype)>& counted) {
    if (lookahead) {
        if (std::optional<FolderListing> ahead = lookahead->Take(folder, [&](qsizetype files) {
                counted(files);
                host.Yield();
            }))
            return std::move(*ahead);
        lookahead.reset();
    }
    FolderListing listing = lister.List(folder, counted);
    lister.ReadTargetFacts(listing);
    return listing;
}

// Looking for one file, or adding up sizes for the list of folders: the check and the
// backups find nothing to do here, the second pass filters. True when the file looked for
// is found.
bool FolderWalk::FirstPass(const FolderListing& listing) {
    for (const ListedFile& file : listing.files) {
        if (file.skipped || file.special)
            continue;
        if (state.intOperation == Operation::CheckForFile) {
            report.RemoveWaitNotice();
            state.blnFileExists = true;
            return true;
        }
        const qint64 size = listing.factsRead ? (file.source.exists ? file.source.size : -1)
                                              : FileSizeOrError(listing.folder + file.Name());
        if (size >= 0)
            state.dblTotalFilesize += static_cast<double>(size);
    }
    return false;
}

bool FolderWalk::FolderUnreadable(const QString& folder, const FileError& error, bool list) {
    if (error.number == ErrorNumber::PermissionDenied && list)
        return true; // counted as -1 files
    // The folder itself cannot be read: it and all it holds are left behind, so it is
    // named in the report, not only in the question.
    report.FolderLine(ProgramText(79) + u' ' + folder + QStringLiteral("  ") + error.description);
    ReportFailure(state, host, folder, error.description);
    ++state.lngTotalNumCopyErrors;
    if (error.number == ErrorNumber::PermissionDenied) {
        // Its subfolders may still be readable: the walk goes on into them.
        if (report.AskToStop(ProgramText(79) + u' ' + folder + CRLF + error.description, true)) {
            state.blnStop = true;
            return false;
        }
        return true;
    }
    const QString text = error.number == ErrorNumber::BadFileName
                             ? WalkReport::BadNameExplanation(error.description, folder)
                             : error.description + CRLF + folder;
    if (report.AskToStop(QStringLiteral("Error: ") + text, false))
        state.blnStop = true;
    return false;
}

// Links to folders and trash folders that the walk would have entered are named with the
// folder's files, before its result line; once a folder.
void FolderWalk::ReportFolderLinks(FolderVisit& visit) {
    const FolderListing& listing = visit.listing;
    const Operation op = state.intOperation;
    if (state.blnSuppressDetailedReports ||
        !(op == Operation::CheckBackupState || op == Operation::BackupAllFiles ||
          op == Operation::BackupModifiedFiles || op == Operation::VerifyBackup) ||
        (listing.folder != setup.sourceFolder && !IsChecked(setup.includeSubfolders)) ||
        visit.linksReported)
        return;
    visit.linksReported = true;
    for (const QString& name : listing.folderLinks) {
        const QString path = listing.folder + name + u'/';
        // Directly in the source every link is named: no choice of subfolders lists links.
        if ((listing.folder == setup.sourceFolder || lister.IsIncludedSubfolder(path)) &&
            !lister.IsExcludedFilepath(path))
            report.FileLine(SixBlanks + listing.folder + name + u' ' + ProgramText(412));
    }
    for (const QString& name : listing.subfolders) {
        const QString path = listing.folder + name + u'/';
        if (lister.IsTrashFolder(path) && lister.InIncludedFolders(path) &&
            !lister.IsExcludedFilepath(path))
            report.FileLine(SixBlanks + path + u' ' + ProgramText(419));
    }
}

// A pause after the first folder that had copies, once per operation.
void FolderWalk::PauseAfterFirstCopy(qint32 copied) {
    if (!IsChecked(setup.pauseAfterFirstCopy) || copied < 1 ||
        !(IsChecked(setup.includeSubfolders) || setup.includedFolders.size() >= 2) ||
        state.blnPausedAfterFirstCopy)
        return;
    if (!state.blnScheduledTask) {
        host.Inform(QStringLiteral("Source disk or folder: ") + setup.sourceFolder + CRLF +
                        QStringLiteral("Target disk or folder: ") + setup.targetFolder + CRLF +
                        CRLF + ProgramText(391) + CRLF + ProgramText(392),
                    state.strWindowCaption, MsgIcon::Information);
        host.Pause();
    }
    state.blnPausedAfterFirstCopy = true;
}

namespace {
// A step that writes one line under the folder.
std::function<bool()> Line(WalkReport& report, const QString& text) {
    return [&report, text] {
        report.FileLine(text);
        return false;
    };
}
} // namespace

bool FolderWalk::VisitFiles(FolderVisit& visit) {
    const bool verify = state.intOperation == Operation::VerifyBackup;
    const DecisionRules rules{state.intOperation == Operation::BackupAllFiles,
                              state.intOperation != Operation::CheckBackupState,
                              state.blnExplain,
                              setup.modifiedSinceDays,
                              todayDayNumber,
                              zoneOffsetMinutes,
                              setup.fileExtension,
                              lister.disk.earliestTime,
                              lister.disk.latestTime};
    bool ends = false;
    const std::vector<ListedFile>& files = visit.listing.files;
    for (const ListedFile& file : files) {
        pipeline->FilesLeft(static_cast<size_t>(files.data() + files.size() - &file));
        if (file.skipped || lister.IsOwnFolderName(visit.folder, file.bytes))
            continue;
        Step step = Step::GoesOn;
        if (file.special) {
            // Under its own folder's line, which may still be held back.
            visit.pipeline.Then(
                Line(report, SixBlanks + visit.folder + file.Name() + u' ' + ProgramText(411)));
            step = Step::Next;
        } else if (!file.sameNameAs.isEmpty()) {
            // No copy of it can be in the target: it is new, and not copied.
            step = visit.pipeline.Then([this, &visit, verify, path = visit.folder + file.Name(),
                                        why = WalkReport::SameNameText(file.sameNameAs)] {
                if (!verify) {
                    ++visit.counts[0];
                    ++state.lngTotalNumNewFiles;
                    report.FileLine(SixBlanks + path + u' ' + ProgramText(65));
                }
                return report.FileFailure(path, why);
            })
                       ? Step::Ends
                       : Step::GoesOn;
        } else if (!file.source.exists) {
            step = FileGone(visit, file);
        } else if (verify) {
            step = VerifyFile(visit, file);
        } else {
            step = Decide(visit, file, rules) ? Step::Copies : Step::GoesOn;
        }
        if (step == Step::Copies)
            step = BackUpFile(visit, file);
        if (step == Step::Ends)
            ends = true;
        if (step == Step::Ends || step == Step::Stops)
            break;
        if (step == Step::Next)
            continue;
        host.Yield();
        if (state.blnStop)
            break;
    }
    return !ends;
}

// Gone (or unreadable) since the folder was listed: the file is named and counted, and the
// folder goes on.
FolderWalk::Step FolderWalk::FileGone(FolderVisit& visit, const ListedFile& file) {
    const QString path = visit.folder + file.Name();
    const FileError error = file.source.Error();
    const QString errorText = error.number == ErrorNumber::BadFileName
                                  ? WalkReport::BadNameExplanation(error.description, path)
                                  : error.description;
    return visit.pipeline.Then(
               [this, path, errorText] { return report.FileFailure(path, errorText); })
               ? Step::Ends
               : Step::GoesOn;
}

// New, modified or unchanged, said in the report in file order; true when it is copied.
bool FolderWalk::Decide(FolderVisit& visit, const ListedFile& file, const DecisionRules& rules) {
    const FileDecision decision =
        DecideFile(file, rules, [&] { return CompareContents(visit, file); });
    const QString path = visit.folder + file.Name();
    using Kind = FileDecision::Kind;
    // A new or modified file is counted with its line: after a stop, neither.
    if (decision.kind != Kind::Unchanged) {
        const int which = decision.kind == Kind::New ? 0 : 1;
        visit.pipeline.Then([this, &visit, which,
                             text = SixBlanks + path + u' ' + ProgramText(which == 0 ? 65 : 66)] {
            ++visit.counts[which];
            ++(which == 0 ? state.lngTotalNumNewFiles : state.lngTotalNumModifiedFiles);
            report.FileLine(text);
            return false;
        });
    }
    if (decision.explained) {
        if (decision.explainUnchanged)
            visit.pipeline.Then(
                Line(report, SixBlanks + path + QStringLiteral(" counted unchanged")));
        visit.pipeline.Then(Line(report, ExplainIndent + decision.explanation));
    }
    RefuseSystemFile(visit, path, decision.refusedBy);
    return decision.copy;
}

// The program's own folders at the target's root take these names: a source entry so named
// at the source's root would be mixed with them, so it is named and counted as left behind.
// False when the user chose to stop.
bool FolderWalk::LeaveOutOwnNames(FolderVisit& visit, bool skipFiles) {
    const FolderListing& listing = visit.listing;
    QStringList paths;
    for (const ListedFile& file : listing.files) {
        if (!skipFiles && !file.skipped && lister.IsOwnFolderName(listing.folder, file.bytes))
            paths.append(listing.folder + file.Name());
    }
    for (const QString& name : listing.subfolders) {
        const QString path = listing.folder + name + u'/';
        if (IsOwnTargetFolderName(name) && lister.InIncludedFolders(path) &&
            !lister.IsExcludedFilepath(path))
            paths.append(path);
    }
    for (const QString& path : paths) {
        if (visit.pipeline.Then(
                [this, path] { return report.FileFailure(path, OwnFolderNameText()); }))
            return false;
    }
    return !state.blnStop;
}

// Subfolders whose names the target's disk takes as those of earlier entries: each is named
// and counted, and never walked into the other's copy. False when the user chose to stop.
bool FolderWalk::LeaveOutFoldedSubfolders(FolderVisit& visit) {
    const FolderListing& listing = visit.listing;
    if (listing.foldedSubfolders.empty() ||
        (listing.folder != setup.sourceFolder && !IsChecked(setup.includeSubfolders)))
        return true;
    for (const auto& [name, first] : listing.foldedSubfolders) {
        const QString path = listing.folder + name + u'/';
        if (!lister.IsIncludedSubfolder(path) || lister.IsExcludedFilepath(path))
            continue;
        if (visit.pipeline.Then([this, path, why = WalkReport::SameNameText(first)] {
                return report.FileFailure(path, why);
            }))
            return false;
    }
    return !state.blnStop;
}

// What the rules for Windows' system files leave out is named and counted like any file
// left behind.
void FolderWalk::RefuseSystemFile(FolderVisit& visit, const QString& path, int rule) {
    if (rule == 0)
        return;
    visit.pipeline.Then([this, rule, path] {
        report.LeftBehind(SixBlanks + ProgramText(rule) + u' ' + path + u'.', path,
                          ProgramText(rule));
        return false;
    });
}

} // namespace vnt
