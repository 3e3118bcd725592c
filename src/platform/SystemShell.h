#pragma once
// What the program asks of the desktop and the system outside its own windows. The Linux
// implementation runs programs with argument lists, never through a shell; tests pass a
// recorder so no test can open a browser or shut the machine down.

#include <QByteArray>
#include <QString>
#include <QStringList>

namespace vnt {

// What became of a program that was started and given a moment to end.
struct ProgramLaunch {
    enum class Outcome {
        Missing,      // no such program
        NotStarted,   // it exists but could not be started
        Exited,       // it ended in time with exitCode
        Crashed,      // it ended in time by a signal
        StillRunning, // it still runs, on its own
    };
    Outcome outcome = Outcome::Missing;
    int exitCode = 0;
};

// A program that was run for what it prints.
struct ProgramOutput {
    ProgramLaunch launch;
    QByteArray output; // its standard output, when it ended in time
};

class SystemShell {
public:
    virtual ~SystemShell() = default;
    // Opens a web address, file or folder with the desktop's default handler. Returns a
    // value above 32 on success, else a failure code: 2 not found, 8 out of memory,
    // 31 no application for it. Blocks for a moment at most.
    int openDocument(const QString& address);
    // Starts program and waits at most waitMilliseconds for it to end; one still running
    // then is left to run on its own, so a quick failure is learnt without blocking long.
    virtual ProgramLaunch startAndWait(const QString& program, const QStringList& arguments,
                                       int waitMilliseconds) = 0;
    // Runs program and reads its standard output; one still running after waitMilliseconds
    // is left to end on its own, and its output is lost.
    virtual ProgramOutput runAndRead(const QString& program, const QStringList& arguments,
                                     int waitMilliseconds) = 0;
    // Starts a timed shutdown that shows comment to logged-in users.
    virtual void startShutdown(const QString& comment) = 0;
    virtual void abortShutdown() = 0;
};

class LinuxShell : public SystemShell {
public:
    ProgramLaunch startAndWait(const QString& program, const QStringList& arguments,
                               int waitMilliseconds) override;
    ProgramOutput runAndRead(const QString& program, const QStringList& arguments,
                             int waitMilliseconds) override;
    void startShutdown(const QString& comment) override;
    void abortShutdown() override;
};

// The real start behind LinuxShell, without its guard against real commands in tests.
ProgramLaunch StartProgramAndWait(const QString& program, const QStringList& arguments,
                                  int waitMilliseconds);
ProgramOutput StartProgramAndRead(const QString& program, const QStringList& arguments,
                                  int waitMilliseconds);

// How long opening a document may hold the window: enough for the opener to find that
// nothing can open it, too short to be felt as a hang.
constexpr int OpenDocumentWaitMilliseconds = 1000;

} // namespace vnt
