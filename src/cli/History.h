#pragma once
// vantoro-cli history: the backups a target's catalogue records, newest first.

#include <QString>

namespace vnt {

// Prints the runs recorded in the target folder's catalogue, as text or as one JSON object;
// returns the exit status: 0 listed, 2 nothing listed (no usable catalogue, said on
// standard error).
int PrintHistory(const QString& targetFolder, bool asJson);

} // namespace vnt
