#pragma once
// The desktop and the system through D-Bus: notifications from the desktop's notification
// service on the session bus, the sleep lock from logind on the system bus. Only the
// programs link this (Qt6::DBus); the core knows the interfaces of platform/Desktop.h.

#include "platform/Desktop.h"

#include <functional>

namespace vnt {

// How long a run waits for a bus, connecting included, before it goes on without it.
inline constexpr int BusLimitMs = 5000;

// Whether a bus step was given up while it still ran: its thread may stay blocked in the bus
// library for ever, so the program must end without waiting for that library's own thread
// (std::_Exit once its output is flushed).
bool BusStepAbandoned();

// busAddress, in both: the bus to call; empty for the one the environment names
// (DBUS_SESSION_BUS_ADDRESS, DBUS_SYSTEM_BUS_ADDRESS, else the usual sockets). limit: how
// long the whole step may take; a stop asked for (Process.h) ends the wait at once.
class BusNotifier : public Notifier {
public:
    explicit BusNotifier(QString busAddress = {}, int limit = BusLimitMs)
        : address(std::move(busAddress)), limitMs(limit) {}
    QString Notify(const DesktopNotice& notice) override;

private:
    QString address;
    int limitMs;
};

class LogindInhibitor : public SleepInhibitor {
public:
    // refused hears why logind did not grant a lock it was asked for, or that the bus did not
    // answer in time. A system without a system bus or without logind has no sleep to hold
    // off: that is not said.
    explicit LogindInhibitor(std::function<void(const QString&)> refusedIn = {},
                             QString busAddress = {}, int limit = BusLimitMs)
        : refused(std::move(refusedIn)), address(std::move(busAddress)), limitMs(limit) {}
    UniqueFd HoldOffSleep(const QString& why) override;

private:
    std::function<void(const QString&)> refused;
    QString address;
    int limitMs;
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
