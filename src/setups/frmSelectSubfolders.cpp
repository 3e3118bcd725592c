#include "setups/frmSelectSubfolders.h"

#include "backup/Counting.h"
#include "mainwindow/FolderProc.h"
#include "platform/Controls.h"
#include "platform/Dialogs.h"
#include "platform/Directory.h"
#include "platform/FoldersOnDisk.h"
#include "platform/Names.h"
#include "platform/Twips.h"
#include "report/StrProc.h"

#include <QCloseEvent>
#include <QCoreApplication>
#include <QKeyEvent>
#include <QScrollBar>
#include <QTimer>

namespace vnt {

namespace {

constexpr int BoxHeight = 300; // twips
const QColor PaleYellow(255, 255, 192);

} // namespace

frmSelectSubfolders::frmSelectSubfolders(Dialogs& dialogsIn, QString targetFolderIn,
                                         QWidget* parent)
    : QDialog(parent), dialogs(dialogsIn), targetFolder(std::move(targetFolderIn)) {
    setObjectName(QStringLiteral("frmSelectSubfolders"));
    setModal(true);
    picSubfolders = MakeControl<QWidget>(this, "picSubfolders");
    lblReading = MakeLabel(picSubfolders, "lblReading");
    lblReading->setWordWrap(true);
    lblReading->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    chkSubfolder.push_back(MakeCheckBox(picSubfolders, "chkSubfolder(0)", QString()));
    vsbScrollBar = MakeControl<QScrollBar>(this, "vsbScrollBar", Qt::Vertical);
    vsbScrollBar->hide();
    cmdAccept = MakeButton(this, "cmdAccept", QStringLiteral("Accept"));
    cmdCancel = MakeButton(this, "cmdCancel", QStringLiteral("Cancel"));
    cmdSelectDeselectAllSubfolders[1] =
        MakeButton(this, "cmdSelectDeselectAllSubfolders(1)", QStringLiteral("Select all"));
    cmdSelectDeselectAllSubfolders[0] =
        MakeButton(this, "cmdSelectDeselectAllSubfolders(0)", QStringLiteral("Deselect all"));
    lblNumSubfolders = MakeLabel(this, "lblNumSubfolders");
    lblNumSubfolders->setWordWrap(true);

    connect(cmdAccept, &QPushButton::clicked, this, &frmSelectSubfolders::cmdAccept_Click);
    connect(cmdCancel, &QPushButton::clicked, this, &frmSelectSubfolders::cmdCancel_Click);
    for (int i = 0; i < 2; ++i)
        connect(cmdSelectDeselectAllSubfolders[i], &QPushButton::clicked, this,
                [this, i] { cmdSelectDeselectAllSubfolders_Click(i); });
    connect(chkSubfolder[0], &QCheckBox::clicked, this, [this] { chkSubfolder_Click(0); });
    connect(vsbScrollBar, &QScrollBar::valueChanged, this,
            &frmSelectSubfolders::vsbScrollBar_Change);
}

void frmSelectSubfolders::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    // Read after the window is on screen, so that the user sees it working.
    QTimer::singleShot(0, this, &frmSelectSubfolders::Form_Activate);
}

void frmSelectSubfolders::LayOut() {
    const int width = PixelsToTwips(this->width(), this);
    const QRect list = TwipsGeometry(picSubfolders);
    const int listHeight = std::max(list.height(), BoxHeight);
    SetTwipsGeometry(picSubfolders, 200, 200, width - 500, listHeight);
    lblReading->setGeometry(picSubfolders->rect());
    const int buttonsTop = 200 + listHeight + 200;
    const int listRight = 200 + width - 500;
    SetTwipsGeometry(cmdCancel, listRight - 1100, buttonsTop, 1100, 375);
    SetTwipsGeometry(cmdAccept, listRight - 1100 - 150 - 1100, buttonsTop, 1100, 375);
    SetTwipsGeometry(cmdSelectDeselectAllSubfolders[1], 200, buttonsTop, 1200, 375);
    SetTwipsGeometry(cmdSelectDeselectAllSubfolders[0], 1500, buttonsTop, 1200, 375);
    SetTwipsGeometry(lblNumSubfolders, 2850, buttonsTop - 60,
                     std::max(listRight - 2400 - 150 - 2850, 600), 600);
    if (!vsbScrollBar->isHidden()) {
        const int bar = PixelsToTwips(vsbScrollBar->sizeHint().width(), this);
        SetTwipsGeometry(picSubfolders, 200, 200, width - 500 - bar, listHeight);
        SetTwipsGeometry(vsbScrollBar, width - bar - 300, 200, bar, listHeight);
    }
    for (QCheckBox* box : chkSubfolder)
        box->resize(picSubfolders->width(), box->height());
}

