#pragma once

class QString;

namespace tovrin {

// Tells the desktop's notification service (org.freedesktop.Notifications on the session bus
// that DBUS_SESSION_BUS_ADDRESS names at the time of the call) that an export has finished.
// Without a bus or a service nothing happens: the status panel has said it already. Never
// waits for the service's answer.
void NotifyExportFinished(const QString& summary, const QString& body);

}  // namespace tovrin
