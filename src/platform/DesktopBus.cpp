#include "platform/DesktopBus.h"

#include <fcntl.h>
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

} // namespace

QString BusNotifier::Notify(const DesktopNotice& notice) {
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

UniqueFd LogindInhibitor::HoldOffSleep(const QString& why) {
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
        if (!noLogind && refused)
            refused(reply.errorMessage().isEmpty() ? name : reply.errorMessage());
        return {};
    }
    // The lock is ours alone: the message's copy goes with the message, and a program the
    // backup starts does not inherit it.
    const auto lock = qdbus_cast<QDBusUnixFileDescriptor>(reply.arguments().value(0));
    UniqueFd held(lock.isValid() ? ::fcntl(lock.fileDescriptor(), F_DUPFD_CLOEXEC, 3) : -1);
    if (!held && refused)
        refused(QStringLiteral("logind answered without a lock"));
    return held;
}

} // namespace vnt
