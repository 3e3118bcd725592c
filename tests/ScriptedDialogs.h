#pragma once
// Dialogs for tests: answers come from queues, and everything shown is recorded.

#include "platform/Dialogs.h"

#include <deque>
#include <vector>

namespace vnt::test {

struct ShownDialog {
    enum class Kind { Message, Input, Folder, OpenFile, SaveFile } kind = Kind::Message;
    MessageRequest message;
    InputRequest input;
    QString prompt;
    FileDialogRequest file;
    QString startFolder; // where a folder picker opened
    QWidget* owner = nullptr; // the window it was shown over
};

class ScriptedDialogs : public Dialogs {
public:
    // Unanswered questions take the default button; unanswered pickers are cancelled.
    std::deque<MsgResult> messageAnswers;
    std::deque<QString> inputAnswers; // a null QString cancels the box
    std::deque<QString> folderAnswers;
    std::deque<QString> openAnswers;
    std::deque<QString> saveAnswers;
    std::vector<ShownDialog> shown;

    MsgResult messageBox(QWidget* owner, const MessageRequest& request) override;
    std::optional<QString> inputBox(QWidget* owner, const InputRequest& request) override;
    QString browseForFolder(QWidget* owner, const QString& prompt,
                            const QString& startFolder) override;
    QString openFileName(QWidget* owner, const FileDialogRequest& request) override;
    QString saveFileName(QWidget* owner, const FileDialogRequest& request) override;

    // The message boxes shown so far.
    std::vector<MessageRequest> messages() const;
};

} // namespace vnt::test
