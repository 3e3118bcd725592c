#pragma once
// The extension filter, folder lists passed between windows, and the captions of the
// source summary.

#include <QString>
#include <QStringList>

namespace vnt {

// The extension filter in normal form: allowed letters, digits and wildcards only, lower case,
// empty when only "*" is left.
QString NormaliseExtensionFilter(const QString& text);
// True when a normalised filter is shorter than 2 (also when emptied) or longer than 5.
bool ExtensionFilterHasBadLength(const QString& normalised);
// The message for a filter of the wrong length.
QString ExtensionLengthMessage();

// Lists of folder names travel joined with CR LF; the receiver drops empty pieces and
// trims blanks.
QString JoinFolderList(const QStringList& names);
QStringList SplitFolderList(const QString& joined);

// The caption under the source: how many subfolders, how many selected. noneSelected is
// set when the caption ends in ", none selected".
QString SubfolderCountCaption(qint32 subfolders, int errorNumber, qint32 selected,
                              bool& noneSelected);

// The caption of the include-all check box for the included subfolders of source, or an
// empty string when the box is to be hidden.
QString IncludeSubfoldersCaption(const QString& source, const QStringList& included);

} // namespace vnt
