#include "main/TrayActivation.h"

#include <QDBusError>
#include <QDBusMessage>
#include <QDBusPendingCallWatcher>
#include <QDBusVariant>

namespace tovrin {

StatusNotifierHost::StatusNotifierHost(const QDBusConnection& bus, int limitMs, QObject* parent)
    : QObject(parent) {
    if (!bus.isConnected()) {
        answered_ = true;
        return;
    }
    auto ask =
        QDBusMessage::createMethodCall("org.kde.StatusNotifierWatcher", "/StatusNotifierWatcher",
                                       "org.freedesktop.DBus.Properties", "Get");
    ask << QStringLiteral("org.kde.StatusNotifierWatcher")
        << QStringLiteral("IsStatusNotifierHostRegistered");
    // A desktop without a watcher answers at once (an error); a silent one ends in a timeout.
    auto* call = new QDBusPendingCallWatcher(bus.asyncCall(ask, limitMs), this);
    connect(call, &QDBusPendingCallWatcher::finished, this, [this](QDBusPendingCallWatcher* done) {
        const QDBusMessage reply = done->reply();
        present_ = reply.type() == QDBusMessage::ReplyMessage && !reply.arguments().isEmpty() &&
                   qvariant_cast<QDBusVariant>(reply.arguments().first()).variant().toBool();
        const QDBusError::ErrorType error = done->error().type();
        silent_ = error == QDBusError::NoReply || error == QDBusError::Timeout ||
                  error == QDBusError::TimedOut;
        answered_ = true;
        done->deleteLater();
        emit AnswerCame();
    });
}

bool TrayActivationOpens(QSystemTrayIcon::ActivationReason why, bool statusNotifier) {
    if (why == QSystemTrayIcon::DoubleClick) return true;
    return statusNotifier && why == QSystemTrayIcon::Trigger;
}

}  // namespace tovrin
