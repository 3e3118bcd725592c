#include "cli/ConsoleRun.h"
#include "mainwindow/Language.h"
#include "platform/DataFolder.h"
#include "platform/DesktopBus.h"
#include "platform/Process.h"

#include <cstdio>
#include <cstdlib>
#include <QCoreApplication>

int main(int argc, char* argv[]) {
    vnt::TakeClosedStandardDescriptors();
    vnt::IgnoreWriteSignals();
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("vantoro-cli"));
    QCoreApplication::setApplicationVersion(QStringLiteral(VANTORO_VERSION));
    const QString programFolder = QCoreApplication::applicationDirPath();
    const QString dataFolder = vnt::DataFolder(programFolder);
    if (dataFolder.isEmpty()) {
        // An installation without its data is broken whatever was asked: say where it was
        // looked for, as the run would when the program texts cannot be read.
        const QString message = vnt::ProgramTextNotFoundMessage(
            QStringLiteral("vnt.dat"), vnt::DataFolderCandidates(programFolder));
        std::fprintf(stderr, "vantoro-cli: %s\n",
                     QString(message)
                         .replace(QStringLiteral("\r\n"), QStringLiteral(" "))
                         .toLocal8Bit()
                         .constData());
        return 2; // nothing done
    }
    vnt::DesktopBus desktop([](const QString& why) {
        std::fprintf(stderr, "vantoro-cli: the computer may sleep during the run: %s\n",
                     why.toLocal8Bit().constData());
    });
    const int status = vnt::RunConsole(QCoreApplication::arguments(), dataFolder, desktop, desktop);
    // A bus that never answered holds a thread in the bus library, whose own thread the
    // normal exit would wait for: the run is over, so the program ends here.
    if (vnt::BusStepAbandoned()) {
        std::fflush(nullptr);
        std::_Exit(status);
    }
    return status;
}
