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

// program: the console program unless another (a tracer, say) runs it.
inline CliRun Cli(const QStringList& arguments, const QString& workingDirectory = {},
                  const QString& program = QStringLiteral(VANTORO_CLI)) {
    QProcess process;
    if (!workingDirectory.isEmpty())
        process.setWorkingDirectory(workingDirectory);
    process.start(program, arguments);
    process.waitForFinished(60000);
    return {process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1,
            QString::fromUtf8(process.readAllStandardOutput()),
            QString::fromUtf8(process.readAllStandardError())};
}

} // namespace vnt::test
