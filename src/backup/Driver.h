#pragma once
// The operation driver: validates the Setup, prepares the report, runs the walk and
// writes the summary.

#include "backup/OperationState.h"
#include "platform/Desktop.h"
#include "platform/MessageTypes.h"

#include <QString>

namespace vnt {

class ReportHost;

// What the driver needs of the window that holds the Setup.
class MainHooks {
public:
    virtual ~MainHooks() = default;
    // The Setup as the controls hold it, the extension filter in normal form.
    virtual Setup ReadSetup() = 0;
    virtual QString OperationCaption(Operation operation) = 0;
    virtual QString ModifiedSinceText() = 0;
    virtual bool Ask(const QString& text, const QString& title, MsgResult defaultButton) = 0;
    virtual void Tell(const QString& text, const QString& title, MsgIcon icon) = 0;
    // Whether a missing target is to be created: a person is asked (Yes the default); an
    // unattended run answers from how it was started, whatever the question's words.
    virtual bool AskCreateTarget(const QString& text, const QString& title) {
        return Ask(text, title, MsgResult::Yes);
    }
    // The displays of the window below do nothing where there is no window (the console).
    // Empties the source and refreshes its display.
    virtual void ClearSource() {}
    // The notice shown while a filtered check for files may take long.
    virtual void ShowCheckingNotice(bool /*on*/) {}
    // The confirmation before a backup; false ends the operation.
    virtual bool ConfirmOperation() = 0;
    // The report window, loaded, with its text emptied and its suppress box clear.
    virtual ReportHost& PrepareReport() = 0;
    virtual void SetExcludedFilepathsText(const QString& /*text*/) {}
    virtual void LockForOperation() {}
    virtual void UnlockAfterOperation() {}
    virtual void RefreshDisplays() {}
    // How a person takes the subfolders a run left out, said under its totals.
    virtual QString IncludeSubfoldersHint() {
        return QStringLiteral("Choose them with Select included subfolders.");
    }
    // What keeps the computer awake while the operation runs; by default nothing does.
    virtual SleepInhibitor& Inhibitor() { return NoDesktop::Instance(); }
};

// What a run says when the disk of its target is not connected (BackupDiskAbsent).
QString BackupDiskAbsentText(const QString& targetFolder);

// Runs operation on the Setup the window holds.
void RunOperation(OperationState& state, MainHooks& main, Operation operation);

} // namespace vnt
