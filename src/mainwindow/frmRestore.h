#pragma once
// The restore window: the backup's tree with tick boxes, the versions of the file chosen, the
// time to restore as of, where to, and whether differing files are replaced. The restore
// itself runs in the engine and reports in the main window's report window.

#include "backup/OperationState.h"

#include <memory>
#include <QDialog>
#include <vector>

class QCheckBox;
class QComboBox;
class QLabel;
class QPushButton;
class QRadioButton;
class QTreeWidget;
class QTreeWidgetItem;

namespace vnt {

class CatalogReader;
struct CatalogRun;
class Dialogs;
class MainHooks;

// What the window needs of the main window: its report and lock, as its operations use
// them, and the flags that the report's Cancel and Quit read and set.
struct RestoreOwner {
    MainHooks& main;
    OperationState& state;
    bool& operationRunning;
};

class frmRestore : public QDialog {
    Q_OBJECT
public:
    frmRestore(const Setup& setup, Dialogs& dialogs, RestoreOwner owner, QWidget* parent = nullptr);
    ~frmRestore() override;

    // The ticked files and folders, relative to the source; a ticked folder stands for all
    // below it.
    QStringList TickedPaths() const;
    // The tree's item for a path, reading the folders on the way; null when there is none.
    QTreeWidgetItem* ItemOf(const QString& path);

    void cmdRestore_Click();

    QLabel* lblTarget = nullptr;
    QLabel* lblLastBackup = nullptr; // the catalogue's last run and how it ended
    QTreeWidget* tvwFiles = nullptr;
    QTreeWidget* lvwVersions = nullptr;
    QComboBox* cboAsOf = nullptr;
    QLabel* lblHistory = nullptr;
    QRadioButton* optOwnPlace = nullptr;
    QRadioButton* optOtherFolder = nullptr;
    QLabel* lblDestination = nullptr;
    QCheckBox* chkReplace = nullptr;
    QPushButton* cmdRestore = nullptr;
    QPushButton* cmdClose = nullptr;

private:
    void FillChildren(QTreeWidgetItem* parent, const QString& folder);
    void Expanded(QTreeWidgetItem* item);
    void Ticked(QTreeWidgetItem* item);
    void ShowVersions(QTreeWidgetItem* item);
    void OtherFolderChosen(bool on);

    const Setup setup;
    Dialogs& dialogs;
    RestoreOwner owner;
    std::unique_ptr<CatalogReader> catalog;
    std::vector<CatalogRun> runs;
    QString destination; // another folder chosen; empty: the files' own place
    bool ticking = false;
    bool choosing = false;
};

} // namespace vnt
