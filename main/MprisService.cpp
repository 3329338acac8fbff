#include "main/MprisService.h"

#include <QDBusAbstractAdaptor>
#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QDBusObjectPath>

namespace tovrin {

namespace {

constexpr const char* kPlayerInterface = "org.mpris.MediaPlayer2.Player";

QString Utf8(const std::string& text) {
    return QString::fromUtf8(text.data(), qsizetype(text.size()));
}

}  // namespace

// org.mpris.MediaPlayer2: who the player is.
class MprisRootAdaptor : public QDBusAbstractAdaptor {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.mpris.MediaPlayer2")
    Q_PROPERTY(bool CanQuit READ CanQuit)
    Q_PROPERTY(bool CanRaise READ CanRaise)
    Q_PROPERTY(bool HasTrackList READ HasTrackList)
    Q_PROPERTY(QString Identity READ Identity)
    Q_PROPERTY(QString DesktopEntry READ DesktopEntry)
    Q_PROPERTY(QStringList SupportedUriSchemes READ SupportedUriSchemes)
    Q_PROPERTY(QStringList SupportedMimeTypes READ SupportedMimeTypes)

  public:
    explicit MprisRootAdaptor(MprisService* service)
        : QDBusAbstractAdaptor(service), service_(service) {}

    bool CanQuit() const { return false; }
    bool CanRaise() const { return true; }
    bool HasTrackList() const { return false; }
    QString Identity() const { return QStringLiteral("Tovrin"); }
    QString DesktopEntry() const { return QStringLiteral("tovrin"); }
    QStringList SupportedUriSchemes() const { return {}; }
    QStringList SupportedMimeTypes() const { return {}; }

  public slots:
    void Raise() { service_->Control().Raise(); }
    void Quit() {}

  private:
    MprisService* service_;
};

// org.mpris.MediaPlayer2.Player: the transport commands and what is being read.
class MprisPlayerAdaptor : public QDBusAbstractAdaptor {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.mpris.MediaPlayer2.Player")
    Q_PROPERTY(QString PlaybackStatus READ PlaybackStatus)
    Q_PROPERTY(double Rate READ Rate)
    Q_PROPERTY(double MinimumRate READ Rate)
    Q_PROPERTY(double MaximumRate READ Rate)
    Q_PROPERTY(QVariantMap Metadata READ Metadata)
    Q_PROPERTY(double Volume READ Volume)
    Q_PROPERTY(qlonglong Position READ Position)
    Q_PROPERTY(bool CanGoNext READ CanGoNext)
    Q_PROPERTY(bool CanGoPrevious READ CanGoPrevious)
    Q_PROPERTY(bool CanPlay READ CanPlay)
    Q_PROPERTY(bool CanPause READ CanPause)
    Q_PROPERTY(bool CanSeek READ CanSeek)
    Q_PROPERTY(bool CanControl READ CanControl)

  public:
    explicit MprisPlayerAdaptor(MprisService* service)
        : QDBusAbstractAdaptor(service), service_(service) {}

    QString PlaybackStatus() const { return service_->PlaybackStatusText(); }
    double Rate() const { return 1.0; }
    QVariantMap Metadata() const { return service_->Metadata(); }
    double Volume() const { return 1.0; }
    qlonglong Position() const { return 0; }
    bool CanGoNext() const { return service_->LastStatus().CanGoNext; }
    bool CanGoPrevious() const { return service_->LastStatus().CanGoPrevious; }
    bool CanPlay() const { return service_->LastStatus().CanPlay; }
    bool CanPause() const { return service_->LastStatus().CanPause; }
    bool CanSeek() const { return false; }
    bool CanControl() const { return true; }

  public slots:
    // Each command answers at once and acts on the next turn of the event loop, so that a
    // box the command opens never holds the caller's reply.
    void Play() { Later(&MediaControl::Play); }
    void Pause() { Later(&MediaControl::Pause); }
    void PlayPause() { Later(&MediaControl::PlayPause); }
    void Stop() { Later(&MediaControl::Stop); }
    void Next() { Later(&MediaControl::Next); }
    void Previous() { Later(&MediaControl::Previous); }
    void Seek(qlonglong) {}
    void SetPosition(const QDBusObjectPath&, qlonglong) {}
    void OpenUri(const QString&) {}

  signals:
    void Seeked(qlonglong position);

  private:
    void Later(void (MediaControl::*command)()) {
        QMetaObject::invokeMethod(
            service_,
            [service = service_, command] {
                (service->Control().*command)();
                service->Refresh();
            },
            Qt::QueuedConnection);
    }

    MprisService* service_;
};

MprisService::MprisService(MediaControl& control, QDBusConnection connection, QObject* parent)
    : QObject(parent), control_(control), connection_(std::move(connection)) {
    new MprisRootAdaptor(this);
    new MprisPlayerAdaptor(this);
    status_ = control_.Status();
}

MprisService::~MprisService() {
    if (!registered_) return;
    connection_.unregisterObject(kObjectPath);
    connection_.unregisterService(kServiceName);
}

bool MprisService::Register() {
    if (registered_) return true;
    if (!connection_.isConnected()) return false;
    if (!connection_.registerObject(kObjectPath, this)) return false;
    if (!connection_.registerService(kServiceName)) {
        connection_.unregisterObject(kObjectPath);
        return false;
    }
    registered_ = true;
    return true;
}

QString MprisService::PlaybackStatusText() const {
    switch (status_.State) {
        case MediaStatus::Playback::Playing:
            return QStringLiteral("Playing");
        case MediaStatus::Playback::Paused:
            return QStringLiteral("Paused");
        case MediaStatus::Playback::Stopped:
            break;
    }
    return QStringLiteral("Stopped");
}

QVariantMap MprisService::Metadata() const {
    QVariantMap metadata;
    if (status_.Title.empty()) {
        metadata.insert(
            "mpris:trackid",
            QVariant::fromValue(QDBusObjectPath("/org/mpris/MediaPlayer2/TrackList/NoTrack")));
        return metadata;
    }
    metadata.insert("mpris:trackid", QVariant::fromValue(QDBusObjectPath("/org/tovrin/document")));
    metadata.insert("xesam:title", Utf8(status_.Title));
    if (!status_.Artist.empty()) metadata.insert("xesam:artist", QStringList{Utf8(status_.Artist)});
    return metadata;
}

void MprisService::Refresh() {
    MediaStatus now = control_.Status();
    if (now == status_) return;
    MediaStatus before = status_;
    status_ = now;
    if (!registered_) return;
    QVariantMap changed;
    if (now.State != before.State) changed.insert("PlaybackStatus", PlaybackStatusText());
    if (now.Title != before.Title || now.Artist != before.Artist)
        changed.insert("Metadata", Metadata());
    if (now.CanPlay != before.CanPlay) changed.insert("CanPlay", now.CanPlay);
    if (now.CanPause != before.CanPause) changed.insert("CanPause", now.CanPause);
    if (now.CanGoNext != before.CanGoNext) changed.insert("CanGoNext", now.CanGoNext);
    if (now.CanGoPrevious != before.CanGoPrevious)
        changed.insert("CanGoPrevious", now.CanGoPrevious);
    auto signal = QDBusMessage::createSignal(kObjectPath, "org.freedesktop.DBus.Properties",
                                             "PropertiesChanged");
    signal << QString(kPlayerInterface) << changed << QStringList();
    connection_.send(signal);
}

}  // namespace tovrin

#include "MprisService.moc"
