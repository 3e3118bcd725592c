#pragma once
// The main window: its controls hold the Setup; it owns the operation state and the
// report window, which reaches it through ReportOwner. What it asks of the world goes through
// the interfaces it is given (Dialogs, SystemShell, WindowServices, WindowSteps), which
// tests script and record.

#include "backup/Driver.h"
#include "backup/OperationState.h"
#include "mainwindow/WindowServices.h"
#include "mainwindow/WindowSteps.h"
#include "platform/Dialogs.h"
#include "report/Owners.h"
#include "setups/SubfolderRows.h"

#include <array>
#include <functional>
#include <memory>
#include <QHash>
#include <QMainWindow>

class QCheckBox;
class QComboBox;
class QFrame;
class QLabel;
class QLineEdit;
class QPushButton;
class QTimer;

namespace vnt {

class SystemShell;
class frmPopUp;
class frmReport;
class frmSelectSubfolders;
class frmView;

class frmMain : public QMainWindow, public MainHooks, public ReportOwner, public ConfirmOwner {
    Q_OBJECT
public:
    frmMain(Dialogs& dialogs, SystemShell& shell, QString programFolder,
            WindowServices& services = DesktopServices::Instance(),
            WindowSteps& steps = WindowSteps::Own(), QWidget* parent = nullptr);
    ~frmMain() override;

    // Start-up up to the unattended run. False when the program texts could not be loaded:
    // the user has been told, and the program must end without showing a window.
    bool Form_Load();
    // The unattended backup that a command line other than a request for help starts;
    // arguments come without the program's name.
    void RunUnattendedBackup(const QStringList& arguments);
    // Runs it once the event loop runs, where closing the window and Quit can end it.
    void QueueUnattendedBackup(const QStringList& arguments);

    // Window-wide utilities.
    void UpdateIdleDisplay();
    void ResetSetup();
    void FocusNextStep();
    void UpdateSetupFileTip();

    // The Setup that the controls hold now.
    Setup CurrentSetup() const;
    // Days of the selected modified-since entry; negative for no restriction.
    int ModifiedSinceDays() const;

    // Timers.
    void Clock_Timer();
    void Clock2_Timer();
    // Ignore button releases until Clock2 ticks (after the setup-file dialog closes).
    void StartMouseUpGuard();

    // Handlers of the buttons that act on the release of the mouse button.
    void cmdSpecifyDirectory_MouseUp(int index);
    void cmdCreateSubFolder_MouseUp();
    void cmdSelectSubfolders_MouseUp();
    void cmdListSubFolders_MouseUp();
    void cmdCheckBackupState_MouseUp();
    void cmdBackupAllFiles_MouseUp();
    void cmdBackupModifiedFiles_MouseUp();
    void cmdReportScreen_MouseUp();
    void cmdSetup_MouseUp();
    void cmdHelp_MouseUp();
    void cmdQuit_MouseUp();
    void lblCorvaneWorks_Click();

    // Choosing the source and the target.
    void SpecifyFolder(int index);
    // The folder picker over the main window; the path is cut at a NUL, empty when cancelled.
    QString BrowseForFolder(const QString& prompt, const QString& startFolder);
    bool TargetIsAcceptable(const QString& candidate);
    void CreateSubFolder();
    void cmdClearFolder_Click(int index);
    void txbDirectory_MouseUp(int index);

    // Included subfolders and filters.
    void SelectSubfolders();
    void cmdRemoveSubfolder_Click();
    void chkIncludeSubfolders_Click();
    void cboIncludedFolders_Click();
    void cboModifiedSince_Click();
    void txbFileExtension_LostFocus();
    void txbExcludedFilepaths_LostFocus();
    void chkSuppressDetailedReports_Click();

    // The summaries under the folders.
    void RefreshSourceFolderDisplay();
    void RefreshTargetFolderDisplay(bool blnMessageIfTargetFolderPathNotFound);
    void RefreshTargetSummary(bool blnMessageIfTargetFolderPathNotFound);
    void RefreshFreeSpaceLabel();
    void AskAboutMissingTarget(const QString& errorText);
    bool UpdateTargetEmptyLabel();
    // Says under the target that its backup disk is away, when it is; false otherwise.
    bool ShowBackupDiskAway(const QString& target);

    // The operation that runs or ran last.
    OperationState& State() { return state; }
    const OperationState& State() const override { return state; }

    // Operations: what the driver asks of this window.
    Setup ReadSetup() override;
    QString OperationCaption(Operation operation) override;
    QString ModifiedSinceText() override;
    bool Ask(const QString& text, const QString& title, MsgResult defaultButton) override;
    void Tell(const QString& text, const QString& title, MsgIcon icon) override;
    void ClearSource() override;
    void ShowCheckingNotice(bool on) override;
    bool ConfirmOperation() override { return steps.ConfirmOperation(*this); }
    ReportHost& PrepareReport() override;
    void SetExcludedFilepathsText(const QString& text) override;
    void LockForOperation() override;
    void UnlockAfterOperation() override;
    void RefreshDisplays() override;
    SleepInhibitor& Inhibitor() override { return services; }
    // The list of the files directly in the source folder.
    void ShowSourceFileList(qint32 count);

