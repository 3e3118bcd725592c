#include "backup/Decision.h"

#include "report/StrProc.h"

namespace vnt {

namespace {
constexpr qint64 LargeSystemFileBytes = 10487560;
} // namespace

int SystemFileRule(const ListedFile& file, const QString& filter) {
    if (file.source.size <= LargeSystemFileBytes)
        return 0;
    const QString extension = LowerCase(ExtensionOfPath(file.Name(), true));
    if (extension == u"sys" && (filter.isEmpty() || filter == u"sys"))
        return 390;
    if (extension == u"swp" && (filter.isEmpty() || filter == u"swp"))
        return 164;
    return 0;
}

FileDecision DecideFile(const ListedFile& file, const DecisionRules& rules,
                        const std::function<ModifiedVerdict::Contents()>& secondLook) {
    FileDecision decision;
    const FileFacts& source = file.source;
    const FileFacts& target = file.target;
    if (!IsWithinModifiedSinceWindow(source.mtimeSeconds, rules.modifiedSinceDays,
                                     rules.todayDayNumber, rules.zoneOffsetMinutes))
        return decision;
    if (rules.backupAll) {
        decision.copy = true;
    } else if (target.exists && !target.directory) {
        ModifiedVerdict verdict =
            JudgeFileModified(source.size, source.mtimeSeconds, target.size, target.mtimeSeconds);
        if (verdict.modified && verdict.reason != ModifiedVerdict::Reason::Sizes &&
            (source.mtimeSeconds < rules.earliestTime || source.mtimeSeconds > rules.latestTime)) {
            verdict.modified = false;
            verdict.reason = ModifiedVerdict::Reason::DiskTime;
        }
        if (verdict.NeedsSecondLook())
            verdict.SetContents(secondLook());
        if (verdict.modified) {
            decision.copy = true;
            decision.kind = FileDecision::Kind::Modified;
        }
        // Also the files taken as unchanged although their times differ: a same-size edit
        // could hide there.
        if (rules.explain && (verdict.modified || verdict.Tolerated() ||
                              verdict.contents != ModifiedVerdict::Contents::NotCompared)) {
            decision.explained = true;
            decision.explainUnchanged = !verdict.modified;
            decision.explanation = VerdictText(verdict);
        }
    } else {
        decision.copy = true;
        decision.kind = FileDecision::Kind::New;
        decision.explained = rules.explain;
        decision.explanation = QStringLiteral("no copy in the target");
    }
    decision.copy = decision.copy && rules.copies;
    if (decision.copy) {
        decision.refusedBy = SystemFileRule(file, rules.extensionFilter);
        decision.copy = decision.refusedBy == 0;
    }
    return decision;
}

} // namespace vnt
