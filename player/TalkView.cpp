#include "player/TalkView.h"

#include "dialogs/AccessibleToggles.h"
#include "dialogs/MessageBoxes.h"
#include "dialogs/TalkFind.h"
#include "player/Appearance.h"
#include "player/PlayerDocument.h"
#include "player/PlayerEditor.h"
#include "player/PlayerSetupDialog.h"
#include "player/SoundExport.h"
#include "player/WidgetState.h"
#include "text/CodePages.h"
#include "text/Portion.h"
#include "text/TextFinder.h"

#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QMimeData>
#include <QScrollBar>
#include <QStatusBar>
#include <QTextBlock>
#include <QToolButton>
#include <QVBoxLayout>

#include <algorithm>
#include <cstdio>
#include <random>
#include <stdexcept>

namespace tovrin {
namespace {

constexpr int32_t kReadingByLines = 2;

QString StatusProcessing() {
    return QStringLiteral("Обработка текста");
}
QString StatusRead() {
    return QStringLiteral("Текст прочитан");
}
QString StatusStopped() {
    return QStringLiteral("Чтение текста остановлено");
}
QString StatusSpeaking() {
    return QStringLiteral("Чтение текста ");
}

// What the status bar says after "Ошибка! " for a refused portion (-1: nothing prepared).
QString SpeakFailure(int result) {
    switch (result) {
        case -1:
            return QStringLiteral("Внутренняя ошибка при подготовке текста");
        case 1:
            return QStringLiteral("Внутренняя ошибка Win API");
        case 2:
            return QStringLiteral("Синтезатор речи не запущен");
        case 3:
            return QStringLiteral("Канал звука занят посторонней программой");
        case 4:
            return QStringLiteral("Не установлен режим 'Плеер'");
        case 5:
            return QStringLiteral("Канал звука занят другим плеером");
        case 6:
            return QStringLiteral("Попытка произнести слишком длинный блок текста");
        default:
            return QStringLiteral("Неизвестная ошибка");
    }
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

}  // namespace

TFrmView::TFrmView(PlayerHost& host, QWidget* parent, MessageBoxes* dialogs)
    : QMainWindow(parent),
      host_(host),
      ownDialogs_(dialogs == nullptr ? std::make_unique<QtMessageBoxes>() : nullptr),
      dialogs_(dialogs == nullptr ? *ownDialogs_ : *dialogs),
      writer_(&SaveDocument),
      random_(std::random_device{}()) {
    setWindowFlag(Qt::Window);
    setAttribute(Qt::WA_DeleteOnClose);
    setObjectName(QStringLiteral("FrmView"));
    setAccessibleName(QStringLiteral("Плеер"));
    resize(613, 482);
    InstallAccessibleToggles();

    auto* central = new QWidget(this);
    auto* layout = new QVBoxLayout(central);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    setCentralWidget(central);
    CreatePanels();
    CreateEditor();
    CreateMenus();
    CreateStatusBar();
    folder_ = QCoreApplication::applicationDirPath();

    SetFileName("Без текста");
    docName_.clear();
    UpdateSelection();
    connect(QApplication::clipboard(), &QClipboard::dataChanged, this,
            [this] { Guarded([this] { UpdatePaste(); }); });
    editor_->document()->setModified(false);
    ShowModified(false);
    SetRange(0, 0);

    ApplyAppearance(host_.GetAppearance());
    SetPanelsClick(nullptr);
    // The movement shortcuts are given here rather than with the menus.
    prevItem_->setShortcut(QKeySequence(Qt::ALT | Qt::Key_Up));
    backItem_->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_Up));
    stepItem_->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_Down));
    nextItem_->setShortcut(QKeySequence(Qt::ALT | Qt::Key_Down));

    DefaultPlayerOptions(options_);
    host_.GetTextOptions(options_);
    AnalyseText(options_, false, document_->Data());
    shortTalk_ = options_.ReadingType == 1;
    CreateFindDialog();
    document_->SetCodePage(options_.CodePage);
    SetEditorFont(CodePageFont(options_.CodePage));
    UpdateEditor();
    UpdateAttributes();
    UpdatePlayer();
    UpdateFont();
}

TFrmView::~TFrmView() {
    // The controller keeps a pointer to its holder and polls it; it must not outlive us.
    try {
        preparedText_.reset();
        if (host_.GetHolder() == this) host_.ReleaseEngine();
    } catch (const std::exception& error) {
        std::fprintf(stderr, "tovrin: %s\n", error.what());
    }
    // The find dialog is a child window; it must not call back into a half-destroyed window.
    delete findDialog_;
    findDialog_ = nullptr;
    setupDialog_.reset();
}

