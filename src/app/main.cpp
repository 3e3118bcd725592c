#include "mainwindow/frmMain.h"
#include "mainwindow/Language.h"
#include "platform/DataFolder.h"
#include "platform/Process.h"
#include "platform/QtDialogs.h"
#include "platform/SystemShell.h"

#include <QApplication>
#include <QIcon>

int main(int argc, char* argv[]) {
    vnt::TakeClosedStandardDescriptors();
    vnt::IgnoreWriteSignals();
    QApplication app(argc, argv);
    // Compiled in as PNGs: the SVG would need Qt's SVG plugin, which a system may lack.
    QIcon icon;
    icon.addFile(QStringLiteral(":/icons/48x48/vantoro.png"));
    icon.addFile(QStringLiteral(":/icons/256x256/vantoro.png"));
    QApplication::setWindowIcon(icon);
    // Lets a Wayland compositor match the windows to the installed desktop entry.
    QGuiApplication::setDesktopFileName(QStringLiteral("org.example.vantoro.Vantoro"));

    vnt::QtDialogs dialogs;
    const QString programFolder = QCoreApplication::applicationDirPath();
    const QString dataFolder = vnt::DataFolder(programFolder);
    if (dataFolder.isEmpty()) {
        dialogs.messageBox(
            nullptr, {vnt::MsgIcon::Error, QString(),
                      vnt::ProgramTextNotFoundMessage(QStringLiteral("vnt.dat"),
                                                      vnt::DataFolderCandidates(programFolder)),
                      vnt::MsgButtons::Ok, vnt::MsgResult::Ok});
        return 1;
    }
    vnt::LinuxShell shell;
    vnt::frmMain window(dialogs, shell, dataFolder);
    if (!window.Form_Load())
        return 1; // the program texts could not be loaded; the user has been told why

    // Any command line starts the unattended backup, from within the event loop.
    QStringList arguments = QCoreApplication::arguments();
    arguments.removeFirst();
    window.QueueUnattendedBackup(arguments.join(u' '));
    return QApplication::exec();
}
