// The restore window over the real main window: backups made from the window with kept
// versions, then files got back as a person would, with the keyboard where it matters.
#include "mainwindow/frmRestore.h"

#include "mainwindow/Language.h"
#include "MainWindowFixture.h"
#include "report/frmReport.h"
#include "TestSupport.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QDirIterator>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QRegularExpression>
#include <QScreen>
#include <QTest>
#include <QTreeWidget>

namespace vnt::test {
namespace {

class RestoreWindowTest : public MainWindowTest {
protected:
    QTemporaryDir disk;
    QString source = disk.path() + "/src/";
    QString target = disk.path() + "/dst/";

    void SetUp() override {
        MainWindowTest::SetUp();
        ASSERT_TRUE(QDir().mkpath(source + "docs/deep"));
        ASSERT_TRUE(QDir().mkpath(target));
        WriteFile(source + "docs/letter.txt", "v1");
        WriteFile(source + "docs/notes.txt", "notes");
        WriteFile(source + "docs/deep/d.txt", "deep");
        WriteFile(source + "top.txt", "top");
        ASSERT_TRUE(Start());
        recorder->runOperations = true;
        dialogs.folderAnswers = {source, target};
        window->cmdSpecifyDirectory_MouseUp(0);
        window->cmdSpecifyDirectory_MouseUp(1);
        recorder->selectionWindow = [](SubfolderSelection& request) {
            request.blnFolderSelectionAccepted = true;
            request.strFoldersReturnedFromSelectFoldersForm = "docs";
        };
        window->cmdSelectSubfolders_MouseUp();
        window->chkIncludeSubfolders->click();
        window->State().blnKeepReplaced = true;
        dialogs.shown.clear();
    }

    void Backup() {
        window->cmdBackupModifiedFiles_MouseUp();
        ASSERT_TRUE(window->ReportWindow().ReportText().contains("Number of files copied: "));
    }

    frmRestore* Open() {
        window->OpenSetupMenu();
        window->cmdRestoreFiles->click();
        auto* restore = window->findChild<frmRestore*>();
        EXPECT_NE(restore, nullptr);
        EXPECT_TRUE(restore != nullptr && restore->isVisible());
        EXPECT_TRUE(window->fraSetup->isHidden()) << "the setup menu closes";
        return restore;
    }

