#include "player/SoundExportNotice.h"

#include <QDBusConnection>
#include <QDBusMessage>
#include <QString>
#include <QStringList>
#include <QVariantMap>

namespace tovrin {

void NotifyExportFinished(const QString& summary, const QString& body) {
    // The address is read each time, and each bus gets a connection of its own, opened once:
    // the program follows the session it runs in rather than the one it first met.
    const QString address = qEnvironmentVariable("DBUS_SESSION_BUS_ADDRESS");
    if (address.isEmpty()) return;
    QDBusConnection bus =
        QDBusConnection::connectToBus(address, QStringLiteral("tovrin-notices ") + address);
    if (!bus.isConnected()) return;
    QDBusMessage notify = QDBusMessage::createMethodCall(
        QStringLiteral("org.freedesktop.Notifications"),
        QStringLiteral("/org/freedesktop/Notifications"),
        QStringLiteral("org.freedesktop.Notifications"), QStringLiteral("Notify"));
    notify << QStringLiteral("Tovrin") << 0u << QStringLiteral("audio-x-generic") << summary << body
           << QStringList() << QVariantMap() << -1;
    // No answer is awaited: a desktop without the service answers with an error nobody needs.
    bus.send(notify);
}

}  // namespace tovrin
