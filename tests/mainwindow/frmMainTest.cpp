#include "mainwindow/Language.h"
#include "MainWindowFixture.h"
#include "platform/Twips.h"
#include "TestSupport.h"

#include <QCheckBox>
#include <QComboBox>
#include <QEnterEvent>
#include <QFileInfo>
#include <QFrame>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>
#include <QTimer>

namespace vnt::test {
namespace {

template <typename T> T* Find(QWidget* window, const char* name) {
    return window->findChild<T*>(QString::fromLatin1(name));
}

TEST_F(MainWindowTest, StartsWithEveryControlAndTheClearedSetup) {
    ASSERT_TRUE(Start());
    EXPECT_TRUE(window->isVisible());
    EXPECT_TRUE(dialogs.shown.empty());
    EXPECT_EQ(window->windowTitle(), "Vantoro " VANTORO_VERSION) << "the version --version prints";
    EXPECT_TRUE(window->blnStartupCompleted);
    EXPECT_FALSE(window->State().blnScheduledTask);
    EXPECT_EQ(window->strProgramTextFile, "vnt.dat");

    const std::pair<const char*, const char*> buttons[] = {
        {"cmdSpecifyDirectory(0)", "Source disk or folder"},
        {"cmdSpecifyDirectory(1)", "Target disk or folder"},
        {"cmdClearFolder(0)", "Clear"},
        {"cmdClearFolder(1)", "Clear"},
        {"cmdClearFolder(2)", "Clear"},
        {"cmdCreateSubFolder", "Create subfolder"},
        {"cmdSelectSubfolders", "Select included subfolders"},
        {"cmdRemoveSubfolder", "Remove"},
        {"cmdListSubFolders", "List included subfolders"},
        {"cmdCheckBackupState", "Check backup state"},
        {"cmdBackupAllFiles", "Back up all files in setup"},
        {"cmdBackupModifiedFiles", "Back up new and modified"},
        {"cmdReportScreen", "Display report screen"},
        {"cmdSetup", "Setup"},
        {"cmdHelp", "Help"},
        {"cmdQuit", "Quit"},
        {"cmdLoadSetup", "Load setup"},
        {"cmdSaveSetup", "Save setup"},
        {"cmdClearSetup", "Clear setup"},
        {"cmdRestoreSetup", "Restore setup"},
        {"cmdKeepSetup", "Not now"},
        {"cmdSaveSetupForNextRun", "Save setup for next run"},
        {"cmdSaveSetupAsOperationFile", "Save setup in setup file"},
        {"cmdSaveSetupInBothWays", "Save setup in both ways"},
        {"cmdDontSaveSetup", "Not now"},
    };
    for (const auto& [name, caption] : buttons) {
        const auto* button = Find<QPushButton>(window.get(), name);
        ASSERT_NE(button, nullptr) << name;
        EXPECT_EQ(button->text(), caption) << name;
    }
    const std::pair<const char*, const char*> checks[] = {
        {"chkIncludeSubfolders", "Include all subfolders of these 33 subfolders"},
        {"chkExcludeFilesInSourceFolder", "Exclude files in source folder"},
        {"chkPauseAfterFirstCopy", "Pause after first copy of files from a folder"},
        {"chkSuppressDetailedReports", "Suppress display of detailed report"},
        {"chkSaveSetupOnQuit", "On quit save setup for next run"},
    };
    for (const auto& [name, caption] : checks) {
        const auto* box = Find<QCheckBox>(window.get(), name);
        ASSERT_NE(box, nullptr) << name;
        EXPECT_EQ(box->text(), caption) << name;
        EXPECT_EQ(CheckValue(box), 0) << name;
    }
    for (const char* name : {"txbDirectory(0)", "txbDirectory(1)", "txbFileExtension",
                             "txbExcludedFilepaths", "txbSetupFile"})
        EXPECT_NE(Find<QLineEdit>(window.get(), name), nullptr) << name;
    for (const char* name :
         {"lblBackupOnlyExtension", "lblSkipFilepaths", "lblPreviousRun", "lblIntro",
          "lblNumSubfolders", "lblFreeSpace", "lblTargetFolderIsEmpty", "lblWarningReFilesInUse(0)",
          "lblCorvaneWorks"})
        EXPECT_NE(Find<QLabel>(window.get(), name), nullptr) << name;
    for (const char* name : {"fraMenu", "fraSetup", "fraSaveSetup", "fraCopyright"})
        EXPECT_NE(Find<QFrame>(window.get(), name), nullptr) << name;
    EXPECT_EQ(window->lblBackupOnlyExtension->text(), "Back up only files with extension");
    EXPECT_EQ(window->lblSkipFilepaths->text(), "Skip filepaths containing:");
    EXPECT_EQ(window->lblCorvaneWorks->text(), "Corvane Works");
    EXPECT_EQ(window->lblIntro->text(), ProgramText(352));
    EXPECT_TRUE(window->lblIntro->isVisible()) << "no source yet";
    EXPECT_TRUE(window->lblWarningReFilesInUse[0]->text().startsWith(
        "Some applications and system programs restrict access to files they are using. If"));
    EXPECT_TRUE(window->lblWarningReFilesInUse[0]->isVisible());
    EXPECT_FALSE(window->fraSetup->isVisible());
    EXPECT_FALSE(window->fraSaveSetup->isVisible());
    EXPECT_FALSE(window->txbSetupFile->isVisible());
    EXPECT_FALSE(window->fraCopyright->isVisible());
    EXPECT_TRUE(window->lblPreviousRun->isVisible());
    EXPECT_EQ(window->lblPreviousRun->text(), "") << "no previous run recorded";

    // Values for the rest of the program.
    EXPECT_EQ(static_cast<int>(window->State().intOperationCheckForFile), 1);
    EXPECT_EQ(static_cast<int>(window->State().intOperationListFolders), 2);
    EXPECT_EQ(static_cast<int>(window->State().intOperationCheckBackupState), 3);
    EXPECT_EQ(static_cast<int>(window->State().intOperationBackupAllFiles), 4);
    EXPECT_EQ(static_cast<int>(window->State().intOperationBackupModifiedFiles), 5);
    EXPECT_EQ(window->State().intManyFilesThreshold, 400);
    EXPECT_EQ(window->State().intMaxPathDisplayLength, 120);
    EXPECT_EQ(window->intMaxLengthWithoutTip, 70);
    EXPECT_EQ(window->intMaxSizeForSmallReportWindow, 500);
    EXPECT_EQ(window->lngMaxSizeTextboxContents, 61440);
    EXPECT_EQ(window->State().strExcludedFilepaths, QStringList{QString()});
    EXPECT_EQ(window->strRecycleBinNames,
              (QStringList{"", "RECYCLED", "RECYCLER", "$RECYCLE.BIN"}));
    EXPECT_TRUE(window->strNextRunSetupPath.endsWith("/Vantoro/vnt.usr"));
    EXPECT_TRUE(QFileInfo(window->strNextRunSetupPath).dir().exists());

    const vnt::Setup setup = window->CurrentSetup();
    EXPECT_TRUE(setup.sourceFolder.isEmpty() && setup.targetFolder.isEmpty());
    EXPECT_TRUE(setup.includedFolders.isEmpty());
    EXPECT_EQ(window->State().intNumIncludedFolders, 0);
    EXPECT_EQ(window->cboIncludedFolders->currentIndex(), -1);
    EXPECT_EQ(setup.modifiedSinceIndex, 0);
    EXPECT_EQ(setup.modifiedSinceDays, -1);
    EXPECT_FALSE(window->cmdReportScreen->isEnabled());
    EXPECT_FALSE(window->chkIncludeSubfolders->isVisible());
    EXPECT_FALSE(window->chkExcludeFilesInSourceFolder->isVisible());
    EXPECT_TRUE(window->Clock->isActive());
    EXPECT_EQ(window->Clock->interval(), 1000);
    EXPECT_FALSE(window->Clock2->isActive());
    EXPECT_EQ(window->palette().color(QPalette::Window), QColor(224, 247, 228));
    EXPECT_EQ(window->cmdQuit->font().family(), "Arial");
    EXPECT_NE(window->txbDirectory[0]->font().family(), "Arial") << "text boxes keep their font";
}

TEST_F(MainWindowTest, ModifiedSinceListCarriesItsDays) {
    ASSERT_TRUE(Start());
    QComboBox* list = window->cboModifiedSince;
    ASSERT_EQ(list->count(), 5);
    const int days[] = {-1, 2, 6, 13, 27};
    for (int i = 0; i < 5; ++i)
        EXPECT_EQ(list->itemData(i).toInt(), days[i]);
    EXPECT_EQ(list->itemText(0), ProgramText(353));
    EXPECT_EQ(list->itemText(3), ProgramText(358));
    EXPECT_EQ(list->itemText(4), QString(ProgramText(358)).replace(u'2', u'4'));
    list->setCurrentIndex(4);
    EXPECT_EQ(window->ModifiedSinceDays(), 27);
    EXPECT_EQ(window->CurrentSetup().modifiedSinceDays, 27);
}

TEST_F(MainWindowTest, AMissingOrBrokenTextFileEndsStartUpWithItsMessage) {
    ASSERT_TRUE(QFile::remove(programFolder.filePath("vnt.dat")));
    EXPECT_FALSE(Start());
    EXPECT_FALSE(window->isVisible());
    ASSERT_EQ(dialogs.messages().size(), 1u);
    const MessageRequest box = dialogs.messages().front();
    EXPECT_EQ(box.icon, MsgIcon::Error);
    EXPECT_EQ(box.title, "");
    EXPECT_EQ(box.buttons, MsgButtons::Ok);
    EXPECT_EQ(box.text,
              "Cannot open file containing program text.\r\n" + programFolder.path() + "/vnt.dat");

    dialogs.shown.clear();
    WriteFile(programFolder.filePath("vnt.dat"), "1 Vantoro\n1 again\n");
    EXPECT_FALSE(Start());
    ASSERT_EQ(dialogs.messages().size(), 1u);
    EXPECT_EQ(dialogs.messages().front().text, "Duplicate in program text at line 2.");
}

TEST_F(MainWindowTest, GreyedCheckBoxIsNotChecked) {
    ASSERT_TRUE(Start());
    SetCheckValue(window->chkSaveSetupOnQuit, 2);
    EXPECT_EQ(CheckValue(window->chkSaveSetupOnQuit), 2);
    EXPECT_EQ(window->CurrentSetup().saveSetupOnQuit, 2);
    EXPECT_FALSE(IsChecked(window->CurrentSetup().saveSetupOnQuit));
    QTest::mouseClick(window->cmdQuit, Qt::LeftButton);
    EXPECT_TRUE(recorder->saves.empty()) << "a greyed save-on-quit box does not save";
    EXPECT_EQ(recorder->endCount, 1);
}

TEST_F(MainWindowTest, ResetSetupEmptiesEveryControl) {
    ASSERT_TRUE(Start());
    window->txbDirectory[0]->setText("/src/");
    window->txbDirectory[1]->setText("/dst/");
    window->txbFileExtension->setText("txt");
    window->txbExcludedFilepaths->setText("cache");
    window->cboIncludedFolders->addItems({"A", "B"});
    window->State().intNumIncludedFolders = 2;
    window->cboModifiedSince->setCurrentIndex(3);
    for (QCheckBox* box :
         {window->chkExcludeFilesInSourceFolder, window->chkSuppressDetailedReports,
          window->chkPauseAfterFirstCopy, window->chkSaveSetupOnQuit, window->chkIncludeSubfolders})
        SetCheckValue(box, 1);
    window->chkPauseAfterFirstCopy->setEnabled(false);
    window->chkIncludeSubfolders->show();
    window->fraSaveSetup->show();
    window->fraMenu->setEnabled(false);

    window->ResetSetup();
    const vnt::Setup setup = window->CurrentSetup();
    EXPECT_EQ(setup.sourceFolder, "");
    EXPECT_EQ(setup.targetFolder, "");
    EXPECT_EQ(setup.fileExtension, "");
    EXPECT_EQ(setup.excludedFilepaths, "");
    EXPECT_EQ(window->cboIncludedFolders->count(), 0);
    EXPECT_EQ(window->State().intNumIncludedFolders, 0);
    EXPECT_EQ(setup.modifiedSinceIndex, 0);
    EXPECT_EQ(setup.excludeFilesInSourceFolder + setup.suppressDetailedReports +
                  setup.pauseAfterFirstCopy + setup.saveSetupOnQuit + setup.includeSubfolders,
              0);
    EXPECT_TRUE(window->chkPauseAfterFirstCopy->isEnabled());
    EXPECT_FALSE(window->chkIncludeSubfolders->isVisible());
    EXPECT_FALSE(window->fraSaveSetup->isVisible());
    EXPECT_TRUE(window->fraMenu->isEnabled());
    EXPECT_TRUE(window->fraCopyright->isVisible()) << "the idle display shows the maker's notice";
}

TEST_F(MainWindowTest, IdleDisplayFollowsTheMenu) {
    ASSERT_TRUE(Start());
    window->fraMenu->setEnabled(false);
    window->txbSetupFile->setText("/home/me/backup.vnt");
    window->UpdateIdleDisplay();
    EXPECT_FALSE(window->txbSetupFile->isVisible());
    EXPECT_FALSE(window->fraCopyright->isVisible());
    EXPECT_FALSE(window->lblWarningReFilesInUse[0]->isVisible());
    window->fraMenu->setEnabled(true);
    window->UpdateIdleDisplay();
    EXPECT_TRUE(window->txbSetupFile->isVisible());
    EXPECT_TRUE(window->fraCopyright->isVisible());
    EXPECT_TRUE(window->lblWarningReFilesInUse[0]->isVisible());
    window->txbSetupFile->clear();
    window->UpdateIdleDisplay();
    EXPECT_FALSE(window->txbSetupFile->isVisible());
}

TEST_F(MainWindowTest, ButtonReleasesAreIgnoredUntilTheGuardClockTicks) {
    ASSERT_TRUE(Start());
    window->StartMouseUpGuard();
    EXPECT_TRUE(window->Clock2->isActive());
    QTest::mouseClick(window->cmdQuit, Qt::LeftButton);
    QTest::mouseClick(window->cmdBackupAllFiles, Qt::LeftButton);
    QTest::mouseClick(window->cmdHelp, Qt::LeftButton);
    EXPECT_EQ(recorder->endCount, 0);
    EXPECT_TRUE(recorder->operations.empty());
    EXPECT_EQ(window->Viewer(), nullptr);

    window->Clock2_Timer();
    EXPECT_FALSE(window->blnIgnoreMouseUp);
    EXPECT_FALSE(window->Clock2->isActive());
    QTest::mouseClick(window->cmdBackupAllFiles, Qt::LeftButton);
    EXPECT_EQ(recorder->operations, std::vector<qint16>{4});
    QTest::mouseClick(window->cmdQuit, Qt::LeftButton);
    EXPECT_EQ(recorder->endCount, 1);
}

TEST_F(MainWindowTest, OperationButtonsActOnMouseAndSpace) {
    ASSERT_TRUE(Start());
    window->cmdListSubFolders->setEnabled(true);
    QTest::mouseClick(window->cmdListSubFolders, Qt::LeftButton);
    QTest::mouseClick(window->cmdCheckBackupState, Qt::LeftButton);
    QTest::mouseClick(window->cmdBackupModifiedFiles, Qt::LeftButton);
    QTest::mouseClick(window->cmdBackupModifiedFiles, Qt::RightButton);
    QTest::keyClick(window->cmdBackupAllFiles, Qt::Key_Space);
    EXPECT_EQ(recorder->operations, (std::vector<qint16>{2, 3, 5, 4}));
    window->cmdListSubFolders->setEnabled(false);
    QTest::mouseClick(window->cmdListSubFolders, Qt::LeftButton);
    EXPECT_EQ(recorder->operations.size(), 4u) << "a disabled button does nothing";
}

TEST_F(MainWindowTest, ReturnAndEnterPressTheFocusedButton) {
    ASSERT_TRUE(Start());
    QTest::keyClick(window->cmdBackupAllFiles, Qt::Key_Return);
    QTest::keyClick(window->cmdCheckBackupState, Qt::Key_Enter);
    EXPECT_EQ(recorder->operations, (std::vector<qint16>{4, 3}));
    window->cmdListSubFolders->setEnabled(false);
    QTest::keyClick(window->cmdListSubFolders, Qt::Key_Return);
    EXPECT_EQ(recorder->operations.size(), 2u) << "a disabled button does nothing";
    QTest::keyPress(window->cmdBackupAllFiles, Qt::Key_Return);
    QTest::keyRelease(window->cmdBackupAllFiles, Qt::Key_Return);
    QTest::keyRelease(window->cmdBackupAllFiles, Qt::Key_Return);
    EXPECT_EQ(recorder->operations.size(), 3u) << "the press acts, a stray release does not";

    // Buttons that act on a click take Return as well.
    window->OpenSetupMenu();
    ASSERT_TRUE(window->fraSetup->isVisible());
    QTest::keyClick(window->cmdKeepSetup, Qt::Key_Return);
    EXPECT_FALSE(window->fraSetup->isVisible());
    QTest::keyClick(window->cmdQuit, Qt::Key_Return);
    EXPECT_EQ(recorder->endCount, 1);
}

TEST_F(MainWindowTest, ClockShowsTheSkipClearButtonAndTheReportButton) {
    ASSERT_TRUE(Start());
    EXPECT_FALSE(window->cmdClearFolder[2]->isVisible());
    QTest::keyClicks(window->txbExcludedFilepaths, "cache");
    EXPECT_FALSE(window->cmdClearFolder[2]->isVisible()) << "only the clock shows it";
    window->Clock_Timer();
    EXPECT_TRUE(window->cmdClearFolder[2]->isVisible());
    window->txbExcludedFilepaths->clear();
    window->Clock_Timer();
    EXPECT_FALSE(window->cmdClearFolder[2]->isVisible());

    recorder->reportHasText = true;
    window->Clock_Timer();
    EXPECT_TRUE(window->cmdReportScreen->isEnabled());
    recorder->reportHasText = false;
    window->Clock_Timer();
    EXPECT_FALSE(window->cmdReportScreen->isEnabled());
}

TEST_F(MainWindowTest, SetupFileTooltipFrom61Characters) {
    ASSERT_TRUE(Start());
    const QString sixty = "/" + QString(59, u'a');
    window->txbSetupFile->setText(sixty);
    window->Clock_Timer();
    EXPECT_EQ(window->txbSetupFile->toolTip(), "");
    window->txbSetupFile->setText(sixty + "b");
    window->Clock_Timer();
    EXPECT_EQ(window->txbSetupFile->toolTip(), sixty + "b");
}

TEST_F(MainWindowTest, QuitSavesForTheNextRunAndTheCloseBoxDoesNot) {
    ASSERT_TRUE(Start());
    window->blnNextRunSetupCurrent = false; // the guard after start-up has run out
    SetCheckValue(window->chkSaveSetupOnQuit, 1);
    window->txbSetupFile->setText("/home/me/a.vnt");
    window->txbSetupFile->show();
    window->close();
    EXPECT_TRUE(recorder->saves.empty());
    EXPECT_EQ(recorder->endCount, 1);

    QTest::mouseClick(window->cmdQuit, Qt::LeftButton);
    ASSERT_EQ(recorder->saves.size(), 1u);
    EXPECT_EQ(recorder->saves[0].first, window->strNextRunSetupPath);
    EXPECT_TRUE(recorder->saves[0].second) << "announced";
    EXPECT_FALSE(window->txbSetupFile->isVisible());
    EXPECT_EQ(recorder->endCount, 2);
    EXPECT_TRUE(dialogs.messages().empty());

    recorder->saveResult = false;
    QTest::mouseClick(window->cmdQuit, Qt::LeftButton);
    ASSERT_EQ(dialogs.messages().size(), 1u);
    const MessageRequest box = dialogs.messages().front();
    EXPECT_EQ(box.text, ProgramText(116));
    EXPECT_EQ(box.title, ProgramText(31));
    EXPECT_EQ(box.icon, MsgIcon::Warning);
    EXPECT_EQ(recorder->endCount, 3) << "the program still ends";
}

TEST_F(MainWindowTest, TheNextRunGuardKeepsQuitFromSavingForElevenTicks) {
    ASSERT_TRUE(Start());
    SetCheckValue(window->chkSaveSetupOnQuit, 1);
    window->blnNextRunSetupCurrent = true;
    window->intNextRunSetupTicks = 0;
    for (int tick = 0; tick < 10; ++tick)
        window->Clock_Timer();
    EXPECT_TRUE(window->blnNextRunSetupCurrent);
    QTest::mouseClick(window->cmdQuit, Qt::LeftButton);
    EXPECT_TRUE(recorder->saves.empty());
    window->Clock_Timer();
    EXPECT_FALSE(window->blnNextRunSetupCurrent);
    QTest::mouseClick(window->cmdQuit, Qt::LeftButton);
    EXPECT_EQ(recorder->saves.size(), 1u);
}

TEST_F(MainWindowTest, FocusFollowsTheMouseAndTheNextStep) {
    ASSERT_TRUE(Start());
    window->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(window.get()));
    window->FocusNextStep();
    EXPECT_TRUE(window->cmdSpecifyDirectory[0]->hasFocus());
    window->txbDirectory[0]->setText("/src/");
    window->FocusNextStep();
    EXPECT_TRUE(window->cmdSpecifyDirectory[1]->hasFocus());
    window->txbDirectory[1]->setText("/dst/");
    window->FocusNextStep();
    EXPECT_TRUE(window->cmdBackupModifiedFiles->hasFocus());

