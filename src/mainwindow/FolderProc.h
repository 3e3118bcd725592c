#pragma once
// Folder path rules above the disk: containment, names counted from the end, the target
// rule and the words of a failed write test.

// Most users of these rules ask the disk about the same folders.
#include "platform/FoldersOnDisk.h"

#include <QString>

namespace vnt {

// True when path lies in folder (both compared with a trailing "/"); an equal path counts
// unless strict.
bool IsWithinFolder(const QString& path, const QString& folder, bool strict);

// The (n+1)-th folder name from the end of the path below its root (n = 0: the last one).
// Empty when there are only n names; empty and tooFew set when there are fewer.
QString PathPartFromEnd(const QString& path, int n, bool& tooFew);
QString PathPartFromEnd(const QString& path, int n);

// How a candidate target stands to the source, by real location.
enum class TargetRule { Acceptable, EqualsSource, HoldsSource };
TargetRule CheckTargetRule(const QString& candidate, const QString& source);

// The words for a failed write test: protectedText for protection, other words otherwise,
// then the system's reason.
QString WriteTestFailureText(int errorNumber, const QString& systemReason,
                             const QString& protectedText);

} // namespace vnt