    void Tick(frmRestore* restore, const QString& path, bool on) {
        QTreeWidgetItem* item = restore->ItemOf(path);
        ASSERT_NE(item, nullptr) << path.toStdString();
        item->setCheckState(0, on ? Qt::Checked : Qt::Unchecked);
    }
};

QStringList Children(const QTreeWidgetItem* item) {
    QStringList names;
    for (int i = 0; i < item->childCount(); ++i)
        names.append(item->child(i)->text(0));
    return names;
}

QStringList FilesIn(const QString& root) {
    QStringList files;
    QDirIterator it(root, QDir::Files | QDir::Hidden, QDirIterator::Subdirectories);
    while (it.hasNext())
        files.append(it.next().mid(root.size()));
    files.sort();
    return files;
}

TEST_F(RestoreWindowTest, APersonsDay) {
    Backup();
    WriteFile(source + "docs/letter.txt", "version 2");
    ASSERT_TRUE(QFile::remove(source + "docs/notes.txt"));
    Backup();
    WriteFile(source + "docs/letter.txt", "the third version");
    Backup();

    frmRestore* restore = Open();
    ASSERT_NE(restore, nullptr);
    ASSERT_EQ(restore->cboAsOf->count(), 4) << "the latest, then each run";
    EXPECT_EQ(restore->cboAsOf->itemText(0), "Latest backup");
    EXPECT_TRUE(restore->cboAsOf->itemText(3).startsWith("As it was after the run of "));
    EXPECT_TRUE(restore->lblHistory->isHidden());

    // The letter's three versions, newest first; then it alone, as of the first run.
    restore->tvwFiles->setCurrentItem(restore->ItemOf("docs/letter.txt"));
    ASSERT_EQ(restore->lvwVersions->topLevelItemCount(), 3);
    EXPECT_EQ(restore->lvwVersions->topLevelItem(0)->text(0), "In the backup now");
    EXPECT_EQ(restore->lvwVersions->topLevelItem(0)->text(2), "17 bytes");
    EXPECT_EQ(restore->lvwVersions->topLevelItem(2)->text(2), "2 bytes");
    restore->tvwFiles->setFocus();
    QTest::keyClick(restore->tvwFiles, Qt::Key_Space);
    ASSERT_EQ(restore->TickedPaths(), QStringList{"docs/letter.txt"});
    restore->cboAsOf->setCurrentIndex(3);
    restore->chkReplace->setChecked(true);
    dialogs.messageAnswers = {MsgResult::Yes};
    QTest::keyClick(restore->tvwFiles, Qt::Key_Return);
    ASSERT_EQ(dialogs.messages().size(), 1u);
    EXPECT_EQ(dialogs.messages()[0].text,
              "1 file (2 bytes) will be restored into " + source +
                  ".\r\n1 file there will be replaced; each is kept aside first under " + source +
                  ".vantoro-before-restore/.\r\n\r\nRestore them now?");
    EXPECT_EQ(ReadAll(source + "docs/letter.txt"), "v1");
    const QStringList aside = FilesIn(source + ".vantoro-before-restore/");
    ASSERT_EQ(aside.size(), 1);
    EXPECT_EQ(ReadAll(source + ".vantoro-before-restore/" + aside[0]), "the third version");
    const QString report = window->ReportWindow().ReportText();
    EXPECT_TRUE(report.contains("docs/letter.txt (restored, the version replaced on "))
        << report.toStdString();
    EXPECT_EQ(window->ReportWindow().windowTitle(), "Restore files");
    EXPECT_TRUE(window->cmdSpecifyDirectory[0]->isEnabled()) << "unlocked again";
    EXPECT_FALSE(window->blnOperationRunning);

    // A folder inside the target is refused at once; then the folder goes elsewhere, as the
    // backup holds it now, with the file the source has lost.
    ASSERT_TRUE(QDir().mkpath(target + "inside"));
    const QString elsewhere = disk.path() + "/elsewhere/";
    ASSERT_TRUE(QDir().mkpath(elsewhere));
    dialogs.shown.clear();
    dialogs.folderAnswers = {target + "inside", elsewhere};
    restore->optOtherFolder->click();
    ASSERT_EQ(dialogs.messages().size(), 1u);
    EXPECT_TRUE(dialogs.messages()[0].text.contains("lies in the backup's target folder"));
    EXPECT_TRUE(restore->optOwnPlace->isChecked());
    restore->optOtherFolder->click();
    EXPECT_EQ(restore->lblDestination->text(), elsewhere);
    Tick(restore, "docs/letter.txt", false);
    Tick(restore, "docs", true);
    restore->cboAsOf->setCurrentIndex(0);
    restore->chkReplace->setChecked(false);
    dialogs.messageAnswers = {MsgResult::Yes};
    restore->cmdRestore->click();
    EXPECT_EQ(FilesIn(elsewhere),
              QStringList({"docs/deep/d.txt", "docs/letter.txt", "docs/notes.txt"}));
    EXPECT_EQ(ReadAll(elsewhere + "docs/letter.txt"), "the third version");
    EXPECT_EQ(ReadAll(elsewhere + "docs/notes.txt"), "notes");
    EXPECT_EQ(ReadAll(source + "docs/letter.txt"), "v1") << "the source left alone";

    // Declined: the plan counted, nothing written.
    WriteFile(elsewhere + "docs/deep/d.txt", "edited");
    const QString before = TreeSnapshot(elsewhere);
    restore->chkReplace->setChecked(true);
    dialogs.messageAnswers = {MsgResult::No};
    restore->cmdRestore->click();
    EXPECT_TRUE(dialogs.messages().back().text.startsWith("1 file (4 bytes)"));
    EXPECT_TRUE(dialogs.messages().back().text.contains("2 files already the same"));
    EXPECT_EQ(TreeSnapshot(elsewhere), before);
}

TEST_F(RestoreWindowTest, TheTreeIsReadFolderByFolderWithoutTheProgramsFoldersOrLinks) {
    Backup();
    const QString outside = disk.path() + "/outside/";
    ASSERT_TRUE(QDir().mkpath(outside + "secret"));
    ASSERT_TRUE(QFile::link(outside + "secret", target + "evil"));
    ASSERT_TRUE(QFile::link(outside + "secret", target + "docs/planted"));
    ASSERT_TRUE(QDir().mkpath(target + ".vantoro-replaced/2000-01-01_000000"));
    ASSERT_TRUE(QDir().mkpath(target + "docs/.vantoro-replaced"));
    // No catalogue: the latest backup alone, and why.
    ASSERT_TRUE(QDir(target + ".vantoro").removeRecursively());

    frmRestore* restore = Open();
    ASSERT_NE(restore, nullptr);
    QTreeWidget* tree = restore->tvwFiles;
    EXPECT_EQ(Children(tree->invisibleRootItem()), QStringList({"docs", "top.txt"}));
    EXPECT_EQ(restore->cboAsOf->count(), 1);
    EXPECT_TRUE(restore->lblHistory->isVisibleTo(restore));
    EXPECT_TRUE(restore->lblHistory->text().startsWith("The backup's history could not be read"));

    QTreeWidgetItem* docs = tree->topLevelItem(0);
    EXPECT_EQ(docs->childCount(), 0) << "not read before it is opened";
    tree->expandItem(docs);
    EXPECT_EQ(Children(docs), QStringList({".vantoro-replaced", "deep", "letter.txt", "notes.txt"}))
        << "only the root's program folders are the program's";

    // A folder's tick covers what is below it until something there is unticked.
    tree->setCurrentItem(docs);
    QTest::keyClick(tree, Qt::Key_Space);
    EXPECT_EQ(restore->TickedPaths(), QStringList{"docs"});
    QTreeWidgetItem* deep = restore->ItemOf("docs/deep");
    ASSERT_NE(deep, nullptr);
    tree->expandItem(deep);
    EXPECT_EQ(deep->child(0)->checkState(0), Qt::Checked) << "read later, ticked with it";
    Tick(restore, "docs/notes.txt", false);
    EXPECT_EQ(restore->TickedPaths(),
              QStringList({"docs/.vantoro-replaced", "docs/deep", "docs/letter.txt"}));

    // Esc closes the window.
    QTest::keyClick(restore, Qt::Key_Escape);
    EXPECT_FALSE(restore->isVisible());
}

TEST_F(RestoreWindowTest, TheLastBackupAndHowItEndedAreShown) {
    frmRestore* restore = Open();
    ASSERT_NE(restore, nullptr);
    EXPECT_FALSE(restore->lblLastBackup->isVisibleTo(restore)) << "no backup recorded yet";
    restore->close();

    Backup();
    WriteFile(source + "docs/letter.txt", "version 2");
    // One copy fails: its folder in the target is a file.
    ASSERT_TRUE(QDir(target + "docs/deep").removeRecursively());
    WriteFile(target + "docs/deep", "in the way");
    dialogs.messageAnswers = {MsgResult::No, MsgResult::No}; // do not stop
    window->cmdBackupModifiedFiles_MouseUp();
    restore = Open();
    ASSERT_NE(restore, nullptr);
    EXPECT_TRUE(restore->lblLastBackup->isVisibleTo(restore));
    EXPECT_TRUE(QRegularExpression("^Last backup: \\d{4}-\\d\\d-\\d\\d \\d\\d:\\d\\d, "
                                   "finished with errors$")
                    .match(restore->lblLastBackup->text())
                    .hasMatch())
        << restore->lblLastBackup->text().toStdString();
}

TEST_F(RestoreWindowTest, CancelInTheReportStopsTheRestoreWhileTheMainWindowIsLocked) {
    Backup();
    frmRestore* restore = Open();
    ASSERT_NE(restore, nullptr);
    Tick(restore, "docs", true);
    const QString into = disk.path() + "/into/";
    ASSERT_TRUE(QDir().mkpath(into));
    dialogs.folderAnswers = {into};
    restore->optOtherFolder->click();
    // Pause, then Cancel operation, as the report offers them while an operation runs.
    bool lockedWhileRunning = false;
    QTimer pause;
    QObject::connect(&pause, &QTimer::timeout, [&] {
        frmReport& report = window->ReportWindow();
        if (window->blnOperationRunning && report.cmdPauseContinue->text() == ProgramText(44)) {
            pause.stop();
            report.cmdPauseContinue->click();
        }
    });
    QTimer cancel;
    QObject::connect(&cancel, &QTimer::timeout, [&] {
        frmReport& report = window->ReportWindow();
        if (!window->blnOperationRunning || report.cmdCancelClose->text() != "Cancel operation")
            return;
        lockedWhileRunning =
            !window->cmdSpecifyDirectory[0]->isEnabled() && !restore->cmdRestore->isEnabled();
        cancel.stop();
        report.cmdCancelClose->click();
    });
    pause.start(0);
    cancel.start(0);
    dialogs.messageAnswers = {MsgResult::Yes};
    restore->cmdRestore->click();
    EXPECT_TRUE(lockedWhileRunning);
    EXPECT_EQ(FilesIn(into), QStringList()) << "stopped before its first file";
    EXPECT_TRUE(window->ReportWindow().ReportText().contains(ProgramText(49)));
    EXPECT_TRUE(window->cmdSpecifyDirectory[0]->isEnabled());
    EXPECT_TRUE(restore->cmdRestore->isEnabled());
}

TEST_F(RestoreWindowTest, FitsTheScreen) {
    Backup();
    window->OpenSetupMenu();
    const QRect panel = window->fraSetup->geometry();
    EXPECT_TRUE(panel.contains(window->cmdRestoreFiles->geometry().translated(panel.topLeft())));
    EXPECT_TRUE(window->centralWidget()->rect().contains(panel));
    EXPECT_TRUE(window->grab().save(QDir::tempPath() + "/vantoro-setup-menu.png"));
    frmRestore* restore = Open();
    ASSERT_NE(restore, nullptr);
    restore->tvwFiles->expandItem(restore->ItemOf("docs"));
    restore->tvwFiles->setCurrentItem(restore->ItemOf("docs/letter.txt"));
    const QRect screen = restore->screen()->availableGeometry();
    EXPECT_LE(restore->width(), screen.width());
    EXPECT_LE(restore->height(), screen.height());
    EXPECT_TRUE(restore->size().expandedTo(restore->minimumSizeHint()) == restore->size())
        << "every control has its room";
    // A picture to look at, at whatever scale the test runs (QT_SCALE_FACTOR).
    const QPixmap picture = restore->grab();
    EXPECT_FALSE(picture.isNull());
    EXPECT_TRUE(picture.save(QDir::tempPath() + "/vantoro-restore-window.png"));
}

} // namespace
} // namespace vnt::test
