#include "report/ReportFile.h"

#include "platform/Names.h"

#include <algorithm>
#include <QDir>
#include <QFile>
#include <QRegularExpression>

namespace vnt {

namespace {

const QString CRLF = QStringLiteral("\r\n");

// Date and time first, so that names sort as the reports were made.
const QRegularExpression& ReportNamePattern() {
    static const QRegularExpression pattern(
        QStringLiteral("^\\d{4}-\\d\\d-\\d\\d_\\d\\d-\\d\\d-\\d\\d_[a-z]+(-[a-z]+)*(-\\d+)?\\.txt$"));
    return pattern;
}

void RemoveOldReports(const QString& folder) {
    const QDir dir(folder);
    QStringList names = dir.entryList(QDir::Files | QDir::Hidden, QDir::Name);
    names.removeIf([](const QString& name) { return !IsReportFileName(name); });
    for (qsizetype i = 0; i + ReportFile::KeptReports < names.size(); ++i)
        QFile::remove(dir.filePath(names[i]));
}

} // namespace

QString ReportFileLine(const QString& path) {
    return QStringLiteral("The whole report is kept in the file ") + path;
}

bool IsReportFileName(const QString& name) {
    return ReportNamePattern().match(name).hasMatch();
}

ReportFile::ReportFile() = default;

ReportFile::~ReportFile() {
    End();
}

bool ReportFile::Begin(const QString& folder, const QString& operation, const QDateTime& at,
                       QString& why) {
    End();
    path.clear();
    problem.clear();
    pending.clear();
    // The reports say what was in the user's folders: for the user's eyes only.
    if (!QDir().mkpath(folder)) {
        why = QStringLiteral("Cannot make the folder ") + folder;
        return false;
    }
    QFile::setPermissions(folder, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    const QString stem = QDir(folder).filePath(at.toString(QStringLiteral("yyyy-MM-dd_HH-mm-ss_")) +
                                               operation);
    // Two reports in one second get a number; an existing file is never written over.
    for (int attempt = 1; attempt <= 100; ++attempt) {
        auto made = std::make_unique<QFile>(
            attempt == 1 ? stem + QStringLiteral(".txt")
                         : stem + u'-' + QString::number(attempt) + QStringLiteral(".txt"));
        if (made->open(QIODevice::WriteOnly | QIODevice::NewOnly,
                       QFile::ReadOwner | QFile::WriteOwner)) {
            file = std::move(made);
            path = file->fileName();
            RemoveOldReports(folder);
            return true;
        }
        if (made->exists())
            continue;
        why = made->errorString();
        return false;
    }
    why = QStringLiteral("Too many reports in the same second");
    return false;
}

void ReportFile::Append(const QString& piece) {
    if (!file)
        return;
    pending += piece;
    WriteFinishedLines();
}

void ReportFile::WriteFinishedLines() {
    const qsizetype end = pending.lastIndexOf(CRLF);
    if (end < 0)
        return;
    QString lines = pending.left(end + 2);
    pending.remove(0, end + 2);
    lines.replace(CRLF, QStringLiteral("\n"));
    if (problem.isEmpty() && file->write(ShownLines(lines).toUtf8()) < 0)
        problem = file->errorString();
}

void ReportFile::RemoveFromEnd(qsizetype count) {
    pending.chop(std::min(count, pending.size()));
}

void ReportFile::Restart(const QString& text) {
    pending.clear();
    Append(text);
}

QString ReportFile::End() {
    if (!file)
        return {};
    if (!pending.isEmpty() && problem.isEmpty() &&
        file->write(ShownLine(pending).toUtf8() + '\n') < 0)
        problem = file->errorString();
    pending.clear();
    if (!file->flush() && problem.isEmpty())
        problem = file->errorString();
    file->close();
    file.reset();
    return problem;
}

} // namespace vnt
