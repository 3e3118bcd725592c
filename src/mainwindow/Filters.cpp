#include "mainwindow/Filters.h"

#include "backup/Counting.h"
#include "platform/FileErrors.h"

#include <QSet>

namespace vnt {

namespace {

const QString AllowedCharacters =
    QStringLiteral("ABCDEFGHIJKLMNOPQRSTUVWXYZŠŒŸÀÁÂÃÄÅÆÇÈÉÊËÌÍÎÏÐÑÒÓÔÕÖØÙÚÛÜÝÞ"
                   "abcdefghijklmnopqrstuvwxyzšœÿàáâãäåæçèéêëìíîïðñòóôõöøùúûüýþß*?"
                   // Without digits mp3, mp4, m4a and 7z files could never be chosen.
                   "0123456789");

} // namespace

QString NormaliseExtensionFilter(const QString& text) {
    QString kept;
    for (const QChar c : text) {
        if (AllowedCharacters.contains(c))
            kept.append(c.toLower());
    }
    if (QString(kept).remove(u'*').isEmpty())
        return {};
    return kept;
}

bool ExtensionFilterHasBadLength(const QString& normalised) {
    return normalised.size() > 5 || normalised.size() < 2;
}

QString ExtensionLengthMessage() {
    return QStringLiteral("A file extension must consist of from 2 to 5 letters\r\n"
                          "(optionally with wildcards '*' and '?')");
}

QString JoinFolderList(const QStringList& names) { return names.join(QStringLiteral("\r\n")); }

QStringList SplitFolderList(const QString& joined) {
    QStringList names;
    for (const QString& piece : joined.split(QStringLiteral("\r\n"))) {
        const QString name = piece.trimmed();
        if (!name.isEmpty())
            names.append(name);
    }
    return names;
}

QString SubfolderCountCaption(qint32 subfolders, int errorNumber, qint32 selected,
                              bool& noneSelected) {
    noneSelected = false;
    if (subfolders < 1) {
        if (errorNumber == ErrorNumber::PermissionDenied)
            return QStringLiteral("Permission denied");
        if (errorNumber == ErrorNumber::PathNotFound)
            return QStringLiteral("Path not found");
        if (subfolders == -1)
            return QStringLiteral("Error");
        return QStringLiteral("There are no subfolders");
    }
    if (subfolders == 1)
        return QStringLiteral("There is one subfolder");
    QString caption = QStringLiteral("There are ") + QString::number(subfolders) +
                      QStringLiteral(" subfolders");
    if (selected != 0)
        return caption + QStringLiteral(", ") + QString::number(selected) +
               QStringLiteral(" selected");
    noneSelected = true;
    return caption + QStringLiteral(", none selected");
}

QString IncludeSubfoldersCaption(const QString& source, const QStringList& included) {
    if (included.isEmpty())
        return {};
    if (included.size() == 1) {
        // A subfolder whose subfolders cannot be counted may still have some.
        if (CountSubfolders(source + included.front()).count != 0)
            return QStringLiteral("Include all subfolders of this subfolder");
        return {};
    }
    // A name given again is counted once: a setup file may repeat one many thousand times.
    QSet<QString> counted;
    for (const QString& name : included) {
        if (counted.contains(name))
            continue;
        counted.insert(name);
        if (CountSubfolders(source + name).count > 0)
            return QStringLiteral("Include all subfolders of these ") +
                   QString::number(included.size()) + QStringLiteral(" subfolders");
    }
    return {};
}

} // namespace vnt
