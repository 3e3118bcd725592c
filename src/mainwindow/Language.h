#pragma once
// Program texts: every numbered message, caption and list entry the program shows.

#include <QString>

namespace vnt {

// Where the program text file lies: the program's folder, one separator, the file name.
QString ProgramTextFilePath(const QString& programFolder, const QString& fileName);

// The message shown when the program text file cannot be loaded. failureLine, when not 0,
// names the line of a line-numbered condition (it may lie beyond what status can hold).
QString ProgramTextLoadMessage(qint32 status, const QString& fullPath, int failureLine = 0);

// Loads the program texts from the named file in programFolder. Returns an empty string
// on success, else the message to show before the program ends.
QString LoadProgramText(const QString& fileName, const QString& programFolder);

// Text number n, or the empty string when there is none.
QString ProgramText(qint16 n);

} // namespace vnt
