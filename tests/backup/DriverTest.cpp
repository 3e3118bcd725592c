// Operations run from the real main window on real trees.
#include "../mainwindow/MainWindowFixture.h"
#include "backup/Catalog.h"
#include "mainwindow/Language.h"
#include "platform/FolderLock.h"
#include "RecordingHost.h"
#include "report/frmPopUp.h"
#include "report/frmReport.h"
#include "report/Progress.h"
#include "report/ReportFile.h"
#include "TestSupport.h"

#include <cerrno>
#include <cstring>
#include <memory>
#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QElapsedTimer>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRegularExpression>
#include <QTest>
#include <QTextDocument>
#include <QTimer>
#include <sys/mount.h>
#include <unistd.h>

namespace vnt::test {
namespace {

// Sees every event of the program before its receiver does.
class EventSpy : public QObject {
public:
    explicit EventSpy(std::function<void(QObject*, QEvent*)> seenIn) : seen(std::move(seenIn)) {
        QCoreApplication::instance()->installEventFilter(this);
    }
    bool eventFilter(QObject* watched, QEvent* event) override {
        seen(watched, event);
        return false;
    }

private:
    std::function<void(QObject*, QEvent*)> seen;
};

class DriverTest : public MainWindowTest {
protected:
    QTemporaryDir disk;
    QString source = disk.path() + "/src/";
    QString target = disk.path() + "/dst/";

    void SetUp() override {
        MainWindowTest::SetUp();
        ASSERT_TRUE(QDir().mkpath(source + "Letters"));
        ASSERT_TRUE(QDir().mkpath(source + "Photos"));
        ASSERT_TRUE(QDir().mkpath(target));
        WriteFile(source + "notes.txt", "notes");
        WriteFile(source + "Letters/a.txt", "a");
        WriteFile(source + "Photos/p.jpg", "p");
        StartWithFolders();
    }

    void StartWithFolders() {
        ASSERT_TRUE(Start());
        recorder->runOperations = true;
        dialogs.folderAnswers = {source, target};
        window->cmdSpecifyDirectory_MouseUp(0);
        window->cmdSpecifyDirectory_MouseUp(1);
        dialogs.shown.clear();
    }