void TFrmView::ApplyAppearance(const PlayerAppearance& look) {
    QPalette palette = this->palette();
    palette.setColor(QPalette::Window, ToQColor(look.WindowColor));
    palette.setColor(QPalette::Button, ToQColor(look.WindowColor));
    palette.setColor(QPalette::WindowText, FontColor(look.WindowFont));
    palette.setColor(QPalette::ButtonText, FontColor(look.WindowFont));
    setPalette(palette);
    setFont(ToQFont(look.WindowFont));
    styleWin_ = ToQFont(look.StyleWin);
    styleDos_ = ToQFont(look.StyleDos);
    for (QPlainTextEdit* edit : {static_cast<QPlainTextEdit*>(editor_), editorBackground_}) {
        QPalette colours = edit->palette();
        colours.setColor(QPalette::Base, ToQColor(look.EditorColor));
        colours.setColor(QPalette::Text, FontColor(look.EditorFont));
        edit->setPalette(colours);
    }
    editor_->setFont(ToQFont(look.EditorFont));
}

QToolButton* TFrmView::AddButton(QWidget* panel, const char* name, const QString& hint,
                                 void (TFrmView::*handler)(QAbstractButton*)) {
    const QString caption = hint.section(QLatin1Char('|'), 0, 0);
    const QString longHint = hint.section(QLatin1Char('|'), 1);
    auto* button = new ToggleButton(panel);
    button->setObjectName(QString::fromLatin1(name));
    button->setText(caption);
    button->setToolTip(caption);
    button->setStatusTip(longHint);
    button->setAccessibleName(caption);
    button->setAccessibleDescription(longHint);
    button->setFocusPolicy(Qt::NoFocus);
    panel->layout()->addWidget(button);
    connect(button, &QToolButton::clicked, this, [this, button, handler] {
        Guarded([this, button, handler] { (this->*handler)(button); });
    });
    return button;
}

void TFrmView::CreatePanels() {
    toolBar_ = new QWidget(centralWidget());
    toolBar_->setObjectName(QStringLiteral("PnlToolBar"));
    toolBar_->setAccessibleName(QStringLiteral("Панели"));
    centralWidget()->layout()->addWidget(toolBar_);
    CreateEditorPanel();
    CreatePlayerPanel();
    CreateFontPanel();
}

void TFrmView::CreateEditorPanel() {
    QWidget* p = pnlEditor_ = AddPanel(toolBar_, "PnlEditor", QStringLiteral("Панель редактора"));
    openButton_ = AddButton(p, "OpenButton", QStringLiteral("Открыть|Открыть существующий файл"),
                            &TFrmView::FileOpen);
    saveButton_ = AddButton(p, "SaveButton",
                            QStringLiteral("Сохранить как...|Сохранить файл под новым именем"),
                            &TFrmView::SaveButtonClick);
    printButton_ = AddButton(p, "PrintButton", QStringLiteral("Печать|Печать текущего файла"),
                             &TFrmView::FilePrint);
    undoButton_ =
        AddButton(p, "UndoButton", QStringLiteral("Отменить|Отменить последнее изменение"),
                  &TFrmView::EditUndo);
    cutButton_ = AddButton(p, "CutButton", QStringLiteral("Вырезать|Удалить отмеченный текст"),
                           &TFrmView::EditCut);
    copyButton_ =
        AddButton(p, "CopyButton", QStringLiteral("Копировать|Копировать отмеченный текст в буфер"),
                  &TFrmView::EditCopy);
    pasteButton_ =
        AddButton(p, "PasteButton", QStringLiteral("Вставить|Вставить содержание буфера"),
                  &TFrmView::EditPaste);
    btnReadOnly_ =
        AddButton(p, "BtnReadOnly", QStringLiteral("Блокировка|Запретить изменения информации"),
                  &TFrmView::BtnEditor);
    btnFind_ = AddButton(p, "BtnFind", QStringLiteral("Поиск|Найти фрагмент текста"),
                         &TFrmView::BtnEditor);
}

