#include "report/frmReport.h"

#include "../mainwindow/MainWindowFixture.h"
#include "mainwindow/Language.h"
#include "platform/Twips.h"
#include "report/frmConfirmOperation.h"
#include "report/Owners.h"
#include "TestSupport.h"

#include <QCheckBox>
#include <QClipboard>
#include <QGuiApplication>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScreen>
#include <QTest>
#include <QTimer>

namespace vnt::test {
namespace {

class ReportTest : public MainWindowTest {
protected:
    std::vector<int> sleeps;
    std::vector<QString> textDuringSleep;
    frmReport* report = nullptr;

    void SetUp() override {
        MainWindowTest::SetUp();
        ASSERT_TRUE(Start());
        recorder->sleeper = [this](int ms) {
            sleeps.push_back(ms);
            textDuringSleep.push_back(report->ReportText());
        };
        report = &window->ReportWindow();
    }

    static void Later(std::function<void()> action) {
        QTimer::singleShot(0, [action = std::move(action)] { action(); });
    }

    int HeightTwips() const { return report->OuterGeometryTwips().height(); }
};

TEST_F(ReportTest, LoadsWithItsDesignLayout) {
    EXPECT_EQ(report->intPauseInSeconds, 15);
    EXPECT_EQ(report->lblFreeSpace->text(), "");
    EXPECT_EQ(report->lblBytesCopied->text(), "");
    EXPECT_EQ(report->Label1->text(), "File now being copied: ");
    EXPECT_EQ(report->txbText->font().family(), "Courier New");
    EXPECT_EQ(report->cmdCancelClose->font().family(), "Arial");
    EXPECT_EQ(CheckValue(report->chkSuppressDisplayOfReport), 0);
    EXPECT_EQ(report->chkSuppressDisplayOfReport->text(), "Suppress display of report");
    EXPECT_EQ(TwipsGeometry(report->txbText), QRect(210, 1200, 8100, 4305));
}

TEST_F(ReportTest, OutputAppendsLinesAndPieces) {
    report->Output("first", false);
    report->Output(" piece", true);
    report->Output("", true);
    EXPECT_EQ(report->ReportText(), "first piece\r\n\r\n");
    EXPECT_EQ(report->txbText->toPlainText(), "first piece\n\n");
    report->AppendToText("Counting files ... ");
    report->RemoveFromEnd(19);
    EXPECT_EQ(report->txbText->toPlainText(), "first piece\n\n");
    report->RemoveFromEnd(2);
    EXPECT_EQ(report->ReportText(), "first piece\r\n");
    EXPECT_EQ(report->txbText->toPlainText(), "first piece\n");
}

TEST_F(ReportTest, ALargeCopyShowsItsShareAfterItsName) {
    report->SetFileNowBeingCopied(QString(), QString());
    report->CopyProgress("film.mkv", 150, 400);
    EXPECT_EQ(report->Label1->text(), "File now being copied: ");
    EXPECT_EQ(report->lblFileName->text(), "film.mkv  37%");
    report->CopyProgress("film.mkv", 399, 400);
    EXPECT_EQ(report->lblFileName->text(), "film.mkv  99%") << "100% only once it is done";
    report->CopyProgress(QString(), 0, 0);
    EXPECT_EQ(report->lblFileName->text(), "film.mkv");
}

// A full box lets its oldest whole lines go, as a terminal does: nothing waits, nothing of the
// end is lost, and the first line says where the whole report is.
TEST_F(ReportTest, AFullBoxLetsItsOldestLinesGoAndNeverWaits) {
    QString full;
    for (int i = 0; full.size() < 61440; ++i)
        full += QStringLiteral("line %1\r\n").arg(i, 6, 10, QLatin1Char('0'));
    report->SetText(full.left(61440));
    report->Output("b", false);
    EXPECT_EQ(report->ReportText().size(), 61441) << "exactly at capacity is not full";

    // With a report file: its name takes the top line once, and the end stays.
    QString why;
    const QString file = report->BeginReportFile("backup-all", why);
    ASSERT_FALSE(file.isEmpty()) << why.toStdString();
    for (int i = 0; i < 20000; ++i)
        report->Output(QStringLiteral("more %1").arg(i), true);
    EXPECT_TRUE(sleeps.empty()) << "no pause, ever";
    const QString text = report->ReportText();
    EXPECT_LE(text.size(), 61440 + 12) << "at most one line past the capacity";
    EXPECT_GT(text.size(), 61440 / 2);
    const QString notice = "The earlier lines of this report are in " + file + ".\r\n";
    EXPECT_TRUE(text.startsWith(notice)) << text.left(200).toStdString();
    EXPECT_EQ(text.count("The earlier lines"), 1);
    EXPECT_TRUE(text.mid(notice.size()).startsWith("more ")) << "whole lines went";
    EXPECT_TRUE(text.endsWith("more 19999\r\n"));
    EXPECT_EQ(report->txbText->toPlainText(), QString(text).remove('\r'))
        << "the box shows what the report holds";
    EXPECT_FALSE(report->cmdPauseContinue->isHidden());
    report->EndReportFile();
    EXPECT_TRUE(ReadAll(file).contains("more 0\nmore 1\n")) << "the file has it all";
    EXPECT_TRUE(ReadAll(file).contains("more 19999\n"));
}

TEST_F(ReportTest, TheWindowGrowsPast500CharactersUnlessReportsAreSuppressed) {
    report->Form_Activate();
    const int small = HeightTwips();
    EXPECT_NEAR(small, 4500, 30);
    SetCheckValue(window->chkSuppressDetailedReports, 1);
    report->SetText(QString(501, u'a'));
    report->Output("more", true);
    EXPECT_EQ(HeightTwips(), small) << "suppressed: never enlarged";

    SetCheckValue(window->chkSuppressDetailedReports, 0);
    report->Output("more", true);
    const int mainHeight = PixelsToTwips(window->frameGeometry().height(), window.get());
    EXPECT_NEAR(HeightTwips(), mainHeight - 1000, 30);
    const int mainTop = PixelsToTwips(window->frameGeometry().y(), window.get());
    EXPECT_NEAR(report->OuterGeometryTwips().y(), mainTop + 850, 30);
}

TEST_F(ReportTest, ActivationPlacesTheWindowBesideTheMainWindow) {
    const QRect screen = window->screen()->geometry();
    window->move(0, 0);
    report->Form_Activate();
    EXPECT_NEAR(report->OuterGeometryTwips().x(), 100, 15) << "at the left screen edge";

    window->move(TwipsToPixels(3000, window.get()), 0);
    // The main window keeps its size for the user; the test gives it others.
    window->setFixedSize(TwipsToPixels(4500, window.get()), window->height());
    report->Form_Activate();
    EXPECT_NEAR(report->OuterGeometryTwips().x(), 1000, 15);
    const int mainWidth = PixelsToTwips(window->frameGeometry().width(), window.get());
    EXPECT_NEAR(report->OuterGeometryTwips().width(), mainWidth + 4000, 30);

    window->setFixedSize(screen.width() - TwipsToPixels(1000, window.get()), window->height());
    report->Form_Activate();
    EXPECT_NEAR(report->OuterGeometryTwips().width(), PixelsToTwips(screen.width(), report) - 100,
                30)
        << "no wider than the screen";
    const QRect box = report->txbText->geometry();
    EXPECT_EQ(report->cmdCancelClose->geometry().right(), box.right());
    EXPECT_FALSE(report->lblBytesCopied->isVisible());
    EXPECT_FALSE(report->chkSuppressDisplayOfReport->isVisible());
}

// Where the place beside the main window runs past the screen's foot or edge, the window
// moves in; where it does not fit at all, it is made smaller and keeps its buttons.
TEST_F(ReportTest, TheWindowStaysInsideTheScreen) {
    const QRect area(0, 0, 1600, 1000);
    EXPECT_EQ(KeptInside({100, 200, 800, 500}, area), QRect(100, 200, 800, 500));
    EXPECT_EQ(KeptInside({100, 700, 800, 500}, area), QRect(100, 500, 800, 500));
    EXPECT_EQ(KeptInside({1200, -30, 800, 500}, area), QRect(800, 0, 800, 500));
    EXPECT_EQ(KeptInside({100, 700, 800, 1400}, area), QRect(100, 0, 800, 1000));
    EXPECT_EQ(KeptInside({100, 700, 800, 1400}, {}), QRect(100, 700, 800, 1400))
        << "no screen known";

    const QRect available = AvailableAreaTwips(window.get());
    ASSERT_FALSE(available.isEmpty());
    const auto inside = [&](const char* when) {
        const QRect outer = report->OuterGeometryTwips();
        EXPECT_TRUE(available.adjusted(-15, -15, 15, 15).contains(outer))
            << when << ": " << outer.y() << "+" << outer.height() << " in " << available.y() << "+"
            << available.height();
        // The button row stays in the window, below the text.
        const QRect box = report->txbText->geometry();
        const QRect close = report->cmdCancelClose->geometry();
        EXPECT_GT(close.top(), box.bottom()) << when;
        EXPECT_LE(close.bottom(), report->height()) << when;
    };
    // The main window low on the screen and right of its middle: the small report would
    // hang below the foot and past the right edge.
    window->setFixedSize(TwipsToPixels(available.width() - 6000, window.get()), window->height());
    window->move(TwipsToPixels(5000, window.get()),
                 TwipsToPixels(available.y() + available.height() - 3000, window.get()));
    report->Form_Activate();
    inside("small");
    // Past 500 characters it grows to the main window's height.
    report->SetText(QString(501, u'a'));
    report->Output("more", true);
    inside("grown");
    EXPECT_NEAR(report->OuterGeometryTwips().height(),
                PixelsToTwips(window->frameGeometry().height(), window.get()) - 1000, 30)
        << "it fits, so it keeps the height it is given";
    // A main window taller than the screen: the report is as high as the screen allows.
    window->setFixedSize(window->width(), TwipsToPixels(available.height() + 3000, window.get()));
    window->move(0, 0);
    report->Output("more", true);
    inside("higher than the screen");
    EXPECT_NEAR(report->OuterGeometryTwips().height(), available.height(), 30);
}

TEST_F(ReportTest, ButtonStatesOfAnOperation) {
    window->State().intOperation = window->State().intOperationBackupModifiedFiles;
    report->SetReportButtons(false, true, ProgramText(44), false, QString());
    EXPECT_TRUE(report->cmdCopyToClipboard->isHidden());
    EXPECT_EQ(report->cmdPauseContinue->text(), "Pause");
    EXPECT_TRUE(report->cmdCancelClose->isHidden());
    EXPECT_TRUE(report->chkSuppressDisplayOfReport->isHidden());

    report->Output("some report", true);
    report->SetReportButtons(true, false, QString(), true, ProgramText(58));
    EXPECT_EQ(report->cmdCopyToClipboard->text(), "Copy to clipboard");
    EXPECT_TRUE(report->cmdCopyToClipboard->isEnabled());
    EXPECT_TRUE(report->cmdPauseContinue->isHidden());
    EXPECT_EQ(report->cmdCancelClose->text(), ProgramText(58));
    EXPECT_NEAR(TwipsGeometry(report->cmdCancelClose).width(), 1000, 15);
    report->SetText(QString());
    report->SetReportButtons(true, false, QString(), true, ProgramText(58));
    EXPECT_FALSE(report->cmdCopyToClipboard->isEnabled()) << "nothing to copy";
}

TEST_F(ReportTest, PauseWaitsRemovesTheNoticeAndContinueTakesTheChoice) {
    window->State().intOperation = window->State().intOperationBackupAllFiles;
    report->SetReportButtons(false, true, "Pause", false, QString());
    report->Output("    3 files in /src/", true);
    report->AppendToText("Counting files ... ");
    bool pausedInside = false;
    Later([&] {
        pausedInside = report->blnPaused;
        EXPECT_EQ(report->cmdPauseContinue->text(), "Continue");
        EXPECT_EQ(report->cmdCancelClose->text(), "Cancel operation");
        EXPECT_FALSE(report->cmdCopyToClipboard->isHidden());
        EXPECT_FALSE(report->chkSuppressDisplayOfReport->isHidden()) << "a backup offers it";
        SetCheckValue(report->chkSuppressDisplayOfReport, 1);
        QTest::mouseClick(report->cmdPauseContinue, Qt::LeftButton);
    });
    QTest::mouseClick(report->cmdPauseContinue, Qt::LeftButton);
    EXPECT_TRUE(pausedInside);
    EXPECT_FALSE(report->blnPaused);
    EXPECT_EQ(report->ReportText(), "    3 files in /src/\r\n") << "the notice is gone";
    EXPECT_EQ(report->cmdPauseContinue->text(), "Pause");
    EXPECT_TRUE(report->cmdCancelClose->isHidden());
    EXPECT_TRUE(window->State().blnSuppressDetailedReports);
}

TEST_F(ReportTest, CancelDuringAPauseStopsTheOperation) {
    SetCheckValue(window->chkSuppressDetailedReports, 1);
    report->SetReportButtons(false, true, "Pause", false, QString());
    Later([&] {
        EXPECT_TRUE(report->cmdCopyToClipboard->isHidden()) << "suppressed reports: no copy";
        QTest::mouseClick(report->cmdCancelClose, Qt::LeftButton);
    });
    report->Pause();
    EXPECT_FALSE(report->blnPaused);
    EXPECT_TRUE(window->State().blnStop);
    EXPECT_EQ(report->cmdCancelClose->text(), "Close");
    EXPECT_TRUE(report->cmdPauseContinue->isHidden());

    report->ShowReport();
    QTest::mouseClick(report->cmdCancelClose, Qt::LeftButton);
    EXPECT_FALSE(report->isVisible()) << "Close hides the window";
    EXPECT_TRUE(window->cmdReportScreen->isEnabled());
}

// Return presses the focused button; Escape closes the report once it is finished, and
// neither hides nor stops a running one.
TEST_F(ReportTest, KeysPressButtonsAndEscapeClosesAFinishedReport) {
    window->State().intOperation = window->State().intOperationBackupAllFiles;
    window->blnOperationRunning = true;
    report->ShowReport();
    report->Output("line", true);
    report->SetReportButtons(false, true, "Pause", false, QString());
    bool escapedWhilePaused = false;
    Later([&] {
        ASSERT_TRUE(report->blnPaused);
        QTest::keyClick(report->txbText, Qt::Key_Escape);
        QTest::keyClick(report, Qt::Key_Escape);
        escapedWhilePaused = report->blnPaused && report->isVisible() && !window->State().blnStop;
        report->cmdPauseContinue->setFocus();
        QTest::keyClick(report->cmdPauseContinue, Qt::Key_Enter);
    });
    report->cmdPauseContinue->setFocus();
    QTest::keyClick(report->cmdPauseContinue, Qt::Key_Return);
    EXPECT_TRUE(escapedWhilePaused);
    EXPECT_FALSE(report->blnPaused) << "Enter pressed Continue";
    EXPECT_EQ(report->cmdPauseContinue->text(), "Pause");

    window->blnOperationRunning = false;
    report->SetReportButtons(true, false, QString(), true, ProgramText(58));
    QGuiApplication::clipboard()->clear();
    report->cmdCopyToClipboard->setFocus();
    QTest::keyClick(report->cmdCopyToClipboard, Qt::Key_Return);
    EXPECT_EQ(QGuiApplication::clipboard()->text(), "line\n");
    window->cmdReportScreen->setEnabled(false);
    QTest::keyClick(report->txbText, Qt::Key_Escape);
    EXPECT_FALSE(report->isVisible());
    EXPECT_TRUE(window->cmdReportScreen->isEnabled()) << "as Close leaves it";
}

TEST_F(ReportTest, TheCloseBoxDiscardsTheReportAndStops) {
    report->ShowReport();
    report->Output("text", true);
    Later([&] { QTest::mouseClick(report->cmdCancelClose, Qt::LeftButton); });
    report->SetReportButtons(false, true, "Pause", false, QString());
    report->close();
    EXPECT_TRUE(window->State().blnStop);
    EXPECT_FALSE(report->isVisible());
    EXPECT_FALSE(report->IsLoaded());
    window->Clock_Timer();
    EXPECT_FALSE(window->cmdReportScreen->isEnabled()) << "no report left to show";
    frmReport& again = window->ReportWindow();
    EXPECT_TRUE(again.IsLoaded());
    EXPECT_EQ(again.ReportText(), "");
    EXPECT_EQ(again.intPauseInSeconds, 15);
}

TEST_F(ReportTest, CopyTakesTheSelectionOrTheWholeReport) {
    QClipboard* clipboard = QGuiApplication::clipboard();
    clipboard->setText("before");
    report->SetReportButtons(true, false, QString(), true, "Close");
    report->cmdCopyToClipboard_Click();
    EXPECT_EQ(clipboard->text(), "before") << "an empty report copies nothing";

    report->Output("line one", true);
    report->Output("line two", true);
    report->SetReportButtons(true, false, QString(), true, "Close");
    report->cmdCopyToClipboard_Click();
    EXPECT_EQ(clipboard->text(), "line one\nline two\n");
    EXPECT_EQ(report->cmdCopyToClipboard->text(), ProgramText(112));
    EXPECT_NEAR(TwipsGeometry(report->cmdCopyToClipboard).width(), 2115, 15);

    QTextCursor cursor = report->txbText->textCursor();
    cursor.setPosition(5);
    cursor.setPosition(17, QTextCursor::KeepAnchor);
    report->txbText->setTextCursor(cursor);
    report->txbText_MouseUp();
    EXPECT_EQ(report->cmdCopyToClipboard->text(), ProgramText(113));
    EXPECT_NEAR(TwipsGeometry(report->cmdCopyToClipboard).width(), 3165, 15);
    report->cmdCopyToClipboard_Click();
    EXPECT_EQ(clipboard->text(), "one\nline two");
}

TEST_F(ReportTest, ConfirmationAsksAboutOneOrSeveralFiles) {
    QTemporaryDir source;
    window->txbDirectory[0]->setText(source.path() + "/");
    WriteFile(source.filePath("only.txt"), "x");
    window->State().blnSubfoldersExist = false;
    window->txbSetupFile->setText("/home/me/a.vnt");
    window->txbSetupFile->show();

    Later([this] {
        auto* dialog = window->findChild<frmConfirmOperation*>();
        ASSERT_NE(dialog, nullptr);
        EXPECT_EQ(dialog->windowTitle(), "Confirm operation");
        EXPECT_EQ(dialog->lblPerformOperation->text(), ProgramText(134));
        EXPECT_EQ(dialog->lblDescr->text(),
                  "Please check the settings above carefully before proceeding.");
        EXPECT_TRUE(dialog->cmdYes->hasFocus() || !dialog->isActiveWindow());
        QTest::mouseClick(dialog->cmdYes, Qt::LeftButton);
    });
    EXPECT_TRUE(WindowSteps::Own().ConfirmOperation(*window));
    EXPECT_EQ(window->txbSetupFile->text(), "/home/me/a.vnt");

    WriteFile(source.filePath("second.txt"), "x");
    Later([this] {
        auto* dialog = window->findChild<frmConfirmOperation*>();
        EXPECT_EQ(dialog->lblPerformOperation->text(), ProgramText(135));
        QTest::mouseClick(dialog->cmdNo, Qt::LeftButton);
    });
    EXPECT_FALSE(WindowSteps::Own().ConfirmOperation(*window));
    EXPECT_EQ(window->txbSetupFile->text(), "") << "No forgets the setup file";
    EXPECT_TRUE(window->txbSetupFile->isHidden());

    Later([this] { window->findChild<frmConfirmOperation*>()->close(); });
    EXPECT_FALSE(WindowSteps::Own().ConfirmOperation(*window)) << "the close box counts as No";
}

// Shown again after it finished: Close and the copy button, from the report's start, and
// as tall as the main window once it is long, unless reports are suppressed.
TEST_F(ReportTest, TheReportScreenShowsTheFinishedReportFromItsStart) {
    report->Form_Activate();
    const int small = HeightTwips();
    report->SetText(QString(900, u'a') + "\r\nend");
    report->OperationStarted();
    report->hide();
    window->cmdReportScreen_MouseUp();
    EXPECT_TRUE(report->isVisible());
    EXPECT_EQ(report->cmdCancelClose->text(), ProgramText(58));
    EXPECT_FALSE(report->cmdCancelClose->isHidden());
    EXPECT_TRUE(report->cmdPauseContinue->isHidden());
    EXPECT_EQ(report->cmdCopyToClipboard->text(), ProgramText(112));
    EXPECT_FALSE(report->cmdCopyToClipboard->isHidden());
    EXPECT_EQ(report->txbText->textCursor().position(), 0);
    EXPECT_EQ(HeightTwips(), small) << "1,000 characters or fewer: it keeps its size";

    report->AppendToText(QString(200, u'b'));
    SetCheckValue(window->chkSuppressDetailedReports, 1);
    window->cmdReportScreen_MouseUp();
    EXPECT_EQ(HeightTwips(), small) << "suppressed: never enlarged";
    SetCheckValue(window->chkSuppressDetailedReports, 0);
    window->cmdReportScreen_MouseUp();
    const int mainHeight = PixelsToTwips(window->frameGeometry().height(), window.get());
    EXPECT_NEAR(HeightTwips(), mainHeight - 1000, 30);
}

// The report window knows its owner only by ReportOwner: what its buttons and its full
// text box do reaches a stand-in owner.
class StandInOwner : public ReportOwner {
public:
    OperationState state;
    QStringList calls;
    QRect OwnerFrame() const override { return {0, 0, 800, 600}; }
    QRect OwnerScreen() const override { return {}; }
    QRect OwnerAvailableAreaTwips() const override { return {}; }
    void ShowOwnerNormal() override {}
    int SmallReportTopTwips() const override { return 1000; }
    int MaxSizeForSmallReportWindow() const override { return 500; }
    qint32 MaxSizeTextboxContents() const override { return 100; }
    int SuppressDetailedReportsBox() const override { return 0; }
    const OperationState& State() const override { return state; }
    bool OperationRunning() const override { return false; }
    void RequestStop() override { calls.append("stop"); }
    void ChooseSuppressDetailedReports(bool suppress) override {
        calls.append(suppress ? "suppress" : "detailed");
    }
    void ReportClosed() override { calls.append("closed"); }
    void Sleep(int milliseconds) override { calls.append(QString("sleep %1").arg(milliseconds)); }
    void Beep() override { calls.append("beep"); }
};

TEST_F(ReportTest, AnOwnerOfItsOwnSeesWhatTheButtonsDo) {
    StandInOwner owner;
    frmReport own(owner, dialogs, shell);
    own.EnsureLoaded();
    owner.state.intOperation = Operation::BackupModifiedFiles;
    own.OperationStarted();
    EXPECT_EQ(own.cmdPauseContinue->text(), "Pause");
    EXPECT_TRUE(own.cmdCancelClose->isHidden());
    EXPECT_TRUE(own.cmdCopyToClipboard->isHidden());
    Later([&] {
        SetCheckValue(own.chkSuppressDisplayOfReport, 1);
        own.cmdPauseContinue->click();
    });
    own.Pause();
    own.Output(QString(101, u'x'), true);
    own.Output("kept", true); // a full box lets its old lines go; it does not wait
    own.Beep();
    Later([&] { own.cmdCancelClose->click(); });
    own.Pause();
    own.OperationFinished();
    EXPECT_EQ(own.cmdCancelClose->text(), ProgramText(58));
    EXPECT_EQ(own.cmdCopyToClipboard->text(), "Copy to clipboard");
    own.cmdCancelClose->click();
    own.show();
    own.close();
    EXPECT_EQ(owner.calls,
              QStringList({"suppress", "beep", "stop", "closed", "stop"}));
    EXPECT_FALSE(window->State().blnStop) << "the main window was never reached";
}

// The confirmation, too, knows only its owner's doors.
TEST_F(ReportTest, TheConfirmationStandsBelowItsOwnersAnchor) {
    QTemporaryDir source;
    WriteFile(source.filePath("only.txt"), "x");
    struct : ConfirmOwner {
        QString folder;
        bool subfolders = false;
        int forgotten = 0;
        QString SourceFolder() const override { return folder; }
        bool SourceHasSubfolders() const override { return subfolders; }
        QPoint ConfirmationAnchor() const override { return {200, 150}; }
        void ForgetSetupFile() override { ++forgotten; }
    } owner;
    owner.folder = source.path() + "/";
    frmConfirmOperation dialog(owner, nullptr);
    dialog.show();
    EXPECT_EQ(dialog.lblPerformOperation->text(), ProgramText(134));
    EXPECT_EQ(dialog.pos(),
              QPoint(200 + TwipsToPixels(120, &dialog), 150 + TwipsToPixels(180, &dialog)));
    owner.subfolders = true;
    dialog.Form_Activate();
    EXPECT_EQ(dialog.lblPerformOperation->text(), ProgramText(135)) << "files in subfolders";
    dialog.cmdYes->click();
    EXPECT_TRUE(dialog.blnPerformOperation);
    EXPECT_EQ(owner.forgotten, 0);
    dialog.show();
    dialog.cmdNo->click();
    EXPECT_FALSE(dialog.blnPerformOperation);
    EXPECT_EQ(owner.forgotten, 1) << "No forgets the setup file";
}

} // namespace
} // namespace vnt::test
