// A person's first day with the real main window: every step through the window's own
// handlers and windows, with scripted dialogs, on a real temporary tree.
#include "mainwindow/Language.h"
#include "MainWindowFixture.h"
#include "report/frmReport.h"
#include "setups/frmSelectSubfolders.h"
#include "setups/SetupFile.h"
#include "TestSupport.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>
#include <QTimer>

namespace vnt::test {
namespace {

class FirstDayTest : public MainWindowTest {
protected:
    QTemporaryDir disk;
    QString source = disk.path() + "/Documents/";
    QString target = disk.path() + "/Backup/";

    void SetUp() override {
        MainWindowTest::SetUp();
        for (const char* folder : {"Letters/2025", "Photos", "Music"})
            ASSERT_TRUE(QDir().mkpath(source + folder));
        ASSERT_TRUE(QDir().mkpath(target));
        WriteFile(source + "todo.txt", "milk");
        WriteFile(source + "Letters/a.txt", "Dear Ann");
        WriteFile(source + "Letters/2025/b.txt", "Dear Bob");
        WriteFile(source + "Photos/p.jpg", QByteArray(300 * 1024, 'p'));
        WriteFile(source + "Music/m.mp3", "la la");
        for (const char* file : {"todo.txt", "Letters/a.txt", "Letters/2025/b.txt",
                                 "Photos/p.jpg", "Music/m.mp3"})
            SetLastWriteUtc(source + file, 2026, 11, 30, 9, 0, 0);
        ASSERT_TRUE(Start());
        recorder->runOperations = true;
        recorder->realSaves = true;
        recorder->realSelection = true;
    }

