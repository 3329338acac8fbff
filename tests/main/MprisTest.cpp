// The media-player service on a private session bus, driven by a real D-Bus client (gdbus),
// as media keys and the desktop's media applet drive it.

#include "main/MprisService.h"

#include "tests/support/PrivateSessionBus.h"

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QDBusConnection>
#include <QDeadlineTimer>
#include <QProcess>

#include <memory>
#include <vector>

namespace tovrin {
namespace {

class RecordingControl : public MediaControl {
  public:
    void Play() override { Did("Play", MediaStatus::Playback::Playing); }
    void Pause() override { Did("Pause", MediaStatus::Playback::Paused); }
    void PlayPause() override {
        Did("PlayPause", status.State == MediaStatus::Playback::Playing
                             ? MediaStatus::Playback::Paused
                             : MediaStatus::Playback::Playing);
    }
    void Stop() override { Did("Stop", MediaStatus::Playback::Stopped); }
    void Next() override { Did("Next", MediaStatus::Playback::Playing); }
    void Previous() override { Did("Previous", MediaStatus::Playback::Playing); }
    void Raise() override { calls.push_back("Raise"); }
    MediaStatus Status() override { return status; }

    std::vector<std::string> calls;
    MediaStatus status{MediaStatus::Playback::Stopped, "Повесть.txt", "", true, false, true, true};

  private:
    void Did(const std::string& call, MediaStatus::Playback state) {
        calls.push_back(call);
        status.State = state;
    }
};

class MprisTest : public testing::Test {
  protected:
    static void SetUpTestSuite() {
        static int argc = 1;
        static char name[] = "tovrin_bus_tests";
        static char* argv[] = {name, nullptr};
        if (!QCoreApplication::instance()) new QCoreApplication(argc, argv);
    }

    void SetUp() override {
        ASSERT_TRUE(bus_.Ready()) << "dbus-daemon did not start";
        connection_ = std::make_unique<QDBusConnection>(
            QDBusConnection::connectToBus(QString::fromStdString(bus_.Address()), "mpris-test"));
        ASSERT_TRUE(connection_->isConnected());
        service_ = std::make_unique<MprisService>(control_, *connection_);
        ASSERT_TRUE(service_->Register());
    }
    void TearDown() override {
        service_.reset();
        connection_.reset();
        QDBusConnection::disconnectFromBus("mpris-test");
    }

    // Runs gdbus against the private bus while this thread's event loop serves the calls.
    QString Gdbus(QStringList args) {
        QProcess client;
        args.insert(1, "--address");
        args.insert(2, QString::fromStdString(bus_.Address()));
        client.start("gdbus", args);
        QDeadlineTimer deadline(20000);
        while (client.state() != QProcess::NotRunning && !deadline.hasExpired()) {
            QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
            client.waitForFinished(5);
        }
        EXPECT_EQ(client.exitStatus(), QProcess::NormalExit);
        EXPECT_EQ(client.exitCode(), 0) << client.readAllStandardError().toStdString();
        // The command itself runs on the next turn of the loop, after the reply.
        QCoreApplication::processEvents();
        return QString::fromUtf8(client.readAllStandardOutput()).trimmed();
    }
    QString Call(const QString& method) {
        return Gdbus({"call", "--dest", MprisService::kServiceName, "--object-path",
                      MprisService::kObjectPath, "--method", method});
    }
    QString Property(const QString& interface, const QString& name) {
        return Gdbus({"call", "--dest", MprisService::kServiceName, "--object-path",
                      MprisService::kObjectPath, "--method", "org.freedesktop.DBus.Properties.Get",
                      interface, name});
    }