void TFrmView::CreatePlayerPanel() {
    QWidget* p = pnlPlayer_ = AddPanel(toolBar_, "PnlPlayer", QStringLiteral("Управление"));
    btnPlay_ = AddButton(p, "BtnPlay", QStringLiteral("Читать|Начать читать вслух текст"),
                         &TFrmView::BtnPlayerClick);
    btnPause_ = AddButton(p, "BtnPause", QStringLiteral("Пауза|Прервать чтение текста"),
                          &TFrmView::BtnPlayerClick);
    btnStop_ = AddButton(p, "BtnStop", QStringLiteral("Стор|Остановить чтение текста"),
                         &TFrmView::BtnPlayerClick);
    btnDrag_ = AddButton(p, "BtnDrag", QStringLiteral("Тащить|Тащить текст за речью"),
                         &TFrmView::BtnPlayerClick);
    btnPrev_ =
        AddButton(p, "BtnPrev", QStringLiteral("Назад|Предыдущий раздел"), &TFrmView::BtnMoveClick);
    btnBack_ =
        AddButton(p, "BtnBack", QStringLiteral("Выше|Выше на абзац"), &TFrmView::BtnMoveClick);
    btnStep_ =
        AddButton(p, "BtnStep", QStringLiteral("Ниже|Ниже на абзац"), &TFrmView::BtnMoveClick);
    btnNext_ =
        AddButton(p, "BtnNext", QStringLiteral("Вперед|Следующий раздел"), &TFrmView::BtnMoveClick);
    btnViewTalk_ =
        AddButton(p, "BtnViewTalk", QStringLiteral("Место просмотра|Область текста или разговора"),
                  &TFrmView::BtnMoveClick);
    // A double click is one action of its own, not two toggles.
    btnViewTalk_->installEventFilter(this);
    btnShortTalk_ =
        AddButton(p, "BtnShortTalk", QStringLiteral("По блокам|Чтение по абзацам или по блокам"),
                  &TFrmView::BtnSetupClick);
    btnSetup_ = AddButton(p, "BtnSetup", QStringLiteral("Настройка|Настройка плеера"),
                          &TFrmView::BtnSetupClick);
}

void TFrmView::CreateFontPanel() {
    QWidget* p = pnlFont_ = AddPanel(toolBar_, "PnlFont", QStringLiteral("Панель шрифта"));
    btnWrap_ = AddButton(p, "BtnWrap", QStringLiteral("Перенос|Перенос текста на следующую строку"),
                         &TFrmView::BtnFont);
    btnFontInc_ = AddButton(p, "BtnFontInc", QStringLiteral("Увеличить|Увеличить размер шрифта"),
                            &TFrmView::BtnFont);
    lblFontSize_ = new QLabel(QStringLiteral("10"), p);
    lblFontSize_->setObjectName(QStringLiteral("LblFontSize"));
    lblFontSize_->setToolTip(QStringLiteral("Размер"));
    lblFontSize_->setStatusTip(QStringLiteral("Размер шрифта в пунктах"));
    lblFontSize_->setAccessibleName(QStringLiteral("Размер"));
    lblFontSize_->setAccessibleDescription(QStringLiteral("Размер шрифта в пунктах"));
    p->layout()->addWidget(lblFontSize_);
    btnFontDec_ = AddButton(p, "BtnFontDec", QStringLiteral("Уменьшить|Уменьшить размер шрифта"),
                            &TFrmView::BtnFont);
    btnFontBold_ =
        AddButton(p, "BtnFontBold", QStringLiteral("Толщина|Толщина шрифта"), &TFrmView::BtnFont);
    btnFontItalic_ =
        AddButton(p, "BtnFontItalic", QStringLiteral("Наклон|Наклон шрифта"), &TFrmView::BtnFont);
    btnFontSel_ =
        AddButton(p, "BtnFontSel", QStringLiteral("Шрифт|Подбор шрифта"), &TFrmView::BtnFont);
    btnBkColor_ =
        AddButton(p, "BtnBkColor", QStringLiteral("Цвет|Изменить цвет фона"), &TFrmView::BtnFont);
}

