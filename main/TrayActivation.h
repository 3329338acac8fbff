#pragma once

#include <QDBusConnection>
#include <QSystemTrayIcon>

namespace tovrin {

// Whether the desktop shows tray icons as StatusNotifier items (KDE, GNOME with the
// AppIndicator extension): a host is registered with the bus's StatusNotifierWatcher. Qt then
// reports a click on the icon as a trigger, where an XEmbed tray reports a double click.
bool StatusNotifierHostPresent(const QDBusConnection& bus);

// Whether a tray activation is the one that opens the main window: the double click of an
// XEmbed tray, or the click (trigger) of a StatusNotifier item.
bool TrayActivationOpens(QSystemTrayIcon::ActivationReason why, bool statusNotifier);

}  // namespace tovrin
