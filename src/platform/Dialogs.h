#pragma once
// Every modal thing the windows show goes through this interface, so tests can script the
// answers and see exactly what a person would have been shown.

#include "platform/MessageTypes.h"

#include <optional>
#include <QPoint>
#include <QString>

class QWidget;

namespace vnt {

struct InputRequest {
    QString prompt;
    QString title;
    QString defaultText;
    std::optional<QPoint> position; // top-left on the screen, in pixels
};

struct FileDialogRequest {
    QString title;
    QString filter;      // Qt form: "Setup files (*.vnt)"
    QString initialPath; // folder or file
    QString defaultSuffix;
};

class Dialogs {
public:
    virtual ~Dialogs() = default;
    virtual MsgResult messageBox(QWidget* owner, const MessageRequest& request) = 0;
    // The text typed, or nothing when the user cancelled.
    virtual std::optional<QString> inputBox(QWidget* owner, const InputRequest& request) = 0;
    // The chosen folder, or an empty string when the user cancelled. The picker opens at
    // startFolder.
    virtual QString browseForFolder(QWidget* owner, const QString& prompt,
                                    const QString& startFolder) = 0;
    // The chosen file, or an empty string when the user cancelled.
    virtual QString openFileName(QWidget* owner, const FileDialogRequest& request) = 0;
    virtual QString saveFileName(QWidget* owner, const FileDialogRequest& request) = 0;

    // Shorthands for the common boxes.
    void inform(QWidget* owner, const QString& text, const QString& title = {},
                MsgIcon icon = MsgIcon::Information) {
        messageBox(owner, {icon, title, text, MsgButtons::Ok, MsgResult::Ok});
    }
    bool askYesNo(QWidget* owner, const QString& text, const QString& title,
                  MsgResult defaultButton = MsgResult::No, MsgIcon icon = MsgIcon::Question) {
        return messageBox(owner, {icon, title, text, MsgButtons::YesNo, defaultButton}) ==
               MsgResult::Yes;
    }
};

} // namespace vnt
