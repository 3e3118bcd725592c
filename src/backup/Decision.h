#pragma once
// What a backup or check does with one listed file: new, modified or unchanged by the time
// rules, copied or left out by a rule, and the reason --explain prints. Nothing here reads
// or writes a file; the second look at the contents is the caller's.

#include "backup/FileTimes.h"
#include "backup/Listing.h"

#include <functional>
#include <limits>
#include <QString>

namespace vnt {

struct DecisionRules {
    bool backupAll = false; // every file in the period is copied, new or not
    bool copies = true;     // false: the check, which only counts
    bool explain = false;
    int modifiedSinceDays = -1;
    qint32 todayDayNumber = 0;
    qint32 zoneOffsetMinutes = 0;
    QString extensionFilter;
    // The modification times the target's disk can hold: a copy of a file outside them has
    // another time, and only its contents tell whether it is the file's.
    qint64 earliestTime = std::numeric_limits<qint64>::min();
    qint64 latestTime = std::numeric_limits<qint64>::max();
};

struct FileDecision {
    enum class Kind { Unchanged, New, Modified };
    Kind kind = Kind::Unchanged; // counted and named as such
    bool copy = false;
    // Windows' page, hibernation and swap files: the program text of the rule that leaves
    // the file out (it is named and counted), else 0.
    int refusedBy = 0;
    // With --explain: a line saying why (explained), under the file named although
    // counted unchanged where explainUnchanged.
    bool explained = false;
    bool explainUnchanged = false;
    QString explanation;
};

// Windows' own page, hibernation and swap files, by the file's own extension (a Linux
// user's folder or file that merely holds ".sys" loses nothing): the program text of the
// rule that leaves a file to be copied out, else 0.
int SystemFileRule(const ListedFile& file, const QString& extensionFilter);

// secondLook compares the contents of a copy taken as unchanged although its time differs.
FileDecision DecideFile(const ListedFile& file, const DecisionRules& rules,
                        const std::function<ModifiedVerdict::Contents()>& secondLook);

} // namespace vnt
