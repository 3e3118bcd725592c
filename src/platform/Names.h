#pragma once
// File names are bytes on Linux. They cross into QString here and nowhere else: valid UTF-8
// is decoded as usual, and every byte that is not part of valid UTF-8 becomes a lone
// surrogate U+DC80..U+DCFF, which EncodeName turns back into the same byte. So a name that
// no text encoding can show is still backed up under its exact bytes.

#include <QByteArray>
#include <QString>

namespace vnt {

QString DecodeName(const char* bytes, qsizetype size);
QString DecodeName(const QByteArray& bytes);
QByteArray EncodeName(const QString& name);

// The text a person reads: each byte that was not valid UTF-8 shown as U+FFFD.
QString ShownName(const QString& text);

} // namespace vnt
