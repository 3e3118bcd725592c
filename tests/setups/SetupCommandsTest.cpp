#include "../mainwindow/MainWindowFixture.h"
#include "cli/CliRun.h"
#include "mainwindow/Language.h"
#include "platform/Drives.h"
#include "platform/Twips.h"
#include "report/frmReport.h"
#include "setups/frmSchedules.h"
#include "setups/Schedules.h"
#include "setups/SetupFile.h"
#include "TestSupport.h"

#include <cerrno>
#include <cstring>
#include <QAbstractButton>
#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QElapsedTimer>
#include <QFrame>
#include <QJsonDocument>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QStandardPaths>
#include <QTest>

namespace vnt::test {
namespace {

const QString CRLF = QStringLiteral("\r\n");

class SetupTest : public MainWindowTest {
protected:
    QTemporaryDir disk;
    QString source = disk.path() + "/src/";
    QString target = disk.path() + "/dst/";

    void SetUp() override {
        MainWindowTest::SetUp();
        ASSERT_TRUE(QDir().mkpath(source + "Letters/2024"));
        ASSERT_TRUE(QDir().mkpath(source + "Photos"));
        ASSERT_TRUE(QDir().mkpath(target));
        QFile::remove(QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation) +
                      "/Vantoro/vnt.usr");
        ASSERT_TRUE(Start());
        recorder->realSaves = true;
    }

    void FillSetup() {
        dialogs.folderAnswers = {source, target};
        window->cmdSpecifyDirectory_MouseUp(0);
        window->cmdSpecifyDirectory_MouseUp(1);
        window->cboIncludedFolders->addItems({"Photos", "Letters"});
        window->State().intNumIncludedFolders = 2;
        SetCheckValue(window->chkIncludeSubfolders, 1);
        SetCheckValue(window->chkSaveSetupOnQuit, 1);
        window->cboModifiedSince->setCurrentIndex(2);
        window->txbExcludedFilepaths->setText("cache, tmp");
        window->txbFileExtension->setText("jpg");
        dialogs.shown.clear();
    }

    vnt::Setup Now() const {
        vnt::Setup setup = window->CurrentSetup();
        setup.modifiedSinceDays = 0;
        return setup;
    }
};

bool Same(const vnt::Setup& a, const vnt::Setup& b) {
    return a.sourceFolder == b.sourceFolder && a.targetFolder == b.targetFolder &&
           a.includedFolders == b.includedFolders && a.includeSubfolders == b.includeSubfolders &&
           a.fileExtension == b.fileExtension && a.excludedFilepaths == b.excludedFilepaths &&
           a.modifiedSinceIndex == b.modifiedSinceIndex &&
           a.pauseAfterFirstCopy == b.pauseAfterFirstCopy &&
           a.saveSetupOnQuit == b.saveSetupOnQuit &&
           a.excludeFilesInSourceFolder == b.excludeFilesInSourceFolder &&
           a.suppressDetailedReports == b.suppressDetailedReports;
}

TEST_F(SetupTest, SaveAndLoadThroughTheDialogs) {
    FillSetup();
    const vnt::Setup saved = Now();
    window->OpenSetupMenu();
    EXPECT_FALSE(window->fraMenu->isEnabled());
    EXPECT_TRUE(window->fraSetup->isVisible());
    window->cmdSaveSetup_Click();
    EXPECT_EQ(window->fraSaveSetup->findChildren<QPushButton*>().size(), 4);
    EXPECT_TRUE(window->cmdDontSaveSetup->isVisible());

    dialogs.saveAnswers = {disk.path() + "/setup.txt"};
    window->cmdSaveSetupAsOperationFile_Click();
    EXPECT_EQ(dialogs.messages().back().text, "Setup files must have extension 'vnt'.");
    EXPECT_EQ(dialogs.messages().back().title, "Save setup in setup file");
    EXPECT_FALSE(QFile::exists(disk.path() + "/setup.txt"));
    EXPECT_TRUE(window->fraMenu->isEnabled()) << "the ending gives the window back";

    const QString file = disk.path() + "/My Setup.VNT";
    dialogs.saveAnswers = {file};
    window->cmdSaveSetupAsOperationFile_Click();
    EXPECT_TRUE(QFile::exists(file));
    EXPECT_EQ(window->txbSetupFile->text(), file);
    EXPECT_EQ(dialogs.shown.back().file.filter, ProgramText(118) + " (*.vnt)");
    ASSERT_EQ(recorder->popUps.size(), 1);
    EXPECT_TRUE(recorder->popUps[0].startsWith("Setup saved "))
        << recorder->popUps[0].toStdString();

    dialogs.saveAnswers = {file};
    dialogs.messageAnswers = {MsgResult::No};
    window->cmdSaveSetupAsOperationFile_Click();
    EXPECT_EQ(dialogs.messages().back().text, ProgramText(119) + " " + file + "?");
    EXPECT_EQ(recorder->popUps.size(), 1) << "not replaced";

    // The dialogs open where the scheduled runs read setup files, made on first use; a name
    // typed without an extension becomes a setup file.
    const QString folder =
        QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation) + "/vantoro";
    ASSERT_TRUE(QDir(folder).removeRecursively());
    dialogs.shown.clear();
    dialogs.saveAnswers = {folder + "/nightly"};
    window->cmdSaveSetupAsOperationFile_Click();
    EXPECT_EQ(dialogs.shown.front().file.initialPath, folder);
    EXPECT_EQ(dialogs.shown.front().file.defaultSuffix, "vnt");
    EXPECT_TRUE(QFile::exists(folder + "/nightly.vnt"));
    EXPECT_EQ(window->txbSetupFile->text(), folder + "/nightly.vnt");

