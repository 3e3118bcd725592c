#include "mainwindow/FolderProc.h"

#include "platform/Drives.h"
#include "report/StrProc.h"

#include <array>
#include <QStringList>
#include <utility>

namespace vnt {

namespace {

// Names compared in upper case. ".TRASH" also covers the per-user ".Trash-1000".
constexpr std::array RecycleBinNames = {u"$RECYCLE.BIN", u"RECYCLER", u"RECYCLED", u".TRASH"};

constexpr std::array<std::pair<const char16_t*, const char16_t*>, 5> SystemFolderNames = {{
    {u"USERS", u"Users"},
    {u"WINDOWS", u"Windows"},
    {u"PROGRAM FILES", u"Program Files"},
    {u"DOCUMENTS AND SETTINGS", u"Documents and Settings"},
    {u"SYSTEM VOLUME INFORMATION", u"System Volume Information"},
}};

// Kernel and runtime file systems directly under "/", whatever they are mounted as.
constexpr std::array LinuxSystemFolders = {u"proc", u"sys", u"dev", u"run"};

QString BelowRootUpper(const QString& path, const QString& rootPrefix) {
    if (rootPrefix.isEmpty() || !path.startsWith(rootPrefix))
        return {};
    return UpperCase(path.mid(rootPrefix.size()));
}

} // namespace

QString WithTrailingBackslash(const QString& path) {
    if (path.isEmpty() || path.endsWith(u'/'))
        return path;
    return path + u'/';
}

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

bool IsRecycleBinUnder(const QString& path, const QString& rootPrefix) {
    const QString rest = BelowRootUpper(path, rootPrefix);
    for (const char16_t* name : RecycleBinNames) {
        if (rest.startsWith(QStringView(name)))
            return true;
    }
    return false;
}

bool IsRecycleBin(const QString& path) {
    return IsRecycleBinUnder(path, RootPrefix(path));
}

bool IsSystemFolderUnder(const QString& path, const QString& rootPrefix, QString& reportedName) {
    reportedName.clear();
    if (IsRecycleBinUnder(path, rootPrefix)) {
        reportedName = QStringLiteral("Recycle Bin");
        return true;
    }
    const QString rest = BelowRootUpper(path, rootPrefix);
    for (const auto& [upper, reported] : SystemFolderNames) {
        if (rest.startsWith(QStringView(upper))) {
            reportedName = QString::fromUtf16(reported);
            return true;
        }
    }
    for (const char16_t* name : LinuxSystemFolders) {
        const QString folder = u'/' + QString::fromUtf16(name);
        if (path == folder || path.startsWith(folder + u'/')) {
            reportedName = QString::fromUtf16(name);
            return true;
        }
    }
    return false;
}

bool IsSystemFolder(const QString& path, QString& reportedName) {
    return IsSystemFolderUnder(path, RootPrefix(path), reportedName);
}

} // namespace vnt
