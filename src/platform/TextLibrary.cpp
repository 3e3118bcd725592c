#include "platform/TextLibrary.h"

#include <new>
#include <QFile>
#include <QStringDecoder>

namespace vnt {

namespace {

// A failing line maps to its condition's code; lines beyond what the code can hold keep
// the class's last code so the condition is never mistaken for the next one.
qint32 LineStatus(qint32 base, int line) {
    if (base == TextStatus::DuplicateBase || line <= TextStatus::MaxEncodedLine)
        return base - line;
    return base - TextStatus::MaxEncodedLine;
}

bool IsBlankChar(QChar c) {
    return c == u' ' || c == u'\t';
}

} // namespace

qint32 TextLibrary::load(const QString& path, qint16 /*reserved*/) {
    lastFailureLine = 0;
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return TextStatus::CannotOpen;
    if (file.size() > MaxFileBytes)
        return TextStatus::TooMuchText;

    try {
        const QByteArray bytes = file.readAll();
        if (file.error() != QFileDevice::NoError)
            return TextStatus::ReadError;
        if (bytes.isEmpty())
            return TextStatus::EmptyFile;

        QStringDecoder decoder(QStringDecoder::Utf8);
        QString content = decoder.decode(bytes);
        if (decoder.hasError())
            return TextStatus::ReadError;
        if (content.startsWith(QChar(0xFEFF)))
            content.remove(0, 1);

        QHash<qint16, QString> loaded;
        qsizetype totalChars = 0;
        int lineNo = 0;
        for (QStringView line : QStringView(content).split(u'\n')) {
            ++lineNo;
            if (line.endsWith(u'\r'))
                line.chop(1);
            const QStringView trimmed = line.trimmed();
            if (trimmed.isEmpty() || trimmed.startsWith(u'#'))
                continue;

            // The number: leading blanks allowed, then digits up to a blank or tab.
            qsizetype pos = 0;
            while (pos < line.size() && IsBlankChar(line[pos]))
                ++pos;
            const qsizetype numStart = pos;
            while (pos < line.size() && line[pos].isDigit() && line[pos].unicode() < 128)
                ++pos;
            bool ok = false;
            const int number = line.mid(numStart, pos - numStart).toInt(&ok);
            const bool separated = pos == line.size() || IsBlankChar(line[pos]);
            // A line that does not start with a usable number holds no text we can file.
            if (!ok || !separated || number > 32767) {
                lastFailureLine = lineNo;
                return LineStatus(TextStatus::MissingTextBase, lineNo);
            }
            const QStringView text = pos < line.size() ? line.mid(pos + 1) : QStringView();
            if (text.trimmed().isEmpty()) {
                lastFailureLine = lineNo;
                return LineStatus(TextStatus::MissingTextBase, lineNo);
            }
            if (text.size() > BufferCapacity) {
                lastFailureLine = lineNo;
                return LineStatus(TextStatus::TextTooLongBase, lineNo);
            }
            const auto key = static_cast<qint16>(number);
            if (loaded.contains(key)) {
                lastFailureLine = lineNo;
                return LineStatus(TextStatus::DuplicateBase, lineNo);
            }
            totalChars += text.size();
            if (totalChars > MaxTotalChars)
                return TextStatus::TooMuchText;
            loaded.insert(key, text.toString());
        }
        if (loaded.isEmpty())
            return TextStatus::NothingRead;
        texts = std::move(loaded);
        return static_cast<qint32>(texts.size());
    } catch (const std::bad_alloc&) {
        return TextStatus::OutOfMemory;
    }
}

qint32 TextLibrary::get(qint16 n, qint16 language, QChar* buffer, qint32 capacity,
                        qint32 /*mode*/) const {
    if (language != 0 || buffer == nullptr || capacity <= 0)
        return 0;
    const auto it = texts.constFind(n);
    if (it == texts.constEnd())
        return 0;
    const QString& text = *it;
    const qint32 length = static_cast<qint32>(std::min<qsizetype>(text.size(), capacity));
    std::copy_n(text.constData(), length, buffer);
    return length;
}

TextLibrary& SharedTextLibrary() {
    static TextLibrary library;
    return library;
}

} // namespace vnt
