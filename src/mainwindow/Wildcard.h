#pragma once
// "*" and "?" matching for the extension filter and file counting. A "*" runs to the first
// later occurrence of the next literal character: the matcher never backtracks.

#include <QString>

namespace vnt {

bool MatchesWildcardPart(const QString& text, const QString& pattern, bool exactCase);

// Whole file names: base against base and extension against extension ("*.*" matches any
// ordinary name, also one without a dot).
bool MatchesWildcardPattern(const QString& fileName, const QString& pattern, bool exactCase);

} // namespace vnt
