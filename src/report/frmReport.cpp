#include "report/frmReport.h"

#include "mainwindow/Language.h"
#include "platform/Controls.h"
#include "platform/DataFolder.h"
#include "platform/Dialogs.h"
#include "platform/Names.h"
#include "platform/SystemShell.h"
#include "platform/Twips.h"
#include "report/Owners.h"

#include <algorithm>
#include <QCheckBox>
#include <QClipboard>
#include <QCloseEvent>
#include <QComboBox>
#include <QCoreApplication>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMouseEvent>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScreen>
#include <QScrollBar>
#include <QTextBlock>
#include <QTimer>

namespace vnt {

namespace {

// The rules measure a window with its frame; Qt sizes its client area.
constexpr int FrameWidth = WindowFrameWidth;
constexpr int FrameHeight = WindowFrameHeight;

const QString CountingNotice = QStringLiteral("Counting files ... ");

int Px(int twips, const QWidget* widget) {
    return TwipsToPixels(twips, widget);
}

} // namespace

frmReport::frmReport(ReportOwner& ownerIn, Dialogs& dialogsIn, SystemShell& shellIn,
                     QWidget* parent)
    : QWidget(parent, Qt::Window), owner(ownerIn), dialogs(dialogsIn), shell(shellIn) {
    setObjectName(QStringLiteral("frmReport"));
    lblSourceDirpath = MakeLabel(this, "lblSourceDirpath");
    lblTargetDirpath = MakeLabel(this, "lblTargetDirpath");
    Label1 = MakeLabel(this, "Label1", QStringLiteral("File now being copied: "));
    lblFileName = MakeLabel(this, "lblFileName");
    txbText = new QPlainTextEdit(this);
    txbText->setObjectName(QStringLiteral("txbText"));
    txbText->setReadOnly(true);
    txbText->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    txbText->setLineWrapMode(QPlainTextEdit::NoWrap);
    // A report is read, never edited: no undo step for every line appended.
    txbText->setUndoRedoEnabled(false);
    txbText->viewport()->installEventFilter(this);
    lblBytesCopied = MakeLabel(this, "lblBytesCopied", QStringLiteral("Copied: "));
    lblFreeSpace = MakeLabel(this, "lblFreeSpace", QStringLiteral("Free space: "));
    cmdCopyToClipboard =
        MakeButton(this, "cmdCopyToClipboard", QStringLiteral("Copy selected text to clipboard"));
    cmdPauseContinue = MakeButton(this, "cmdPauseContinue", QStringLiteral("Continue"));
    cmdCancelClose = MakeButton(this, "cmdCancelClose", QStringLiteral("Cancel operation"));
    cmdOpenReportFile =
        MakeButton(this, "cmdOpenReportFile", QStringLiteral("Open whole report"));
    chkSuppressDisplayOfReport = new QCheckBox(QStringLiteral("Suppress display of report"), this);
    chkSuppressDisplayOfReport->setObjectName(QStringLiteral("chkSuppressDisplayOfReport"));

    connect(cmdPauseContinue, &QPushButton::clicked, this, &frmReport::cmdPauseContinue_Click);
    connect(cmdCancelClose, &QPushButton::clicked, this, &frmReport::cmdCancelClose_Click);
    connect(cmdCopyToClipboard, &QPushButton::clicked, this, &frmReport::cmdCopyToClipboard_Click);
    connect(cmdOpenReportFile, &QPushButton::clicked, this, &frmReport::cmdOpenReportFile_Click);
    connect(chkSuppressDisplayOfReport, &QCheckBox::clicked, this,
            &frmReport::chkSuppressDisplayOfReport_Click);
}

void frmReport::EnsureLoaded() {
    if (!loaded)
        Form_Load();
}

void frmReport::Form_Load() {
    // The design layout, client area 8,505 x 6,900 twips.
    resize(Px(8505, this), Px(6900, this));
    SetTwipsGeometry(lblSourceDirpath, 240, 120, 8100, 360);
    SetTwipsGeometry(lblTargetDirpath, 240, 450, 8100, 360);
    SetTwipsGeometry(Label1, 240, 780, 2500, 360);
    SetTwipsGeometry(lblFileName, 2400, 780, 5900, 360);
    SetTwipsGeometry(txbText, 210, 1200, 8100, 4305);
    SetTwipsGeometry(lblBytesCopied, 210, 5670, 5055, 225);
    SetTwipsGeometry(lblFreeSpace, 5460, 5670, 2850, 225);
    SetTwipsGeometry(cmdCopyToClipboard, 210, 5985, 3165, 330);
    SetTwipsGeometry(cmdPauseContinue, 3675, 5985, 1215, 330);
    SetTwipsGeometry(cmdCancelClose, 6360, 5985, 2000, 330);
    SetTwipsGeometry(chkSuppressDisplayOfReport, 2400, 6480, 2985, 330);
    Label1->setText(QStringLiteral("File now being copied: "));
    lblSourceDirpath->clear();
    lblTargetDirpath->clear();
    lblFileName->clear();
    cmdCopyToClipboard->setText(QStringLiteral("Copy selected text to clipboard"));
    cmdPauseContinue->setText(QStringLiteral("Continue"));
    cmdCancelClose->setText(QStringLiteral("Cancel operation"));
    for (QWidget* control : {cmdCopyToClipboard, cmdPauseContinue, cmdCancelClose})
        control->show();
    // Offered once a finished report has its file; placed with the buttons.
    SetTwipsGeometry(cmdOpenReportFile, 3675, 5985, 2400, 330);
    cmdOpenReportFile->hide();

    lblFreeSpace->clear();
    lblBytesCopied->clear();
    SetControlsFont(this, QStringLiteral("Arial"), false, true);
    QFont reportFont(QStringLiteral("Courier New"));
    reportFont.setStyleHint(QFont::Monospace);
    // Fixed-pitch text needs no kerning or ligatures: simple shaping draws it the same, and
    // a long report is laid out in a fraction of the time.
    reportFont.setStyleStrategy(QFont::PreferNoShaping);
    txbText->setFont(reportFont);
    intPauseInSeconds = 15;
    blnPaused = false;
    blnReportBufferFull = false;
    strNumFilesInFolder.clear();
    SetShown(QString());
    // A report discarded with its window keeps its file while its operation still runs.
    if (!keptReport.IsOpen())
        reportFilePath.clear();
    QPalette palette = chkSuppressDisplayOfReport->palette();
    palette.setColor(QPalette::Window, this->palette().color(QPalette::Window));
    chkSuppressDisplayOfReport->setPalette(palette);
    SetCheckValue(chkSuppressDisplayOfReport, 0);
    loaded = true;
}

bool frmReport::event(QEvent* e) {
    const bool handled = QWidget::event(e);
    if (e->type() == QEvent::WindowActivate)
        Form_Activate();
    return handled;
}

QRect frmReport::OuterGeometryTwips() const {
    const QPoint origin = frameGeometry().topLeft();
    return {PixelsToTwips(origin.x(), this), PixelsToTwips(origin.y(), this),
            PixelsToTwips(width(), this) + FrameWidth, PixelsToTwips(height(), this) + FrameHeight};
}

void frmReport::SetOuterGeometryTwips(int left, int top, int width, int height) {
    move(Px(left, this), Px(top, this));
    resize(Px(width - FrameWidth, this), Px(height - FrameHeight, this));
}

void frmReport::Form_Activate() {
    if (isMinimized())
        showNormal();
    const QRect mainFrame = owner.OwnerFrame();
    const int mainLeft = PixelsToTwips(mainFrame.x(), this);
    const int mainWidth = PixelsToTwips(mainFrame.width(), this);
    int left = mainLeft - 2000;
    if (left <= 0)
        left = 100;
    int width = mainWidth + 4000;
    if (const QRect screen = owner.OwnerScreen(); !screen.isNull()) {
        const int screenWidth = PixelsToTwips(screen.width(), this);
        if (width > screenWidth)
            width = screenWidth - 100;
    }
    const QRect outer = OuterGeometryTwips();
    const QRect kept =
        KeptInside({left, outer.y(), width, outer.height()}, owner.OwnerAvailableAreaTwips());
    width = kept.width();
    SetOuterGeometryTwips(kept.x(), kept.y(), width, kept.height());
    const QRect box = TwipsGeometry(txbText);
    SetTwipsGeometry(txbText, box.x(), box.y(), width - 2 * box.x() - 220, box.height());

    if (text.size() <= owner.MaxSizeForSmallReportWindow())
        ResizeForm(owner.SmallReportTopTwips(), 4500);
    const QRect newBox = TwipsGeometry(txbText);
    const QRect cancel = TwipsGeometry(cmdCancelClose);
    SetTwipsGeometry(cmdCancelClose, newBox.x() + newBox.width() - cancel.width(), cancel.y(),
                     cancel.width(), cancel.height());
    lblBytesCopied->hide();
    lblFreeSpace->hide();
    const QRect free = TwipsGeometry(lblFreeSpace);
    SetTwipsGeometry(lblFreeSpace, newBox.x() + newBox.width() - free.width(), free.y(),
                     free.width(), free.height());
    SetReportButtons2();
    FocusIfAvailable(cmdPauseContinue);
    chkSuppressDisplayOfReport->hide();
    const QRect source = TwipsGeometry(lblSourceDirpath);
    SetTwipsGeometry(lblSourceDirpath, source.x(), source.y(), width - 240, source.height());
    const QRect target = TwipsGeometry(lblTargetDirpath);
    SetTwipsGeometry(lblTargetDirpath, target.x(), target.y(), width - 240, target.height());
    const QRect name = TwipsGeometry(lblFileName);
    SetTwipsGeometry(lblFileName, name.x(), name.y(), width - 120 - name.x(), name.height());
    update();
}

void frmReport::ResizeForm(int intTop, int intHeight) {
    const int mainTop = PixelsToTwips(owner.OwnerFrame().y(), this);
    const QRect outer = OuterGeometryTwips();
    // Placed beside the main window where that fits, else moved up and, on a small screen,
    // made lower: the buttons at its foot stay within reach.
    const QRect kept = KeptInside({outer.x(), mainTop + intTop, outer.width(), intHeight},
                                  owner.OwnerAvailableAreaTwips());
    intHeight = kept.height();
    SetOuterGeometryTwips(kept.x(), kept.y(), kept.width(), intHeight);
    const QRect box = TwipsGeometry(txbText);
    SetTwipsGeometry(txbText, box.x(), box.y(), box.width(), intHeight - box.y() - 1400);
    const int labelTop = box.y() + (intHeight - box.y() - 1400) + 100;
    const QRect bytes = TwipsGeometry(lblBytesCopied);
    SetTwipsGeometry(lblBytesCopied, bytes.x(), labelTop, bytes.width(), bytes.height());
    const QRect free = TwipsGeometry(lblFreeSpace);
    SetTwipsGeometry(lblFreeSpace, free.x(), labelTop, free.width(), free.height());
    const QRect pause = TwipsGeometry(cmdPauseContinue);
    const int pauseLeft = (outer.width() - pause.width()) / 2;
    SetTwipsGeometry(cmdPauseContinue, pauseLeft, pause.y(), pause.width(), pause.height());
    const QRect check = TwipsGeometry(chkSuppressDisplayOfReport);
    SetTwipsGeometry(chkSuppressDisplayOfReport, pauseLeft + pause.width() + 100, pause.y(),
                     check.width(), check.height());
}

void frmReport::SetReportButtons2() {
    const QRect bytes = TwipsGeometry(lblBytesCopied);
    const int top = bytes.y() + bytes.height() + 100;
    for (QPushButton* button :
         {cmdCopyToClipboard, cmdPauseContinue, cmdCancelClose, cmdOpenReportFile}) {
        const QRect g = TwipsGeometry(button);
        SetTwipsGeometry(button, g.x(), top, g.width(), g.height());
    }
    const QRect pause = TwipsGeometry(cmdPauseContinue);
    const QRect check = TwipsGeometry(chkSuppressDisplayOfReport);
    SetTwipsGeometry(chkSuppressDisplayOfReport, pause.x() + pause.width() + 100, top,
                     check.width(), check.height());
}

void frmReport::SetReportButtons(bool blnCopyToClipboardVisible, bool blnPauseContinueVisible,
                                 const QString& strPauseContinueCaption, bool blnCancelCloseVisible,
                                 const QString& strCancelCloseCaption) {
    EnsureLoaded();
    // An operation starts or ends here, or waits for Continue: the first chance to serve
    // events comes at once, and the window is drawn whenever it needs to be.
    eventClock.invalidate();
    grownTo = {};
    if (blnCopyToClipboardVisible) {
        cmdCopyToClipboard->setText(QStringLiteral("Copy to clipboard"));
        const QRect g = TwipsGeometry(cmdCopyToClipboard);
        SetTwipsGeometry(cmdCopyToClipboard, g.x(), g.y(), 2000, g.height());
        cmdCopyToClipboard->show();
    } else {
        cmdCopyToClipboard->hide();
    }

    if (blnPauseContinueVisible) {
        cmdPauseContinue->setText(strPauseContinueCaption);
        const QRect outer = OuterGeometryTwips();
        const QRect g = TwipsGeometry(cmdPauseContinue);
        SetTwipsGeometry(cmdPauseContinue, (outer.width() - g.width()) / 2, g.y(), g.width(),
                         g.height());
        cmdPauseContinue->show();
        chkSuppressDisplayOfReport->setVisible(strPauseContinueCaption == u"Continue" &&
                                               OffersSuppressBox());
    } else {
        cmdPauseContinue->hide();
        chkSuppressDisplayOfReport->hide();
    }

    if (blnCancelCloseVisible) {
        cmdCancelClose->setText(strCancelCloseCaption);
        const int width = strCancelCloseCaption == u"Cancel operation" ? 2000 : 1000;
        const QRect box = TwipsGeometry(txbText);
        const QRect g = TwipsGeometry(cmdCancelClose);
        SetTwipsGeometry(cmdCancelClose, box.x() + box.width() - width, g.y(), width, g.height());
        cmdCancelClose->show();
    } else {
        cmdCancelClose->hide();
    }

    // The whole report opens from its file once the operation is over; the button stands
    // left of the close button, clear of the copy button at its widest (3,165 twips, when
    // it offers the selection) where the window is wide enough, else of the copy button as
    // it is now.
    cmdOpenReportFile->setVisible(blnCopyToClipboardVisible && !blnPauseContinueVisible &&
                                  !reportFilePath.isEmpty());
    const QRect close = TwipsGeometry(cmdCancelClose);
    const QRect copy = TwipsGeometry(cmdCopyToClipboard);
    const QRect open = TwipsGeometry(cmdOpenReportFile);
    const int room = close.x() - copy.x() - 400;
    const int openWidth =
        room - 3165 >= 2400 ? 2400 : std::clamp(room - copy.width(), 1000, 2400);
    SetTwipsGeometry(cmdOpenReportFile, close.x() - 200 - openWidth, open.y(), openWidth,
                     open.height());
    SetReportButtons2();
    if (!cmdCopyToClipboard->isHidden())
        cmdCopyToClipboard->setEnabled(!text.isEmpty());
    if (isVisible())
        update();
}

void frmReport::OperationStarted() {
    SetReportButtons(false, true, ProgramText(44), false, QString());
}

void frmReport::OperationFinished() {
    SetReportButtons(true, false, QString(), true, ProgramText(58));
}

void frmReport::ClearForOperation() {
    SetText(QString());
    SetCheckValue(chkSuppressDisplayOfReport, 0);
}

void frmReport::FileListStarted() {
    Form_Activate();
    intPauseInSeconds = 15;
    ShowReport();
    SetReportButtons(false, false, ProgramText(44), false, QString());
}

void frmReport::FileListPausable() {
    cmdPauseContinue->setText(QStringLiteral("Pause"));
    cmdPauseContinue->show();
    // Shown only once the list is paused.
    cmdCancelClose->setText(QStringLiteral("Cancel operation"));
    update();
}

bool frmReport::FileListCancelled() const {
    return cmdCancelClose->text() == u"Close";
}

void frmReport::ShowAgain() {
    cmdCancelClose->setText(ProgramText(58));
    cmdCancelClose->show();
    cmdPauseContinue->hide();
    cmdCopyToClipboard->setText(ProgramText(112));
    cmdCopyToClipboard->show();
    if (text.size() > 1000 && owner.SuppressDetailedReportsBox() == 0)
        GrowBesideOwner();
    ShowReport();
    txbText->moveCursor(QTextCursor::Start);
    txbText->setFocus();
}

void frmReport::GrowBesideOwner() {
    const int mainHeight = PixelsToTwips(owner.OwnerFrame().height(), this);
    ResizeForm(850, static_cast<qint16>(mainHeight - 1000));
    SetReportButtons2();
}

void frmReport::EndPause() {
    blnPaused = false;
}

void frmReport::Output(const QString& strText, bool blnCRLF) {
    EnsureLoaded();
    if (isMinimized())
        showNormal();
    owner.ShowOwnerNormal();

    // Grown once, and again only when the main window has moved or either has been resized.
    if (text.size() > owner.MaxSizeForSmallReportWindow() &&
        owner.SuppressDetailedReportsBox() == 0 &&
        (grownBeside != owner.OwnerFrame() || grownTo != geometry())) {
        GrowBesideOwner();
        grownBeside = owner.OwnerFrame();
        grownTo = geometry();
    }

    const QString piece = blnCRLF ? strText + QStringLiteral("\r\n") : strText;
    // The file keeps every piece, also those the text box lets go.
    keptReport.Append(piece);
    // Full when the text already passed the capacity: a piece that reaches it exactly is kept.
    const bool full = text.size() > owner.MaxSizeTextboxContents();
    // A whole line goes in as one piece: the text box then lays it out only when it needs to.
    AppendShown(piece);
    if (full)
        KeepWithinCapacity();
    if (blnCRLF)
        MoveCaretToEnd();
    // Clicks on Pause, Cancel and the close box are handled here. Drawing the window for
    // every line would cost more than the work itself, so pending events are served (and
    // the window drawn) at most every 40 ms: a click still takes effect at once to a person.
    if (!eventClock.isValid() || eventClock.elapsed() >= ServeEveryMs)
        ServeEvents();
}

// The box keeps the report's most recent lines, as a terminal does: once it holds more than
// its capacity, whole lines drop off its top (a block of them at a time, so that a long
// report does not pay for every line twice). Nothing waits: the whole report is in its file,
// which the first line then names.
void frmReport::KeepWithinCapacity() {
    const qsizetype capacity = owner.MaxSizeTextboxContents();
    if (capacity <= 0)
        return;
    blnReportBufferFull = true;
    const QString notice = keptReport.IsOpen() ? QStringLiteral("The earlier lines of this report "
                                                                "are in ") +
                                                     reportFilePath + QStringLiteral(".\r\n")
                                               : QString();
    // What stays: the notice, then the lines from the first line end past the cut.
    const qsizetype kept = text.startsWith(notice) ? notice.size() : 0;
    const qsizetype cut = std::max(kept, text.size() - capacity * 3 / 4 + notice.size());
    const qsizetype lineEnd = text.indexOf(QStringLiteral("\r\n"), cut);
    if (lineEnd < 0)
        return; // one line longer than the box: it stays whole until it ends
    const qsizetype from = lineEnd + 2;
    QTextCursor cursor(txbText->document());
    cursor.beginEditBlock();
    cursor.setPosition(static_cast<int>(ForDisplay(text.left(kept)).size()));
    cursor.setPosition(static_cast<int>(ForDisplay(text.left(from)).size()),
                       QTextCursor::KeepAnchor);
    cursor.removeSelectedText();
    if (kept == 0 && !notice.isEmpty()) {
        cursor.setPosition(0);
        cursor.insertText(ForDisplay(notice));
    }
    cursor.endEditBlock();
    text = (kept == 0 ? notice : text.left(kept)) + text.mid(from);
    MoveCaretToEnd();
}

QString frmReport::ForDisplay(const QString& piece) {
    QString shown = ShownLines(piece);
    shown.remove(u'\r');
    return shown;
}

void frmReport::AppendToText(const QString& piece) {
    keptReport.Append(piece);
    const bool full = text.size() > owner.MaxSizeTextboxContents();
    AppendShown(piece);
    if (full)
        KeepWithinCapacity();
}

void frmReport::RemoveFromEnd(qsizetype count) {
    keptReport.RemoveFromEnd(count);
    RemoveShown(count);
}

void frmReport::SetText(const QString& newText) {
    // Outside an operation the text is another report, which has no file.
    if (keptReport.IsOpen())
        keptReport.Restart(newText);
    else
        reportFilePath.clear();
    SetShown(newText);
}

void frmReport::AppendShown(const QString& piece) {
    if (piece.isEmpty())
        return;
    text += piece;
    // Only the new piece reaches the text box, so a long report costs no more per line
    // than a short one.
    // Inside an edit block the line is not laid out for this cursor's sake: it is laid out
    // once, when it is drawn.
    QTextCursor cursor(txbText->document());
    cursor.beginEditBlock();
    cursor.movePosition(QTextCursor::End);
    cursor.insertText(ForDisplay(piece));
    cursor.endEditBlock();
}

void frmReport::RemoveShown(qsizetype count) {
    count = std::min(count, text.size());
    if (count <= 0)
        return;
    const qsizetype shown = ForDisplay(text.right(count)).size();
    text.chop(count);
    QTextCursor cursor(txbText->document());
    cursor.movePosition(QTextCursor::End);
    cursor.movePosition(QTextCursor::PreviousCharacter, QTextCursor::KeepAnchor,
                        static_cast<int>(shown));
    cursor.removeSelectedText();
}

void frmReport::SetShown(const QString& newText) {
    text = newText;
    txbText->setPlainText(ForDisplay(newText));
}

// The caret goes to the end, and the end into view, when events are next served: doing it
// for every line would lay out the text's end once a line.
void frmReport::MoveCaretToEnd() {
    if (caretToEnd)
        return;
    caretToEnd = true;
    QTimer::singleShot(0, this, &frmReport::CaretToEndNow);
}

void frmReport::CaretToEndNow() {
    if (!caretToEnd)
        return;
    caretToEnd = false;
    txbText->moveCursor(QTextCursor::End);
    txbText->ensureCursorVisible();
}

// Serves what is pending: clicks, and the drawing of what changed since. (Holding the
// drawing back with setUpdatesEnabled while events are served loses it on a real display.)
void frmReport::ServeEvents() {
    CaretToEndNow();
    QCoreApplication::processEvents();
    eventClock.start();
}

void frmReport::DrawNow() {
    if (!isVisible())
        return;
    ServeEvents();
}

QString frmReport::BeginReportFile(const QString& operation, QString& why) {
    reportFilePath.clear();
    if (keptReport.Begin(ReportsFolder(), operation, QDateTime::currentDateTime(), why))
        reportFilePath = keptReport.Path();
    return reportFilePath;
}

QString frmReport::EndReportFile() {
    return keptReport.End();
}

void frmReport::cmdOpenReportFile_Click() {
    if (shell.openDocument(reportFilePath) <= 32)
        dialogs.inform(this, QStringLiteral("Cannot open the report file ") + reportFilePath + u'.',
                       windowTitle(), MsgIcon::Warning);
}

void frmReport::CopyProgress(const QString& name, qint64 done, qint64 size) {
    if (size <= 0) {
        if (!progressName.isEmpty())
            lblFileName->setText(ShownName(progressName));
        progressName.clear();
        return;
    }
    if (Label1->text().isEmpty())
        Label1->setText(QStringLiteral("File now being copied: "));
    progressName = name;
    // Painted with the next events served, as the other labels are.
    lblFileName->setText(ShownName(name) + QStringLiteral("  ") +
                         QString::number(std::clamp<qint64>(done * 100 / size, 0, 99)) + u'%');
}

void frmReport::SetSourceDirpath(const QString& caption) {
    lblSourceDirpath->setText(ShownName(caption));
}

void frmReport::SetTargetDirpath(const QString& caption) {
    lblTargetDirpath->setText(ShownName(caption));
}

void frmReport::SetFileNowBeingCopied(const QString& label, const QString& fileName) {
    // Painted with the next events served, not at once: a person reads a label a few times a
    // second, and painting it for every small file would cost more than the copy.
    Label1->setText(label);
    lblFileName->setText(ShownName(fileName));
}

QString frmReport::FileNowBeingCopiedLabel() const {
    return Label1->text();
}

void frmReport::ShowBytesCopied(const QString& caption) {
    lblBytesCopied->setText(caption);
    lblBytesCopied->show();
}

void frmReport::HideBytesCopied() {
    lblBytesCopied->hide();
}

void frmReport::ShowFreeSpace(const QString& caption) {
    lblFreeSpace->setText(caption);
    lblFreeSpace->show();
}

void frmReport::SetCaption(const QString& caption) {
    setWindowTitle(caption);
}

void frmReport::ShowReport() {
    EnsureLoaded();
    show();
    raise();
    activateWindow();
}

void frmReport::Repaint() {
    update();
}

bool frmReport::OffersSuppressBox() const {
    const Operation operation = owner.State().intOperation;
    return operation == OperationState::intOperationBackupAllFiles ||
           operation == OperationState::intOperationBackupModifiedFiles;
}

void frmReport::cmdPauseContinue_Click() {
    if (cmdPauseContinue->text() == u"Pause") {
        // The box shows the setting it changes, so Continue with the box untouched changes
        // nothing.
        SetCheckValue(chkSuppressDisplayOfReport, owner.State().blnSuppressDetailedReports ? 1 : 0);
        SetReportButtons(owner.SuppressDetailedReportsBox() != 1, true, QStringLiteral("Continue"),
                         true, QStringLiteral("Cancel operation"));
        // The walk's please-wait notice goes: nothing is being counted while paused.
        if (text.endsWith(CountingNotice)) {
            RemoveFromEnd(CountingNotice.size());
            MoveCaretToEnd();
        }
        blnPaused = true;
        while (blnPaused)
            QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
        update();
        return;
    }
    blnPaused = false;
    SetReportButtons(false, true, QStringLiteral("Pause"), false, QString());
    // Only where the box was offered is its value the user's choice.
    if (OffersSuppressBox())
        owner.ChooseSuppressDetailedReports(CheckValue(chkSuppressDisplayOfReport) == 1);
}

void frmReport::Pause() {
    if (cmdPauseContinue->text() == u"Pause")
        cmdPauseContinue_Click();
}

void frmReport::cmdCancelClose_Click() {
    blnPaused = false;
    if (cmdCancelClose->text() == u"Cancel operation") {
        owner.RequestStop();
        cmdCancelClose->setText(QStringLiteral("Close"));
        cmdPauseContinue->hide();
    } else {
        hide();
        owner.ReportClosed();
    }
    chkSuppressDisplayOfReport->hide();
}

QString frmReport::SelectedText() const {
    QString selected = txbText->textCursor().selectedText();
    selected.replace(QChar::ParagraphSeparator, u'\n');
    return selected;
}

void frmReport::cmdCopyToClipboard_Click() {
    if (!text.isEmpty()) {
        QClipboard* clipboard = QGuiApplication::clipboard();
        clipboard->clear();
        const QString selected = SelectedText();
        // Linux programs expect plain line feeds.
        clipboard->setText(selected.isEmpty() ? ForDisplay(text) : selected);
        cmdCopyToClipboard->setText(ProgramText(112));
        const QRect g = TwipsGeometry(cmdCopyToClipboard);
        SetTwipsGeometry(cmdCopyToClipboard, g.x(), g.y(), 2115, g.height());
    }
    cmdCancelClose->setFocus();
}

void frmReport::txbText_MouseUp() {
    if (!cmdCopyToClipboard->isEnabled())
        return;
    const QRect g = TwipsGeometry(cmdCopyToClipboard);
    if (SelectedText().isEmpty()) {
        cmdCopyToClipboard->setText(ProgramText(112));
        SetTwipsGeometry(cmdCopyToClipboard, g.x(), g.y(), 2115, g.height());
    } else {
        cmdCopyToClipboard->setText(ProgramText(113));
        SetTwipsGeometry(cmdCopyToClipboard, g.x(), g.y(), 3165, g.height());
    }
}

bool frmReport::eventFilter(QObject* watched, QEvent* e) {
    if (watched == txbText->viewport() && e->type() == QEvent::MouseButtonRelease &&
        static_cast<QMouseEvent*>(e)->button() == Qt::LeftButton) {
        // Let the text box finish the selection first.
        const bool handled = QWidget::eventFilter(watched, e);
        QMetaObject::invokeMethod(this, &frmReport::txbText_MouseUp, Qt::QueuedConnection);
        return handled;
    }
    return QWidget::eventFilter(watched, e);
}

void frmReport::chkSuppressDisplayOfReport_Click() {
    FocusIfAvailable(cmdPauseContinue);
}

void frmReport::keyPressEvent(QKeyEvent* e) {
    // A button with the focus takes Return and Enter as a click, as it takes Space.
    auto* button = qobject_cast<QPushButton*>(focusWidget());
    if ((e->key() == Qt::Key_Return || e->key() == Qt::Key_Enter) && button != nullptr &&
        button->isVisible() && button->isEnabled()) {
        if (!e->isAutoRepeat())
            button->click();
        return;
    }
    // Escape does what Close does, once the operation has ended; a running operation is
    // neither hidden nor stopped by it.
    if (e->key() == Qt::Key_Escape && !owner.OperationRunning() && cmdCancelClose->isVisible()) {
        cmdCancelClose->click();
        return;
    }
    QWidget::keyPressEvent(e);
}

void frmReport::closeEvent(QCloseEvent* e) {
    Form_Unload();
    e->accept();
}

void frmReport::Form_Unload() {
    // Closing the window discards it with its text and stops a running operation; the
    // next use loads it afresh.
    blnPaused = false;
    owner.RequestStop();
    hide();
    SetShown(QString());
    loaded = false;
}

bool frmReport::AskYesNo(const QString& question, const QString& title, MsgResult defaultButton,
                         MsgIcon icon) {
    return dialogs.messageBox(this, {icon, title, question, MsgButtons::YesNo, defaultButton}) ==
           MsgResult::Yes;
}

void frmReport::Inform(const QString& message, const QString& title, MsgIcon icon) {
    dialogs.inform(this, message, title, icon);
}

void frmReport::Yield() {
    // As in Output: pending events at most every 40 ms, which a click still finds at once.
    if (!eventClock.isValid() || eventClock.elapsed() >= ServeEveryMs)
        ServeEvents();
}

void frmReport::Sleep(int milliseconds) {
    owner.Sleep(milliseconds);
}

void frmReport::Beep() {
    owner.Beep();
}

} // namespace vnt
