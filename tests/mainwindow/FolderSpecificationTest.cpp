#include "mainwindow/Language.h"
#include "MainWindowFixture.h"
#include "platform/FoldersOnDisk.h"
#include "TestSupport.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>

namespace vnt::test {
namespace {

class FolderTest : public MainWindowTest {
protected:
    QTemporaryDir disk;
    QString data = disk.path() + "/Data/";
    QString backup = disk.path() + "/Backup/";

    void SetUp() override {
        MainWindowTest::SetUp();
        ASSERT_TRUE(QDir().mkpath(data + "Letters/2024"));
        ASSERT_TRUE(QDir().mkpath(data + "Photos"));
        ASSERT_TRUE(QDir().mkpath(backup));
        WriteFile(data + "notes.txt", "x");
        ASSERT_TRUE(Start());
    }

    void Pick(int index, const QString& folder) {
        dialogs.folderAnswers.push_back(folder);
        window->cmdSpecifyDirectory_MouseUp(index);
    }

    QString Source() const { return window->txbDirectory[0]->text(); }
    QString Target() const { return window->txbDirectory[1]->text(); }
    QString LastMessage() const { return dialogs.messages().back().text; }
};

TEST_F(FolderTest, ChoosingSourceAndTargetShowsTheirSummaries) {
    Pick(0, disk.path() + "/Data"); // the picker gives no trailing separator
    EXPECT_EQ(Source(), data);
    EXPECT_EQ(dialogs.shown[0].prompt, ProgramText(22));
    EXPECT_EQ(window->lblNumSubfolders->text(), "There are 2 subfolders, none selected");
    EXPECT_EQ(window->cmdListSubFolders->text(), ProgramText(21));
    EXPECT_FALSE(window->lblIntro->isVisible());
    EXPECT_TRUE(window->chkExcludeFilesInSourceFolder->isEnabled());
    EXPECT_TRUE(window->cmdClearFolder[0]->isVisible());

    Pick(1, backup);
    EXPECT_EQ(Target(), backup);
    EXPECT_EQ(dialogs.messages().back().text, "Do you wish to specify a new source disk or folder");
    EXPECT_EQ(dialogs.messages().back().defaultButton, MsgResult::No);
    EXPECT_EQ(window->lblTargetFolderIsEmpty->text(), ProgramText(157));
    EXPECT_TRUE(window->lblTargetFolderIsEmpty->isVisible());
    EXPECT_TRUE(window->lblFreeSpace->text().startsWith(ProgramText(159) + " /"));

    // A single file in the target hides the empty label.
    WriteFile(backup + "old.txt", "x");
    window->RefreshTargetFolderDisplay(true);
    EXPECT_FALSE(window->lblTargetFolderIsEmpty->isVisible());
}

TEST_F(FolderTest, NestingRules) {
    Pick(1, disk.path() + "/");
    Pick(0, data);
    EXPECT_EQ(Source(), "") << "a source inside the target is refused";
    EXPECT_EQ(dialogs.messages()[0].text, data + "\r\n\r\n" + ProgramText(25));
    EXPECT_EQ(dialogs.messages()[0].title, "Source disk or folder");

    window->cmdClearFolder_Click(1);
    dialogs.shown.clear();
    Pick(0, data);
    Pick(1, data + "Backup-inside");
    EXPECT_EQ(Target(), "") << "the picked folder must exist to pass the write test";
    ASSERT_TRUE(QDir().mkpath(data + "Backup-inside"));
    dialogs.shown.clear();
    Pick(1, data + "Backup-inside");
    EXPECT_EQ(Target(), data + "Backup-inside/") << "a target inside the source is accepted";

    dialogs.shown.clear();
    Pick(1, data);
    EXPECT_EQ(dialogs.messages()[0].text, ProgramText(27));
    ASSERT_TRUE(QDir().mkpath(disk.path() + "/Data2"));
    window->cmdClearFolder_Click(1);
    Pick(1, disk.path() + "/Data2");
    EXPECT_EQ(Target(), disk.path() + "/Data2/") << "Data2 is not inside Data";
}

TEST_F(FolderTest, CancelledPickerStillOffersTheOtherFolder) {
    Pick(0, data);
    Pick(1, backup);
    dialogs.shown.clear();
    dialogs.messageAnswers = {MsgResult::Yes};
    dialogs.folderAnswers = {QString(), QString()};
    window->cmdSpecifyDirectory_MouseUp(0);
    ASSERT_EQ(dialogs.shown.size(), 3u) << "picker, question, picker for the target";
    EXPECT_EQ(dialogs.shown[1].message.text, "Do you wish to specify a new target disk or folder");
    EXPECT_EQ(dialogs.shown[2].prompt, ProgramText(23));
    EXPECT_EQ(Source(), data);
    EXPECT_EQ(Target(), backup);
    EXPECT_FALSE(window->blnChoosingOtherFolder);
}

TEST_F(FolderTest, RecycleBinsAndUnwritableTargetsAreRefused) {
    Pick(0, "/.Trash-1000");
    EXPECT_EQ(LastMessage(), "A recycle bin cannot be a backup source or target.");
    EXPECT_EQ(Source(), "");
    Pick(1, "/proc");
    EXPECT_TRUE(
        LastMessage().startsWith("The target folder is on a write-protected disk.\r\n\r\n"));
    EXPECT_EQ(dialogs.messages().back().title, "Disk is write-protected");
    EXPECT_EQ(Target(), "");
    EXPECT_EQ(QDir("/proc").entryList({"klasdj*"}).size(), 0);
}

TEST_F(FolderTest, TooltipsFrom71Characters) {
    const QString seventy = disk.path() + "/" + QString(68 - disk.path().size(), u'x');
    ASSERT_EQ(seventy.size() + 1, 70);
    ASSERT_TRUE(QDir().mkpath(seventy));
    Pick(1, seventy);
    EXPECT_EQ(window->txbDirectory[1]->toolTip(), "");
    ASSERT_TRUE(QDir().mkpath(seventy + "y"));
    window->cmdClearFolder_Click(1);
    Pick(1, seventy + "y");
    EXPECT_EQ(window->txbDirectory[1]->toolTip(), seventy + "y/");

    // Every change of the path brings its tooltip along: a subfolder made the target...
    dialogs.inputAnswers = {"z"};
    dialogs.messageAnswers = {MsgResult::Ok, MsgResult::Yes};
    window->cmdCreateSubFolder_MouseUp();
    ASSERT_EQ(Target(), seventy + "y/z/");
    EXPECT_EQ(window->txbDirectory[1]->toolTip(), seventy + "y/z/");
    // ... and a missing target cleared.
    ASSERT_TRUE(QDir(seventy + "y/z").removeRecursively());
    dialogs.messageAnswers = {MsgResult::Yes};
    window->cmdCreateSubFolder_MouseUp();
    ASSERT_EQ(Target(), "");
    EXPECT_EQ(window->txbDirectory[1]->toolTip(), "");
}

TEST_F(FolderTest, PickerOpensAtTheFolderInTheBox) {
    Pick(0, data);
    EXPECT_EQ(dialogs.shown.back().startFolder, QDir::homePath()) << "nothing chosen yet";
    Pick(0, data + "Photos");
    EXPECT_EQ(dialogs.shown.back().startFolder, data);
    Pick(1, backup);
    dialogs.shown.clear();
    dialogs.messageAnswers = {MsgResult::Yes}; // and choose a new target too
    window->cmdSpecifyDirectory_MouseUp(0);
    ASSERT_EQ(dialogs.shown.size(), 3u);
    EXPECT_EQ(dialogs.shown[0].startFolder, data + "Photos/");
    EXPECT_EQ(dialogs.shown[2].startFolder, backup);

    ASSERT_TRUE(QDir(backup).removeRecursively());
    dialogs.shown.clear();
    window->cmdSpecifyDirectory_MouseUp(1);
    EXPECT_EQ(dialogs.shown.front().startFolder, QDir::homePath()) << "the folder is gone";
}

TEST_F(FolderTest, CreateSubfolder) {
    window->cmdCreateSubFolder_MouseUp();
    EXPECT_EQ(LastMessage(), "A target folder must first be specified.");
    EXPECT_EQ(dialogs.messages().back().title, "Create subfolder");

    Pick(0, data);
    Pick(1, backup);
    dialogs.shown.clear();
    dialogs.inputAnswers = {"My\\Data/"};
    dialogs.messageAnswers = {MsgResult::Ok, MsgResult::Yes};
    window->cmdCreateSubFolder_MouseUp();
    const InputRequest input = dialogs.shown[0].input;
    EXPECT_EQ(input.prompt, QString(ProgramText(374)).replace("C:\\", backup));
    EXPECT_EQ(input.defaultText, "Data") << "the source folder's name";
    EXPECT_TRUE(FolderExists(backup + "MyData")) << "separators removed";
    EXPECT_EQ(dialogs.shown[1].message.text, backup + "MyData " + ProgramText(376));
    EXPECT_EQ(dialogs.shown[2].message.text,
              QString(ProgramText(378)).replace("E:\\", backup + "MyData"));
    EXPECT_EQ(Target(), backup + "MyData/");

    dialogs.shown.clear();
    dialogs.inputAnswers = {"///\\"};
    window->cmdCreateSubFolder_MouseUp();
    EXPECT_EQ(dialogs.shown.size(), 1u) << "nothing left of the name: nothing happens";

    WriteFile(backup + "MyData/report", "a file");
    dialogs.shown.clear();
    dialogs.inputAnswers = {"report"};
    window->cmdCreateSubFolder_MouseUp();
    EXPECT_EQ(LastMessage(), ProgramText(377) + " " + backup + "MyData/report\r\n" +
                                 ProgramText(386) + " report " + ProgramText(387) + " " + backup +
                                 "MyData/.");
    EXPECT_EQ(dialogs.messages().back().icon, MsgIcon::Warning);
}

TEST_F(FolderTest, ClearButtonsAndTheHint) {
    Pick(0, data);
    window->txbExcludedFilepaths->setText("cache");
    window->cmdClearFolder_Click(2);
    EXPECT_EQ(window->txbExcludedFilepaths->text(), "");
    EXPECT_EQ(window->lblNumSubfolders->text(), "There are 2 subfolders, none selected");
    window->cmdClearFolder_Click(0);
    EXPECT_EQ(Source(), "");
    EXPECT_EQ(window->lblNumSubfolders->text(), "") << "no count under an empty box";
    EXPECT_TRUE(window->lblIntro->isVisible());
    EXPECT_FALSE(window->cmdClearFolder[0]->isVisible());

    QTest::mouseClick(window->txbDirectory[0], Qt::LeftButton);
    EXPECT_EQ(LastMessage(), "Specify a source folder by clicking on the 'Source folder' button.");
    EXPECT_EQ(dialogs.messages().back().title, "How to specify a folder");
}

TEST_F(FolderTest, IncludedSubfolders) {
    window->cmdSelectSubfolders_MouseUp();
    EXPECT_EQ(LastMessage(), "The source disk or folder must first be specified.");

    Pick(0, data);
    SubfolderSelection seen;
    recorder->selectionWindow = [&seen](SubfolderSelection& request) {
        seen = request;
        request.blnFolderSelectionAccepted = true;
        request.strFoldersReturnedFromSelectFoldersForm = " Letters \r\n\r\nPhotos";
    };
    window->cmdSelectSubfolders_MouseUp();
    EXPECT_EQ(seen.strTopFolder, data);
    EXPECT_EQ(seen.intMaxNumCheckboxes, 11);
    EXPECT_EQ(seen.strCaption,
              "Select subfolders of the source folder to be INCLUDED in the backup");
    EXPECT_EQ(seen.strFoldersPassedToSelectFoldersForm, "");
    EXPECT_EQ(window->State().intNumIncludedFolders, 2);
    EXPECT_EQ(window->lblNumSubfolders->text(), "There are 2 subfolders, 2 selected");
    EXPECT_EQ(window->chkIncludeSubfolders->text(), "Include all subfolders of these 2 subfolders");
    EXPECT_TRUE(window->chkIncludeSubfolders->isVisible());
    EXPECT_EQ(window->cmdListSubFolders->text(), ProgramText(19));

    recorder->selectionWindow = [&seen](SubfolderSelection& request) { seen = request; };
    window->cmdSelectSubfolders_MouseUp();
    EXPECT_EQ(seen.strFoldersPassedToSelectFoldersForm, "Letters\r\nPhotos");
    EXPECT_EQ(window->State().intNumIncludedFolders, 2) << "a cancelled selection keeps the list";

    window->cboIncludedFolders->setCurrentIndex(0);
    window->cmdRemoveSubfolder_Click();
    EXPECT_EQ(window->chkIncludeSubfolders->isVisible(), false) << "Photos has no subfolders";
    window->cmdRemoveSubfolder_Click();
    EXPECT_EQ(window->State().intNumIncludedFolders, 0);
    EXPECT_FALSE(window->cboIncludedFolders->isVisible());
    EXPECT_FALSE(window->cmdRemoveSubfolder->isVisible());
}

TEST_F(FolderTest, SourceSummaryCases) {
    const QString onlyFolders = disk.path() + "/OnlyFolders/";
    ASSERT_TRUE(QDir().mkpath(onlyFolders + "One"));
    Pick(0, onlyFolders);
    EXPECT_EQ(window->lblNumSubfolders->text(), "There is one subfolder");
    EXPECT_FALSE(window->chkExcludeFilesInSourceFolder->isEnabled());
    EXPECT_EQ(CheckValue(window->chkExcludeFilesInSourceFolder), 0);

    window->cmdClearFolder_Click(0);
    Pick(0, data + "Photos");
    EXPECT_EQ(window->lblNumSubfolders->text(), "There are no subfolders");
    EXPECT_FALSE(window->cmdSelectSubfolders->isEnabled());
    EXPECT_EQ(window->cmdListSubFolders->text(), ProgramText(21));

    // The folder vanishes between two clicks.
    ASSERT_TRUE(QDir(data + "Photos").removeRecursively());
    window->RefreshSourceFolderDisplay();
    EXPECT_EQ(window->lblNumSubfolders->text(), "Path not found");
    EXPECT_FALSE(window->cmdListSubFolders->isEnabled());
}

TEST_F(FolderTest, MissingTargetIsQuestionedAfterStartUp) {
    Pick(1, backup);
    ASSERT_TRUE(QDir(backup).removeRecursively());
    dialogs.shown.clear();
    dialogs.messageAnswers = {MsgResult::Yes};
    window->RefreshTargetFolderDisplay(true);
    ASSERT_EQ(dialogs.messages().size(), 1u);
    EXPECT_EQ(dialogs.messages()[0].title, ProgramText(59));
    EXPECT_TRUE(dialogs.messages()[0].text.startsWith(ProgramText(79) + " " + backup + "\r\n"));
    EXPECT_TRUE(dialogs.messages()[0].text.endsWith("\r\n\r\n" + ProgramText(82)));
    EXPECT_EQ(Target(), "");

    window->txbDirectory[1]->setText(backup);
    window->blnStartupCompleted = false;
    window->RefreshTargetFolderDisplay(false);
    EXPECT_EQ(Target(), "") << "during start-up the Setup is emptied silently";
    EXPECT_EQ(dialogs.messages().size(), 1u);
}

TEST_F(FolderTest, TargetEmptyLabelAndFreeSpaceFailure) {
    window->txbDirectory[1]->setText(backup);
    EXPECT_TRUE(window->UpdateTargetEmptyLabel());
    EXPECT_EQ(window->lblTargetFolderIsEmpty->text(), "The target folder is empty.");
    WriteFile(backup + "x", "x");
    EXPECT_FALSE(window->UpdateTargetEmptyLabel());
    EXPECT_EQ(window->lblTargetFolderIsEmpty->text(), "The target folder is not empty.");

    window->txbDirectory[1]->setText("unreachable/");
    window->RefreshFreeSpaceLabel();
    EXPECT_EQ(window->lblFreeSpace->text(), ProgramText(158) + " .");
}

TEST_F(FolderTest, ExtensionIsCheckedWhenTheUserMovesToAnotherControl) {
    window->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(window.get()));
    window->txbFileExtension->setFocus(Qt::TabFocusReason);
    QTest::keyClicks(window->txbFileExtension, "Abcdef");
    // A context menu or another program's window takes the focus for a while.
    for (const Qt::FocusReason reason : {Qt::PopupFocusReason, Qt::ActiveWindowFocusReason}) {
        QFocusEvent out(QEvent::FocusOut, reason);
        QCoreApplication::sendEvent(window->txbFileExtension, &out);
    }
    EXPECT_TRUE(dialogs.shown.empty());
    EXPECT_EQ(window->txbFileExtension->text(), "Abcdef") << "not even normalised";

