#include "report/frmConfirmOperation.h"

#include "backup/Counting.h"
#include "mainwindow/Language.h"
#include "platform/Controls.h"
#include "platform/Twips.h"
#include "report/Owners.h"

#include <QLabel>
#include <QPushButton>

namespace vnt {

frmConfirmOperation::frmConfirmOperation(ConfirmOwner& ownerIn, QWidget* parent)
    : QDialog(parent), owner(ownerIn) {
    setObjectName(QStringLiteral("frmConfirmOperation"));
    setWindowTitle(QStringLiteral("Confirm operation"));
    setModal(true);
    lblDescr = new QLabel(this);
    lblDescr->setObjectName(QStringLiteral("lblDescr"));
    lblDescr->setWordWrap(true);
    lblPerformOperation = new QLabel(QStringLiteral("Back up these files?"), this);
    lblPerformOperation->setObjectName(QStringLiteral("lblPerformOperation"));
    cmdYes = new QPushButton(QStringLiteral("Yes"), this);
    cmdYes->setObjectName(QStringLiteral("cmdYes"));
    cmdNo = new QPushButton(QStringLiteral("No"), this);
    cmdNo->setObjectName(QStringLiteral("cmdNo"));
    cmdNo->setAutoDefault(false);
    SetTwipsGeometry(lblDescr, 240, 105, 7110, 645);
    SetTwipsGeometry(lblPerformOperation, 240, 840, 1995, 435);
    SetTwipsGeometry(cmdYes, 2220, 855, 750, 330);
    SetTwipsGeometry(cmdNo, 3060, 855, 750, 330);
    ResizeWindowTwips(this, 6500, 1440);
    SetControlsFont(this, QStringLiteral("Arial"), false, true);
    connect(cmdYes, &QPushButton::clicked, this, &frmConfirmOperation::cmdYes_Click);
    connect(cmdNo, &QPushButton::clicked, this, &frmConfirmOperation::cmdNo_Click);
}

void frmConfirmOperation::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    Form_Activate();
}

void frmConfirmOperation::Form_Activate() {
    ResizeWindowTwips(this, 6500, 1440);
    const QRect descr = TwipsGeometry(lblDescr);
    SetTwipsGeometry(lblDescr, descr.x(), descr.y(), 6500 - 100 - descr.x(), descr.height());
    lblDescr->setText(
        QStringLiteral("Please check the settings above carefully before proceeding."));

    const FileCount files = CountFiles(owner.SourceFolder(), QStringLiteral("*.*"));
    const bool several = owner.SourceHasSubfolders() || files.count != 1;
    lblPerformOperation->setText(ProgramText(several ? 135 : 134));
    // The question may be longer than the design's label: give it the room up to Yes.
    const QRect question = TwipsGeometry(lblPerformOperation);
    lblPerformOperation->adjustSize();
    const int needed = PixelsToTwips(lblPerformOperation->width(), this);
    SetTwipsGeometry(lblPerformOperation, question.x(), question.y(),
                     std::max(question.width(), needed), question.height());
    const int buttonsLeft = question.x() + std::max(question.width(), needed) + 120;
    SetTwipsGeometry(cmdYes, std::max(2220, buttonsLeft), 855, 750, 330);
    SetTwipsGeometry(cmdNo, std::max(2220, buttonsLeft) + 840, 855, 750, 330);
    cmdYes->setFocus();

    // Below the main window's setup rows, so the settings above stay in view.
    const QPoint anchor = owner.ConfirmationAnchor();
    move(anchor.x() + TwipsToPixels(120, this), anchor.y() + TwipsToPixels(180, this));
    KeepInsideAvailableArea(this);
}

void frmConfirmOperation::cmdYes_Click() {
    blnPerformOperation = true;
    hide();
}

void frmConfirmOperation::cmdNo_Click() {
    blnPerformOperation = false;
    owner.ForgetSetupFile();
    hide();
}

void frmConfirmOperation::reject() {
    cmdNo_Click();
    QDialog::reject();
}

} // namespace vnt