    // Setup files and the setup commands.
    QString StampPreviousRun(const QString& key, const QString& valueName);
    void LoadSetupFromLastRun();
    int LoadOperationFile(const QString& path);
    // True, after telling the user, when the next-run setup was not read whole at start-up:
    // the unattended backup must not run on it.
    bool RefusedHalfReadNextRunSetup(bool shutdownAsked);
    void KeepCopyOfSetup();
    void CloseSetupPanels();
    void ForgetSetupFile() override;
    void OpenSetupMenu();
    void cmdLoadSetup_Click();
    void cmdSaveSetup_Click();
    void cmdClearSetup_Click();
    void cmdRestoreSetup_Click();
    void cmdKeepSetup_Click();
    void cmdRestoreFiles_Click();
    // The setup menu's further commands: the comparison of contents (and copying again what
    // differs), keeping replaced copies, and nightly backups.
    void cmdVerifyBackup_Click();
    void chkKeepReplacedCopies_Click();
    void cmdScheduleBackup_Click();
    void cmdSchedules_Click();
    void cmdSaveSetupForNextRun_Click();
    void cmdSaveSetupAsOperationFile_Click();
    void cmdSaveSetupInBothWays_Click();
    void cmdDontSaveSetup_Click();
    bool blnLoadingSetup = false;

    // Controls (names as the rest of the program knows them).
    std::array<QLineEdit*, 2> txbDirectory{};
    std::array<QPushButton*, 2> cmdSpecifyDirectory{};
    std::array<QPushButton*, 3> cmdClearFolder{};
    QPushButton* cmdCreateSubFolder = nullptr;
    QComboBox* cboIncludedFolders = nullptr;
    QPushButton* cmdSelectSubfolders = nullptr;
    QPushButton* cmdRemoveSubfolder = nullptr;
    QCheckBox* chkIncludeSubfolders = nullptr;
    QLabel* lblBackupOnlyExtension = nullptr;
    QLineEdit* txbFileExtension = nullptr;
    QLabel* lblModifiedSince = nullptr;
    QComboBox* cboModifiedSince = nullptr;
    QLabel* lblSkipFilepaths = nullptr;
    QLineEdit* txbExcludedFilepaths = nullptr;
    QCheckBox* chkExcludeFilesInSourceFolder = nullptr;
    QCheckBox* chkPauseAfterFirstCopy = nullptr;
    QCheckBox* chkSuppressDetailedReports = nullptr;
    QCheckBox* chkSaveSetupOnQuit = nullptr;
    QFrame* fraMenu = nullptr;
    QPushButton* cmdListSubFolders = nullptr;
    QPushButton* cmdCheckBackupState = nullptr;
    QPushButton* cmdBackupAllFiles = nullptr;
    QPushButton* cmdBackupModifiedFiles = nullptr;
    QPushButton* cmdReportScreen = nullptr;
    QPushButton* cmdSetup = nullptr;
    QPushButton* cmdHelp = nullptr;
    QPushButton* cmdQuit = nullptr;
    QFrame* fraSetup = nullptr;
    QPushButton* cmdLoadSetup = nullptr;
    QPushButton* cmdSaveSetup = nullptr;
    QPushButton* cmdClearSetup = nullptr;
    QPushButton* cmdRestoreSetup = nullptr;
    QPushButton* cmdKeepSetup = nullptr;
    QPushButton* cmdRestoreFiles = nullptr;
    QPushButton* cmdVerifyBackup = nullptr;
    QCheckBox* chkKeepReplacedCopies = nullptr;
    QPushButton* cmdScheduleBackup = nullptr;
    QPushButton* cmdSchedules = nullptr;
    QFrame* fraSaveSetup = nullptr;
    QPushButton* cmdSaveSetupForNextRun = nullptr;
    QPushButton* cmdSaveSetupAsOperationFile = nullptr;
    QPushButton* cmdSaveSetupInBothWays = nullptr;
    QPushButton* cmdDontSaveSetup = nullptr;
    QLineEdit* txbSetupFile = nullptr;
    QLabel* lblPreviousRun = nullptr;
    QLabel* lblIntro = nullptr;
    QLabel* lblNumSubfolders = nullptr;
    QLabel* lblFreeSpace = nullptr;
    QLabel* lblTargetFolderIsEmpty = nullptr;
    std::array<QLabel*, 1> lblWarningReFilesInUse{};
    QFrame* fraCopyright = nullptr;
    QLabel* lblCopyright = nullptr;
    QLabel* lblCorvaneWorks = nullptr;
    QLabel* lblWebAddress = nullptr;
    QTimer* Clock = nullptr;
    QTimer* Clock2 = nullptr;

