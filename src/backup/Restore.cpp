#include "backup/Restore.h"

#include "backup/FileTimes.h"
#include "backup/Listing.h"
#include "backup/WalkReport.h"
#include "mainwindow/FolderProc.h"
#include "mainwindow/Language.h"
#include "platform/Directory.h"
#include "platform/FolderLock.h"
#include "platform/Names.h"
#include "report/ReportHost.h"
#include "report/StrProc.h"
#include "setups/DateProc.h"

#include <algorithm>
#include <cerrno>
#include <fcntl.h>
#include <map>
#include <optional>

namespace vnt {

namespace {

const QString CRLF = QStringLiteral("\r\n");
const QString SixBlanks = QStringLiteral("      ");

QString TimeText(const QDateTime& time) {
    return time.toString(QStringLiteral("yyyy-MM-dd HH:mm:ss"));
}

std::unique_ptr<FolderHandle> Duplicate(const FolderHandle& folder) {
    return FolderHandle::Adopt(::fcntl(folder.Descriptor(), F_DUPFD_CLOEXEC, 0));
}

// The restore of one request, a folder at a time, from the backup's own tree.
class Restorer {
public:
    Restorer(const RestoreRequest& requestIn, ReportHost& hostIn,
             const std::function<bool()>& stopIn, const FolderHandle& targetRoot,
             const FolderHandle& destinationRoot, const QString& realDestinationIn,
             const QString& realTargetIn)
        : request(requestIn), setup(requestIn.setup), host(hostIn), stop(stopIn),
          destination(requestIn.destination), realDestination(realDestinationIn),
          realTarget(realTargetIn), lister(setup, state),
          // No link is followed on either side: a backup makes none, and one in the
          // destination could lead a write anywhere.
          backup(Duplicate(targetRoot), false, QString(), QString()),
          looker(Duplicate(destinationRoot), false, QString(), QString()),
          maker(Duplicate(destinationRoot), true, QString(), QString()), kept(targetRoot),
          matched(request.paths.size(), false),
          beforeRestore(QString::fromLatin1(BeforeRestoreFolder) + u'/' +
                        QDateTime::currentDateTime().toString(QStringLiteral("yyyy-MM-dd_HHmmss")) +
                        u'/') {
        state.strExcludedFilepaths = ParseExcludedFilepaths(setup.excludedFilepaths);
        state.intNumExcludedFilepaths = static_cast<qint32>(state.strExcludedFilepaths.size());
        if (request.asOf) {
            for (const KeptRun& run : kept.Runs())
                if (run.started >= *request.asOf)
                    runsAfter.push_back(run);
        }
    }

    void Visit(const QString& folder);
    // Every path asked for that named nothing in the backup, as left behind.
    void NameUnmatchedPaths();
    RestoreTotals totals;

private:
    struct Names {
        std::vector<QByteArray> files;
        std::vector<QByteArray> folders;
        std::vector<QByteArray> links; // of folders: never followed
    };
    bool FolderSelected(const QString& folder) const;
    bool FileSelected(const QString& folder, const QString& path, const FileFacts& facts) const;
    bool InScope(const QString& path, bool folder) const;
    void RestoreFile(const QString& folder, const std::shared_ptr<FolderHandle>& from,
                     const QByteArray& name);
    // The version as of the time asked for: null for the current copy; the run's folder.
    int ChooseVersion(const QString& folder, const QByteArray& name);
    std::shared_ptr<FolderHandle> DestinationFolder(const QString& folder, bool make, int& error);
    void LeftBehind(const QString& path, const QString& reason);
    void Line(const QString& text);
    bool Stopped();

