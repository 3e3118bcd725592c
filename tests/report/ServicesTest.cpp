// Help viewer, pop-ups, the web link and the shutdown after an unattended run.
#include "../mainwindow/MainWindowFixture.h"
#include "mainwindow/Language.h"
#include "platform/Twips.h"
#include "report/frmPopUp.h"
#include "report/frmView.h"
#include "report/ViewerText.h"
#include "TestSupport.h"

#include <QCloseEvent>
#include <QFontInfo>
#include <QFontMetrics>
#include <QLabel>
#include <QPlainTextEdit>
#include <QProcess>
#include <QPushButton>
#include <QRegularExpression>
#include <QTest>
#include <QTimer>

namespace vnt::test {
namespace {

class ServicesTest : public MainWindowTest {
protected:
    frmView* OpenHelp(const QByteArray& content) {
        WriteFile(programFolder.filePath("vnt_help.txt"), content);
        QTest::mouseClick(window->cmdHelp, Qt::LeftButton);
        return window->Viewer();
    }

    // Runs action while the next modal window is open.
    static void WhileModal(std::function<void()> action) {
        QTimer::singleShot(0, [action = std::move(action)] { action(); });
    }
};

TEST_F(ServicesTest, HelpShowsTheFileWholeUpToItsLimit) {
    ASSERT_TRUE(Start());
    QByteArray text(65529, 'a');
    text[100] = '\n';
    frmView* viewer = OpenHelp(text);
    ASSERT_NE(viewer, nullptr);
    EXPECT_TRUE(viewer->isVisible());
    EXPECT_EQ(viewer->windowTitle(), ProgramText(72));
    EXPECT_EQ(viewer->strFilename, programFolder.path() + "/vnt_help.txt");
    EXPECT_EQ(viewer->DisplayedText(), QString::fromLatin1(text));
    EXPECT_EQ(viewer->txbText1->textCursor().position(), 0);
    EXPECT_TRUE(viewer->txbText1->isReadOnly());

    // The viewer lies over the main window, a little inside it.
    const QRect main = window->frameGeometry();
    EXPECT_EQ(viewer->x(), main.x() + TwipsToPixels(100, window.get()));
    EXPECT_EQ(viewer->y(), main.y() + TwipsToPixels(380, window.get()));

    OpenHelp(QByteArray(65530, 'b'));
    const QString shown = viewer->DisplayedText();
    EXPECT_EQ(shown.size(), 65534);
    EXPECT_TRUE(
        shown.startsWith("NOTE: This file is too large to display entirely in this textbox.\r\n"));
    EXPECT_TRUE(
        shown.endsWith("bbb\r\n\r\nNOTE: Entire contents of file have not been displayed.\r\n"));
    EXPECT_TRUE(dialogs.shown.empty());

    QTest::keyClick(viewer->txbText1, Qt::Key_Escape);
    EXPECT_FALSE(viewer->isVisible()) << "Escape closes the viewer as Close does";
}

TEST_F(ServicesTest, EmptyOrMissingHelpFileIsReportedAndTheViewerHidden) {
    ASSERT_TRUE(Start());
    frmView* viewer = OpenHelp("");
    EXPECT_FALSE(viewer->isVisible());
    ASSERT_EQ(dialogs.messages().size(), 1u);
    EXPECT_EQ(dialogs.messages()[0].text, "File is empty!");
    EXPECT_EQ(dialogs.messages()[0].title, "Error");
    EXPECT_EQ(dialogs.messages()[0].icon, MsgIcon::Warning);

    QFile::remove(programFolder.filePath("vnt_help.txt"));
    QTest::mouseClick(window->cmdHelp, Qt::LeftButton);
    EXPECT_FALSE(viewer->isVisible());
    ASSERT_EQ(dialogs.messages().size(), 2u);
    EXPECT_EQ(dialogs.messages()[1].text, "Error 76.  No such file or directory");
    EXPECT_EQ(dialogs.messages()[1].title, "Error reading file");
}

TEST_F(ServicesTest, HelpIsReadOnceEachTimeItComesToTheFront) {
    ASSERT_TRUE(Start());
    frmView* viewer = OpenHelp("");
    // The platform's activation comes after the Help command has read the file.
    QEvent activate(QEvent::WindowActivate);
    QCoreApplication::sendEvent(viewer, &activate);
    EXPECT_EQ(dialogs.messages().size(), 1u) << "an empty file is reported once";

    OpenHelp("first");
    WriteFile(programFolder.filePath("vnt_help.txt"), "second");
    QCoreApplication::sendEvent(viewer, &activate);
    EXPECT_EQ(viewer->DisplayedText(), "first") << "the activation after Help reads nothing";
    QEvent deactivate(QEvent::WindowDeactivate);
    QCoreApplication::sendEvent(viewer, &deactivate);
    QCoreApplication::sendEvent(viewer, &activate);
    EXPECT_EQ(viewer->DisplayedText(), "second") << "coming back to the viewer reads it anew";
    EXPECT_EQ(dialogs.messages().size(), 1u);
}

TEST_F(ServicesTest, HelpColumnsStayAligned) {
    ASSERT_TRUE(Start());
    const frmView* viewer =
        OpenHelp("Contents:  1. One    6. Six\n           2. Two    7. Seven\n");
    EXPECT_TRUE(QFontInfo(viewer->txbText1->font()).fixedPitch());
    const QFontMetrics metrics(viewer->txbText1->font());
    EXPECT_EQ(metrics.horizontalAdvance("Contents:  "),
              metrics.horizontalAdvance(QString(11, ' ')));
}

TEST_F(ServicesTest, ViewerResizeKeepsAMinimumAndCentresClose) {
    ASSERT_TRUE(Start());
    frmView* viewer = OpenHelp("help");
    viewer->resize(50, 40);
    EXPECT_EQ(viewer->width(), TwipsToPixels(4000, viewer));
    EXPECT_EQ(viewer->height(), TwipsToPixels(3000, viewer));
    viewer->resize(900, 700);
    const QPushButton* close = viewer->cmdClose;
    EXPECT_NEAR(close->x() + close->width() / 2, viewer->width() / 2, 2);
    EXPECT_TRUE(viewer->rect().contains(close->geometry()));
    EXPECT_GT(close->y(), viewer->txbText1->geometry().bottom());
    QTest::mouseClick(viewer->cmdClose, Qt::LeftButton);
    EXPECT_FALSE(viewer->isVisible());
}

TEST_F(ServicesTest, PopUpClosesOnAClickBeforeItsTime) {
    frmPopUp popUp;
    WhileModal([&popUp] {
        EXPECT_TRUE(popUp.isVisible());
        EXPECT_TRUE(popUp.Timer1->isActive());
        EXPECT_EQ(popUp.Timer1->interval(), 2000);
        QTest::mouseClick(popUp.lblMessage, Qt::LeftButton);
    });
    EXPECT_TRUE(popUp.PopUp("Setup saved", 2000, 600, 2000, 1500, 1500));
    EXPECT_FALSE(popUp.isVisible());
    EXPECT_FALSE(popUp.Timer1->isActive()) << "the timer cannot fire later";
    EXPECT_EQ(popUp.lblMessage->text(), "Setup saved");
    EXPECT_EQ(popUp.lblMessage->size(), popUp.size());

    WhileModal([&popUp] { popUp.Timer1_Timer(); });
    EXPECT_FALSE(popUp.PopUp("Setup saved", 2000, 600, 2000, 0, 0)) << "closed by its timer";
    EXPECT_FALSE(popUp.isVisible());
}

TEST_F(ServicesTest, UnattendedRunBacksUpAndOffersToCancelTheShutdown) {
    ASSERT_TRUE(Start());
    WhileModal([this] {
        frmPopUp& popUp = window->PopUpWindow();
        EXPECT_TRUE(popUp.isVisible());
        EXPECT_EQ(popUp.lblMessage->text(), ShutdownPopUpMessage());
        EXPECT_EQ(popUp.Timer1->interval(), 60000);
        EXPECT_EQ(popUp.width(), TwipsToPixels(6000, &popUp));
        QTest::mouseClick(popUp.lblMessage, Qt::LeftButton);
    });
    window->RunUnattendedBackup({"nightly", "ShutDown"});
    EXPECT_EQ(recorder->operations, std::vector<qint16>{5});
    EXPECT_EQ(recorder->scheduledDuringOperation, std::vector<bool>{true});
    EXPECT_FALSE(window->State().blnScheduledTask);
    EXPECT_EQ(CheckValue(window->chkSaveSetupOnQuit), 1);
    EXPECT_EQ(shell.calls,
              (QStringList{"shutdown Cancellation possible.\r\nSee comment below", "abort"}));
    ASSERT_EQ(dialogs.messages().size(), 1u);
    EXPECT_EQ(dialogs.messages()[0].text, "Shutdown cancelled");
}

TEST_F(ServicesTest, ShutdownGoesAheadWhenNobodyClicks) {
    ASSERT_TRUE(Start());
    WhileModal([this] { window->PopUpWindow().Timer1_Timer(); });
    window->RunUnattendedBackup({"shutdown"});
    EXPECT_EQ(shell.calls, (QStringList{"shutdown Cancellation possible.\r\nSee comment below"}));
    EXPECT_TRUE(dialogs.messages().empty());
}

TEST_F(ServicesTest, OtherCommandLinesBackUpAndLeaveTheWindowOpen) {
    ASSERT_TRUE(Start());
    window->RunUnattendedBackup({});
    EXPECT_TRUE(recorder->operations.empty()) << "no command line, no unattended run";
    window->RunUnattendedBackup({"nightly"});
    EXPECT_EQ(recorder->operations, std::vector<qint16>{5});
    EXPECT_TRUE(shell.calls.isEmpty());
    EXPECT_TRUE(window->isVisible());

    // The word counts only as a whole argument; should it count wrongly, the pop-up's
    // time runs out at once and the shutdown shows in the calls.
    const auto watcher = TimeOutPopUpsAtOnce();
    for (const QStringList& line : {QStringList{"--no-shutdown"}, QStringList{"shutdowns"},
                                    QStringList{"nightly", "no_shutdown"}}) {
        recorder->operations.clear();
        window->RunUnattendedBackup(line);
        EXPECT_EQ(recorder->operations, std::vector<qint16>{5}) << line.join(' ').toStdString();
    }
    EXPECT_TRUE(shell.calls.isEmpty()) << shell.calls.join('|').toStdString();

    // Asking for help or the version starts nothing, whatever else the line holds.
    recorder->operations.clear();
    for (const QStringList& line : {QStringList{"--help"}, QStringList{"-h"},
                                    QStringList{"--version"}, QStringList{"shutdown", "--help"}})
        window->RunUnattendedBackup(line);
    EXPECT_TRUE(recorder->operations.empty());
    EXPECT_TRUE(shell.calls.isEmpty());

    // The program itself answers them without a display, and ends.
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    for (const char* name : {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM"})
        environment.remove(QString::fromLatin1(name));
    for (const QStringList& line : {QStringList{"--help"}, QStringList{"nightly", "-h"},
                                    QStringList{"--version", "shutdown"}}) {
        SCOPED_TRACE(line.join(' ').toStdString());
        QProcess program;
        program.setProcessEnvironment(environment);
        program.start(QStringLiteral(VANTORO_DESKTOP), line);
        ASSERT_TRUE(program.waitForFinished(10000));
        EXPECT_EQ(program.exitStatus(), QProcess::NormalExit);
        EXPECT_EQ(program.exitCode(), 0) << program.readAllStandardError().toStdString();
        const QString printed = QString::fromLocal8Bit(program.readAllStandardOutput());
        if (line.contains("--version"))
            EXPECT_TRUE(QRegularExpression("^vantoro \\d+\\.\\d+\\S*\n$").match(printed).hasMatch())
                << printed.toStdString();
        else
            EXPECT_TRUE(printed.startsWith("Usage: vantoro\n") &&
                        printed.contains("--no-shutdown, does not count"))
                << printed.toStdString();
    }
}

// The notice's lines all lie inside its label, and the label inside the pop-up, with the
// desktop's font and with one twice as large (a 2x screen that Qt does not scale); the
// pop-up grows upwards, so it stays within the main window.
TEST_F(ServicesTest, ShutdownNoticeShowsEveryLineAtAnyScale) {
    ASSERT_TRUE(Start());
    frmPopUp& popUp = window->PopUpWindow();
    const QFont desktopFont = popUp.lblMessage->font();
    for (const qreal scale : {1.0, 2.0}) {
        SCOPED_TRACE(scale);
        QFont font = desktopFont;
        font.setPointSizeF(desktopFont.pointSizeF() * scale);
        popUp.lblMessage->setFont(font);
        bool measured = false;
        WhileModal([&] {
            const QLabel* label = popUp.lblMessage;
            const QRect room = label->contentsRect();
            const QRect text =
                QFontMetrics(label->font())
                    .boundingRect(room, Qt::AlignCenter | Qt::TextWordWrap, label->text());
            EXPECT_TRUE(room.contains(text)) << text.height() << " in " << room.height();
            EXPECT_TRUE(popUp.rect().contains(label->geometry()));
            EXPECT_GE(label->height(), 3 * QFontMetrics(label->font()).lineSpacing());
            EXPECT_EQ(popUp.width(), TwipsToPixels(6000, &popUp));
            EXPECT_LE(popUp.frameGeometry().bottom(), window->frameGeometry().bottom());
            measured = true;
            popUp.Timer1_Timer();
        });
        window->RunUnattendedBackup({"shutdown"});
        EXPECT_TRUE(measured);
    }
    popUp.lblMessage->setFont(desktopFont);
}

// While the notice shows, the main window takes no input but its close box, which calls
// the shutdown off and ends the program, with no box left to answer.
TEST_F(ServicesTest, TheCloseBoxCancelsThePendingShutdown) {
    ASSERT_TRUE(Start());
    WhileModal([this] {
        frmPopUp& popUp = window->PopUpWindow();
        ASSERT_TRUE(popUp.isVisible());
        // Qt would drop the window system's close request to a window a modal one blocks.
        EXPECT_EQ(QGuiApplication::modalWindow(), nullptr);
        QTest::mouseClick(window->cmdQuit, Qt::LeftButton);
        EXPECT_EQ(recorder->endCount, 0) << "Quit takes no click meanwhile";
        EXPECT_TRUE(popUp.isVisible());
        QCloseEvent close; // what the close box's request becomes once it reaches the window
        QCoreApplication::sendEvent(window->windowHandle(), &close);
    });
    window->RunUnattendedBackup({"shutdown"});
    EXPECT_EQ(shell.calls,
              (QStringList{"shutdown Cancellation possible.\r\nSee comment below", "abort"}));
    EXPECT_EQ(recorder->endCount, 1);
    EXPECT_FALSE(window->PopUpWindow().isVisible());
    EXPECT_TRUE(dialogs.messages().empty());
}

TEST_F(ServicesTest, MakersLinkOpensItsPageAndExplainsAFailure) {
    ASSERT_TRUE(Start());
    QTest::mouseClick(window->lblCorvaneWorks, Qt::LeftButton);
    EXPECT_EQ(shell.calls, QStringList{"xdg-open " + ProgramText(122)});
    EXPECT_TRUE(ProgramText(122).contains("example.org"));
    EXPECT_GT(shell.lastWaitMilliseconds, 0) << "a quick failure is waited for";
    EXPECT_LE(shell.lastWaitMilliseconds, 1000) << "but the window is not held long";
    EXPECT_TRUE(dialogs.messages().empty());

    shell.launchResult = {ProgramLaunch::Outcome::StillRunning, 0};
    QTest::mouseClick(window->lblCorvaneWorks, Qt::LeftButton);
    EXPECT_TRUE(dialogs.messages().empty()) << "a browser still starting has been launched";

    shell.launchResult = {ProgramLaunch::Outcome::Exited, 2};
    QTest::mouseClick(window->lblCorvaneWorks, Qt::LeftButton);
    ASSERT_EQ(dialogs.messages().size(), 1u);
    EXPECT_EQ(dialogs.messages()[0].title, "Cannot launch web browser");
    EXPECT_EQ(dialogs.messages()[0].text,
              "Error launching web browser, error code = 2.\r\n\r\nPlease try once more.");
    EXPECT_EQ(dialogs.messages()[0].icon, MsgIcon::Warning);
}

TEST_F(ServicesTest, AFailedLaunchIsNamedByItsCause) {
    ASSERT_TRUE(Start());
    const QString noApplication = "Error launching web browser, error code = 31.\r\n\r\n"
                                  "File extension '' is not associated with any application "
                                  "program.";
    const std::pair<ProgramLaunch, QString> cases[] = {
        // No opener at all, or an opener that finds nothing to open it with.
        {{ProgramLaunch::Outcome::Missing, 0}, noApplication},
        {{ProgramLaunch::Outcome::Exited, 3}, noApplication},
        {{ProgramLaunch::Outcome::Exited, 4}, noApplication},
        {{ProgramLaunch::Outcome::NotStarted, 0},
         "Error launching web browser, error code = 8.\r\n\r\nOut of memory."},
        {{ProgramLaunch::Outcome::Crashed, 0},
         "Error launching web browser, error code = 2.\r\n\r\nPlease try once more."},
    };
    for (const auto& [launch, text] : cases) {
        dialogs.shown.clear();
        shell.launchResult = launch;
        QTest::mouseClick(window->lblCorvaneWorks, Qt::LeftButton);
        ASSERT_EQ(dialogs.messages().size(), 1u) << text.toStdString();
        EXPECT_EQ(dialogs.messages()[0].text, text);
    }
}

} // namespace
} // namespace vnt::test