    // A save that fails says why, in the system's words.
    const QString lost = disk.path() + "/no such folder/x.vnt";
    dialogs.saveAnswers = {lost};
    window->cmdSaveSetupAsOperationFile_Click();
    EXPECT_EQ(dialogs.messages().back().text, ProgramText(121) + " " + lost + "." + CRLF + CRLF +
                                                  QString::fromLocal8Bit(std::strerror(ENOENT)));
    EXPECT_TRUE(window->txbSetupFile->text().isEmpty());

    window->cmdClearSetup_Click();
    EXPECT_EQ(window->txbDirectory[0]->text(), "");
    window->cmdLoadSetup_Click();
    EXPECT_TRUE(window->cmdDontSaveSetup->isHidden());
    EXPECT_EQ(window->cmdSaveSetupInBothWays->text(), "Not now");
    dialogs.openAnswers = {file};
    window->cmdSaveSetupAsOperationFile_Click();
    EXPECT_EQ(dialogs.shown.back().file.initialPath, folder);
    EXPECT_TRUE(Same(Now(), saved));
    EXPECT_EQ(window->txbSetupFile->text(), file);
    EXPECT_TRUE(window->blnIgnoreMouseUp) << "the guard after the Open dialog";
    window->cmdSetup_MouseUp();
    EXPECT_FALSE(window->fraSetup->isVisible());
    window->Clock2_Timer();
    window->cmdSetup_MouseUp();
    EXPECT_TRUE(window->fraSetup->isVisible());
}

TEST_F(SetupTest, LoadingReportsShortFilesAndMissingFolders) {
    const QString file = disk.path() + "/short.vnt";
    WriteFile(file, QFile::encodeName(source) + "\r\n" + QFile::encodeName(target) +
                        "\r\n 0 \r\n 0 \r\n 0 \r\n 0 \r\n 0 \r\n 0 \r\ncache\r\n");
    window->cmdLoadSetup_Click();
    dialogs.openAnswers = {file};
    window->cmdSaveSetupAsOperationFile_Click();
    EXPECT_EQ(dialogs.messages().back().text,
              ProgramText(348) + "\r\n" + file + "\r\n\r\n" + ProgramText(349));
    EXPECT_EQ(window->txbDirectory[0]->text(), source);

    WriteFile(
        file,
        "/no/such/folder/\r\n\r\n 0 \r\n 0 \r\n 0 \r\n 0 \r\n 0 \r\n 0 \r\n\r\n 1 \r\nA\r\n\r\n");
    EXPECT_EQ(window->LoadOperationFile(file), 0);
    EXPECT_EQ(dialogs.messages().back().text, "Source folder /no/such/folder/ does not exist.");
    EXPECT_EQ(dialogs.messages().back().title, "Error");
    EXPECT_EQ(window->txbDirectory[0]->text(), "");
    EXPECT_EQ(window->cboIncludedFolders->count(), 0);
}

TEST_F(SetupTest, TheNextRunSetupComesBackAtTheNextStart) {
    FillSetup();
    const vnt::Setup saved = Now();
    for (int tick = 0; tick < 11; ++tick)
        window->Clock_Timer();
    QTest::mouseClick(window->cmdQuit, Qt::LeftButton);
    ASSERT_EQ(recorder->endCount, 1);
    ASSERT_TRUE(QFile::exists(window->strNextRunSetupPath));

    dialogs.shown.clear();
    ASSERT_TRUE(Start());
    EXPECT_TRUE(Same(Now(), saved)) << "restored silently";
    EXPECT_TRUE(dialogs.shown.empty());
    EXPECT_TRUE(window->blnNextRunSetupCurrent);
    recorder->realSaves = true;

    // Quit within the guard writes nothing.
    SetCheckValue(window->chkPauseAfterFirstCopy, 1);
    QTest::mouseClick(window->cmdQuit, Qt::LeftButton);
    ASSERT_TRUE(Start());
    EXPECT_EQ(CheckValue(window->chkPauseAfterFirstCopy), 0);
    EXPECT_FALSE(window->lblPreviousRun->text().isEmpty()) << "the previous start's stamp";
}

TEST_F(SetupTest, ClearThenRestoreGivesBackTheSetup) {
    FillSetup();
    SetCheckValue(window->chkPauseAfterFirstCopy, 1);
    const vnt::Setup before = Now();
    window->txbSetupFile->setText(disk.path() + "/letters.vnt");
    window->txbSetupFile->show();
    window->cmdClearSetup_Click();
    EXPECT_TRUE(Same(Now(), vnt::Setup{})) << "cleared";
    EXPECT_EQ(window->txbSetupFile->text(), "") << "the file's name went with its Setup";
    EXPECT_EQ(window->lblNumSubfolders->text(), "") << "no count left under the empty source";
    dialogs.folderAnswers = {target};
    window->cmdSpecifyDirectory_MouseUp(0);
    window->cboIncludedFolders->addItem("Other");
    window->cmdRestoreSetup_Click();
    EXPECT_TRUE(Same(Now(), before));
    EXPECT_EQ(window->txbSetupFile->text(), disk.path() + "/letters.vnt");
    window->cmdRestoreSetup_Click();
    EXPECT_TRUE(Same(Now(), before)) << "restoring twice is the same";
    EXPECT_FALSE(window->fraSetup->isVisible());
    EXPECT_TRUE(window->fraMenu->isEnabled());
}

