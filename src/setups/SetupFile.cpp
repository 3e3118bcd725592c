#include "setups/SetupFile.h"

#include "backup/Counting.h"
#include "mainwindow/FolderProc.h"
#include "platform/FileErrors.h"

#include <algorithm>
#include <array>
#include <QFile>
#include <QSaveFile>
#include <QStringDecoder>

namespace vnt {

namespace {

constexpr int EndOfFile = 62;
constexpr int TypeMismatch = 13; // a value the Setup cannot take
// Setup files are a few hundred bytes; more than this is not a setup file.
constexpr qint64 MaxReadBytes = 4 * 1024 * 1024;

QByteArray Number(int value) {
    QByteArray text = QByteArray::number(value);
    return (value >= 0 ? " " + text : text) + " ";
}

// The characters 0x80 to 0x9F of Windows-1252; the rest is Latin-1.
constexpr std::array<char16_t, 32> Cp1252High = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0x008D, 0x017D, 0x008F, 0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178};

// The lines of a file, each without its line end.
class LineReader {
public:
    explicit LineReader(const QByteArray& bytes) : data(bytes) {}
    bool Next(QByteArray& line) {
        if (pos >= data.size())
            return false;
        qsizetype end = data.indexOf('\n', pos);
        if (end < 0)
            end = data.size();
        line = data.mid(pos, end - pos);
        if (line.endsWith('\r'))
            line.chop(1);
        pos = end + 1;
        return true;
    }

private:
    const QByteArray& data;
    qsizetype pos = 0;
};

bool ParseNumber(const QByteArray& line, int& value) {
    bool ok = false;
    value = line.trimmed().toInt(&ok);
    return ok;
}

} // namespace

QString DecodeSetupLine(const QByteArray& line) {
    QStringDecoder utf8(QStringDecoder::Utf8);
    const QString text = utf8.decode(line);
    if (!utf8.hasError())
        return text;
    QString latin;
    latin.reserve(line.size());
    for (const char byte : line) {
        const auto c = static_cast<unsigned char>(byte);
        latin.append(c >= 0x80 && c < 0xA0 ? QChar(Cp1252High[c - 0x80]) : QChar(c));
    }
    return latin;
}

QByteArray SetupFileBytes(const Setup& setup) {
    const QByteArray crlf = "\r\n";
    QByteArray bytes;
    bytes += setup.sourceFolder.toUtf8() + crlf;
    bytes += setup.targetFolder.toUtf8() + crlf;
    for (const int value :
         {setup.suppressDetailedReports, setup.saveSetupOnQuit, setup.excludeFilesInSourceFolder,
          setup.includeSubfolders, setup.modifiedSinceIndex, setup.pauseAfterFirstCopy})
        bytes += Number(value) + crlf;
    bytes += setup.excludedFilepaths.toUtf8() + crlf;
    bytes += Number(static_cast<int>(setup.includedFolders.size())) + crlf;
    for (const QString& name : setup.includedFolders)
        bytes += name.toUtf8() + crlf;
    bytes += setup.fileExtension.toUtf8() + crlf;
    return bytes;
}

QString SetupLineBreakProblem(const Setup& setup) {
    const auto broken = [](const QString& text) {
        return text.contains(u'\n') || text.contains(u'\r');
    };
    QString item;
    if (broken(setup.sourceFolder))
        item = QStringLiteral("The name of the source folder");
    else if (broken(setup.targetFolder))
        item = QStringLiteral("The name of the target folder");
    else if (std::any_of(setup.includedFolders.cbegin(), setup.includedFolders.cend(), broken))
        item = QStringLiteral("The name of an included subfolder");
    else if (broken(setup.excludedFilepaths))
        item = QStringLiteral("The text of filepaths to skip");
    else if (broken(setup.fileExtension))
        item = QStringLiteral("The file extension");
    else
        return {};
    return item + QStringLiteral(" holds a line break, which a setup file cannot store.");
}

bool WriteSetupFile(const QString& path, const Setup& setup) {
    if (!SetupLineBreakProblem(setup).isEmpty())
        return false;
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        return false;
    const QByteArray bytes = SetupFileBytes(setup);
    if (file.write(bytes) != bytes.size())
        return false;
    return file.commit();
}

QString SetupReadFailureReason(int result) {
    if (result == EndOfFile)
        return QStringLiteral("The file ended before all its settings were read.");
    if (result == TypeMismatch)
        return QStringLiteral("A setting in the file holds a value that the setup cannot take.");
    if (result == ErrorNumber::PermissionDenied)
        return QStringLiteral("Permission to read the file was denied.");
    if (result == ErrorNumber::PathNotFound)
        return QStringLiteral("The file was not found.");
    return QStringLiteral("Error %1.").arg(result);
}

SetupFileRead ReadSetupFile(const QString& path) {
    SetupFileRead read;
    Setup& setup = read.setup;
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        QByteArray ignored;
        const FileError error = ReadWholeFile(path, ignored);
        read.result = error ? error.number : ErrorNumber::Other;
        return read;
    }
    const QByteArray bytes = file.read(MaxReadBytes);
    if (file.error() != QFileDevice::NoError) {
        read.result = ErrorNumber::Other;
        return read;
    }
    LineReader lines(bytes);
    QByteArray line;
    const auto next = [&](QString* text) {
        if (!lines.Next(line)) {
            read.result = EndOfFile;
            return false;
        }
        if (text != nullptr)
            *text = DecodeSetupLine(line);
        return true;
    };

    const bool folders = next(&setup.sourceFolder) && next(&setup.targetFolder);
    // The rules and the path mapping need one spelling: absolute, one trailing "/".
    setup.sourceFolder = NormaliseFolder(setup.sourceFolder);
    setup.targetFolder = NormaliseFolder(setup.targetFolder);
    if (!folders)
        return read;
    // Lines 3 to 8, in the file's order.
    std::array<int*, 6> numbers = {&setup.suppressDetailedReports,    &setup.saveSetupOnQuit,
                                   &setup.excludeFilesInSourceFolder, &setup.includeSubfolders,
                                   &setup.modifiedSinceIndex,         &setup.pauseAfterFirstCopy};
    for (size_t i = 0; i < numbers.size(); ++i) {
        int value = 0;
        if (!next(nullptr))
            return read;
        const bool isIndex = numbers[i] == &setup.modifiedSinceIndex;
        const bool fits = ParseNumber(line, value) &&
                          (isIndex ? value >= -1 && value <= 4 : value >= 0 && value <= 2);
        if (!fits) {
            read.result = TypeMismatch;
            return read;
        }
        *numbers[i] = value;
    }
    if (!next(&setup.excludedFilepaths))
        return read;
    int count = 0;
    if (!next(nullptr))
        return read;
    if (!ParseNumber(line, count)) {
        read.result = TypeMismatch;
        return read;
    }
    // Lines are read one by one, so a huge count costs nothing until the file runs out.
    for (int i = 0; i < count; ++i) {
        QString name;
        if (!next(&name))
            return read;
        if (FolderExists(setup.sourceFolder + name)) {
            setup.includedFolders.append(name);
            if (!read.someSubfolderHasSubfolders)
                read.someSubfolderHasSubfolders =
                    CountSubfolders(setup.sourceFolder + name).count > 0;
        }
    }
    next(&setup.fileExtension);
    return read;
}

} // namespace vnt
