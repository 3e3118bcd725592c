#include "mainwindow/WindowSteps.h"

#include "mainwindow/frmMain.h"

namespace vnt {

bool WindowSteps::SaveSetupToFile(frmMain& window, const QString& path, bool blnAnnounce) {
    return window.SaveSetupToFile(path, blnAnnounce);
}

void WindowSteps::RunOperationCommand(frmMain& window, Operation operation) {
    window.RunOperationCommand(operation);
}

bool WindowSteps::ReportHasText(const frmMain& window) {
    return window.ReportHasText();
}

bool WindowSteps::ConfirmOperation(frmMain& window) {
    return window.ShowConfirmation();
}

void WindowSteps::ShowSubfolderSelection(frmMain& window, SubfolderSelection& request) {
    window.ShowSubfolderSelection(request);
}

WindowSteps& WindowSteps::Own() {
    static WindowSteps steps;
    return steps;
}

} // namespace vnt
