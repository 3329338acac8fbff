#include "main/TrayActivation.h"

#include <QDBusInterface>
#include <QDBusReply>

namespace tovrin {

bool StatusNotifierHostPresent(const QDBusConnection& bus) {
    if (!bus.isConnected()) return false;
    QDBusInterface watcher("org.kde.StatusNotifierWatcher", "/StatusNotifierWatcher",
                           "org.kde.StatusNotifierWatcher", bus);
    if (!watcher.isValid()) return false;
    return watcher.property("IsStatusNotifierHostRegistered").toBool();
}

bool TrayActivationOpens(QSystemTrayIcon::ActivationReason why, bool statusNotifier) {
    if (why == QSystemTrayIcon::DoubleClick) return true;
    return statusNotifier && why == QSystemTrayIcon::Trigger;
}

}  // namespace tovrin
