#include "mainwindow/WindowServices.h"

#include "report/frmPopUp.h"

#include <QApplication>
#include <QCoreApplication>
#include <QThread>

namespace vnt {

void DesktopServices::EndProgram() {
    QCoreApplication::exit(0);
}

void DesktopServices::Sleep(int milliseconds) {
    QThread::msleep(static_cast<unsigned long>(milliseconds));
}

void DesktopServices::Beep() {
    QApplication::beep();
}

void DesktopServices::ShowPopUp(frmPopUp& popUp, const QString& text, int width, int height,
                                int interval, int top, int left) {
    popUp.PopUp(text, width, height, interval, top, left);
}

DesktopServices& DesktopServices::Instance() {
    static DesktopServices services;
    return services;
}

} // namespace vnt
