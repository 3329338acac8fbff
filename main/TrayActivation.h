#pragma once

#include <QDBusConnection>
#include <QObject>
#include <QSystemTrayIcon>

namespace tovrin {

// Whether the desktop shows tray icons as StatusNotifier items (KDE, GNOME with the
// AppIndicator extension): a host is registered with the bus's StatusNotifierWatcher. Qt then
// reports a click on the icon as a trigger, where an XEmbed tray reports a double click.
//
// The watcher is asked without waiting, so that a watcher slow to answer this question does
// not hold up the start; Answered is signalled when the answer, an error or the time limit
// comes. The answer is the state when the tray icon is made, as Qt chooses the kind of icon
// then: a host that registers later does not turn an XEmbed icon into an item.
class StatusNotifierHost : public QObject {
    Q_OBJECT

  public:
    StatusNotifierHost(const QDBusConnection& bus, int limitMs, QObject* parent = nullptr);

    bool Present() const { return present_; }
    // Whether the watcher has answered (or could not be asked, or the time ran out).
    bool Answered() const { return answered_; }
    // A watcher owns its name but gave no answer in time. Qt's own tray asks it too, and waits
    // for each answer on the window's thread: no tray icon is made then.
    bool Silent() const { return silent_; }

  signals:
    void AnswerCame();

  private:
    bool present_ = false;
    bool answered_ = false;
    bool silent_ = false;
};

// Whether a tray activation is the one that opens the main window: the double click of an
// XEmbed tray, or the click (trigger) of a StatusNotifier item.
bool TrayActivationOpens(QSystemTrayIcon::ActivationReason why, bool statusNotifier);

}  // namespace tovrin
