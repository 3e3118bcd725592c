#include "mainwindow/frmMain.h"
#include "mainwindow/Language.h"

#include <QApplication>
#include <QMessageBox>

int main(int argc, char* argv[]) {
    QApplication app(argc, argv);
    const QString failure =
        vnt::LoadProgramText(QStringLiteral("vnt.dat"), QCoreApplication::applicationDirPath());
    if (!failure.isEmpty()) {
        // Without its texts the program cannot say anything else: show why and end.
        QMessageBox::critical(nullptr, QString(), failure);
        return 1;
    }
    vnt::frmMain window;
    window.show();
    return QApplication::exec();
}
