#pragma once
// The system shell for tests: records what would have been run, runs nothing.

#include "platform/SystemShell.h"

#include <QStringList>

namespace vnt::test {

class RecordingShell : public SystemShell {
public:
    int openResult = 42;
    QStringList calls;

    int openDocument(const QString& address) override {
        calls.append(QStringLiteral("open ") + address);
        return openResult;
    }
    void startShutdown(const QString& comment) override {
        calls.append(QStringLiteral("shutdown ") + comment);
    }
    void abortShutdown() override { calls.append(QStringLiteral("abort")); }
};

} // namespace vnt::test
