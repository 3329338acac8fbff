// The main window's tray icon as a desktop's tray shows it: a StatusNotifier item that Qt puts
// on a private session bus, clicked over the bus as a desktop's tray clicks it, and an icon
// clicked as an XEmbed tray reports its clicks; the desktop's watcher is a fake one.

#include "main/FrmTalk.h"

#include "dialogs/MessageBoxes.h"
#include "main/TrayActivation.h"
#include "platform/Power.h"
#include "tests/engine/FakeClock.h"
#include "tests/main/FakePlayers.h"
#include "tests/main/FakeStatusNotifierWatcher.h"
#include "tests/main/TrayTheme.h"
#include "tests/support/PrivateSessionBus.h"
#include "tests/support/RecordingPowerControl.h"
#include "tests/support/TestEnvironment.h"

#include <stdlib.h>

#include <QAction>
#include <QApplication>
#include <QDBusPendingCall>
#include <QMenu>
#include <QTest>

#include <gtest/gtest.h>

#include <fstream>
#include <memory>
#include <optional>

namespace tovrin {
namespace {

using test::FakeStatusNotifierWatcher;

// The private session bus and, on it, the application with the test's tray theme: Qt's tray
// asks the session bus once a process whether a host is there, so both last the whole program.
class TrayEnvironment : public testing::Environment {
  public:
    void SetUp() override {
        bus = std::make_unique<test::PrivateSessionBus>();
        ASSERT_TRUE(bus->Ready()) << "dbus-daemon did not start";
        setenv("DBUS_SESSION_BUS_ADDRESS", bus->Address().c_str(), 1);
        setenv("QT_QPA_PLATFORMTHEME", test::kTrayThemeName, 1);
        static int argc = 1;
        static char name[] = "tovrin_tray_tests";
        static char* argv[] = {name, nullptr};
        app_ = std::make_unique<QApplication>(argc, argv);
    }
    void TearDown() override {
        app_.reset();
        bus.reset();
    }

    std::unique_ptr<test::PrivateSessionBus> bus;

  private:
    std::unique_ptr<QApplication> app_;
};
TrayEnvironment* const environment =
    static_cast<TrayEnvironment*>(testing::AddGlobalTestEnvironment(new TrayEnvironment));

// Serves the program's events until `done` holds; bounded only so that a fault cannot hang.
template <typename Condition>
bool ServeUntil(Condition done) {
    return QTest::qWaitFor(done, 20000);
}

// A main window started as the program starts it, with a tray icon of the kind a test chose
// and a desktop watcher of its own.
class TrayIconTest : public testing::Test {
  protected:
    void TearDown() override {
        frm_.reset();
        InstallPowerControl(nullptr);
    }

    // The watcher first: Qt's tray asks it when the icon is made.
    void MakeWatcher(bool hostRegistered) {
        watcher_.emplace(environment->bus->Address(), hostRegistered);
        ASSERT_TRUE(watcher_->Registered());
    }

    // Makes the window and runs its start-up (the tray icon is made there) up to the first
    // activation, which shows the window.
    void StartWindow(test::TrayKind kind) {
        test::MakeTrayIcons(kind);
        folder_ = test::MakeTempDir("tray");
        InstallPowerControl(&power_);
        std::ofstream(folder_ + "/tovrin.ini")
            << "[TFrmTalk]\nLogOff_Checked=False\nLogOn_Checked=False\n";
        FrmTalkSetup setup;
        setup.ExecutablePath = folder_ + "/tovrin";
        setup.SettingsPath = folder_ + "/tovrin.ini";
        setup.Boxes = &boxes_;
        setup.ActivationFallbackMs = 60'000;  // the test activates by hand
        setup.TrayAnswerLimitMs = trayAnswerLimitMs_;
        setup.OpenProgram = [](const QString&) { return true; };
        setup.SoundIsSilent = [] { return false; };
        setup.MakeDdeServer = [](const std::string&, const std::string&,
                                 DdeServer::ExecuteHandler) {
            return std::unique_ptr<DdeServer>();
        };
        frm_ = std::make_unique<TFrmTalk>(std::make_unique<TTalkServ>(folder_ + "/ZalLib", clock_),
                                          std::move(setup));
        frm_->SetPlayerFactory(&players_);
        ASSERT_TRUE(frm_->FormCreate());
        host_ = frm_->findChild<StatusNotifierHost*>();
        ASSERT_NE(host_, nullptr);
    }
    // The icon is made once the watcher has answered.
    bool TrayIconMade() {
        return ServeUntil([&] { return frm_->TrayIcon() != nullptr; });
    }
    void FirstActivation() {
        frm_->ShowMainClick();
        ASSERT_TRUE(Shown());
    }

    bool Shown() const { return frm_->MainWindowShown() && frm_->isVisible(); }
    bool Hidden() const {
        return !frm_->MainWindowShown() && !frm_->isVisible() &&
               frm_->PopupMenu()->defaultAction()->objectName() == QLatin1String("ItemShow");
    }

