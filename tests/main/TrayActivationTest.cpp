// Which tray clicks open the main window, told apart by a StatusNotifier host on a private bus.

#include "main/TrayActivation.h"

#include "tests/support/PrivateSessionBus.h"

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QDBusAbstractAdaptor>
#include <QDBusConnection>
#include <QDeadlineTimer>

namespace tovrin {
namespace {

// A desktop's StatusNotifierWatcher as far as Qt and the program ask it.
class FakeWatcher : public QObject {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.kde.StatusNotifierWatcher")
    Q_PROPERTY(bool IsStatusNotifierHostRegistered READ HostRegistered)
    Q_PROPERTY(int ProtocolVersion READ ProtocolVersion)

  public:
    bool HostRegistered() const { return true; }
    int ProtocolVersion() const { return 0; }
  public slots:
    void RegisterStatusNotifierItem(const QString&) {}
    void RegisterStatusNotifierHost(const QString&) {}
};

// The watcher's answer as the program gets it: asked without waiting, then served (bounded).
bool HostPresent(const QDBusConnection& bus) {
    StatusNotifierHost host(bus);
    QDeadlineTimer deadline(20000);
    while (!host.Answered() && !deadline.hasExpired())
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 5);
    EXPECT_TRUE(host.Answered());
    return host.Present();
}

TEST(TrayActivationTest, AStatusNotifierItemOpensOnAClickAnXEmbedIconOnADoubleClick) {
    static int argc = 1;
    static char name[] = "tovrin_bus_tests";
    static char* argv[] = {name, nullptr};
    if (!QCoreApplication::instance()) new QCoreApplication(argc, argv);
    test::PrivateSessionBus bus;
    ASSERT_TRUE(bus.Ready());
    auto program =
        QDBusConnection::connectToBus(QString::fromStdString(bus.Address()), "tray-program");
    EXPECT_FALSE(HostPresent(program));

    // The desktop's side, on a connection of its own.
    FakeWatcher watcher;
    auto desktopBus =
        QDBusConnection::connectToBus(QString::fromStdString(bus.Address()), "tray-desktop");
    ASSERT_TRUE(desktopBus.registerObject("/StatusNotifierWatcher", &watcher,
                                          QDBusConnection::ExportAllContents));
    ASSERT_TRUE(desktopBus.registerService("org.kde.StatusNotifierWatcher"));
    EXPECT_TRUE(HostPresent(program));
    desktopBus.unregisterService("org.kde.StatusNotifierWatcher");
    desktopBus.unregisterObject("/StatusNotifierWatcher");
    QDBusConnection::disconnectFromBus("tray-desktop");
    QDBusConnection::disconnectFromBus("tray-program");
    EXPECT_FALSE(HostPresent(QDBusConnection("no-such-connection")));

    EXPECT_TRUE(TrayActivationOpens(QSystemTrayIcon::Trigger, true));
    EXPECT_TRUE(TrayActivationOpens(QSystemTrayIcon::DoubleClick, false));
    // On an XEmbed tray a double click is preceded by a trigger: only the double click opens.
    EXPECT_FALSE(TrayActivationOpens(QSystemTrayIcon::Trigger, false));
    EXPECT_FALSE(TrayActivationOpens(QSystemTrayIcon::Context, true));
    EXPECT_FALSE(TrayActivationOpens(QSystemTrayIcon::MiddleClick, true));
}

}  // namespace
}  // namespace tovrin

#include "TrayActivationTest.moc"
