#pragma once
// A main window built with scripted dialogs and a recording shell, in a program folder of
// its own that holds the real program texts.

#include "mainwindow/frmMain.h"
#include "platform/Controls.h"
#include "RecordingShell.h"
#include "report/frmPopUp.h"
#include "ScriptedDialogs.h"

#include <deque>
#include <gtest/gtest.h>
#include <memory>
#include <QFile>
#include <QTemporaryDir>
#include <QTimer>
#include <vector>

namespace vnt::test {

// The main window with the later parts' call points recorded.
class TestMain : public frmMain {
public:
    using frmMain::frmMain;

    int endCount = 0;
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

protected:
    bool SaveSetupToFile(const QString& path, bool blnAnnounce) override {
        saves.emplace_back(path, blnAnnounce);
        return realSaves ? frmMain::SaveSetupToFile(path, blnAnnounce) : saveResult;
    }
    void RunOperationCommand(Operation operation) override {
        operations.push_back(static_cast<qint16>(operation)); // the described codes
        scheduledDuringOperation.push_back(State().blnScheduledTask);
        if (runOperations)
            frmMain::RunOperationCommand(operation);
    }
    bool ReportHasText() const override {
        return runOperations ? frmMain::ReportHasText() : reportHasText;
    }

public:
    bool ConfirmOperation() override {
        ++confirmations;
        if (confirmAnswers.empty())
            return true;
        const bool answer = confirmAnswers.front();
        confirmAnswers.pop_front();
        return answer;
    }

protected:
    void ShowSubfolderSelection(SubfolderSelection& request) override {
        if (realSelection)
            frmMain::ShowSubfolderSelection(request);
        else if (selectionWindow)
            selectionWindow(request);
    }
};

class MainWindowTest : public ::testing::Test {
protected:
    QTemporaryDir programFolder;
    ScriptedDialogs dialogs;
    RecordingShell shell;
    std::unique_ptr<TestMain> window;

    void SetUp() override {
        ASSERT_TRUE(QFile::copy(QStringLiteral(VANTORO_DATA_DIR "/vnt.dat"),
                                programFolder.filePath(QStringLiteral("vnt.dat"))));
    }

    // Builds the window and runs start-up; the program's end is counted, not carried out.
    QStringList popUps;

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

    bool Start() {
        window = std::make_unique<TestMain>(dialogs, shell, programFolder.path());
        window->EndProgram = [this] { ++window->endCount; };
        window->ShowPopUp = [this](const QString& text, int width, int height, int interval,
                                   int top, int left) {
            popUps.append(QStringLiteral("%1 %2x%3 %4ms at %5,%6")
                              .arg(text)
                              .arg(width)
                              .arg(height)
                              .arg(interval)
                              .arg(left)
                              .arg(top));
        };
        return window->Form_Load();
    }
};

} // namespace vnt::test
