#include "platform/DataFolder.h"

#include <QDir>
#include <QFileInfo>
#include <QStandardPaths>

#ifndef VANTORO_DATA_FROM_BIN
#define VANTORO_DATA_FROM_BIN "../share/vantoro"
#endif

namespace vnt {

QStringList DataFolderCandidates(const QString& programFolder) {
    const QDir bin(programFolder);
    return {QDir::cleanPath(bin.absolutePath()),
            QDir::cleanPath(bin.absoluteFilePath(QStringLiteral(VANTORO_DATA_FROM_BIN)))};
}

QString DataFolder(const QString& programFolder) {
    for (const QString& folder : DataFolderCandidates(programFolder)) {
        if (QFileInfo(folder + QStringLiteral("/vnt.dat")).isFile())
            return folder;
    }
    return {};
}

QString StateFolder() {
    // XDG_STATE_HOME counts only as an absolute path; anything else is
    // ignored as if unset.
    QString state = qEnvironmentVariable("XDG_STATE_HOME");
    if (!QDir::isAbsolutePath(state))
        state = QDir::homePath() + QStringLiteral("/.local/state");
    return QDir::cleanPath(state) + QStringLiteral("/vantoro/");
}

QString ReportsFolder() {
    return StateFolder() + QStringLiteral("reports/");
}

QString UserConfigFolder() {
    const QString folder = QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation) +
                           QStringLiteral("/vantoro");
    QDir().mkpath(folder);
    return folder;
}

} // namespace vnt
