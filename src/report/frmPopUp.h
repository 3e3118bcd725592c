#pragma once
// A short message that closes by itself after a while or as soon as it is clicked.

#include <QDialog>

class QEventLoop;
class QKeyEvent;
class QLabel;
class QTimer;

namespace vnt {

class frmPopUp : public QDialog {
    Q_OBJECT
public:
    explicit frmPopUp(QWidget* parent = nullptr);

    // Show the message modally at a screen position; measures in twips and milliseconds.
    // Returns true when the user closed it by a click, false when its time ran out.
    bool PopUp(const QString& strMessage, int intWidth, int intHeight, int intInterval, int intTop,
               int intLeft);
    // The same with top and left as offsets from the window frmMe. While it shows, frmMe
    // takes no input but its close box, which closes the pop-up through CloseWithOwner.
    bool PopUpInForm(QWidget* frmMe, const QString& strMessage, int intWidth, int intHeight,
                     int intInterval, int intTop, int intLeft);

    void Timer1_Timer();
    void lblMessage_MouseUp();
    // The window the pop-up lies over is closing: the pop-up goes with it, and that counts
    // as the user's answer.
    void CloseWithOwner();
    bool blnClosedWithOwner = false;

    QLabel* lblMessage = nullptr;
    QTimer* Timer1 = nullptr;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

private:
    bool ShowUntilClosed(int intInterval, bool ownerStaysClosable);
    void FitToMessage(bool keepBottom);
    void Finish();
    bool closedByClick = false;
    QEventLoop* ownLoop = nullptr; // while other windows' close boxes stay available
};

} // namespace vnt
