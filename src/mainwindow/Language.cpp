#include "mainwindow/Language.h"

#include "platform/TextLibrary.h"

#include <array>

namespace vnt {

QString ProgramTextFilePath(const QString& programFolder, const QString& fileName) {
    if (programFolder.endsWith(u'/'))
        return programFolder + fileName;
    return programFolder + u'/' + fileName;
}

QString ProgramTextLoadMessage(qint32 status, const QString& fullPath, int failureLine) {
    const auto withLine = [failureLine](const char* text, qint32 lineFromStatus) {
        const int line = failureLine > 0 ? failureLine : lineFromStatus;
        return QString::fromLatin1(text) + u' ' + QString::number(line) + u'.';
    };
    switch (status) {
    case 0:
        return QStringLiteral("No program text was read.");
    case -1:
        return QStringLiteral("Cannot open file containing program text.\r\n") + fullPath;
    case -2:
        return QStringLiteral("Particular memory allocation error.");
    case -3:
        return QStringLiteral("Too much program text.");
    case -4:
        return QStringLiteral("Text not recovered.");
    case -6:
        return QStringLiteral("File is empty.");
    case -7:
        return QStringLiteral("Error reading file.");
    case -8:
        return QStringLiteral("General memory allocation error.");
    default:
        break;
    }
    if (status >= -500)
        return QStringLiteral("Error ") + QString::number(status);
    if (status >= -1000)
        return withLine("Missing string at line", -(status + 500));
    if (status >= -1500)
        return withLine("String too long at line", -(status + 1000));
    return withLine("Duplicate in program text at line", -(status + 1500));
}

QString LoadProgramText(const QString& fileName, const QString& programFolder) {
    const QString path = ProgramTextFilePath(programFolder, fileName);
    TextLibrary& library = SharedTextLibrary();
    const qint32 status = library.load(path, 0);
    if (status >= 1)
        return {};
    return ProgramTextLoadMessage(status, path, library.failureLine());
}

QString ProgramTextNotFoundMessage(const QString& fileName, const QStringList& folders) {
    QStringList paths;
    for (const QString& folder : folders)
        paths.append(ProgramTextFilePath(folder, fileName));
    return ProgramTextLoadMessage(-1, paths.join(QStringLiteral("\r\n")));
}

QString ProgramText(qint16 n) {
    // One retrieval buffer for every fetch, as the library's callers share it.
    static std::array<QChar, TextLibrary::BufferCapacity> buffer;
    const qint32 length =
        SharedTextLibrary().get(n, 0, buffer.data(), TextLibrary::BufferCapacity, 1);
    if (length <= 0)
        return {};
    QString text(buffer.data(), length);
    if (text == u"~")
        return {};
    return text;
}

} // namespace vnt
