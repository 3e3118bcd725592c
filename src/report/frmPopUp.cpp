#include "report/frmPopUp.h"

#include "platform/Twips.h"

#include <QApplication>
#include <QEvent>
#include <QEventLoop>
#include <QKeyEvent>
#include <QLabel>
#include <QMouseEvent>
#include <QTimer>
#include <QWindow>

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
    MoveWindowTwips(this, intLeft, intTop);
    FitToMessage(false);
    return ShowUntilClosed(intInterval, false);
}

bool frmPopUp::PopUpInForm(QWidget* frmMe, const QString& strMessage, int intWidth, int intHeight,
                           int intInterval, int intTop, int intLeft) {
    const QPoint origin = frmMe->frameGeometry().topLeft();
    move(origin.x() + TwipsToPixels(intLeft, this), origin.y() + TwipsToPixels(intTop, this));
    lblMessage->setText(strMessage);
    ResizeWindowTwips(this, intWidth, intHeight);
    // It lies near the bottom of frmMe: should it need to grow, it grows upwards.
    FitToMessage(true);
    return ShowUntilClosed(intInterval, true);
}

// The label fills the window, and the window grows taller when the message needs more room
// than the caller gave: the measures are in twips, the font is the desktop's, and only
// the font's own measure says whether every line shows.
void frmPopUp::FitToMessage(bool keepBottom) {
    lblMessage->setGeometry(rect());
    const int needed = lblMessage->heightForWidth(width());
    if (needed <= height())
        return;
    const int growth = needed - height();
    resize(width(), needed);
    lblMessage->setGeometry(rect());
    if (keepBottom)
        move(x(), y() - growth);
}

bool frmPopUp::ShowUntilClosed(int intInterval, bool ownerStaysClosable) {
    closedByClick = false;
    blnClosedWithOwner = false;
    Timer1->setInterval(intInterval);
    Timer1->start();
    if (!ownerStaysClosable) {
        exec();
    } else {
        // Qt drops a close box's request to a window that a modal one blocks; so this
        // pop-up shows without modality and holds back the other windows' input itself.
        setModal(false);
        qApp->installEventFilter(this);
        QEventLoop loop;
        ownLoop = &loop;
        show();
        raise();
        activateWindow();
        loop.exec(QEventLoop::DialogExec);
        ownLoop = nullptr;
        qApp->removeEventFilter(this);
        setModal(true);
        if (isVisible()) // the program's end left the loop
            Finish();
    }
    raise();
    return closedByClick;
}

void frmPopUp::Finish() {
    Timer1->stop();
    hide();
    if (ownLoop != nullptr)
        ownLoop->quit();
}

void frmPopUp::Timer1_Timer() {
    Finish();
}

void frmPopUp::lblMessage_MouseUp() {
    closedByClick = true;
    Finish();
}

void frmPopUp::CloseWithOwner() {
    closedByClick = true;
    blnClosedWithOwner = true;
    Finish();
}

namespace {

bool IsUserInput(QEvent::Type type) {
    switch (type) {
    case QEvent::MouseButtonPress:
    case QEvent::MouseButtonRelease:
    case QEvent::MouseButtonDblClick:
    case QEvent::MouseMove:
    case QEvent::Enter:
    case QEvent::HoverEnter:
    case QEvent::HoverMove:
    case QEvent::Wheel:
    case QEvent::KeyPress:
    case QEvent::KeyRelease:
    case QEvent::ShortcutOverride:
    case QEvent::Shortcut:
    case QEvent::ContextMenu:
    case QEvent::TouchBegin:
    case QEvent::TouchUpdate:
    case QEvent::TouchEnd:
    case QEvent::TabletPress:
    case QEvent::TabletRelease:
        return true;
    default:
        return false;
    }
}

} // namespace

bool frmPopUp::eventFilter(QObject* watched, QEvent* event) {
    if (ownLoop != nullptr && IsUserInput(event->type())) {
        // Input for any other window is dropped, as a modal window would have it.
        const auto* widget = qobject_cast<const QWidget*>(watched);
        const auto* window = qobject_cast<const QWindow*>(watched);
        if ((widget != nullptr && widget->window() != this) ||
            (window != nullptr && window != windowHandle()))
            return true;
    }
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