TEST_F(SetupTest, SaveForTheNextRunAndInBothWays) {
    FillSetup();
    window->cmdSaveSetup_Click();
    window->cmdSaveSetupForNextRun_Click();
    EXPECT_TRUE(QFile::exists(window->strNextRunSetupPath));
    EXPECT_EQ(recorder->popUps.size(), 1);
    EXPECT_TRUE(window->fraMenu->isEnabled());

    window->cmdSaveSetup_Click();
    dialogs.saveAnswers = {QString()};
    window->cmdSaveSetupInBothWays_Click();
    EXPECT_EQ(recorder->popUps.size(), 1)
        << "the next-run file is saved without a pop-up, the dialog cancelled";
    EXPECT_EQ(dialogs.shown.back().kind, ShownDialog::Kind::SaveFile);

    window->strNextRunSetupPath = disk.path() + "/no/such/dir/vnt.usr";
    window->cmdSaveSetup_Click();
    window->cmdSaveSetupInBothWays_Click();
    EXPECT_EQ(dialogs.messages().back().text,
              ProgramText(116) + CRLF + CRLF + QString::fromLocal8Bit(std::strerror(ENOENT)));
    EXPECT_NE(dialogs.shown.back().kind, ShownDialog::Kind::SaveFile)
        << "no file dialog after a failure";
}

TEST_F(SetupTest, EverySaveRefusesALineBreakAndSaysWhy) {
    FillSetup();
    window->cmdSaveSetup_Click();
    window->cmdSaveSetupForNextRun_Click();
    const QByteArray kept = ReadAll(window->strNextRunSetupPath);
    ASSERT_FALSE(kept.isEmpty());
    recorder->popUps.clear();

    window->txbDirectory[0]->setText(disk.path() + "/two\nlines/");
    const QString why =
        "\r\n\r\nThe name of the source folder holds a line break, which a setup file cannot "
        "store.";
    window->cmdSaveSetup_Click();
    window->cmdSaveSetupForNextRun_Click();
    EXPECT_EQ(dialogs.messages().back().text, ProgramText(116) + why);

    window->cmdSaveSetup_Click();
    window->cmdSaveSetupInBothWays_Click();
    EXPECT_EQ(dialogs.messages().back().text, ProgramText(116) + why);
    EXPECT_NE(dialogs.shown.back().kind, ShownDialog::Kind::SaveFile);

    const QString file = disk.path() + "/lines.vnt";
    window->cmdSaveSetup_Click();
    dialogs.saveAnswers = {file};
    window->cmdSaveSetupAsOperationFile_Click();
    EXPECT_EQ(dialogs.messages().back().text, ProgramText(121) + " " + file + "." + why);
    EXPECT_EQ(dialogs.messages().back().title, ProgramText(31));
    EXPECT_FALSE(QFile::exists(file));
    EXPECT_TRUE(window->txbSetupFile->text().isEmpty());

    for (int tick = 0; tick < 11; ++tick)
        window->Clock_Timer();
    dialogs.shown.clear();
    window->cmdQuit_MouseUp();
    ASSERT_EQ(dialogs.messages().size(), 1u) << "the save on quit says it failed";
    EXPECT_EQ(dialogs.messages().back().text, ProgramText(116) + why);
    EXPECT_EQ(recorder->endCount, 1) << "the program still ends";

    EXPECT_TRUE(recorder->popUps.isEmpty()) << "never 'Setup saved'";
    EXPECT_EQ(ReadAll(window->strNextRunSetupPath), kept);
}

// Whatever puts the pause option back, it stays off while detailed reports are suppressed;
// its value waits for the suppress box to be unticked.
TEST_F(SetupTest, ThePauseOptionIsNeverOnWhileReportsAreSuppressed) {
    FillSetup();
    const auto click = [](QCheckBox* box) { QTest::mouseClick(box, Qt::LeftButton); };
    const auto pauseIsOffAndLocked = [this] {
        return CheckValue(window->chkPauseAfterFirstCopy) == 0 &&
               !window->chkPauseAfterFirstCopy->isEnabled() &&
               window->CurrentSetup().pauseAfterFirstCopy == 0;
    };
    click(window->chkSuppressDetailedReports);
    window->cmdClearSetup_Click(); // the kept setup suppresses, without the pause
    window->cmdRestoreSetup_Click();
    click(window->chkSuppressDetailedReports);
    click(window->chkPauseAfterFirstCopy);
    ASSERT_EQ(window->CurrentSetup().pauseAfterFirstCopy, 1);
    for (int restore = 1; restore <= 2; ++restore) {
        window->cmdRestoreSetup_Click();
        EXPECT_EQ(CheckValue(window->chkSuppressDetailedReports), 1);
        EXPECT_TRUE(pauseIsOffAndLocked()) << "after restore " << restore;
    }
    click(window->chkSuppressDetailedReports);
    EXPECT_EQ(CheckValue(window->chkPauseAfterFirstCopy), 0) << "as the kept setup had it";
    EXPECT_TRUE(window->chkPauseAfterFirstCopy->isEnabled());

    // A setup file may hold both on; the pause comes back when suppressing ends.
    const QString file = disk.path() + "/both.vnt";
    WriteFile(file, QFile::encodeName(source) + "\r\n" + QFile::encodeName(target) +
                        "\r\n 1 \r\n 0 \r\n 0 \r\n 0 \r\n 0 \r\n 1 \r\n\r\n 0 \r\n\r\n");
    EXPECT_EQ(window->LoadOperationFile(file), 0);
    EXPECT_EQ(CheckValue(window->chkSuppressDetailedReports), 1);
    EXPECT_TRUE(pauseIsOffAndLocked());
    click(window->chkSuppressDetailedReports);
    EXPECT_EQ(CheckValue(window->chkPauseAfterFirstCopy), 1);
}

