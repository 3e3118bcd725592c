#include "backup/Restore.h"

#include "backup/Catalog.h"
#include "backup/FileTimes.h"
#include "backup/Listing.h"
#include "backup/WalkReport.h"
#include "mainwindow/FolderProc.h"
#include "mainwindow/Language.h"
#include "platform/Directory.h"
#include "platform/FolderLock.h"
#include "platform/Names.h"
#include "platform/TargetDisk.h"
#include "report/ReportHost.h"
#include "report/StrProc.h"
#include "setups/DateProc.h"

#include <algorithm>
#include <cerrno>
#include <fcntl.h>
#include <map>
#include <optional>
#include <QFile>

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
             const QString& realTargetIn, bool dryRunIn)
        : dryRun(dryRunIn), request(requestIn), setup(requestIn.setup), host(hostIn), stop(stopIn),
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
                        u'/'),
          destinationFoldsCase(LearnDisk(destinationRoot.Descriptor()).foldsCase),
          backupKeepsModes(LearnDisk(targetRoot.Descriptor()).keepsPermissions) {
        // A folder made grants no more than its copy in the backup; where that disk keeps
        // no permissions, and for the files kept aside, the owner's alone.
        maker.folderMode = [this](const QByteArray& below) {
            if (!backupKeepsModes || below.startsWith(BeforeRestoreFolder + QByteArray("/")))
                return 0700u;
            return CopyFolderMode(setup.targetFolder + DecodeName(below));
        };
        state.strExcludedFilepaths = ParseExcludedFilepaths(setup.excludedFilepaths);
        state.intNumExcludedFilepaths = static_cast<qint32>(state.strExcludedFilepaths.size());
        if (request.asOf) {
            const std::optional<KeptRun> last =
                request.keptAfter ? ParseKeptRun(*request.keptAfter) : std::nullopt;
            for (const KeptRun& run : kept.Runs())
                if (request.keptAfter ? !last || *last < run : run.started >= *request.asOf)
                    runsAfter.push_back(run);
            keptFrom = runsAfter.empty() || !request.keptAfter
                           ? *request.asOf
                           : std::min(*request.asOf, runsAfter.front().started);
        }
    }

    // Planning: every decision made, nothing written and nothing reported.
    const bool dryRun;
    void Visit(const QString& folder);
    // Every path asked for that named nothing in the backup, as left behind.
    void NameUnmatchedPaths();
    RestoreTotals totals;

