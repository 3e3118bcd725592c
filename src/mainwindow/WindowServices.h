#pragma once
// What the main window does outside itself: ending the program, blocking, the bell, the
// self-closing message, the desktop's notification and the sleep lock. The desktop program
// passes DesktopServices; tests pass a recorder, so that no test ends its own event loop,
// waits wall time, beeps or reaches the desktop.

#include "platform/DesktopBus.h"

#include <QString>

namespace vnt {

class frmPopUp;

class WindowServices : public Notifier, public SleepInhibitor {
public:
    virtual ~WindowServices() = default;
    // Ends the program once the event loop regains control.
    virtual void EndProgram() = 0;
    // Blocks the program for the given milliseconds; sounds the bell.
    virtual void Sleep(int milliseconds) = 0;
    virtual void Beep() = 0;
    // Shows text in popUp, which closes by itself (width, height, milliseconds, top, left in
    // twips).
    virtual void ShowPopUp(frmPopUp& popUp, const QString& text, int width, int height,
                           int interval, int top, int left) = 0;
};

class DesktopServices : public WindowServices {
public:
    void EndProgram() override;
    void Sleep(int milliseconds) override;
    void Beep() override;
    void ShowPopUp(frmPopUp& popUp, const QString& text, int width, int height, int interval,
                   int top, int left) override;
    // A notice the desktop cannot show is not missed: the window holds the report.
    QString Notify(const DesktopNotice& notice) override { return bus.Notify(notice); }
    UniqueFd HoldOffSleep(const QString& why) override { return bus.HoldOffSleep(why); }
    // The one the program uses; it holds no state.
    static DesktopServices& Instance();

private:
    DesktopBus bus;
};

} // namespace vnt
