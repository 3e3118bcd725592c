#include "platform/SystemShell.h"

#include <QFileInfo>
#include <QProcess>
#include <QUrl>

namespace vnt {

namespace {

constexpr int Launched = 42;
constexpr int NotFound = 2;
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

} // namespace

int LinuxShell::openDocument(const QString& address) {
    const QUrl url(address);
    // A local path (or file: address) that does not exist cannot be opened by anything.
    const bool local = url.scheme().isEmpty() || url.isLocalFile();
    if (local) {
        const QString path = url.isLocalFile() ? url.toLocalFile() : address;
        if (!QFileInfo::exists(path))
            return NotFound;
    }
    return Run(QStringLiteral("xdg-open"), {address}) ? Launched : NoApplication;
}

void LinuxShell::startShutdown(const QString& comment) {
    Run(QStringLiteral("shutdown"), {QStringLiteral("-P"), QStringLiteral("+1"), comment});
}

void LinuxShell::abortShutdown() {
    Run(QStringLiteral("shutdown"), {QStringLiteral("-c")});
}

} // namespace vnt
