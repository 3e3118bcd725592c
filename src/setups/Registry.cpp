#include "setups/Registry.h"

#include "platform/DataFolder.h"
#include "report/StrProc.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLocale>
#include <QSettings>

namespace vnt {

namespace {

const QString Success = QStringLiteral("The operation completed successfully.");

// Where earlier versions kept the settings: ~/.config/Vantoro/Vantoro.ini.
QString OldSettingsPath() {
    return QSettings(QSettings::IniFormat, QSettings::UserScope, QStringLiteral("Vantoro"),
                     QStringLiteral("Vantoro"))
        .fileName();
}

// Moves the old settings into the new file, key by key. A value the new file already holds
// stays: it was written later. The old file goes only once the new one is written, so a
// failure leaves every value where it was, to be moved at the next use; false then.
bool MoveOldSettings(const QString& newPath) {
    const QString oldPath = OldSettingsPath();
    if (!QFileInfo(oldPath).isFile())
        return true;
    QSettings old(oldPath, QSettings::IniFormat);
    // An old file that cannot be read whole stays as it is; the new one serves meanwhile.
    if (old.status() != QSettings::NoError)
        return true;
    // Asked before any value is set: QSettings keeps the values of a failed write in memory
    // and would write them later over what the new file holds.
    if (QFile probe(newPath); !probe.open(QIODevice::Append))
        return false;
    // A line of the new file that cannot be parsed is no reason to keep the old one.
    QSettings moved(newPath, QSettings::IniFormat);
    if (moved.status() == QSettings::AccessError)
        return false;
    for (const QString& key : old.allKeys()) {
        if (!moved.contains(key))
            moved.setValue(key, old.value(key));
    }
    moved.sync();
    if (moved.status() == QSettings::AccessError)
        return false;
    QFile::remove(oldPath);
    QDir().rmdir(QFileInfo(oldPath).absolutePath()); // only when nothing else is in it
    return true;
}

// The store is an INI file in the user's folder of the program, beside the setup files;
// key paths become groups.
QSettings Store() {
    const QString path = UserConfigFolder() + QStringLiteral("/settings.ini");
    if (!MoveOldSettings(path))
        return QSettings(OldSettingsPath(), QSettings::IniFormat);
    return QSettings(path, QSettings::IniFormat);
}

QString Group(const QString& key) { return QString(key).replace(u'\\', u'/'); }

bool GroupExists(QSettings& settings, const QString& group) {
    for (const QString& child : settings.allKeys()) {
        if (child.startsWith(group + u'/'))
            return true;
    }
    return false;
}

// Removes the time-zone fields from a time format, with what separated them from the rest;
// quoted text is kept as it is.
QString WithoutTimeZone(const QString& format) {
    QString kept;
    bool quoted = false;
    for (const QChar c : format) {
        if (c == u'\'')
            quoted = !quoted;
        if (quoted || c != u't')
            kept.append(c);
    }
    return kept.simplified().remove(QStringLiteral("()")).trimmed();
}

} // namespace

QString PreviousRunStampText(const QDateTime& moment, const QLocale& locale) {
    // Years in full and seconds: a stamp read long after must not be ambiguous, and two
    // starts in one minute must still differ. No zone: a clock on the wall shows none.
    QString dateFormat = locale.dateFormat(QLocale::ShortFormat);
    if (!dateFormat.contains(QStringLiteral("yyyy")))
        dateFormat.replace(QStringLiteral("yy"), QStringLiteral("yyyy"));
    const QString timeFormat = WithoutTimeZone(locale.timeFormat(QLocale::LongFormat));
    return locale.toString(moment.date(), dateFormat) + QStringLiteral(" at ") +
           locale.toString(moment.time(), timeFormat);
}

QString SaveToRegistry(const QString& key, const QString& name, const QString& value) {
    QSettings settings = Store();
    const QString group = Group(key);
    if (group.isEmpty() || settings.status() != QSettings::NoError)
        return QStringLiteral("5 Unable to create (or find) key.");
    const bool existed = GroupExists(settings, group);
    settings.setValue(group + u'/' + name, value);
    settings.sync();
    if (settings.status() != QSettings::NoError)
        return QStringLiteral("5 Unable to create (or find) key.  Access is denied.");
    return (existed ? QStringLiteral("0 Key already exists.") : QStringLiteral("0 New key created.")) +
           QStringLiteral("  ") + Success;
}

QString RestoreFromRegistry(const QString& key, const QString& name, QString& value) {
    const QString group = Group(key);
    if (group.isEmpty())
        return QStringLiteral("1 Key not found or is empty.");
    QSettings settings = Store();
    if (settings.status() != QSettings::NoError || !GroupExists(settings, group))
        return QStringLiteral("1 Key not found or is empty.");
    if (name.isEmpty())
        return QStringLiteral("2 Name not specified.");
    const QVariant stored = settings.value(group + u'/' + name);
    if (!stored.isValid() || stored.toString().isEmpty())
        return QStringLiteral("3 Name not found.");
    QString text = stored.toString();
    TrimTrailingControls(text);
    value = text;
    return QStringLiteral("0 OK");
}

QString StampPreviousRun(const QString& key, const QString& name) {
    QString previous;
    QString stored;
    if (RestoreFromRegistry(key, name, stored).startsWith(u'0') && stored.size() > 9)
        previous = stored;
    SaveToRegistry(key, name, PreviousRunStampText(QDateTime::currentDateTime(), QLocale()));
    return previous;
}

} // namespace vnt