void TFrmView::CreateEditor() {
    auto* work = new QWidget(centralWidget());
    work->setObjectName(QStringLiteral("PnlWork"));
    work->setAccessibleName(QStringLiteral("Рабочая область"));
    auto* workLayout = new QGridLayout(work);
    workLayout->setContentsMargins(0, 0, 0, 0);
    // Behind the editor and of its colour, so the area keeps its look while the editor hides.
    editorBackground_ = new QPlainTextEdit(work);
    editorBackground_->setObjectName(QStringLiteral("EditorBackGround"));
    editorBackground_->setAccessibleName(QStringLiteral("Фон текста"));
    editorBackground_->setReadOnly(true);
    editorBackground_->setEnabled(false);
    editorBackground_->setFocusPolicy(Qt::NoFocus);
    // A file dropped on the editor is loaded once the editor has finished with the drop, so
    // that the document is not replaced under the editor's own drop handling.
    editor_ = new PlayerEditor(
        work, [this] { return SelectionAsMimeData(); },
        [this](const QMimeData* data) {
            auto copy = std::make_shared<QMimeData>();
            copy->setUrls(data->urls());
            QMetaObject::invokeMethod(
                this, [this, copy] { Guarded([this, &copy] { LoadDropped(copy.get()); }); },
                Qt::QueuedConnection);
        });
    editor_->setObjectName(QStringLiteral("Editor"));
    editor_->setAccessibleName(QStringLiteral("Текст"));
    editor_->setLineWrapMode(QPlainTextEdit::NoWrap);
    editor_->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    editor_->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    editor_->installEventFilter(this);
    workLayout->addWidget(editorBackground_, 0, 0);
    workLayout->addWidget(editor_, 0, 0);
    editor_->raise();
    centralWidget()->layout()->addWidget(work);
    document_ = std::make_unique<PlayerDocument>(*editor_->document());
    connect(editor_, &QPlainTextEdit::cursorPositionChanged, this,
            [this] { Guarded([this] { UpdateSelection(); }); });
    connect(editor_, &QPlainTextEdit::selectionChanged, this,
            [this] { Guarded([this] { UpdateSelection(); }); });
    connect(editor_->document(), &QTextDocument::contentsChanged, this,
            [this] { Guarded([this] { UpdateChange(); }); });
    connect(editor_->document(), &QTextDocument::modificationChanged, this,
            [this] { Guarded([this] { UpdateChange(); }); });
    connect(editor_, &QPlainTextEdit::undoAvailable, this,
            [this] { Guarded([this] { UpdateChange(); }); });
}

QAction* TFrmView::AddItem(QMenu* menu, const char* name, const QString& caption,
                           const QKeySequence& shortcut, bool checkable) {
    QAction* item = menu->addAction(caption);
    item->setObjectName(QString::fromLatin1(name));
    item->setShortcut(shortcut);
    item->setCheckable(checkable);
    return item;
}

template <typename Handler>
QAction* TFrmView::AddItem(QMenu* menu, const char* name, const QString& caption,
                           const QKeySequence& shortcut, Handler handler) {
    QAction* item = AddItem(menu, name, caption, shortcut, false);
    connect(item, &QAction::triggered, this, [this, handler] { Guarded(handler); });
    return item;
}

