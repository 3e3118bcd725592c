#pragma once
// The report window: running labels, the report text and the pause, cancel and copy
// buttons. It is the desktop's report host for the engine.

#include "report/ReportFile.h"
#include "report/ReportHost.h"

#include <functional>
#include <QElapsedTimer>
#include <QWidget>

class QCheckBox;
class QLabel;
class QPlainTextEdit;
class QPushButton;

namespace vnt {

class Dialogs;
class ReportOwner;
class SystemShell;

class frmReport : public QWidget, public ReportHost {
    Q_OBJECT
public:
    frmReport(ReportOwner& owner, Dialogs& dialogs, SystemShell& shell, QWidget* parent = nullptr);

    // Loads the window afresh when it is not loaded (at first use and after its close box).
    void EnsureLoaded();
    bool IsLoaded() const { return loaded; }

    void Form_Load();
    void Form_Activate();
    void Form_Unload();
    void ResizeForm(int intTop, int intHeight);
    void SetReportButtons(bool blnCopyToClipboardVisible, bool blnPauseContinueVisible,
                          const QString& strPauseContinueCaption, bool blnCancelCloseVisible,
                          const QString& strCancelCloseCaption);
    void SetReportButtons2();

    // A new operation's report: no text, and the pause's box clear.
    void ClearForOperation();
    // The list of the source folder's files: placed and shown without buttons while the
    // names are read, then Pause is offered; Cancel, once paused, ends the list.
    void FileListStarted();
    void FileListPausable();
    bool FileListCancelled() const;
    // The last report shown again, finished, from its start.
    void ShowAgain();
    // The program ends: a pause holds nothing any more.
    void EndPause();

    void cmdPauseContinue_Click();
    void cmdCancelClose_Click();
    void cmdCopyToClipboard_Click();
    void cmdOpenReportFile_Click();
    void chkSuppressDisplayOfReport_Click();
    void txbText_MouseUp();

    // Window measures in twips as the rules speak of them: the whole window, frame included.
    QRect OuterGeometryTwips() const;

    // ReportHost
    void Output(const QString& strText, bool blnCRLF) override;
    const QString& ReportText() const override { return text; }
    void AppendToText(const QString& piece) override;
    void RemoveFromEnd(qsizetype count) override;
    void SetText(const QString& newText) override;
    void MoveCaretToEnd() override;
    void DrawNow() override;
    QString BeginReportFile(const QString& operation, QString& why) override;
    QString EndReportFile() override;
    // The file the report shown is kept in; empty when none is.
    const QString& ReportFilePath() const { return reportFilePath; }
    void CopyProgress(const QString& name, qint64 done, qint64 size) override;
    void SetSourceDirpath(const QString& caption) override;
    void SetTargetDirpath(const QString& caption) override;
    void SetFileNowBeingCopied(const QString& label, const QString& fileName) override;
    QString FileNowBeingCopiedLabel() const override;
    void ShowBytesCopied(const QString& caption) override;
    void HideBytesCopied() override;
    void ShowFreeSpace(const QString& caption) override;
    void SetCaption(const QString& caption) override;
    void OperationStarted() override;
    void OperationFinished() override;
    void ShowReport() override;
    bool IsReportVisible() const override { return isVisible(); }
    void Pause() override;
    void Repaint() override;
    bool AskYesNo(const QString& question, const QString& title, MsgResult defaultButton,
                  MsgIcon icon) override;
    void Inform(const QString& message, const QString& title, MsgIcon icon) override;
    void Yield() override;
    void Sleep(int milliseconds) override;
    void Beep() override;

    QLabel* lblSourceDirpath = nullptr;
    QLabel* lblTargetDirpath = nullptr;
    QLabel* Label1 = nullptr;
    QLabel* lblFileName = nullptr;
    QPlainTextEdit* txbText = nullptr;
    QLabel* lblBytesCopied = nullptr;
    QLabel* lblFreeSpace = nullptr;
    QPushButton* cmdCopyToClipboard = nullptr;
    QPushButton* cmdPauseContinue = nullptr;
    QPushButton* cmdCancelClose = nullptr;
    QPushButton* cmdOpenReportFile = nullptr;
    QCheckBox* chkSuppressDisplayOfReport = nullptr;

protected:
    bool event(QEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void SetOuterGeometryTwips(int left, int top, int width, int height);
    void KeepWithinCapacity();
    // Tall beside the owner, for a long report.
    void GrowBesideOwner();
    // Whether a pause offers the box that switches the detailed report: in backups only.
    bool OffersSuppressBox() const;
    // The text box shows the report with plain line breaks.
    static QString ForDisplay(const QString& piece);
    QString SelectedText() const;
    // The text box and its text alone; the public writers also keep the report file.
    void AppendShown(const QString& piece);
    void RemoveShown(qsizetype count);
    void SetShown(const QString& newText);

    ReportOwner& owner;
    Dialogs& dialogs;
    SystemShell& shell; // opens the report's file
    QString text;
    ReportFile keptReport;
    QString reportFilePath;
    QString progressName; // the file whose copy shows its progress
    bool loaded = false;
    QElapsedTimer eventClock; // when Output last served pending events
    // Often enough for a click to act at once and for 25 pictures a second, seldom enough
    // to cost a run nothing.
    static constexpr qint64 ServeEveryMs = 40;
    bool caretToEnd = false;  // the caret is to go to the end when events are next served
    QRect grownBeside, grownTo; // the main window and this one when this one last grew
    void CaretToEndNow();
    void ServeEvents();
};

} // namespace vnt