    // Calls a method of the item as a desktop's tray does, from a connection of its own, and
    // serves the program until the call is answered.
    bool CallItem(const FakeStatusNotifierWatcher::Item& item, const char* method) {
        auto tray = QDBusConnection::connectToBus(
            QString::fromStdString(environment->bus->Address()), "desktop-tray");
        auto call = QDBusMessage::createMethodCall(item.Service, item.Path,
                                                   "org.kde.StatusNotifierItem", method);
        call << 12 << 34;  // where on the screen; an item may place a menu there
        QDBusPendingCall pending = tray.asyncCall(call);
        const bool answered = ServeUntil([&] { return pending.isFinished(); });
        QDBusConnection::disconnectFromBus("desktop-tray");
        EXPECT_FALSE(pending.isError()) << pending.error().message().toStdString();
        return answered && !pending.isError();
    }

    std::string folder_;
    RecordingPowerControl power_;
    test::FakeClock clock_;
    test::FakePlayers players_;
    ScriptedMessageBoxes boxes_;
    std::optional<FakeStatusNotifierWatcher> watcher_;
    std::unique_ptr<TFrmTalk> frm_;
    StatusNotifierHost* host_ = nullptr;
    int trayAnswerLimitMs_ = 20000;
};

TEST_F(TrayIconTest, AClickOnTheStatusNotifierItemDoesWhatTheMenusDefaultDoes) {
    MakeWatcher(true);
    StartWindow(test::TrayKind::StatusNotifier);
    FirstActivation();
    ASSERT_TRUE(TrayIconMade());
    // Qt's item registers with the watcher; the program learns of the host.
    ASSERT_TRUE(ServeUntil([&] { return !watcher_->Items().empty() && host_->Answered(); }));
    EXPECT_TRUE(host_->Present());
    const FakeStatusNotifierWatcher::Item item = watcher_->Items().back();

    ASSERT_TRUE(CallItem(item, "Activate"));
    EXPECT_TRUE(Hidden());
    ASSERT_TRUE(CallItem(item, "Activate"));
    EXPECT_TRUE(Shown());
    // The middle click and the menu's click open nothing.
    ASSERT_TRUE(CallItem(item, "SecondaryActivate"));
    ASSERT_TRUE(CallItem(item, "ContextMenu"));
    EXPECT_TRUE(Shown());
}

TEST_F(TrayIconTest, AnXEmbedTrayOpensOnADoubleClickAloneEvenWithAWatcherThere) {
    // A watcher without a host: the desktop's tray is an XEmbed one.
    MakeWatcher(false);
    StartWindow(test::TrayKind::Clicked);
    FirstActivation();
    ASSERT_TRUE(TrayIconMade());
    EXPECT_FALSE(host_->Present());

    // A double click reports its first click as a trigger: only the double click counts.
    ASSERT_TRUE(test::ClickTrayIcon(QSystemTrayIcon::Trigger));
    EXPECT_TRUE(Shown());
    ASSERT_TRUE(test::ClickTrayIcon(QSystemTrayIcon::DoubleClick));
    EXPECT_TRUE(Hidden());
    ASSERT_TRUE(test::ClickTrayIcon(QSystemTrayIcon::Trigger));
    ASSERT_TRUE(test::ClickTrayIcon(QSystemTrayIcon::DoubleClick));
    EXPECT_TRUE(Shown());
    ASSERT_TRUE(test::ClickTrayIcon(QSystemTrayIcon::MiddleClick));
    EXPECT_TRUE(Shown());
}

TEST_F(TrayIconTest, AWatcherSlowToAnswerHoldsUpNothingAndASilentOneLeavesNoIcon) {
    MakeWatcher(true);
    watcher_->HoldAnswers();
    StartWindow(test::TrayKind::Clicked);
    // The start went on while the question waits for its answer; the icon waits with it, as
    // Qt's tray would ask the same watcher and wait on the window's thread.
    ASSERT_TRUE(ServeUntil([&] { return watcher_->HeldQuestions() == 1; }));
    EXPECT_FALSE(host_->Answered());
    EXPECT_EQ(frm_->TrayIcon(), nullptr);
    FirstActivation();

    watcher_->ReleaseAnswers();
    ASSERT_TRUE(TrayIconMade());
    EXPECT_TRUE(host_->Present());
    ASSERT_TRUE(test::ClickTrayIcon(QSystemTrayIcon::Trigger));
    EXPECT_TRUE(Hidden());
    ASSERT_TRUE(test::ClickTrayIcon(QSystemTrayIcon::Trigger));
    EXPECT_TRUE(Shown());
}

TEST_F(TrayIconTest, AWatcherThatNeverAnswersLeavesTheProgramWithoutATrayIcon) {
    MakeWatcher(true);
    watcher_->HoldAnswers();
    trayAnswerLimitMs_ = 50;
    testing::internal::CaptureStderr();
    StartWindow(test::TrayKind::Clicked);
    FirstActivation();
    ASSERT_TRUE(ServeUntil([&] { return host_->Answered(); }));
    EXPECT_TRUE(host_->Silent());
    EXPECT_EQ(frm_->TrayIcon(), nullptr);
    EXPECT_NE(testing::internal::GetCapturedStderr().find("tray does not answer"),
              std::string::npos);
    // Without a tray a hidden window could not come back: it is minimised instead.
    frm_->PopupMenu()->defaultAction()->trigger();
    EXPECT_TRUE(frm_->isVisible());
    watcher_->ReleaseAnswers();
}

}  // namespace
}  // namespace tovrin
