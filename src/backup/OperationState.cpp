#include "backup/OperationState.h"

#include "mainwindow/Language.h"

namespace vnt {

void OperationState::InitialiseOperationValues() {
    intManyFilesThreshold = 400;
    intMaxPathDisplayLength = 120;
    strExcludedFilepaths = QStringList{QString()};
}

int RunExitStatus(const OperationState& state) {
    if (state.blnInterrupted)
        return Interrupted;
    if (state.blnBackupDiskAbsent)
        return DiskNotConnected;
    if (!state.blnOperationStarted)
        return NothingDone;
    if (state.lngTotalNumCopyErrors > 0 ||
        state.lngTotalNumFilesDiffering + state.lngTotalNumFilesNotInTarget >
            (state.blnRepair ? state.lngTotalNumFilesRepaired : 0))
        return FinishedWithErrors;
    // Stopped before its end with nothing counted against it: not all was done.
    if (state.blnStop)
        return Interrupted;
    return state.blnReportLost ? FinishedWithErrors : Finished;
}

QList<ModifiedSincePeriod> ModifiedSincePeriods() {
    const QString twoWeeks = ProgramText(358);
    return {
        {ProgramText(353), -1},
        {ProgramText(356), 2},
        {ProgramText(357), 6},
        {twoWeeks, 13},
        // The four-week entry is the two-week text with its "2" made a "4".
        {QString(twoWeeks).replace(u'2', u'4'), 27},
    };
}

int ModifiedSincePeriodIndex(int storedIndex) {
    const qsizetype entries = ModifiedSincePeriods().size();
    return storedIndex >= 0 && storedIndex < entries ? storedIndex : 0;
}

} // namespace vnt
