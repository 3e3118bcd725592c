#pragma once
// A main window built with scripted dialogs and a recording shell, in a program folder of
// its own that holds the real program texts.

#include "mainwindow/frmMain.h"
#include "platform/Controls.h"
#include "RecordingShell.h"
#include "report/frmPopUp.h"
#include "ScriptedDialogs.h"

#include <deque>
#include <functional>
#include <gtest/gtest.h>
#include <memory>
#include <QFile>
#include <QStringList>
#include <QTemporaryDir>
#include <QTimer>
#include <vector>

namespace vnt::test {

// Stands in for what the main window does outside itself and records it: the program's
// end is counted, not carried out, pop-ups are listed, nothing sleeps or beeps, and the
// window's steps are recorded and run for real only when the test asks for it.
class WindowRecorder : public WindowServices, public WindowSteps {
public:
    int endCount = 0;
    std::function<void()> onEnd; // what the end does besides being counted
    std::function<void(int)> sleeper;
    QStringList popUps;

    bool saveResult = true;
    std::vector<std::pair<QString, bool>> saves;
    std::vector<qint16> operations;
    std::vector<bool> scheduledDuringOperation;
    bool reportHasText = false;
    bool runOperations = false; // run them for real, not only record them
    bool realSaves = false;     // write setup files for real
    std::deque<bool> confirmAnswers;
    int confirmations = 0;
    // Stands in for the subfolder selection window, unless the real one is asked for.
    std::function<void(SubfolderSelection&)> selectionWindow;
    bool realSelection = false;

    void EndProgram() override {
        ++endCount;
        if (onEnd)
            onEnd();
    }
    void Sleep(int milliseconds) override {
        if (sleeper)
            sleeper(milliseconds);
    }
    void Beep() override {}
    // The desktop's notices, and the reasons the sleep lock was asked for.
    std::vector<DesktopNotice> notices;
    QStringList awakeReasons;
    QString Notify(const DesktopNotice& notice) override {
        notices.push_back(notice);
        return {};
    }
    UniqueFd HoldOffSleep(const QString& why) override {
        awakeReasons.append(why);
        return {};
    }
    void ShowPopUp(frmPopUp&, const QString& text, int width, int height, int interval, int top,
                   int left) override {
        popUps.append(QStringLiteral("%1 %2x%3 %4ms at %5,%6")
                          .arg(text)
                          .arg(width)
                          .arg(height)
                          .arg(interval)
                          .arg(left)
                          .arg(top));
    }

    bool SaveSetupToFile(frmMain& window, const QString& path, bool blnAnnounce) override {
        saves.emplace_back(path, blnAnnounce);
        return realSaves ? WindowSteps::SaveSetupToFile(window, path, blnAnnounce) : saveResult;
    }
    void RunOperationCommand(frmMain& window, Operation operation) override {
        operations.push_back(static_cast<qint16>(operation)); // the described codes
        scheduledDuringOperation.push_back(window.State().blnScheduledTask);
        if (runOperations)
            WindowSteps::RunOperationCommand(window, operation);
    }
    bool ReportHasText(const frmMain& window) override {
        return runOperations ? WindowSteps::ReportHasText(window) : reportHasText;
    }
    bool ConfirmOperation(frmMain&) override {
        ++confirmations;
        if (confirmAnswers.empty())
            return true;
        const bool answer = confirmAnswers.front();
        confirmAnswers.pop_front();
        return answer;
    }
    void ShowSubfolderSelection(frmMain& window, SubfolderSelection& request) override {
        if (realSelection)
            WindowSteps::ShowSubfolderSelection(window, request);
        else if (selectionWindow)
            selectionWindow(request);
    }
};

class MainWindowTest : public ::testing::Test {
protected:
    QTemporaryDir programFolder;
    ScriptedDialogs dialogs;
    RecordingShell shell;
    // A new window gets a new recorder; the window goes first.
    std::unique_ptr<WindowRecorder> recorder;
    std::unique_ptr<frmMain> window;

    void SetUp() override {
        ASSERT_TRUE(QFile::copy(QStringLiteral(VANTORO_DATA_DIR "/vnt.dat"),
                                programFolder.filePath(QStringLiteral("vnt.dat"))));
    }

    // While the returned timer lives, a pop-up that shows (the shutdown's chance to cancel)
    // runs out of time at once instead of after its minute.
    std::unique_ptr<QTimer> TimeOutPopUpsAtOnce() {
        auto watcher = std::make_unique<QTimer>();
        QObject::connect(watcher.get(), &QTimer::timeout, [this] {
            if (window->PopUpWindow().isVisible())
                window->PopUpWindow().Timer1_Timer();
        });
        watcher->start(1);
        return watcher;
    }

    // Builds the window and runs start-up.
    bool Start() {
        window.reset();
        recorder = std::make_unique<WindowRecorder>();
        window =
            std::make_unique<frmMain>(dialogs, shell, programFolder.path(), *recorder, *recorder);
        return window->Form_Load();
    }
};

} // namespace vnt::test