TEST_F(SetupTest, UnattendedRunRefusesAHalfReadNextRunSetup) {
    // Save on quit off, the skip list read, the rest of the file missing.
    const QByteArray head = QFile::encodeName(source) + "\r\n" + QFile::encodeName(target) +
                            "\r\n 0 \r\n 0 \r\n 0 \r\n 0 \r\n 0 \r\n 0 \r\ncache\r\n";
    const QString path = window->strNextRunSetupPath;
    WriteFile(path, head);
    ASSERT_TRUE(Start());
    ASSERT_EQ(window->txbDirectory[0]->text(), source) << "loaded as far as it goes, silently";
    ASSERT_TRUE(dialogs.shown.empty());

    // Should the run go ahead all the same, its shutdown pop-up times out at once.
    const auto watcher = TimeOutPopUpsAtOnce();
    window->RunUnattendedBackup({"shutdown"});
    EXPECT_TRUE(recorder->operations.empty()) << "no backup";
    EXPECT_TRUE(shell.calls.isEmpty()) << "no shutdown";
    EXPECT_EQ(CheckValue(window->chkSaveSetupOnQuit), 0)
        << "a later Quit must not write the half Setup over the file";
    // Nobody may be there: no box waits, the desktop is told why, and the program ends.
    EXPECT_TRUE(dialogs.messages().empty());
    ASSERT_EQ(recorder->notices.size(), 1u);
    EXPECT_EQ(recorder->notices[0].title, "Backup: nothing done");
    EXPECT_TRUE(recorder->notices[0].body.startsWith(
        "Backup not done: " + ProgramText(115) + " " + path +
        " The file ended before all its settings were read. The unattended backup has not "
        "been run. The computer is not shut down.\n"))
        << recorder->notices[0].body.toStdString();
    EXPECT_EQ(recorder->endCount, 1);

    WriteFile(path, head + " 0 \r\n\r\n");
    ASSERT_TRUE(Start());
    dialogs.shown.clear();
    window->RunUnattendedBackup({"nightly"});
    EXPECT_EQ(recorder->operations, std::vector<qint16>{5}) << "a whole file runs";
    EXPECT_TRUE(dialogs.messages().empty());
}

