#pragma once

#include "platform/Dialogs.h"

namespace vnt {

// The desktop's own message boxes, input box, folder picker and file dialogs.
class QtDialogs : public Dialogs {
public:
    MsgResult messageBox(QWidget* owner, const MessageRequest& request) override;
    std::optional<QString> inputBox(QWidget* owner, const InputRequest& request) override;
    QString browseForFolder(QWidget* owner, const QString& prompt,
                            const QString& startFolder) override;
    QString openFileName(QWidget* owner, const FileDialogRequest& request) override;
    QString saveFileName(QWidget* owner, const FileDialogRequest& request) override;
};

} // namespace vnt
