#pragma once
// The text forms of counts, byte sizes and paths used in reports, labels and dialogs.
// Grouping and decimal separators follow QLocale() (the user's locale unless set otherwise).

#include <QString>

namespace vnt {

QString FormatCount(double n);
QString FormatCount(qint64 n);
inline QString FormatCount(qint32 n) {
    return FormatCount(static_cast<qint64>(n));
}

// "3,145,728 bytes"; "Bytes" when capital; empty for a negative count.
QString FormatByteCount(double bytes, bool capital = false);
// The byte count, with " (3.00 Mb)" appended above 1 Mb.
QString FormatByteSize(double bytes, bool capital = false);
// bytes, Kb or Mb (values of 1 Gb and more stay in Mb); empty for a negative count.
QString FormatScaledSize(double bytes, qint16 decimals);
// bytes, Kb, Mb or Gb; a negative count is written like a small one.
QString FormatScaledSize2(double bytes, qint16 decimals);

// "" for one, "s" for any other count.
QString PluralSuffix(qint32 n);

// Remove trailing characters of code 32 or less / below 32, in place.
void TrimTrailingBlanks(QString& text);
void TrimTrailingControls(QString& text);

// The path itself, or its first 3 characters, "..." and its end, exactly maxLength long;
// shortened is set only when it was shortened.
QString ShortenedPath(const QString& path, qint16 maxLength, bool& shortened);

// Names the disk that holds the path: its mount point without the trailing "/" ("/" stays).
QString DriveDesignation(const QString& path);

QString FileNameOfPath(const QString& path, bool lowerCase = false);
QString FolderOfPath(const QString& path);
QString ExtensionOfPath(const QString& path, bool lowerCase = false);

// Character-by-character case mapping: the length never changes.
QString LowerCase(const QString& text);
QString UpperCase(const QString& text);

} // namespace vnt