// A setup file loaded and saved again is the same file, whatever the pause option is while
// reports are suppressed; a subfolder it names that is gone is said by name, and an
// unattended run does not start without it; a file of megabytes of noise loads in a moment.
TEST_F(SetupTest, ASetupFileComesBackAsItWasOrSaysWhatIsMissing) {
    const QByteArray folders = QFile::encodeName(source) + "\r\n" + QFile::encodeName(target);
    const QString file = disk.path() + "/kept.vnt";
    const QString again = disk.path() + "/again.vnt";
    for (const auto& [suppress, pause] : {std::pair{1, 1}, {1, 0}, {0, 1}, {0, 0}}) {
        const QByteArray bytes =
            folders + QStringLiteral("\r\n %1 \r\n 0 \r\n 0 \r\n 1 \r\n 2 \r\n %2 "
                                     "\r\ncache\r\n 1 \r\nPhotos\r\njpg\r\n")
                          .arg(suppress)
                          .arg(pause)
                          .toUtf8();
        WriteFile(file, bytes);
        ASSERT_EQ(window->LoadOperationFile(file), 0);
        ASSERT_TRUE(recorder->SaveSetupToFile(*window, again, false));
        EXPECT_EQ(ReadAll(again), bytes);
        // The next-run setup goes through the kept setup, and is saved again on quit.
        WriteFile(window->strNextRunSetupPath, bytes);
        window->LoadSetupFromLastRun();
        ASSERT_TRUE(recorder->SaveSetupToFile(*window, again, false));
        EXPECT_EQ(ReadAll(again), bytes);
    }

    WriteFile(file, folders + "\r\n 0 \r\n 0 \r\n 0 \r\n 0 \r\n 0 \r\n 0 \r\n\r\n 3 \r\n"
                              "Photos\r\nGone\r\ncaf\xe9\r\n\r\n");
    dialogs.shown.clear();
    ASSERT_EQ(window->LoadOperationFile(file), 0);
    ASSERT_EQ(dialogs.messages().size(), 1u);
    EXPECT_EQ(dialogs.messages()[0].title, "Error");
    EXPECT_EQ(dialogs.messages()[0].icon, MsgIcon::Warning);
    EXPECT_EQ(dialogs.messages()[0].text,
              "Included subfolder " + source + "Gone/ does not exist.\r\nIncluded subfolder " +
                  source + QString::fromUtf8("caf\xef\xbf\xbd/ does not exist."));
    EXPECT_EQ(window->CurrentSetup().includedFolders, QStringList{"Photos"});

    QFile::remove(window->strNextRunSetupPath);
    ASSERT_TRUE(QFile::copy(file, window->strNextRunSetupPath));
    dialogs.shown.clear();
    ASSERT_TRUE(Start());
    EXPECT_TRUE(dialogs.messages().empty()) << "start-up is silent";
    window->RunUnattendedBackup({"nightly"});
    EXPECT_TRUE(recorder->operations.empty()) << "no backup without the subfolders";
    EXPECT_TRUE(dialogs.messages().empty()) << "nobody is there to read a box";
    ASSERT_FALSE(recorder->notices.empty());
    const QString notice = recorder->notices.back().body;
    EXPECT_TRUE(notice.contains(source + "Gone/ does not exist. ")) << notice.toStdString();
    EXPECT_TRUE(notice.contains("The unattended backup has not been run.\n"));

    QByteArray noise = "/";
    for (quint32 seed = 20; noise.size() < 3'000'000;) {
        seed = seed * 1103515245 + 12345;
        const char c = static_cast<char>(seed >> 16);
        noise += c == '\r' || c == '\n' || c == '\0' ? '/' : c;
    }
    // Each loaded through the window's own load command, in well under two seconds.
    const auto loadsInAMoment = [&](const QByteArray& bytes) {
        WriteFile(file, bytes);
        QElapsedTimer timer;
        timer.start();
        window->cmdLoadSetup_Click();
        dialogs.openAnswers = {file};
        window->cmdSaveSetupAsOperationFile_Click();
        EXPECT_LT(timer.elapsed(), 2000);
    };
    for (const QByteArray& hostile :
         {noise + "\r\n" + QFile::encodeName(target), folders + "/" + noise.mid(1)})
        loadsInAMoment(hostile + "\r\n 0 \r\n 0 \r\n 0 \r\n 0 \r\n 0 \r\n 0 \r\n\r\n 1 \r\n" +
                       noise.mid(1) + "\r\n\r\n");
    loadsInAMoment(folders + "\r\n 0 \r\n 0 \r\n 0 \r\n 0 \r\n 0 \r\n 0 \r\n\r\n 400000 \r\n" +
                   QByteArray("Photos\r\n").repeated(400'000) + "\r\n");
    EXPECT_EQ(window->State().intNumIncludedFolders, 400'000);
}

TEST_F(SetupTest, NoPeriodInAFileIsTheFirstEntry) {
    const QString file = disk.path() + "/any.vnt";
    WriteFile(file, QFile::encodeName(source) + "\r\n" + QFile::encodeName(target) +
                        "\r\n 0 \r\n 0 \r\n 0 \r\n 0 \r\n-1 \r\n 0 \r\n\r\n 0 \r\n\r\n");
    window->cboModifiedSince->setCurrentIndex(3);
    EXPECT_EQ(window->LoadOperationFile(file), 0);
    EXPECT_EQ(window->cboModifiedSince->currentIndex(), 0);
    EXPECT_EQ(window->ModifiedSinceText(), ProgramText(353)) << "named in captions and reports";
    EXPECT_LT(window->CurrentSetup().modifiedSinceDays, 0) << "no restriction";
}

TEST_F(SetupTest, ManyIncludedSubfoldersKeepTheirCount) {
    FillSetup();
    QStringList names;
    for (int i = 0; i < 40000; ++i)
        names.append(QStringLiteral("Sub %1").arg(i));
    recorder->selectionWindow = [&names](SubfolderSelection& request) {
        request.blnFolderSelectionAccepted = true;
        request.strFoldersReturnedFromSelectFoldersForm = names.join("\r\n");
    };
    window->cmdSelectSubfolders_MouseUp();
    EXPECT_EQ(window->State().intNumIncludedFolders, 40000);
    EXPECT_EQ(window->CurrentSetup().includedFolders, names) << "what the walk is given";

    window->cmdClearSetup_Click();
    window->cmdRestoreSetup_Click();
    EXPECT_EQ(window->State().intNumIncludedFolders, 40000);
    EXPECT_EQ(window->CurrentSetup().includedFolders, names);
}

// The setup menu's further commands over real folders, with operations run for real.
class MenuCommandsTest : public MainWindowTest {
protected:
    QTemporaryDir disk;
    QString source = disk.path() + "/src/";
    QString target = disk.path() + "/dst/";

    void SetUp() override {
        MainWindowTest::SetUp();
        ASSERT_TRUE(QDir().mkpath(source + "docs"));
        ASSERT_TRUE(QDir().mkpath(target));
        WriteFile(source + "a.txt", "alpha");
        WriteFile(source + "docs/b.txt", "bravo");
        StartWithFolders();
    }
    void StartWithFolders() {
        ASSERT_TRUE(Start());
        recorder->runOperations = recorder->realSaves = true;
        dialogs.folderAnswers = {source, target};
        window->cmdSpecifyDirectory_MouseUp(0);
        window->cmdSpecifyDirectory_MouseUp(1);
        window->cboIncludedFolders->addItem("docs");
        window->State().intNumIncludedFolders = 1;
        dialogs.shown.clear();
    }
    QString Report() { return window->ReportWindow().ReportText(); }
    // Opens the setup menu and uses one of its entries, as a person does.
    void Choose(QAbstractButton* entry) {
        window->OpenSetupMenu();
        entry->click();
    }
};

TEST_F(MenuCommandsTest, VerifyOffersToCopyTheDifferingFilesAgain) {
    window->cmdBackupModifiedFiles_MouseUp();
    WriteFile(target + "a.txt", "ALPHA"); // damaged in place, same size
    ASSERT_TRUE(QFile::remove(target + "docs/b.txt"));
    dialogs.shown.clear();
    dialogs.messageAnswers = {MsgResult::No};
    Choose(window->cmdVerifyBackup);
    ASSERT_EQ(dialogs.messages().size(), 1u);
    EXPECT_EQ(dialogs.messages()[0].text, "Copy the 2 damaged or missing files again?");
    EXPECT_EQ(dialogs.shown.back().owner, &window->ReportWindow()) << "over the report naming them";
    EXPECT_EQ(dialogs.messages()[0].title, "Verify backup");
    EXPECT_TRUE(window->fraSetup->isHidden());
    EXPECT_TRUE(Report().contains("Number of files whose contents differ: 1"));
    EXPECT_EQ(ReadAll(target + "a.txt"), "ALPHA") << "No copies nothing";

    dialogs.messageAnswers = {MsgResult::Yes};
    Choose(window->cmdVerifyBackup);
    EXPECT_EQ(ReadAll(target + "a.txt"), "alpha");
    EXPECT_EQ(ReadAll(target + "docs/b.txt"), "bravo");
    EXPECT_TRUE(Report().contains("Number of files repaired: 2")) << Report().toStdString();
    EXPECT_EQ(recorder->operations, (std::vector<qint16>{5, 6, 6, 6}));
    dialogs.shown.clear();
    Choose(window->cmdVerifyBackup);
    EXPECT_TRUE(dialogs.messages().empty()) << "all alike: nothing to ask";
    window->cmdClearFolder_Click(1);
    Choose(window->cmdVerifyBackup);
    EXPECT_EQ(dialogs.messages().at(0).text, "The target disk or folder must first be specified.");
}

TEST_F(MenuCommandsTest, KeepingReplacedCopiesIsASettingKeptForTheNextStart) {
    EXPECT_FALSE(window->State().blnKeepReplaced);
    window->cmdBackupModifiedFiles_MouseUp();
    Choose(window->chkKeepReplacedCopies);
    EXPECT_TRUE(window->fraSetup->isVisible()) << "a setting leaves the menu open";
    window->cmdClearSetup_Click(); // not part of the Setup
    StartWithFolders();
    EXPECT_TRUE(window->chkKeepReplacedCopies->isChecked());
    WriteFile(source + "docs/b.txt", "bravo 2");
    window->cmdBackupModifiedFiles_MouseUp();
    const QStringList runs =
        QDir(target + ".vantoro-replaced").entryList(QDir::Dirs | QDir::NoDotAndDotDot);
    ASSERT_EQ(runs.size(), 1) << Report().toStdString();
    EXPECT_EQ(ReadAll(target + ".vantoro-replaced/" + runs[0] + "/docs/b.txt"), "bravo");
    Choose(window->chkKeepReplacedCopies);
    StartWithFolders();
    EXPECT_FALSE(window->State().blnKeepReplaced);
}

// The user's own folders for the setup files and the service manager.
class ScheduleTest : public MenuCommandsTest {
protected:
    QTemporaryDir config, runtime;
    std::optional<ScopedEnvironment> configHome, runtimeDir;
    QString Folder() const { return config.path() + "/vantoro"; }
    void SetUp() override {
        // Test mode would put the user's folders under ~/.qttest, whatever XDG_CONFIG_HOME says.
        QStandardPaths::setTestModeEnabled(false);
        configHome.emplace("XDG_CONFIG_HOME", QFile::encodeName(config.path()).constData());
        runtimeDir.emplace("XDG_RUNTIME_DIR", QFile::encodeName(runtime.path()).constData());
        MenuCommandsTest::SetUp();
    }
    void TearDown() override {
        window.reset();
        QStandardPaths::setTestModeEnabled(true);
    }
    void UserSystemdRuns() {
        ASSERT_TRUE(QDir(runtime.path()).mkdir("systemd"));
        shell.outputs["systemctl --user is-system-running"] = {{ProgramLaunch::Outcome::Exited, 0},
                                                               "running\n"};
    }
};

TEST_F(ScheduleTest, ASetupFileAndTheUserTimerMakeANightlyBackup) {
    UserSystemdRuns();
    for (const QString& name : {QString("a/b"), QString("  "), QString("my photos")}) {
        dialogs.inputAnswers = {name};
        Choose(window->cmdScheduleBackup);
        EXPECT_EQ(dialogs.messages().back().text, ScheduleNameProblem(name.trimmed()));
    }
    EXPECT_TRUE(shell.calls.isEmpty());
    dialogs.shown.clear();
    dialogs.inputAnswers = {"photos"};
    dialogs.messageAnswers = {MsgResult::No}; // no reminder
    Choose(window->cmdScheduleBackup);
    EXPECT_EQ(dialogs.shown.at(0).input.defaultText, "nightly");
    EXPECT_EQ(shell.calls,
              (QStringList{"systemctl --user is-system-running",
                           "systemctl --user enable --now vantoro-backup@photos.timer"}))
        << "a target on the system's own disk is never plugged in";
    const SetupFileRead read = ReadSetupFile(Folder() + "/photos.vnt");
    EXPECT_EQ(read.setup.sourceFolder + read.setup.targetFolder, source + target);
    EXPECT_EQ(read.setup.keepReplaced, -1) << "the window keeps no replaced copies";
    EXPECT_EQ(read.setup.remindAfterDays, -1);
    EXPECT_EQ(dialogs.shown.at(2).message.icon, MsgIcon::Information);
    EXPECT_TRUE(dialogs.shown.at(2).message.text.endsWith(" backup-modified --setup " + Folder() +
                                                          "/photos.vnt --notify"))
        << "the command the timer runs";

    // The file is replaced only when asked to; a timer that cannot be enabled gives cron.
    shell.launchResult = {ProgramLaunch::Outcome::Exited, 1};
    dialogs.shown.clear();
    dialogs.inputAnswers = {"photos", "photos"};
    dialogs.messageAnswers = {MsgResult::No, MsgResult::Yes};
    Choose(window->cmdScheduleBackup);
    Choose(window->cmdScheduleBackup);
    EXPECT_EQ(dialogs.messages().at(0).text, ProgramText(119) + " " + Folder() + "/photos.vnt?");
    EXPECT_TRUE(dialogs.messages().at(3).text.contains("ended with status 1"));
    EXPECT_TRUE(dialogs.messages().at(3).text.contains("\r\n30 2 * * * "));
    EXPECT_EQ(ReadSetupFile(Folder() + "/photos.vnt").setup.remindAfterDays, ReminderDays)
        << "the reminder, said yes to, goes with the file";
}

// A target on a disk of its own (here a tmpfs): the disk's mount unit can start the backup
// when it is plugged in, and switching the schedule off takes that with it.
TEST_F(ScheduleTest, ADiskOfItsOwnCanStartTheBackupWhenPluggedIn) {
    QTemporaryDir own(QStringLiteral("/dev/shm/vantoro-XXXXXX"));
    const DiskPlace place = DiskPlaceOf(own.path());
    if (!own.isValid() || place.mountPoint == "/")
        GTEST_SKIP() << "no file system of its own for a target here";
    UserSystemdRuns();
    window->txbDirectory[1]->setText(own.path() + "/");
    dialogs.inputAnswers = {"stick"};
    Choose(window->cmdScheduleBackup);
    const QString mountUnit = MountUnitName(place.mountPoint);
    EXPECT_EQ(shell.calls.value(2),
              "systemctl --user add-wants " + mountUnit + " vantoro-plugged@stick.service");
    EXPECT_TRUE(dialogs.messages().back().text.contains("is plugged in, at most once a day."))
        << dialogs.messages().back().text.toStdString();

    // What systemctl would have made; the list says so, and Switch off undoes both.
    const QString wants = config.path() + "/systemd/user/" + mountUnit + ".wants";
    ASSERT_TRUE(QDir().mkpath(wants));
    ASSERT_TRUE(QFile::link("/usr/lib/systemd/user/vantoro-plugged@.service",
                            wants + "/vantoro-plugged@stick.service"));
    const QString list = "systemctl --user list-unit-files vantoro-backup@*.timer --state=enabled "
                         "--no-legend";
    shell.outputs[list] = {{ProgramLaunch::Outcome::Exited, 0},
                           "vantoro-backup@stick.timer enabled enabled\n"};
    Choose(window->cmdSchedules);
    auto* schedules = window->findChild<frmSchedules*>();
    ASSERT_NE(schedules, nullptr);
    ASSERT_EQ(schedules->lstSchedules->count(), 1);
    EXPECT_TRUE(
        schedules->lstSchedules->item(0)->text().endsWith("(and when its disk is plugged in)"));
    shell.calls.clear();
    schedules->cmdSwitchOff->click();
    EXPECT_TRUE(shell.calls.contains("systemctl --user disable vantoro-plugged@stick.service"))
        << shell.calls.join('\n').toStdString();

    // Said no to, an earlier choice is undone.
    schedules->close();
    shell.calls.clear();
    dialogs.inputAnswers = {"stick"};
    dialogs.messageAnswers = {MsgResult::Yes, MsgResult::Yes, MsgResult::No};
    Choose(window->cmdScheduleBackup);
    EXPECT_EQ(shell.calls.value(2), "systemctl --user disable vantoro-plugged@stick.service");
}

TEST_F(ScheduleTest, WithoutAUserSystemdTheCronLineIsShownAndNoScheduleListed) {
    dialogs.inputAnswers = {"nightly"};
    Choose(window->cmdScheduleBackup);
    EXPECT_TRUE(QFile::exists(Folder() + "/nightly.vnt"));
    // What cron needs: the report kept in a log, and no notification promised from a bus that
    // changes at each login.
    const QString text = dialogs.messages().at(1).text;
    EXPECT_TRUE(
        text.contains(" backup-modified --setup " + Folder() + "/nightly.vnt --notify --log ~/"))
        << text.toStdString();
    EXPECT_TRUE(text.contains("no notification is shown")) << text.toStdString();
    Choose(window->cmdSchedules);
    EXPECT_EQ(shell.calls, QStringList{"crontab -l"}) << "no systemctl where no systemd runs";
    auto* schedules = window->findChild<frmSchedules*>();
    ASSERT_NE(schedules, nullptr);
    EXPECT_FALSE(schedules->cmdSwitchOff->isEnabled());
    EXPECT_TRUE(schedules->lblSchedules->text().contains("crontab -l"));
    schedules->close();

    // The program's cron lines are listed, and left to "crontab -e".
    shell.outputs["crontab -l"] = {
        {ProgramLaunch::Outcome::Exited, 0},
        "MAILTO=me\n# 30 2 * * * vantoro-cli backup-modified --setup x\n"
        "30 2 * * * vantoro-cli backup-modified --setup ~/n.vnt --notify\n"
        "0 * * * * other-program --setup y\n"};
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    Choose(window->cmdSchedules);
    schedules = window->findChild<frmSchedules*>();
    ASSERT_NE(schedules, nullptr);
    ASSERT_EQ(schedules->lstSchedules->count(), 1);
    EXPECT_EQ(
        schedules->lstSchedules->item(0)->text(),
        QString("cron  \u2013  30 2 * * * vantoro-cli backup-modified --setup ~/n.vnt --notify"));
    EXPECT_FALSE(schedules->cmdSwitchOff->isEnabled());
    EXPECT_TRUE(schedules->lblSchedules->text().contains("crontab -e"));
}

// The scheduled run is the console on the file the window saved: it takes the files the
// window would take, however the extension was typed, and keeps replaced copies when the
// window does.
TEST_F(ScheduleTest, TheNightlyRunDoesWhatTheWindowShows) {
    UserSystemdRuns();
    WriteFile(source + "docs/c.dat", "charlie");
    WriteFile(target + "earlier.bin", "a backup was made here before"); // a check needs one
    window->RefreshTargetFolderDisplay(false);
    const QString file = Folder() + "/nightly.vnt";
    const QStringList check = {"check", "--setup", file, "--json"};
    for (const QString& typed : {QString(" TXT"), QString(".txt"), QString("*"), QString("dat")}) {
        window->txbFileExtension->setText(typed);
        dialogs.inputAnswers = {"nightly"};
        dialogs.messageAnswers = {MsgResult::Yes};
        Choose(window->cmdScheduleBackup);
        window->txbFileExtension->setText(typed);
        window->cmdCheckBackupState_MouseUp();
        const CliRun console = Cli(check);
        EXPECT_EQ(console.status, 0) << console.err.toStdString();
        EXPECT_EQ(QJsonDocument::fromJson(console.out.toUtf8())["counts"]["new"].toInt(-1),
                  window->State().lngTotalNumNewFiles)
            << typed.toStdString();
    }
    EXPECT_EQ(window->State().lngTotalNumNewFiles, 1) << "dat: c.dat alone";

    window->txbFileExtension->clear();
    window->chkKeepReplacedCopies->click();
    ASSERT_TRUE(window->chkKeepReplacedCopies->isChecked());
    dialogs.inputAnswers = {"nightly"};
    dialogs.messageAnswers = {MsgResult::Yes};
    Choose(window->cmdScheduleBackup);
    const QStringList nightly = {"backup-modified", "--setup", file};
    ASSERT_EQ(Cli(nightly).status, 0);
    WriteFile(source + "docs/b.txt", "bravo, again");
    ASSERT_EQ(Cli(nightly).status, 0);
    EXPECT_EQ(ReadAll(target + "docs/b.txt"), "bravo, again");
    const QStringList kept =
        QDir(target + ".vantoro-replaced").entryList(QDir::Dirs | QDir::NoDotAndDotDot);
    ASSERT_EQ(kept.size(), 1) << "the copy replaced was kept";
    EXPECT_EQ(ReadAll(target + ".vantoro-replaced/" + kept[0] + "/docs/b.txt"), "bravo");
}

TEST_F(ScheduleTest, TheSchedulesListedCanBeSwitchedOff) {
    UserSystemdRuns();
    const QString list = "systemctl --user list-unit-files vantoro-backup@*.timer --state=enabled "
                         "--no-legend";
    shell.outputs[list] = {{ProgramLaunch::Outcome::Exited, 0},
                           "vantoro-backup@nightly.timer enabled enabled\n"
                           "vantoro-backup@photos.timer enabled enabled\n"};
    Choose(window->cmdSchedules);
    auto* schedules = window->findChild<frmSchedules*>();
    ASSERT_NE(schedules, nullptr);
    ASSERT_EQ(schedules->lstSchedules->count(), 2);
    EXPECT_EQ(schedules->lstSchedules->item(1)->text(),
              QString("photos  \u2013  ") + Folder() + "/photos.vnt");
    schedules->lstSchedules->setCurrentRow(1);
    shell.outputs[list].output = "vantoro-backup@nightly.timer enabled enabled\n";
    shell.calls.clear();
    schedules->cmdSwitchOff->click();
    EXPECT_EQ(shell.calls.value(0), "systemctl --user disable --now vantoro-backup@photos.timer");
    EXPECT_EQ(schedules->lstSchedules->count(), 1) << "read again";
    shell.launchResult = {ProgramLaunch::Outcome::Exited, 1};
    schedules->cmdSwitchOff->click();
    EXPECT_EQ(dialogs.messages().size(), 1u) << "a failure is said";
}

} // namespace
} // namespace vnt::test
