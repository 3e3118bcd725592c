#pragma once
// The system shell for tests: records what would have been run, runs nothing.

#include "platform/SystemShell.h"

#include <QHash>
#include <QStringList>

namespace vnt::test {

class RecordingShell : public SystemShell {
public:
    // What a started program does: by default it ends at once with success.
    ProgramLaunch launchResult{ProgramLaunch::Outcome::Exited, 0};
    int lastWaitMilliseconds = 0;
    QStringList calls;
    // What a program run for its output answers, by its command line as calls records it;
    // one not listed ends with launchResult and prints nothing.
    QHash<QString, ProgramOutput> outputs;

    ProgramLaunch startAndWait(const QString& program, const QStringList& arguments,
                               int waitMilliseconds) override {
        calls.append(program + u' ' + arguments.join(u' '));
        lastWaitMilliseconds = waitMilliseconds;
        return launchResult;
    }
    ProgramOutput runAndRead(const QString& program, const QStringList& arguments,
                             int waitMilliseconds) override {
        const QString call = program + u' ' + arguments.join(u' ');
        calls.append(call);
        lastWaitMilliseconds = waitMilliseconds;
        return outputs.value(call, {launchResult, {}});
    }
    void startShutdown(const QString& comment) override {
        calls.append(QStringLiteral("shutdown ") + comment);
    }
    void abortShutdown() override { calls.append(QStringLiteral("abort")); }
};

} // namespace vnt::test
