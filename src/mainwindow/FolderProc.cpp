#include "mainwindow/FolderProc.h"

#include "platform/Drives.h"

#include <QStringList>

namespace vnt {

bool IsWithinFolder(const QString& path, const QString& folder, bool strict) {
    const QString fullPath = WithTrailingBackslash(path);
    const QString fullFolder = WithTrailingBackslash(folder);
    if (strict && fullPath == fullFolder)
        return false;
    return fullPath.startsWith(fullFolder);
}

QString PathPartFromEnd(const QString& path, int n, bool& tooFew) {
    const QString root = RootPrefix(path);
    const QStringList names = path.mid(root.size()).split(u'/', Qt::SkipEmptyParts);
    if (names.size() < n) {
        tooFew = true;
        return {};
    }
    if (names.size() == n)
        return {};
    return names[names.size() - 1 - n];
}

QString PathPartFromEnd(const QString& path, int n) {
    bool tooFew = false;
    return PathPartFromEnd(path, n, tooFew);
}

QString WriteTestFailureText(int errorNumber, const QString& systemReason,
                             const QString& protectedText) {
    return (IsWriteProtection(errorNumber)
                ? protectedText
                : QStringLiteral("The write test in the target folder failed, so no backup "
                                 "can be made.")) +
           QStringLiteral("\r\n\r\n") + systemReason;
}

TargetRule CheckTargetRule(const QString& candidate, const QString& source) {
    if (SameFolder(candidate, source))
        return TargetRule::EqualsSource;
    if (FolderHolds(candidate, source))
        return TargetRule::HoldsSource;
    return TargetRule::Acceptable;
}

} // namespace vnt
