#pragma once
// Runs the built console program as a person or a script would.

#include <QProcess>
#include <QString>
#include <QStringList>

namespace vnt::test {

struct CliRun {
    int status = -1;
    QString out;
    QString err;
};

inline CliRun Cli(const QStringList& arguments, const QString& workingDirectory = {}) {
    QProcess process;
    if (!workingDirectory.isEmpty())
        process.setWorkingDirectory(workingDirectory);
    process.start(QStringLiteral(VANTORO_CLI), arguments);
    process.waitForFinished(60000);
    return {process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1,
            QString::fromUtf8(process.readAllStandardOutput()),
            QString::fromUtf8(process.readAllStandardError())};
}

} // namespace vnt::test
