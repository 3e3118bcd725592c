#include "report/ViewerText.h"

#include "report/StrProc.h"

namespace vnt {

QString ViewerText(const QString& fileText) {
    if (fileText.size() < ViewerCutLength)
        return fileText;
    const QString head =
        QStringLiteral("NOTE: This file is too large to display entirely in this textbox.\r\n"
                       "To view the entire contents of the file load it into NotePad,\r\n"
                       "WordPad or some other text editor.\r\n\r\n");
    const QString tail =
        QStringLiteral("NOTE: Entire contents of file have not been displayed.\r\n");
    return head + fileText.left(ViewerCutLength - head.size() - tail.size()) +
           QStringLiteral("\r\n\r\n") + tail;
}

QString WebLaunchErrorMessage(int code, const QString& address) {
    if (code > 32)
        return {};
    // The extension is taken from the last part of the path or address, so that a dot in a
    // host or folder name is not taken for one.
    const QString lastPart = address.mid(address.lastIndexOf(u'/') + 1);
    const qsizetype dot = lastPart.lastIndexOf(u'.');
    const QString extension = dot < 0 ? QString() : LowerCase(lastPart.mid(dot + 1));

    QString message =
        QStringLiteral("Error launching web browser, error code = ") + QString::number(code) + u'.';
    if (code == 31)
        message += QStringLiteral("\r\n\r\nFile extension '") + extension +
                   QStringLiteral("' is not associated with any application program.");
    else if (code == 8)
        message += QStringLiteral("\r\n\r\nOut of memory.");
    else if (code == 2)
        message += QStringLiteral("\r\n\r\nPlease try once more.");
    return message;
}

QString ShutdownComment() {
    return QStringLiteral("Cancellation possible.\r\nSee comment below");
}

QString ShutdownPopUpMessage() {
    return QStringLiteral("\r\nThis computer will shut down in about a minute.\r\n"
                          "Click here to cancel the shutdown.");
}

} // namespace vnt
