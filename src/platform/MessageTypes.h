#pragma once
// The kinds of message box the program shows, shared by the windows and the engine.

#include <QString>

namespace vnt {

enum class MsgIcon { None, Information, Warning, Error, Question };
enum class MsgButtons { Ok, YesNo };
enum class MsgResult { Ok, Yes, No };

struct MessageRequest {
    MsgIcon icon = MsgIcon::None;
    QString title;
    QString text;
    MsgButtons buttons = MsgButtons::Ok;
    MsgResult defaultButton = MsgResult::Ok;
};

} // namespace vnt
