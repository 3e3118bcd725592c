#pragma once
// Asks, over the main window, whether a backup may go ahead.

#include <QDialog>

class QLabel;
class QPushButton;

namespace vnt {

class ConfirmOwner;

class frmConfirmOperation : public QDialog {
    Q_OBJECT
public:
    frmConfirmOperation(ConfirmOwner& owner, QWidget* parent);

    bool blnPerformOperation = false;
    QLabel* lblDescr = nullptr;
    QLabel* lblPerformOperation = nullptr;
    QPushButton* cmdYes = nullptr;
    QPushButton* cmdNo = nullptr;

    void Form_Activate();
    void cmdYes_Click();
    void cmdNo_Click();

protected:
    void showEvent(QShowEvent* event) override;
    void reject() override; // the close box and Escape count as No

private:
    ConfirmOwner& owner;
};

} // namespace vnt
