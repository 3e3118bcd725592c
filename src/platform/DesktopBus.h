#pragma once
// The desktop and the system through D-Bus: notifications from the desktop's notification
// service on the session bus, the sleep lock from logind on the system bus. Only the
// programs link this (Qt6::DBus); the core knows the interfaces of platform/Desktop.h.

#include "platform/Desktop.h"

#include <functional>

namespace vnt {

// busAddress, in both: the bus to call; empty for the one the environment names
// (DBUS_SESSION_BUS_ADDRESS, DBUS_SYSTEM_BUS_ADDRESS, else the usual sockets).
class BusNotifier : public Notifier {
public:
    explicit BusNotifier(QString busAddress = {}) : address(std::move(busAddress)) {}
    QString Notify(const DesktopNotice& notice) override;

private:
    QString address;
};

class LogindInhibitor : public SleepInhibitor {
public:
    // refused hears why logind did not grant a lock it was asked for. A system without a
    // system bus or without logind has no sleep to hold off: that is not said.
    explicit LogindInhibitor(std::function<void(const QString&)> refusedIn = {},
                             QString busAddress = {})
        : refused(std::move(refusedIn)), address(std::move(busAddress)) {}
    UniqueFd HoldOffSleep(const QString& why) override;

private:
    std::function<void(const QString&)> refused;
    QString address;
};

// Both, on the buses the environment names: what the programs use.
class DesktopBus : public Notifier, public SleepInhibitor {
public:
    explicit DesktopBus(std::function<void(const QString&)> sleepRefused = {})
        : inhibitor(std::move(sleepRefused)) {}
    QString Notify(const DesktopNotice& notice) override { return notifier.Notify(notice); }
    UniqueFd HoldOffSleep(const QString& why) override { return inhibitor.HoldOffSleep(why); }

private:
    BusNotifier notifier;
    LogindInhibitor inhibitor;
};

} // namespace vnt
