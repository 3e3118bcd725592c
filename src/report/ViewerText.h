#pragma once
// Texts of the viewer, the web-page launch and the shutdown notice.

#include <QString>

namespace vnt {

// Files of this many characters or more are shown cut, framed by two notices.
constexpr qsizetype ViewerCutLength = 65530;

// What the viewer's text box gets for a file's text.
QString ViewerText(const QString& fileText);

// The message for a failed launch (code 32 or less); empty for a successful one.
QString WebLaunchErrorMessage(int code, const QString& address);

QString ShutdownComment();
QString ShutdownPopUpMessage();

} // namespace vnt
