#include "main/TrayActivation.h"

#include <QDBusMessage>
#include <QDBusVariant>

namespace tovrin {

bool StatusNotifierHostPresent(const QDBusConnection& bus) {
    if (!bus.isConnected()) return false;
    auto ask =
        QDBusMessage::createMethodCall("org.kde.StatusNotifierWatcher", "/StatusNotifierWatcher",
                                       "org.freedesktop.DBus.Properties", "Get");
    ask << QStringLiteral("org.kde.StatusNotifierWatcher")
        << QStringLiteral("IsStatusNotifierHostRegistered");
    // Events go on while the desktop answers; a desktop without a watcher answers at once.
    const QDBusMessage reply = QDBusConnection(bus).call(ask, QDBus::BlockWithGui, 2000);
    if (reply.type() != QDBusMessage::ReplyMessage || reply.arguments().isEmpty()) return false;
    return qvariant_cast<QDBusVariant>(reply.arguments().first()).variant().toBool();
}

bool TrayActivationOpens(QSystemTrayIcon::ActivationReason why, bool statusNotifier) {
    if (why == QSystemTrayIcon::DoubleClick) return true;
    return statusNotifier && why == QSystemTrayIcon::Trigger;
}

}  // namespace tovrin
