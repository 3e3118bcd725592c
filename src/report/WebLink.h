#pragma once

#include <QString>

class QWidget;

namespace vnt {

class Dialogs;
class SystemShell;

// Opens an address with the desktop's default handler; a failure is explained in a box.
void OpenWebPage(const QString& strAddress, SystemShell& shell, Dialogs& dialogs, QWidget* owner);

class frmPopUp;

// Starts a timed shutdown. With allowCancel, a pop-up over mainWindow offers to cancel it
// for interval milliseconds; a click, or closing mainWindow, aborts the shutdown.
void ShutDownComputer(bool blnAllowCancel, int varInterval, SystemShell& shell, Dialogs& dialogs,
                      frmPopUp& popUp, QWidget* mainWindow);

} // namespace vnt
