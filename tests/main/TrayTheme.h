#pragma once

#include <QSystemTrayIcon>

// A platform theme for the offscreen platform that gives the tray icons of a Linux desktop's
// theme: Qt's own StatusNotifier items on the session bus (when a host is registered there),
// or icons whose clicks a test makes, as on an XEmbed tray. A test program chooses it by
// setting QT_QPA_PLATFORMTHEME to kTrayThemeName before it makes its application.
namespace tovrin::test {

inline constexpr char kTrayThemeName[] = "tovrin-tray-test";

enum class TrayKind { StatusNotifier, Clicked };

// The kind of the tray icons made from now on.
void MakeTrayIcons(TrayKind kind);

// A click (or a double click...) on the shown icon of the kind Clicked, as the tray reports
// it; false when no such icon is shown.
bool ClickTrayIcon(QSystemTrayIcon::ActivationReason why);

}  // namespace tovrin::test
