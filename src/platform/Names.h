#pragma once
// File names are bytes on Linux. They cross into QString here and nowhere else: valid UTF-8
// is decoded as usual, and every byte that is not part of valid UTF-8 becomes a lone
// surrogate U+DC80..U+DCFF, which EncodeName turns back into the same byte. So a name that
// no text encoding can show is still backed up under its exact bytes. A line break (LF, CR)
// in a name becomes U+DC0A or U+DC0D the same way: the line breaks of a report are then its
// own, never a name's.

#include <QByteArray>
#include <QString>

namespace vnt {

QString DecodeName(const char* bytes, qsizetype size);
QString DecodeName(const QByteArray& bytes);
QByteArray EncodeName(const QString& name);

// The text a person reads: each byte that was not valid UTF-8 shown as U+FFFD, a line break
// in a name as "\n" or "\r".
QString ShownName(const QString& text);
// The same for one line that reaches a terminal or a file: every control character (a
// terminal's escape, a line break) written as \n, \r, \t or \xHH, as ls shows names.
QString ShownLine(const QString& text);
// The same, the text's own line breaks (LF, CR) kept.
QString ShownLines(const QString& text);

} // namespace vnt
