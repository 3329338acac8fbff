#include "player/PlayerControls.h"

#include "dialogs/AccessibleToggles.h"
#include "player/PanelFlow.h"

#include <QAction>
#include <QLabel>
#include <QMainWindow>
#include <QMenu>
#include <QMenuBar>
#include <QPainter>
#include <QStatusBar>
#include <QToolButton>

#include <algorithm>
#include <initializer_list>
#include <utility>

namespace tovrin {
namespace {

// A command: where it goes, its name, menu caption, shortcut, hint "short|long" (the short
// half is its button's caption; none for a command without a button) and whether it toggles.
struct Command {
    QAction* PlayerControls::*Field;
    const char* Name;
    const char* Caption;
    const char* Shortcut;
    const char* Hint;
    bool Checkable;
};

using C = PlayerControls;
const Command kCommands[] = {
    {&C::fileNew, "FileNewItem", "&Новый", "Ctrl+N", nullptr, false},
    {&C::fileOpen, "FileOpenItem", "&Открыть...", "Ctrl+O", "Открыть|Открыть существующий файл",
     false},
    {&C::clipbrdOpen, "ClipbrdOpenItem", "&Взять из буфера", "", nullptr, false},
    {&C::fileSave, "FileSaveItem", "&Сохранить как ...", "Ctrl+S",
     "Сохранить как...|Сохранить файл под новым именем", false},
    {&C::fileSound, "FileSoundItem", "Сохранить как звук…", "", nullptr, false},
    {&C::filePrint, "FilePrintItem", "&Печать...", "Ctrl+P", "Печать|Печать текущего файла", false},
    {&C::fileExit, "FileExitItem", "&Выход", "Alt+X", nullptr, false},
    {&C::editUndo, "EditUndoItem", "&Отменить", "Ctrl+Z", "Отменить|Отменить последнее изменение",
     false},
    {&C::editCut, "EditCutItem", "&Вырезать", "Ctrl+X", "Вырезать|Удалить отмеченный текст", false},
    {&C::editCopy, "EditCopyItem", "&Копировать", "Ctrl+C",
     "Копировать|Копировать отмеченный текст в буфер", false},
    {&C::editPaste, "EditPasteItem", "Вст&авить", "Ctrl+V", "Вставить|Вставить содержание буфера",
     false},
    {&C::readOnly, "BtnReadOnly", "Блокировка", "", "Блокировка|Запретить изменения информации",
     true},
    {&C::find, "FindItem", "Искать слово...", "Ctrl+F", "Поиск|Найти фрагмент текста", true},
    {&C::findRepeat, "FindRepeat", "Повтор", "Ctrl+L", nullptr, false},
    {&C::gotoTalk, "N14", "Искать речь", "Ctrl+G", "|Перейти к произнесенному фрагменту речи",
     false},
    {&C::play, "PlayItem", "&Читать текст", "Ctrl+R", "Читать|Начать читать вслух текст", true},
    {&C::pause, "PauseItem", "&Прервать", "", "Пауза|Прервать чтение текста", true},
    {&C::stop, "StopItem", "О&становить", "Ctrl+E", "Стор|Остановить чтение текста", false},
    {&C::drag, "DragItem", "&Тащить текст", "Ctrl+D", "Тащить|Тащить текст за речью", true},
    {&C::playClipBrd, "PlayClipBrdItem", "Читать &Буфер", "Ctrl+B", nullptr, false},
    {&C::prev, "PrevItem", "Назад", "Alt+Up", "Назад|Предыдущий раздел", false},
    {&C::back, "BackItem", "&Выше", "Ctrl+Up", "Выше|Выше на абзац", false},
    {&C::step, "StepItem", "&Ниже", "Ctrl+Down", "Ниже|Ниже на абзац", false},
    {&C::next, "NextItem", "Вперед", "Alt+Down", "Вперед|Следующий раздел", false},
    {&C::viewTalk, "BtnViewTalk", "Место просмотра", "",
     "Место просмотра|Область текста или разговора", true},
    {&C::shortTalk, "ShortTalkItem", "По блокам", "Ctrl+J",
     "По блокам|Чтение по абзацам или по блокам", true},
    {&C::highlight, "HighlightItem", "Под&светка читаемого", "", nullptr, true},
    {&C::setup, "SetupItem", "Плеер...", "Ctrl+T", "Настройка|Настройка плеера", true},
    {&C::wrap, "BtnWrap", "Перенос", "", "Перенос|Перенос текста на следующую строку", true},
    {&C::fontInc, "BtnFontInc", "Увеличить", "", "Увеличить|Увеличить размер шрифта", false},
    {&C::fontDec, "BtnFontDec", "Уменьшить", "", "Уменьшить|Уменьшить размер шрифта", false},
    {&C::fontBold, "BtnFontBold", "Толщина", "", "Толщина|Толщина шрифта", true},
    {&C::fontItalic, "BtnFontItalic", "Наклон", "", "Наклон|Наклон шрифта", true},
    {&C::fontSel, "FontSelItem", "Шрифт...", "", "Шрифт|Подбор шрифта", false},
    {&C::bkColor, "BkColorItem", "Цвет...", "", "Цвет|Изменить цвет фона", false},
    {&C::setEditor, "SetEditorItem", "Панель &Редактора", "", nullptr, true},
    {&C::setPlayer, "SetPlayerItem", "Панель &Управления", "", nullptr, true},
    {&C::setFont, "SetFontItem", "Панель &Шрифта", "", nullptr, true},
    {&C::helpContents, "HelpContentsItem", "&Контекст", "", nullptr, false},
    {&C::helpSearch, "HelpSearchItem", "&Поиск темы", "", nullptr, false},
    {&C::helpHowToUse, "HelpHowToUseItem", "К&ак пользоваться", "", nullptr, false},
    {&C::helpAbout, "HelpAboutItem", "&О программе...", "", nullptr, false},
};

QAction* NewAction(QMainWindow& window, const Command& command) {
    auto* action = new QAction(QString::fromUtf8(command.Caption), &window);
    action->setObjectName(QString::fromLatin1(command.Name));
    action->setShortcut(QKeySequence::fromString(QString::fromLatin1(command.Shortcut),
                                                 QKeySequence::PortableText));
    action->setCheckable(command.Checkable);
    if (command.Hint != nullptr) {
        const QString hint = QString::fromUtf8(command.Hint);
        // A command with a button of its own: the hint's short half is the button's caption.
        if (!hint.startsWith(QLatin1Char('|')))
            action->setIconText(hint.section(QLatin1Char('|'), 0, 0));
        SetHint(action, hint);
    }
    return action;
}

QWidget* AddPanel(QWidget* toolBar, const char* name, const QString& accessibleName) {
    auto* panel = new QWidget(toolBar);
    panel->setObjectName(QString::fromLatin1(name));
    panel->setAccessibleName(accessibleName);
    new PanelFlow(panel, 2);
    return panel;
}

QToolButton* NewButton(QWidget* panel, const char* name, QAction* action) {
    auto* button = new ToggleButton(panel);
    button->setObjectName(QString::fromLatin1(name));
    button->setFocusPolicy(Qt::NoFocus);
    panel->layout()->addWidget(button);
    const QString caption = action->iconText();
    button->setText(caption);
    button->setToolTip(caption);
    button->setStatusTip(action->statusTip());
    button->setAccessibleName(caption);
    button->setAccessibleDescription(action->statusTip());
    return button;
}

// A toggle command: the button shows the action's state and triggers it.
QToolButton* ShowingButton(QWidget* panel, const char* name, QAction* action) {
    QToolButton* button = NewButton(panel, name, action);
    button->setDefaultAction(action);
    return button;
}

// A momentary command: the button pops up again and triggers the action.
QToolButton* TriggeringButton(QWidget* panel, const char* name, QAction* action) {
    QToolButton* button = NewButton(panel, name, action);
    QObject::connect(button, &QToolButton::clicked, action, [button, action] {
        button->setChecked(false);
        action->trigger();
    });
    QObject::connect(action, &QAction::enabledChanged, button, &QWidget::setEnabled);
    return button;
}

using Buttons = std::initializer_list<std::pair<const char*, QAction*>>;

void AddButtons(QWidget* panel, Buttons buttons) {
    for (const auto& [name, action] : buttons) {
        if (action->isCheckable())
            ShowingButton(panel, name, action);
        else
            TriggeringButton(panel, name, action);
    }
}

void CreateEditorPanel(PlayerControls& c) {
    QWidget* p = c.pnlEditor = AddPanel(c.toolBar, "PnlEditor", QStringLiteral("Панель редактора"));
    AddButtons(p, {{"OpenButton", c.fileOpen},
                   {"SaveButton", c.fileSave},
                   {"PrintButton", c.filePrint},
                   {"UndoButton", c.editUndo},
                   {"CutButton", c.editCut},
                   {"CopyButton", c.editCopy},
                   {"PasteButton", c.editPaste},
                   {"BtnReadOnly", c.readOnly},
                   {"BtnFind", c.find}});
    c.pasteButton = p->findChild<QToolButton*>(QStringLiteral("PasteButton"));
    QObject::disconnect(c.editPaste, &QAction::enabledChanged, c.pasteButton, nullptr);
}

void CreatePlayerPanel(PlayerControls& c) {
    QWidget* p = c.pnlPlayer = AddPanel(c.toolBar, "PnlPlayer", QStringLiteral("Управление"));
    AddButtons(p, {{"BtnPlay", c.play},
                   {"BtnPause", c.pause},
                   {"BtnStop", c.stop},
                   {"BtnDrag", c.drag},
                   {"BtnPrev", c.prev},
                   {"BtnBack", c.back},
                   {"BtnStep", c.step},
                   {"BtnNext", c.next},
                   {"BtnViewTalk", c.viewTalk},
                   {"BtnShortTalk", c.shortTalk},
                   {"BtnSetup", c.setup}});
    c.btnViewTalk = p->findChild<QToolButton*>(QStringLiteral("BtnViewTalk"));
}

void CreateFontPanel(PlayerControls& c) {
    QWidget* p = c.pnlFont = AddPanel(c.toolBar, "PnlFont", QStringLiteral("Панель шрифта"));
    AddButtons(p, {{"BtnWrap", c.wrap}, {"BtnFontInc", c.fontInc}});
    QLabel* size = c.lblFontSize = new QLabel(QStringLiteral("10"), p);
    size->setObjectName(QStringLiteral("LblFontSize"));
    size->setToolTip(QStringLiteral("Размер"));
    size->setStatusTip(QStringLiteral("Размер шрифта в пунктах"));
    size->setAccessibleName(QStringLiteral("Размер"));
    size->setAccessibleDescription(QStringLiteral("Размер шрифта в пунктах"));
    p->layout()->addWidget(size);
    AddButtons(p, {{"BtnFontDec", c.fontDec},
                   {"BtnFontBold", c.fontBold},
                   {"BtnFontItalic", c.fontItalic},
                   {"BtnFontSel", c.fontSel},
                   {"BtnBkColor", c.bkColor}});
}

QMenu* AddMenu(QMainWindow& window, const char* name, const QString& caption,
               std::initializer_list<QAction*> items) {
    QMenu* menu = window.menuBar()->addMenu(caption);
    menu->setObjectName(QString::fromLatin1(name));
    for (QAction* item : items) {
        if (item == nullptr)
            menu->addSeparator();
        else
            menu->addAction(item);
    }
    return menu;
}

}  // namespace

void SetHint(QAction* action, const QString& hint) {
    action->setToolTip(hint.section(QLatin1Char('|'), 0, 0));
    action->setStatusTip(hint.section(QLatin1Char('|'), 1));
    for (QObject* shown : action->associatedObjects()) {
        if (auto* button = qobject_cast<QToolButton*>(shown))
            button->setAccessibleDescription(action->statusTip());
    }
}

void CreatePlayerActions(QMainWindow& window, PlayerControls& controls) {
    for (const Command& command : kCommands)
        controls.*command.Field = NewAction(window, command);
    controls.setEditor->setChecked(true);
    controls.setPlayer->setChecked(true);
    controls.highlight->setChecked(true);
}

void CreatePlayerPanels(QWidget& parent, PlayerControls& controls) {
    controls.toolBar = new QWidget(&parent);
    controls.toolBar->setObjectName(QStringLiteral("PnlToolBar"));
    controls.toolBar->setAccessibleName(QStringLiteral("Панели"));
    parent.layout()->addWidget(controls.toolBar);
    CreateEditorPanel(controls);
    CreatePlayerPanel(controls);
    CreateFontPanel(controls);
}

void CreatePlayerMenus(QMainWindow& w, const PlayerControls& c) {
    w.menuBar()->setObjectName(QStringLiteral("MainMenu"));
    AddMenu(w, "FileMenu", QStringLiteral("&Файл"),
            {c.fileNew, c.fileOpen, c.clipbrdOpen, c.fileSave, c.fileSound, c.filePrint, nullptr,
             c.fileExit});
    // Every command of the tool panels has a menu item too: the panels' buttons take no focus,
    // so the menus are how the keyboard reaches them.
    AddMenu(w, "EditMenu", QStringLiteral("&Правка"),
            {c.editUndo, nullptr, c.editCut, c.editCopy, c.editPaste, nullptr, c.readOnly});
    AddMenu(w, "SearchMenu", QStringLiteral("По&иск"), {c.find, c.findRepeat, c.gotoTalk});
    AddMenu(w, "ControlMenu", QStringLiteral("&Управление"),
            {c.play, c.pause, c.stop, c.drag, nullptr, c.playClipBrd, nullptr, c.prev, c.back,
             c.step, c.next, nullptr, c.viewTalk, c.shortTalk, c.highlight});
    AddMenu(w, "SetupMenu", QStringLiteral("&Настройка"),
            {c.setup, c.fontSel, c.bkColor, nullptr, c.wrap, c.fontInc, c.fontDec, c.fontBold,
             c.fontItalic, nullptr, c.setEditor, c.setPlayer, c.setFont});
    AddMenu(w, "HelpMenu", QStringLiteral("П&омощь"),
            {c.helpContents, c.helpSearch, c.helpHowToUse, c.helpAbout});
}

void LayOutPanels(const PlayerControls& c, int clientWidth) {
    c.pnlEditor->setVisible(c.setEditor->isChecked());
    c.pnlPlayer->setVisible(c.setPlayer->isChecked());
    c.pnlFont->setVisible(c.setFont->isChecked());
    c.toolBar->setVisible(c.setEditor->isChecked() || c.setPlayer->isChecked() ||
                          c.setFont->isChecked());
    // Left to right with 2 pixels between; a panel that does not fit starts a new row, and a
    // panel wider than the window wraps its own buttons onto more rows.
    const int width = std::max(clientWidth, 1);
    const int lineHeight = c.pnlEditor->sizeHint().height();
    int x = 0, y = 0, rowHeight = lineHeight;
    for (QWidget* panel : {c.pnlEditor, c.pnlPlayer, c.pnlFont}) {
        if (panel->isHidden()) continue;
        const int fullWidth = panel->sizeHint().width();
        if (panel != c.pnlEditor && width < x + fullWidth + 2) {
            y += rowHeight + 2;
            x = 0;
            rowHeight = lineHeight;
        }
        const int panelWidth = std::min(fullWidth, width);
        const int panelHeight = panel->layout()->heightForWidth(panelWidth);
        panel->setGeometry(x, y, panelWidth, panelHeight);
        x += panelWidth + 2;
        rowHeight = std::max(rowHeight, panelHeight);
    }
    c.toolBar->setFixedHeight(y + rowHeight);
}

namespace {

// A status panel that shows a message longer than itself with its middle left out, so that
// both what the message is about and how it ends stay in view; its text, and so its
// accessible name and what a screen reader hears, stay whole.
class MessagePanel final : public QLabel {
  public:
    using QLabel::QLabel;
    QSize sizeHint() const override { return minimumSizeHint(); }
    QSize minimumSizeHint() const override {
        return {minimumWidth(), QLabel::minimumSizeHint().height()};
    }

