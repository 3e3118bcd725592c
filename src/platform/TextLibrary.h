#pragma once
// The numbered text library: reads a program text file once and hands out its texts.
//
// File format (UTF-8): one text per line, "<number> <text>" with one blank or tab between
// them; "~" stands for the empty text; empty lines and lines whose first non-blank
// character is "#" are comments. Trailing CR is dropped, everything else is kept.

#include <QHash>
#include <QString>

namespace vnt {

// Load statuses: 1 or more is the number of texts read; the others are the failure codes
// that the start-up message table knows.
namespace TextStatus {
constexpr qint32 NothingRead = 0;
constexpr qint32 CannotOpen = -1;
constexpr qint32 TooMuchText = -3;
constexpr qint32 EmptyFile = -6;
constexpr qint32 ReadError = -7;
constexpr qint32 OutOfMemory = -8;
// Line-numbered conditions: base minus the line number.
constexpr qint32 MissingTextBase = -500;
constexpr qint32 TextTooLongBase = -1000;
constexpr qint32 DuplicateBase = -1500;
// The missing and too-long codes carry line numbers up to this; see failureLine().
constexpr int MaxEncodedLine = 500;
} // namespace TextStatus

class TextLibrary {
public:
    static constexpr int BufferCapacity = 1024; // characters a single text may hold
    static constexpr qsizetype MaxTotalChars = 4 * 1024 * 1024;
    static constexpr qint64 MaxFileBytes = 16 * 1024 * 1024;

    // Reads the file; the texts of an earlier successful load stay until this one succeeds.
    qint32 load(const QString& path, qint16 reserved = 0);

    // Copies text n of the language into buffer (capacity characters, at most
    // BufferCapacity) and returns its length; 0 when there is no such text.
    qint32 get(qint16 n, qint16 language, QChar* buffer, qint32 capacity, qint32 mode = 1) const;

    // The line of the last line-numbered failure. The status codes of the missing and
    // too-long conditions cannot hold lines past 500; this keeps the true line.
    int failureLine() const { return lastFailureLine; }

private:
    QHash<qint16, QString> texts;
    int lastFailureLine = 0;
};

// The one library instance that the program's texts live in.
TextLibrary& SharedTextLibrary();

} // namespace vnt
