#include "report/frmView.h"

#include "platform/Controls.h"
#include "platform/Dialogs.h"
#include "platform/FileErrors.h"
#include "platform/Twips.h"
#include "report/ViewerText.h"

#include <QEvent>
#include <QKeyEvent>
#include <QPlainTextEdit>
#include <QPushButton>

namespace vnt {

frmView::frmView(Dialogs& dialogsIn, QWidget* parent)
    : QWidget(parent, Qt::Window), dialogs(dialogsIn) {
    setObjectName(QStringLiteral("frmView"));
    txbText1 = new QPlainTextEdit(this);
    txbText1->setObjectName(QStringLiteral("txbText1"));
    txbText1->setReadOnly(true);
    txbText1->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    // The help file aligns its table of contents in columns.
    txbText1->setFont(FixedPitchFont());
    cmdClose = new QPushButton(QStringLiteral("Close"), this);
    cmdClose->setObjectName(QStringLiteral("cmdClose"));
    connect(cmdClose, &QPushButton::clicked, this, &frmView::cmdClose_Click);

    ResizeWindowTwips(this, 11670, 6660);
    SetTwipsGeometry(txbText1, 105, 105, 11460, 5760);
    SetTwipsGeometry(cmdClose, 4680, 6120, 2220, 330);
}

bool frmView::event(QEvent* event) {
    const bool handled = QWidget::event(event);
    // The file is read each time the window comes to the front, once: the Help command reads
    // it as it shows the window, and the activation that follows (or that arrives for a
    // window already hidden again) must not read it, nor report an empty file, a second time.
    if (event->type() == QEvent::WindowActivate && isVisible() && !textIsCurrent)
        Form_Activate();
    else if (event->type() == QEvent::WindowDeactivate)
        textIsCurrent = false;
    return handled;
}

void frmView::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    Form_Resize();
}

void frmView::ShowFile(const QString& path, const QString& caption) {
    strFilename = path;
    setWindowTitle(caption);
    show();
    raise();
    activateWindow();
    // Some platforms (and tests) never activate a window: read the file all the same.
    if (!isActiveWindow())
        Form_Activate();
}

void frmView::Form_Activate() {
    textIsCurrent = true;
    cmdClose->setText(QStringLiteral("Close"));
    txbText1->clear();
    txbText1->setReadOnly(true);
    Form_Resize();

    QByteArray bytes;
    const FileError error = ReadWholeFile(strFilename, bytes);
    if (error || bytes.isEmpty()) {
        displayedText.clear();
        hide();
        if (!error)
            dialogs.inform(this, QStringLiteral("File is empty!"), QStringLiteral("Error"),
                           MsgIcon::Warning);
        else
            dialogs.inform(this,
                           QStringLiteral("Error ") + QString::number(error.number) +
                               QStringLiteral(".  ") + error.description,
                           QStringLiteral("Error reading file"), MsgIcon::Warning);
        return;
    }
    displayedText = ViewerText(QString::fromUtf8(bytes));
    // The text box shows line breaks, not carriage returns.
    txbText1->setPlainText(
        QString(displayedText).replace(QStringLiteral("\r\n"), QStringLiteral("\n")));
    txbText1->moveCursor(QTextCursor::Start);
}

void frmView::Form_Resize() {
    if (isMinimized() || resizing)
        return;
    resizing = true;
    const int minWidth = TwipsToPixels(4000, this);
    const int minHeight = TwipsToPixels(3000, this);
    if (width() < minWidth || height() < minHeight)
        resize(std::max(width(), minWidth), std::max(height(), minHeight));
    const int w = PixelsToTwips(width(), this);
    const int h = PixelsToTwips(height(), this);
    const QRect box = TwipsGeometry(txbText1);
    const QRect close = TwipsGeometry(cmdClose);
    // The text box keeps 320 twips of the window's width and 1,200 of its height for the
    // margins and the button. Qt measures the client area, which lacks the frame (about
    // 110 twips across and 400 down with the title bar), so those are taken off here.
    SetTwipsGeometry(txbText1, box.x(), box.y(), w - 320 + 110, h - 1200 + 400);
    const QRect newBox = TwipsGeometry(txbText1);
    SetTwipsGeometry(cmdClose, (w - close.width()) / 2, newBox.y() + newBox.height() + 100,
                     close.width(), close.height());
    resizing = false;
}

void frmView::cmdClose_Click() {
    hide();
}

void frmView::keyPressEvent(QKeyEvent* event) {
    if (event->key() == Qt::Key_Escape)
        cmdClose_Click();
    else
        QWidget::keyPressEvent(event);
}

} // namespace vnt