    const QPointF centre(window->cmdHelp->rect().center());
    QEnterEvent enter(centre, centre, window->cmdHelp->mapToGlobal(centre));
    QCoreApplication::sendEvent(window->cmdHelp, &enter);
    EXPECT_TRUE(window->cmdHelp->hasFocus());
    QCoreApplication::sendEvent(window->cmdCreateSubFolder, &enter);
    EXPECT_TRUE(window->cmdCreateSubFolder->hasFocus());

    window->cmdListSubFolders->setEnabled(false);
    EXPECT_FALSE(FocusIfAvailable(window->cmdListSubFolders)) << "disabled";
    EXPECT_FALSE(FocusIfAvailable(window->fraSetup)) << "hidden";
    EXPECT_TRUE(FocusIfAvailable(window->cmdSetup));
    EXPECT_TRUE(window->cmdSetup->hasFocus());
}

TEST_F(MainWindowTest, LockingTheWindowForAnOperation) {
    ASSERT_TRUE(Start());
    SetControlsEnabled(window.get(), false, false, true, false, false);
    EXPECT_FALSE(window->cmdSpecifyDirectory[0]->isEnabled());
    EXPECT_FALSE(window->chkPauseAfterFirstCopy->isEnabled());
    EXPECT_FALSE(window->cboModifiedSince->isEnabled());
    EXPECT_FALSE(window->txbExcludedFilepaths->isEnabled());
    EXPECT_TRUE(window->lblSkipFilepaths->isEnabled());
    EXPECT_TRUE(window->fraMenu->isEnabled());
    SetControlsEnabled(window.get(), true, true, true, true, true);
    EXPECT_TRUE(window->cmdSpecifyDirectory[0]->isEnabled());
    EXPECT_TRUE(window->txbExcludedFilepaths->isEnabled());
}

TEST_F(MainWindowTest, TheWindowKeepsItsSize) {
    ASSERT_TRUE(Start());
    const QSize size = window->size();
    EXPECT_EQ(window->minimumSize(), size) << "the desktop is told so";
    EXPECT_EQ(window->maximumSize(), size);
    window->resize(size + QSize(200, 150));
    EXPECT_EQ(window->size(), size);
}

// Every control lies inside the window, none overlaps another, and every caption fits.
TEST_F(MainWindowTest, LayoutIsTidy) {
    ASSERT_TRUE(Start());
    QWidget* form = window->centralWidget();
    std::vector<QWidget*> controls;
    for (QObject* child : form->children()) {
        auto* widget = qobject_cast<QWidget*>(child);
        // The setup panels are shown over the window on purpose.
        if (widget != nullptr && widget != window->fraSetup && widget != window->fraSaveSetup)
            controls.push_back(widget);
    }
    ASSERT_GT(controls.size(), 30u);
    for (size_t i = 0; i < controls.size(); ++i) {
        EXPECT_TRUE(form->rect().contains(controls[i]->geometry()))
            << controls[i]->objectName().toStdString();
        for (size_t j = i + 1; j < controls.size(); ++j) {
            EXPECT_FALSE(controls[i]->geometry().intersects(controls[j]->geometry()))
                << controls[i]->objectName().toStdString() << " and "
                << controls[j]->objectName().toStdString();
        }
    }
    for (QPushButton* button : form->findChildren<QPushButton*>()) {
        EXPECT_LE(button->fontMetrics().horizontalAdvance(button->text()) + 12, button->width())
            << button->objectName().toStdString() << " is cut";
    }
    for (QWidget* widget : form->findChildren<QWidget*>()) {
        if (qobject_cast<QCheckBox*>(widget) ||
            (qobject_cast<QLabel*>(widget) && !static_cast<QLabel*>(widget)->wordWrap())) {
            EXPECT_LE(widget->sizeHint().width(), widget->width())
                << widget->objectName().toStdString() << " is cut";
        }
    }
    for (QFrame* panel : {window->fraSetup, window->fraSaveSetup}) {
        for (QPushButton* button : panel->findChildren<QPushButton*>()) {
            EXPECT_TRUE(panel->rect().contains(button->geometry()));
        }
    }
}

// The setup menu's further entries, beside the setup commands (LayoutIsTidy sees that none
// is cut), and the menu within the window.
TEST_F(MainWindowTest, TheSetupMenusFurtherEntries) {
    ASSERT_TRUE(Start());
    window->OpenSetupMenu();
    EXPECT_EQ(window->cmdVerifyBackup->text(), "Verify backup");
    EXPECT_EQ(window->chkKeepReplacedCopies->text(), "Keep replaced copies");
    EXPECT_EQ(window->cmdScheduleBackup->text(), "Schedule nightly backup...");
    EXPECT_EQ(window->cmdSchedules->text(), "Scheduled backups...");
    EXPECT_GT(window->cmdVerifyBackup->x(), window->cmdLoadSetup->geometry().right());
    EXPECT_TRUE(window->centralWidget()->rect().contains(window->fraSetup->geometry()));
}

} // namespace
} // namespace vnt::test