void TFrmView::CreateMenus() {
    menuBar()->setObjectName(QStringLiteral("MainMenu"));
    QMenu* file = menuBar()->addMenu(QStringLiteral("&Файл"));
    file->setObjectName(QStringLiteral("FileMenu"));
    AddItem(file, "FileNewItem", QStringLiteral("&Новый"), QKeySequence(Qt::CTRL | Qt::Key_N),
            [this] { FileNew(nullptr); });
    AddItem(file, "FileOpenItem", QStringLiteral("&Открыть..."), QKeySequence(Qt::CTRL | Qt::Key_O),
            [this] { FileOpen(nullptr); });
    clipbrdOpenItem_ = AddItem(file, "ClipbrdOpenItem", QStringLiteral("&Взять из буфера"),
                               QKeySequence(), [this] { ClipbrdOpen(); });
    AddItem(file, "FileSaveItem", QStringLiteral("&Сохранить как ..."),
            QKeySequence(Qt::CTRL | Qt::Key_S), [this] { FileSaveAs(nullptr); });
    AddItem(file, "FileSoundItem", QStringLiteral("Сохранить как звук…"), QKeySequence(), [this] {
        Guarded([this] {
            ExportAsSound(this, dialogs_,
                          {document_->Bytes(), Caret(), options_, host_.CurrentVoice()},
                          [this](const std::string& error) { ShowAppError(error); });
        });
    });
    AddItem(file, "FilePrintItem", QStringLiteral("&Печать..."), QKeySequence(Qt::CTRL | Qt::Key_P),
            [this] { FilePrint(nullptr); });
    file->addSeparator();
    AddItem(file, "FileExitItem", QStringLiteral("&Выход"), QKeySequence(Qt::ALT | Qt::Key_X),
            [this] { close(); });

    QMenu* edit = menuBar()->addMenu(QStringLiteral("&Правка"));
    edit->setObjectName(QStringLiteral("EditMenu"));
    editUndoItem_ = AddItem(edit, "EditUndoItem", QStringLiteral("&Отменить"),
                            QKeySequence(Qt::CTRL | Qt::Key_Z), [this] { EditUndo(nullptr); });
    edit->addSeparator();
    editCutItem_ = AddItem(edit, "EditCutItem", QStringLiteral("&Вырезать"),
                           QKeySequence(Qt::CTRL | Qt::Key_X), [this] { EditCut(nullptr); });
    editCopyItem_ = AddItem(edit, "EditCopyItem", QStringLiteral("&Копировать"),
                            QKeySequence(Qt::CTRL | Qt::Key_C), [this] { EditCopy(nullptr); });
    editPasteItem_ = AddItem(edit, "EditPasteItem", QStringLiteral("Вст&авить"),
                             QKeySequence(Qt::CTRL | Qt::Key_V), [this] { EditPaste(nullptr); });

    QMenu* search = menuBar()->addMenu(QStringLiteral("По&иск"));
    search->setObjectName(QStringLiteral("SearchMenu"));
    findItem_ = AddItem(search, "FindItem", QStringLiteral("Искать слово..."),
                        QKeySequence(Qt::CTRL | Qt::Key_F), [this] { ItemFindClick(); });
    findItem_->setCheckable(true);
    AddItem(search, "FindRepeat", QStringLiteral("Повтор"), QKeySequence(Qt::CTRL | Qt::Key_L),
            [this] { BtnEditor(nullptr); });
    QAction* gotoTalk = AddItem(search, "N14", QStringLiteral("Искать речь"),
                                QKeySequence(Qt::CTRL | Qt::Key_G), [this] { GotoTalkClick(); });
    gotoTalk->setStatusTip(QStringLiteral("Перейти к произнесенному фрагменту речи"));

    QMenu* control = menuBar()->addMenu(QStringLiteral("&Управление"));
    control->setObjectName(QStringLiteral("ControlMenu"));
    playItem_ = AddItem(control, "PlayItem", QStringLiteral("&Читать текст"),
                        QKeySequence(Qt::CTRL | Qt::Key_R), false);
    pauseItem_ = AddItem(control, "PauseItem", QStringLiteral("&Прервать"), QKeySequence(), true);
    stopItem_ = AddItem(control, "StopItem", QStringLiteral("О&становить"),
                        QKeySequence(Qt::CTRL | Qt::Key_E), false);
    dragItem_ = AddItem(control, "DragItem", QStringLiteral("&Тащить текст"),
                        QKeySequence(Qt::CTRL | Qt::Key_D), true);
    for (QAction* item : {playItem_, pauseItem_, stopItem_, dragItem_})
        connect(item, &QAction::triggered, this,
                [this, item] { Guarded([this, item] { ItemPlayerClick(item); }); });
    control->addSeparator();
    playClipBrdItem_ = AddItem(control, "PlayClipBrdItem", QStringLiteral("Читать &Буфер"),
                               QKeySequence(Qt::CTRL | Qt::Key_B), [this] { PlayClipBrdClick(); });
    control->addSeparator();
    prevItem_ = AddItem(control, "PrevItem", QStringLiteral("Назад"), QKeySequence());
    backItem_ = AddItem(control, "BackItem", QStringLiteral("&Выше"), QKeySequence());
    stepItem_ = AddItem(control, "StepItem", QStringLiteral("&Ниже"), QKeySequence());
    nextItem_ = AddItem(control, "NextItem", QStringLiteral("Вперед"), QKeySequence());
    for (QAction* item : {prevItem_, backItem_, stepItem_, nextItem_})
        connect(item, &QAction::triggered, this,
                [this, item] { Guarded([this, item] { ItemMoveClick(item); }); });
    control->addSeparator();
    shortTalkItem_ = AddItem(control, "ShortTalkItem", QStringLiteral("По блокам"),
                             QKeySequence(Qt::CTRL | Qt::Key_J), true);

    QMenu* setup = menuBar()->addMenu(QStringLiteral("&Настройка"));
    setup->setObjectName(QStringLiteral("SetupMenu"));
    setupItem_ = AddItem(setup, "SetupItem", QStringLiteral("Плеер..."),
                         QKeySequence(Qt::CTRL | Qt::Key_T), true);
    fontSelItem_ = AddItem(setup, "FontSelItem", QStringLiteral("Шрифт..."), QKeySequence());
    bkColorItem_ = AddItem(setup, "BkColorItem", QStringLiteral("Цвет..."), QKeySequence());
    for (QAction* item : {shortTalkItem_, setupItem_, fontSelItem_, bkColorItem_})
        connect(item, &QAction::triggered, this,
                [this, item] { Guarded([this, item] { ItemSetupClick(item); }); });
    setup->addSeparator();
    setEditorItem_ =
        AddItem(setup, "SetEditorItem", QStringLiteral("Панель &Редактора"), QKeySequence(), true);
    setPlayerItem_ =
        AddItem(setup, "SetPlayerItem", QStringLiteral("Панель &Управления"), QKeySequence(), true);
    setFontItem_ =
        AddItem(setup, "SetFontItem", QStringLiteral("Панель &Шрифта"), QKeySequence(), true);
    setEditorItem_->setChecked(true);
    setPlayerItem_->setChecked(true);
    for (QAction* item : {setEditorItem_, setPlayerItem_, setFontItem_}) {
        // Triggering a checkable item has toggled its check mark already.
        connect(item, &QAction::triggered, this,
                [this, item] { Guarded([this, item] { SetPanelsClick(item); }); });
    }

    QMenu* help = menuBar()->addMenu(QStringLiteral("П&омощь"));
    help->setObjectName(QStringLiteral("HelpMenu"));
    AddItem(help, "HelpContentsItem", QStringLiteral("&Контекст"), QKeySequence(), [this] {
        HelpMessage(QStringLiteral("Спасение утопающих - дело рук самих утопающих"));
    });
    AddItem(help, "HelpSearchItem", QStringLiteral("&Поиск темы"), QKeySequence(),
            [this] { HelpMessage(QStringLiteral("Тема закрыта.")); });
    AddItem(help, "HelpHowToUseItem", QStringLiteral("К&ак пользоваться"), QKeySequence(),
            [this] { HelpMessage(QStringLiteral("Поднапрячъся и сообразить самому")); });
    AddItem(help, "HelpAboutItem", QStringLiteral("&О программе..."), QKeySequence(),
            [this] { HelpAbout(); });
}

