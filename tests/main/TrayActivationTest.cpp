// Which tray clicks open the main window, told apart by a StatusNotifier host on a private bus.

#include "main/TrayActivation.h"

#include "tests/support/PrivateSessionBus.h"

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QDBusAbstractAdaptor>
#include <QDBusConnection>

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

TEST(TrayActivationTest, AStatusNotifierItemOpensOnAClickAnXEmbedIconOnADoubleClick) {
    static int argc = 1;
    static char name[] = "tovrin_bus_tests";
    static char* argv[] = {name, nullptr};
    if (!QCoreApplication::instance()) new QCoreApplication(argc, argv);
    test::PrivateSessionBus bus;
    ASSERT_TRUE(bus.Ready());
    auto program =
        QDBusConnection::connectToBus(QString::fromStdString(bus.Address()), "tray-program");
    EXPECT_FALSE(StatusNotifierHostPresent(program));

    // The desktop's side, on a connection of its own; it answers while the program waits.
    FakeWatcher watcher;
    auto desktopBus =
        QDBusConnection::connectToBus(QString::fromStdString(bus.Address()), "tray-desktop");
    ASSERT_TRUE(desktopBus.registerObject("/StatusNotifierWatcher", &watcher,
                                          QDBusConnection::ExportAllContents));
    ASSERT_TRUE(desktopBus.registerService("org.kde.StatusNotifierWatcher"));
    EXPECT_TRUE(StatusNotifierHostPresent(program));
    desktopBus.unregisterService("org.kde.StatusNotifierWatcher");
    desktopBus.unregisterObject("/StatusNotifierWatcher");
    QDBusConnection::disconnectFromBus("tray-desktop");
    QDBusConnection::disconnectFromBus("tray-program");
    EXPECT_FALSE(StatusNotifierHostPresent(QDBusConnection("no-such-connection")));

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
