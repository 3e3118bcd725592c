#include "platform/DesktopBus.h"

#include "platform/Process.h"

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <fcntl.h>
#include <memory>
#include <mutex>
#include <optional>
#include <QDBusArgument>
#include <QDBusConnection>
#include <QDBusError>
#include <QDBusMessage>
#include <QDBusUnixFileDescriptor>
#include <QVariantMap>
#include <system_error>
#include <thread>

namespace vnt {

namespace {

// A service that hangs must not hold up the end of a backup for long.
constexpr int CallTimeoutMs = 5000;
// A stop asked for before a step began leaves it this long, so that an interrupted run
// still says so on the desktop.
constexpr int StepAfterStopMs = 500;

std::atomic<bool> stepAbandoned{false};

// QtDBus reaches the buses from a thread of its own, and waits for ever for one that could
// not be started (under a memory limit, say): without a thread there is no bus.
bool BusThreadPossible() {
    static const bool possible = [] {
        try {
            std::thread([] {}).join();
            return true;
        } catch (const std::system_error&) {
            return false;
        }
    }();
    return possible;
}

// The bus at address, or the environment's bus of that type: connected on first use, so
// that a run which asks nothing of a bus never reaches it. Nothing when it cannot be had.
std::optional<QDBusConnection> Bus(QDBusConnection::BusType type, const QString& address,
                                   QString& why) {
    if (!BusThreadPossible()) {
        why = QStringLiteral("no thread could be started for the bus");
        return std::nullopt;
    }
    QDBusConnection bus =
        !address.isEmpty()
            ? QDBusConnection::connectToBus(address, QStringLiteral("vantoro ") + address)
        : type == QDBusConnection::SessionBus ? QDBusConnection::sessionBus()
                                              : QDBusConnection::systemBus();
    if (bus.isConnected())
        return bus;
    why = bus.lastError().message();
    if (why.isEmpty())
        why = QStringLiteral("no bus");
    return std::nullopt;
}

// Runs step, which connects to a bus and calls it, on a thread of its own and waits for it
// at most limitMs, or until a stop is asked for. A bus that takes the connection and never
// answers then holds that thread, not the run; what the step returns late is dropped (a
// sleep lock closed at once). Nothing when the step did not end in time; why says so.
template <typename Result>
std::optional<Result> Bounded(std::function<Result()> step, int limitMs, const QString& busName,
                              QString& why) {
    struct Shared {
        std::mutex lock;
        std::condition_variable done;
        std::optional<Result> result;
    };
    const auto shared = std::make_shared<Shared>();
    try {
        std::thread([shared, step = std::move(step)] {
            Result result = step();
            const std::scoped_lock held(shared->lock);
            shared->result.emplace(std::move(result));
            shared->done.notify_all();
        }).detach();
    } catch (const std::system_error&) {
        why = QStringLiteral("no thread could be started for the bus");
        return std::nullopt;
    }
    const bool stoppedBefore = InterruptionRequested();
    const auto deadline =
        std::chrono::steady_clock::now() +
        std::chrono::milliseconds(stoppedBefore ? std::min(limitMs, StepAfterStopMs) : limitMs);
    std::unique_lock held(shared->lock);
    while (!shared->result) {
        const auto now = std::chrono::steady_clock::now();
        const bool stopped = !stoppedBefore && InterruptionRequested();
        if (stopped || now >= deadline) {
            stepAbandoned = true;
            why = stopped ? QStringLiteral("the run was stopped while waiting for the ") + busName
                          : QStringLiteral("the ") + busName +
                                QStringLiteral(" did not answer within %1 seconds")
                                    .arg(QString::number(limitMs / 1000.0));
            return std::nullopt;
        }
        shared->done.wait_for(held, std::min<std::chrono::steady_clock::duration>(
                                        deadline - now, std::chrono::milliseconds(50)));
    }
    return std::move(shared->result);
}

QString NotifyOnBus(const DesktopNotice& notice, const QString& address) {
    QString why;
    std::optional<QDBusConnection> bus = Bus(QDBusConnection::SessionBus, address, why);
    if (!bus)
        return why;
    QDBusMessage call = QDBusMessage::createMethodCall(
        QStringLiteral("org.freedesktop.Notifications"),
        QStringLiteral("/org/freedesktop/Notifications"),
        QStringLiteral("org.freedesktop.Notifications"), QStringLiteral("Notify"));
    // urgency is a byte: 1 normal, 2 critical. desktop-entry lets the desktop show the
    // program's name and icon with it.
    const QVariantMap hints{
        {QStringLiteral("urgency"), QVariant::fromValue<uchar>(notice.critical ? 2 : 1)},
        {QStringLiteral("desktop-entry"), QStringLiteral("org.example.vantoro.Vantoro")}};
    // A server that reads markup in the body would take a "<" or "&" of a path for it.
    const QDBusMessage capabilities = bus->call(
        QDBusMessage::createMethodCall(QStringLiteral("org.freedesktop.Notifications"),
                                       QStringLiteral("/org/freedesktop/Notifications"),
                                       QStringLiteral("org.freedesktop.Notifications"),
                                       QStringLiteral("GetCapabilities")),
        QDBus::Block, CallTimeoutMs);
    const bool markup = capabilities.type() == QDBusMessage::ReplyMessage &&
                        !capabilities.arguments().isEmpty() &&
                        capabilities.arguments()
                            .constFirst()
                            .toStringList()
                            .contains(QStringLiteral("body-markup"));
    call << QStringLiteral("Vantoro") << 0U << QStringLiteral("vantoro") << notice.title
         << (markup ? notice.body.toHtmlEscaped() : notice.body) << QStringList() << hints << -1;
    const QDBusMessage reply = bus->call(call, QDBus::Block, CallTimeoutMs);
    if (reply.type() == QDBusMessage::ErrorMessage)
        return reply.errorMessage().isEmpty() ? reply.errorName() : reply.errorMessage();
    return {};
}

struct SleepLock {
    UniqueFd held;
    QString refusal; // why logind gave none; empty when it was not asked (no bus, no logind)
};

SleepLock InhibitOnBus(const QString& why, const QString& address) {
    QString noBus; // no sleep to hold off: not said
    std::optional<QDBusConnection> bus = Bus(QDBusConnection::SystemBus, address, noBus);
    if (!bus)
        return {};
    QDBusMessage call = QDBusMessage::createMethodCall(
        QStringLiteral("org.freedesktop.login1"), QStringLiteral("/org/freedesktop/login1"),
        QStringLiteral("org.freedesktop.login1.Manager"), QStringLiteral("Inhibit"));
    call << QStringLiteral("sleep:idle") << QStringLiteral("Vantoro") << why
         << QStringLiteral("block");
    QDBusMessage reply = bus->call(call, QDBus::Block, CallTimeoutMs);
    if (reply.type() == QDBusMessage::ErrorMessage) {
        const QString name = reply.errorName();
        const bool noLogind = name == QStringLiteral("org.freedesktop.DBus.Error.ServiceUnknown") ||
                              name == QStringLiteral("org.freedesktop.DBus.Error.NameHasNoOwner");
        if (noLogind)
            return {};
        return {UniqueFd(), reply.errorMessage().isEmpty() ? name : reply.errorMessage()};
    }
    // The lock is ours alone: the message's copy goes with the message, and a program the
    // backup starts does not inherit it.
    const auto lock = qdbus_cast<QDBusUnixFileDescriptor>(reply.arguments().value(0));
    SleepLock result{
        UniqueFd(lock.isValid() ? ::fcntl(lock.fileDescriptor(), F_DUPFD_CLOEXEC, 3) : -1), {}};
    if (!result.held)
        result.refusal = QStringLiteral("logind answered without a lock");
    return result;
}

} // namespace

bool BusStepAbandoned() {
    return stepAbandoned;
}

QString BusNotifier::Notify(const DesktopNotice& notice) {
    QString why;
    const std::optional<QString> shown =
        Bounded<QString>([notice, address = address] { return NotifyOnBus(notice, address); },
                         limitMs, QStringLiteral("session bus"), why);
    return shown ? *shown : why;
}

UniqueFd LogindInhibitor::HoldOffSleep(const QString& why) {
    if (!BusThreadPossible())
        return {}; // no bus to be had, so no sleep to hold off: not said
    QString late;
    std::optional<SleepLock> lock =
        Bounded<SleepLock>([why, address = address] { return InhibitOnBus(why, address); }, limitMs,
                           QStringLiteral("system bus"), late);
    const QString refusal = lock ? lock->refusal : late;
    if (!refusal.isEmpty() && refused)
        refused(refusal);
    return lock ? std::move(lock->held) : UniqueFd();
}

} // namespace vnt
