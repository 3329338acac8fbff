#pragma once

#include <QString>

class QAction;
class QLabel;
class QMainWindow;
class QToolButton;
class QWidget;

namespace tovrin {

// The commands of a player window and the controls that show them. Each command is one action
// (caption, shortcut, check state, hint); its tool button shows that action and its menu item
// is the same action, so button, menu and key cannot disagree. Actions are named after their
// menu items (or after their button where there is none); buttons keep their own names.
struct PlayerControls {
    // The editor panel and the "Файл", "Правка" and "Поиск" menus.
    QAction* fileNew = nullptr;
    QAction* fileOpen = nullptr;
    QAction* clipbrdOpen = nullptr;
    QAction* fileSave = nullptr;
    QAction* fileSound = nullptr;
    QAction* filePrint = nullptr;
    QAction* fileExit = nullptr;
    QAction* editUndo = nullptr;
    QAction* editCut = nullptr;
    QAction* editCopy = nullptr;
    QAction* editPaste = nullptr;
    QAction* readOnly = nullptr;
    QAction* find = nullptr;
    QAction* findRepeat = nullptr;
    QAction* gotoTalk = nullptr;
    // The player panel and the "Управление" menu.
    QAction* play = nullptr;
    QAction* pause = nullptr;
    QAction* stop = nullptr;
    QAction* drag = nullptr;
    QAction* playClipBrd = nullptr;
    QAction* prev = nullptr;
    QAction* back = nullptr;
    QAction* step = nullptr;
    QAction* next = nullptr;
    QAction* viewTalk = nullptr;
    QAction* shortTalk = nullptr;
    QAction* highlight = nullptr;
    // The font panel and the "Настройка" menu.
    QAction* setup = nullptr;
    QAction* wrap = nullptr;
    QAction* fontInc = nullptr;
    QAction* fontDec = nullptr;
    QAction* fontBold = nullptr;
    QAction* fontItalic = nullptr;
    QAction* fontSel = nullptr;
    QAction* bkColor = nullptr;
    QAction* setEditor = nullptr;
    QAction* setPlayer = nullptr;
    QAction* setFont = nullptr;
    // The "Помощь" menu.
    QAction* helpContents = nullptr;
    QAction* helpSearch = nullptr;
    QAction* helpHowToUse = nullptr;
    QAction* helpAbout = nullptr;

    QWidget* toolBar = nullptr;
    QWidget* pnlEditor = nullptr;
    QWidget* pnlPlayer = nullptr;
    QWidget* pnlFont = nullptr;
    // Enabled apart from its menu item: it stays off while the editor is read-only.
    QToolButton* pasteButton = nullptr;
    QToolButton* btnViewTalk = nullptr;
    QLabel* lblFontSize = nullptr;
    QLabel* panelCaret = nullptr;
    QLabel* panelModified = nullptr;
    QLabel* panelMessage = nullptr;
};

// Builds the actions of a player window (owned by `window`).
void CreatePlayerActions(QMainWindow& window, PlayerControls& controls);
// Builds the tool panels into `parent`, whose layout takes the tool bar.
void CreatePlayerPanels(QWidget& parent, PlayerControls& controls);
// Builds the menu bar and the status bar of `window` from the actions.
void CreatePlayerMenus(QMainWindow& window, const PlayerControls& controls);
void CreatePlayerStatusBar(QMainWindow& window, PlayerControls& controls);

// Shows the panels that their menu items check, left to right in rows of `clientWidth`.
void LayOutPanels(const PlayerControls& controls, int clientWidth);

// A hint "short|long": the short part as tool tip, the long one for the status bar and the
// accessible description of the buttons that show the action.
void SetHint(QAction* action, const QString& hint);

}  // namespace tovrin