void TFrmView::CreateStatusBar() {
    QStatusBar* bar = statusBar();
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
    panelCaret_ = addPanel("StatusCaret", QStringLiteral("Позиция"), 200);
    panelModified_ = addPanel("StatusModified", QStringLiteral("Изменения"), 80);
    panelModified_->setAlignment(Qt::AlignCenter);
    panelMessage_ = addPanel("StatusMessage", QStringLiteral("Сообщение"), 50);
}

void TFrmView::CreateFindDialog() {
    try {
        findDialog_ = new TFrmFind(this, this);
        findDialog_->setPalette(palette());
        findDialog_->setFont(font());
    } catch (const std::exception& error) {
        findDialog_ = nullptr;
        ShowAppError(error.what());
    }
}

// ---- Reading ---------------------------------------------------------------------------

bool TFrmView::IsHolder() {
    return host_.GetHolder() == this;
}

void TFrmView::ClickPlay() {
    btnPlay_->setChecked(true);
    Guarded([this] { BtnPlayerClick(btnPlay_); });
}

void TFrmView::ItemPlayerClick(QAction* sender) {
    QAbstractButton* button = sender == playItem_    ? btnPlay_
                              : sender == pauseItem_ ? btnPause_
                              : sender == stopItem_  ? btnStop_
                                                     : btnDrag_;
    button->setChecked(!button->isChecked());
    BtnPlayerClick(button);
    UpdatePlayer();
}

void TFrmView::ReleaseReadingButtons() {
    SetCheckedQuietly(btnPause_, false);
    SetCheckedQuietly(btnDrag_, false);
    SetCheckedQuietly(btnStop_, false);
    SetCheckedQuietly(pauseItem_, false);
    SetCheckedQuietly(dragItem_, false);
    dragText_ = false;
}

void TFrmView::BtnPlayerClick(QAbstractButton* sender) {
    if (sender == btnPlay_) {
        if (btnPlay_->isChecked()) {
            StartReading();
        } else if (IsHolder()) {
            host_.SetPaused(false);
            host_.StopSpeech();
            PlayerFinish();
            ShowStatus(StatusStopped());
        }
        ReleaseReadingButtons();
    } else if (sender == btnPause_) {
        if (!btnPlay_->isChecked()) {
            btnPause_->setChecked(false);
        } else if (IsHolder()) {
            host_.SetPaused(btnPause_->isChecked());
        }
        SetCheckedQuietly(pauseItem_, btnPause_->isChecked());
    } else if (sender == btnStop_) {
        if (IsHolder()) {
            host_.SetPaused(false);
            host_.StopSpeech();
            PlayerFinish();
            ShowStatus(StatusStopped());
        }
        SetCheckedQuietly(btnPlay_, false);
        ReleaseReadingButtons();
    } else if (sender == btnDrag_) {
        if (!btnPlay_->isChecked()) btnDrag_->setChecked(false);
        dragText_ = btnDrag_->isChecked();
    }
    UpdatePlayer();
}

