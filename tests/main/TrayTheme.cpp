#include "tests/main/TrayTheme.h"

#include <QtGui/private/qgenericunixthemes_p.h>
#include <qpa/qplatformsystemtrayicon.h>
#include <qpa/qplatformthemeplugin.h>

#include <QtPlugin>

namespace tovrin::test {
namespace {

TrayKind madeKind = TrayKind::StatusNotifier;

static_assert(int(QSystemTrayIcon::Trigger) == int(QPlatformSystemTrayIcon::Trigger) &&
              int(QSystemTrayIcon::DoubleClick) == int(QPlatformSystemTrayIcon::DoubleClick) &&
              int(QSystemTrayIcon::MiddleClick) == int(QPlatformSystemTrayIcon::MiddleClick));

// A tray that is always there and reports the clicks a test makes.
class ClickedTrayIcon final : public QPlatformSystemTrayIcon {
  public:
    ~ClickedTrayIcon() override { cleanup(); }

    void init() override { Shown() = this; }
    void cleanup() override {
        if (Shown() == this) Shown() = nullptr;
    }
    void updateIcon(const QIcon&) override {}
    void updateToolTip(const QString&) override {}
    void updateMenu(QPlatformMenu*) override {}
    QRect geometry() const override { return {}; }
    void showMessage(const QString&, const QString&, const QIcon&, MessageIcon, int) override {}
    bool isSystemTrayAvailable() const override { return true; }
    bool supportsMessages() const override { return false; }

    static ClickedTrayIcon*& Shown() {
        static ClickedTrayIcon* shown = nullptr;
        return shown;
    }
};

// The generic Unix theme (whose tray icons are StatusNotifier items) with a test's choice of
// tray.
class TrayTheme final : public QGenericUnixTheme {
  public:
    QPlatformSystemTrayIcon* createPlatformSystemTrayIcon() const override {
        if (madeKind == TrayKind::Clicked) return new ClickedTrayIcon;
        return QGenericUnixTheme::createPlatformSystemTrayIcon();
    }
};

}  // namespace

void MakeTrayIcons(TrayKind kind) {
    madeKind = kind;
}

bool ClickTrayIcon(QSystemTrayIcon::ActivationReason why) {
    ClickedTrayIcon* icon = ClickedTrayIcon::Shown();
    if (!icon) return false;
    emit icon->activated(static_cast<QPlatformSystemTrayIcon::ActivationReason>(why));
    return true;
}

class TrayThemePlugin : public QPlatformThemePlugin {
    Q_OBJECT
    Q_PLUGIN_METADATA(IID QPlatformThemeFactoryInterface_iid FILE "TrayTheme.json")

  public:
    QPlatformTheme* create(const QString& key, const QStringList&) override {
        return key == QLatin1String(kTrayThemeName) ? new TrayTheme : nullptr;
    }
};

}  // namespace tovrin::test

// Built into the test program: Qt finds it among its static plugins by the key.
Q_IMPORT_PLUGIN(TrayThemePlugin)

#include "TrayTheme.moc"