    frmReport& Report() { return window->ReportWindow(); }
    QStringList Messages() const {
        QStringList texts;
        for (const MessageRequest& box : dialogs.messages())
            texts.append(box.text);
        return texts;
    }
};

TEST_F(DriverTest, ASetupWhoseTargetIsTheSourceUnderAnotherNameIsRefused) {
    // A setup file or an old next-run setup can hold any spelling; the window's boxes do not
    // go through the folder choice then.
    const QString link = disk.path() + "/link";
    ASSERT_TRUE(QFile::link(disk.path() + "/src", link));
    window->txbDirectory[1]->setText(link + "/");
    window->cmdBackupAllFiles_MouseUp();
    EXPECT_TRUE(Messages().contains(ProgramText(27))) << Messages().join('|').toStdString();
    EXPECT_EQ(recorder->confirmations, 0) << "refused before anything is asked or done";

    dialogs.shown.clear();
    window->txbDirectory[1]->setText(disk.path() + "/src/../");
    window->cmdBackupAllFiles_MouseUp();
    EXPECT_TRUE(Messages().contains(disk.path() + "/\r\n\r\n" + ProgramText(28)))
        << "the message names the folder it means";
    EXPECT_EQ(recorder->confirmations, 0);
    EXPECT_EQ(window->txbDirectory[1]->text(), disk.path() + "/src/../")
        << "the box keeps what the user sees";
}

TEST_F(DriverTest, BackUpNewAndModifiedFromTheWindow) {
    for (const char* name : {"b.txt", "c.txt", "d.txt", "e.txt"})
        WriteFile(source + name, "1");
    window->cmdBackupModifiedFiles_MouseUp();
    EXPECT_EQ(recorder->confirmations, 1);
    EXPECT_TRUE(QFile::exists(target + "notes.txt"));
    EXPECT_FALSE(QFile::exists(target + "Letters/a.txt")) << "no subfolder is included";
    const QString report = Report().ReportText();
    EXPECT_TRUE(report.contains("For files new or modified " + ProgramText(353) + ":\r\n"));
    // The few files of the source alone: the report's end says what was left out.
    EXPECT_TRUE(report.endsWith("Sum of sizes of files copied: 9 bytes\r\n\r\nNot included: 2 "
                                "subfolders of " +
                                source +
                                " with their files: Letters, Photos. Choose them with Select "
                                "included subfolders.\r\n"))
        << report.toStdString();
    EXPECT_EQ(Report().windowTitle(), "Back up new and modified (" + ProgramText(353) + ")");
    EXPECT_EQ(Report().cmdCancelClose->text(), ProgramText(58));
    EXPECT_TRUE(Report().cmdPauseContinue->isHidden());
    EXPECT_TRUE(window->cmdSpecifyDirectory[0]->isEnabled()) << "the window is unlocked again";
    EXPECT_TRUE(window->State().blnDisplayingSummary);
    // Labels drawn a few times a second still end on the exact figures, and the report ends
    // in view once events are served.
    EXPECT_EQ(Report().lblBytesCopied->text(), BytesCopiedText(9, 5));
    QCoreApplication::processEvents();
    EXPECT_EQ(Report().txbText->textCursor().position(),
              Report().txbText->document()->characterCount() - 1);

    // Nothing new the second time.
    window->cmdBackupModifiedFiles_MouseUp();
    EXPECT_TRUE(Report().ReportText().contains("Number of files copied: 0\r\n"));
}

TEST_F(DriverTest, TheWindowsBackupsAreRecordedAndItsOwnFoldersLeaveATargetEmpty) {
    ASSERT_TRUE(QDir().mkpath(target + ".vantoro-replaced/2024-01-01_000000"));
    ASSERT_TRUE(QDir().mkpath(target + ".vantoro"));
    window->RefreshTargetFolderDisplay(false);
    EXPECT_EQ(window->lblTargetFolderIsEmpty->text(), ProgramText(157));
    EXPECT_TRUE(window->UpdateTargetEmptyLabel());

    window->txbSetupFile->setText(disk.path() + "/letters.vnt");
    window->cmdBackupModifiedFiles_MouseUp();
    ASSERT_TRUE(QFile::exists(target + "notes.txt"));
    CatalogReader reader;
    ASSERT_TRUE(reader.Open(target)) << reader.Problem().toStdString();
    const std::vector<CatalogRun> runs = reader.Runs();
    ASSERT_EQ(runs.size(), 1u);
    EXPECT_EQ(runs[0].operation, "backup-modified");
    EXPECT_EQ(runs[0].setup, disk.path() + "/letters.vnt");
    EXPECT_EQ(runs[0].filesCopied, 1);
    EXPECT_EQ(runs[0].exitStatus, 0);
    EXPECT_EQ(reader.CopiesOf("notes.txt").size(), 1u);
    EXPECT_FALSE(window->UpdateTargetEmptyLabel()) << "a copy is a backup";
}

TEST_F(DriverTest, DeclinedConfirmationChangesNothing) {
    recorder->confirmAnswers = {false};
    window->cmdBackupModifiedFiles_MouseUp();
    EXPECT_FALSE(QFile::exists(target + "notes.txt"));
}

TEST_F(DriverTest, ChecksBeforeAnOperation) {
    window->cmdCheckBackupState_MouseUp();
    EXPECT_EQ(Messages().value(0), ProgramText(32)) << "the target is shown as empty";

    WriteFile(target + "old.txt", "x");
    dialogs.messageAnswers = {MsgResult::No};
    window->cmdBackupAllFiles_MouseUp();
    EXPECT_EQ(dialogs.messages().back().title, "Confirmation");
    EXPECT_EQ(dialogs.messages().back().text,
              target + " has files or folders.\r\nAre you sure you wish to backup ALL files (not "
                       "just modified files)?");
    EXPECT_FALSE(QFile::exists(target + "notes.txt"));

    const QLabel* warning = window->lblWarningReFilesInUse[0];
    const QFont font = warning->font();
    const QColor colour = warning->palette().color(QPalette::WindowText);
    window->txbFileExtension->setText("xyz");
    window->cmdBackupModifiedFiles_MouseUp();
    EXPECT_EQ(Messages().back(), ProgramText(40));
    EXPECT_EQ(dialogs.messages().back().title, ProgramText(38));
    EXPECT_EQ(warning->text().left(10), "Some appli") << "restored";
    EXPECT_EQ(warning->font(), font) << "its size too";
    EXPECT_EQ(warning->palette().color(QPalette::WindowText), colour);
    window->txbFileExtension->clear();

    SetCheckValue(window->chkExcludeFilesInSourceFolder, 1);
    window->cmdBackupModifiedFiles_MouseUp();
    EXPECT_TRUE(Messages().back().contains("nothing to do"));
    SetCheckValue(window->chkExcludeFilesInSourceFolder, 0);

    QDir(target).removeRecursively();
    dialogs.messageAnswers = {MsgResult::Yes};
    window->cmdBackupModifiedFiles_MouseUp();
    EXPECT_EQ(Messages().back(), ProgramText(43) + "\r\n\r\n" + ProgramText(403));
    EXPECT_TRUE(QFile::exists(target + "notes.txt")) << "the target was created and filled";
}

// A run without a window: every question would be answered yes, but a missing target is
// made only where the hook for it agrees, whatever words the question has.
class UnattendedMain : public MainHooks {
public:
    Setup setup;
    RecordingHost host;
    bool createTarget = false;
    QStringList asked;
    Setup ReadSetup() override { return setup; }
    QString OperationCaption(Operation) override { return "Back up all files in setup"; }
    QString ModifiedSinceText() override { return {}; }
    bool Ask(const QString& text, const QString&, MsgResult) override {
        asked.append(text);
        return true;
    }
    bool AskCreateTarget(const QString& text, const QString& title) override {
        asked.append("create: " + title + "|" + text);
        return createTarget;
    }
    void Tell(const QString&, const QString&, MsgIcon) override {}
    bool ConfirmOperation() override { return true; }
    ReportHost& PrepareReport() override { return host; }
};

TEST_F(DriverTest, AMissingTargetIsCreatedOnlyThroughItsOwnHook) {
    UnattendedMain hooks;
    hooks.setup.sourceFolder = source;
    hooks.setup.targetFolder = disk.path() + "/new/";
    OperationState state;
    RunOperation(state, hooks, Operation::BackupAllFiles);
    const QString question =
        "create: Create folder|" + ProgramText(43) + "\r\n\r\n" + ProgramText(403);
    EXPECT_EQ(hooks.asked, QStringList{question});
    EXPECT_FALSE(QFileInfo::exists(hooks.setup.targetFolder));
    EXPECT_TRUE(hooks.host.events.isEmpty()) << "no report began";

    hooks.asked.clear();
    hooks.createTarget = true;
    RunOperation(state, hooks, Operation::BackupAllFiles);
    EXPECT_EQ(hooks.asked, QStringList{question});
    EXPECT_TRUE(QFile::exists(hooks.setup.targetFolder + "notes.txt"));
    EXPECT_EQ(hooks.host.events.first(), "started");
    EXPECT_EQ(hooks.host.events.filter("finished").size(), 1);
    EXPECT_EQ(hooks.host.events.indexOf("finished"), hooks.host.events.lastIndexOf("show") - 1)
        << "finished before the report is shown again";
}

TEST_F(DriverTest, ListAndFileList) {
    window->cboIncludedFolders->addItems({"Letters", "Photos"});
    window->State().intNumIncludedFolders = 2;
    window->RefreshSourceFolderDisplay();
    window->cmdListSubFolders_MouseUp();
    const QString report = Report().ReportText();
    EXPECT_TRUE(report.startsWith("Now counting files and folders ...\r\n"));
    EXPECT_TRUE(report.contains("Number of folders: 3\r\nNumber of files: 3\r\n"));

    window->cboIncludedFolders->clear();
    window->RefreshSourceFolderDisplay();
    ASSERT_EQ(window->cmdListSubFolders->text(), ProgramText(21));
    window->cmdListSubFolders_MouseUp();
    EXPECT_EQ(Report().windowTitle(), ProgramText(380));
    EXPECT_EQ(Report().ReportText(), ProgramText(381) + " " + source +
                                         "\r\n\r\nnotes.txt (5 bytes)\r\n\r\n" + ProgramText(384) +
                                         " 5 bytes");
    EXPECT_EQ(Report().lblTargetDirpath->text(), ProgramText(382));
}

TEST_F(DriverTest, CancelDuringAPauseStillWritesTheSummary) {
    window->cboIncludedFolders->addItems({"Letters", "Photos"});
    window->State().intNumIncludedFolders = 2;
    window->RefreshSourceFolderDisplay();
    SetCheckValue(window->chkPauseAfterFirstCopy, 1);
    QTimer watcher;
    QObject::connect(&watcher, &QTimer::timeout, [this] {
        if (Report().blnPaused)
            Report().cmdCancelClose->click();
    });
    // A file that cannot be copied (a folder stands at its place) before the cancel.
    WriteFile(source + "z.txt", "z");
    ASSERT_TRUE(QDir().mkpath(target + "z.txt"));
    watcher.start(1);
    window->cmdBackupAllFiles_MouseUp();
    EXPECT_TRUE(window->State().blnStop);
    const QString report = Report().ReportText();
    EXPECT_TRUE(report.contains(ProgramText(49) + "\r\n")) << report.toStdString();
    EXPECT_TRUE(report.contains("Number of files copied: 1\r\n"));
    EXPECT_FALSE(QFile::exists(target + "Letters/a.txt"));
    // Interrupted with an error: one outcome, in the history as in the run.
    EXPECT_EQ(window->State().lngTotalNumCopyErrors, 1);
    EXPECT_EQ(RunExitStatus(window->State()), Interrupted);
    CatalogReader reader;
    ASSERT_TRUE(reader.Open(target)) << reader.Problem().toStdString();
    ASSERT_EQ(reader.Runs().size(), 1u);
    EXPECT_EQ(reader.Runs()[0].exitStatus, Interrupted);
    EXPECT_EQ(reader.Runs()[0].errors, 1);
}

// A long report never holds the window: its box lets old lines go instead of pausing, and
// Cancel, clicked while the lines pour in, ends the run at once.
TEST_F(DriverTest, CancelDuringALongReportEndsTheRunAtOnce) {
    for (int i = 0; i < 6000; ++i)
        WriteFile(source + QStringLiteral("Letters/n%1.txt").arg(i), "n");
    window->cboIncludedFolders->addItems({"Letters"});
    window->State().intNumIncludedFolders = 1;
    WriteFile(target + "earlier.txt", "a backup was made here before"); // a check needs one
    window->RefreshSourceFolderDisplay();
    window->RefreshTargetFolderDisplay(false);
    window->lngMaxSizeTextboxContents = 4000; // full many times over
    QElapsedTimer sinceClick;
    QTimer watcher;
    QObject::connect(&watcher, &QTimer::timeout, [&] {
        if (!sinceClick.isValid() && window->State().lngTotalNumNewFiles > 100) {
            sinceClick.start();
            Report().cmdCancelClose->click();
        }
    });
    watcher.start(1);
    window->cmdCheckBackupState_MouseUp();
    const qint64 ended = sinceClick.isValid() ? sinceClick.elapsed() : -1;
    ASSERT_GE(ended, 0) << "the report was long enough to click in";
    EXPECT_LT(ended, 100);
    EXPECT_TRUE(window->State().blnInterrupted);
    EXPECT_LT(window->State().lngTotalNumNewFiles, 6000) << "stopped before its end";
    EXPECT_TRUE(recorder->popUps.isEmpty());
    EXPECT_LE(Report().ReportText().size(), 4000 + 200) << "the box keeps its capacity";
}

// Runs a backup of both subfolders that pauses after its first copy; whilePaused runs once
// inside the pause. A pause that outlives it is ended by Cancel, so a fault cannot hang.
class PausedBackupTest : public DriverTest {
protected:
    bool stillPaused = false;

