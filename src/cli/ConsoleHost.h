#pragma once
// The console's report host: the report goes to standard output line by line as it is
// produced (and to a log file when one is given); what the window would ask or tell goes
// to standard error; questions are answered as an unattended run would answer them.

#include "backup/OperationState.h"
#include "report/ReportHost.h"

#include <csignal>
#include <cstdio>
#include <QElapsedTimer>
#include <QList>

namespace vnt {

// Writes bytes and flushes them; 0, or the errno value of the failure.
int WriteBytes(const QByteArray& bytes, FILE* file);

class ConsoleHost : public NullReportHost {
public:
    // out may be null: the report then goes only to the log (a JSON summary takes its place).
    ConsoleHost(OperationState& state, bool stopOnError, FILE* out = stdout, FILE* err = stderr);
    ~ConsoleHost() override;

    // Set from a signal handler: the walk stops at its next test, as after Cancel.
    static volatile std::sig_atomic_t interrupted;
    // SIGINT, SIGTERM and SIGHUP (a closed terminal) set it, and ask every wait to end.
    static void CatchStopSignals();

    // Ends the last line if it is open and erases the progress line.
    void Finish();
    // Messages that are not part of the report (title and text on one line).
    void Message(const QString& title, const QString& text);
    // The answer given to a question, under it.
    void Answer(bool yes);
    // The report and the messages are written to log as well (UTF-8, LF line ends).
    void CopyTo(FILE* log) { logFile = log; }
    // The progress line on err; on by default when err is a terminal.
    void ShowProgress(bool on) { progressOn = on; }
    // 0 while every line of the report reached out (the log), else the errno value of the
    // first write that failed.
    int OutError() const { return outError; }
    int LogError() const { return logError; }

    struct Failure {
        QString path;
        QString reason;
    };
    // What the operation left behind, in report order, as a person reads the names.
    const QList<Failure>& Failures() const { return failures; }

    // The progress line for the state of the operation after elapsedMs, at most width
    // characters: files and bytes done (with bytesInFile of the file being copied) and the
    // rate while a backup copies, else folders and files; then the file or folder at hand,
    // its start cut off when it is too long.
    static QString ProgressText(const OperationState& state, qint64 elapsedMs,
                                const QString& current, int width, double bytesInFile = 0);

    void Output(const QString& strText, bool blnCRLF) override;
    const QString& ReportText() const override { return view; }
    void AppendToText(const QString& text) override;
    void RemoveFromEnd(qsizetype count) override;
    void SetText(const QString& text) override;
    bool ShowsLabels() const override { return false; }
    void SetSourceDirpath(const QString& text) override;
    void SetFileNowBeingCopied(const QString& label, const QString&) override { fileLabel = label; }
    QString FileNowBeingCopiedLabel() const override { return fileLabel; }
    void ShowBytesCopied(const QString& text) override;
    void CopyHandedOut(const QString& folder, const QString& name) override;
    void CopyProgress(const QString& name, qint64 done, qint64 size) override;
    void FailureReported(const QString& path, const QString& reason) override;
    void ShowReport() override { shown = true; }
    bool AskYesNo(const QString& question, const QString& title, MsgResult, MsgIcon) override;
    void Inform(const QString& message, const QString& title, MsgIcon) override;
    void Notice(const QString& text) override;
    void Yield() override;

    bool shown = false; // the operation got as far as its report

private:
    void Append(const QString& text);
    void WriteLine(const QString& text);
    void WriteLog(const QByteArray& bytes);
    void Progress(bool force);
    void ClearProgress();

    OperationState& state;
    bool stopOnError;
    FILE* out;
    FILE* err;
    FILE* logFile = nullptr;
    int outError = 0;
    int logError = 0;
    bool progressOn;
    bool progressShown = false;
    // The unfinished line. What the engine sees of the text is that line, after a line
    // end when a line has been finished before it.
    QString line;
    bool lineEnded = false;
    QString view;
    QString fileLabel;
    QString current; // the folder entered or the file handed out last
    double bytesInFile = 0; // copied so far of a large file still being copied
    QElapsedTimer progressClock;
    QElapsedTimer runClock;
    QList<Failure> failures;
};

} // namespace vnt
