#pragma once
// What a run tells the desktop and asks of the system: one notification when it ends, and no
// sleep while it runs. The core and the console see only these interfaces; DesktopBus.h
// reaches the desktop and logind through D-Bus, and tests record what is asked.

#include "platform/UniqueFd.h"

#include <QString>

namespace vnt {

struct DesktopNotice {
    QString title;
    QString body;
    bool critical = false; // a failure, which the desktop keeps on screen until it is seen
};

class Notifier {
public:
    virtual ~Notifier() = default;
    // Shows notice; why it could not be shown, or an empty text.
    virtual QString Notify(const DesktopNotice& notice) = 0;
};

class SleepInhibitor {
public:
    virtual ~SleepInhibitor() = default;
    // Keeps the computer from sleeping, for the reason why, until the lock returned is
    // closed. An empty lock when the system grants none: the operation runs all the same.
    virtual UniqueFd HoldOffSleep(const QString& why) = 0;
};

// Neither: for hosts without a desktop, and the default of the engine's callers.
class NoDesktop : public Notifier, public SleepInhibitor {
public:
    QString Notify(const DesktopNotice&) override { return {}; }
    UniqueFd HoldOffSleep(const QString&) override { return {}; }
    static NoDesktop& Instance() {
        static NoDesktop none;
        return none;
    }
};

} // namespace vnt
