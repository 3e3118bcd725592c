#include "cli/ConsoleRun.h"

#include <QCoreApplication>

int main(int argc, char* argv[]) {
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("vantoro-cli"));
    QCoreApplication::setApplicationVersion(QStringLiteral(VANTORO_VERSION));
    return vnt::RunConsole(QCoreApplication::arguments(), QCoreApplication::applicationDirPath());
}
