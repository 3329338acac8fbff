#pragma once

#include "main/MediaControl.h"

#include <QDBusConnection>
#include <QObject>
#include <QVariantMap>

namespace tovrin {

// The program on the desktop bus as a media player (MPRIS 2, "org.mpris.MediaPlayer2.tovrin"),
// so that media keys, headset buttons and the desktop's media applet drive the reading. Calls
// go to a MediaControl; Refresh() (from the main window's tick) tells the bus what changed.
class MprisService : public QObject {
    Q_OBJECT

  public:
    static constexpr const char* kServiceName = "org.mpris.MediaPlayer2.tovrin";
    static constexpr const char* kObjectPath = "/org/mpris/MediaPlayer2";

    MprisService(MediaControl& control, QDBusConnection connection, QObject* parent = nullptr);
    ~MprisService() override;

    // Registers the service on the connection; false (and nothing said) when there is no bus
    // or the name is taken.
    bool Register();
    bool IsRegistered() const { return registered_; }

    // Reads the control's status and announces the properties that changed.
    void Refresh();

    MediaControl& Control() { return control_; }
    const MediaStatus& LastStatus() const { return status_; }
    QString PlaybackStatusText() const;
    QVariantMap Metadata() const;

  private:
    MediaControl& control_;
    QDBusConnection connection_;
    MediaStatus status_;
    bool registered_ = false;
};

}  // namespace tovrin
