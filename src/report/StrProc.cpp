#include "report/StrProc.h"

#include "platform/Drives.h"

#include <QLocale>

namespace vnt {

namespace {

constexpr double Kb = 1024.0;
constexpr double Mb = 1048576.0;
constexpr double Gb = 1073741824.0;

QString Grouped(double value, int decimals) {
    QLocale locale;
    // A minus sign of the locale's own form; never parentheses.
    return locale.toString(value, 'f', decimals);
}

QString ByteWord(bool capital) {
    return capital ? QStringLiteral("Bytes") : QStringLiteral("bytes");
}

QString ScaledSize(double bytes, qint16 decimals, bool withGb) {
    if (bytes == 0)
        return QStringLiteral("0 bytes");
    if (bytes < Kb)
        return QString::number(bytes, 'f', 0) + QStringLiteral(" bytes");
    if (bytes < Mb)
        return Grouped(bytes / Kb, decimals) + QStringLiteral(" Kb");
    if (bytes < Gb || !withGb)
        return Grouped(bytes / Mb, decimals) + QStringLiteral(" Mb");
    return Grouped(bytes / Gb, decimals) + QStringLiteral(" Gb");
}

} // namespace

QString FormatCount(double n) {
    return Grouped(n, 0);
}

QString FormatCount(qint64 n) {
    return QLocale().toString(n);
}

QString FormatByteCount(double bytes, bool capital) {
    if (bytes < 0)
        return {};
    if (bytes == 0)
        return QStringLiteral("0 ") + ByteWord(capital);
    return Grouped(bytes, 0) + u' ' + ByteWord(capital);
}

QString FormatByteSize(double bytes, bool capital) {
    if (bytes < 0)
        return {};
    QString text = FormatByteCount(bytes, capital);
    if (bytes > Mb)
        text += QStringLiteral(" (") + Grouped(bytes / Mb, 2) + QStringLiteral(" Mb)");
    return text;
}

QString FormatScaledSize(double bytes, qint16 decimals) {
    if (bytes < 0)
        return {};
    return ScaledSize(bytes, decimals, false);
}

QString FormatScaledSize2(double bytes, qint16 decimals) {
    return ScaledSize(bytes, decimals, true);
}

QString PluralSuffix(qint32 n) {
    return n == 1 ? QString() : QStringLiteral("s");
}

void TrimTrailingBlanks(QString& text) {
    qsizetype end = text.size();
    while (end > 0 && text[end - 1].unicode() <= 32)
        --end;
    text.truncate(end);
}

void TrimTrailingControls(QString& text) {
    qsizetype end = text.size();
    while (end > 0 && text[end - 1].unicode() < 32)
        --end;
    text.truncate(end);
}

QString ShortenedPath(const QString& path, qint16 maxLength, bool& shortened) {
    if (maxLength < path.size() && maxLength > 9) {
        shortened = true;
        return path.left(3) + QStringLiteral("...") + path.right(maxLength - 6);
    }
    return path;
}

QString DriveDesignation(const QString& path) {
    if (path.isEmpty())
        return {};
    QString root = RootPrefix(path);
    if (root.size() > 1 && root.endsWith(u'/'))
        root.chop(1);
    return root;
}

QString FileNameOfPath(const QString& path, bool lowerCase) {
    const QString name = path.mid(path.lastIndexOf(u'/') + 1);
    return lowerCase ? LowerCase(name) : name;
}

QString FolderOfPath(const QString& path) {
    const qsizetype slash = path.lastIndexOf(u'/');
    return slash < 0 ? QString() : path.left(slash + 1);
}

QString ExtensionOfPath(const QString& path, bool lowerCase) {
    const QString name = FileNameOfPath(path);
    const qsizetype dot = name.lastIndexOf(u'.');
    if (dot < 0)
        return {};
    const QString extension = name.mid(dot + 1);
    return lowerCase ? LowerCase(extension) : extension;
}

QString LowerCase(const QString& text) {
    QString result = text;
    for (QChar& c : result)
        c = c.toLower();
    return result;
}

QString UpperCase(const QString& text) {
    QString result = text;
    for (QChar& c : result)
        c = c.toUpper();
    return result;
}

} // namespace vnt
