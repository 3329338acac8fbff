// Which tray clicks open the main window, told apart by a StatusNotifier host on a private bus.

#include "main/TrayActivation.h"

#include "tests/main/FakeStatusNotifierWatcher.h"
#include "tests/support/PrivateSessionBus.h"

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QDBusConnection>
#include <QTest>

namespace tovrin {
namespace {

// The watcher's answer as the program gets it: asked without waiting, then served (bounded).
bool HostPresent(const QDBusConnection& bus) {
    StatusNotifierHost host(bus, 20000);
    EXPECT_TRUE(QTest::qWaitFor([&] { return host.Answered(); }, 20000));
    EXPECT_FALSE(host.Silent());
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

    // The desktop's side, on a connection of its own; a watcher without a host is an XEmbed
    // tray's desktop.
    {
        test::FakeStatusNotifierWatcher watcher(bus.Address());
        ASSERT_TRUE(watcher.Registered());
        EXPECT_TRUE(HostPresent(program));
    }
    {
        test::FakeStatusNotifierWatcher watcher(bus.Address(), false);
        ASSERT_TRUE(watcher.Registered());
        EXPECT_FALSE(HostPresent(program));
    }
    // A watcher that keeps its answer past the limit is a silent one, with no host.
    {
        test::FakeStatusNotifierWatcher watcher(bus.Address());
        ASSERT_TRUE(watcher.Registered());
        watcher.HoldAnswers();
        StatusNotifierHost host(program, 50);
        ASSERT_TRUE(QTest::qWaitFor([&] { return host.Answered(); }, 20000));
        EXPECT_TRUE(host.Silent());
        EXPECT_FALSE(host.Present());
        watcher.ReleaseAnswers();
    }
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