    void BackUpPausing(const std::function<void()>& whilePaused) {
        window->cboIncludedFolders->addItems({"Letters", "Photos"});
        window->State().intNumIncludedFolders = 2;
        window->RefreshSourceFolderDisplay();
        SetCheckValue(window->chkPauseAfterFirstCopy, 1);
        bool done = false;
        QTimer watcher;
        QObject::connect(&watcher, &QTimer::timeout, [&] {
            if (!Report().blnPaused)
                return;
            if (done) {
                stillPaused = true;
                Report().cmdCancelClose->click();
                return;
            }
            done = true;
            whilePaused();
        });
        watcher.start(1);
        window->cmdBackupAllFiles_MouseUp();
        EXPECT_TRUE(done) << "the backup paused";
    }
};

TEST_F(PausedBackupTest, QuitDuringAPauseEndsThePauseTheWalkAndTheProgram) {
    BackUpPausing([this] {
        EXPECT_EQ(recorder->endCount, 0);
        QTest::mouseClick(window->cmdQuit, Qt::LeftButton);
    });
    EXPECT_FALSE(stillPaused) << "Quit ended the pause";
    EXPECT_EQ(recorder->endCount, 1);
    const QString report = Report().ReportText();
    EXPECT_TRUE(report.contains(ProgramText(49) + "\r\n")) << report.toStdString();
    EXPECT_TRUE(report.contains("Number of files copied: 1\r\n")) << "the summary is written";
    EXPECT_FALSE(QFile::exists(target + "Photos/p.jpg")) << "the walk stopped";
}

TEST_F(PausedBackupTest, TheReportCannotBeReShownDuringAPause) {
    BackUpPausing([this] {
        window->Clock_Timer();
        EXPECT_FALSE(window->cmdReportScreen->isEnabled()) << "the clock leaves it locked";
        window->cmdReportScreen_MouseUp();
        EXPECT_EQ(Report().cmdPauseContinue->text(), "Continue");
        EXPECT_FALSE(Report().cmdPauseContinue->isHidden());
        EXPECT_EQ(Report().cmdCancelClose->text(), "Cancel operation");
        Report().cmdPauseContinue->click();
    });
    EXPECT_FALSE(stillPaused);
    EXPECT_TRUE(QFile::exists(target + "Photos/p.jpg")) << "continued to the end";
    window->Clock_Timer();
    EXPECT_TRUE(window->cmdReportScreen->isEnabled()) << "free again once the report is done";
}

// Pause and Continue leave the summary-only setting alone unless the user changed it.
TEST_F(DriverTest, PauseAndContinueKeepASummaryOnlyReport) {
    window->cboIncludedFolders->addItems({"Letters", "Photos"});
    window->State().intNumIncludedFolders = 2;
    window->RefreshSourceFolderDisplay();
    SetCheckValue(window->chkSuppressDetailedReports, 1);
    window->cmdListSubFolders_MouseUp();
    // Each run keeps its report in a file of its own.
    const auto withoutFileName = [](QString report) {
        return report.remove(QRegularExpression("The whole report is kept in the file [^\r]*"));
    };
    const QString unpaused = withoutFileName(Report().ReportText());

    int pauses = 0;
    bool boxOffered = true;
    int boxValue = -1;
    QTimer watcher;
    QObject::connect(&watcher, &QTimer::timeout, [&] {
        if (!window->blnOperationRunning || Report().cmdPauseContinue->text() != "Pause" ||
            Report().cmdPauseContinue->isHidden() || pauses > 0)
            return;
        ++pauses;
        QTimer::singleShot(0, [&] {
            boxOffered = !Report().chkSuppressDisplayOfReport->isHidden();
            boxValue = CheckValue(Report().chkSuppressDisplayOfReport);
            Report().cmdPauseContinue->click();
        });
        Report().cmdPauseContinue->click();
    });
    watcher.start(0);
    window->cmdListSubFolders_MouseUp();
    ASSERT_EQ(pauses, 1);
    EXPECT_FALSE(boxOffered) << "a list offers no box";
    EXPECT_TRUE(window->State().blnSuppressDetailedReports);
    EXPECT_EQ(withoutFileName(Report().ReportText()), unpaused);

    // A backup offers the box, showing the setting as it stands.
    pauses = 0;
    window->cmdBackupAllFiles_MouseUp();
    ASSERT_EQ(pauses, 1);
    EXPECT_TRUE(boxOffered);
    EXPECT_EQ(boxValue, 1);
    EXPECT_TRUE(window->State().blnSuppressDetailedReports);
}

// Closing the window or Quit during an unattended run ends the program, as in any other
// run: the backup stops, the event loop ends, and no shutdown starts.
TEST_F(DriverTest, AnUnattendedRunEndsWithTheWindow) {
    for (const bool quit : {false, true}) {
        SCOPED_TRACE(quit ? "Quit" : "close box");
        StartWithFolders();
        shell.calls.clear();
        recorder->onEnd = [] { QCoreApplication::exit(0); };
        bool ended = false;
        QTimer watcher;
        QObject::connect(&watcher, &QTimer::timeout, [&] {
            if (ended || !window->blnOperationRunning || !window->ReportWindowExists() ||
                !Report().isVisible())
                return;
            ended = true;
            if (quit)
                QTest::mouseClick(window->cmdQuit, Qt::LeftButton);
            else
                window->close();
        });
        watcher.start(0);
        const auto timeOut = TimeOutPopUpsAtOnce();
        window->QueueUnattendedBackup({"shutdown"});
        EXPECT_TRUE(recorder->operations.empty()) << "not before the event loop runs";
        QTimer guard; // only a fault waits for it
        guard.setSingleShot(true);
        QObject::connect(&guard, &QTimer::timeout, [] { QCoreApplication::exit(1); });
        guard.start(5000);
        EXPECT_EQ(QCoreApplication::exec(), 0) << "the program's event loop ended";
        EXPECT_TRUE(ended);
        EXPECT_EQ(recorder->endCount, 1);
        EXPECT_TRUE(shell.calls.isEmpty()) << shell.calls.join('|').toStdString();
        EXPECT_TRUE(Report().ReportText().contains(ProgramText(49))) << "the backup stopped";
    }
}

TEST_F(DriverTest, AnUnattendedRunFromTheEventLoopOffersItsFullMinute) {
    int interval = 0;
    bool windowOpen = false;
    QTimer watcher;
    QObject::connect(&watcher, &QTimer::timeout, [&] {
        frmPopUp& popUp = window->PopUpWindow();
        if (!popUp.isVisible())
            return;
        interval = popUp.Timer1->remainingTime();
        windowOpen = window->isVisible();
        popUp.Timer1_Timer();
    });
    watcher.start(0);
    window->QueueUnattendedBackup({"shutdown"});
    EXPECT_TRUE(recorder->operations.empty()) << "queued, not run at once";
    EXPECT_TRUE(QTest::qWaitFor([this] { return !shell.calls.isEmpty(); }));
    EXPECT_GT(interval, 59000) << "the pop-up was shown with its minute to run";
    EXPECT_TRUE(windowOpen);
    EXPECT_TRUE(QFile::exists(target + "notes.txt"));
    EXPECT_EQ(recorder->endCount, 0) << "the window stays open";
}

TEST_F(DriverTest, UnattendedRunNeedsNoConfirmationAndShutsDown) {
    // Nobody clicks: the pop-up's time runs out (at once here) and the shutdown goes ahead.
    const auto watcher = TimeOutPopUpsAtOnce();
    window->RunUnattendedBackup({"SHUTDOWN"});
    EXPECT_EQ(recorder->confirmations, 0);
    EXPECT_TRUE(QFile::exists(target + "notes.txt"));
    EXPECT_EQ(shell.calls, QStringList{"shutdown Cancellation possible.\r\nSee comment below"});
    EXPECT_EQ(CheckValue(window->chkSaveSetupOnQuit), 1);
}

// Nobody may be watching an unattended run: the computer stays awake while it runs, and the
// desktop hears how it ended.
TEST_F(DriverTest, AnUnattendedRunNotifiesTheDesktop) {
    window->RunUnattendedBackup({"now"});
    EXPECT_EQ(recorder->awakeReasons, QStringList{"Backing up " + source});
    ASSERT_EQ(recorder->notices.size(), 1U);
    EXPECT_EQ(recorder->notices[0].title, "Backup finished");
    EXPECT_EQ(recorder->notices[0].body,
              "1 file copied, 0 errors.\nSetup: " + disk.path() + "/src.");
    EXPECT_FALSE(recorder->notices[0].critical);

    const ScopedEnvironment noWait("VANTORO_LOCK_WAIT_MS", "0");
    FolderLock other;
    ASSERT_EQ(other.Take(target, 0), FolderLock::Outcome::Taken);
    window->RunUnattendedBackup({"now"});
    ASSERT_EQ(recorder->notices.size(), 2U);
    EXPECT_EQ(recorder->notices[1].title, "Backup: nothing done");
    // What the box would have said, and no report: the last run's is not this one's.
    EXPECT_EQ(recorder->notices[1].body,
              "Backup not done: Another Vantoro run is using the target folder " + target +
                  ", so nothing was done. Please try again when that run has finished.\nSetup: " +
                  disk.path() + "/src.");
    EXPECT_TRUE(recorder->notices[1].critical);
    EXPECT_EQ(recorder->awakeReasons.size(), 1) << "refused before it ran";
    EXPECT_TRUE(dialogs.messages().empty()) << "no box waits for a person";
    EXPECT_EQ(recorder->endCount, 1) << "the program ends";

    // A disk that is not plugged in: the next-run setup keeps it at start-up, and the notice
    // names it and says what to do.
    WriteFile(window->strNextRunSetupPath,
              QFile::encodeName(source) + "\r\n/media/vantoro-nobody/STICK/Backup/\r\n 0 \r\n 0 "
                                          "\r\n 0 \r\n 0 \r\n 0 \r\n 0 \r\n\r\n 0 \r\n\r\n");
    ASSERT_TRUE(Start());
    recorder->runOperations = true;
    EXPECT_EQ(window->txbDirectory[1]->text(), "/media/vantoro-nobody/STICK/Backup/");
    EXPECT_EQ(window->txbDirectory[0]->text(), source) << "the Setup is not lost";
    const QString away = "The backup disk for /media/vantoro-nobody/STICK/ is not connected.";
    EXPECT_EQ(window->lblTargetFolderIsEmpty->text(), away);
    EXPECT_EQ(window->lblFreeSpace->text(), "") << "the disk below says nothing of it";
    // Later too: no question, the box keeps the folder, the label says why.
    dialogs.shown.clear();
    window->RefreshTargetFolderDisplay(true);
    EXPECT_TRUE(dialogs.shown.empty());
    EXPECT_EQ(window->txbDirectory[1]->text(), "/media/vantoro-nobody/STICK/Backup/");
    EXPECT_EQ(window->lblTargetFolderIsEmpty->text(), away);
    window->RunUnattendedBackup({"now"});
    ASSERT_EQ(recorder->notices.size(), 1U);
    EXPECT_EQ(recorder->notices[0].title, "Backup: disk not connected");
    EXPECT_EQ(recorder->notices[0].body,
              "Backup not done: the backup disk STICK is not connected.\nConnect STICK and run the "
              "backup again.\nSetup: " +
                  disk.path() + "/src.");
    EXPECT_TRUE(dialogs.messages().empty());
}

TEST_F(DriverTest, ATargetInUseByAnotherRunIsLeftAlone) {
    const ScopedEnvironment noWait("VANTORO_LOCK_WAIT_MS", "0");
    FolderLock other;
    ASSERT_EQ(other.Take(target, 0), FolderLock::Outcome::Taken);
    window->cmdBackupModifiedFiles_MouseUp();
    EXPECT_EQ(Messages().value(0), "Another Vantoro run is using the target folder " + target +
                                       ", so nothing was done. Please try again when that run "
                                       "has finished.");
    ASSERT_FALSE(dialogs.messages().empty());
    EXPECT_EQ(dialogs.messages().front().title,
              "Back up new and modified (" + ProgramText(353) + ")");
    EXPECT_EQ(dialogs.messages().front().icon, MsgIcon::Warning);
    EXPECT_EQ(recorder->confirmations, 0) << "refused before anything is asked";
    EXPECT_FALSE(QFile::exists(target + "notes.txt"));
    EXPECT_TRUE(window->cmdSpecifyDirectory[0]->isEnabled()) << "the window stays usable";

    other.Release();
    dialogs.shown.clear();
    window->cmdBackupModifiedFiles_MouseUp();
    EXPECT_TRUE(Messages().isEmpty()) << Messages().join('|').toStdString();
    EXPECT_TRUE(QFile::exists(target + "notes.txt"));
    EXPECT_EQ(other.Take(target, 0), FolderLock::Outcome::Taken) << "let go when it ended";
}

TEST_F(DriverTest, TheWriteTestSaysWhyItFailed) {
    if (getuid() != 0)
        GTEST_SKIP() << "mounting a small tmpfs needs root";
    const QByteArray mountPoint = QFile::encodeName(target);
    if (mount("tmpfs", mountPoint.constData(), "tmpfs", 0, "size=64k") != 0)
        GTEST_SKIP() << "tmpfs cannot be mounted here";
    const std::unique_ptr<const char, void (*)(const char*)> unmount(
        mountPoint.constData(), [](const char* path) { umount(path); });

    // Fill the disk: the write test's few bytes no longer fit.
    {
        QFile filler(target + "filler");
        ASSERT_TRUE(filler.open(QIODevice::WriteOnly));
        filler.write(QByteArray(256 * 1024, 'f'));
    }
    window->cmdBackupModifiedFiles_MouseUp();
    const QString full = Messages().value(0);
    EXPECT_TRUE(full.startsWith("The write test in the target folder failed"))
        << full.toStdString();
    EXPECT_TRUE(full.endsWith("\r\n\r\n" + QString::fromLocal8Bit(std::strerror(ENOSPC))));
    EXPECT_FALSE(full.contains(ProgramText(406))) << "a full disk is not write protection";
    EXPECT_EQ(dialogs.messages().back().title,
              "Back up new and modified (" + ProgramText(353) + ")");
    EXPECT_EQ(recorder->confirmations, 0) << "no backup offered";

    // Choosing that folder as the target says the same, not "write-protected".
    dialogs.folderAnswers = {target};
    dialogs.messageAnswers = {MsgResult::No};
    window->cmdSpecifyDirectory_MouseUp(1);
    EXPECT_TRUE(Messages().value(1).startsWith("The write test in the target folder failed"))
        << Messages().join('|').toStdString();
    EXPECT_EQ(dialogs.messages()[1].title, window->cmdSpecifyDirectory[1]->text());
    dialogs.shown.clear();

    QFile::remove(target + "filler");
    ASSERT_EQ(mount("tmpfs", mountPoint.constData(), "tmpfs", MS_REMOUNT | MS_RDONLY, "size=64k"),
              0);
    window->cmdBackupModifiedFiles_MouseUp();
    EXPECT_EQ(Messages().value(0),
              ProgramText(406) + "\r\n\r\n" + QString::fromLocal8Bit(std::strerror(EROFS)));
    EXPECT_EQ(recorder->confirmations, 0);
}

// A long report is kept whole in a file of its own, named in the report, whatever the full
// text box empties; the folder keeps the newest reports only, and nothing of anybody else's.
TEST_F(DriverTest, TheWholeReportIsKeptAsAFile) {
    QTemporaryDir state;
    qputenv("XDG_STATE_HOME", QFile::encodeName(state.path()));
    const QString folder = state.path() + "/vantoro/reports/";
    ASSERT_TRUE(QDir().mkpath(folder));
    for (int day = 1; day <= 55; ++day)
        WriteFile(folder + QStringLiteral("2020-01-%1_10-00-00_check.txt").arg(day, 2, 10, QChar('0')),
                  "old");
    WriteFile(folder + "2020-01-01_mine.txt", "not a report");
    for (int i = 0; i < 40; ++i)
        WriteFile(source + QStringLiteral("file %1.txt").arg(i), "1");
    window->lngMaxSizeTextboxContents = 600; // a few full text boxes
    window->cmdBackupModifiedFiles_MouseUp();
    const QString path = Report().ReportFilePath();
    ASSERT_TRUE(path.startsWith(folder)) << path.toStdString();
    EXPECT_TRUE(QFileInfo(path).fileName().endsWith("_backup-modified.txt"));
    EXPECT_TRUE(recorder->popUps.isEmpty());
    const QString shown = Report().ReportText();
    EXPECT_TRUE(shown.startsWith("The earlier lines of this report are in " + path + ".\r\n"))
        << shown.toStdString();
    EXPECT_TRUE(shown.contains(ReportFileLine(path) + "\r\n"));
    EXPECT_FALSE(shown.contains("file 0.txt")) << "gone from the top of the text box";

    const QString kept = QString::fromUtf8(ReadAll(path));
    for (int i = 0; i < 40; ++i)
        EXPECT_TRUE(kept.contains(source + QStringLiteral("file %1.txt ").arg(i) + ProgramText(65) +
                                  "\n"))
            << i;
    EXPECT_TRUE(kept.endsWith("Number of files copied: 41\nSum of sizes of files copied: 45 bytes\n"
                              "\nNot included: 2 subfolders of " +
                              source + " with their files: Letters, Photos. Choose them with "
                                       "Select included subfolders.\n"))
        << kept.toStdString();
    EXPECT_FALSE(kept.contains("The earlier lines")) << "the window's notice is not the report";
    EXPECT_FALSE(kept.contains('\r'));
    EXPECT_EQ(QFile::permissions(path) & (QFile::ReadOther | QFile::ReadGroup), 0);

    QStringList reports = QDir(folder).entryList(QDir::Files, QDir::Name);
    EXPECT_TRUE(reports.removeOne("2020-01-01_mine.txt")) << "not a report file: never removed";
    EXPECT_EQ(reports.size(), ReportFile::KeptReports);
    EXPECT_EQ(reports.first(), "2020-01-07_10-00-00_check.txt") << "the oldest went";
    EXPECT_EQ(reports.last(), QFileInfo(path).fileName());

    // The finished report opens its file through the desktop.
    ASSERT_TRUE(Report().cmdOpenReportFile->isVisibleTo(&Report()));
    Report().cmdOpenReportFile->click();
    EXPECT_EQ(shell.calls.value(0), "xdg-open " + path);

    // A report that cannot be kept says why, and offers no file.
    window->lngMaxSizeTextboxContents = 61440;
    qputenv("XDG_STATE_HOME", QFile::encodeName(folder + "2020-01-01_mine.txt"));
    window->cmdBackupAllFiles_MouseUp();
    EXPECT_TRUE(Report().ReportText().contains("The report could not be kept in a file: "));
    EXPECT_EQ(Report().ReportFilePath(), "");
    EXPECT_FALSE(Report().cmdOpenReportFile->isVisibleTo(&Report()));
    qunsetenv("XDG_STATE_HOME");
}

// A folder of many files shows its please-wait notice in the window while it is read.
TEST_F(DriverTest, TheCountingNoticeIsDrawn) {
    for (int i = 0; i < window->State().intManyFilesThreshold; ++i)
        WriteFile(source + QStringLiteral("Photos/p%1.jpg").arg(i), "p");
    window->cboIncludedFolders->addItems({"Photos"});
    window->State().intNumIncludedFolders = 1;
    window->RefreshSourceFolderDisplay();
    bool drawnWithNotice = false;
    EventSpy spy([&](QObject* watched, QEvent* event) {
        if (event->type() == QEvent::Paint && watched == Report().txbText->viewport() &&
            Report().txbText->toPlainText().endsWith(ProgramText(60) + ' '))
            drawnWithNotice = true;
    });
    window->cmdBackupModifiedFiles_MouseUp();
    EXPECT_TRUE(drawnWithNotice);
    EXPECT_FALSE(Report().ReportText().contains(ProgramText(60)));
    // Taken back from the report's file too, which lies in the user's state folder.
    const QString path = Report().ReportFilePath();
    EXPECT_TRUE(path.startsWith(QDir::homePath() + "/.local/state/vantoro/reports/"));
    const QByteArray kept = ReadAll(path);
    EXPECT_TRUE(kept.contains(" files in ")) << kept.toStdString();
    EXPECT_FALSE(kept.contains(ProgramText(60).toUtf8()));
}

} // namespace
} // namespace vnt::test
