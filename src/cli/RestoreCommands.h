#pragma once
// vantoro-cli versions and restore: getting files back out of a backup.

#include "platform/Desktop.h"

#include <cstdio>
#include <functional>
#include <QCommandLineOption>
#include <QCommandLineParser>
#include <QList>
#include <QString>

namespace vnt {

struct Setup;

// The options only restore takes.
QList<QCommandLineOption> RestoreOptions();
// Why the options given do not fit the command; empty when they do.
QString RestoreOptionMisuse(const QCommandLineParser& parser, const QString& command);

// vantoro-cli versions --target DIR PATH. fail says what stops the command. Returns the
// exit status: 0 listed, 1 the backup holds no version of the file, 2 nothing done.
int RunVersions(const QCommandLineParser& parser, const std::function<void(const QString&)>& fail);

// vantoro-cli restore, once the Setup has been read and checked as for every command; the
// report also goes to log where it is not null, and what it did to counts. inhibitor keeps the
// computer awake while files are restored. Returns the exit status of the backups.
int RunRestoreCommand(const QCommandLineParser& parser, const Setup& setup, FILE* log,
                      const std::function<void(const QString&)>& fail, SleepInhibitor& inhibitor,
                      QString& counts);

} // namespace vnt
