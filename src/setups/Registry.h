#pragma once
// The per-user settings store: named string values under key paths ("Software\Vantoro").

#include <QDateTime>
#include <QLocale>
#include <QString>

namespace vnt {

// Stores value under key and name; returns a status text ("0 ..." on success).
QString SaveToRegistry(const QString& key, const QString& name, const QString& value);
// Reads the value; returns a status text ("0 OK" on success) and the value.
QString RestoreFromRegistry(const QString& key, const QString& name, QString& value);

// Returns the stamp left by the previous start (empty when there is none) and stores
// the current date and time for the next one.
QString StampPreviousRun(const QString& key, const QString& name);
// The stamp's text for a moment: the locale's short date, " at " and its time with seconds.
QString PreviousRunStampText(const QDateTime& moment, const QLocale& locale);

} // namespace vnt
