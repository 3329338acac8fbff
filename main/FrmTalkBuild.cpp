// The main window's widgets: its commands as actions, the switch panel, the pages, the menu
// and the tray icon, and a size that fits its captions.
#include "main/FrmTalk.h"

#include "dialogs/AccessibleToggles.h"
#include "main/ControlNames.h"
#include "main/EventPage.h"
#include "main/ImagePage.h"
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

// The window keeps its fixed size, but no smaller than its captions need in the present font:
// every control of every page at least as wide as its text, and the title with the title
// bar's icon and three buttons beside it.
void TFrmTalk::FitToCaptions() {
    QFont titleFont = font();
    titleFont.setBold(true);
    const int titleBar = style()->pixelMetric(QStyle::PM_TitleBarHeight, nullptr, this);
    const int title = QFontMetrics(titleFont).horizontalAdvance(windowTitle()) + 4 * titleBar;
    QLayout* column = client_->layout();
    column->activate();
    const int width = std::max({kClientWidth, title, column->minimumSize().width()});
    const int height = std::max(
        {kClientHeight, column->totalHeightForWidth(width), column->minimumSize().height()});
    client_->setMinimumSize(width, height);
    // Taller than the screen: as tall as it allows, the controls scrolling beside a bar.
    const int room = screen()->availableGeometry().height() - 2 * titleBar;
    if (height <= room || room <= 0) {
        setFixedSize(width, height);
        return;
    }
    setFixedSize(width + style()->pixelMetric(QStyle::PM_ScrollBarExtent, nullptr, this), room);
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
    if (!QSystemTrayIcon::isSystemTrayAvailable()) return;
    tray_ = new QSystemTrayIcon(windowIcon(), this);
    tray_->setObjectName(QStringLiteral("RxIcon"));
    tray_->setToolTip(kMainWindowCaption);
    tray_->setContextMenu(menu_);
    // A StatusNotifier host reports the click that opens as a trigger, not a double click.
    auto* host = new StatusNotifierHost(QDBusConnection::sessionBus(), tray_);
    connect(tray_, &QSystemTrayIcon::activated, this,
            [this, host](QSystemTrayIcon::ActivationReason why) {
                QAction* chosen = menu_->defaultAction();
                if (TrayActivationOpens(why, host->Present()) && chosen && chosen->isEnabled())
                    chosen->trigger();
            });
    tray_->show();
}

}  // namespace tovrin
