#include "setups/SetupFile.h"

#include "backup/Counting.h"
#include "mainwindow/Filters.h"
#include "platform/FileErrors.h"
#include "platform/FoldersOnDisk.h"
#include "platform/Names.h"

#include <algorithm>
#include <array>
#include <cerrno>
#include <QFile>
#include <QSaveFile>

namespace vnt {

namespace {

constexpr int EndOfFile = 62;
constexpr char KeepReplacedLine[] = "keep-replaced=";
constexpr char RemindAfterLine[] = "remind-after-days=";
// A reminder further off than this is no reminder anyone waits for.
constexpr int LongestReminderDays = 366;
constexpr int TypeMismatch = 13; // a value the Setup cannot take
// Setup files are a few hundred bytes; more than this is not a setup file.
constexpr qint64 MaxReadBytes = 4 * 1024 * 1024;

QByteArray Number(int value) {
    QByteArray text = QByteArray::number(value);
    return (value >= 0 ? " " + text : text) + " ";
}

QString DroppedReason(int error) {
    if (error == ENOENT)
        return QStringLiteral(" does not exist.");
    if (error == ENOTDIR)
        return QStringLiteral(" is not a folder.");
    return QStringLiteral(" cannot be read: ") + FileErrorFromErrno(error).description + u'.';
}

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

// Keeps the named subfolders of the source that can be read and says why each other one is
// left out. Each folder's subfolders are counted once, however often the file names it.
void KeepSubfoldersThatCanBeRead(SetupFileRead& read, const QStringList& names) {
    Setup& setup = read.setup;
    const QList<SubfolderState> states = OpenSubfolders(setup.sourceFolder, names);
    QList<FolderIdentity> counted;
    for (qsizetype i = 0; i < names.size(); ++i) {
        const SubfolderState& state = states[i];
        const QString path = WithTrailingBackslash(setup.sourceFolder + names[i]);
        // A trash folder at a disk's root is never walked, only named; lost+found there is
        // root's own, and that a user cannot read it is no reason to refuse the Setup.
        if ((state.error == EACCES || state.error == EPERM) && IsRecycleBin(path)) {
            setup.includedFolders.append(names[i]);
            continue;
        }
        if (state.error != 0) {
            read.droppedFolders.append(QStringLiteral("Included subfolder ") + path +
                                       DroppedReason(state.error));
            continue;
        }
        setup.includedFolders.append(names[i]);
        if (read.someSubfolderHasSubfolders || counted.contains(state.identity))
            continue;
        counted.append(state.identity);
        read.someSubfolderHasSubfolders = CountSubfolders(path).count > 0;
    }
}

bool ParseNumber(const QByteArray& line, int& value) {
    bool ok = false;
    value = line.trimmed().toInt(&ok);
    return ok;
}

} // namespace

QByteArray SetupFileBytes(const Setup& setup) {
    const QByteArray crlf = "\r\n";
    QByteArray bytes;
    // Every text as its own bytes: a name that is not UTF-8 reads back as the same name.
    bytes += EncodeName(setup.sourceFolder) + crlf;
    bytes += EncodeName(setup.targetFolder) + crlf;
    for (const int value :
         {setup.suppressDetailedReports, setup.saveSetupOnQuit, setup.excludeFilesInSourceFolder,
          setup.includeSubfolders, setup.modifiedSinceIndex, setup.pauseAfterFirstCopy})
        bytes += Number(value) + crlf;
    bytes += EncodeName(setup.excludedFilepaths) + crlf;
    bytes += Number(static_cast<int>(setup.includedFolders.size())) + crlf;
    for (const QString& name : setup.includedFolders)
        bytes += EncodeName(name) + crlf;
    bytes += EncodeName(setup.fileExtension) + crlf;
    // Past the lines every version reads: older versions stop before it.
    if (setup.keepReplaced >= 0)
        bytes += KeepReplacedLine + QByteArray::number(setup.keepReplaced == 1 ? 1 : 0) + crlf;
    if (setup.remindAfterDays > 0)
        bytes += RemindAfterLine + QByteArray::number(setup.remindAfterDays) + crlf;
    return bytes;
}

QString SetupLineBreakProblem(const Setup& setup) {
    const auto broken = [](const QString& text) {
        const QByteArray bytes = EncodeName(text);
        return bytes.contains('\n') || bytes.contains('\r');
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

bool WriteSetupFile(const QString& path, const Setup& setup, QString* why) {
    const auto fail = [why](const QString& reason) {
        if (why != nullptr)
            *why = reason;
        return false;
    };
    const QString problem = SetupLineBreakProblem(setup);
    if (!problem.isEmpty())
        return fail(problem);
    // QSaveFile's error texts are the system's own (strerror) words for the failed call.
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        return fail(file.errorString());
    const QByteArray bytes = SetupFileBytes(setup);
    if (file.write(bytes) != bytes.size() || !file.commit())
        return fail(file.errorString());
    return true;
}

QString WithSetupFileExtension(const QString& path) {
    const QStringView name = QStringView(path).mid(path.lastIndexOf(u'/') + 1);
    return name.isEmpty() || name.contains(u'.') ? path : path + QStringLiteral(".vnt");
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
            *text = DecodeName(line);
        return true;
    };
    // No name holds a NUL byte; the system would cut the name there and find another.
    const auto nextName = [&](QString* text) {
        if (!next(text))
            return false;
        if (line.contains('\0')) {
            read.result = TypeMismatch;
            return false;
        }
        return true;
    };

    const bool folders = nextName(&setup.sourceFolder) && nextName(&setup.targetFolder);
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
    QStringList names;
    bool whole = true;
    for (int i = 0; i < count && whole; ++i) {
        QString name;
        whole = nextName(&name);
        if (whole)
            names.append(name);
    }
    // A missing source is reported for itself and takes its subfolders with it.
    if (FolderExists(setup.sourceFolder))
        KeepSubfoldersThatCanBeRead(read, names);
    if (!whole)
        return read;
    if (!next(&setup.fileExtension))
        return read;
    // The same filter whoever reads the file: the window's own cleaning of what was typed.
    setup.fileExtension = NormaliseExtensionFilter(setup.fileExtension);
    setup.modifiedSinceIndex = ModifiedSincePeriodIndex(setup.modifiedSinceIndex);
    // Lines after that are settings a newer version added; one not known is passed over.
    while (lines.Next(line)) {
        if (line == QByteArray(KeepReplacedLine) + '1')
            setup.keepReplaced = 1;
        else if (line == QByteArray(KeepReplacedLine) + '0')
            setup.keepReplaced = 0;
        else if (line.startsWith(RemindAfterLine)) {
            bool number = false;
            const int days = line.mid(sizeof RemindAfterLine - 1).toInt(&number);
            if (number && days > 0 && days <= LongestReminderDays)
                setup.remindAfterDays = days;
        }
    }
    return read;
}

} // namespace vnt
