#pragma once
// Runs the built console program as a person or a script would.

#include "mainwindow/Language.h"
#include "TestSupport.h"

#include <csignal>
#include <cstdio>
#include <fcntl.h>
#include <functional>
#include <gtest/gtest.h>
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

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

// Runs the console program in a child of this process, for what QProcess cannot set up:
// standard output on the descriptor out (-1: closed; Captured: read back), and prepare run
// in the child just before the program starts (limits, signals as a shell leaves them).
// While it runs, whileRunning gets its process and the captured output's pipe.
constexpr int Captured = -2;
inline CliRun CliInChild(const QStringList& arguments, const std::function<void()>& prepare,
                         int out = Captured,
                         const std::function<void(pid_t, int)>& whileRunning = {}) {
    std::vector<QByteArray> words{QByteArray(VANTORO_CLI)};
    for (const QString& argument : arguments)
        words.push_back(QFile::encodeName(argument));
    std::vector<char*> argv;
    for (QByteArray& word : words)
        argv.push_back(word.data());
    argv.push_back(nullptr);
    int pipeEnds[2] = {-1, -1};
    if (out == Captured && ::pipe2(pipeEnds, O_CLOEXEC) != 0)
        return {};
    FILE* err = std::tmpfile();
    const pid_t pid = ::fork();
    if (pid == 0) {
        ::dup2(out == Captured ? pipeEnds[1] : out, STDOUT_FILENO);
        if (out == -1)
            ::close(STDOUT_FILENO);
        ::dup2(::fileno(err), STDERR_FILENO);
        ::close_range(3, ~0U, 0); // nothing of the test's own counts against its limits
        for (const int signal : {SIGHUP, SIGPIPE, SIGXFSZ})
            std::signal(signal, SIG_DFL);
        if (prepare)
            prepare();
        ::execv(argv[0], argv.data());
        ::_exit(127);
    }
    CliRun run;
    if (out == Captured) {
        ::close(pipeEnds[1]);
        if (whileRunning)
            whileRunning(pid, pipeEnds[0]);
        char buffer[65536];
        for (ssize_t got; (got = ::read(pipeEnds[0], buffer, sizeof buffer)) > 0;)
            run.out += QString::fromUtf8(buffer, got);
        ::close(pipeEnds[0]);
    }
    int status = 0;
    ::waitpid(pid, &status, 0);
    run.status = WIFEXITED(status) ? WEXITSTATUS(status) : -WTERMSIG(status);
    std::rewind(err);
    QByteArray errBytes;
    for (int c; (c = std::fgetc(err)) != EOF;)
        errBytes += static_cast<char>(c);
    std::fclose(err);
    run.err = QString::fromUtf8(errBytes);
    return run;
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
