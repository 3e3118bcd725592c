#include "platform/DesktopBus.h"

#include <fcntl.h>
#include <QDBusArgument>
#include <QDBusConnection>
#include <QDBusError>
#include <QDBusMessage>
#include <QDBusUnixFileDescriptor>
#include <QVariantMap>

namespace vnt {

namespace {

// A service that hangs must not hold up the end of a backup for long.
constexpr int CallTimeoutMs = 5000;

// The bus at address, or the environment's bus of that type: connected on first use, so
// that a run which asks nothing of a bus never reaches it.
QDBusConnection Bus(QDBusConnection::BusType type, const QString& address) {
    if (address.isEmpty())
        return type == QDBusConnection::SessionBus ? QDBusConnection::sessionBus()
                                                   : QDBusConnection::systemBus();
    return QDBusConnection::connectToBus(address, QStringLiteral("vantoro ") + address);
}

QString NotConnected(const QDBusConnection& bus, const QString& which) {
    const QString message = bus.lastError().message();
    return message.isEmpty() ? QStringLiteral("no ") + which + QStringLiteral(" bus") : message;
}

} // namespace

QString BusNotifier::Notify(const DesktopNotice& notice) {
    QDBusConnection bus = Bus(QDBusConnection::SessionBus, address);
    if (!bus.isConnected())
        return NotConnected(bus, QStringLiteral("session"));
    QDBusMessage call = QDBusMessage::createMethodCall(
        QStringLiteral("org.freedesktop.Notifications"),
        QStringLiteral("/org/freedesktop/Notifications"),
        QStringLiteral("org.freedesktop.Notifications"), QStringLiteral("Notify"));
    // urgency is a byte: 1 normal, 2 critical. desktop-entry lets the desktop show the
    // program's name and icon with it.
    const QVariantMap hints{
        {QStringLiteral("urgency"), QVariant::fromValue<uchar>(notice.critical ? 2 : 1)},
        {QStringLiteral("desktop-entry"), QStringLiteral("org.example.vantoro.Vantoro")}};
    call << QStringLiteral("Vantoro") << 0U << QStringLiteral("vantoro") << notice.title
         << notice.body << QStringList() << hints << -1;
    const QDBusMessage reply = bus.call(call, QDBus::Block, CallTimeoutMs);
    if (reply.type() == QDBusMessage::ErrorMessage)
        return reply.errorMessage().isEmpty() ? reply.errorName() : reply.errorMessage();
    return {};
}

UniqueFd LogindInhibitor::HoldOffSleep(const QString& why) {
    QDBusConnection bus = Bus(QDBusConnection::SystemBus, address);
    if (!bus.isConnected())
        return {};
    QDBusMessage call = QDBusMessage::createMethodCall(
        QStringLiteral("org.freedesktop.login1"), QStringLiteral("/org/freedesktop/login1"),
        QStringLiteral("org.freedesktop.login1.Manager"), QStringLiteral("Inhibit"));
    call << QStringLiteral("sleep:idle") << QStringLiteral("Vantoro") << why
         << QStringLiteral("block");
    QDBusMessage reply = bus.call(call, QDBus::Block, CallTimeoutMs);
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
