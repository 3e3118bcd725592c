#pragma once
// Program texts: every numbered message, caption and list entry the program shows.

#include <QString>
#include <QStringList>

namespace vnt {

// Where the program text file lies: the program's folder, one separator, the file name.
QString ProgramTextFilePath(const QString& programFolder, const QString& fileName);

// The message shown when the program text file cannot be loaded. failureLine, when not 0,
// names the line of a line-numbered condition (it may lie beyond what status can hold).
QString ProgramTextLoadMessage(qint32 status, const QString& fullPath, int failureLine = 0);

// Loads the program texts from the named file in programFolder. Returns an empty string
// on success, else the message to show before the program ends.
QString LoadProgramText(const QString& fileName, const QString& programFolder);

// The message shown when no folder tried holds the program text file: the one for a file
// that cannot be opened, naming the file in each of those folders, one to a line.
QString ProgramTextNotFoundMessage(const QString& fileName, const QStringList& folders);

// Text number n, or the empty string when there is none.
QString ProgramText(qint16 n);

} // namespace vnt
