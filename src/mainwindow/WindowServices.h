#pragma once
// What the main window does outside itself: ending the program, blocking, the bell and the
// self-closing message. The desktop program passes DesktopServices; tests pass a recorder,
// so that no test ends its own event loop, waits wall time or beeps.

#include <QString>

namespace vnt {

class frmPopUp;

class WindowServices {
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
    // The one the program uses; it holds no state.
    static DesktopServices& Instance();
};

} // namespace vnt
