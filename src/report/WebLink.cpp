#include "report/WebLink.h"

#include "platform/Dialogs.h"
#include "platform/SystemShell.h"
#include "platform/Twips.h"
#include "report/frmPopUp.h"
#include "report/ViewerText.h"

#include <QWidget>

namespace vnt {

void OpenWebPage(const QString& strAddress, SystemShell& shell, Dialogs& dialogs, QWidget* owner) {
    const int code = shell.openDocument(strAddress);
    const QString message = WebLaunchErrorMessage(code, strAddress);
    if (!message.isEmpty())
        dialogs.inform(owner, message, QStringLiteral("Cannot launch web browser"),
                       MsgIcon::Warning);
}

void ShutDownComputer(bool blnAllowCancel, int varInterval, SystemShell& shell, Dialogs& dialogs,
                      frmPopUp& popUp, QWidget* mainWindow) {
    shell.startShutdown(ShutdownComment());
    if (!blnAllowCancel)
        return;
    const int height = PixelsToTwips(mainWindow->frameGeometry().height(), mainWindow);
    const int width = PixelsToTwips(mainWindow->frameGeometry().width(), mainWindow);
    const bool clicked = popUp.PopUpInForm(mainWindow, ShutdownPopUpMessage(), 6000, 1000,
                                           varInterval, height - 1000 - 300, (width - 6000) / 2);
    // Here the system's delay outlasts the pop-up, so only a click may abort: when the
    // time simply runs out, the shutdown the user asked for goes ahead.
    if (!clicked)
        return;
    shell.abortShutdown();
    // Closing the main window ends the program: nobody is left to answer a box.
    if (!popUp.blnClosedWithOwner)
        dialogs.inform(mainWindow, QStringLiteral("Shutdown cancelled"));
}

} // namespace vnt
