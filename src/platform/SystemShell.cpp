#include "platform/SystemShell.h"

#include <algorithm>
#include <memory>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QProcess>
#include <QStandardPaths>
#include <QUrl>

namespace vnt {

namespace {

constexpr int Launched = 42;
constexpr int NotFound = 2;
constexpr int OutOfMemory = 8;
constexpr int NoApplication = 31;

// Test builds set this so that a test that forgets to inject a recorder fails safe.
bool RealCommandsAllowed() {
    return !qEnvironmentVariableIsSet("VANTORO_NO_SYSTEM_COMMANDS");
}

bool Run(const QString& program, const QStringList& arguments) {
    if (!RealCommandsAllowed())
        return false;
    return QProcess::startDetached(program, arguments);
}

// xdg-open's exit codes: 0 done, 1 bad arguments, 2 no such file, 3 no tool for it,
// 4 the opening failed (what desktops' openers answer when no application takes it).
int OpenResultCode(const ProgramLaunch& launch) {
    switch (launch.outcome) {
    case ProgramLaunch::Outcome::StillRunning:
        return Launched; // a browser that takes its time has still been started
    case ProgramLaunch::Outcome::Missing:
        return NoApplication;
    case ProgramLaunch::Outcome::NotStarted:
        return OutOfMemory; // the opener is there; the system could not start a process
    case ProgramLaunch::Outcome::Exited:
        if (launch.exitCode == 0)
            return Launched;
        if (launch.exitCode == 3 || launch.exitCode == 4)
            return NoApplication;
        return NotFound;
    case ProgramLaunch::Outcome::Crashed:
        break;
    }
    return NotFound;
}

} // namespace

int SystemShell::openDocument(const QString& address) {
    const QUrl url(address);
    // A local path (or file: address) that does not exist cannot be opened by anything.
    const bool local = url.scheme().isEmpty() || url.isLocalFile();
    if (local) {
        const QString path = url.isLocalFile() ? url.toLocalFile() : address;
        if (!QFileInfo::exists(path))
            return NotFound;
    }
    return OpenResultCode(
        startAndWait(QStringLiteral("xdg-open"), {address}, OpenDocumentWaitMilliseconds));
}

ProgramLaunch LinuxShell::startAndWait(const QString& program, const QStringList& arguments,
                                       int waitMilliseconds) {
    if (!RealCommandsAllowed())
        return {ProgramLaunch::Outcome::Missing, 0};
    return StartProgramAndWait(program, arguments, waitMilliseconds);
}

ProgramOutput LinuxShell::runAndRead(const QString& program, const QStringList& arguments,
                                     int waitMilliseconds) {
    if (!RealCommandsAllowed())
        return {{ProgramLaunch::Outcome::Missing, 0}, {}};
    return StartProgramAndRead(program, arguments, waitMilliseconds);
}

namespace {

// Starts program and waits for it; with output, its standard output is read instead of
// going where ours goes.
ProgramLaunch Launch(const QString& program, const QStringList& arguments, int waitMilliseconds,
                     QByteArray* output) {
    if (QStandardPaths::findExecutable(program).isEmpty())
        return {ProgramLaunch::Outcome::Missing, 0};
    auto process = std::make_unique<QProcess>();
    process->setProgram(program);
    process->setArguments(arguments);
    // Nothing of ours for it to read; what it says goes where ours goes.
    process->setStandardInputFile(QProcess::nullDevice());
    process->setProcessChannelMode(output != nullptr ? QProcess::ForwardedErrorChannel
                                                     : QProcess::ForwardedChannels);
    QElapsedTimer clock;
    clock.start();
    process->start();
    const bool started = process->waitForStarted(waitMilliseconds);
    if (!started && process->error() != QProcess::Timedout)
        return {ProgramLaunch::Outcome::NotStarted, 0};
    const int left = std::max(0, waitMilliseconds - static_cast<int>(clock.elapsed()));
    if (started && process->waitForFinished(left)) {
        if (output != nullptr)
            *output = process->readAllStandardOutput();
        if (process->exitStatus() == QProcess::CrashExit)
            return {ProgramLaunch::Outcome::Crashed, 0};
        return {ProgramLaunch::Outcome::Exited, process->exitCode()};
    }
    // Destroying a running QProcess would kill it: the process object lives on until its
    // program ends, and then removes itself.
    QProcess* running = process.release();
    QObject::connect(running, &QProcess::finished, running, &QObject::deleteLater);
    return {ProgramLaunch::Outcome::StillRunning, 0};
}

} // namespace

ProgramLaunch StartProgramAndWait(const QString& program, const QStringList& arguments,
                                  int waitMilliseconds) {
    return Launch(program, arguments, waitMilliseconds, nullptr);
}

ProgramOutput StartProgramAndRead(const QString& program, const QStringList& arguments,
                                  int waitMilliseconds) {
    ProgramOutput result;
    result.launch = Launch(program, arguments, waitMilliseconds, &result.output);
    return result;
}

void LinuxShell::startShutdown(const QString& comment) {
    Run(QStringLiteral("shutdown"), {QStringLiteral("-P"), QStringLiteral("+1"), comment});
}

void LinuxShell::abortShutdown() {
    Run(QStringLiteral("shutdown"), {QStringLiteral("-c")});
}

} // namespace vnt
