#include "platform/qt/LogindPowerControl.h"

#include <QDBusConnection>
#include <QDBusMessage>
#include <QString>

namespace tovrin {

namespace {

// Calls a login1 manager method with interactive=false: the request must not wait for a
// password prompt, and logind's policy decides whether this user may do it.
bool CallLogind(const QString& method) {
    QDBusMessage call = QDBusMessage::createMethodCall(
        QStringLiteral("org.freedesktop.login1"), QStringLiteral("/org/freedesktop/login1"),
        QStringLiteral("org.freedesktop.login1.Manager"), method);
    call << false;
    QDBusMessage reply = QDBusConnection::systemBus().call(call);
    return reply.type() == QDBusMessage::ReplyMessage;
}

}  // namespace

bool LogindPowerControl::PowerOff() {
    return CallLogind(QStringLiteral("PowerOff"));
}

bool LogindPowerControl::Hibernate() {
    return CallLogind(QStringLiteral("Hibernate"));
}

}  // namespace tovrin
