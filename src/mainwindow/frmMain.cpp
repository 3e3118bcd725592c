#include "mainwindow/frmMain.h"

#include "mainwindow/CommandLine.h"
#include "mainwindow/FolderProc.h"
#include "mainwindow/Language.h"
#include "platform/Controls.h"
#include "platform/Dialogs.h"
#include "platform/Drives.h"
#include "platform/Names.h"
#include "platform/SystemShell.h"
#include "platform/Twips.h"
#include "report/frmPopUp.h"
#include "report/frmReport.h"
#include "report/frmView.h"
#include "report/RunNotice.h"
#include "report/WebLink.h"
#include "setups/frmSelectSubfolders.h"

#include <cstdio>
#include <QCheckBox>
#include <QCloseEvent>
#include <QComboBox>
#include <QCoreApplication>
#include <QDir>
#include <QFrame>
#include <QLabel>
#include <QLineEdit>
#include <QMouseEvent>
#include <QPushButton>
#include <QRadioButton>
#include <QScreen>
#include <QStandardPaths>
#include <QTimer>
#include <utility>

namespace vnt {

namespace {

// Design geometry in twips. The menu of operations and commands runs down the left side;
// the Setup lies to its right in three columns: command buttons, fields, Clear buttons.
constexpr int MenuLeft = 120;
constexpr int MenuTop = 600;
constexpr int MenuWidth = 2880;
constexpr int MenuHeight = 5400;
constexpr int MenuButtonLeft = 120;
constexpr int MenuButtonWidth = 2640;
constexpr int MenuButtonHeight = 480;
constexpr int ButtonColumn = 3240;
constexpr int ButtonWidth = 2400;
constexpr int FieldColumn = 5760;
constexpr int FieldWidth = 4560;
constexpr int ClearColumn = 10440;
constexpr int ClearWidth = 960;
constexpr int RightEdge = 11400;
constexpr int WindowWidth = 11520;
constexpr int RowHeight = 390;
constexpr int LabelHeight = 300;
constexpr int PanelButtonHeight = 435;
constexpr int PanelButtonStep = 495;

const QColor BackColour(224, 247, 228);

bool MovesToAnotherControl(const QFocusEvent& event) {
    switch (event.reason()) {
    case Qt::MouseFocusReason:
    case Qt::TabFocusReason:
    case Qt::BacktabFocusReason:
    case Qt::ShortcutFocusReason:
    case Qt::OtherFocusReason:
        return true;
    default:
        return false;
    }
}

int Bottom(const QWidget* widget) {
    const QRect g = TwipsGeometry(widget);
    return g.y() + g.height();
}

} // namespace

frmMain::frmMain(Dialogs& dialogsIn, SystemShell& shellIn, QString programFolderIn,
                 WindowServices& servicesIn, WindowSteps& stepsIn, QWidget* parent)
    : QMainWindow(parent), dialogs(dialogsIn), shell(shellIn), services(servicesIn), steps(stepsIn),
      programFolder(std::move(programFolderIn)) {
    setObjectName(QStringLiteral("frmMain"));
    CreateControls();
}

frmMain::~frmMain() = default;

void frmMain::CreateControls() {
    auto* form = new QWidget(this);
    form->setObjectName(QStringLiteral("frmMainClient"));
    setCentralWidget(form);
    ResizeWindowTwips(this, WindowWidth, MenuTop + MenuHeight + 900);

    const QString folderWord[2] = {QStringLiteral("Source"), QStringLiteral("Target")};
    const int folderTop[2] = {600, 2640};
    for (int i = 0; i < 2; ++i) {
        txbDirectory[i] = new QLineEdit(form);
        txbDirectory[i]->setObjectName(QStringLiteral("txbDirectory(%1)").arg(i));
        // Folders are chosen with the picker only.
        txbDirectory[i]->setReadOnly(true);
        cmdSpecifyDirectory[i] =
            MakeButton(form, "", folderWord[i] + QStringLiteral(" disk or folder"));
        cmdSpecifyDirectory[i]->setObjectName(QStringLiteral("cmdSpecifyDirectory(%1)").arg(i));
        cmdClearFolder[i] = MakeButton(form, "", QStringLiteral("Clear"));
        cmdClearFolder[i]->setObjectName(QStringLiteral("cmdClearFolder(%1)").arg(i));
        SetTwipsGeometry(cmdSpecifyDirectory[i], ButtonColumn, folderTop[i], ButtonWidth,
                         RowHeight);
        SetTwipsGeometry(txbDirectory[i], FieldColumn, folderTop[i], FieldWidth, RowHeight);
        SetTwipsGeometry(cmdClearFolder[i], ClearColumn, folderTop[i], ClearWidth, RowHeight);
    }
    cmdClearFolder[2] = MakeButton(form, "", QStringLiteral("Clear"));
    cmdClearFolder[2]->setObjectName(QStringLiteral("cmdClearFolder(2)"));
    cmdClearFolder[2]->hide(); // the clock shows it while the skip box holds text

    lblIntro = MakeLabel(form, "lblIntro", QStringLiteral("Specify the source folder ..."));
    lblIntro->setWordWrap(true);
    lblPreviousRun =
        MakeLabel(form, "lblPreviousRun", QStringLiteral("Previous run: 2007-11-11 at 23:23"));
    lblPreviousRun->setAlignment(Qt::AlignRight | Qt::AlignVCenter);

    lblNumSubfolders = MakeLabel(form, "lblNumSubfolders");
    SetTwipsGeometry(lblNumSubfolders, FieldColumn, 1050, RightEdge - FieldColumn, LabelHeight);

    cmdSelectSubfolders =
        MakeButton(form, "cmdSelectSubfolders", QStringLiteral("Select included subfolders"));
    cboIncludedFolders = new QComboBox(form);
    cboIncludedFolders->setObjectName(QStringLiteral("cboIncludedFolders"));
    cmdRemoveSubfolder = MakeButton(form, "cmdRemoveSubfolder", QStringLiteral("Remove"));
    SetTwipsGeometry(cmdSelectSubfolders, ButtonColumn, 1395, ButtonWidth, RowHeight);
    SetTwipsGeometry(cboIncludedFolders, FieldColumn, 1395, FieldWidth, RowHeight);
    SetTwipsGeometry(cmdRemoveSubfolder, ClearColumn, 1395, ClearWidth, RowHeight);

    chkIncludeSubfolders =
        MakeCheckBox(form, "chkIncludeSubfolders",
                     QStringLiteral("Include all subfolders of these 33 subfolders"));
    chkExcludeFilesInSourceFolder = MakeCheckBox(form, "chkExcludeFilesInSourceFolder",
                                                 QStringLiteral("Exclude files in source folder"));
    SetTwipsGeometry(chkIncludeSubfolders, FieldColumn, 1845, RightEdge - FieldColumn, LabelHeight);
    SetTwipsGeometry(chkExcludeFilesInSourceFolder, FieldColumn, 2160, RightEdge - FieldColumn,
                     LabelHeight);

    cmdCreateSubFolder = MakeButton(form, "cmdCreateSubFolder", QStringLiteral("Create subfolder"));
    SetTwipsGeometry(cmdCreateSubFolder, ButtonColumn, 3090, ButtonWidth, RowHeight);
    lblFreeSpace = MakeLabel(form, "lblFreeSpace");
    lblTargetFolderIsEmpty = MakeLabel(form, "lblTargetFolderIsEmpty");
    SetTwipsGeometry(lblFreeSpace, FieldColumn, 3135, RightEdge - FieldColumn, LabelHeight);
    SetTwipsGeometry(lblTargetFolderIsEmpty, FieldColumn, 3435, RightEdge - FieldColumn,
                     LabelHeight);

    // One sentence: back up only files with extension [...] modified [period].
    lblBackupOnlyExtension = MakeLabel(form, "lblBackupOnlyExtension",
                                       QStringLiteral("Back up only files with extension"));
    txbFileExtension = new QLineEdit(form);
    txbFileExtension->setObjectName(QStringLiteral("txbFileExtension"));
    lblModifiedSince = MakeLabel(form, "lblModifiedSince", QStringLiteral("modified"));
    lblModifiedSince->setAlignment(Qt::AlignCenter);
    cboModifiedSince = new QComboBox(form);
    cboModifiedSince->setObjectName(QStringLiteral("cboModifiedSince"));
    SetTwipsGeometry(lblBackupOnlyExtension, ButtonColumn, 3975, 3000, LabelHeight);
    SetTwipsGeometry(txbFileExtension, 6300, 3930, 900, RowHeight);
    SetTwipsGeometry(lblModifiedSince, 7260, 3975, 840, LabelHeight);
    SetTwipsGeometry(cboModifiedSince, 8160, 3930, RightEdge - 8160, RowHeight);

    lblSkipFilepaths =
        MakeLabel(form, "lblSkipFilepaths", QStringLiteral("Skip filepaths containing:"));
    txbExcludedFilepaths = new QLineEdit(form);
    txbExcludedFilepaths->setObjectName(QStringLiteral("txbExcludedFilepaths"));
    SetTwipsGeometry(lblSkipFilepaths, ButtonColumn, 4470, ButtonWidth, LabelHeight);
    SetTwipsGeometry(txbExcludedFilepaths, FieldColumn, 4425, FieldWidth, RowHeight);
    SetTwipsGeometry(cmdClearFolder[2], ClearColumn, 4425, ClearWidth, RowHeight);

    chkPauseAfterFirstCopy =
        MakeCheckBox(form, "chkPauseAfterFirstCopy",
                     QStringLiteral("Pause after first copy of files from a folder"));
    chkSuppressDetailedReports = MakeCheckBox(
        form, "chkSuppressDetailedReports", QStringLiteral("Suppress display of detailed report"));
    chkSaveSetupOnQuit =
        MakeCheckBox(form, "chkSaveSetupOnQuit", QStringLiteral("On quit save setup for next run"));
    SetTwipsGeometry(chkPauseAfterFirstCopy, ButtonColumn, 4950, 4320, LabelHeight);
    SetTwipsGeometry(chkSuppressDetailedReports, 7680, 4950, RightEdge - 7680, LabelHeight);
    SetTwipsGeometry(chkSaveSetupOnQuit, ButtonColumn, 5280, 4320, LabelHeight);

    txbSetupFile = new QLineEdit(form);
    txbSetupFile->setObjectName(QStringLiteral("txbSetupFile"));
    txbSetupFile->setReadOnly(true);
    SetTwipsGeometry(txbSetupFile, ButtonColumn, 5655, RightEdge - ButtonColumn, 345);

    lblWarningReFilesInUse[0] = MakeLabel(form, "lblWarningReFilesInUse(0)");
    lblWarningReFilesInUse[0]->setWordWrap(true);

    fraCopyright = MakeFrame(form, "fraCopyright");
    lblCopyright = MakeLabel(fraCopyright, "lblCopyright", QStringLiteral("Made by"));
    lblCorvaneWorks = MakeLabel(fraCopyright, "lblCorvaneWorks", QStringLiteral("Corvane Works"));
    lblCorvaneWorks->setCursor(Qt::PointingHandCursor);
    lblCorvaneWorks->setStyleSheet(QStringLiteral("color: #1a5fb4; text-decoration: underline;"));
    lblWebAddress = MakeLabel(fraCopyright, "lblWebAddress");
    lblCorvaneWorks->installEventFilter(this);

    // The menu of operations and commands.
    fraMenu = MakeFrame(form, "fraMenu");
    fraMenu->setFrameShape(QFrame::StyledPanel);
    SetTwipsGeometry(fraMenu, MenuLeft, MenuTop, MenuWidth, MenuHeight);
    cmdListSubFolders =
        MakeButton(fraMenu, "cmdListSubFolders", QStringLiteral("List included subfolders"));
    cmdCheckBackupState =
        MakeButton(fraMenu, "cmdCheckBackupState", QStringLiteral("Check backup state"));
    cmdBackupAllFiles =
        MakeButton(fraMenu, "cmdBackupAllFiles", QStringLiteral("Back up all files in setup"));
    cmdBackupModifiedFiles =
        MakeButton(fraMenu, "cmdBackupModifiedFiles", QStringLiteral("Back up new and modified"));
    cmdReportScreen =
        MakeButton(fraMenu, "cmdReportScreen", QStringLiteral("Display report screen"));
    cmdSetup = MakeButton(fraMenu, "cmdSetup", QStringLiteral("Setup"));
    cmdHelp = MakeButton(fraMenu, "cmdHelp", QStringLiteral("Help"));
    cmdQuit = MakeButton(fraMenu, "cmdQuit", QStringLiteral("Quit"));
    const std::array menuButtons = {cmdListSubFolders, cmdCheckBackupState,
                                    cmdBackupAllFiles, cmdBackupModifiedFiles,
                                    cmdReportScreen,   cmdSetup,
                                    cmdHelp,           cmdQuit};
    for (size_t i = 0; i < menuButtons.size(); ++i) {
        // The operations come first; the commands follow after a gap.
        const int top = 240 + static_cast<int>(i) * 600 + (i >= 4 ? 240 : 0);
        SetTwipsGeometry(menuButtons[i], MenuButtonLeft, top, MenuButtonWidth, MenuButtonHeight);
    }

    // The setup menu and the save/load panel, shown over the window by the setup commands.
    fraSetup = MakeFrame(form, "fraSetup");
    cmdLoadSetup = MakeButton(fraSetup, "cmdLoadSetup", QStringLiteral("Load setup"));
    cmdSaveSetup = MakeButton(fraSetup, "cmdSaveSetup", QStringLiteral("Save setup"));
    cmdClearSetup = MakeButton(fraSetup, "cmdClearSetup", QStringLiteral("Clear setup"));
    cmdRestoreSetup = MakeButton(fraSetup, "cmdRestoreSetup", QStringLiteral("Restore setup"));
    cmdRestoreFiles = MakeButton(fraSetup, "cmdRestoreFiles", QStringLiteral("Restore files..."));
    cmdKeepSetup = MakeButton(fraSetup, "cmdKeepSetup", QStringLiteral("Not now"));
    cmdVerifyBackup = MakeButton(fraSetup, "cmdVerifyBackup", QStringLiteral("Verify backup"));
    chkKeepReplacedCopies =
        MakeCheckBox(fraSetup, "chkKeepReplacedCopies", QStringLiteral("Keep replaced copies"));
    cmdScheduleBackup =
        MakeButton(fraSetup, "cmdScheduleBackup", QStringLiteral("Schedule nightly backup..."));
    cmdSchedules = MakeButton(fraSetup, "cmdSchedules", QStringLiteral("Scheduled backups..."));
    fraSaveSetup = MakeFrame(form, "fraSaveSetup");
    cmdSaveSetupForNextRun = MakeButton(fraSaveSetup, "cmdSaveSetupForNextRun",
                                        QStringLiteral("Save setup for next run"));
    cmdSaveSetupAsOperationFile = MakeButton(fraSaveSetup, "cmdSaveSetupAsOperationFile",
                                             QStringLiteral("Save setup in setup file"));
    cmdSaveSetupInBothWays = MakeButton(fraSaveSetup, "cmdSaveSetupInBothWays",
                                        QStringLiteral("Save setup in both ways"));
    cmdDontSaveSetup = MakeButton(fraSaveSetup, "cmdDontSaveSetup", QStringLiteral("Not now"));
    const std::array<std::pair<QFrame*, std::vector<QPushButton*>>, 2> panels = {{
        {fraSetup,
         {cmdLoadSetup, cmdSaveSetup, cmdClearSetup, cmdRestoreSetup, cmdRestoreFiles,
          cmdKeepSetup}},
        {fraSaveSetup,
         {cmdSaveSetupForNextRun, cmdSaveSetupAsOperationFile, cmdSaveSetupInBothWays,
          cmdDontSaveSetup}},
    }};
    for (const auto& [panel, buttons] : panels) {
        panel->setFrameShape(QFrame::Panel);
        panel->setFrameShadow(QFrame::Raised);
        panel->setLineWidth(2);
        const int count = static_cast<int>(buttons.size());
        SetTwipsGeometry(panel, MenuLeft + MenuButtonWidth + 100, MenuTop + 2880 + 120,
                         MenuButtonWidth + 240, 120 + count * PanelButtonStep + 60);
        for (int i = 0; i < count; ++i)
            SetTwipsGeometry(buttons[static_cast<size_t>(i)], 120, 120 + i * PanelButtonStep,
                             MenuButtonWidth, PanelButtonHeight);
        panel->hide();
        panel->raise();
    }
    // The setup menu's further entries stand in a second column, beside the setup commands:
    // the menu keeps the place and height that its placement rule gives it.
    const std::array<QWidget*, 4> secondColumn = {cmdVerifyBackup, chkKeepReplacedCopies,
                                                  cmdScheduleBackup, cmdSchedules};
    const QRect setupMenu = TwipsGeometry(fraSetup);
    SetTwipsGeometry(fraSetup, setupMenu.x(), setupMenu.y(),
                     setupMenu.width() + MenuButtonWidth + 120, setupMenu.height());
    for (size_t i = 0; i < secondColumn.size(); ++i)
        SetTwipsGeometry(secondColumn[i], 120 + MenuButtonWidth + 120,
                         120 + static_cast<int>(i) * PanelButtonStep, MenuButtonWidth,
                         PanelButtonHeight);

    Clock = new QTimer(this);
    Clock->setObjectName(QStringLiteral("Clock"));
    connect(Clock, &QTimer::timeout, this, &frmMain::Clock_Timer);
    Clock2 = new QTimer(this);
    Clock2->setObjectName(QStringLiteral("Clock2"));
    Clock2->setInterval(1000);
    connect(Clock2, &QTimer::timeout, this, &frmMain::Clock2_Timer);

    // Buttons that act on the release of the mouse button.
    OnMouseUp(cmdSpecifyDirectory[0], [this] { cmdSpecifyDirectory_MouseUp(0); });
    OnMouseUp(cmdSpecifyDirectory[1], [this] { cmdSpecifyDirectory_MouseUp(1); });
    OnMouseUp(cmdCreateSubFolder, [this] { cmdCreateSubFolder_MouseUp(); });
    OnMouseUp(cmdSelectSubfolders, [this] { cmdSelectSubfolders_MouseUp(); });
    OnMouseUp(cmdListSubFolders, [this] { cmdListSubFolders_MouseUp(); });
    OnMouseUp(cmdCheckBackupState, [this] { cmdCheckBackupState_MouseUp(); });
    OnMouseUp(cmdBackupAllFiles, [this] { cmdBackupAllFiles_MouseUp(); });
    OnMouseUp(cmdBackupModifiedFiles, [this] { cmdBackupModifiedFiles_MouseUp(); });
    OnMouseUp(cmdReportScreen, [this] { cmdReportScreen_MouseUp(); });
    OnMouseUp(cmdSetup, [this] { cmdSetup_MouseUp(); });
    OnMouseUp(cmdHelp, [this] { cmdHelp_MouseUp(); });
    OnMouseUp(cmdQuit, [this] { cmdQuit_MouseUp(); });

    const std::pair<QPushButton*, void (frmMain::*)()> panelButtons[] = {
        {cmdLoadSetup, &frmMain::cmdLoadSetup_Click},
        {cmdSaveSetup, &frmMain::cmdSaveSetup_Click},
        {cmdClearSetup, &frmMain::cmdClearSetup_Click},
        {cmdRestoreSetup, &frmMain::cmdRestoreSetup_Click},
        {cmdKeepSetup, &frmMain::cmdKeepSetup_Click},
        {cmdRestoreFiles, &frmMain::cmdRestoreFiles_Click},
        {cmdVerifyBackup, &frmMain::cmdVerifyBackup_Click},
        {cmdScheduleBackup, &frmMain::cmdScheduleBackup_Click},
        {cmdSchedules, &frmMain::cmdSchedules_Click},
        {cmdSaveSetupForNextRun, &frmMain::cmdSaveSetupForNextRun_Click},
        {cmdSaveSetupAsOperationFile, &frmMain::cmdSaveSetupAsOperationFile_Click},
        {cmdSaveSetupInBothWays, &frmMain::cmdSaveSetupInBothWays_Click},
        {cmdDontSaveSetup, &frmMain::cmdDontSaveSetup_Click},
    };
    for (const auto& [button, handler] : panelButtons)
        connect(button, &QPushButton::clicked, this, handler);
    for (int i = 0; i < 3; ++i)
        connect(cmdClearFolder[static_cast<size_t>(i)], &QPushButton::clicked, this,
                [this, i] { cmdClearFolder_Click(i); });
    connect(cmdRemoveSubfolder, &QPushButton::clicked, this, &frmMain::cmdRemoveSubfolder_Click);
    connect(chkIncludeSubfolders, &QCheckBox::clicked, this, &frmMain::chkIncludeSubfolders_Click);
    connect(chkSuppressDetailedReports, &QCheckBox::clicked, this,
            &frmMain::chkSuppressDetailedReports_Click);
    connect(chkKeepReplacedCopies, &QCheckBox::clicked, this,
            &frmMain::chkKeepReplacedCopies_Click);
    connect(cboIncludedFolders, &QComboBox::activated, this, &frmMain::cboIncludedFolders_Click);
    connect(cboModifiedSince, &QComboBox::activated, this, &frmMain::cboModifiedSince_Click);
    // A path box's tooltip follows its path, whichever command changed it.
    for (int i = 0; i < 2; ++i)
        connect(txbDirectory[static_cast<size_t>(i)], &QLineEdit::textChanged, this,
                [this, i] { SetPathTooltip(i); });
    for (QWidget* box :
         {static_cast<QWidget*>(txbDirectory[0]), static_cast<QWidget*>(txbDirectory[1]),
          static_cast<QWidget*>(txbFileExtension), static_cast<QWidget*>(txbExcludedFilepaths)})
        box->installEventFilter(this);

    // The keyboard focus follows the mouse over these buttons.
    for (QPushButton* button : {cmdSpecifyDirectory[0],
                                cmdSpecifyDirectory[1],
                                cmdCreateSubFolder,
                                cmdSelectSubfolders,
                                cmdRemoveSubfolder,
                                cmdClearFolder[0],
                                cmdClearFolder[1],
                                cmdClearFolder[2],
                                cmdListSubFolders,
                                cmdCheckBackupState,
                                cmdBackupAllFiles,
                                cmdBackupModifiedFiles,
                                cmdReportScreen,
                                cmdSetup,
                                cmdHelp,
                                cmdQuit,
                                cmdLoadSetup,
                                cmdSaveSetup,
                                cmdClearSetup,
                                cmdRestoreSetup,
                                cmdKeepSetup,
                                cmdRestoreFiles,
                                cmdVerifyBackup,
                                cmdScheduleBackup,
                                cmdSchedules,
                                cmdSaveSetupForNextRun,
                                cmdSaveSetupAsOperationFile,
                                cmdSaveSetupInBothWays,
                                cmdDontSaveSetup}) {
        focusOnHover.append(button);
        button->installEventFilter(this);
    }
}

void frmMain::OnMouseUp(QPushButton* button, std::function<void()> handler) {
    mouseUpHandlers.insert(button, std::move(handler));
    button->installEventFilter(this);
}

bool frmMain::eventFilter(QObject* watched, QEvent* event) {
    switch (event->type()) {
    case QEvent::FocusOut:
        // The filter is checked when the user moves on to another control, not when a
        // context menu opens or another program's window comes to the front.
        if (watched == txbFileExtension && MovesToAnotherControl(*static_cast<QFocusEvent*>(event)))
            txbFileExtension_LostFocus();
        else if (watched == txbExcludedFilepaths)
            txbExcludedFilepaths_LostFocus();
        break;
    case QEvent::MouseButtonRelease: {
        auto* button = qobject_cast<QWidget*>(watched);
        const auto* mouse = static_cast<QMouseEvent*>(event);
        if (watched == lblCorvaneWorks && mouse->button() == Qt::LeftButton) {
            lblCorvaneWorks_Click();
            return true;
        }
        for (int i = 0; i < 2; ++i) {
            if (watched == txbDirectory[static_cast<size_t>(i)] &&
                mouse->button() == Qt::LeftButton) {
                txbDirectory_MouseUp(i);
                return true;
            }
        }
        const auto handler = mouseUpHandlers.constFind(watched);
        if (handler != mouseUpHandlers.constEnd() && mouse->button() == Qt::LeftButton &&
            button->isEnabled() && button->rect().contains(mouse->position().toPoint())) {
            // Let the button draw itself released before the command runs.
            QMainWindow::eventFilter(watched, event);
            static_cast<QPushButton*>(button)->setDown(false);
            (*handler)();
            return true;
        }
        break;
    }
    case QEvent::KeyPress: {
        // Return and Enter press a focused button too. They act on the press, as in a
        // message box: the release of a Return that closed a box must not press the
        // button under it.
        const auto* key = static_cast<QKeyEvent*>(event);
        auto* button = qobject_cast<QPushButton*>(watched);
        if (button == nullptr || !focusOnHover.contains(watched) ||
            (key->key() != Qt::Key_Return && key->key() != Qt::Key_Enter))
            break;
        if (!key->isAutoRepeat() && button->isEnabled()) {
            const auto handler = mouseUpHandlers.constFind(watched);
            if (handler != mouseUpHandlers.constEnd())
                (*handler)();
            else
                button->click();
        }
        return true;
    }
    case QEvent::KeyRelease: {
        // The keyboard reaches the same commands: Space on a focused button.
        const auto* key = static_cast<QKeyEvent*>(event);
        const auto handler = mouseUpHandlers.constFind(watched);
        if (handler != mouseUpHandlers.constEnd() && key->key() == Qt::Key_Space &&
            !key->isAutoRepeat()) {
            static_cast<QPushButton*>(watched)->setDown(false);
            (*handler)();
            return true;
        }
        break;
    }
    case QEvent::Enter: {
        if (focusOnHover.contains(watched)) {
            auto* button = static_cast<QPushButton*>(watched);
            if (button != cmdReportScreen || !ReportIsVisible())
                button->setFocus(Qt::MouseFocusReason);
        }
        break;
    }
    default:
        break;
    }
    return QMainWindow::eventFilter(watched, event);
}

bool frmMain::Form_Load() {
    blnStartupCompleted = false;

    strProgramTextFile = QStringLiteral("VNT").toLower() + QStringLiteral(".dat");
    const QString failure = LoadProgramText(strProgramTextFile, programFolder);
    if (!failure.isEmpty()) {
        ShowProgramTextFailure(failure);
        return false;
    }

    SetControlsFont(this, QStringLiteral("Arial"), false, true);
    InitialiseMainWindow();
    ArrangeMainWindow();

    lblPreviousRun->hide();
    const int height = TwipsGeometry(fraMenu).y() + TwipsGeometry(fraMenu).height() + 900;
    ResizeWindowTwips(this, PixelsToTwips(width(), this), height);
    // The controls are placed by hand: the window keeps its size, as a fixed dialog does.
    setFixedSize(size());
    if (const QScreen* screen = this->screen()) {
        const QRect available = screen->availableGeometry();
        move(available.x() + (available.width() - frameGeometry().width()) / 2,
             available.y() + TwipsToPixels(300, this));
        KeepInsideAvailableArea(this); // at a high scale the window fills a small screen
    }

    cmdReportScreen->setEnabled(false);
    cmdSelectSubfolders->setEnabled(false);
    cmdListSubFolders->setEnabled(false);
    SetControlsBackColor(this, BackColour);

    fraCopyright->hide();
    show();

    // The same version as the console program's and the package's, not a caption of its own.
    setWindowTitle(ProgramText(1) + u' ' + QStringLiteral(VANTORO_VERSION));

    const QString previousRun = StampPreviousRun(ProgramText(388), ProgramText(389));
    lblPreviousRun->setText(
        previousRun.isEmpty() ? QString() : ProgramText(389) + QStringLiteral(": ") + previousRun);
    lblPreviousRun->show();
    lblWarningReFilesInUse[0]->show();
    RestoreKeepReplacedSetting();

    strRecycleBinNames = {QString(), QStringLiteral("RECYCLED"), QStringLiteral("RECYCLER"),
                          QStringLiteral("$RECYCLE.BIN")};
    FocusNextStep();

    Clock->setInterval(1000);
    Clock->start();

    LoadSetupFromLastRun();
    UpdateTargetEmptyLabel();

    blnStartupCompleted = true;
    state.blnScheduledTask = false;
    return true;
}

void frmMain::ShowProgramTextFailure(const QString& message) {
    dialogs.messageBox(nullptr,
                       {MsgIcon::Error, QString(), message, MsgButtons::Ok, MsgResult::Ok});
}

void frmMain::InitialiseMainWindow() {
    txbFileExtension->clear();
    txbExcludedFilepaths->clear();
    lblNumSubfolders->clear();
    lblTargetFolderIsEmpty->clear();
    lblFreeSpace->clear();

    intMaxLengthWithoutTip = 70;
    intMaxSizeForSmallReportWindow = 500;
    lngMaxSizeTextboxContents = 61440;
    state.InitialiseOperationValues();

    lblIntro->setText(ProgramText(352));
    lblIntro->hide();
    chkIncludeSubfolders->hide();

    // Nothing is left holding the folder the program was started from.
    const QString root = RootPrefix(QDir::currentPath());
    if (!root.isEmpty())
        QDir::setCurrent(root);

    lblWarningReFilesInUse[0]->setText(
        QStringLiteral("Some applications and system programs restrict access ") +
        QStringLiteral("to files they are using. ") +
        QStringLiteral("If possible, close any program which is using a file to be backed up ") +
        QStringLiteral("before performing a backup operation."));
    lblWarningReFilesInUse[0]->hide();

    txbSetupFile->clear();
    txbSetupFile->hide();

    // The next-run setup lives in the user's own data folder.
    strNextRunSetupPath = AppDataFilePath(QStringLiteral("vnt.usr"), ProgramText(310));

    cboModifiedSince->clear();
    for (const ModifiedSincePeriod& period : ModifiedSincePeriods())
        cboModifiedSince->addItem(period.text, period.days);

    lblWebAddress->setText(ProgramText(122));
    ResetSetup();
}

void frmMain::ArrangeMainWindow() {
    // The intro and the previous run share the top line; the warning and the maker's
    // notice follow the setup-file box.
    SetTwipsGeometry(lblIntro, ButtonColumn, 90, 4920, 480);
    SetTwipsGeometry(lblPreviousRun, 8280, 120, RightEdge - 8280, LabelHeight);
    const int warningTop = Bottom(txbSetupFile) + 60;
    SetTwipsGeometry(lblWarningReFilesInUse[0], ButtonColumn, warningTop, RightEdge - ButtonColumn,
                     480);
    const int noticeTop = warningTop + 480 + 30;
    SetTwipsGeometry(fraCopyright, ButtonColumn, noticeTop, RightEdge - ButtonColumn, LabelHeight);
    lblCopyright->adjustSize();
    lblCorvaneWorks->adjustSize();
    lblWebAddress->adjustSize();
    const int gap = TwipsToPixels(75, this);
    lblCopyright->move(0, 0);
    lblCorvaneWorks->move(lblCopyright->width() + gap, 0);
    lblWebAddress->move(lblCorvaneWorks->x() + lblCorvaneWorks->width() + 3 * gap, 0);
}

void frmMain::UpdateIdleDisplay() {
    const bool idle = fraMenu->isEnabled();
    txbSetupFile->setVisible(idle && !txbSetupFile->text().isEmpty());
    fraCopyright->setVisible(idle);
    lblWarningReFilesInUse[0]->setVisible(idle);
}

void frmMain::ResetSetup() {
    txbExcludedFilepaths->clear();
    txbFileExtension->clear();
    txbDirectory[0]->clear();
    txbDirectory[1]->clear();

    for (QCheckBox* box : {chkExcludeFilesInSourceFolder, chkSuppressDetailedReports,
                           chkPauseAfterFirstCopy, chkSaveSetupOnQuit, chkIncludeSubfolders})
        SetCheckValue(box, 0);

    cboIncludedFolders->clear();
    cboIncludedFolders->setCurrentIndex(-1);
    state.intNumIncludedFolders = 0;

    cboModifiedSince->setCurrentIndex(0);

    fraSaveSetup->hide();
    fraMenu->setEnabled(true);
    UpdateIdleDisplay();

    chkPauseAfterFirstCopy->setEnabled(true);
    chkExcludeFilesInSourceFolder->hide();
    chkIncludeSubfolders->hide();
}

void frmMain::FocusNextStep() {
    if (!isVisible() || !fraMenu->isEnabled())
        return;
    if (txbDirectory[0]->text().isEmpty())
        cmdSpecifyDirectory[0]->setFocus();
    else if (txbDirectory[1]->text().isEmpty())
        cmdSpecifyDirectory[1]->setFocus();
    else if (cmdBackupModifiedFiles->isEnabled())
        cmdBackupModifiedFiles->setFocus();
}

void frmMain::UpdateSetupFileTip() {
    const QString text = txbSetupFile->text();
    txbSetupFile->setToolTip(text.size() >= 61 ? text : QString());
}

int frmMain::ModifiedSinceDays() const {
    const QVariant days = cboModifiedSince->currentData();
    return days.isValid() ? days.toInt() : -1;
}

Setup frmMain::CurrentSetup() const {
    Setup setup;
    // The boxes keep what the user sees; the engine gets one spelling of each folder.
    setup.sourceFolder = NormaliseFolder(txbDirectory[0]->text());
    setup.targetFolder = NormaliseFolder(txbDirectory[1]->text());
    for (int i = 0; i < state.intNumIncludedFolders && i < cboIncludedFolders->count(); ++i)
        setup.includedFolders.append(cboIncludedFolders->itemText(i));
    setup.includeSubfolders = CheckValue(chkIncludeSubfolders);
    setup.fileExtension = txbFileExtension->text();
    setup.excludedFilepaths = txbExcludedFilepaths->text();
    setup.modifiedSinceIndex = cboModifiedSince->currentIndex();
    setup.modifiedSinceDays = ModifiedSinceDays();
    setup.pauseAfterFirstCopy = CheckValue(chkPauseAfterFirstCopy);
    setup.saveSetupOnQuit = CheckValue(chkSaveSetupOnQuit);
    setup.excludeFilesInSourceFolder = CheckValue(chkExcludeFilesInSourceFolder);
    setup.suppressDetailedReports = CheckValue(chkSuppressDetailedReports);
    return setup;
}

void frmMain::Clock_Timer() {
    UpdateSetupFileTip();
    cmdClearFolder[2]->setVisible(!txbExcludedFilepaths->text().isEmpty());
    NextRunSetupGuardTick();
    // While an operation runs the button stays as the lock left it: re-showing the report
    // then would take Continue and Cancel away from a paused backup.
    if (!blnOperationRunning)
        cmdReportScreen->setEnabled(steps.ReportHasText(*this));
    QCoreApplication::processEvents();
}

void frmMain::NextRunSetupGuardTick() {
    if (!blnNextRunSetupCurrent)
        return;
    if (++intNextRunSetupTicks > 10)
        blnNextRunSetupCurrent = false;
}

void frmMain::Clock2_Timer() {
    blnIgnoreMouseUp = false;
    Clock2->stop();
}

void frmMain::StartMouseUpGuard() {
    blnIgnoreMouseUp = true;
    Clock2->start();
}

void frmMain::cmdSpecifyDirectory_MouseUp(int index) {
    if (!blnIgnoreMouseUp)
        SpecifyFolder(index);
}

void frmMain::cmdCreateSubFolder_MouseUp() {
    if (!blnIgnoreMouseUp)
        CreateSubFolder();
}

void frmMain::cmdSelectSubfolders_MouseUp() {
    if (!blnIgnoreMouseUp)
        SelectSubfolders();
}

void frmMain::cmdListSubFolders_MouseUp() {
    if (!blnIgnoreMouseUp)
        steps.RunOperationCommand(*this, OperationState::intOperationListFolders);
}

void frmMain::cmdCheckBackupState_MouseUp() {
    if (!blnIgnoreMouseUp)
        steps.RunOperationCommand(*this, OperationState::intOperationCheckBackupState);
}

void frmMain::cmdBackupAllFiles_MouseUp() {
    if (!blnIgnoreMouseUp)
        steps.RunOperationCommand(*this, OperationState::intOperationBackupAllFiles);
}

void frmMain::cmdBackupModifiedFiles_MouseUp() {
    if (!blnIgnoreMouseUp)
        steps.RunOperationCommand(*this, OperationState::intOperationBackupModifiedFiles);
}

void frmMain::cmdReportScreen_MouseUp() {
    if (!blnIgnoreMouseUp && !blnOperationRunning)
        ShowReportScreen();
}

void frmMain::cmdSetup_MouseUp() {
    if (!blnIgnoreMouseUp)
        OpenSetupMenu();
}

void frmMain::cmdHelp_MouseUp() {
    if (blnIgnoreMouseUp)
        return;
    if (viewer == nullptr)
        viewer = new frmView(dialogs, this);
    if (viewer->isMinimized())
        viewer->showNormal();
    if (!viewer->isMinimized() && !viewer->isMaximized()) {
        const QRect main = frameGeometry();
        viewer->move(main.x() + TwipsToPixels(100, this), main.y() + TwipsToPixels(380, this));
        viewer->resize(main.width() - TwipsToPixels(200, this),
                       main.height() - TwipsToPixels(480, this));
        KeepInsideAvailableArea(viewer);
    }
    viewer->ShowFile(programFolder + QStringLiteral("/vnt_help.txt"), ProgramText(72));
}

void frmMain::cmdQuit_MouseUp() {
    if (blnIgnoreMouseUp)
        return;
    EndRunningOperation();
    SaveSetupOnQuit();
    services.EndProgram();
}

void frmMain::EndRunningOperation() {
    // The program ends once the handler running an operation returns: the walk stops at its
    // next test (a pause ends at once) and writes its summary, and nothing that would have
    // followed the operation, such as the shutdown, starts.
    blnProgramEnding = true;
    state.blnStop = state.blnInterrupted = true;
    if (reportForm != nullptr)
        reportForm->EndPause();
}

void frmMain::SaveSetupOnQuit() {
    if (CheckValue(chkSaveSetupOnQuit) != 1 || blnNextRunSetupCurrent)
        return;
    txbSetupFile->hide();
    if (!steps.SaveSetupToFile(*this, strNextRunSetupPath, true))
        TellSetupNotSaved(ProgramText(116));
}

void frmMain::closeEvent(QCloseEvent* event) {
    // The close box ends the program at once, without the save on quit. Whoever uses it
    // while the shutdown notice shows is at the computer: the shutdown is called off.
    event->accept();
    EndRunningOperation();
    if (popUp != nullptr && popUp->isVisible())
        popUp->CloseWithOwner();
    services.EndProgram();
}

void frmMain::lblCorvaneWorks_Click() {
    OpenWebPage(ProgramText(122), shell, dialogs, this);
}

frmReport& frmMain::ReportWindow() {
    if (reportForm == nullptr)
        reportForm = new frmReport(*this, dialogs, shell, this);
    reportForm->EnsureLoaded();
    return *reportForm;
}

frmPopUp& frmMain::PopUpWindow() {
    if (popUp == nullptr)
        popUp = new frmPopUp(this);
    return *popUp;
}

void frmMain::RunUnattendedBackup(const QStringList& arguments) {
    const DesktopCommandLine request = ParseDesktopCommandLine(arguments);
    if (request.action != DesktopCommandLine::Action::UnattendedBackup || blnProgramEnding)
        return;
    show();
    const bool shutDown = request.shutDown;
    // Nobody may be watching: what the run would ask or tell in a box is kept for its
    // notification instead, and every question is answered No.
    dialogs.unattended = true;
    dialogs.kept.clear();
    state.blnOperationStarted = false; // set once the backup comes to its report
    state.strFirstFailure.clear();
    // Nothing runs on a Setup that was only half read: no backup, no save on quit turned
    // on, and no shutdown.
    if (!RefusedHalfReadNextRunSetup(shutDown)) {
        state.blnScheduledTask = true;
        SetCheckValue(chkSaveSetupOnQuit, 1);
        cmdBackupModifiedFiles_MouseUp();
        state.blnScheduledTask = false;
    }
    dialogs.unattended = false;
    const QString said = dialogs.kept.isEmpty() ? QString() : dialogs.kept.constFirst().text;
    const DesktopNotice notice = UnattendedBackupNotice(
        state, CurrentSetup(), reportForm != nullptr ? reportForm->ReportFilePath() : QString(),
        said);
    services.Notify(notice);
    // The same words where a service or cron keeps what the program says.
    const QByteArray line =
        "vantoro: " +
        ShownLine(notice.title + QStringLiteral(": ") + QString(notice.body).replace(u'\n', u' '))
            .toUtf8() +
        '\n';
    std::fputs(line.constData(), stderr);
    if (!state.blnOperationStarted && !dialogs.kept.isEmpty()) {
        // Refused, and nobody is there to read a window: the program ends, and the computer
        // is not shut down.
        blnProgramEnding = true;
        services.EndProgram();
        return;
    }
    // A user who ended the program during the backup is there and wants no shutdown; its
    // pop-up would not even show while the program ends.
    if (shutDown && !blnProgramEnding)
        ShutDownComputer(true, 60000, shell, dialogs, PopUpWindow(), this);
}

void frmMain::QueueUnattendedBackup(const QStringList& arguments) {
    QTimer::singleShot(0, this, [this, arguments] { RunUnattendedBackup(arguments); });
}

void frmMain::ShowSubfolderSelection(SubfolderSelection& request) {
    if (selectionWindow == nullptr)
        selectionWindow = new frmSelectSubfolders(dialogs, txbDirectory[1]->text(), this);
    frmSelectSubfolders& window = *selectionWindow;
    window.SetTargetFolder(txbDirectory[1]->text());
    window.TakeRequest(request);
    const QRect g = request.geometryTwips;
    MoveWindowTwips(&window, g.x(), g.y());
    ResizeWindowTwips(&window, std::max(g.width(), 6000), std::max(g.height(), 3000));
    KeepInsideAvailableArea(&window);
    window.setWindowIcon(windowIcon());
    window.exec();
    window.GiveAnswer(request);
}
bool frmMain::ReportHasText() const {
    return reportForm != nullptr && reportForm->IsLoaded() && !reportForm->ReportText().isEmpty();
}
bool frmMain::ReportIsVisible() const {
    return reportForm != nullptr && reportForm->isVisible();
}

} // namespace vnt
