// The walk's copies: room on the target's disk, the target folder made and opened, a
// read-only copy made writable, the copy handed to the copier threads and its outcome
// counted and worded in file order.

#include "backup/Walk.h"
#include "mainwindow/FolderProc.h"
#include "mainwindow/Language.h"
#include "report/ReportHost.h"
#include "report/StrProc.h"

#include <cerrno>
#include <chrono>
#include <QDateTime>
#include <fcntl.h>
#include <sys/stat.h>
#include <thread>

namespace vnt {

namespace {
const QString CRLF = QStringLiteral("\r\n");
const QString SixBlanks = QStringLiteral("      ");
} // namespace

FolderWalk::Step FolderWalk::BackUpFile(FolderVisit& visit, const ListedFile& file) {
    // A name or size the disk cannot hold is said in its own words, not as the error the
    // copy would meet.
    if (const QString why = lister.disk.RefusalOf(file.bytes, file.source.size); !why.isEmpty())
        return visit.pipeline.Then([this, path = visit.folder + file.Name(), why] {
            return report.FileFailure(path, why);
        })
                   ? Step::Ends
                   : Step::Next;
    Step step = Step::GoesOn;
    if (!file.target.exists || file.target.directory)
        step = HasRoom(visit, file);
    if (step == Step::GoesOn)
        step = ReadyTargetFolder(visit, file);
    if (step == Step::GoesOn)
        step = HandOutCopy(visit, file);
    return step == Step::LeftOut ? Step::GoesOn : step;
}

// A new copy needs room. Near the limit the file system is asked again, once the copies in
// flight have taken their space: the decisions at the border are exact.
FolderWalk::Step FolderWalk::HasRoom(FolderVisit& visit, const ListedFile& file) {
    const qint64 space = file.source.SpaceTaken();
    if (!visit.pipeline.Idle() && !target.FreeSpaceKnown(visit.targetFolder, space) &&
        visit.pipeline.Drain())
        return Step::Ends;
    double available = 0;
    if (!target.QueryFreeSpace(visit.targetFolder, visit.listing.targetHandle.get(), space,
                               available))
        return Step::GoesOn;
    visit.freeBytes = available;
    const QString path = visit.folder + file.Name();
    if (available == 0) {
        report.EndLine();
        const QString full = QStringLiteral("The target drive is full.");
        report.LeftBehind(SixBlanks + full, path, full);
        host.Repaint();
        host.Inform(QStringLiteral("The target drive is full, so this backup operation") + CRLF +
                        QStringLiteral("must be terminated."),
                    state.strWindowCaption, MsgIcon::Warning);
        state.blnStop = true;
        return Step::Stops;
    }
    if (available > static_cast<double>(space))
        return Step::GoesOn;
    report.EndLine();
    const QString noRoom = QStringLiteral("Insufficient space on the target drive for this file.");
    report.LeftBehind(SixBlanks + noRoom, path, noRoom);
    host.Repaint();
    if (report.AskToStop(ProgramText(62) + CRLF + path + QStringLiteral(" (") +
                             FormatCount(static_cast<double>(file.source.size)) + u' ' +
                             ProgramText(152) + QStringLiteral(")."),
                         false)) {
        state.blnStop = true;
        return Step::Ends;
    }
    return Step::LeftOut;
}

FolderWalk::Step FolderWalk::ReadyTargetFolder(FolderVisit& visit, const ListedFile& file) {
    const QString& tf = visit.targetFolder; // every file of the folder goes there
    const QString path = visit.folder + file.Name();
    // A folder made is a change to the target: not before the lines of the files before it,
    // since one of them may be where a stop falls.
    if (!target.Known(tf) && !visit.pipeline.Idle()) {
        if (visit.pipeline.Drain())
            return Step::Ends;
        if (state.blnStop)
            return Step::Stops;
    }
    TargetSide::Folder folder = target.Enter(tf, visit.listing.files);
    using State = TargetSide::Folder::State;
    if (folder.state == State::Refused) {
        // Asked about once; every file that needed it is named and counted. Nothing is in
        // flight for a folder not yet known: its first copy is this one.
        return visit.pipeline.Then([this, path, reason = folder.reason] {
            return report.FileFailure(path, reason);
        })
                   ? Step::Ends
                   : Step::LeftOut;
    }
    if (folder.state == State::Unmade && target.DiskGone(folder.error))
        return DiskDisconnected() ? Step::Ends : Step::LeftOut;
    if (folder.state == State::Unmade) {
        // A name the disk refuses is said as such, not as the error making it met.
        QString why = folder.error != 0 ? FileErrorFromErrno(folder.error).description : QString();
        for (const QString& name : tf.mid(setup.targetFolder.size()).split(u'/', Qt::SkipEmptyParts))
            if (const QString refused = lister.disk.RefusalOf(EncodeName(name)); !refused.isEmpty()) {
                why = refused;
                break;
            }
        // Named even in a summary-only report: files are left behind.
        report.FolderLine(ProgramText(165) + QStringLiteral(": ") + tf +
                          (why.isEmpty() ? QString() : QStringLiteral("  ") + why));
        QString message = ProgramText(166) + u' ' + tf;
        QString blocking = tf;
        while (blocking.endsWith(u'/'))
            blocking.chop(1);
        if (FileExistsAt(blocking))
            message += CRLF + ProgramText(386) + u' ' + FileNameOfPath(blocking, true) + u' ' +
                       ProgramText(387) + u' ' + FolderOfPath(blocking) + u'.';
        const bool stop =
            report.AskPaused(message + CRLF + CRLF + ProgramText(64), ProgramText(167));
        target.Refuse(tf, ProgramText(415));
        if (stop) {
            state.blnStop = true;
            ++state.lngTotalNumCopyErrors;
            ReportFailure(state, host, path, ProgramText(415));
            return Step::Ends;
        }
        return report.FileFailure(path, ProgramText(415)) ? Step::Ends : Step::LeftOut;
    }
    // The folder opened when it was listed (perhaps ahead, seconds ago) may have been
    // swapped since: the copies go into the one just checked.
    if (folder.handle)
        visit.listing.targetHandle = std::move(folder.handle);
    const bool targetExists = file.target.exists && !file.target.directory;
    if (!targetExists || !TargetSide::StaysReadOnly(*visit.listing.targetHandle, file.bytes))
        return Step::GoesOn;
    // A question: the lines before it come first.
    if (visit.pipeline.Drain())
        return Step::Ends;
    const QString copyPath = tf + file.Name();
    ++state.lngTotalNumCopyErrors;
    if (!state.blnSuppressDetailedReports)
        report.FolderLine(ProgramText(169) + u' ' + copyPath);
    ReportFailure(state, host, path,
                  ProgramText(169) + u' ' + copyPath + QStringLiteral(". ") + ProgramText(170));
    if (report.AskPaused(ProgramText(169) + CRLF + copyPath + CRLF + ProgramText(170) + CRLF +
                             CRLF + ProgramText(64),
                         ProgramText(171))) {
        state.blnStop = true;
        return Step::Ends;
    }
    return Step::LeftOut;
}

FolderWalk::Step FolderWalk::HandOutCopy(FolderVisit& visit, const ListedFile& file) {
    const QString name = file.Name();
    host.CopyHandedOut(visit.folder, name);
    report.ShowFileLabel(name);
    auto job = std::make_shared<CopyJob>();
    // Always into the target folder held open; the source by path only when its folder
    // could not be held open.
    if (visit.listing.sourceHandle->IsOpen())
        job->sourceFolder = visit.listing.sourceHandle;
    else
        job->sourcePath = visit.folder + name;
    job->targetFolder = visit.listing.targetHandle;
    job->sourceName = job->targetName = file.bytes;
    job->targetMayExist = file.target.exists || file.target.link;
    job->bytes = file.source.size;
    if (QString why;
        state.blnKeepReplaced && file.target.exists && !file.target.directory &&
        !target.KeepReplacedAs(visit.folder.mid(setup.sourceFolder.size()), file.bytes, *job, why))
        return visit.pipeline.Then([this, path = visit.folder + name, why] {
            return report.FileFailure(path, WalkReport::KeepFailedText(why));
        })
                   ? Step::Ends
                   : Step::Next;
    // Reserved when handed out, so the next decision counts this copy's space.
    target.SpendFreeSpace(visit.targetFolder, file.source.SpaceTaken());
    // Where a replaced copy goes, below the target, for the history.
    const QByteArray keptAs = job->keepReplacedAs.name.isEmpty()
                                  ? QByteArray()
                                  : EncodeName(target.KeepFolder()) + file.bytes;
    CopyPipeline::After after = [this, &visit, file, keptAs](const CopyOutcome& outcome) {
        return CopyDone(visit, file, keptAs, outcome);
    };
    // A file rewritten in place during its copy is tried again once the rest of its folder
    // is done: a program saving it is done by then, mostly.
    const auto afterOrRetry = [job, after, &visit](const CopyOutcome& outcome) {
        if (!outcome.changed || visit.retrying)
            return after(outcome);
        visit.retries.emplace_back(job, after);
        return false;
    };
    return visit.pipeline.HandOut(job, afterOrRetry) ? Step::Ends : Step::GoesOn;
}

// Counts and words a copy's outcome, in file order. True when the user chose to stop.
bool FolderWalk::CopyDone(FolderVisit& visit, const ListedFile& file, const QByteArray& keptAs,
                          const CopyOutcome& outcome) {
    const QString path = visit.folder + file.Name();
    const qint64 size = file.source.size;
    if (outcome.kept)
        ++state.lngTotalNumKeptCopies;
    if (!outcome.copied) {
        if (outcome.cancelled)
            return false;
        // The disk filled up behind the known figure: it is asked again next time, so that
        // a full disk stops the backup instead of failing file by file.
        if (outcome.systemError == ENOSPC)
            target.ForgetFreeSpace();
        if (outcome.failedSide == CopySide::Target && target.DiskGone(outcome.systemError))
            return DiskDisconnected();
        return report.FileFailure(path, WalkReport::CopyFailureText(outcome, path));
    }
    if (outcome.grewSince >= 0)
        report.FileLine(
            SixBlanks + path + QStringLiteral(" copied as it was at ") +
            QDateTime::fromSecsSinceEpoch(outcome.grewSince).toString(QStringLiteral("HH:mm:ss")) +
            QStringLiteral("; it was still being written"));
    if (state.intOperation == Operation::VerifyBackup) {
        ++state.lngTotalNumFilesRepaired;
        state.strVerifyProblems.removeAll(path);
        report.FileLine(SixBlanks + path + QStringLiteral(" (repaired)"));
    }
    if (lister.disk.losesTimeWhenNamed) {
        // Both times: a driver that loses them may also miss an omitted one.
        const struct timespec time = {file.source.mtimeSeconds, file.source.mtimeNanoseconds};
        const struct timespec times[2] = {time, time};
        ::utimensat(visit.listing.targetHandle->Descriptor(), file.bytes.constData(), times,
                    AT_SYMLINK_NOFOLLOW);
    }
    SayWhatTheDiskKeeps(visit, file, outcome);
    if (visit.pipeline.Idle())
        report.ClearFileLabel();
    if (catalog)
        catalog->AddCopy(EncodeName(visit.folder.mid(setup.sourceFolder.size())) + file.bytes, size,
                         file.source.mtimeSeconds, outcome.kept ? keptAs : QByteArray(),
                         static_cast<int>(file.source.mode & 07777));
    ++visit.counts[2];
    ++state.lngTotalNumFilesCopied;
    state.dblTotalFilesize += static_cast<double>(size);
    report.ShowCopied(visit.drive, target.KnownFreeSpace(visit.targetFolder), false);
    return false;
}

void FolderWalk::SayWhatTheDiskKeeps(const FolderVisit& visit, const ListedFile& file,
                                     const CopyOutcome& outcome) {
    const DiskAbilities& disk = lister.disk;
    const QString& drive = disk.mountPoint.isEmpty() ? visit.drive : disk.mountPoint;
    const bool permissions = disk.keepsPermissions && !outcome.modeNotKept;
    if (!diskSaid) {
        diskSaid = true;
        QString notKept = disk.NotKeptText();
        if (!permissions && disk.keepsPermissions)
            notKept = QStringLiteral("permissions or owners");
        if (!notKept.isEmpty()) {
            report.EndLine();
            host.Output(SixBlanks + QStringLiteral("The backup disk ") + drive +
                            QStringLiteral(" keeps no ") + notKept +
                            QStringLiteral("; the copies keep contents and times."),
                        true);
        }
    }
    // On a disk that keeps permissions the copy's mode was narrowed to what the list granted.
    if (outcome.accessListDropped && permissions && !accessListsDroppedSaid) {
        accessListsDroppedSaid = true;
        report.EndLine();
        host.Output(SixBlanks + QStringLiteral("Access lists (ACLs) could not be kept on the "
                                               "target's file system; the copies grant no more "
                                               "than their sources."),
                    true);
    }
    if ((file.source.mode & (S_ISUID | S_ISGID)) != 0 && !setIdSaid &&
        (outcome.setIdDropped || !disk.keepsSetId)) {
        setIdSaid = true;
        report.EndLine();
        host.Output(SixBlanks + QStringLiteral("The backup disk ") + drive +
                        QStringLiteral(" keeps no set-user-ID or set-group-ID bits; files that "
                                       "have them are copied without them."),
                    true);
    }
    if (!disk.HoldsTime(file.source.mtimeSeconds))
        report.FileLine(SixBlanks + visit.folder + file.Name() +
                        QStringLiteral(" keeps its contents but not its time: this disk holds "
                                       "times from ") +
                        disk.TimeRangeText());
}

// A disk pulled out makes every copy after it fail: the run stops at the first, and says
// once, at its end, how many copies it cost. True the first time.
bool FolderWalk::DiskDisconnected() {
    ++filesLostWithDisk;
    if (filesLostWithDisk > 1)
        return false;
    state.blnStop = true;
    return true;
}

// Copies of files rewritten in place while they were copied, tried again a few times once
// the rest of the folder is done. False when the user chose to stop.
bool FolderWalk::RetryChangedCopies(FolderVisit& visit) {
    visit.retrying = true;
    bool ends = false;
    for (auto& [job, after] : visit.retries) {
        for (int attempt = 1; attempt <= 3 && !ends && !state.blnStop; ++attempt) {
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
        if (ends || state.blnStop)
            break;
        if (after(job->outcome))
            ends = true;
    }
    return !ends;
}

} // namespace vnt
