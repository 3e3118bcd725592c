#include "platform/QtDialogs.h"

#include "platform/Names.h"

#include <QFileDialog>
#include <QInputDialog>
#include <QMessageBox>

namespace vnt {

namespace {

QMessageBox::Icon ToQt(MsgIcon icon) {
    switch (icon) {
    case MsgIcon::Information:
        return QMessageBox::Information;
    case MsgIcon::Warning:
        return QMessageBox::Warning;
    case MsgIcon::Error:
        return QMessageBox::Critical;
    case MsgIcon::Question:
        return QMessageBox::Question;
    case MsgIcon::None:
        break;
    }
    return QMessageBox::NoIcon;
}

// A text far longer than a screen (a path from a damaged setup file, say) would take the box
// minutes to lay out: its middle is left out.
QString BoxText(const QString& text) {
    constexpr qsizetype MostShown = 4000;
    if (text.size() <= MostShown)
        return ShownName(text);
    return ShownName(text.left(MostShown / 2)) + QStringLiteral(" \u2026 ") +
           ShownName(text.right(MostShown / 4));
}

} // namespace

MsgResult QtDialogs::messageBox(QWidget* owner, const MessageRequest& request) {
    QMessageBox box(ToQt(request.icon), request.title, BoxText(request.text), QMessageBox::NoButton,
                    owner);
    if (request.buttons == MsgButtons::YesNo) {
        box.setStandardButtons(QMessageBox::Yes | QMessageBox::No);
        box.setDefaultButton(request.defaultButton == MsgResult::Yes ? QMessageBox::Yes
                                                                     : QMessageBox::No);
        box.setEscapeButton(QMessageBox::No);
        return box.exec() == QMessageBox::Yes ? MsgResult::Yes : MsgResult::No;
    }
    box.setStandardButtons(QMessageBox::Ok);
    box.exec();
    return MsgResult::Ok;
}

std::optional<QString> QtDialogs::inputBox(QWidget* owner, const InputRequest& request) {
    QInputDialog dialog(owner);
    dialog.setWindowTitle(request.title);
    dialog.setLabelText(request.prompt);
    dialog.setTextValue(request.defaultText);
    if (request.position)
        dialog.move(*request.position);
    if (dialog.exec() != QDialog::Accepted)
        return std::nullopt;
    return dialog.textValue();
}

QString QtDialogs::browseForFolder(QWidget* owner, const QString& prompt,
                                   const QString& startFolder) {
    return QFileDialog::getExistingDirectory(owner, prompt, startFolder, QFileDialog::ShowDirsOnly);
}

QString QtDialogs::openFileName(QWidget* owner, const FileDialogRequest& request) {
    return QFileDialog::getOpenFileName(owner, request.title, request.initialPath, request.filter);
}

QString QtDialogs::saveFileName(QWidget* owner, const FileDialogRequest& request) {
    QFileDialog dialog(owner, request.title, request.initialPath, request.filter);
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setDefaultSuffix(request.defaultSuffix);
    // The caller asks its own replace question.
    dialog.setOption(QFileDialog::DontConfirmOverwrite);
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return {};
    return dialog.selectedFiles().constFirst();
}

} // namespace vnt