    window->txbExcludedFilepaths->setFocus(Qt::TabFocusReason);
    ASSERT_EQ(dialogs.messages().size(), 1u);
    EXPECT_EQ(dialogs.messages()[0].title, "File extension");
    EXPECT_EQ(window->txbFileExtension->text(), "abcdef");
    window->txbFileExtension->setFocus(Qt::MouseFocusReason);
    QTest::mouseClick(window->txbDirectory[0], Qt::LeftButton);
    EXPECT_EQ(dialogs.messages().size(), 3u) << "the length message, then the path box's hint";
}

TEST_F(FolderTest, ChoosingAPeriodMovesOnToTheNextStep) {
    window->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(window.get()));
    window->cboModifiedSince->setFocus();
    QTest::keyClick(window->cboModifiedSince, Qt::Key_Down);
    EXPECT_EQ(window->cboModifiedSince->currentIndex(), 1);
    EXPECT_TRUE(window->cmdSpecifyDirectory[0]->hasFocus()) << "no source yet";
}

TEST_F(FolderTest, ExtensionFilterAndTheReportOptions) {
    window->txbFileExtension->setText(".Txt");
    window->txbFileExtension_LostFocus();
    EXPECT_EQ(window->txbFileExtension->text(), "txt");
    EXPECT_TRUE(dialogs.shown.empty());
    window->txbFileExtension->setText("*");
    window->txbFileExtension_LostFocus();
    EXPECT_EQ(window->txbFileExtension->text(), "");
    EXPECT_EQ(dialogs.messages().back().title, "File extension");
    window->txbFileExtension_LostFocus();
    EXPECT_EQ(dialogs.messages().size(), 1u) << "an empty box says nothing";

    window->txbExcludedFilepaths->setText(QString(71, u'c'));
    window->txbExcludedFilepaths_LostFocus();
    EXPECT_EQ(window->txbExcludedFilepaths->toolTip(), QString(71, u'c'));

    SetCheckValue(window->chkPauseAfterFirstCopy, 1);
    QTest::mouseClick(window->chkSuppressDetailedReports, Qt::LeftButton);
    EXPECT_EQ(CheckValue(window->chkPauseAfterFirstCopy), 0);
    EXPECT_FALSE(window->chkPauseAfterFirstCopy->isEnabled());
    QTest::mouseClick(window->chkSuppressDetailedReports, Qt::LeftButton);
    EXPECT_EQ(CheckValue(window->chkPauseAfterFirstCopy), 1);
    EXPECT_TRUE(window->chkPauseAfterFirstCopy->isEnabled());
    EXPECT_EQ(window->keptSetup.pauseAfterFirstCopy, 1) << "the kept setup shares the value";
}

} // namespace
} // namespace vnt::test