void TFrmView::StartReading() {
    const int32_t caret = Caret();
    SetRange(caret, caret);
    CutPortion(caret);
    // Taking the engine polls its holder once more, this window too when it holds it; that
    // poll must not cut a portion of the reading being replaced.
    acquiring_ = true;
    try {
        host_.AcquireEngine(this);
    } catch (...) {
        acquiring_ = false;
        throw;
    }
    acquiring_ = false;
    ShowStatus(StatusProcessing());
    SetBusy(false);
    SendBlock();
}

void TFrmView::CutPortion(int32_t position) {
    const char* text = document_->Data();
    SetTextBounds(text, document_->End());
    Portion portion = PreparePortion(options_, text + std::clamp(position, 0, document_->Size()));
    preparedText_ = std::move(portion.Text);
    SetRange(portion.Start - text, portion.End - text);
}

void TFrmView::SendBlock() {
    if (blockStart_ == blockEnd_) {
        talkPos_ = blockStart_;
        ShowStatus(StatusRead());
        SetBusy(false);
        return;
    }
    if (!preparedText_) {
        // A stretch with nothing to speak (blank lines at the end of a block): go on with the
        // next portion at the next poll.
        talkPos_ = blockStart_;
        ShowStatus(StatusProcessing());
        return;
    }
    std::string text = std::move(*preparedText_);
    preparedText_.reset();
    if (options_.ReadingType != kReadingByLines) SetBusy(true);
    text = SpeakableText(std::move(text));
    const int result = static_cast<int>(host_.SpeakRequest(text, this));
    talkPos_ = blockStart_;
    if (result == 0) {
        ShowStatus(StatusProcessing());
    } else {
        PlayerFinish();
        ShowStatus(QStringLiteral("Ошибка! ") + SpeakFailure(result));
    }
}

void TFrmView::PlayerPoll(const EngineState& state) {
    if (acquiring_ && state.Holder == this) return;
    Guarded([this, &state] {
        if (state.Holder != this || !state.Running || !state.PlayerMode || state.SpyMode) {
            ResetPlayer();
            return;
        }
        SetCheckedQuietly(btnPause_, state.Paused);
        SetCheckedQuietly(pauseItem_, state.Paused);
        if (!btnPlay_->isChecked() || btnPause_->isChecked()) return;
        if (state.Busy && btnDrag_->isChecked()) {
            const int32_t spoken = SpokenLineStart();
            if (Caret() != spoken) {
                SetCaret(spoken);
                ScrollToCaret();
            }
        }
        if (state.Busy && busy_) {
            ShowStatus(StatusSpeaking());
            SetBusy(false);
        }
        if (state.Busy) return;
        if (blockEnd_ >= document_->Size()) {
            if (!RepeatDictionary()) {
                ResetPlayer();
                return;
            }
            blockStart_ = blockEnd_ = 0;
        }
        const int32_t from = blockEnd_;
        CutPortion(from);
        if (blockEnd_ <= from && blockEnd_ < document_->Size()) {
            // A cut that does not move on would be cut again at every tick.
            ResetPlayer();
            return;
        }
        SendBlock();
    });
}

int32_t TFrmView::EstimatePosition() {
    const ProgressInfo progress = host_.GetProgress();
    const int64_t length = int64_t{blockEnd_} - blockStart_;
    const int64_t range = int64_t{progress.Max} - progress.Min;
    int64_t result = talkPos_;
    if (length <= 0) {
        result = blockStart_;
    } else if (range > 0) {
        // 64-bit: a long block times a far position overflows 32 bits.
        result = blockStart_ + length * progress.Pos / range;
        result = std::clamp<int64_t>(result, blockStart_, blockEnd_);
    }
    talkPos_ = static_cast<int32_t>(std::clamp<int64_t>(result, 0, document_->Size()));
    return talkPos_;
}

int32_t TFrmView::SpokenLineStart() {
    const int32_t estimate = EstimatePosition();
    const char* text = document_->Data();
    SetTextBounds(text, document_->End());
    return static_cast<int32_t>(LineStart(text + estimate) - text);
}

void TFrmView::PlayerFinish() {
    EstimatePosition();
    preparedText_.reset();
    if (IsHolder()) host_.ReleaseEngine();
    SetCheckedQuietly(btnPlay_, false);
    SetCheckedQuietly(btnStop_, false);
    ShowStatus(StatusRead());
    SetBusy(false);
}

