#include "mainwindow/frmMain.h"

#include "mainwindow/Language.h"

namespace vnt {

frmMain::frmMain(QWidget* parent) : QMainWindow(parent) {
    setObjectName(QStringLiteral("frmMain"));
    setWindowTitle(ProgramText(1));
    resize(800, 600);
}

} // namespace vnt
