#pragma once
// The main window's steps that lead out of it: saving a setup file, running an operation,
// asking whether the report holds text, the confirmation and the subfolder selection.
// Each default does what the window itself does; tests pass a subclass that records the
// call and stands in for the step, or forwards to the default when the test wants it run.

#include "backup/OperationState.h"

class QString;

namespace vnt {

class frmMain;
struct SubfolderSelection;

class WindowSteps {
public:
    virtual ~WindowSteps() = default;
    virtual bool SaveSetupToFile(frmMain& window, const QString& path, bool blnAnnounce);
    virtual void RunOperationCommand(frmMain& window, Operation operation);
    virtual bool ReportHasText(const frmMain& window);
    // The confirmation before a backup; false ends the operation.
    virtual bool ConfirmOperation(frmMain& window);
    // Shows the subfolder selection window; it reads and writes request.
    virtual void ShowSubfolderSelection(frmMain& window, SubfolderSelection& request);
    // The window's own steps, which the program uses; they hold no state.
    static WindowSteps& Own();
};

} // namespace vnt
