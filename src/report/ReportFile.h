#pragma once
// An operation's whole report kept as a file: every finished line as it is written, also
// the lines the report window empties when its text is full.

#include <memory>
#include <QDateTime>
#include <QString>

class QFile;

namespace vnt {

class ReportFile {
public:
    ReportFile();
    ~ReportFile();
    ReportFile(const ReportFile&) = delete;
    ReportFile& operator=(const ReportFile&) = delete;

    // How many reports the folder keeps: the oldest go as new ones come.
    static constexpr int KeptReports = 50;

    // Makes folder when it is missing and a new file in it named by date, time and
    // operation ("2026-12-08_14-30-05_backup-modified.txt"), then leaves only the newest
    // KeptReports of its reports there. False, with the system's words in why, when the
    // file cannot be made. A report still open is ended first.
    bool Begin(const QString& folder, const QString& operation, const QDateTime& at,
               QString& why);
    bool IsOpen() const { return file != nullptr; }
    const QString& Path() const { return path; }

    // The report as the window gets it: pieces with CR LF line ends. A line reaches the
    // file when it is finished, with a plain line feed.
    void Append(const QString& piece);
    // Takes back the end of the line not yet finished (a notice taken back).
    void RemoveFromEnd(qsizetype count);
    // The window's text was replaced: its unfinished line goes, the new text follows.
    void Restart(const QString& text);
    // Writes what is left and closes the file; the words of the first failure to write,
    // or an empty text.
    QString End();

private:
    void WriteFinishedLines();

    std::unique_ptr<QFile> file;
    QString path;
    QString pending; // the unfinished line
    QString problem;
};

// The line that names the file an operation's whole report is kept in.
QString ReportFileLine(const QString& path);

// Whether name is one the report files are given, so that nothing else is ever removed.
bool IsReportFileName(const QString& name);

} // namespace vnt
