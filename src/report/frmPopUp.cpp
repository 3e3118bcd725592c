#include "report/frmPopUp.h"

#include "platform/Twips.h"

#include <QEvent>
#include <QKeyEvent>
#include <QLabel>
#include <QMouseEvent>
#include <QTimer>

namespace vnt {

frmPopUp::frmPopUp(QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint) {
    setObjectName(QStringLiteral("frmPopUp"));
    setModal(true);
    setStyleSheet(QStringLiteral("frmPopUp, QLabel { background: #fff8dc; }"
                                 "QLabel { border: 1px solid #8a7f5a; color: #202020; }"));
    ResizeWindowTwips(this, 3495, 1995);
    lblMessage = new QLabel(this);
    lblMessage->setObjectName(QStringLiteral("lblMessage"));
    lblMessage->setAlignment(Qt::AlignCenter);
    lblMessage->setWordWrap(true);
    lblMessage->setCursor(Qt::PointingHandCursor);
    SetTwipsGeometry(lblMessage, 0, 0, 3360, 1740);
    lblMessage->installEventFilter(this);

    Timer1 = new QTimer(this);
    Timer1->setSingleShot(true);
    Timer1->setInterval(2000);
    connect(Timer1, &QTimer::timeout, this, &frmPopUp::Timer1_Timer);
}

bool frmPopUp::PopUp(const QString& strMessage, int intWidth, int intHeight, int intInterval,
                     int intTop, int intLeft) {
    lblMessage->setText(strMessage);
    ResizeWindowTwips(this, intWidth, intHeight);
    lblMessage->resize(size());
    MoveWindowTwips(this, intLeft, intTop);
    return ShowUntilClosed(intInterval);
}

bool frmPopUp::PopUpInForm(QWidget* frmMe, const QString& strMessage, int intWidth, int intHeight,
                           int intInterval, int intTop, int intLeft) {
    const QPoint origin = frmMe->frameGeometry().topLeft();
    move(origin.x() + TwipsToPixels(intLeft, this), origin.y() + TwipsToPixels(intTop, this));
    lblMessage->setText(strMessage);
    ResizeWindowTwips(this, intWidth, intHeight);
    lblMessage->resize(width(), lblMessage->height());
    return ShowUntilClosed(intInterval);
}

bool frmPopUp::ShowUntilClosed(int intInterval) {
    closedByClick = false;
    Timer1->setInterval(intInterval);
    Timer1->start();
    exec();
    raise();
    return closedByClick;
}

void frmPopUp::Timer1_Timer() {
    Timer1->stop();
    hide();
}

void frmPopUp::lblMessage_MouseUp() {
    closedByClick = true;
    Timer1->stop();
    hide();
}

bool frmPopUp::eventFilter(QObject* watched, QEvent* event) {
    if (watched == lblMessage && event->type() == QEvent::MouseButtonRelease) {
        lblMessage_MouseUp();
        return true;
    }
    return QDialog::eventFilter(watched, event);
}

} // namespace vnt

namespace vnt {

// Without a mouse, any of these keys does what a click does.
void frmPopUp::keyPressEvent(QKeyEvent* event) {
    switch (event->key()) {
    case Qt::Key_Escape:
    case Qt::Key_Return:
    case Qt::Key_Enter:
    case Qt::Key_Space:
        lblMessage_MouseUp();
        break;
    default:
        QDialog::keyPressEvent(event);
    }
}

} // namespace vnt