  protected:
    void paintEvent(QPaintEvent*) override {
        QPainter painter(this);
        const QRect room = contentsRect();
        painter.setPen(palette().color(foregroundRole()));
        painter.drawText(room, static_cast<int>(alignment()),
                         fontMetrics().elidedText(text(), Qt::ElideMiddle, room.width()));
    }
};

}  // namespace

void CreatePlayerStatusBar(QMainWindow& window, PlayerControls& controls) {
    QStatusBar* bar = window.statusBar();
    bar->setObjectName(QStringLiteral("StatusBar"));
    bar->setAccessibleName(QStringLiteral("Строка состояния"));
    // A panel's accessible name is its text (no fixed name hides it), so a screen reader reads
    // it and hears each change; what the panel is goes into its description.
    // The message panel takes the room the others leave.
    const auto addPanel = [bar](QLabel* panel, const char* name, const QString& description,
                                int width) {
        panel->setObjectName(QString::fromLatin1(name));
        panel->setAccessibleDescription(description);
        panel->setMinimumWidth(width);
        panel->setTextInteractionFlags(Qt::TextSelectableByMouse);
        bar->addWidget(panel, dynamic_cast<MessagePanel*>(panel) ? 1 : 0);
        return panel;
    };
    controls.panelCaret = addPanel(new QLabel(bar), "StatusCaret", QStringLiteral("Позиция"), 200);
    controls.panelModified =
        addPanel(new QLabel(bar), "StatusModified", QStringLiteral("Изменения"), 80);
    controls.panelModified->setAlignment(Qt::AlignCenter);
    controls.panelMessage =
        addPanel(new MessagePanel(bar), "StatusMessage", QStringLiteral("Сообщение"), 50);
}

}  // namespace tovrin
