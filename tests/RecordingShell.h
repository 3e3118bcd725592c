#pragma once
// The system shell for tests: records what would have been run, runs nothing.

#include "platform/SystemShell.h"

#include <QStringList>

namespace vnt::test {

class RecordingShell : public SystemShell {
public:
    // What a started program does: by default it ends at once with success.
    ProgramLaunch launchResult{ProgramLaunch::Outcome::Exited, 0};
    int lastWaitMilliseconds = 0;
    QStringList calls;

    ProgramLaunch startAndWait(const QString& program, const QStringList& arguments,
                               int waitMilliseconds) override {
        calls.append(program + u' ' + arguments.join(u' '));
        lastWaitMilliseconds = waitMilliseconds;
        return launchResult;
    }
    void startShutdown(const QString& comment) override {
        calls.append(QStringLiteral("shutdown ") + comment);
    }
    void abortShutdown() override { calls.append(QStringLiteral("abort")); }
};

} // namespace vnt::test
