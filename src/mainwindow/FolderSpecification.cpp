// The main window's commands for choosing folders, subfolders and filters, and the
// summaries under the folder boxes.
#include "backup/Counting.h"
#include "backup/Disks.h"
#include "mainwindow/Filters.h"
#include "mainwindow/FolderProc.h"
#include "mainwindow/frmMain.h"
#include "mainwindow/Language.h"
#include "platform/Controls.h"
#include "platform/Dialogs.h"
#include "platform/FileErrors.h"
#include "platform/FoldersOnDisk.h"
#include "platform/Twips.h"
#include "report/StrProc.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QFrame>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

namespace vnt {

namespace {

const QString CRLF = QStringLiteral("\r\n");

} // namespace

QString frmMain::ButtonCaption(const QPushButton* button) const {
    return button->text();
}

void frmMain::SetPathTooltip(int index) {
    const QString path = txbDirectory[index]->text();
    txbDirectory[index]->setToolTip(path.size() > intMaxLengthWithoutTip ? path : QString());
}

QString frmMain::BrowseForFolder(const QString& prompt, const QString& startFolder) {
    QString path = dialogs.browseForFolder(this, prompt, startFolder);
    if (const qsizetype nul = path.indexOf(QChar(0)); nul >= 0)
        path.truncate(nul);
    return path;
}

void frmMain::SpecifyFolder(int index) {
    const QString title = ButtonCaption(cmdSpecifyDirectory[index]);
    // The picker opens where the box points, so a new choice starts beside the old one.
    const QString current = txbDirectory[index]->text();
    const QString startFolder = FolderExists(current) ? current : QDir::homePath();
    QString path = BrowseForFolder(ProgramText(index == 0 ? 22 : 23), startFolder);

    if (!path.isEmpty() && IsRecycleBin(WithTrailingBackslash(path))) {
        dialogs.inform(this, QStringLiteral("A recycle bin cannot be a backup source or target."),
                       title, MsgIcon::Warning);
        return;
    }

    if (!path.isEmpty()) {
        path = NormaliseFolder(path);
        const QString source = txbDirectory[0]->text();
        const QString target = txbDirectory[1]->text();
        if (index == 1) {
            QString errorText;
            int errorNumber = 0;
            if (WriteTestFails(path, errorText, &errorNumber)) {
                // The system's words say whether the disk or the permissions refused; a full
                // disk is not called write-protected.
                dialogs.inform(
                    this,
                    WriteTestFailureText(
                        errorNumber, errorText,
                        QStringLiteral("The target folder is on a write-protected disk.")),
                    IsWriteProtection(errorNumber) ? QStringLiteral("Disk is write-protected")
                                                   : title);
                return;
            }
            if (!TargetIsAcceptable(path))
                return;
        } else if (!target.isEmpty()) {
            if (SameFolder(path, target)) {
                dialogs.inform(this, ProgramText(24), title, MsgIcon::Warning);
                return;
            }
            if (FolderHolds(target, path)) {
                dialogs.inform(this, path + CRLF + CRLF + ProgramText(25), title, MsgIcon::Warning);
                return;
            }
        }

        txbDirectory[index]->setText(path);
        if (index == 1) {
            RefreshTargetFolderDisplay(true);
            if (FolderExists(path) && IsOnReadOnlyDisk(path))
                dialogs.inform(this, ProgramText(405), title, MsgIcon::Warning);
        } else {
            cboIncludedFolders->clear();
            state.intNumIncludedFolders = 0;
            SetCheckValue(chkExcludeFilesInSourceFolder, 0);
            RefreshSourceFolderDisplay();
        }
    }

    // Offer the other folder too, also after a cancelled picker.
    const int other = 1 - index;
    if (!txbDirectory[other]->text().isEmpty() && !blnChoosingOtherFolder) {
        const QString question =
            index == 0 ? QStringLiteral("Do you wish to specify a new target disk or folder")
                       : QStringLiteral("Do you wish to specify a new source disk or folder");
        if (dialogs.askYesNo(this, question, title)) {
            blnChoosingOtherFolder = true;
            SpecifyFolder(other);
        }
    }
    blnChoosingOtherFolder = false;
}

bool frmMain::TargetIsAcceptable(const QString& candidate) {
    const QString title = ButtonCaption(cmdSpecifyDirectory[1]);
    switch (CheckTargetRule(candidate, txbDirectory[0]->text())) {
    case TargetRule::EqualsSource:
        dialogs.inform(this, ProgramText(27), title, MsgIcon::Warning);
        return false;
    case TargetRule::HoldsSource:
        dialogs.inform(this, candidate + CRLF + CRLF + ProgramText(28), title, MsgIcon::Warning);
        return false;
    case TargetRule::Acceptable:
        break;
    }
    return true;
}

void frmMain::CreateSubFolder() {
    const QString title = ButtonCaption(cmdCreateSubFolder);
    const QString target = txbDirectory[1]->text();
    if (target.isEmpty()) {
        dialogs.inform(this, QStringLiteral("A target folder must first be specified."), title);
        return;
    }
    if (!FolderExists(target)) {
        if (dialogs.askYesNo(this, ProgramText(43) + CRLF + CRLF + ProgramText(82), title)) {
            txbDirectory[1]->clear();
            RefreshTargetFolderDisplay(true);
        }
        return;
    }

    const QString source = txbDirectory[0]->text();
    InputRequest request;
    request.prompt = ProgramText(374).replace(QStringLiteral("C:\\"), target);
    request.title = title;
    request.defaultText =
        source.isEmpty() || IsDriveRoot(source) ? QString() : PathPartFromEnd(source, 0);
    const QPoint label = lblTargetFolderIsEmpty->mapTo(this, QPoint(0, 0));
    request.position = frameGeometry().topLeft() + label + QPoint(0, TwipsToPixels(330, this));
    QString name = dialogs.inputBox(this, request).value_or(QString());
    // A name, not a path: separators go (a Windows habit of backslashes included).
    name.remove(u'/');
    name.remove(u'\\');
    if (name.isEmpty() || name == u"." || name == u"..")
        return;

    const QString folder = target + name;
    if (FolderExists(folder)) {
        dialogs.inform(this, folder + u' ' + ProgramText(375), title);
    } else if (CreateFolder(folder)) {
        dialogs.inform(this, folder + u' ' + ProgramText(376), title);
    } else {
        QString message = ProgramText(377) + u' ' + folder;
        if (FileExistsAt(folder))
            message += CRLF + ProgramText(386) + u' ' + FileNameOfPath(folder) + u' ' +
                       ProgramText(387) + u' ' + FolderOfPath(folder) + u'.';
        dialogs.inform(this, message, title, MsgIcon::Warning);
        return;
    }

    if (dialogs.askYesNo(this, ProgramText(378).replace(QStringLiteral("E:\\"), folder), title)) {
        const QString candidate = WithTrailingBackslash(folder);
        if (TargetIsAcceptable(candidate)) {
            txbDirectory[1]->setText(candidate);
            RefreshTargetFolderDisplay(true);
        }
    }
}

void frmMain::cmdClearFolder_Click(int index) {
    switch (index) {
    case 0:
        txbDirectory[0]->clear();
        RefreshSourceFolderDisplay();
        break;
    case 1:
        txbDirectory[1]->clear();
        RefreshTargetFolderDisplay(true);
        break;
    default:
        txbExcludedFilepaths->clear();
        txbExcludedFilepaths->setToolTip(QString());
        break;
    }
}

void frmMain::txbDirectory_MouseUp(int index) {
    const QString word = index == 0 ? QStringLiteral("Source") : QStringLiteral("Target");
    dialogs.inform(this,
                   QStringLiteral("Specify a ") + word.toLower() +
                       QStringLiteral(" folder by clicking on the '") + word +
                       QStringLiteral(" folder' button."),
                   QStringLiteral("How to specify a folder"), MsgIcon::None);
}

void frmMain::SelectSubfolders() {
    if (txbDirectory[0]->text().isEmpty()) {
        dialogs.inform(this, QStringLiteral("The source disk or folder must first be specified."),
                       ButtonCaption(cmdSelectSubfolders));
        return;
    }
    SubfolderSelection request;
    request.strCaption = QStringLiteral("Select subfolders of the source folder ") +
                         QStringLiteral("to be INCLUDED in the backup");
    request.strTopFolder = txbDirectory[0]->text();
    request.intMaxNumCheckboxes = 11;
    const QRect main(PixelsToTwips(frameGeometry().x(), this),
                     PixelsToTwips(frameGeometry().y(), this),
                     PixelsToTwips(frameGeometry().width(), this),
                     PixelsToTwips(frameGeometry().height(), this));
    const QRect menu = TwipsGeometry(fraMenu);
    const int top = main.y() + menu.y() + TwipsGeometry(cmdListSubFolders).y() + 600;
    const int left = main.x() + menu.x() + 40;
    request.geometryTwips = QRect(left, top, main.x() + main.width() - left - 150,
                                  main.y() + main.height() - top - 200);
    QStringList passed;
    for (int i = 0; i < state.intNumIncludedFolders && i < cboIncludedFolders->count(); ++i)
        passed.append(cboIncludedFolders->itemText(i));
    request.strFoldersPassedToSelectFoldersForm = JoinFolderList(passed);

    chkIncludeSubfolders->hide();
    steps.ShowSubfolderSelection(*this, request);
    if (request.blnFolderSelectionAccepted) {
        const QStringList names = SplitFolderList(request.strFoldersReturnedFromSelectFoldersForm);
        state.intNumIncludedFolders = static_cast<qint32>(names.size());
        cboIncludedFolders->clear();
        cboIncludedFolders->addItems(names);
    }
    RefreshSourceFolderDisplay();
    FocusNextStep();
}

void frmMain::cmdRemoveSubfolder_Click() {
    const int selected = cboIncludedFolders->currentIndex();
    if (selected < 0)
        return;
    cboIncludedFolders->removeItem(selected);
    --state.intNumIncludedFolders;
    if (cboIncludedFolders->count() == 0) {
        cboIncludedFolders->setCurrentIndex(-1);
        cboIncludedFolders->hide();
        cmdRemoveSubfolder->hide();
    } else {
        cboIncludedFolders->setCurrentIndex(0);
    }
    RefreshSourceFolderDisplay();
}

void frmMain::chkIncludeSubfolders_Click() {
    RefreshSourceFolderDisplay();
}

void frmMain::cboIncludedFolders_Click() {
    if (blnStartupCompleted)
        FocusNextStep();
}

void frmMain::cboModifiedSince_Click() {
    // The period takes effect at the next operation; the user moves on to the next step.
    if (blnStartupCompleted)
        FocusNextStep();
}

void frmMain::txbFileExtension_LostFocus() {
    if (txbFileExtension->text().isEmpty() || inLostFocus)
        return;
    const QString normalised = NormaliseExtensionFilter(txbFileExtension->text());
    txbFileExtension->setText(normalised);
    if (ExtensionFilterHasBadLength(normalised)) {
        inLostFocus = true; // the box takes the focus from us; do not answer it twice
        dialogs.inform(this, ExtensionLengthMessage(), QStringLiteral("File extension"));
        inLostFocus = false;
    }
}

void frmMain::txbExcludedFilepaths_LostFocus() {
    const QString text = txbExcludedFilepaths->text();
    txbExcludedFilepaths->setToolTip(text.size() > intMaxLengthWithoutTip ? text : QString());
}

void frmMain::chkSuppressDetailedReports_Click() {
    if (CheckValue(chkSuppressDetailedReports) == 1) {
        keptSetup.pauseAfterFirstCopy = CheckValue(chkPauseAfterFirstCopy);
        SetCheckValue(chkPauseAfterFirstCopy, 0);
        chkPauseAfterFirstCopy->setEnabled(false);
    } else {
        if (keptSetup.pauseAfterFirstCopy == 1)
            SetCheckValue(chkPauseAfterFirstCopy, 1);
        chkPauseAfterFirstCopy->setEnabled(true);
    }
}

void frmMain::RefreshSourceFolderDisplay() {
    cmdListSubFolders->setText(ProgramText(19));
    QString source = txbDirectory[0]->text();
    if (source.isEmpty()) {
        cmdClearFolder[0]->hide();
        cmdSelectSubfolders->show();
        cmdSelectSubfolders->setEnabled(true);
        cmdReportScreen->setEnabled(steps.ReportHasText(*this));
        cboIncludedFolders->hide();
        cmdRemoveSubfolder->hide();
        chkIncludeSubfolders->hide();
        chkExcludeFilesInSourceFolder->hide();
        cmdListSubFolders->setEnabled(true);
        // No source, nothing to count: an old count under an empty box would mislead.
        lblNumSubfolders->clear();
        lblIntro->show();
        lblIntro->raise();
        if (isVisible() && cmdSpecifyDirectory[0]->isEnabled())
            cmdSpecifyDirectory[0]->setFocus();
        return;
    }

    lblSkipFilepaths->show();
    cmdClearFolder[2]->setVisible(!txbExcludedFilepaths->text().isEmpty());
    lblIntro->hide();
    source = WithTrailingBackslash(source);
    txbDirectory[0]->setText(source);
    const FolderCount subfolders = CountSubfolders(source);
    const FileCount files = CountFiles(source, QStringLiteral("*.*"));
    chkExcludeFilesInSourceFolder->show();
    if (files.count != 0) {
        chkExcludeFilesInSourceFolder->setEnabled(true);
    } else {
        SetCheckValue(chkExcludeFilesInSourceFolder, 0);
        chkExcludeFilesInSourceFolder->setEnabled(false);
    }
    cmdClearFolder[0]->show();
    cmdListSubFolders->setEnabled(true);

    bool noneSelected = false;
    if (subfolders.count < 1) {
        chkIncludeSubfolders->hide();
        lblNumSubfolders->setText(SubfolderCountCaption(subfolders.count, subfolders.errorNumber,
                                                        state.intNumIncludedFolders, noneSelected));
        if (subfolders.errorNumber == ErrorNumber::PermissionDenied ||
            subfolders.errorNumber == ErrorNumber::PathNotFound)
            cmdListSubFolders->setEnabled(false);
        cmdSelectSubfolders->setEnabled(false);
        cboIncludedFolders->hide();
        cmdRemoveSubfolder->hide();
        cmdListSubFolders->setText(ProgramText(21));
        FocusNextStep();
        return;
    }

    cmdListSubFolders->setEnabled(true);
    lblNumSubfolders->setText(
        SubfolderCountCaption(subfolders.count, 0, state.intNumIncludedFolders, noneSelected));
    if (noneSelected)
        cmdListSubFolders->setText(ProgramText(21));
    cmdSelectSubfolders->setEnabled(true);
    state.intNumIncludedFolders = static_cast<qint32>(cboIncludedFolders->count());
    cboIncludedFolders->setVisible(state.intNumIncludedFolders > 0);
    cmdRemoveSubfolder->setVisible(!cboIncludedFolders->isHidden());

    QStringList included;
    for (int i = 0; i < cboIncludedFolders->count(); ++i)
        included.append(cboIncludedFolders->itemText(i));
    if (included.isEmpty())
        cmdListSubFolders->setText(ProgramText(21));
    const QString caption = IncludeSubfoldersCaption(source, included);
    if (caption.isEmpty()) {
        chkIncludeSubfolders->hide();
    } else {
        chkIncludeSubfolders->setText(caption);
        chkIncludeSubfolders->show();
    }
    cboIncludedFolders->setCurrentIndex(cboIncludedFolders->count() > 0 ? 0 : -1);
    if (!ReportIsVisible())
        FocusNextStep();
}

void frmMain::RefreshTargetFolderDisplay(bool blnMessageIfTargetFolderPathNotFound) {
    const QString target = txbDirectory[1]->text();
    cmdClearFolder[1]->setVisible(!target.isEmpty());
    cmdCreateSubFolder->setEnabled(true);
    if (target.isEmpty()) {
        lblTargetFolderIsEmpty->hide();
        lblFreeSpace->hide();
        const QRect source = TwipsGeometry(txbDirectory[0]);
        const QRect box = TwipsGeometry(txbDirectory[1]);
        SetTwipsGeometry(txbDirectory[1], box.x(), box.y(), source.width(), box.height());
        lblFreeSpace->clear();
        return;
    }
    txbDirectory[1]->setText(WithTrailingBackslash(target));
    RefreshTargetSummary(blnMessageIfTargetFolderPathNotFound);
}

void frmMain::RefreshTargetSummary(bool blnMessageIfTargetFolderPathNotFound) {
    const QString target = txbDirectory[1]->text();
    lblTargetFolderIsEmpty->hide();
    const FolderCount subfolders = CountSubfolders(target, true);
    // A target that went with its disk stays in the box: the Setup is not lost, and the
    // label and the run say the disk is away.
    if (subfolders.count == -1 && ShowBackupDiskAway(target))
        return;
    if (subfolders.count == -1) {
        if (blnStartupCompleted) {
            if (!isMinimized() && blnMessageIfTargetFolderPathNotFound)
                AskAboutMissingTarget(subfolders.errorText);
        } else {
            ResetSetup();
        }
        lblFreeSpace->clear();
        return;
    }
    if (subfolders.count == 0) {
        const FileCount files = CountFiles(target, QStringLiteral("*.*"));
        if (files.count == -1) {
            AskAboutMissingTarget(files.errorText);
            lblFreeSpace->clear();
            return;
        }
        if (files.count == 0) {
            lblTargetFolderIsEmpty->setText(ProgramText(157));
            QFont font = lblTargetFolderIsEmpty->font();
            font.setBold(false);
            lblTargetFolderIsEmpty->setFont(font);
            lblTargetFolderIsEmpty->show();
        }
    }
    RefreshFreeSpaceLabel();
}

void frmMain::RefreshFreeSpaceLabel() {
    const QString target = txbDirectory[1]->text();
    if (target.isEmpty()) {
        lblFreeSpace->clear();
        return;
    }
    const QString drive = DriveDesignation(target);
    double freeBytes = 0;
    double totalBytes = 0;
    if (GetFreeDiskSpace(target, freeBytes, totalBytes) != 0)
        lblFreeSpace->setText(ProgramText(158) + u' ' + drive + u'.');
    else
        lblFreeSpace->setText(ProgramText(159) + u' ' + drive + u' ' +
                              FormatDiskSize(freeBytes, false));
    lblFreeSpace->show();
}

void frmMain::AskAboutMissingTarget(const QString& errorText) {
    const QString question = ProgramText(79) + u' ' + txbDirectory[1]->text() + CRLF + errorText +
                             CRLF + CRLF + ProgramText(82);
    if (dialogs.askYesNo(this, question, ProgramText(59))) {
        txbSetupFile->clear();
        txbDirectory[1]->clear();
        RefreshTargetFolderDisplay(true);
    }
}

bool frmMain::ShowBackupDiskAway(const QString& target) {
    if (FolderExists(target) || !BackupDiskAway(NormaliseFolder(target)))
        return false;
    const QString disk = BackupDiskMountPoint(NormaliseFolder(target));
    lblFreeSpace->clear();
    lblTargetFolderIsEmpty->setText(QStringLiteral("The backup disk for ") +
                                    (disk.isEmpty() ? target : WithTrailingBackslash(disk)) +
                                    QStringLiteral(" is not connected."));
    lblTargetFolderIsEmpty->show();
    return true;
}

bool frmMain::UpdateTargetEmptyLabel() {
    const QString target = txbDirectory[1]->text();
    if (target.isEmpty()) {
        lblTargetFolderIsEmpty->clear();
        return true;
    }
    // Kept at start-up although it is missing: its disk is away, and the disk below says
    // nothing about it.
    if (ShowBackupDiskAway(target))
        return false;
    RefreshFreeSpaceLabel();
    const QString word = IsDriveRoot(target) ? QStringLiteral("disk") : QStringLiteral("folder");
    const bool empty = IsFolderEmpty(target, nullptr, true);
    lblTargetFolderIsEmpty->setText(
        QStringLiteral("The target ") + word +
        (empty ? QStringLiteral(" is empty.") : QStringLiteral(" is not empty.")));
    lblTargetFolderIsEmpty->show();
    return empty;
}

} // namespace vnt
