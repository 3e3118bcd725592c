#pragma once
// Runs the built console program as a person or a script would.

#include "mainwindow/Language.h"
#include "TestSupport.h"

#include <gtest/gtest.h>
#include <QDir>
#include <QProcess>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>

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

// A source of three files in two folders and an empty target, in a folder of their own.
class SmallTreeTest : public ::testing::Test {
protected:
    QTemporaryDir dir;
    QString source = dir.path() + "/src/";
    QString target = dir.path() + "/dst/";

    static void SetUpTestSuite() {
        ASSERT_EQ(LoadProgramText("vnt.dat", VANTORO_DATA_DIR), QString());
    }

    void SetUp() override {
        ASSERT_TRUE(QDir().mkpath(source + "Letters/Old"));
        ASSERT_TRUE(QDir().mkpath(target));
        WriteFile(source + "a.txt", "aaa");
        WriteFile(source + "Letters/b.txt", "bb");
        WriteFile(source + "Letters/Old/c.txt", "c");
    }
};

} // namespace vnt::test