    const RestoreRequest& request;
    const Setup& setup;
    ReportHost& host;
    const std::function<bool()>& stop;
    const QString destination;
    const QString realDestination;
    const QString realTarget;
    OperationState state; // the skip fragments, as the walk's lister reads them
    FolderLister lister;
    FolderOpener backup;
    FolderOpener looker; // the destination's folders as they are
    FolderOpener maker;  // the same, made where missing
    KeptRuns kept;
    std::vector<KeptRun> runsAfter; // the runs at or after the time asked for, oldest first
    std::vector<bool> matched;
    const QString beforeRestore;
    const qint32 today = TodayDayNumber();
    const qint32 zoneOffset = LocalTimeZoneOffset();
    // The folder at hand: its destination and its folders in the runs after the time.
    std::optional<QString> destinationKnown;
    std::shared_ptr<FolderHandle> destinationHandle;
    int destinationError = 0;
    bool destinationMade = false;
    QString runsKnown;
    std::map<size_t, std::shared_ptr<FolderHandle>> runFolders;
    QString keepKnown;
    std::shared_ptr<FolderHandle> keepHandle;
};

bool Restorer::Stopped() {
    if (!totals.stopped && stop && stop())
        totals.stopped = true;
    return totals.stopped;
}

void Restorer::Line(const QString& text) {
    if (!IsChecked(setup.suppressDetailedReports))
        host.Output(SixBlanks + text, true);
}

void Restorer::LeftBehind(const QString& path, const QString& reason) {
    host.Output(SixBlanks + ProgramText(79) + u' ' + path + QStringLiteral("  ") + reason, true);
    host.FailureReported(path, reason);
    ++totals.leftBehind;
}

bool Restorer::InScope(const QString& path, bool folder) const {
    if (request.paths.isEmpty())
        return true;
    return std::any_of(request.paths.cbegin(), request.paths.cend(), [&](const QString& asked) {
        return path == asked || path.startsWith(asked + u'/') ||
               (folder && (asked + u'/').startsWith(path));
    });
}

bool Restorer::FolderSelected(const QString& folder) const {
    const qsizetype depth = folder.count(u'/');
    if (!request.wholeBackup && depth == 1 && !setup.includedFolders.contains(folder.chopped(1)))
        return false;
    if (!request.wholeBackup && depth > 1 && !IsChecked(setup.includeSubfolders))
        return false;
    return InScope(folder.chopped(1), true) &&
           !lister.IsExcludedFilepath(setup.sourceFolder + folder);
}

bool Restorer::FileSelected(const QString& folder, const QString& path,
                            const FileFacts& facts) const {
    if (folder.isEmpty() && IsChecked(setup.excludeFilesInSourceFolder))
        return false;
    const QString sourcePath = setup.sourceFolder + path;
    return !lister.IsExcludedFilepath(sourcePath) &&
           MatchesExtensionFilter(sourcePath, setup.fileExtension, false) &&
           (!facts.exists || IsWithinModifiedSinceWindow(
                                 facts.mtimeSeconds, setup.modifiedSinceDays, today, zoneOffset));
}

void Restorer::Visit(const QString& folder) {
    if (Stopped())
        return;
    // A destination folder that is the target, or inside it, would be written while read.
    if (!folder.isEmpty() && (realDestination + folder).startsWith(realTarget)) {
        LeftBehind(destination + folder,
                   QStringLiteral("This folder of the destination lies in the backup's target "
                                  "folder, so nothing was restored into it."));
        return;
    }
    OpenedFolder opened = backup.Open(folder);
    if (!opened.handle) {
        LeftBehind(setup.targetFolder + folder, FileErrorFromErrno(opened.error).description);
        return;
    }
    const std::shared_ptr<FolderHandle> from(opened.handle.release());
    Names names;
    const FileError error = ReadDirectoryAt(
        from->Descriptor(),
        [&](const DirectoryEntry& entry) {
            const QByteArray name(entry.rawName);
            // The program's own folders at the target's root hold no file of the source.
            if (folder.isEmpty() && (name == KeptCopiesFolder || name == ".vantoro"))
                return true;
            if (entry.kind == EntryKind::Folder)
                (entry.isLink ? names.links : names.folders).push_back(name);
            else if (!IsUnfinishedCopyName(entry.rawName))
                names.files.push_back(name);
            return true;
        },
        false);
    if (error) {
        LeftBehind(setup.targetFolder + folder, error.description);
        return;
    }
    for (std::vector<QByteArray>* list : {&names.files, &names.folders, &names.links})
        std::sort(list->begin(), list->end());
    for (const QByteArray& name : names.files) {
        if (Stopped())
            return;
        RestoreFile(folder, from, name);
    }
    for (const QByteArray& name : names.links) {
        const QString path = folder + DecodeName(name);
        if (FolderSelected(path + u'/'))
            LeftBehind(setup.targetFolder + path,
                       QStringLiteral("A link in the backup is never followed, so nothing was "
                                      "restored from it."));
    }
    for (const QByteArray& name : names.folders) {
        const QString path = folder + DecodeName(name) + u'/';
        if (FolderSelected(path))
            Visit(path);
        if (Stopped())
            return;
    }
}

int Restorer::ChooseVersion(const QString& folder, const QByteArray& name) {
    if (runsKnown != folder) {
        runsKnown = folder;
        runFolders.clear();
    }
    return VersionAsOf(runsAfter, *request.asOf, [&](const KeptRun& run) {
        const size_t at = static_cast<size_t>(&run - runsAfter.data());
        auto found = runFolders.find(at);
        if (found == runFolders.end())
            found = runFolders.emplace(at, kept.OpenFolder(run, folder)).first;
        if (!found->second)
            return false;
        const FileFacts facts = found->second->Facts(name, false);
        return facts.exists || facts.link;
    });
}

std::shared_ptr<FolderHandle> Restorer::DestinationFolder(const QString& folder, bool make,
                                                          int& error) {
    if (destinationKnown != folder || (make && !destinationHandle && destinationError == ENOENT)) {
        // A folder missing is made only for a file to be written into it.
        OpenedFolder opened = (make ? maker : looker).Open(folder);
        // Made by this restore: it holds only what the restore puts there.
        destinationMade = make && opened.handle;
        destinationKnown = folder;
        destinationHandle = std::move(opened.handle);
        destinationError = opened.error;
    }
    error = destinationError;
    return destinationHandle;
}

void Restorer::RestoreFile(const QString& folder, const std::shared_ptr<FolderHandle>& from,
                           const QByteArray& name) {
    const QString path = folder + DecodeName(name);
    if (!InScope(path, false))
        return;
    const FileFacts current = from->Facts(name, false);
    if (!current.exists && !current.link)
        return; // gone since the folder was read
    if (current.exists && !current.regular)
        return; // a backup copies files only: nothing of the source's
    if (!FileSelected(folder, path, current))
        return;
    for (qsizetype i = 0; i < request.paths.size(); ++i)
        if (path == request.paths[i] || path.startsWith(request.paths[i] + u'/'))
            matched[static_cast<size_t>(i)] = true;
    const QString shown = destination + path;

    if (request.asOf && request.history) {
        if (const std::optional<QDateTime> first = request.history->FirstCopied(EncodeName(path));
            first && *first > *request.asOf) {
            ++totals.notYet;
            Line(shown + QStringLiteral(" (not in the backup yet at that time)"));
            return;
        }
    }
    std::shared_ptr<FolderHandle> source = from;
    QString version;
    if (request.asOf) {
        const int chosen = ChooseVersion(folder, name);
        if (chosen >= 0) {
            source = runFolders[static_cast<size_t>(chosen)];
            version = QStringLiteral(", the version replaced on ") +
                      TimeText(runsAfter[static_cast<size_t>(chosen)].started);
        }
    }
    const FileFacts copy = source == from ? current : source->Facts(name, false);
    if (copy.link || (copy.exists && !copy.regular)) {
        LeftBehind(shown, QStringLiteral("Its copy in the backup is a link or no file, and a "
                                         "link in the backup is never followed."));
        return;
    }

    int error = 0;
    std::shared_ptr<FolderHandle> into = DestinationFolder(folder, false, error);
    if (!into && error != ENOENT) {
        LeftBehind(shown, error == ENOTDIR || error == ELOOP
                              ? QStringLiteral("A link or a file stands in the place of its "
                                               "folder in the destination; no link there is "
                                               "followed.")
                              : FileErrorFromErrno(error).description);
        return;
    }
    FileFacts there;
    if (into && !destinationMade)
        there = into->Facts(name, false);
    const bool replace = there.exists || there.link;
    KeepAs keepAs;
    if (there.link) {
        LeftBehind(shown, QStringLiteral("A link stands in its place in the destination; it is "
                                         "never followed or replaced, so nothing was restored."));
        return;
    }
    if (there.exists && !there.regular) {
        LeftBehind(shown, QStringLiteral("Something that is not a file stands in its place in "
                                         "the destination, so nothing was restored."));
        return;
    }
    if (!there.exists && there.systemError != 0 && there.systemError != ENOENT) {
        LeftBehind(shown, there.Error().description);
        return;
    }
    if (there.exists) {
        CompareOutcome compared;
        if (there.size == copy.size) {
            compared = CompareFiles(into->Descriptor(), name, source->Descriptor(), name,
                                    [this] { return !Stopped(); }, {there.size, copy.size});
            if (compared.cancelled || Stopped())
                return;
            if (compared.error) {
                LeftBehind(shown, compared.error.description);
                return;
            }
            if (compared.same) {
                ++totals.same;
                return;
            }
        }
        if (!request.overwrite) {
            LeftBehind(shown, QStringLiteral("It differs from its copy in the backup, and "
                                             "replacing it was not asked for."));
            return;
        }
        // Nothing is lost by a restore: the file replaced is kept aside first.
        if (keepKnown != folder || !keepHandle) {
            keepKnown = folder;
            keepHandle = std::move(maker.Open(beforeRestore + folder).handle);
        }
        if (!keepHandle) {
            LeftBehind(shown, WalkReport::KeepFailedText(
                                  QStringLiteral("its folder could not be made below ") +
                                  destination + beforeRestore));
            return;
        }
        keepAs = KeepAs(keepHandle->Descriptor(), name);
    }
    if (!into)
        into = DestinationFolder(folder, true, error);
    if (!into) {
        LeftBehind(shown, FileErrorFromErrno(error).description);
        return;
    }
    const CopyOutcome outcome = CopyUnlinkedFile(
        *source, name, *into, name, [this] { return !Stopped(); }, replace, keepAs);
    if (outcome.cancelled || (!outcome.copied && Stopped()))
        return;
    if (!outcome.copied) {
        QString reason = outcome.keepFailed ? WalkReport::KeepFailedText(outcome.error.description)
                         : outcome.changed
                             ? QStringLiteral("Its copy in the backup changed while it was read.")
                             : outcome.error.description;
        LeftBehind(shown, reason);
        return;
    }
    ++totals.restored;
    totals.bytes += static_cast<double>(copy.size);
    QString keptAside;
    if (outcome.kept) {
        ++totals.keptAside;
        keptAside = QStringLiteral("; the file it replaced is kept as ") + destination +
                    beforeRestore + path;
    }
    Line(shown + QStringLiteral(" (restored") + version + keptAside + u')');
}

void Restorer::NameUnmatchedPaths() {
    for (qsizetype i = 0; i < request.paths.size(); ++i)
        if (!matched[static_cast<size_t>(i)])
            LeftBehind(destination + request.paths[i],
                       QStringLiteral("The backup holds no copy of it in this Setup's "
                                      "selection."));
}

void Report(ReportHost& host, const RestoreRequest& request, const RestoreTotals& totals) {
    const auto line = [&host](const char* label, qint64 n) {
        host.Output(QString::fromLatin1(label) + FormatCount(n), true);
    };
    host.Output(QString(), true);
    if (totals.stopped)
        host.Output(ProgramText(49), true);
    line("Number of files restored: ", totals.restored);
    line("Number of files already the same: ", totals.same);
    if (request.overwrite)
        line("Number of replaced files kept aside: ", totals.keptAside);
    if (request.asOf && request.history)
        line("Number of files not in the backup yet at that time: ", totals.notYet);
    line("Number of files left behind: ", totals.leftBehind);
    host.Output(QStringLiteral("Sum of sizes of files restored: ") + FormatByteSize(totals.bytes),
                true);
}

} // namespace

QString RelativeRestorePath(const QString& typed) {
    if (typed.startsWith(u'/'))
        return {};
    QStringList parts;
    for (const QString& part : typed.split(u'/', Qt::SkipEmptyParts)) {
        if (part == u"..")
            return {};
        if (part != u".")
            parts.append(part);
    }
    return parts.join(u'/');
}

std::optional<QDateTime> ParseAsOf(const QString& text) {
    const QString trimmed = text.trimmed();
    for (const QString& format :
         {QStringLiteral("yyyy-MM-dd HH:mm"), QStringLiteral("yyyy-MM-dd HH:mm:ss")}) {
        const QDateTime time = QDateTime::fromString(trimmed, format);
        if (time.isValid())
            return time;
    }
    return std::nullopt;
}

int VersionAsOf(const std::vector<KeptRun>& runs, const QDateTime& asOf,
                const std::function<bool(const KeptRun&)>& keptIn) {
    for (size_t i = 0; i < runs.size(); ++i)
        if (runs[i].started >= asOf && keptIn(runs[i]))
            return static_cast<int>(i);
    return -1;
}

RestoreOutcome RunRestore(const RestoreRequest& request, ReportHost& host,
                          const std::function<bool()>& stopRequested) {
    RestoreOutcome outcome;
    RestoreRequest checked = request;
    if (checked.destination.isEmpty())
        checked.destination = request.setup.sourceFolder;
    const QString& destination = checked.destination;
    const QString& target = request.setup.targetFolder;
    for (const QString& path : request.paths) {
        if (RelativeRestorePath(path) != path || path.isEmpty()) {
            outcome.refused = QStringLiteral("a path to restore is relative to the source "
                                             "folder, without \"..\": ") +
                              path;
            return outcome;
        }
    }
    if (!FolderExists(target)) {
        outcome.refused = QStringLiteral("the target folder ") + target +
                          QStringLiteral(" does not exist, so there is nothing to restore from");
        return outcome;
    }
    if (!FolderExists(destination)) {
        outcome.refused = QStringLiteral("the folder to restore into, ") + destination +
                          QStringLiteral(", does not exist: make it first");
        return outcome;
    }
    const FolderHandle targetRoot(target);
    const FolderHandle destinationRoot(destination);
    const QString realTarget = RealFolderOf(targetRoot);
    const QString realDestination = RealFolderOf(destinationRoot);
    if (!targetRoot.IsOpen() || !destinationRoot.IsOpen() || realTarget.isEmpty() ||
        realDestination.isEmpty()) {
        outcome.refused = QStringLiteral("cannot open ") +
                          (targetRoot.IsOpen() ? destination : target) + QStringLiteral(": ") +
                          FileErrorFromErrno(errno).description;
        return outcome;
    }
    if (realDestination.startsWith(realTarget)) {
        outcome.refused = QStringLiteral("the folder to restore into, ") + destination +
                          QStringLiteral(", lies in the backup's target folder ") + target +
                          QStringLiteral(": restore into a folder outside it");
        return outcome;
    }
    // No backup writes the target while its files are read, and no other restore writes the
    // same destination.
    FolderLock targetLock;
    FolderLock destinationLock;
    const std::pair<FolderLock*, QString> locks[] = {{&targetLock, target},
                                                     {&destinationLock, destination}};
    for (const auto& [lock, folder] : locks) {
        if (lock->Take(folder, TargetLockWaitMilliseconds()) ==
            FolderLock::Outcome::HeldElsewhere) {
            outcome.refused = QStringLiteral("Another Vantoro run is using the folder ") + folder +
                              QStringLiteral(", so nothing was done. Please try again when that "
                                             "run has finished.");
            return outcome;
        }
    }

    host.Output(
        QStringLiteral("Restoring from ") + target + QStringLiteral(" into ") + destination +
            (request.asOf ? QStringLiteral(" as the backup held it on ") + TimeText(*request.asOf)
                          : QString()),
        true);
    host.Output(QString(), true);
    host.ShowReport();
    const FileSystemFlush flush(destination);
    Restorer restorer(checked, host, stopRequested, targetRoot, destinationRoot, realDestination,
                      realTarget);
    restorer.Visit(QString());
    if (!restorer.totals.stopped)
        restorer.NameUnmatchedPaths();
    // Done means on the disk, as after a backup.
    if (restorer.totals.restored > 0) {
        if (const FileError flushed = flush.Flush()) {
            host.Output(SixBlanks + ProgramText(79) + u' ' + destination + QStringLiteral("  ") +
                            flushed.description,
                        true);
            host.FailureReported(destination, flushed.description);
            ++restorer.totals.leftBehind;
        }
    }
    Report(host, checked, restorer.totals);
    outcome.totals = restorer.totals;
    return outcome;
}

} // namespace vnt
