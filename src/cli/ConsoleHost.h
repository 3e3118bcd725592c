#pragma once
// The console's report host: the report goes to standard output line by line as it is
// produced; what the window would ask or tell goes to standard error; questions are
// answered as an unattended run would answer them.

#include "backup/OperationState.h"
#include "report/ReportHost.h"

#include <csignal>
#include <cstdio>
#include <QElapsedTimer>

namespace vnt {

class ConsoleHost : public ReportHost {
public:
    ConsoleHost(OperationState& state, bool stopOnError, FILE* out = stdout, FILE* err = stderr);
    ~ConsoleHost() override;

    // Set from a signal handler: the walk stops at its next test, as after Cancel.
    static volatile std::sig_atomic_t interrupted;

    // Ends the last line if it is open and erases the progress line.
    void Finish();
    // Messages that are not part of the report (title and text on one line).
    void Message(const QString& title, const QString& text);

    void Output(const QString& strText, bool blnCRLF) override;
    const QString& ReportText() const override { return view; }
    void AppendToText(const QString& text) override;
    void RemoveFromEnd(qsizetype count) override;
    void SetText(const QString& text) override;
    void MoveCaretToEnd() override {}
    bool ShowsLabels() const override { return false; }
    void SetSourceDirpath(const QString& text) override;
    void SetTargetDirpath(const QString&) override {}
    void SetFileNowBeingCopied(const QString& label, const QString&) override { fileLabel = label; }
    QString FileNowBeingCopiedLabel() const override { return fileLabel; }
    void ShowBytesCopied(const QString& text) override;
    void HideBytesCopied() override {}
    void ShowFreeSpace(const QString&) override {}
    void SetCaption(const QString&) override {}
    void SetReportButtons(bool, bool, const QString&, bool, const QString&) override {}
    void ShowReport() override { shown = true; }
    bool IsReportVisible() const override { return false; }
    void Pause() override {}
    void Repaint() override {}
    bool AskYesNo(const QString& question, const QString& title, MsgResult, MsgIcon) override;
    void Inform(const QString& message, const QString& title, MsgIcon) override;
    void Yield() override;
    void Sleep(int) override {}
    void Beep() override {}

    bool shown = false; // the operation got as far as its report

private:
    void Append(const QString& text);
    void WriteLine(const QString& text);
    void Progress(bool force);
    void ClearProgress();

    OperationState& state;
    bool stopOnError;
    FILE* out;
    FILE* err;
    bool progressOnTerminal;
    bool progressShown = false;
    // The unfinished line. What the engine sees of the text is that line, after a line
    // end when a line has been finished before it.
    QString line;
    bool lineEnded = false;
    QString view;
    QString fileLabel;
    QString currentFolder;
    QElapsedTimer progressClock;
};

} // namespace vnt
