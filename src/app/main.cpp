#include "mainwindow/frmMain.h"
#include "platform/QtDialogs.h"
#include "platform/SystemShell.h"

#include <QApplication>

int main(int argc, char* argv[]) {
    QApplication app(argc, argv);
    vnt::QtDialogs dialogs;
    vnt::LinuxShell shell;
    vnt::frmMain window(dialogs, shell, QCoreApplication::applicationDirPath());
    if (!window.Form_Load())
        return 1; // the program texts could not be loaded; the user has been told why

    // Any command line starts the unattended backup, from within the event loop.
    QStringList arguments = QCoreApplication::arguments();
    arguments.removeFirst();
    window.QueueUnattendedBackup(arguments.join(u' '));
    return QApplication::exec();
}
