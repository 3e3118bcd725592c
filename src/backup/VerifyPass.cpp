// The walk's comparison of contents: every copy byte for byte against its source, small
// files gathered into one job for the copier threads, and with --repair what differs copied
// again as a backup would copy it.

#include "backup/Walk.h"
#include "report/ReportHost.h"
#include "report/StrProc.h"

#include <fcntl.h>

namespace vnt {

namespace {
const QString SixBlanks = QStringLiteral("      ");
// Files up to this size are compared several to a job.
constexpr qint64 SmallCompareBytes = 256 * 1024;
} // namespace

FolderWalk::Step FolderWalk::VerifyFile(FolderVisit& visit, const ListedFile& file) {
    if (!IsWithinModifiedSinceWindow(file.source.mtimeSeconds, setup.modifiedSinceDays,
                                     todayDayNumber, zoneOffsetMinutes))
        return Step::GoesOn;
    // Compared; copied again only when asked to repair what differs.
    if (!state.blnRepair)
        return VerifyContents(visit, file) ? Step::Ends : Step::GoesOn;
    const Repair repair = RepairNeeded(visit, file);
    if (repair != Repair::Copy)
        return repair == Repair::Stop ? Step::Ends : Step::GoesOn;
    const int rule = SystemFileRule(file, setup.fileExtension);
    RefuseSystemFile(visit, visit.folder + file.Name(), rule);
    return rule == 0 ? Step::Copies : Step::GoesOn;
}

// --since-last passes over a copy when neither it nor its source changed since the last
// comparison and it did not differ then. Any write to either file, a new copy and a changed
// time all move the inode's change time, which nobody can set back.
bool FolderWalk::SinceLastSkips(const ListedFile& file, const QString& path) const {
    const qint64 since = state.lngVerifyChangedSince;
    return since >= 0 && file.source.ctimeNanoseconds < since &&
           file.target.ctimeNanoseconds < since && !state.strVerifyAgain.contains(path);
}

// Counts and words what one comparison found. True when the user chose to stop.
bool FolderWalk::ReportComparison(const CompareOutcome& compared, const QString& path) {
    if (compared.cancelled)
        return false;
    ++state.lngTotalNumFilesCompared;
    state.dblTotalBytesCompared += static_cast<double>(compared.bytes);
    if (compared.error) {
        state.strVerifyProblems.append(path);
        return report.FileFailure(
            path, (compared.inTarget ? QStringLiteral("(in the target) ") : QString()) +
                      compared.error.description);
    }
    if (compared.differsAt >= 0) {
        ++state.lngTotalNumFilesDiffering;
        state.strVerifyProblems.append(path);
        const QString differs = QStringLiteral("Contents differ at byte ") +
                                FormatCount(static_cast<double>(compared.differsAt));
        report.FileLine(SixBlanks + path + QStringLiteral(" (") + differs + u')');
        ReportFailure(state, host, path, differs);
    }
    return false;
}

bool FolderWalk::ReportNotInTarget(FolderVisit& visit, const QString& path) {
    return visit.pipeline.Then([this, path] {
        ++state.lngTotalNumFilesNotInTarget;
        report.FileLine(SixBlanks + path + QStringLiteral(" (Not in target)"));
        ReportFailure(state, host, path, QStringLiteral("Not in target"));
        return false;
    });
}

// A file missing from the target is named; a copy is compared byte for byte with its source
// (on the copier threads), unless --since-last passes over it. True when the user chose to
// stop.
bool FolderWalk::VerifyContents(FolderVisit& visit, const ListedFile& file) {
    const FileFacts& copyFacts = file.target;
    const QString path = visit.folder + file.Name();
    if (!copyFacts.exists || copyFacts.directory)
        return ReportNotInTarget(visit, path);
    if (SinceLastSkips(file, path))
        return false;
    const std::shared_ptr<const FolderHandle>& sourceHandle = visit.listing.sourceHandle;
    const std::shared_ptr<const FolderHandle>& targetHandle = visit.listing.targetHandle;
    const bool open = sourceHandle->IsOpen() && targetHandle->IsOpen();
    if (bool stop = false;
        open && file.source.size <= SmallCompareBytes &&
        visit.pipeline.Gather(
            sourceHandle, targetHandle, {file.bytes, path, {file.source.size, copyFacts.size}, {}},
            file.source.size,
            [this](const CopyJob& job) {
                // Cancel pressed during a line: the files after it are not reported, as on
                // the serial engine.
                for (const CompareItem& item : job.batch) {
                    if (state.blnStop)
                        return false;
                    if (ReportComparison(item.compared, item.path))
                        return true;
                }
                return false;
            },
            stop))
        return stop;
    auto job = std::make_shared<CopyJob>();
    job->compare = true;
    job->listed = {file.source.size, copyFacts.size};
    if (open) {
        job->sourceFolder = sourceHandle;
        job->targetFolder = targetHandle;
        job->sourceName = job->targetName = file.bytes;
    } else {
        job->sourcePath = path;
        job->targetPath = visit.targetFolder + file.Name();
    }
    return visit.pipeline.HandOut(job, [this, job, path](const CopyOutcome&) {
        return ReportComparison(job->compared, path);
    });
}

// verify --repair: compared here and now, since a copy follows the comparison at once.
FolderWalk::Repair FolderWalk::RepairNeeded(FolderVisit& visit, const ListedFile& file) {
    const QString path = visit.folder + file.Name();
    if (!file.target.exists || file.target.directory)
        return ReportNotInTarget(visit, path) ? Repair::Stop : Repair::Copy;
    if (SinceLastSkips(file, path))
        return Repair::None;
    const CompareOutcome compared = CompareNow(visit, file);
    if (visit.pipeline.Then([this, compared, path] { return ReportComparison(compared, path); }))
        return Repair::Stop;
    return !compared.cancelled && !compared.error && compared.differsAt >= 0 ? Repair::Copy
                                                                             : Repair::None;
}

CompareOutcome FolderWalk::CompareNow(const FolderVisit& visit, const ListedFile& file) {
    const auto goOn = [this] {
        host.Yield();
        return !state.blnStop;
    };
    const ListedSizes sizes{file.source.size, file.target.size};
    const FolderHandle& source = *visit.listing.sourceHandle;
    const FolderHandle& copies = *visit.listing.targetHandle;
    return source.IsOpen() && copies.IsOpen()
               ? CompareFiles(source.Descriptor(), file.bytes, copies.Descriptor(), file.bytes,
                              goOn, sizes)
               : CompareFiles(AT_FDCWD, EncodeName(visit.folder + file.Name()), AT_FDCWD,
                              EncodeName(visit.targetFolder + file.Name()), goOn, sizes);
}

ModifiedVerdict::Contents FolderWalk::CompareContents(const FolderVisit& visit,
                                                      const ListedFile& file) {
    using Contents = ModifiedVerdict::Contents;
    const CompareOutcome compared = CompareNow(visit, file);
    // A comparison the user stopped decides nothing: the walk ends before the next file.
    if (compared.cancelled)
        return Contents::NotCompared;
    if (compared.same)
        return Contents::Same;
    return compared.error ? Contents::Unreadable : Contents::Differ;
}

} // namespace vnt
