#pragma once
// What the program asks of the desktop and the system outside its own windows. The Linux
// implementation runs programs with argument lists, never through a shell; tests pass a
// recorder so no test can open a browser or shut the machine down.

#include <QString>

namespace vnt {

class SystemShell {
public:
    virtual ~SystemShell() = default;
    // Opens a web address, file or folder with the desktop's default handler. Returns a
    // value above 32 on success, else a failure code: 2 not found, 8 out of memory,
    // 31 no application for it.
    virtual int openDocument(const QString& address) = 0;
    // Starts a timed shutdown that shows comment to logged-in users.
    virtual void startShutdown(const QString& comment) = 0;
    virtual void abortShutdown() = 0;
};

class LinuxShell : public SystemShell {
public:
    int openDocument(const QString& address) override;
    void startShutdown(const QString& comment) override;
    void abortShutdown() override;
};

} // namespace vnt
