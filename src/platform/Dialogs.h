#pragma once
// Every modal thing the windows show goes through this interface, so tests can script the
// answers and see exactly what a person would have been shown.

#include "platform/MessageTypes.h"

#include <optional>
#include <QList>
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

// The windows' dialogs, or nobody's: while unattended is set (a run started from the command
// line, which nobody may be watching) nothing is shown. Each message is kept for the run's
// notification, every question is answered No (which starts nothing, makes nothing and stops
// nothing) and every picker is cancelled. Otherwise each goes to the dialogs that show it.
class UnattendedDialogs : public Dialogs {
public:
    explicit UnattendedDialogs(Dialogs& shownIn) : shown(shownIn) {}
    bool unattended = false;
    QList<MessageRequest> kept; // what an unattended run would have shown, in order

    MsgResult messageBox(QWidget* owner, const MessageRequest& request) override {
        if (!unattended)
            return shown.messageBox(owner, request);
        kept.append(request);
        return request.buttons == MsgButtons::YesNo ? MsgResult::No : MsgResult::Ok;
    }
    std::optional<QString> inputBox(QWidget* owner, const InputRequest& request) override {
        return unattended ? std::nullopt : shown.inputBox(owner, request);
    }
    QString browseForFolder(QWidget* owner, const QString& prompt,
                            const QString& startFolder) override {
        return unattended ? QString() : shown.browseForFolder(owner, prompt, startFolder);
    }
    QString openFileName(QWidget* owner, const FileDialogRequest& request) override {
        return unattended ? QString() : shown.openFileName(owner, request);
    }
    QString saveFileName(QWidget* owner, const FileDialogRequest& request) override {
        return unattended ? QString() : shown.saveFileName(owner, request);
    }

private:
    Dialogs& shown;
};

} // namespace vnt
