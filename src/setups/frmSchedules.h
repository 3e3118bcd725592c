#pragma once
// The nightly backups that are switched on: the user timers of the program that systemd has
// enabled, each with a way to switch it off. Its setup file stays.

#include <QDialog>

class QLabel;
class QListWidget;
class QPushButton;

namespace vnt {

class Dialogs;
class SystemShell;

class frmSchedules : public QDialog {
    Q_OBJECT
public:
    frmSchedules(SystemShell& shell, Dialogs& dialogs, QWidget* parent = nullptr);

    // Reads the enabled timers again.
    void Refresh();
    void cmdSwitchOff_Click();

    QLabel* lblSchedules = nullptr;
    QListWidget* lstSchedules = nullptr;
    QPushButton* cmdSwitchOff = nullptr;
    QPushButton* cmdClose = nullptr;

private:
    // Adds the crontab's lines that run the program; how many there were.
    int ListCronLines();

    SystemShell& shell;
    Dialogs& dialogs;
};

} // namespace vnt
