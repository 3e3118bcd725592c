// The setup menu's further commands: the comparison of contents with the offer to copy again
// what differs, the setting that keeps replaced copies, and nightly backups.
#include "mainwindow/frmMain.h"
#include "mainwindow/Language.h"
#include "platform/DataFolder.h"
#include "platform/Dialogs.h"
#include "platform/Drives.h"
#include "platform/FoldersOnDisk.h"
#include "report/frmReport.h"
#include "setups/frmSchedules.h"
#include "setups/Registry.h"
#include "setups/Schedules.h"

#include <QCheckBox>
#include <QFileInfo>
#include <QLineEdit>
#include <QPushButton>
#include <QScopedValueRollback>

namespace vnt {

namespace {

const QString KeepReplacedValue = QStringLiteral("Keep replaced copies");

} // namespace

void frmMain::cmdVerifyBackup_Click() {
    CloseSetupPanels();
    state.blnRepair = false;
    // Set by the summary only: an operation that never started leaves it false.
    state.blnDisplayingSummary = false;
    steps.RunOperationCommand(*this, OperationState::intOperationVerifyBackup);
    if (!state.blnDisplayingSummary || state.blnStop || blnProgramEnding ||
        state.intOperation != OperationState::intOperationVerifyBackup)
        return;
    // A copy missing from the target is copied again as well.
    const qint32 differing = state.lngTotalNumFilesDiffering + state.lngTotalNumFilesNotInTarget;
    // Asked over the report that names them.
    QWidget* over = ReportIsVisible() ? static_cast<QWidget*>(&ReportWindow()) : this;
    if (differing <= 0 ||
        !dialogs.askYesNo(over,
                          differing == 1
                              ? QStringLiteral("Copy the damaged or missing file again?")
                              : QStringLiteral("Copy the %1 damaged or missing files again?")
                                    .arg(differing),
                          cmdVerifyBackup->text(), MsgResult::Yes))
        return;
    const QScopedValueRollback<bool> repair(state.blnRepair, true);
    steps.RunOperationCommand(*this, OperationState::intOperationVerifyBackup);
}

void frmMain::chkKeepReplacedCopies_Click() {
    const bool keep = chkKeepReplacedCopies->isChecked();
    state.blnKeepReplaced = keep;
    const QString status = SaveToRegistry(ProgramText(388), KeepReplacedValue,
                                          keep ? QStringLiteral("1") : QStringLiteral("0"));
    if (!status.startsWith(u'0'))
        dialogs.inform(this,
                       QStringLiteral("The setting could not be kept for the next start: ") +
                           status.mid(2),
                       chkKeepReplacedCopies->text(), MsgIcon::Warning);
}

void frmMain::RestoreKeepReplacedSetting() {
    QString value;
    const bool keep =
        RestoreFromRegistry(ProgramText(388), KeepReplacedValue, value).startsWith(u'0') &&
        value == u"1";
    chkKeepReplacedCopies->setChecked(keep);
    state.blnKeepReplaced = keep;
}

void frmMain::cmdScheduleBackup_Click() {
    CloseSetupPanels();
    const QString title = QStringLiteral("Schedule nightly backup");
    if (txbDirectory[0]->text().isEmpty() || txbDirectory[1]->text().isEmpty()) {
        dialogs.inform(this,
                       txbDirectory[0]->text().isEmpty()
                           ? QStringLiteral("The source disk or folder must first be specified.")
                           : QStringLiteral("The target disk or folder must first be specified."),
                       title);
        return;
    }
    const QString folder = UserConfigFolder();
    const std::optional<QString> typed = dialogs.inputBox(
        this, {QStringLiteral("The setup is saved as NAME.vnt in ") + folder +
                   QStringLiteral(", and new and modified files are backed up from it every "
                                  "night.\r\n\r\nName:"),
               title,
               QStringLiteral("nightly"),
               {}});
    if (!typed)
        return;
    const QString name = typed->trimmed();
    if (const QString problem = ScheduleNameProblem(name); !problem.isEmpty()) {
        dialogs.inform(this, problem, title, MsgIcon::Warning);
        return;
    }
    const QString path = ScheduledSetupPath(folder, name);
    if (QFileInfo::exists(path) &&
        !dialogs.askYesNo(this, ProgramText(119) + u' ' + path + u'?', ProgramText(120)))
        return;
    // The file carries the reminder: the scheduled run reads nothing else.
    const bool remind = dialogs.askYesNo(
        this,
        QStringLiteral("Remind you when the backup disk has not been connected and no backup "
                       "has been made for %1 days?")
            .arg(ReminderDays),
        title, MsgResult::Yes);
    intScheduleRemindAfterDays = remind ? ReminderDays : -1;
    const bool saved = steps.SaveSetupToFile(*this, path, false);
    intScheduleRemindAfterDays = -1;
    if (!saved) {
        TellSetupNotSaved(ProgramText(121) + u' ' + path + u'.');
        return;
    }
    const ScheduleOutcome outcome =
        EnableNightlyBackup(shell, name, path, CliCommandBeside(programFolder));
    QString text = outcome.text;
    // A disk of its own (not the system's) can start the backup when it is plugged in.
    const DiskPlace disk = DiskPlaceOf(NormaliseFolder(txbDirectory[1]->text()));
    if (outcome.kind == ScheduleOutcome::Kind::Enabled && disk.Known() &&
        disk.mountPoint != QStringLiteral("/")) {
        if (dialogs.askYesNo(this,
                             QStringLiteral("Back up as well whenever the disk mounted at ") +
                                 disk.mountPoint +
                                 QStringLiteral(" is plugged in (at most once a day)?"),
                             title, MsgResult::Yes))
            text += QStringLiteral("\r\n\r\n") + EnablePluggedBackup(shell, name, disk.mountPoint);
        else
            shell.startAndWait(QString::fromLatin1(SystemctlProgram), DisablePluggedArguments(name),
                               SystemctlWaitMilliseconds); // an earlier choice undone
    }
    if (remind)
        text += QStringLiteral("\r\n\r\nWhen the disk has not been connected for %1 days, the "
                               "night's notification reminds you.")
                    .arg(ReminderDays);
    dialogs.inform(this, text, title,
                   outcome.kind == ScheduleOutcome::Kind::Enabled ? MsgIcon::Information
                                                                  : MsgIcon::Warning);
}

void frmMain::cmdSchedules_Click() {
    CloseSetupPanels();
    if (auto* open = findChild<frmSchedules*>()) {
        open->raise();
        open->activateWindow();
        return;
    }
    auto* window = new frmSchedules(shell, dialogs, this);
    window->setAttribute(Qt::WA_DeleteOnClose);
    window->show();
}

} // namespace vnt