private:
    // What becomes of one file of the backup, decided before anything is written.
    struct Choice {
        enum class Kind { Pass, NotYet, LeftBehind, Same, Restore } kind = Kind::Pass;
        QString reason;                       // LeftBehind
        std::shared_ptr<FolderHandle> source; // Restore: where its version lies
        FileFacts copy;                       // that version's facts
        QString version;                      // the words naming a kept version, or empty
        QString keptIn;                       // and the kept copies' folder it lies in
        std::shared_ptr<FolderHandle> into;   // its destination folder where it exists
        bool replace = false;                 // something stands in its place
    };
    struct Names {
        std::vector<QByteArray> files;
        std::vector<QByteArray> folders;
        std::vector<QByteArray> links; // of folders: never followed
    };
    bool FolderSelected(const QString& folder) const;
    bool FileSelected(const QString& folder, const QString& path, const FileFacts& facts) const;
    bool InScope(const QString& path, bool folder) const;
    Choice Decide(const QString& folder, const std::shared_ptr<FolderHandle>& from,
                  const QByteArray& name);
    void RestoreFile(const QString& folder, const std::shared_ptr<FolderHandle>& from,
                     const QByteArray& name);
    // The version as of the time asked for: null for the current copy; the run's folder.
    int ChooseVersion(const QString& folder, const QByteArray& name);
    std::shared_ptr<FolderHandle> DestinationFolder(const QString& folder, bool make, int& error);
    // The permission bits a restored file gets: its source's when it was backed up, as the
    // history recorded them; else, from a disk that keeps none, a new file's; -1: its copy's.
    int ModeFor(const QString& path, const QString& keptIn);
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
    QDateTime keptFrom;             // the earliest of them, for VersionAsOf
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
    std::optional<QHash<QByteArray, int>> modes; // read at the first file restored
    QHash<QByteArray, int> keptModes;
    int unrecordedMode = -1;
    const bool destinationFoldsCase;
    const bool backupKeepsModes;
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
    // On a destination that folds letter case, the first of two names that would be one is
    // restored; the other is named, never written over it.
    QHash<QString, QString> firstOf;
    const auto sameAs = [&](const QByteArray& name) {
        if (!destinationFoldsCase)
            return QString();
        const QString decoded = DecodeName(name);
        if (const auto it = firstOf.constFind(decoded.toCaseFolded()); it != firstOf.cend())
            return *it;
        firstOf.insert(decoded.toCaseFolded(), decoded);
        return QString();
    };
    for (const QByteArray& name : names.files) {
        if (Stopped())
            return;
        const QString path = folder + DecodeName(name);
        if (const QString first = sameAs(name); !first.isEmpty()) {
            if (InScope(path, false))
                LeftBehind(destination + path, WalkReport::SameNameText(first));
            continue;
        }
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
        const QString first = sameAs(name);
        if (FolderSelected(path) && !first.isEmpty())
            LeftBehind(destination + path, WalkReport::SameNameText(first));
        else if (FolderSelected(path))
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
    return VersionAsOf(runsAfter, keptFrom, [&](const KeptRun& run) {
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

Restorer::Choice Restorer::Decide(const QString& folder, const std::shared_ptr<FolderHandle>& from,
                                  const QByteArray& name) {
    Choice choice;
    const auto leftBehind = [&choice](const QString& reason) {
        choice.kind = Choice::Kind::LeftBehind;
        choice.reason = reason;
        return choice;
    };
    const QString path = folder + DecodeName(name);
    if (!InScope(path, false))
        return choice;
    const FileFacts current = from->Facts(name, false);
    if (!current.exists && !current.link)
        return choice; // gone since the folder was read
    if (current.exists && !current.regular)
        return choice; // a backup copies files only: nothing of the source's
    if (!FileSelected(folder, path, current))
        return choice;
    for (qsizetype i = 0; i < request.paths.size(); ++i)
        if (path == request.paths[i] || path.startsWith(request.paths[i] + u'/'))
            matched[static_cast<size_t>(i)] = true;

    if (request.asOf && request.history) {
        if (const std::optional<QDateTime> first = request.history->FirstCopied(EncodeName(path));
            first && *first > *request.asOf) {
            choice.kind = Choice::Kind::NotYet;
            return choice;
        }
    }
    choice.source = from;
    if (request.asOf) {
        const int chosen = ChooseVersion(folder, name);
        if (chosen >= 0) {
            choice.source = runFolders[static_cast<size_t>(chosen)];
            choice.keptIn = runsAfter[static_cast<size_t>(chosen)].folderName;
            choice.version = QStringLiteral(", the version replaced on ") +
                             TimeText(runsAfter[static_cast<size_t>(chosen)].started);
        }
    }
    choice.copy = choice.source == from ? current : choice.source->Facts(name, false);
    if (choice.copy.link || (choice.copy.exists && !choice.copy.regular))
        return leftBehind(QStringLiteral("Its copy in the backup is a link or no file, and a "
                                         "link in the backup is never followed."));

    int error = 0;
    choice.into = DestinationFolder(folder, false, error);
    if (!choice.into && error != ENOENT)
        return leftBehind(error == ENOTDIR || error == ELOOP
                              ? QStringLiteral("A link or a file stands in the place of its "
                                               "folder in the destination; no link there is "
                                               "followed.")
                              : FileErrorFromErrno(error).description);
    FileFacts there;
    if (choice.into && !destinationMade)
        there = choice.into->Facts(name, false);
    choice.replace = there.exists || there.link;
    if (there.link)
        return leftBehind(QStringLiteral("A link stands in its place in the destination; it is "
                                         "never followed or replaced, so nothing was restored."));
    if (there.exists && !there.regular)
        return leftBehind(QStringLiteral("Something that is not a file stands in its place in "
                                         "the destination, so nothing was restored."));
    if (!there.exists && there.systemError != 0 && there.systemError != ENOENT)
        return leftBehind(there.Error().description);
    if (there.exists) {
        if (there.size == choice.copy.size) {
            const CompareOutcome compared =
                CompareFiles(choice.into->Descriptor(), name, choice.source->Descriptor(), name,
                             [this] { return !Stopped(); }, {there.size, choice.copy.size});
            if (compared.cancelled || Stopped())
                return Choice();
            if (compared.error)
                return leftBehind(compared.error.description);
            if (compared.same) {
                choice.kind = Choice::Kind::Same;
                return choice;
            }
        }
        if (!request.overwrite)
            return leftBehind(QStringLiteral("It differs from its copy in the backup, and "
                                             "replacing it was not asked for."));
    }
    choice.kind = Choice::Kind::Restore;
    return choice;
}

void Restorer::RestoreFile(const QString& folder, const std::shared_ptr<FolderHandle>& from,
                           const QByteArray& name) {
    Choice choice = Decide(folder, from, name);
    const QString path = folder + DecodeName(name);
    const QString shown = destination + path;
    switch (choice.kind) {
    case Choice::Kind::Pass:
        return;
    case Choice::Kind::NotYet:
        ++totals.notYet;
        Line(shown + QStringLiteral(" (not in the backup yet at that time)"));
        return;
    case Choice::Kind::LeftBehind:
        LeftBehind(shown, choice.reason);
        return;
    case Choice::Kind::Same:
        ++totals.same;
        return;
    case Choice::Kind::Restore:
        break;
    }
    if (dryRun) {
        ++totals.restored;
        totals.bytes += static_cast<double>(choice.copy.size);
        totals.keptAside += choice.replace ? 1 : 0;
        return;
    }
    KeepAs keepAs;
    if (choice.replace) {
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
    int error = 0;
    if (!choice.into)
        choice.into = DestinationFolder(folder, true, error);
    if (!choice.into) {
        LeftBehind(shown, FileErrorFromErrno(error).description);
        return;
    }
    const CopyOutcome outcome = CopyUnlinkedFile(
        *choice.source, name, *choice.into, name, [this] { return !Stopped(); }, choice.replace,
        keepAs, ModeFor(path, choice.keptIn));
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
    totals.bytes += static_cast<double>(choice.copy.size);
    QString keptAside;
    if (outcome.kept) {
        ++totals.keptAside;
        keptAside = QStringLiteral("; the file it replaced is kept as ") + destination +
                    beforeRestore + path;
    }
    Line(shown + QStringLiteral(" (restored") + choice.version + keptAside + u')');
}

namespace {
// The process's umask, read without changing it (another thread may be making files).
unsigned ProcessUmask() {
    QFile status(QStringLiteral("/proc/self/status"));
    if (status.open(QIODevice::ReadOnly))
        for (const QByteArray& line : status.readAll().split('\n'))
            if (line.startsWith("Umask:"))
                return line.mid(6).trimmed().toUInt(nullptr, 8) & 0777;
    return 022;
}
} // namespace

int Restorer::ModeFor(const QString& path, const QString& keptIn) {
    if (!modes) {
        CatalogReader reader;
        const bool open = reader.Open(setup.targetFolder);
        QList<QByteArray> asked;
        for (const QString& one : request.paths)
            asked.append(EncodeName(one));
        modes = open ? reader.LatestModes(asked) : QHash<QByteArray, int>();
        if (open && request.asOf)
            keptModes = reader.KeptModes(asked);
        // A disk that shows every file as 0777 says nothing of the file's own mode.
        if (!backupKeepsModes)
            unrecordedMode = static_cast<int>(0666 & ~ProcessUmask());
    }
    const QHash<QByteArray, int>& recorded = keptIn.isEmpty() ? *modes : keptModes;
    const QByteArray key = keptIn.isEmpty()
                               ? EncodeName(path)
                               : QByteArray(KeptCopiesFolder) + '/' + EncodeName(keptIn) + '/' +
                                     EncodeName(path);
    const auto found = recorded.constFind(key);
    return found != recorded.cend() ? *found : unrecordedMode;
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

namespace {

// A request checked, with both sides open: what a restore and its plan start from.
struct OpenedRestore {
    QString refused; // why nothing can be done; empty when the rest is set
    RestoreRequest checked;
    std::unique_ptr<FolderHandle> targetRoot;
    std::unique_ptr<FolderHandle> destinationRoot;
    QString realTarget;
    QString realDestination;
};

OpenedRestore OpenRestore(const RestoreRequest& request) {
    OpenedRestore opened;
    opened.checked = request;
    if (opened.checked.destination.isEmpty())
        opened.checked.destination = request.setup.sourceFolder;
    const QString& destination = opened.checked.destination;
    const QString& target = request.setup.targetFolder;
    for (const QString& path : request.paths) {
        if (RelativeRestorePath(path) != path || path.isEmpty()) {
            opened.refused = QStringLiteral("a path to restore is relative to the source "
                                            "folder, without \"..\": ") +
                             path;
            return opened;
        }
    }
    if (!FolderExists(target)) {
        opened.refused = QStringLiteral("the target folder ") + target +
                         QStringLiteral(" does not exist, so there is nothing to restore from");
        return opened;
    }
    if (!FolderExists(destination)) {
        opened.refused = QStringLiteral("the folder to restore into, ") + destination +
                         QStringLiteral(", does not exist: make it first");
        return opened;
    }
    opened.targetRoot = std::make_unique<FolderHandle>(target);
    opened.destinationRoot = std::make_unique<FolderHandle>(destination);
    opened.realTarget = RealFolderOf(*opened.targetRoot);
    opened.realDestination = RealFolderOf(*opened.destinationRoot);
    if (!opened.targetRoot->IsOpen() || !opened.destinationRoot->IsOpen() ||
        opened.realTarget.isEmpty() || opened.realDestination.isEmpty()) {
        opened.refused = QStringLiteral("cannot open ") +
                         (opened.targetRoot->IsOpen() ? destination : target) +
                         QStringLiteral(": ") + FileErrorFromErrno(errno).description;
        return opened;
    }
    if (opened.realDestination.startsWith(opened.realTarget)) {
        opened.refused = QStringLiteral("the folder to restore into, ") + destination +
                         QStringLiteral(", lies in the backup's target folder ") + target +
                         QStringLiteral(": restore into a folder outside it");
        return opened;
    }
    return opened;
}

} // namespace

std::optional<QDateTime> CatalogHistory::FirstCopied(const QByteArray& relativePath) const {
    if (!first)
        first = reader.FirstCopies();
    const auto found = first->constFind(relativePath);
    if (found == first->cend())
        return std::nullopt;
    return toTheSecond ? QDateTime::fromSecsSinceEpoch(*found / 1000)
                       : QDateTime::fromMSecsSinceEpoch(*found);
}

RestoreRequest RestoreOfPaths(const Setup& setup, const QStringList& paths) {
    RestoreRequest request;
    request.setup = setup;
    request.setup.includeSubfolders = 1;
    request.setup.fileExtension.clear();
    request.setup.excludedFilepaths.clear();
    request.setup.modifiedSinceDays = -1;
    request.setup.excludeFilesInSourceFolder = 0;
    request.wholeBackup = true;
    request.paths = paths;
    return request;
}

void RestoreAsAfterRun(CatalogReader& catalog, const std::vector<CatalogRun>& runs, size_t index,
                       RestoreRequest& request) {
    const CatalogRun& run = runs[index];
    // A run that never ended lasted at most until the next one began.
    qint64 endMs = run.finishedMs;
    if (endMs <= 0)
        endMs = index > 0 ? runs[index - 1].startedMs - 1 : QDateTime::currentMSecsSinceEpoch();
    request.asOf = QDateTime::fromMSecsSinceEpoch(std::max(endMs, run.startedMs));
    request.keptAfter = catalog.LastKeptFolderUpTo(run.id);
}

QString RestoreRefusal(const RestoreRequest& request) {
    return OpenRestore(request).refused;
}

RestoreOutcome PlanRestore(const RestoreRequest& request,
                           const std::function<bool()>& stopRequested) {
    RestoreOutcome outcome;
    const OpenedRestore opened = OpenRestore(request);
    outcome.refused = opened.refused;
    if (!outcome.refused.isEmpty())
        return outcome;
    NullReportHost quiet;
    Restorer restorer(opened.checked, quiet, stopRequested, *opened.targetRoot,
                      *opened.destinationRoot, opened.realDestination, opened.realTarget, true);
    restorer.Visit(QString());
    if (!restorer.totals.stopped)
        restorer.NameUnmatchedPaths();
    outcome.totals = restorer.totals;
    return outcome;
}

QString RestorePlanText(const RestoreTotals& plan, const QString& destination) {
    const auto files = [](qint64 n) {
        return FormatCount(n) + (n == 1 ? QStringLiteral(" file") : QStringLiteral(" files"));
    };
    QString text = files(plan.restored) + QStringLiteral(" (") + FormatByteSize(plan.bytes) +
                   QStringLiteral(") will be restored into ") + destination + u'.';
    if (plan.keptAside > 0)
        text += CRLF + files(plan.keptAside) +
                QStringLiteral(" there will be replaced; each is kept aside first under ") +
                destination + QString::fromLatin1(BeforeRestoreFolder) + u'/' + u'.';
    if (plan.same > 0)
        text += CRLF + files(plan.same) + QStringLiteral(" already the same, left as they are.");
    if (plan.notYet > 0)
        text += CRLF + files(plan.notYet) +
                QStringLiteral(" not in the backup yet at that time, left out.");
    if (plan.leftBehind > 0)
        text += CRLF + files(plan.leftBehind) +
                QStringLiteral(" cannot be restored; the report will name them.");
    return text;
}

BackupFolder ListBackupFolder(const QString& targetFolder, const QString& relativeFolder) {
    BackupFolder listed;
    const FolderHandle root(targetFolder);
    if (!root.IsOpen()) {
        listed.problem = FileErrorFromErrno(errno).description;
        return listed;
    }
    FolderOpener opener(Duplicate(root), false, QString(), QString());
    const OpenedFolder folder = opener.Open(relativeFolder);
    if (!folder.handle) {
        listed.problem = FileErrorFromErrno(folder.error).description;
        return listed;
    }
    const FileError error =
        ReadDirectoryAt(folder.handle->Descriptor(), [&](const DirectoryEntry& entry) {
            if (entry.isLink)
                return true;
            if (entry.kind == EntryKind::Folder) {
                if (!relativeFolder.isEmpty() || !IsOwnTargetFolderName(entry.name))
                    listed.folders.append(entry.name);
            } else if (entry.kind == EntryKind::File && !IsUnfinishedCopyName(entry.rawName)) {
                listed.files.append(entry.name);
            }
            return true;
        });
    if (error)
        listed.problem = error.description;
    listed.folders.sort();
    listed.files.sort();
    return listed;
}

RestoreOutcome RunRestore(const RestoreRequest& request, ReportHost& host,
                          const std::function<bool()>& stopRequested, SleepInhibitor& inhibitor) {
    RestoreOutcome outcome;
    const OpenedRestore opened = OpenRestore(request);
    outcome.refused = opened.refused;
    if (!outcome.refused.isEmpty())
        return outcome;
    const QString& destination = opened.checked.destination;
    const QString& target = request.setup.targetFolder;
    // No backup writes the target while its files are read, and no other restore writes the
    // same destination.
    FolderLock targetLock;
    FolderLock destinationLock;
    const std::pair<FolderLock*, QString> locks[] = {{&targetLock, target},
                                                     {&destinationLock, destination}};
    for (const auto& [lock, folder] : locks) {
        const FolderLock::Outcome locked = lock->Take(folder, TargetLockWaitMilliseconds());
        if (locked == FolderLock::Outcome::Stopped) {
            outcome.refused = QStringLiteral("The restore was stopped before it began.");
            return outcome;
        }
        if (locked == FolderLock::Outcome::HeldElsewhere) {
            outcome.refused = QStringLiteral("Another Vantoro run is using the folder ") + folder +
                              QStringLiteral(", so nothing was done. Please try again when that "
                                             "run has finished.");
            return outcome;
        }
    }

    const UniqueFd awake =
        inhibitor.HoldOffSleep(QStringLiteral("Restoring into ") + ShownName(destination));
    host.Output(
        QStringLiteral("Restoring from ") + target + QStringLiteral(" into ") + destination +
            (request.asOf ? QStringLiteral(" as the backup held it on ") + TimeText(*request.asOf)
                          : QString()),
        true);
    host.Output(QString(), true);
    host.ShowReport();
    // Seen, and its Cancel served, before the first file is read.
    host.DrawNow();
    const FileSystemFlush flush(destination);
    Restorer restorer(opened.checked, host, stopRequested, *opened.targetRoot,
                      *opened.destinationRoot, opened.realDestination, opened.realTarget, false);
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
    Report(host, opened.checked, restorer.totals);
    outcome.totals = restorer.totals;
    return outcome;
}

} // namespace vnt
