#include "mainwindow/CommandLine.h"
#include "mainwindow/frmMain.h"
#include "mainwindow/Language.h"
#include "platform/DataFolder.h"
#include "platform/DesktopBus.h"
#include "platform/Process.h"
#include "platform/QtDialogs.h"
#include "platform/SystemShell.h"

#include <cstdio>
#include <cstdlib>
#include <QApplication>
#include <QIcon>

int main(int argc, char* argv[]) {
    vnt::TakeClosedStandardDescriptors();
    vnt::IgnoreWriteSignals();
    // Read before the window system is reached, so that help works without a display and
    // never starts anything.
    QStringList rawArguments;
    for (int i = 1; i < argc; ++i)
        rawArguments.append(QString::fromLocal8Bit(argv[i]));
    const vnt::DesktopCommandLine request = vnt::ParseDesktopCommandLine(rawArguments);
    if (request.action == vnt::DesktopCommandLine::Action::ShowHelp ||
        request.action == vnt::DesktopCommandLine::Action::ShowVersion) {
        const QString text = request.action == vnt::DesktopCommandLine::Action::ShowHelp
                                 ? vnt::DesktopHelpText()
                                 : vnt::DesktopVersionText();
        std::fputs(text.toLocal8Bit().constData(), stdout);
        return std::fflush(stdout) == 0 ? 0 : 1;
    }
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

    // The arguments that are left once Qt has taken its own (such as -platform) decide
    // whether the unattended backup runs, from within the event loop.
    QStringList arguments = QCoreApplication::arguments();
    arguments.removeFirst();
    window.QueueUnattendedBackup(arguments);
    const int status = QApplication::exec();
    // A bus that never answered holds a thread in the bus library, whose own thread the
    // normal exit would wait for.
    if (vnt::BusStepAbandoned()) {
        std::fflush(nullptr);
        std::_Exit(status);
    }
    return status;
}