    frmReport& Report() { return window->ReportWindow(); }
    QString ReportText() { return Report().ReportText(); }
};

TEST_F(FirstDayTest, FromTheFirstBackupToQuit) {
    // The source and the target, each from its picker.
    dialogs.folderAnswers = {source, target};
    window->cmdSpecifyDirectory_MouseUp(0);
    window->cmdSpecifyDirectory_MouseUp(1); // "a new source too?" takes its default, No
    ASSERT_EQ(window->txbDirectory[0]->text(), source);
    ASSERT_EQ(window->txbDirectory[1]->text(), target);

    // Two subfolders, ticked in the real selection window.
    bool accepted = false;
    QTimer picker;
    QObject::connect(&picker, &QTimer::timeout, [&] {
        auto* selection = window->findChild<frmSelectSubfolders*>();
        if (accepted || selection == nullptr || !selection->isVisible() || selection->IsBusy() ||
            selection->Rows().size() != 3)
            return;
        accepted = true;
        selection->chkSubfolder[0]->click(); // Letters
        selection->chkSubfolder[2]->click(); // Photos (the rows are sorted)
        EXPECT_EQ(selection->lblNumSubfolders->text().section(u'\n', 0, 0),
                  "2 selected (of 3).");
        selection->cmdAccept->click();
    });
    picker.start(1);
    window->cmdSelectSubfolders_MouseUp();
    picker.stop();
    ASSERT_TRUE(accepted);
    ASSERT_EQ(window->State().intNumIncludedFolders, 2);
    EXPECT_EQ(window->cboIncludedFolders->itemText(0), "Letters");
    EXPECT_EQ(window->cboIncludedFolders->itemText(1), "Photos");
    window->chkIncludeSubfolders->click();

    // List, then check an empty target.
    window->cmdListSubFolders_MouseUp();
    EXPECT_TRUE(ReportText().contains("    1 file  in {source folder}Letters/2025/\r\n"));
    EXPECT_TRUE(ReportText().endsWith("Number of folders: 4\r\nNumber of files: 4\r\n"
                                      "Sum of file sizes: 307,220 bytes\r\n"))
        << ReportText().toStdString();
    window->cmdCheckBackupState_MouseUp();
    EXPECT_EQ(dialogs.messages().back().text, ProgramText(32)) << "the target is empty";

    // Back up all, then a check finds nothing to do.
    window->cmdBackupAllFiles_MouseUp();
    EXPECT_EQ(recorder->confirmations, 1);
    for (const char* file : {"todo.txt", "Letters/a.txt", "Letters/2025/b.txt", "Photos/p.jpg"})
        EXPECT_TRUE(QFile::exists(target + file)) << file;
    EXPECT_FALSE(QFile::exists(target + "Music/m.mp3")) << "not selected";
    EXPECT_TRUE(ReportText().contains("Number of files copied: 4\r\n"));
    window->cmdCheckBackupState_MouseUp();
    // All that is selected, and the one subfolder that is not, by name.
    EXPECT_TRUE(ReportText().endsWith("All files backed up.\r\n\r\nNot included: 1 subfolder of " +
                                      source +
                                      " with its files: Music. Choose them with Select "
                                      "included subfolders.\r\n"))
        << ReportText().toStdString();

    // A letter changes; back up new and modified, pausing and going on during the copy.
    WriteFile(source + "Letters/a.txt", "Dear Ann, again");
    SetLastWriteUtc(source + "Letters/a.txt", 2026, 12, 1, 9, 0, 0);
    QStringList seen;
    QTimer hand;
    QObject::connect(&hand, &QTimer::timeout, [&] {
        if (!window->blnOperationRunning || !window->ReportWindowExists())
            return;
        if (Report().cmdPauseContinue->isHidden() || !seen.isEmpty())
            return;
        seen.append(Report().cmdPauseContinue->text());
        // A timer is not run again while its own handler waits in the pause: Continue
        // comes from a timer of its own.
        QTimer::singleShot(0, [&] {
            seen.append(Report().cmdPauseContinue->text());
            Report().cmdPauseContinue->click();
        });
        Report().cmdPauseContinue->click();
    });
    hand.start(0);
    window->cmdBackupModifiedFiles_MouseUp();
    hand.stop();
    EXPECT_EQ(seen, QStringList({ProgramText(44), "Continue"})) << "paused and went on";
    EXPECT_EQ(ReadAll(target + "Letters/a.txt"), "Dear Ann, again");
    EXPECT_TRUE(ReportText().contains("      " + source + "Letters/a.txt " + ProgramText(66)))
        << ReportText().toStdString();
    EXPECT_TRUE(ReportText().contains("Number of files copied: 1\r\n"));
    EXPECT_FALSE(ReportText().contains(ProgramText(49))) << "not cancelled";

    // Save the setup to a file, clear it, and load it back.
    const QString file = disk.path() + "/documents.vnt";
    window->OpenSetupMenu();
    window->cmdSaveSetup_Click();
    dialogs.saveAnswers = {file};
    window->cmdSaveSetupAsOperationFile_Click();
    ASSERT_TRUE(QFile::exists(file));
    window->cmdClearSetup_Click();
    EXPECT_EQ(window->txbDirectory[0]->text(), "");
    EXPECT_EQ(window->State().intNumIncludedFolders, 0);
    window->cmdLoadSetup_Click();
    dialogs.openAnswers = {file};
    window->cmdSaveSetupAsOperationFile_Click();
    window->Clock2_Timer(); // the guard after the Open dialog ends
    EXPECT_EQ(window->txbDirectory[0]->text(), source);
    EXPECT_EQ(window->txbDirectory[1]->text(), target);
    EXPECT_EQ(window->State().intNumIncludedFolders, 2);
    EXPECT_EQ(CheckValue(window->chkIncludeSubfolders), 1);

    // Quit with the setup kept for the next run.
    window->chkSaveSetupOnQuit->click();
    for (int tick = 0; tick < 11; ++tick)
        window->Clock_Timer(); // past the guard of a setup just restored
    QTest::mouseClick(window->cmdQuit, Qt::LeftButton);
    EXPECT_EQ(recorder->endCount, 1);
    const SetupFileRead kept = ReadSetupFile(window->strNextRunSetupPath);
    EXPECT_EQ(kept.result, 0);
    EXPECT_EQ(kept.setup.sourceFolder, source);
    EXPECT_EQ(kept.setup.targetFolder, target);
    EXPECT_EQ(kept.setup.includedFolders, QStringList({"Letters", "Photos"}));
    EXPECT_EQ(kept.setup.includeSubfolders, 1);
    EXPECT_EQ(kept.setup.saveSetupOnQuit, 1);
}

} // namespace
} // namespace vnt::test