void TFrmView::ResetPlayer() {
    SetCheckedQuietly(btnPlay_, false);
    ReleaseReadingButtons();
    PlayerFinish();
}

void TFrmView::UpdatePlayer() {
    if (IsHolder()) {
        SetCheckedQuietly(btnPause_, host_.IsPaused());
        SetCheckedQuietly(pauseItem_, btnPause_->isChecked());
        SetCheckedQuietly(btnStop_, false);
        SetCheckedQuietly(btnDrag_, dragText_);
        SetCheckedQuietly(dragItem_, dragText_);
    } else {
        ReleaseReadingButtons();
    }
    for (QAbstractButton* move : {btnPrev_, btnBack_, btnStep_, btnNext_})
        SetCheckedQuietly(move, false);
    SetCheckedQuietly(btnViewTalk_, viewTalk_);
    if (setupDialog_) {
        SetCheckedQuietly(btnSetup_, setupDialog_->Widget()->isVisible());
        SetCheckedQuietly(setupItem_, btnSetup_->isChecked());
        SetCheckedQuietly(btnShortTalk_, shortTalk_);
        SetCheckedQuietly(shortTalkItem_, btnShortTalk_->isChecked());
    } else {
        SetCheckedQuietly(btnSetup_, false);
        SetCheckedQuietly(btnShortTalk_, false);
        SetCheckedQuietly(setupItem_, false);
        SetCheckedQuietly(shortTalkItem_, false);
        shortTalk_ = false;
    }
}

void TFrmView::SetRange(int64_t a, int64_t b) {
    const int64_t size = document_->Size();
    a = std::clamp<int64_t>(a, 0, size);
    b = std::clamp<int64_t>(b, 0, size);
    if (b < a) std::swap(a, b);
    blockStart_ = static_cast<int32_t>(a);
    blockEnd_ = static_cast<int32_t>(b);
    talkPos_ = blockStart_;
}

void TFrmView::SetBusy(bool on) {
    if (busy_ == on) return;
    busy_ = on;
    if (on) {
        setCursor(Qt::WaitCursor);
        editor_->viewport()->setCursor(Qt::WaitCursor);
    } else {
        unsetCursor();
        editor_->viewport()->setCursor(Qt::IBeamCursor);
    }
}

int32_t TFrmView::Caret() const {
    return document_->OffsetOf(editor_->textCursor().position());
}

void TFrmView::SetCaret(int32_t offset) {
    QTextCursor cursor = editor_->textCursor();
    cursor.setPosition(document_->ViewPositionOf(offset));
    editor_->setTextCursor(cursor);
}

void TFrmView::ScrollToCaret() {
    // The plain text editor's vertical scroll bar counts lines (wrapped ones too): the caret's
    // line goes third from the top.
    const QTextBlock block = editor_->textCursor().block();
    int line = block.firstLineNumber();
    if (block.layout() != nullptr && block.layout()->lineCount() > 0)
        line += block.layout()
                    ->lineForTextPosition(editor_->textCursor().positionInBlock())
                    .lineNumber();
    editor_->verticalScrollBar()->setValue(std::max(0, line - 2));
}

void TFrmView::PlayClipBrdClick() {
    if (QApplication::clipboard()->text().isEmpty()) return;
    if (!LoadClipboard()) return;
    ShowStatus(QStringLiteral("Открыт текст в клипборде"));
    btnStop_->setChecked(true);
    BtnPlayerClick(btnStop_);
    ClickPlay();
}

// ---- The find dialog's view of the document --------------------------------------------

const char* TFrmView::TextBegin() const {
    return document_->Data();
}

const char* TFrmView::TextEnd() const {
    return document_->End();
}

int32_t TFrmView::SelectionStart() const {
    return document_->OffsetOf(editor_->textCursor().selectionStart());
}

int32_t TFrmView::SelectionLength() const {
    const QTextCursor cursor = editor_->textCursor();
    return document_->OffsetOf(cursor.selectionEnd()) -
           document_->OffsetOf(cursor.selectionStart());
}

void TFrmView::SelectRange(int32_t start, int32_t end) {
    QTextCursor cursor = editor_->textCursor();
    cursor.setPosition(document_->ViewPositionOf(start));
    cursor.setPosition(document_->ViewPositionOf(end), QTextCursor::KeepAnchor);
    editor_->setTextCursor(cursor);
    editor_->ensureCursorVisible();
}

void TFrmView::FindClosed() {
    SetCheckedQuietly(btnFind_, false);
    SetCheckedQuietly(findItem_, false);
}

}  // namespace tovrin