    test::PrivateSessionBus bus_;
    std::unique_ptr<QDBusConnection> connection_;
    RecordingControl control_;
    std::unique_ptr<MprisService> service_;
};

TEST_F(MprisTest, MediaKeysReachTheReadingAndTheStatusFollowsIt) {
    const QString player = "org.mpris.MediaPlayer2.Player";
    EXPECT_EQ(Property(player, "PlaybackStatus"), "(<'Stopped'>,)");
    EXPECT_EQ(Property(player, "CanPause"), "(<false>,)");

    Call(player + ".PlayPause");
    EXPECT_EQ(Property(player, "PlaybackStatus"), "(<'Playing'>,)");
    Call(player + ".PlayPause");
    EXPECT_EQ(Property(player, "PlaybackStatus"), "(<'Paused'>,)");
    Call(player + ".Next");
    Call(player + ".Previous");
    Call(player + ".Stop");
    Call("org.mpris.MediaPlayer2.Raise");
    EXPECT_EQ(control_.calls, (std::vector<std::string>{"PlayPause", "PlayPause", "Next",
                                                        "Previous", "Stop", "Raise"}));
    EXPECT_EQ(Property(player, "PlaybackStatus"), "(<'Stopped'>,)");

    EXPECT_EQ(Property("org.mpris.MediaPlayer2", "Identity"), "(<'Tovrin'>,)");
}

TEST_F(MprisTest, TheMetadataNamesTheDocumentAndItsAuthor) {
    const QString player = "org.mpris.MediaPlayer2.Player";
    QString metadata = Property(player, "Metadata");
    EXPECT_TRUE(metadata.contains("'xesam:title': <'Повесть.txt'>")) << metadata.toStdString();
    EXPECT_FALSE(metadata.contains("xesam:artist")) << metadata.toStdString();

    control_.status.Title = "Зимняя дорога";
    control_.status.Artist = "А. Пешеходов";
    service_->Refresh();
    metadata = Property(player, "Metadata");
    EXPECT_TRUE(metadata.contains("'xesam:title': <'Зимняя дорога'>")) << metadata.toStdString();
    EXPECT_TRUE(metadata.contains("'xesam:artist': <['А. Пешеходов']>")) << metadata.toStdString();

    control_.status.Title.clear();
    service_->Refresh();
    EXPECT_TRUE(Property(player, "Metadata").contains("NoTrack"));
}

// Listens for the service's PropertiesChanged signals on a connection of its own.
class PropertiesListener : public QObject {
    Q_OBJECT
  public:
    QVariantMap last;
    int count = 0;
  public slots:
    void Changed(const QString&, const QVariantMap& changed, const QStringList&) {
        last = changed;
        ++count;
    }
};

TEST_F(MprisTest, ChangesAreAnnouncedAsTheyHappen) {
    auto listenerBus =
        QDBusConnection::connectToBus(QString::fromStdString(bus_.Address()), "mpris-listener");
    PropertiesListener listener;
    ASSERT_TRUE(listenerBus.connect(MprisService::kServiceName, MprisService::kObjectPath,
                                    "org.freedesktop.DBus.Properties", "PropertiesChanged",
                                    &listener, SLOT(Changed(QString, QVariantMap, QStringList))));
    control_.status.State = MediaStatus::Playback::Playing;
    control_.status.CanPause = true;
    service_->Refresh();
    service_->Refresh();  // nothing changed the second time: nothing said
    QDeadlineTimer deadline(20000);
    while (listener.count == 0 && !deadline.hasExpired())
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
    EXPECT_EQ(listener.count, 1);
    EXPECT_EQ(listener.last.value("PlaybackStatus").toString(), "Playing");
    EXPECT_EQ(listener.last.value("CanPause").toBool(), true);
    EXPECT_FALSE(listener.last.contains("Metadata"));
    QDBusConnection::disconnectFromBus("mpris-listener");
}

TEST(MprisWithoutBusTest, NoBusMeansNoServiceAndNoComplaint) {
    RecordingControl control;
    MprisService service(control,
                         QDBusConnection::connectToBus("unix:path=/nonexistent/bus", "no-bus"));
    EXPECT_FALSE(service.Register());
    service.Refresh();  // harmless without a bus
    QDBusConnection::disconnectFromBus("no-bus");
}

}  // namespace
}  // namespace tovrin

#include "MprisTest.moc"