    // Window state.
    bool blnStartupCompleted = false;
    bool blnIgnoreMouseUp = false;
    // True from an operation button's command until its report is finished.
    bool blnOperationRunning = false;
    bool blnNextRunSetupCurrent = false;
    int intNextRunSetupTicks = 0;
    QString strNextRunSetupPath;
    // What loading the next-run setup last gave: 0 whole file (or none), else the failure.
    int intNextRunSetupReadResult = 0;
    // The included subfolders the last setup loaded could not find or read, in sentences;
    // and those of the next-run setup, which an unattended backup must not run without.
    QStringList strDroppedSubfolders;
    QStringList strNextRunDroppedSubfolders;
    QString strProgramTextFile;
    QStringList strRecycleBinNames;
    bool blnChoosingOtherFolder = false;
    // The Setup kept by the setup commands; its pause value is also the one remembered
    // while detailed reports are suppressed.
    Setup keptSetup;
    QString strKeptSetupFile; // the setup file's name when the Setup was cleared
    int intMaxLengthWithoutTip = 0;
    int intMaxSizeForSmallReportWindow = 0;
    qint32 lngMaxSizeTextboxContents = 0;

    frmView* Viewer() const { return viewer; }
    frmPopUp& PopUpWindow();
    // The report window, loaded when it is not.
    frmReport& ReportWindow();
    bool ReportWindowExists() const { return reportForm != nullptr; }

    // What the report window asks of this window.
    QRect OwnerFrame() const override;
    QRect OwnerScreen() const override;
    QRect OwnerAvailableAreaTwips() const override;
    void ShowOwnerNormal() override;
    int SmallReportTopTwips() const override;
    int MaxSizeForSmallReportWindow() const override { return intMaxSizeForSmallReportWindow; }
    qint32 MaxSizeTextboxContents() const override { return lngMaxSizeTextboxContents; }
    int SuppressDetailedReportsBox() const override;
    bool OperationRunning() const override { return blnOperationRunning; }
    void RequestStop() override { state.blnStop = state.blnInterrupted = true; }
    void ChooseSuppressDetailedReports(bool suppress) override {
        state.blnSuppressDetailedReports = suppress;
    }
    void ReportClosed() override;
    void Sleep(int milliseconds) override { services.Sleep(milliseconds); }
    void Beep() override { services.Beep(); }

    // What the confirmation asks of this window.
    QString SourceFolder() const override;
    bool SourceHasSubfolders() const override { return state.blnSubfoldersExist; }
    QPoint ConfirmationAnchor() const override;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

    // The report window as the window's buttons see it.
    bool ReportIsVisible() const;
    void ShowReportScreen();

    UnattendedDialogs dialogs;
    SystemShell& shell;
    WindowServices& services;
    WindowSteps& steps;

private:
    // The window's own behaviour behind WindowSteps: the window reaches them through steps,
    // so that a test sees and can stand in for every call.
    friend class WindowSteps;
    bool SaveSetupToFile(const QString& path, bool blnAnnounce);
    void RunOperationCommand(Operation operation);
    bool ReportHasText() const;
    bool ShowConfirmation();
    void ShowSubfolderSelection(SubfolderSelection& request);

    void CreateControls();
    void InitialiseMainWindow();
    void ArrangeMainWindow();
    void NextRunSetupGuardTick();
    void SaveSetupOnQuit();
    void EndRunningOperation();
    void ShowProgramTextFailure(const QString& message);
    void OnMouseUp(QPushButton* button, std::function<void()> handler);
    void SetPathTooltip(int index);
    QString ButtonCaption(const QPushButton* button) const;
    bool inLostFocus = false;
    bool blnProgramEnding = false; // Quit or the close box was used
    void SaveSetupFileFlow();
    // The Setup a setup file receives: every included subfolder the list shows.
    Setup SetupToSave() const;
    // The pause value the Setup holds: the box's, or while detailed reports are suppressed
    // (and the box is held off) the value remembered for when suppressing ends.
    int PauseValueKept() const;
    // Says that saving failed: text, then why the last save failed.
    void TellSetupNotSaved(const QString& text);
    QString strSetupSaveFailure; // why the last SaveSetupToFile failed, when it says
    // The reminder a setup file saved for a schedule carries; -1 for every other save.
    int intScheduleRemindAfterDays = -1;
    void LoadSetupFileFlow();
    void SetupPanelEnding();
    void PlaceSetupPanel(QFrame* panel, const QWidget* alignedWith);
    void SetCheckAsUser(QCheckBox* box, int value);
    // Keeping replaced copies is the user's setting, not the Setup's: read at start-up.
    void RestoreKeepReplacedSetting();
    QString savedNoticeCaption;
    bool savedNoticeVisible = false;
    QFont savedNoticeFont;
    QPalette savedNoticePalette;

    OperationState state;
    QString programFolder;
    QHash<QObject*, std::function<void()>> mouseUpHandlers;
    QList<QObject*> focusOnHover;
    frmView* viewer = nullptr;
    frmPopUp* popUp = nullptr;
    frmReport* reportForm = nullptr;
    frmSelectSubfolders* selectionWindow = nullptr;
};

} // namespace vnt
