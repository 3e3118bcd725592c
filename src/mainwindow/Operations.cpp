// The main window's side of an operation: the button rules before the driver runs, what
// the driver asks of the window, the file list, and re-showing the report.
#include "backup/Counting.h"
#include "backup/Driver.h"
#include "mainwindow/frmMain.h"
#include "mainwindow/Language.h"
#include "platform/Controls.h"
#include "platform/Dialogs.h"
#include "platform/Twips.h"
#include "report/frmConfirmOperation.h"
#include "report/frmReport.h"
#include "report/StrProc.h"
#include "setups/SortProc.h"

#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QScopedValueRollback>
#include <QScreen>

namespace vnt {

namespace {

const QString CRLF = QStringLiteral("\r\n");

} // namespace

void frmMain::RunOperationCommand(Operation operation) {
    const QScopedValueRollback<bool> running(blnOperationRunning, true);
    const QString source = txbDirectory[0]->text();
    const QString target = txbDirectory[1]->text();
    state.strSetupFileName = txbSetupFile->text(); // for the backup's history
    if (operation == OperationState::intOperationListFolders) {
        if (source.isEmpty()) {
            dialogs.inform(this,
                           QStringLiteral("The source disk or folder must first be specified."),
                           cmdSelectSubfolders->text());
            return;
        }
        if (cmdListSubFolders->text() != ProgramText(21)) {
            RunOperation(state, *this, operation);
            return;
        }
        const FileCount files = CountFiles(source, QStringLiteral("*.*"));
        if (files.count > 0)
            ShowSourceFileList(files.count);
        else if (files.count == 0)
            dialogs.inform(this, ProgramText(379), cmdListSubFolders->text());
        return;
    }

    const QString title = OperationCaption(operation);
    if (source.isEmpty() || target.isEmpty()) {
        dialogs.inform(this,
                       source.isEmpty()
                           ? QStringLiteral("The source disk or folder must first be specified.")
                           : QStringLiteral("The target disk or folder must first be specified."),
                       title);
        return;
    }
    if (operation == OperationState::intOperationCheckBackupState &&
        !lblTargetFolderIsEmpty->isHidden() && lblTargetFolderIsEmpty->text() == ProgramText(157)) {
        dialogs.inform(this, ProgramText(32), title);
        return;
    }
    if (operation == OperationState::intOperationBackupAllFiles) {
        const qint32 files = CountFiles(target, QStringLiteral("*.*")).count;
        const qint32 folders = CountSubfolders(target, true).count;
        if ((files >= 1 || folders >= 1) &&
            !dialogs.askYesNo(this,
                              target + QStringLiteral(" has files or folders.") + CRLF +
                                  QStringLiteral("Are you sure you wish to backup ALL files (not "
                                                 "just modified files)?"),
                              QStringLiteral("Confirmation"), MsgResult::Yes))
            return;
    }
    RunOperation(state, *this, operation);
}

Setup frmMain::ReadSetup() {
    txbFileExtension_LostFocus();
    return CurrentSetup();
}

QString frmMain::OperationCaption(Operation operation) {
    if (operation == OperationState::intOperationListFolders)
        return cmdListSubFolders->text();
    if (operation == OperationState::intOperationCheckBackupState)
        return cmdCheckBackupState->text();
    if (operation == OperationState::intOperationBackupAllFiles)
        return cmdBackupAllFiles->text();
    if (operation == OperationState::intOperationVerifyBackup)
        return cmdVerifyBackup->text();
    return cmdBackupModifiedFiles->text();
}

QString frmMain::ModifiedSinceText() {
    return cboModifiedSince->currentText();
}

bool frmMain::Ask(const QString& text, const QString& title, MsgResult defaultButton) {
    return dialogs.askYesNo(this, text, title, defaultButton);
}

void frmMain::Tell(const QString& text, const QString& title, MsgIcon icon) {
    dialogs.inform(this, text, title, icon);
}

void frmMain::ClearSource() {
    txbDirectory[0]->clear();
    RefreshSourceFolderDisplay();
}

void frmMain::ShowCheckingNotice(bool on) {
    QLabel* label = lblWarningReFilesInUse[0];
    QFont font = label->font();
    QPalette palette = label->palette();
    if (on) {
        savedNoticeCaption = label->text();
        savedNoticeVisible = !label->isHidden();
        savedNoticeFont = font;
        savedNoticePalette = palette;
        label->setText(QStringLiteral("Now checking for file existence ..."));
        font.setPointSize(10);
        palette.setColor(QPalette::WindowText, QColor(255, 0, 0));
        label->show();
    } else {
        label->setText(savedNoticeCaption);
        label->setVisible(savedNoticeVisible);
        // The warning gets back the look it had, whatever size the desktop gave it.
        font = savedNoticeFont;
        palette = savedNoticePalette;
    }
    label->setFont(font);
    label->setPalette(palette);
    label->repaint();
}

bool frmMain::ShowConfirmation() {
    frmConfirmOperation dialog(*this, this);
    dialog.exec();
    update();
    return dialog.blnPerformOperation;
}

ReportHost& frmMain::PrepareReport() {
    frmReport& report = ReportWindow();
    report.ClearForOperation();
    return report;
}

void frmMain::SetExcludedFilepathsText(const QString& text) {
    txbExcludedFilepaths->setText(text);
}

void frmMain::LockForOperation() {
    lblTargetFolderIsEmpty->hide();
    lblFreeSpace->hide();
    // Frames stay enabled so that Quit, inside the menu, can stay usable.
    SetControlsEnabled(this, false, false, true, false, true);
    cmdQuit->setEnabled(true);
}

void frmMain::UnlockAfterOperation() {
    SetControlsEnabled(this, true, false, true, false, true);
    chkPauseAfterFirstCopy->setEnabled(CheckValue(chkSuppressDetailedReports) == 0);
}

void frmMain::RefreshDisplays() {
    RefreshSourceFolderDisplay();
    RefreshTargetFolderDisplay(true);
}

void frmMain::ShowSourceFileList(qint32 count) {
    frmReport& report = ReportWindow();
    const QString source = txbDirectory[0]->text();
    report.SetCaption(ProgramText(380));
    report.SetText(ProgramText(381) + u' ' + source + CRLF + CRLF);
    report.SetSourceDirpath(source);
    report.SetTargetDirpath(
        count == 1 ? ProgramText(382)
                   : QString(ProgramText(383)).replace(QStringLiteral("999"), FormatCount(count)));
    report.SetFileNowBeingCopied(QString(), QString());
    report.FileListStarted();

    QStringList names;
    double total = 0;
    const qint32 listed =
        ListFilesInFolder(source, names, count, total, QStringLiteral("*.*"), true, true);
    if (listed > 0)
        SortTexts(names, 0, listed - 1, true, 1);
    report.FileListPausable();

    if (listed < 0) {
        // The folder changed since it was counted, or cannot be read now.
        dialogs.inform(this, listed == -3 ? names.value(0) : ProgramText(379),
                       cmdListSubFolders->text(), MsgIcon::Warning);
    } else {
        for (qint32 i = 0; i < listed; ++i) {
            report.Output(names[i], true);
            if ((i + 1) % 100 == 0)
                report.MoveCaretToEnd();
            if (report.FileListCancelled())
                break;
        }
        report.AppendToText(CRLF + ProgramText(384) + u' ' + FormatByteSize(total));
        if (IsChecked(CheckValue(chkExcludeFilesInSourceFolder)))
            report.AppendToText(CRLF + CRLF + ProgramText(385));
    }
    report.OperationFinished();
    cmdReportScreen->setEnabled(true);
}

void frmMain::ShowReportScreen() {
    ReportWindow().ShowAgain();
}

QRect frmMain::OwnerFrame() const {
    return frameGeometry();
}

QRect frmMain::OwnerScreen() const {
    const QScreen* shownOn = screen();
    return shownOn != nullptr ? shownOn->geometry() : QRect();
}

QRect frmMain::OwnerAvailableAreaTwips() const {
    return AvailableAreaTwips(this);
}

void frmMain::ShowOwnerNormal() {
    if (isMinimized())
        showNormal();
}

int frmMain::SmallReportTopTwips() const {
    const auto topOf = [this](const QWidget* control) {
        return PixelsToTwips(control->mapTo(centralWidget(), QPoint(0, 0)).y(), this);
    };
    if (cmdListSubFolders->text() == ProgramText(21) || state.blnListFolders)
        return topOf(cmdListSubFolders) + 440;
    return topOf(txbDirectory[1]) + 720;
}

int frmMain::SuppressDetailedReportsBox() const {
    return CheckValue(chkSuppressDetailedReports);
}

void frmMain::ReportClosed() {
    cmdReportScreen->setEnabled(true);
}

QString frmMain::SourceFolder() const {
    return txbDirectory[0]->text();
}

QPoint frmMain::ConfirmationAnchor() const {
    const QRect frame = frameGeometry();
    const QPoint help = cmdHelp->mapTo(centralWidget(), QPoint(0, 0));
    const QPoint setupFile = txbSetupFile->mapTo(centralWidget(), QPoint(0, 0));
    return {frame.x() + setupFile.x(), frame.y() + help.y()};
}

} // namespace vnt
