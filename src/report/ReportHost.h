#pragma once
// What the engine (driver and folder walk) needs of the place its report goes to. The
// report window is the desktop's host; tests and the console program have their own.

#include "platform/MessageTypes.h"

#include <atomic>
#include <QString>

namespace vnt {

class ReportHost {
public:
    virtual ~ReportHost() = default;

    // Fields the engine reads and writes.
    // A pause or a question holds the operation; copier threads read it between chunks.
    std::atomic<bool> blnPaused = false;
    bool blnReportBufferFull = false;
    qint16 intPauseInSeconds = 15; // length of the next full-buffer pause
    QString strNumFilesInFolder;   // a folder line held back by the walk

    // The report text. Output appends a piece (and a line end); the others change the
    // text directly, without the capacity rule.
    virtual void Output(const QString& strText, bool blnCRLF) = 0;
    virtual const QString& ReportText() const = 0;
    virtual void AppendToText(const QString& text) = 0;
    virtual void RemoveFromEnd(qsizetype count) = 0;
    virtual void SetText(const QString& text) = 0;
    virtual void MoveCaretToEnd() = 0;
    // Draws what the text holds now: a notice is to be seen before a long wait.
    virtual void DrawNow() {}

    // The whole report of an operation, every line, is also kept as a file (the window
    // empties its text when full): begun as the operation's report begins, ended after its
    // summary. The file's path; empty when the host keeps none, or with why when it could
    // not be made. The end gives the words of a failure to write it, or nothing.
    virtual QString BeginReportFile(const QString& /*operation*/, QString& /*why*/) { return {}; }
    virtual QString EndReportFile() { return {}; }

    // Status labels. A host without them (the console) says so, and the walk then spares
    // itself the work of filling them for every file.
    virtual bool ShowsLabels() const { return true; }
    virtual void SetSourceDirpath(const QString& text) = 0;
    virtual void SetTargetDirpath(const QString& text) = 0;
    virtual void SetFileNowBeingCopied(const QString& label, const QString& fileName) = 0;
    virtual QString FileNowBeingCopiedLabel() const = 0;
    virtual void ShowBytesCopied(const QString& text) = 0;
    virtual void HideBytesCopied() = 0;
    virtual void ShowFreeSpace(const QString& text) = 0;
    // The file a copy is handed out for, called for every copy: a host notes it, no more.
    virtual void CopyHandedOut(const QString& /*folder*/, const QString& /*name*/) {}
    // How far the copy of a large file has got, a few times a second while it lasts, so
    // that a long copy is seen to move; size 0 once it has ended.
    virtual void CopyProgress(const QString& /*name*/, qint64 /*done*/, qint64 /*size*/) {}

    // A file or folder left behind, or a copy a comparison found differing or missing, with
    // the reason, as the report line names it. The window has the line; the console also
    // keeps them for its JSON summary.
    virtual void FailureReported(const QString& /*path*/, const QString& /*reason*/) {}

    // A remark about how the whole run goes, not about a file: the window has it as a line
    // of the report, the console says it on standard error.
    virtual void Notice(const QString& text) { Output(text, true); }

    // The window: caption, showing it, and the pause a user would click. The operation's
    // start and end are told, not drawn: the window knows which buttons each one offers.
    virtual void SetCaption(const QString& caption) = 0;
    virtual void OperationStarted() = 0;  // Pause offered, nothing else
    virtual void OperationFinished() = 0; // the report may be copied and closed
    virtual void ShowReport() = 0;
    virtual bool IsReportVisible() const = 0;
    virtual void Pause() = 0;
    virtual void Repaint() = 0;

    // Talking to the user, letting the user act, time and sound.
    virtual bool AskYesNo(const QString& text, const QString& title, MsgResult defaultButton,
                          MsgIcon icon) = 0;
    virtual void Inform(const QString& text, const QString& title, MsgIcon icon) = 0;
    virtual void Yield() = 0;
    virtual void Sleep(int milliseconds) = 0;
    virtual void Beep() = 0;
};

// A host that keeps nothing, shows nothing and answers no: the engine's quiet runs, and the
// base of hosts that only need a few of the members.
class NullReportHost : public ReportHost {
public:
    void Output(const QString&, bool) override {}
    const QString& ReportText() const override {
        static const QString none;
        return none;
    }
    void AppendToText(const QString&) override {}
    void RemoveFromEnd(qsizetype) override {}
    void SetText(const QString&) override {}
    void MoveCaretToEnd() override {}
    void SetSourceDirpath(const QString&) override {}
    void SetTargetDirpath(const QString&) override {}
    void SetFileNowBeingCopied(const QString&, const QString&) override {}
    QString FileNowBeingCopiedLabel() const override { return {}; }
    void ShowBytesCopied(const QString&) override {}
    void HideBytesCopied() override {}
    void ShowFreeSpace(const QString&) override {}
    void SetCaption(const QString&) override {}
    void OperationStarted() override {}
    void OperationFinished() override {}
    void ShowReport() override {}
    bool IsReportVisible() const override { return false; }
    void Pause() override {}
    void Repaint() override {}
    bool AskYesNo(const QString&, const QString&, MsgResult, MsgIcon) override { return false; }
    void Inform(const QString&, const QString&, MsgIcon) override {}
    void Yield() override {}
    void Sleep(int) override {}
    void Beep() override {}
};

} // namespace vnt
