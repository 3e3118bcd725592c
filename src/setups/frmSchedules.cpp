#include "setups/frmSchedules.h"

#include "platform/DataFolder.h"
#include "platform/Dialogs.h"
#include "platform/SystemShell.h"
#include "setups/Schedules.h"

#include <algorithm>
#include <QDialogButtonBox>
#include <QDir>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QScreen>
#include <QStandardPaths>
#include <QVBoxLayout>

namespace vnt {

namespace {

const QString Title = QStringLiteral("Scheduled backups");
const QString Systemctl = QString::fromLatin1(SystemctlProgram);
constexpr int UnitRole = Qt::UserRole;

// Where the user's own units and their wants are: $XDG_CONFIG_HOME/systemd/user.
QString UnitsFolder() {
    return QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation) +
           QStringLiteral("/systemd/user");
}

} // namespace

frmSchedules::frmSchedules(SystemShell& shellIn, Dialogs& dialogsIn, QWidget* parent)
    : QDialog(parent), shell(shellIn), dialogs(dialogsIn) {
    setObjectName(QStringLiteral("frmSchedules"));
    setWindowTitle(Title);

    lblSchedules = new QLabel(this);
    lblSchedules->setWordWrap(true);
    lstSchedules = new QListWidget(this);
    lstSchedules->setObjectName(QStringLiteral("lstSchedules"));
    auto* buttons = new QDialogButtonBox(this);
    cmdSwitchOff = buttons->addButton(QStringLiteral("&Switch off"), QDialogButtonBox::ActionRole);
    cmdClose = buttons->addButton(QStringLiteral("&Close"), QDialogButtonBox::RejectRole);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(lblSchedules);
    layout->addWidget(lstSchedules, 1);
    layout->addWidget(buttons);

    // A cron line is the user's to take out ("crontab -e"); a timer can be switched off here.
    connect(lstSchedules, &QListWidget::currentRowChanged, this, [this](int row) {
        const QListWidgetItem* item = lstSchedules->item(row);
        cmdSwitchOff->setEnabled(item != nullptr && !item->data(UnitRole).toString().isEmpty());
    });
    connect(cmdSwitchOff, &QPushButton::clicked, this, &frmSchedules::cmdSwitchOff_Click);
    connect(cmdClose, &QPushButton::clicked, this, &QDialog::reject);

    Refresh();
    // Wide enough for the longest line, within the screen.
    const QMargins margins = layout->contentsMargins();
    int width =
        std::max(fontMetrics().averageCharWidth() * 70,
                 lstSchedules->sizeHintForColumn(0) + 4 * lstSchedules->frameWidth() +
                     margins.left() + margins.right() + fontMetrics().averageCharWidth() * 2);
    if (const QScreen* shownOn = screen())
        width = std::min(width, shownOn->availableGeometry().width() * 9 / 10);
    resize(width, std::max(sizeHint().height(), fontMetrics().height() * 16));
}

void frmSchedules::Refresh() {
    lstSchedules->clear();
    cmdSwitchOff->setEnabled(false);
    if (!UserSystemdRuns(shell)) {
        const int cron = ListCronLines();
        lblSchedules->setText(
            QStringLiteral("No user service manager (systemd) runs here, so no timer of the "
                           "program can be switched on. ") +
            (cron > 0 ? QStringLiteral("Nightly backups through cron (\"crontab -e\" takes "
                                       "them out):")
                      : QStringLiteral("No nightly backup through cron is listed by \"crontab "
                                       "-l\".")));
        return;
    }
    const ProgramOutput listed =
        shell.runAndRead(Systemctl, ListEnabledTimersArguments(), SystemctlWaitMilliseconds);
    if (listed.launch.outcome != ProgramLaunch::Outcome::Exited) {
        lblSchedules->setText(QStringLiteral("The timers could not be listed: systemctl did not "
                                             "answer."));
        return;
    }
    // The user's folder written from "~", as people know it.
    QString folder = UserConfigFolder();
    if (const QString home = QDir::homePath(); folder.startsWith(home + u'/'))
        folder = u'~' + folder.mid(home.size());
    for (const QString& unit : ParseEnabledTimers(listed.output)) {
        const QString name = ScheduleNameOfUnit(unit);
        auto* item = new QListWidgetItem(
            name + QStringLiteral("  \u2013  ") + ScheduledSetupPath(folder, name) +
                (PluggedBackupWanted(UnitsFolder(), name)
                     ? QStringLiteral("  (and when its disk is plugged in)")
                     : QString()),
            lstSchedules);
        item->setData(UnitRole, unit);
        item->setToolTip(unit);
    }
    ListCronLines();
    lblSchedules->setText(lstSchedules->count() == 0
                              ? QStringLiteral("No nightly backup is switched on.")
                              : QStringLiteral("Nightly backups switched on, each with the setup "
                                               "file it backs up from (cron's lines are taken "
                                               "out with \"crontab -e\"):"));
    if (lstSchedules->count() > 0)
        lstSchedules->setCurrentRow(0);
}

int frmSchedules::ListCronLines() {
    const ProgramOutput crontab = shell.runAndRead(
        QStringLiteral("crontab"), {QStringLiteral("-l")}, SystemctlWaitMilliseconds);
    if (crontab.launch.outcome != ProgramLaunch::Outcome::Exited)
        return 0;
    const QStringList lines = ParseCronLines(crontab.output);
    for (const QString& line : lines)
        new QListWidgetItem(QStringLiteral("cron  \u2013  ") + line, lstSchedules);
    return static_cast<int>(lines.size());
}

void frmSchedules::cmdSwitchOff_Click() {
    const QListWidgetItem* item = lstSchedules->currentItem();
    if (item == nullptr)
        return;
    const QString unit = item->data(UnitRole).toString();
    const ProgramLaunch off =
        shell.startAndWait(Systemctl, DisableTimerArguments(unit), SystemctlWaitMilliseconds);
    // The backup when the disk is plugged in goes with it.
    if (const QString name = ScheduleNameOfUnit(unit); PluggedBackupWanted(UnitsFolder(), name))
        shell.startAndWait(Systemctl, DisablePluggedArguments(name), SystemctlWaitMilliseconds);
    if (off.outcome != ProgramLaunch::Outcome::Exited || off.exitCode != 0)
        dialogs.inform(this,
                       QStringLiteral("The timer ") + unit +
                           QStringLiteral(" could not be switched off: \"systemctl ") +
                           DisableTimerArguments(unit).join(u' ') +
                           QStringLiteral("\" did not succeed."),
                       Title, MsgIcon::Warning);
    Refresh();
}

} // namespace vnt
