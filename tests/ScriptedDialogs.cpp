#include "ScriptedDialogs.h"

namespace vnt::test {

namespace {

template <typename T> T Next(std::deque<T>& answers, T fallback) {
    if (answers.empty())
        return fallback;
    T answer = answers.front();
    answers.pop_front();
    return answer;
}

} // namespace

MsgResult ScriptedDialogs::messageBox(QWidget* owner, const MessageRequest& request) {
    shown.push_back({ShownDialog::Kind::Message, request, {}, {}, {}, {}, owner});
    const MsgResult fallback =
        request.buttons == MsgButtons::Ok ? MsgResult::Ok : request.defaultButton;
    return Next(messageAnswers, fallback);
}

std::optional<QString> ScriptedDialogs::inputBox(QWidget*, const InputRequest& request) {
    shown.push_back({ShownDialog::Kind::Input, {}, request, {}, {}, {}});
    const QString answer = Next(inputAnswers, QString());
    if (answer.isNull())
        return std::nullopt;
    return answer;
}

QString ScriptedDialogs::browseForFolder(QWidget*, const QString& prompt,
                                         const QString& startFolder) {
    shown.push_back({ShownDialog::Kind::Folder, {}, {}, prompt, {}, startFolder});
    return Next(folderAnswers, QString());
}

QString ScriptedDialogs::openFileName(QWidget*, const FileDialogRequest& request) {
    shown.push_back({ShownDialog::Kind::OpenFile, {}, {}, {}, request, {}});
    return Next(openAnswers, QString());
}

QString ScriptedDialogs::saveFileName(QWidget*, const FileDialogRequest& request) {
    shown.push_back({ShownDialog::Kind::SaveFile, {}, {}, {}, request, {}});
    return Next(saveAnswers, QString());
}

std::vector<MessageRequest> ScriptedDialogs::messages() const {
    std::vector<MessageRequest> result;
    for (const ShownDialog& dialog : shown) {
        if (dialog.kind == ShownDialog::Kind::Message)
            result.push_back(dialog.message);
    }
    return result;
}

} // namespace vnt::test
