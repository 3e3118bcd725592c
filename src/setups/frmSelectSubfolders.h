#pragma once
// The subfolder selection window: reads the source's subfolders, describes each in a row
// and lets the user tick them in a paged list of a few check boxes.

#include "setups/SubfolderRows.h"

#include <QDialog>
#include <vector>

class QCheckBox;
class QLabel;
class QPushButton;
class QScrollBar;

namespace vnt {

class Dialogs;

class frmSelectSubfolders : public QDialog {
    Q_OBJECT
public:
    frmSelectSubfolders(Dialogs& dialogs, QString targetFolder, QWidget* parent = nullptr);

    // Given before showing, read after.
    bool blnFolderSelectionAccepted = false;
    QString strCaption;
    QString strTopFolder;
    int intMaxNumCheckboxes = 11;
    QString strFoldersPassedToSelectFoldersForm;
    QString strFoldersReturnedFromSelectFoldersForm;
    bool blnSomeSubfolderHasSubfolders = false;
    // Recycle bins at the top are never offered.
    const bool blnExcludeRecycleBin = true;

    QWidget* picSubfolders = nullptr;
    QLabel* lblReading = nullptr;
    std::vector<QCheckBox*> chkSubfolder;
    QScrollBar* vsbScrollBar = nullptr;
    QPushButton* cmdAccept = nullptr;
    QPushButton* cmdCancel = nullptr;
    QPushButton* cmdSelectDeselectAllSubfolders[2] = {nullptr, nullptr};
    QLabel* lblNumSubfolders = nullptr;

    // The opening sequence; runs when the window is shown.
    void Form_Activate();
    void chkSubfolder_Click(int index);
    void cmdSelectDeselectAllSubfolders_Click(int index);
    void vsbScrollBar_Change();
    void cmdAccept_Click();
    void cmdCancel_Click();

    // The request's values, given before showing; the answer, written back after.
    void TakeRequest(const SubfolderSelection& request);
    void GiveAnswer(SubfolderSelection& request) const;

    bool IsBusy() const { return busy; }
    void SetTargetFolder(const QString& folder) { targetFolder = folder; }
    const std::vector<SubfolderRow>& Rows() const { return rows; }
    int TopRow() const { return top; }

protected:
    void showEvent(QShowEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    void BuildList();
    void RemoveBoxes();
    void UpdateCountLine();
    void LayOut();
    bool IsTargetRow(const QString& row) const;
    void SetBox(int index, int value);

    Dialogs& dialogs;
    QString targetFolder;
    std::vector<SubfolderRow> rows;
    bool busy = false;
    bool stopReading = false;
    bool settingBoxes = false;
    int top = 0;
};

} // namespace vnt
