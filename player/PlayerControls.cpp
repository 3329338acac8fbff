#include "player/PlayerControls.h"

#include "dialogs/AccessibleToggles.h"

#include <QAction>
#include <QHBoxLayout>
#include <QLabel>
#include <QMainWindow>
#include <QMenu>
#include <QMenuBar>
#include <QStatusBar>
#include <QToolButton>

namespace tovrin {
namespace {

QAction* NewAction(QMainWindow& window, const char* name, const QString& caption,
                   const QKeySequence& shortcut = {}, bool checkable = false) {
    auto* action = new QAction(caption, &window);
    action->setObjectName(QString::fromLatin1(name));
    action->setShortcut(shortcut);
    action->setCheckable(checkable);
    return action;
}

// A command with a button of its own: the hint's short half is the button's caption.
void GiveHint(QAction* action, const QString& hint) {
    action->setIconText(hint.section(QLatin1Char('|'), 0, 0));
    SetHint(action, hint);
}

QWidget* AddPanel(QWidget* toolBar, const char* name, const QString& accessibleName) {
    auto* panel = new QWidget(toolBar);
    panel->setObjectName(QString::fromLatin1(name));
    panel->setAccessibleName(accessibleName);
    auto* layout = new QHBoxLayout(panel);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(2);
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
QToolButton* TriggeringButton(QWidget* panel, const char* name, QAction* action,
                              bool followEnabled = true) {
    QToolButton* button = NewButton(panel, name, action);
    QObject::connect(button, &QToolButton::clicked, action, [button, action] {
        button->setChecked(false);
        action->trigger();
    });
    if (followEnabled)
        QObject::connect(action, &QAction::enabledChanged, button, &QWidget::setEnabled);
    return button;
}

void CreateFileActions(QMainWindow& w, PlayerControls& c) {
    c.fileNew = NewAction(w, "FileNewItem", QStringLiteral("&Новый"), Qt::CTRL | Qt::Key_N);
    c.fileOpen = NewAction(w, "FileOpenItem", QStringLiteral("&Открыть..."), Qt::CTRL | Qt::Key_O);
    GiveHint(c.fileOpen, QStringLiteral("Открыть|Открыть существующий файл"));
    c.clipbrdOpen = NewAction(w, "ClipbrdOpenItem", QStringLiteral("&Взять из буфера"));
    c.fileSave =
        NewAction(w, "FileSaveItem", QStringLiteral("&Сохранить как ..."), Qt::CTRL | Qt::Key_S);
    GiveHint(c.fileSave, QStringLiteral("Сохранить как...|Сохранить файл под новым именем"));
    c.fileSound = NewAction(w, "FileSoundItem", QStringLiteral("Сохранить как звук…"));
    c.filePrint = NewAction(w, "FilePrintItem", QStringLiteral("&Печать..."), Qt::CTRL | Qt::Key_P);
    GiveHint(c.filePrint, QStringLiteral("Печать|Печать текущего файла"));
    c.fileExit = NewAction(w, "FileExitItem", QStringLiteral("&Выход"), Qt::ALT | Qt::Key_X);
}

void CreateEditActions(QMainWindow& w, PlayerControls& c) {
    c.editUndo = NewAction(w, "EditUndoItem", QStringLiteral("&Отменить"), Qt::CTRL | Qt::Key_Z);
    GiveHint(c.editUndo, QStringLiteral("Отменить|Отменить последнее изменение"));
    c.editCut = NewAction(w, "EditCutItem", QStringLiteral("&Вырезать"), Qt::CTRL | Qt::Key_X);
    GiveHint(c.editCut, QStringLiteral("Вырезать|Удалить отмеченный текст"));
    c.editCopy = NewAction(w, "EditCopyItem", QStringLiteral("&Копировать"), Qt::CTRL | Qt::Key_C);
    GiveHint(c.editCopy, QStringLiteral("Копировать|Копировать отмеченный текст в буфер"));
    c.editPaste = NewAction(w, "EditPasteItem", QStringLiteral("Вст&авить"), Qt::CTRL | Qt::Key_V);
    GiveHint(c.editPaste, QStringLiteral("Вставить|Вставить содержание буфера"));
    c.readOnly = NewAction(w, "BtnReadOnly", QStringLiteral("Блокировка"), {}, true);
    GiveHint(c.readOnly, QStringLiteral("Блокировка|Запретить изменения информации"));
    c.find =
        NewAction(w, "FindItem", QStringLiteral("Искать слово..."), Qt::CTRL | Qt::Key_F, true);
    GiveHint(c.find, QStringLiteral("Поиск|Найти фрагмент текста"));
    c.findRepeat = NewAction(w, "FindRepeat", QStringLiteral("Повтор"), Qt::CTRL | Qt::Key_L);
    c.gotoTalk = NewAction(w, "N14", QStringLiteral("Искать речь"), Qt::CTRL | Qt::Key_G);
    c.gotoTalk->setStatusTip(QStringLiteral("Перейти к произнесенному фрагменту речи"));
}

void CreateReadingActions(QMainWindow& w, PlayerControls& c) {
    c.play = NewAction(w, "PlayItem", QStringLiteral("&Читать текст"), Qt::CTRL | Qt::Key_R, true);
    GiveHint(c.play, QStringLiteral("Читать|Начать читать вслух текст"));
    c.pause = NewAction(w, "PauseItem", QStringLiteral("&Прервать"), {}, true);
    GiveHint(c.pause, QStringLiteral("Пауза|Прервать чтение текста"));
    c.stop = NewAction(w, "StopItem", QStringLiteral("О&становить"), Qt::CTRL | Qt::Key_E);
    GiveHint(c.stop, QStringLiteral("Стор|Остановить чтение текста"));
    c.drag = NewAction(w, "DragItem", QStringLiteral("&Тащить текст"), Qt::CTRL | Qt::Key_D, true);
    GiveHint(c.drag, QStringLiteral("Тащить|Тащить текст за речью"));
    c.playClipBrd =
        NewAction(w, "PlayClipBrdItem", QStringLiteral("Читать &Буфер"), Qt::CTRL | Qt::Key_B);
}

void CreateMoveActions(QMainWindow& w, PlayerControls& c) {
    c.prev = NewAction(w, "PrevItem", QStringLiteral("Назад"), Qt::ALT | Qt::Key_Up);
    GiveHint(c.prev, QStringLiteral("Назад|Предыдущий раздел"));
    c.back = NewAction(w, "BackItem", QStringLiteral("&Выше"), Qt::CTRL | Qt::Key_Up);
    GiveHint(c.back, QStringLiteral("Выше|Выше на абзац"));
    c.step = NewAction(w, "StepItem", QStringLiteral("&Ниже"), Qt::CTRL | Qt::Key_Down);
    GiveHint(c.step, QStringLiteral("Ниже|Ниже на абзац"));
    c.next = NewAction(w, "NextItem", QStringLiteral("Вперед"), Qt::ALT | Qt::Key_Down);
    GiveHint(c.next, QStringLiteral("Вперед|Следующий раздел"));
    c.viewTalk = NewAction(w, "BtnViewTalk", QStringLiteral("Место просмотра"), {}, true);
    GiveHint(c.viewTalk, QStringLiteral("Место просмотра|Область текста или разговора"));
    c.shortTalk =
        NewAction(w, "ShortTalkItem", QStringLiteral("По блокам"), Qt::CTRL | Qt::Key_J, true);
    GiveHint(c.shortTalk, QStringLiteral("По блокам|Чтение по абзацам или по блокам"));
    c.setup = NewAction(w, "SetupItem", QStringLiteral("Плеер..."), Qt::CTRL | Qt::Key_T, true);
    GiveHint(c.setup, QStringLiteral("Настройка|Настройка плеера"));
}

void CreateFontActions(QMainWindow& w, PlayerControls& c) {
    c.wrap = NewAction(w, "BtnWrap", QStringLiteral("Перенос"), {}, true);
    GiveHint(c.wrap, QStringLiteral("Перенос|Перенос текста на следующую строку"));
    c.fontInc = NewAction(w, "BtnFontInc", QStringLiteral("Увеличить"));
    GiveHint(c.fontInc, QStringLiteral("Увеличить|Увеличить размер шрифта"));
    c.fontDec = NewAction(w, "BtnFontDec", QStringLiteral("Уменьшить"));
    GiveHint(c.fontDec, QStringLiteral("Уменьшить|Уменьшить размер шрифта"));
    c.fontBold = NewAction(w, "BtnFontBold", QStringLiteral("Толщина"), {}, true);
    GiveHint(c.fontBold, QStringLiteral("Толщина|Толщина шрифта"));
    c.fontItalic = NewAction(w, "BtnFontItalic", QStringLiteral("Наклон"), {}, true);
    GiveHint(c.fontItalic, QStringLiteral("Наклон|Наклон шрифта"));
    c.fontSel = NewAction(w, "FontSelItem", QStringLiteral("Шрифт..."));
    GiveHint(c.fontSel, QStringLiteral("Шрифт|Подбор шрифта"));
    c.bkColor = NewAction(w, "BkColorItem", QStringLiteral("Цвет..."));
    GiveHint(c.bkColor, QStringLiteral("Цвет|Изменить цвет фона"));
    c.setEditor = NewAction(w, "SetEditorItem", QStringLiteral("Панель &Редактора"), {}, true);
    c.setPlayer = NewAction(w, "SetPlayerItem", QStringLiteral("Панель &Управления"), {}, true);
    c.setFont = NewAction(w, "SetFontItem", QStringLiteral("Панель &Шрифта"), {}, true);
    c.setEditor->setChecked(true);
    c.setPlayer->setChecked(true);
}

void CreateEditorPanel(PlayerControls& c) {
    QWidget* p = c.pnlEditor = AddPanel(c.toolBar, "PnlEditor", QStringLiteral("Панель редактора"));
    TriggeringButton(p, "OpenButton", c.fileOpen);
    TriggeringButton(p, "SaveButton", c.fileSave);
    TriggeringButton(p, "PrintButton", c.filePrint);
    TriggeringButton(p, "UndoButton", c.editUndo);
    TriggeringButton(p, "CutButton", c.editCut);
    TriggeringButton(p, "CopyButton", c.editCopy);
    c.pasteButton = TriggeringButton(p, "PasteButton", c.editPaste, false);
    ShowingButton(p, "BtnReadOnly", c.readOnly);
    ShowingButton(p, "BtnFind", c.find);
}

void CreatePlayerPanel(PlayerControls& c) {
    QWidget* p = c.pnlPlayer = AddPanel(c.toolBar, "PnlPlayer", QStringLiteral("Управление"));
    ShowingButton(p, "BtnPlay", c.play);
    ShowingButton(p, "BtnPause", c.pause);
    TriggeringButton(p, "BtnStop", c.stop);
    ShowingButton(p, "BtnDrag", c.drag);
    TriggeringButton(p, "BtnPrev", c.prev);
    TriggeringButton(p, "BtnBack", c.back);
    TriggeringButton(p, "BtnStep", c.step);
    TriggeringButton(p, "BtnNext", c.next);
    c.btnViewTalk = ShowingButton(p, "BtnViewTalk", c.viewTalk);
    ShowingButton(p, "BtnShortTalk", c.shortTalk);
    ShowingButton(p, "BtnSetup", c.setup);
}

void CreateFontPanel(PlayerControls& c) {
    QWidget* p = c.pnlFont = AddPanel(c.toolBar, "PnlFont", QStringLiteral("Панель шрифта"));
    ShowingButton(p, "BtnWrap", c.wrap);
    TriggeringButton(p, "BtnFontInc", c.fontInc);
    QLabel* size = c.lblFontSize = new QLabel(QStringLiteral("10"), p);
    size->setObjectName(QStringLiteral("LblFontSize"));
    size->setToolTip(QStringLiteral("Размер"));
    size->setStatusTip(QStringLiteral("Размер шрифта в пунктах"));
    size->setAccessibleName(QStringLiteral("Размер"));
    size->setAccessibleDescription(QStringLiteral("Размер шрифта в пунктах"));
    p->layout()->addWidget(size);
    TriggeringButton(p, "BtnFontDec", c.fontDec);
    ShowingButton(p, "BtnFontBold", c.fontBold);
    ShowingButton(p, "BtnFontItalic", c.fontItalic);
    TriggeringButton(p, "BtnFontSel", c.fontSel);
    TriggeringButton(p, "BtnBkColor", c.bkColor);
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
    CreateFileActions(window, controls);
    CreateEditActions(window, controls);
    CreateReadingActions(window, controls);
    CreateMoveActions(window, controls);
    CreateFontActions(window, controls);
    controls.helpContents = NewAction(window, "HelpContentsItem", QStringLiteral("&Контекст"));
    controls.helpSearch = NewAction(window, "HelpSearchItem", QStringLiteral("&Поиск темы"));
    controls.helpHowToUse =
        NewAction(window, "HelpHowToUseItem", QStringLiteral("К&ак пользоваться"));
    controls.helpAbout = NewAction(window, "HelpAboutItem", QStringLiteral("&О программе..."));
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
    AddMenu(w, "EditMenu", QStringLiteral("&Правка"),
            {c.editUndo, nullptr, c.editCut, c.editCopy, c.editPaste});
    AddMenu(w, "SearchMenu", QStringLiteral("По&иск"), {c.find, c.findRepeat, c.gotoTalk});
    AddMenu(w, "ControlMenu", QStringLiteral("&Управление"),
            {c.play, c.pause, c.stop, c.drag, nullptr, c.playClipBrd, nullptr, c.prev, c.back,
             c.step, c.next, nullptr, c.shortTalk});
    AddMenu(w, "SetupMenu", QStringLiteral("&Настройка"),
            {c.setup, c.fontSel, c.bkColor, nullptr, c.setEditor, c.setPlayer, c.setFont});
    AddMenu(w, "HelpMenu", QStringLiteral("П&омощь"),
            {c.helpContents, c.helpSearch, c.helpHowToUse, c.helpAbout});
}

void CreatePlayerStatusBar(QMainWindow& window, PlayerControls& controls) {
    QStatusBar* bar = window.statusBar();
    bar->setObjectName(QStringLiteral("StatusBar"));
    bar->setAccessibleName(QStringLiteral("Строка состояния"));
    const auto addPanel = [bar](const char* name, const QString& accessible, int width) {
        auto* panel = new QLabel(bar);
        panel->setObjectName(QString::fromLatin1(name));
        panel->setAccessibleName(accessible);
        panel->setMinimumWidth(width);
        panel->setTextInteractionFlags(Qt::TextSelectableByMouse);
        bar->addWidget(panel, width == 50 ? 1 : 0);
        return panel;
    };
    controls.panelCaret = addPanel("StatusCaret", QStringLiteral("Позиция"), 200);
    controls.panelModified = addPanel("StatusModified", QStringLiteral("Изменения"), 80);
    controls.panelModified->setAlignment(Qt::AlignCenter);
    controls.panelMessage = addPanel("StatusMessage", QStringLiteral("Сообщение"), 50);
}

}  // namespace tovrin