void frmSelectSubfolders::resizeEvent(QResizeEvent* event) {
    QDialog::resizeEvent(event);
    if (!busy)
        LayOut();
}

void frmSelectSubfolders::Form_Activate() {
    busy = true;
    stopReading = false;
    for (QWidget* widget : {static_cast<QWidget*>(this), static_cast<QWidget*>(lblNumSubfolders)}) {
        QPalette palette = widget->palette();
        palette.setColor(QPalette::Window, PaleYellow);
        palette.setColor(QPalette::WindowText, Qt::black);
        widget->setPalette(palette);
        widget->setAutoFillBackground(true);
    }
    chkSubfolder[0]->hide();
    lblNumSubfolders->clear();
    RemoveBoxes();
    rows.clear();
    vsbScrollBar->hide();
    lblReading->setText(QStringLiteral("Reading disk . . ."));
    lblReading->show();
    setWindowTitle(strCaption);
    while (strTopFolder.endsWith(u'/') && strTopFolder.size() > 1)
        strTopFolder.chop(1);
    strTopFolder = WithTrailingBackslash(strTopFolder);
    LayOut();

    const FolderCount subfolders = CountSubfolders(strTopFolder);
    if (subfolders.count < 0) {
        dialogs.inform(this, subfolders.errorText, QStringLiteral("Select subfolders"),
                       MsgIcon::Warning);
        hide();
        return;
    }
    if (subfolders.count == 0)
        return; // stays busy: only Cancel leaves

    QStringList names;
    ReadDirectory(strTopFolder, [&names](const DirectoryEntry& entry) {
        if (entry.kind == EntryKind::Folder && !entry.isLink)
            names.append(entry.name);
        return true;
    });
    QString progress = QStringLiteral("Reading disk . . .");
    for (const QString& name : names) {
        if (blnExcludeRecycleBin &&
            UpperCase(strTopFolder + name).contains(QStringLiteral("$RECYCLE.BIN")))
            continue;
        rows.push_back(DescribeSubfolder(strTopFolder, name));
        progress += QStringLiteral(" .");
        lblReading->setText(progress);
        QCoreApplication::processEvents();
        if (stopReading)
            return;
    }
    SortRows(rows);
    PreselectRows(rows, strFoldersPassedToSelectFoldersForm);
    lblReading->hide();
    BuildList();
    UpdateCountLine();
    cmdCancel->setFocus();
    busy = false;
}

void frmSelectSubfolders::BuildList() {
    const int n = static_cast<int>(rows.size());
    const int v = std::min(n, intMaxNumCheckboxes);
    const QRect list = TwipsGeometry(picSubfolders);
    SetTwipsGeometry(picSubfolders, list.x(), list.y(), list.width(), std::max(v, 1) * BoxHeight);
    const QRect outer = TwipsGeometry(this);
    ResizeWindowTwips(this, outer.width(), std::max(v, 1) * BoxHeight + 1400);
    KeepInsideAvailableArea(this); // grown below the screen's foot, it moves up
    vsbScrollBar->setVisible(v < n);
    if (v < n) {
        QSignalBlocker block(vsbScrollBar);
        vsbScrollBar->setRange(0, n - v);
        vsbScrollBar->setValue(0);
        vsbScrollBar->setSingleStep(1);
        vsbScrollBar->setPageStep(intMaxNumCheckboxes - 1);
    }
    LayOut();
    for (int i = 1; i < v; ++i) {
        auto* box = MakeCheckBox(picSubfolders, "", QString());
        box->setObjectName(QStringLiteral("chkSubfolder(%1)").arg(i));
        connect(box, &QCheckBox::clicked, this, [this, i] { chkSubfolder_Click(i); });
        chkSubfolder.push_back(box);
    }
    top = 0;
    for (int i = 0; i < v; ++i) {
        QCheckBox* box = chkSubfolder[static_cast<size_t>(i)];
        SetTwipsGeometry(box, 0, i * BoxHeight, PixelsToTwips(picSubfolders->width(), this),
                         BoxHeight);
        box->setText(ShownName(ShortenRowCaption(rows[static_cast<size_t>(i)].text)));
        box->show();
        SetBox(i, rows[static_cast<size_t>(i)].state);
    }
}

void frmSelectSubfolders::SetBox(int index, int value) {
    settingBoxes = true;
    chkSubfolder[static_cast<size_t>(index)]->setChecked(value == 1);
    settingBoxes = false;
    chkSubfolder_Click(index); // as setting a value does: the rules apply and the state follows
}

