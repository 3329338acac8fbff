// The main window's widgets: its commands as actions, the switch panel, the pages, the menu
// and the tray icon, and a size that fits its captions.
#include "main/FrmTalk.h"

#include "dialogs/AccessibleToggles.h"
#include "main/ControlNames.h"
#include "main/EventPage.h"
#include "main/ImagePage.h"
#include "main/PageWidgets.h"
#include "main/PageTabs.h"
#include "main/TextPage.h"
#include "main/TrayActivation.h"
#include "main/VoicePage.h"

#include <QAction>
#include <QCheckBox>
#include <QGridLayout>
#include <QKeyEvent>
#include <QMenu>
#include <QPushButton>
#include <QScreen>
#include <QStyle>
#include <QSystemTrayIcon>
#include <QToolButton>
#include <QVBoxLayout>

#include <algorithm>
#include <cstdio>

namespace tovrin {

namespace {

// The client's smallest size, as the window was first laid out.
constexpr int kClientWidth = 162;
constexpr int kClientHeight = 437;

}  // namespace

QAction* TFrmTalk::Command(const char* name, const QString& caption, const QString& hint,
                           bool checkable, void (TFrmTalk::*handler)()) {
    auto* action = new QAction(caption, menu_);
    action->setObjectName(QString::fromLatin1(name));
    action->setCheckable(checkable);
    if (!hint.isEmpty()) {
        action->setStatusTip(hint);
        action->setToolTip(hint);
    }
    connect(action, &QAction::triggered, this,
            [this, handler] { Guarded([this, handler] { (this->*handler)(); }); });
    return action;
}

// Every command once: its switch and its menu item show the same action, so the two can never
// disagree; a switch shows the action's short text.
void TFrmTalk::BuildActions() {
    menu_ = new QMenu(this);
    menu_->setObjectName(QStringLiteral("Menu"));
    itemRun_ =
        Command("ItemRun", QStringLiteral("Включить/отключить"), {}, true, &TFrmTalk::RunClick);
    itemRun_->setIconText(kRunCaption);
    itemPlayer_ =
        Command("ItemPlayer", QStringLiteral("Плеер"), {}, true, &TFrmTalk::BtnPlayerClick);
    itemSpy_ = Command("ItemSpy", QStringLiteral("Шпион"), {}, true, &TFrmTalk::BtnSpyClick);
    itemPause_ = Command("ItemPause", QStringLiteral("Пауза"), {}, true, &TFrmTalk::PauseClick);
    itemPause_->setIcon(style()->standardIcon(QStyle::SP_MediaPause));
    itemPause_->setIconVisibleInMenu(false);
    itemVisible_ = Command("ItemVisible", QStringLiteral("..."), QStringLiteral("Окно синтезатора"),
                           true, &TFrmTalk::BtnVisibleClick);
    itemVisible_->setIconText(QStringLiteral("..."));  // the derived short text drops dots
    itemNewClient_ =
        Command("N9", QStringLiteral("Открыть плеер ..."), {}, false, &TFrmTalk::NewClient);
    itemShow_ = Command("ItemShow", QStringLiteral("Показать"),
                        QStringLiteral("Показать синтезатор"), false, &TFrmTalk::ShowClick);
    itemHide_ = Command("ItemHide", QStringLiteral("Скрыть"), QStringLiteral("Спрятать синтезатор"),
                        false, &TFrmTalk::HideClick);
    itemExit_ =
        Command("ItemExit", QStringLiteral("Выход"), QStringLiteral("Закончить работу синтезатора"),
                false, &TFrmTalk::ExitClick);
}

// Two rows of switches in three columns (wide, wide, narrow), each as wide as its caption
// needs at least.
void TFrmTalk::BuildSwitches() {
    auto* panel = new QWidget(client_);
    panel->setObjectName(QStringLiteral("PnlTalkAction"));
    auto* grid = new QGridLayout(panel);
    grid->setContentsMargins(2, 4, 2, 3);
    grid->setSpacing(1);
    grid->setColumnStretch(0, 65);
    grid->setColumnStretch(1, 65);
    grid->setColumnStretch(2, 25);
    client_->layout()->addWidget(panel);
    QFont bold = font();
    bold.setBold(true);

    const auto place = [&](QWidget* button, int row, int column) {
        button->setFont(bold);
        button->setSizePolicy(QSizePolicy::Preferred, QSizePolicy::Fixed);
        button->setMinimumHeight(std::max(25, button->sizeHint().height()));
        grid->addWidget(button, row, column);
    };
    auto toggle = [&](const char* name, QAction* command, const QString& accessible, int row,
                      int column) {
        auto* button = new ToggleButton(panel);
        button->setDefaultAction(command);
        Name(button, name, accessible);
        place(button, row, column);
        return button;
    };
    btnRun_ = toggle("BtnRun", itemRun_, kRunCaption, 0, 0);
    btnPlayer_ = toggle("BtnPlayer", itemPlayer_, QStringLiteral("Плеер"), 1, 0);
    btnSpy_ = toggle("BtnSpy", itemSpy_, QStringLiteral("Шпион"), 1, 1);
    btnPause_ = toggle("BtnPause", itemPause_, QStringLiteral("Пауза"), 1, 2);
    btnVisible_ = toggle("BtnVisible", itemVisible_, QStringLiteral("..."), 0, 2);
    btnVisible_->setAccessibleDescription(QStringLiteral("Окно синтезатора"));

    // A push button cannot show an action: it triggers the one the menu shows.
    btnNewClient_ = new QPushButton(QStringLiteral("&Текст"), panel);
    Name(btnNewClient_, "BtnNewClient", QStringLiteral("Текст"));
    place(btnNewClient_, 0, 1);
    btnNewClient_->setDefault(true);
    connect(btnNewClient_, &QPushButton::clicked, itemNewClient_, &QAction::trigger);
}

void TFrmTalk::BuildPages() {
    pageControl_ = new PageTabs(client_);
    pageControl_->setObjectName(QStringLiteral("PageControl"));
    client_->layout()->addWidget(pageControl_);
    static_cast<QVBoxLayout*>(client_->layout())->setStretchFactor(pageControl_, 1);
    voice_ = new TVoicePage(pageControl_);
    image_ = new TImagePage(pageControl_, *setup_.Boxes);
    text_ = new TTextPage(pageControl_);
    events_ = new TEventPage(pageControl_, *setup_.Boxes);
    for (QWidget* page : std::initializer_list<QWidget*>{voice_, image_, text_, events_})
        pageControl_->addTab(page, page->accessibleName());

    // A hidden control that only carries a stored value.
    formVisible_ = new QCheckBox(client_);
    Name(formVisible_, "FormVisible", QStringLiteral("FormVisible"));
    formVisible_->setChecked(true);
    MakeValueHolder(*formVisible_);
    ConnectPages();
}

// The client's size in the present font: every control of every page at least as wide as
// its text, and the title with the title bar's icon and three buttons beside it. A compact
// client has its pages as short as they can usefully be, for a short screen.
QSize TFrmTalk::ClientSize(bool compact) {
    voice_->SetCompact(compact);
    for (QWidget* page : std::initializer_list<QWidget*>{image_, text_, events_})
        SetPageCompact(page, compact);
    QFont titleFont = font();
    titleFont.setBold(true);
    const int titleBar = style()->pixelMetric(QStyle::PM_TitleBarHeight, nullptr, this);
    const int title = QFontMetrics(titleFont).horizontalAdvance(windowTitle()) + 4 * titleBar;
    pageControl_->updateGeometry();
    QLayout* column = client_->layout();
    column->invalidate();
    column->activate();
    const int width = std::max({kClientWidth, title, column->minimumSize().width()});
    const int height = std::max({compact ? 0 : kClientHeight, column->totalHeightForWidth(width),
                                 column->minimumSize().height()});
    return {width, height};
}

// The window keeps its fixed size, but no smaller than its captions need. Where the screen is
// too short for it, the pages go compact; where even that does not fit, the window is as large
// as the screen allows and its controls scroll.
void TFrmTalk::FitToCaptions() {
    // The window manager's frame, as the style guesses it: a title bar above, borders around.
    const int titleBar = style()->pixelMetric(QStyle::PM_TitleBarHeight, nullptr, this);
    const QSize room = screen()->availableGeometry().size() - QSize(titleBar, 2 * titleBar);
    const auto fits = [&](QSize size) { return size.boundedTo(room) == size; };
    QSize size = ClientSize(false);
    if (!room.isEmpty() && !fits(size)) {
        const QSize compact = ClientSize(true);
        // A compact client wider than the screen is no better than a full one that scrolls.
        if (compact.width() <= room.width() || compact.width() <= size.width())
            size = compact;
        else
            size = ClientSize(false);
    }
    client_->setMinimumSize(size);
    if (room.isEmpty() || fits(size)) {
        setFixedSize(size);
        return;
    }
    const int bar = style()->pixelMetric(QStyle::PM_ScrollBarExtent, nullptr, this);
    const bool tall = size.height() > room.height();
    const int width = size.width() + (tall ? bar : 0);
    const int height = size.height() + (width > room.width() ? bar : 0);
    setFixedSize(std::min(width, room.width()), std::min(height, room.height()));
}

// A window moved to another screen, or a screen that changed its size, fits anew.
void TFrmTalk::FollowScreen(QScreen* screen) {
    disconnect(screenGeometry_);
    if (screen)
        screenGeometry_ =
            connect(screen, &QScreen::availableGeometryChanged, this, [this] { FitToCaptions(); });
    FitToCaptions();
}

// Enter that no control took clicks the default button, as it does in a dialog; a control
// that uses Enter itself (a text of several lines, an open list) keeps it.
void TFrmTalk::keyPressEvent(QKeyEvent* event) {
    const bool enter = event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter;
    if (enter && (event->modifiers() & ~Qt::KeypadModifier) == Qt::NoModifier &&
        btnNewClient_->isEnabled()) {
        btnNewClient_->click();
        return;
    }
    QMainWindow::keyPressEvent(event);
}

void TFrmTalk::BuildMenu() {
    menu_->addActions({itemShow_, itemHide_, itemNewClient_});
    menu_->addSeparator();
    menu_->addActions({itemPlayer_, itemSpy_, itemPause_});
    menu_->addSeparator();
    menu_->addActions({itemRun_, itemExit_});
    menu_->setDefaultAction(itemHide_);
}

void TFrmTalk::CreateTrayIcon() {
    // Qt's tray asks a StatusNotifier watcher when the icon is made, and waits for the answer:
    // the watcher is asked first, without waiting, and the icon made once it has answered.
    trayHost_ =
        new StatusNotifierHost(QDBusConnection::sessionBus(), setup_.TrayAnswerLimitMs, this);
    if (trayHost_->Answered()) return MakeTrayIcon();
    connect(trayHost_, &StatusNotifierHost::AnswerCame, this, &TFrmTalk::MakeTrayIcon);
}

void TFrmTalk::MakeTrayIcon() {
    if (tray_ || destroyed_) return;
    if (trayHost_->Silent()) {
        std::fprintf(stderr, "tovrin: the desktop's tray does not answer; no tray icon\n");
        return;
    }
    if (!QSystemTrayIcon::isSystemTrayAvailable()) return;
    tray_ = new QSystemTrayIcon(windowIcon(), this);
    tray_->setObjectName(QStringLiteral("RxIcon"));
    tray_->setToolTip(kMainWindowCaption);
    tray_->setContextMenu(menu_);
    // A StatusNotifier host reports the click that opens as a trigger, not a double click.
    connect(tray_, &QSystemTrayIcon::activated, this,
            [this](QSystemTrayIcon::ActivationReason why) {
                QAction* chosen = menu_->defaultAction();
                if (TrayActivationOpens(why, trayHost_->Present()) && chosen && chosen->isEnabled())
                    chosen->trigger();
            });
    tray_->show();
}

}  // namespace tovrin
