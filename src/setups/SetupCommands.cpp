// The main window's setup commands: setup files through the dialogs, the setup kept for
// the next run, the setup menu and its panels, and the previous-run stamp.
#include "mainwindow/frmMain.h"
#include "backup/Disks.h"
#include "mainwindow/frmRestore.h"
#include "mainwindow/Language.h"
#include "platform/Controls.h"
#include "platform/DataFolder.h"
#include "platform/Dialogs.h"
#include "platform/FoldersOnDisk.h"
#include "platform/Names.h"
#include "platform/Twips.h"
#include "report/StrProc.h"
#include "setups/Registry.h"
#include "setups/SetupFile.h"

#include <QCheckBox>
#include <QComboBox>
#include <QFileInfo>
#include <QFrame>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

namespace vnt {

namespace {

const QString CRLF = QStringLiteral("\r\n");

} // namespace

QString frmMain::StampPreviousRun(const QString& key, const QString& valueName) {
    return vnt::StampPreviousRun(key, valueName);
}

Setup frmMain::SetupToSave() const {
    Setup setup = CurrentSetup();
    // While detailed reports are suppressed the pause box is held off; the pause value the
    // Setup holds is the one remembered for when suppressing ends, and the file keeps it.
    setup.pauseAfterFirstCopy = PauseValueKept();
    // The file holds every included subfolder the list shows.
    setup.includedFolders.clear();
    for (int i = 0; i < cboIncludedFolders->count(); ++i)
        setup.includedFolders.append(cboIncludedFolders->itemText(i));
    // A scheduled run reads the file alone: it keeps replaced copies when the window does.
    // Said only when on, so that a file saved again without it stays the file it was.
    setup.keepReplaced = chkKeepReplacedCopies->isChecked() ? 1 : -1;
    setup.remindAfterDays = intScheduleRemindAfterDays;
    return setup;
}

void frmMain::TellSetupNotSaved(const QString& text) {
    // The reason lets the user mend it: a line break in the Setup, a missing folder, a
    // full disk.
    dialogs.inform(this,
                   strSetupSaveFailure.isEmpty() ? text : text + CRLF + CRLF + strSetupSaveFailure,
                   ProgramText(31), MsgIcon::Warning);
    strSetupSaveFailure.clear();
}

bool frmMain::SaveSetupToFile(const QString& path, bool blnAnnounce) {
    strSetupSaveFailure.clear();
    if (!WriteSetupFile(path, SetupToSave(), &strSetupSaveFailure))
        return false;
    if (blnAnnounce) {
        const QRect button = TwipsGeometry(cmdSetup);
        const QPoint at = cmdSetup->mapTo(this, QPoint(0, 0));
        const QPoint origin = frameGeometry().topLeft();
        services.ShowPopUp(PopUpWindow(), QStringLiteral("Setup saved"), button.width(),
                           button.height(), 2000, PixelsToTwips(origin.y() + at.y(), this) + 500,
                           PixelsToTwips(origin.x() + at.x(), this) + 160);
    }
    return true;
}

int frmMain::PauseValueKept() const {
    return CheckValue(chkSuppressDetailedReports) == 1 ? keptSetup.pauseAfterFirstCopy
                                                       : CheckValue(chkPauseAfterFirstCopy);
}

void frmMain::SetCheckAsUser(QCheckBox* box, int value) {
    // While detailed reports are suppressed the pause option stays off and disabled: the
    // value put back is remembered for when suppressing ends, as ticking the box does.
    if (box == chkPauseAfterFirstCopy && CheckValue(chkSuppressDetailedReports) == 1) {
        keptSetup.pauseAfterFirstCopy = value;
        return;
    }
    if (CheckValue(box) == value)
        return;
    SetCheckValue(box, value);
    if (box == chkIncludeSubfolders)
        chkIncludeSubfolders_Click();
    else if (box == chkSuppressDetailedReports)
        chkSuppressDetailedReports_Click();
}

int frmMain::LoadOperationFile(const QString& path) {
    ResetSetup();
    cboIncludedFolders->clear();
    const SetupFileRead read = ReadSetupFile(path);
    const Setup& setup = read.setup;
    txbDirectory[0]->setText(setup.sourceFolder);
    txbDirectory[1]->setText(setup.targetFolder);
    SetCheckAsUser(chkSuppressDetailedReports, setup.suppressDetailedReports);
    SetCheckAsUser(chkSaveSetupOnQuit, setup.saveSetupOnQuit);
    SetCheckAsUser(chkExcludeFilesInSourceFolder, setup.excludeFilesInSourceFolder);
    SetCheckAsUser(chkIncludeSubfolders, setup.includeSubfolders);
    cboModifiedSince->setCurrentIndex(ModifiedSincePeriodIndex(setup.modifiedSinceIndex));
    SetCheckAsUser(chkPauseAfterFirstCopy, setup.pauseAfterFirstCopy);
    txbExcludedFilepaths->setText(setup.excludedFilepaths);
    cboIncludedFolders->addItems(setup.includedFolders);
    state.intNumIncludedFolders = static_cast<qint32>(cboIncludedFolders->count());
    txbFileExtension->setText(setup.fileExtension);
    if (setup.keepReplaced >= 0 &&
        chkKeepReplacedCopies->isChecked() != (setup.keepReplaced == 1)) {
        chkKeepReplacedCopies->setChecked(setup.keepReplaced == 1);
        chkKeepReplacedCopies_Click();
    }
    // A subfolder left out in silence would be left out of every backup after this one.
    strDroppedSubfolders = read.droppedFolders;
    if (!strDroppedSubfolders.isEmpty() && blnStartupCompleted)
        dialogs.inform(this, ShownName(strDroppedSubfolders.join(CRLF)), QStringLiteral("Error"),
                       MsgIcon::Warning);

    const QString source = txbDirectory[0]->text();
    if (!source.isEmpty() && !FolderExists(source)) {
        if (blnStartupCompleted)
            dialogs.inform(this,
                           QStringLiteral("Source folder ") + source +
                               QStringLiteral(" does not exist."),
                           QStringLiteral("Error"), MsgIcon::Warning);
        txbDirectory[0]->clear();
        state.intNumIncludedFolders = 0;
        cboIncludedFolders->clear();
    }
    const QString target = txbDirectory[1]->text();
    if (!target.isEmpty() && !FolderExists(target)) {
        if (blnStartupCompleted)
            AskAboutMissingTarget(QStringLiteral("Target folder ") + target +
                                  QStringLiteral(" does not exist."));
        else if (!BackupDiskAway(NormaliseFolder(target)))
            txbDirectory[1]->clear();
        // A backup disk that is not plugged in keeps its place: the run says it is away,
        // and the Setup is not lost.
    }
    cboIncludedFolders->setCurrentIndex(cboIncludedFolders->count() > 0 ? 0 : -1);
    return read.result;
}

void frmMain::LoadSetupFromLastRun() {
    // No message about a damaged file here; the unattended run checks the result.
    intNextRunSetupReadResult = 0;
    strNextRunDroppedSubfolders.clear();
    if (QFileInfo::exists(strNextRunSetupPath)) {
        intNextRunSetupReadResult = LoadOperationFile(strNextRunSetupPath);
        strNextRunDroppedSubfolders = strDroppedSubfolders;
    }
    RefreshSourceFolderDisplay();
    RefreshTargetFolderDisplay(false);
    KeepCopyOfSetup();
    blnNextRunSetupCurrent = true;
    intNextRunSetupTicks = 0;
}

bool frmMain::RefusedHalfReadNextRunSetup(bool shutdownAsked) {
    if (intNextRunSetupReadResult == 0 && strNextRunDroppedSubfolders.isEmpty())
        return false;
    // The settings after the failure are the empty ones: an empty skip list or extension
    // filter would copy files the Setup leaves out. A subfolder that could not be found
    // would be left out, and the run would still say that all is backed up.
    const QString reason = intNextRunSetupReadResult != 0
                               ? SetupReadFailureReason(intNextRunSetupReadResult)
                               : ShownName(strNextRunDroppedSubfolders.join(CRLF));
    QString text = ProgramText(115) + CRLF + strNextRunSetupPath + CRLF + CRLF + reason + CRLF +
                   CRLF + QStringLiteral("The unattended backup has not been run.");
    if (shutdownAsked)
        text += QStringLiteral(" The computer is not shut down.");
    dialogs.inform(this, text, cmdBackupModifiedFiles->text(), MsgIcon::Warning);
    return true;
}

void frmMain::KeepCopyOfSetup() {
    keptSetup.excludedFilepaths = txbExcludedFilepaths->text();
    keptSetup.fileExtension = txbFileExtension->text();
    keptSetup.sourceFolder = txbDirectory[0]->text();
    keptSetup.targetFolder = txbDirectory[1]->text();
    keptSetup.includedFolders.clear();
    for (int i = 0; i < state.intNumIncludedFolders && i < cboIncludedFolders->count(); ++i)
        keptSetup.includedFolders.append(cboIncludedFolders->itemText(i));
    keptSetup.suppressDetailedReports = CheckValue(chkSuppressDetailedReports);
    keptSetup.saveSetupOnQuit = CheckValue(chkSaveSetupOnQuit);
    keptSetup.pauseAfterFirstCopy = PauseValueKept();
    keptSetup.excludeFilesInSourceFolder = CheckValue(chkExcludeFilesInSourceFolder);
    keptSetup.includeSubfolders = CheckValue(chkIncludeSubfolders);
    keptSetup.modifiedSinceIndex = cboModifiedSince->currentIndex();
}

void frmMain::CloseSetupPanels() {
    lblWarningReFilesInUse[0]->show();
    fraSetup->hide();
    fraMenu->setEnabled(true);
    UpdateIdleDisplay();
    chkSuppressDetailedReports->show();
    chkSaveSetupOnQuit->show();
    FocusNextStep();
}

void frmMain::ForgetSetupFile() {
    txbSetupFile->clear();
    txbSetupFile->hide();
}

void frmMain::PlaceSetupPanel(QFrame* panel, const QWidget* alignedWith) {
    const QRect panelGeometry = TwipsGeometry(panel);
    const int left = TwipsGeometry(cmdSetup).width() + TwipsGeometry(fraMenu).x() + 100;
    const int top =
        PixelsToTwips(alignedWith->mapTo(centralWidget(), QPoint(0, 0)).y(), this) + 120;
    SetTwipsGeometry(panel, left, top, panelGeometry.width(), panelGeometry.height());
    panel->raise();
}

void frmMain::OpenSetupMenu() {
    chkSaveSetupOnQuit->hide();
    txbSetupFile->hide();
    lblWarningReFilesInUse[0]->hide();
    fraMenu->setEnabled(false);
    UpdateIdleDisplay();
    PlaceSetupPanel(fraSetup, cmdReportScreen);
    fraSetup->show();
    fraSetup->setEnabled(true);
    cmdSaveSetup->setFocus();
}

void frmMain::cmdSaveSetup_Click() {
    cmdSaveSetupForNextRun->setText(QStringLiteral("Save setup for next run"));
    cmdSaveSetupAsOperationFile->setText(QStringLiteral("Save setup in setup file"));
    cmdSaveSetupInBothWays->setText(QStringLiteral("Save setup in both ways"));
    cmdDontSaveSetup->show();
    blnLoadingSetup = false;
    fraSetup->hide();
    PlaceSetupPanel(fraSaveSetup, cmdReportScreen);
    fraSaveSetup->show();
    chkSuppressDetailedReports->show();
    cmdSaveSetupForNextRun->setFocus();
}

void frmMain::cmdLoadSetup_Click() {
    cmdSaveSetupForNextRun->setText(QStringLiteral("Load setup from last run"));
    cmdSaveSetupAsOperationFile->setText(QStringLiteral("Load setup from setup file"));
    cmdSaveSetupInBothWays->setText(QStringLiteral("Not now"));
    cmdDontSaveSetup->hide();
    blnLoadingSetup = true;
    fraSetup->hide();
    PlaceSetupPanel(fraSaveSetup, cmdSetup);
    fraSaveSetup->show();
    chkSuppressDetailedReports->show();
    cmdSaveSetupForNextRun->setFocus();
}

void frmMain::cmdClearSetup_Click() {
    KeepCopyOfSetup();
    // The file's name goes with the Setup it named, and comes back with it.
    strKeptSetupFile = txbSetupFile->text();
    ForgetSetupFile();
    ResetSetup();
    CloseSetupPanels();
    chkSuppressDetailedReports->show();
    chkSaveSetupOnQuit->show();
    RefreshSourceFolderDisplay();
    RefreshTargetFolderDisplay(true);
    cmdSpecifyDirectory[0]->setFocus();
}

void frmMain::cmdRestoreFiles_Click() {
    CloseSetupPanels();
    if (auto* open = findChild<frmRestore*>()) {
        open->raise();
        open->activateWindow();
        return;
    }
    auto* window =
        new frmRestore(CurrentSetup(), dialogs, {*this, state, blnOperationRunning}, this);
    window->setAttribute(Qt::WA_DeleteOnClose);
    window->show();
}

void frmMain::cmdRestoreSetup_Click() {
    // Each control is set as a user's change sets it, so that its reaction runs.
    const Setup kept = keptSetup;
    txbExcludedFilepaths->setText(kept.excludedFilepaths);
    txbFileExtension->setText(kept.fileExtension);
    txbDirectory[0]->setText(kept.sourceFolder);
    txbDirectory[1]->setText(kept.targetFolder);
    state.intNumIncludedFolders = static_cast<qint32>(kept.includedFolders.size());
    cboIncludedFolders->clear();
    cboIncludedFolders->addItems(kept.includedFolders);
    SetCheckAsUser(chkSuppressDetailedReports, kept.suppressDetailedReports);
    SetCheckAsUser(chkSaveSetupOnQuit, kept.saveSetupOnQuit);
    SetCheckAsUser(chkPauseAfterFirstCopy, kept.pauseAfterFirstCopy);
    SetCheckAsUser(chkExcludeFilesInSourceFolder, kept.excludeFilesInSourceFolder);
    SetCheckAsUser(chkIncludeSubfolders, kept.includeSubfolders);
    cboModifiedSince->setCurrentIndex(kept.modifiedSinceIndex);
    if (!strKeptSetupFile.isEmpty()) {
        txbSetupFile->setText(strKeptSetupFile);
        txbSetupFile->show();
    }
    CloseSetupPanels();
    chkSuppressDetailedReports->show();
    RefreshSourceFolderDisplay();
    RefreshTargetFolderDisplay(true);
}

void frmMain::cmdKeepSetup_Click() {
    CloseSetupPanels();
}

void frmMain::cmdDontSaveSetup_Click() {
    fraSaveSetup->hide();
    CloseSetupPanels();
}

void frmMain::cmdSaveSetupForNextRun_Click() {
    if (blnLoadingSetup) {
        LoadSetupFromLastRun();
    } else {
        if (!steps.SaveSetupToFile(*this, strNextRunSetupPath, true))
            TellSetupNotSaved(ProgramText(116));
        fraSaveSetup->hide();
        txbSetupFile->setVisible(!txbSetupFile->text().isEmpty());
        lblWarningReFilesInUse[0]->show();
        chkSuppressDetailedReports->show();
        CloseSetupPanels();
        FocusNextStep();
    }
    chkSaveSetupOnQuit->show();
    blnNextRunSetupCurrent = true;
    intNextRunSetupTicks = 0;
}

void frmMain::cmdSaveSetupInBothWays_Click() {
    if (blnLoadingSetup) {
        fraSaveSetup->hide();
        CloseSetupPanels();
        cmdDontSaveSetup->show();
        return;
    }
    const bool saved = steps.SaveSetupToFile(*this, strNextRunSetupPath, false);
    if (!saved)
        TellSetupNotSaved(ProgramText(116));
    fraSaveSetup->hide();
    txbSetupFile->setVisible(!txbSetupFile->text().isEmpty());
    lblWarningReFilesInUse[0]->show();
    chkSuppressDetailedReports->show();
    if (saved) {
        SaveSetupFileFlow();
    } else {
        fraMenu->setEnabled(true);
        UpdateIdleDisplay();
        FocusNextStep();
    }
}

void frmMain::cmdSaveSetupAsOperationFile_Click() {
    if (blnLoadingSetup)
        LoadSetupFileFlow();
    else
        SaveSetupFileFlow();
}

void frmMain::SaveSetupFileFlow() {
    fraSetup->hide();
    FileDialogRequest request;
    request.title = ProgramText(117);
    request.filter = ProgramText(118) + QStringLiteral(" (*.vnt)");
    // Where the scheduled runs look for setup files; a name typed without an extension
    // becomes a setup file, whether or not the dialog adds it.
    request.initialPath = UserConfigFolder();
    request.defaultSuffix = QStringLiteral("vnt");
    QString path = dialogs.saveFileName(this, request);
    if (!path.isEmpty()) {
        path = WithSetupFileExtension(path);
        if (ExtensionOfPath(path, true) != u"vnt") {
            dialogs.inform(this, QStringLiteral("Setup files must have extension 'vnt'."),
                           cmdSaveSetupAsOperationFile->text());
        } else if (!QFileInfo::exists(path) ||
                   dialogs.askYesNo(this, ProgramText(119) + u' ' + path + u'?',
                                    ProgramText(120))) {
            if (steps.SaveSetupToFile(*this, path, true)) {
                txbSetupFile->setText(path);
                txbSetupFile->show();
            } else {
                TellSetupNotSaved(ProgramText(121) + u' ' + path + u'.');
                ForgetSetupFile();
            }
        }
    }
    SetupPanelEnding();
}

void frmMain::LoadSetupFileFlow() {
    fraSetup->hide();
    FileDialogRequest request;
    request.title = ProgramText(114);
    request.filter = ProgramText(118) + QStringLiteral(" (*.vnt)");
    request.initialPath = UserConfigFolder();
    ForgetSetupFile();
    const QString path = dialogs.openFileName(this, request);
    // The release of a double click in the dialog must not reach a button beneath it.
    StartMouseUpGuard();
    if (!path.isEmpty()) {
        const int result = LoadOperationFile(path);
        if (result == 62)
            dialogs.inform(this, ProgramText(348) + CRLF + path + CRLF + CRLF + ProgramText(349),
                           ProgramText(31), MsgIcon::Warning);
        else if (result > 0)
            dialogs.inform(this, ProgramText(115) + CRLF + path, ProgramText(31), MsgIcon::Warning);
        RefreshSourceFolderDisplay();
        RefreshTargetFolderDisplay(false);
        if (!txbDirectory[0]->text().isEmpty() || !txbDirectory[1]->text().isEmpty()) {
            txbSetupFile->setText(path);
            txbSetupFile->show();
        } else {
            ForgetSetupFile();
        }
    }
    SetupPanelEnding();
}

void frmMain::SetupPanelEnding() {
    fraSaveSetup->hide();
    txbSetupFile->setVisible(!txbSetupFile->text().isEmpty());
    lblWarningReFilesInUse[0]->show();
    chkSuppressDetailedReports->show();
    chkSaveSetupOnQuit->show();
    fraMenu->setEnabled(true);
    UpdateIdleDisplay();
    FocusNextStep();
}

} // namespace vnt