bool frmSelectSubfolders::IsTargetRow(const QString& row) const {
    // The target by where it is: "Backup" and "backup" are two folders here.
    return SameFolder(strTopFolder + RowFolderName(row) + u'/', targetFolder);
}

void frmSelectSubfolders::chkSubfolder_Click(int index) {
    if (busy && !settingBoxes)
        return;
    const size_t row = static_cast<size_t>(top + index);
    if (row >= rows.size())
        return;
    QCheckBox* box = chkSubfolder[static_cast<size_t>(index)];
    if (box->isChecked() && (RowCanNeverBeTicked(rows[row]) || IsTargetRow(rows[row].text)))
        box->setChecked(false);
    rows[row].state = box->isChecked() ? 1 : 0;
    UpdateCountLine();
}

void frmSelectSubfolders::cmdSelectDeselectAllSubfolders_Click(int index) {
    if (busy)
        return;
    for (SubfolderRow& row : rows) {
        row.state = index == 1 ? 1 : 0;
        if (RowCanNeverBeTicked(row) || (index == 1 && IsTargetRow(row.text)))
            row.state = 0;
    }
    for (size_t i = 0; i < chkSubfolder.size() && top + i < rows.size(); ++i)
        SetBox(static_cast<int>(i), rows[top + i].state);
    UpdateCountLine();
    cmdAccept->setFocus();
}

void frmSelectSubfolders::vsbScrollBar_Change() {
    if (busy)
        return;
    top = vsbScrollBar->value();
    for (size_t i = 0; i < chkSubfolder.size() && top + i < rows.size(); ++i) {
        chkSubfolder[i]->setText(ShownName(ShortenRowCaption(rows[top + i].text)));
        SetBox(static_cast<int>(i), rows[top + i].state);
    }
    cmdAccept->setFocus();
}

void frmSelectSubfolders::UpdateCountLine() {
    lblNumSubfolders->setText(
        SelectionCountLine(rows, LowerCase(windowTitle()).contains(QStringLiteral("included")))
            .replace(QStringLiteral("\r\n"), QStringLiteral("\n")));
}

void frmSelectSubfolders::cmdAccept_Click() {
    if (busy)
        return;
    blnFolderSelectionAccepted = true;
    hide();
    strFoldersReturnedFromSelectFoldersForm.clear();
    blnSomeSubfolderHasSubfolders = false;
    for (const SubfolderRow& row : rows) {
        if (row.state != 1)
            continue;
        const QString name = RowFolderName(row.text);
        strFoldersReturnedFromSelectFoldersForm += name + QStringLiteral("\r\n");
        if (!blnSomeSubfolderHasSubfolders)
            blnSomeSubfolderHasSubfolders = CountSubfolders(strTopFolder + name + u'/').count > 0;
    }
    RemoveBoxes();
    accept();
}

void frmSelectSubfolders::cmdCancel_Click() {
    blnFolderSelectionAccepted = false;
    stopReading = true;
    hide();
    RemoveBoxes();
    reject();
}

void frmSelectSubfolders::RemoveBoxes() {
    while (chkSubfolder.size() > 1) {
        chkSubfolder.back()->deleteLater();
        chkSubfolder.back()->hide();
        chkSubfolder.pop_back();
    }
}

void frmSelectSubfolders::keyPressEvent(QKeyEvent* event) {
    // Escape is Cancel: it stops the reading too, rather than hide a window that reads on.
    if (event->key() == Qt::Key_Escape) {
        cmdCancel_Click();
        return;
    }
    QDialog::keyPressEvent(event);
}

void frmSelectSubfolders::closeEvent(QCloseEvent* event) {
    if (isVisible())
        dialogs.inform(
            this,
            QStringLiteral("Please exit this window only by clicking on 'Accept' or 'Cancel'."),
            QStringLiteral("Select Folders"), MsgIcon::None);
    stopReading = true;
    RemoveBoxes();
    QDialog::closeEvent(event);
}

void frmSelectSubfolders::TakeRequest(const SubfolderSelection& request) {
    blnFolderSelectionAccepted = request.blnFolderSelectionAccepted;
    strCaption = request.strCaption;
    strTopFolder = request.strTopFolder;
    intMaxNumCheckboxes = request.intMaxNumCheckboxes;
    strFoldersPassedToSelectFoldersForm = request.strFoldersPassedToSelectFoldersForm;
}

void frmSelectSubfolders::GiveAnswer(SubfolderSelection& request) const {
    request.blnFolderSelectionAccepted = blnFolderSelectionAccepted;
    request.strFoldersReturnedFromSelectFoldersForm = strFoldersReturnedFromSelectFoldersForm;
    request.blnSomeSubfolderHasSubfolders = blnSomeSubfolderHasSubfolders;
}

} // namespace vnt
