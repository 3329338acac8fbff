#include "player/TalkView.h"

#include "player/PlayerDocument.h"
#include "text/CodePages.h"
#include "text/DocumentFile.h"
#include "text/Portion.h"
#include "text/TextFinder.h"

#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QPlainTextEdit>
#include <QScrollBar>
#include <QStatusBar>
#include <QTextBlock>
#include <QToolButton>
#include <QVBoxLayout>

#include <algorithm>
#include <cstdio>
#include <stdexcept>

namespace tovrin {
namespace {

const char kDocKindText[] = "TXT";
const char kDocKindDictionary[] = "DIC";
constexpr int32_t kReadingByLines = 2;

// The start of a request that the main window hands to the dictionary worker.
const std::string kRequestHeader = "{TALKSERVCMD}";

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

void SetCheckedQuietly(QAbstractButton* button, bool on) {
    if (button->isChecked() != on) button->setChecked(on);
}

void SetCheckedQuietly(QAction* item, bool on) {
    if (item->isChecked() != on) item->setChecked(on);
}

}  // namespace

TFrmView::TFrmView(PlayerHost& host, QWidget* parent) : QMainWindow(parent), host_(host) {
    setWindowFlag(Qt::Window);
    setAttribute(Qt::WA_DeleteOnClose);
    setObjectName(QStringLiteral("FrmView"));
    resize(613, 482);

    auto* central = new QWidget(this);
    auto* layout = new QVBoxLayout(central);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    setCentralWidget(central);
    CreatePlayerPanel();
    CreateEditor();
    CreateMenus();
    CreateStatusBar();

    SetFileName("Без текста");
    docName_.clear();

    DefaultPlayerOptions(options_);
    host_.GetTextOptions(options_);
    AnalyseText(options_, false, document_->Data());
    document_->SetCodePage(options_.CodePage);
    SetRange(0, 0);
    ShowModified(false);
    UpdateSelection();
    UpdatePlayer();
}

TFrmView::~TFrmView() {
    // The controller keeps a pointer to its holder and polls it; it must not outlive us.
    try {
        preparedText_.reset();
        if (host_.GetHolder() == this) host_.ReleaseEngine();
    } catch (const std::exception& error) {
        std::fprintf(stderr, "tovrin: %s\n", error.what());
    }
}

QToolButton* TFrmView::AddToggleButton(QWidget* panel, const char* name, const QString& hint) {
    const QString caption = hint.section(QLatin1Char('|'), 0, 0);
    auto* button = new QToolButton(panel);
    button->setObjectName(QString::fromLatin1(name));
    button->setCheckable(true);
    button->setText(caption);
    button->setToolTip(caption);
    button->setStatusTip(hint.section(QLatin1Char('|'), 1));
    button->setAccessibleName(caption);
    button->setAccessibleDescription(hint.section(QLatin1Char('|'), 1));
    button->setFocusPolicy(Qt::NoFocus);
    panel->layout()->addWidget(button);
    connect(button, &QToolButton::clicked, this,
            [this, button] { Guarded([this, button] { BtnPlayerClick(button); }); });
    return button;
}

void TFrmView::CreatePlayerPanel() {
    auto* toolBar = new QWidget(centralWidget());
    toolBar->setObjectName(QStringLiteral("PnlToolBar"));
    auto* toolLayout = new QHBoxLayout(toolBar);
    toolLayout->setContentsMargins(0, 0, 0, 0);
    auto* panel = new QWidget(toolBar);
    panel->setObjectName(QStringLiteral("PnlPlayer"));
    panel->setAccessibleName(QStringLiteral("Управление"));
    auto* panelLayout = new QHBoxLayout(panel);
    panelLayout->setContentsMargins(0, 0, 0, 0);
    panelLayout->setSpacing(2);
    btnPlay_ =
        AddToggleButton(panel, "BtnPlay", QStringLiteral("Читать|Начать читать вслух текст"));
    btnPause_ = AddToggleButton(panel, "BtnPause", QStringLiteral("Пауза|Прервать чтение текста"));
    btnStop_ = AddToggleButton(panel, "BtnStop", QStringLiteral("Стор|Остановить чтение текста"));
    btnDrag_ = AddToggleButton(panel, "BtnDrag", QStringLiteral("Тащить|Тащить текст за речью"));
    toolLayout->addWidget(panel);
    toolLayout->addStretch(1);
    centralWidget()->layout()->addWidget(toolBar);
}

void TFrmView::CreateEditor() {
    auto* work = new QWidget(centralWidget());
    work->setObjectName(QStringLiteral("PnlWork"));
    auto* workLayout = new QVBoxLayout(work);
    workLayout->setContentsMargins(0, 0, 0, 0);
    editor_ = new QPlainTextEdit(work);
    editor_->setObjectName(QStringLiteral("Editor"));
    editor_->setAccessibleName(QStringLiteral("Текст"));
    editor_->setLineWrapMode(QPlainTextEdit::NoWrap);
    editor_->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    editor_->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    editor_->installEventFilter(this);
    workLayout->addWidget(editor_);
    centralWidget()->layout()->addWidget(work);
    document_ = std::make_unique<PlayerDocument>(*editor_->document());
    connect(editor_, &QPlainTextEdit::cursorPositionChanged, this, [this] { UpdateSelection(); });
    connect(editor_->document(), &QTextDocument::modificationChanged, this,
            [this](bool modified) { ShowModified(modified); });
}

QAction* TFrmView::AddItem(QMenu* menu, const char* name, const QString& caption,
                           const QKeySequence& shortcut, bool checkable) {
    QAction* item = menu->addAction(caption);
    item->setObjectName(QString::fromLatin1(name));
    item->setShortcut(shortcut);
    item->setCheckable(checkable);
    return item;
}

void TFrmView::CreateMenus() {
    QMenu* control = menuBar()->addMenu(QStringLiteral("&Управление"));
    control->setObjectName(QStringLiteral("ControlMenu"));
    playItem_ = AddItem(control, "PlayItem", QStringLiteral("&Читать текст"),
                        QKeySequence(Qt::CTRL | Qt::Key_R), false);
    pauseItem_ = AddItem(control, "PauseItem", QStringLiteral("&Прервать"), QKeySequence(), true);
    stopItem_ = AddItem(control, "StopItem", QStringLiteral("О&становить"),
                        QKeySequence(Qt::CTRL | Qt::Key_E), false);
    dragItem_ = AddItem(control, "DragItem", QStringLiteral("&Тащить текст"),
                        QKeySequence(Qt::CTRL | Qt::Key_D), true);
    control->addSeparator();
    playClipBrdItem_ = AddItem(control, "PlayClipBrdItem", QStringLiteral("Читать &Буфер"),
                               QKeySequence(Qt::CTRL | Qt::Key_B), false);
    for (QAction* item : {playItem_, pauseItem_, stopItem_, dragItem_})
        connect(item, &QAction::triggered, this,
                [this, item] { Guarded([this, item] { ItemPlayerClick(item); }); });
    connect(playClipBrdItem_, &QAction::triggered, this,
            [this] { Guarded([this] { PlayClipBrdClick(); }); });
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

template <typename Handler>
void TFrmView::Guarded(Handler handler) {
    try {
        handler();
    } catch (const std::exception& error) {
        ShowAppError(error.what());
        try {
            ResetPlayer();
        } catch (const std::exception&) {
        }
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
    // Only a dictionary sends dictionary requests; a text that merely starts like one is
    // spoken as text.
    if (docKind_ != kDocKindDictionary &&
        text.compare(0, kRequestHeader.size(), kRequestHeader) == 0)
        text.insert(0, 1, ' ');
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
            if (docKind_ == kDocKindDictionary && options_.DictRep) {
                blockStart_ = blockEnd_ = 0;
            } else {
                ResetPlayer();
                return;
            }
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
    // Without word wrap the vertical scroll bar counts lines: the caret's line goes third.
    const int line = editor_->textCursor().blockNumber();
    editor_->verticalScrollBar()->setValue(std::max(0, line - 2));
}

void TFrmView::PlayClipBrdClick() {
    const QString text = QApplication::clipboard()->text();
    if (text.isEmpty()) return;
    LoadBytes(PlayerDocument::Encode(text, kCodePageWindows), kCodePageUnknown);
    SetFileName(std::string());
    ShowStatus(QStringLiteral("Открыт текст в клипборде"));
    btnStop_->setChecked(true);
    BtnPlayerClick(btnStop_);
    ClickPlay();
}

bool TFrmView::eventFilter(QObject* watched, QEvent* event) {
    if (watched != editor_ || event->type() != QEvent::KeyPress)
        return QMainWindow::eventFilter(watched, event);
    const auto* key = static_cast<QKeyEvent*>(event);
    if (key->key() == Qt::Key_Pause && key->modifiers() == Qt::NoModifier) {
        Guarded([this] {
            btnPause_->setChecked(!btnPause_->isChecked());
            BtnPlayerClick(btnPause_);
        });
        return true;
    }
    // While the caret follows the speech, keys would only fight it.
    return btnPlay_->isChecked() && btnDrag_->isChecked();
}

// ---- Window ----------------------------------------------------------------------------

bool TFrmView::LoadText(const std::string& fileName) {
    bool loaded = false;
    Guarded([&] {
        LoadedDocument document;
        try {
            document = LoadDocument(fileName);
        } catch (const DocumentError& error) {
            ShowAppError(error.what());
            return;
        }
        LoadBytes(std::move(document.Text), document.CodePage);
        SetFileName(fileName);
        if (document.UnmappedCharacters > 0)
            ShowStatus(QStringLiteral("Символов, которых нет в Windows-1251, заменено на \"?\": %1")
                           .arg(document.UnmappedCharacters));
        loaded = true;
    });
    EditorFocus();
    return loaded;
}

void TFrmView::LoadBytes(std::string bytes, int32_t loadedCodePage) {
    editor_->setUpdatesEnabled(false);
    SetBusy(true);
    try {
        if (btnPlay_->isChecked()) {
            btnPlay_->setChecked(false);
            BtnPlayerClick(btnPlay_);
        }
        preparedText_.reset();
        PlayerOptions options;
        DefaultPlayerOptions(options);
        host_.GetTextOptions(options);
        AnalyseText(options, host_.AutoCalc(), bytes.c_str());
        // A converted UTF-8 file is Windows-1251 whatever the guess says.
        if (loadedCodePage != kCodePageUnknown) options.CodePage = loadedCodePage;
        document_->SetText(std::move(bytes), options.CodePage);
        options_ = std::move(options);
        docKind_ = kDocKindText;
        SetRange(0, 0);
        dragText_ = false;
        editor_->setReadOnly(true);
    } catch (...) {
        editor_->setUpdatesEnabled(true);
        SetBusy(false);
        throw;
    }
    SetCaret(0);
    UpdatePlayer();
    editor_->document()->setModified(false);
    ShowModified(false);
    editor_->setUpdatesEnabled(true);
    SetBusy(false);
}

void TFrmView::SetFileName(const std::string& name) {
    docName_ = name;
    const QString path = QString::fromStdString(name);
    setWindowTitle(QStringLiteral("Плеер - ") + path.section(QLatin1Char('/'), -1));
}

void TFrmView::EditorFocus() {
    if (isVisible()) editor_->setFocus();
}

void TFrmView::ShowStatus(const QString& text) {
    panelMessage_->setText(text);
}

void TFrmView::ShowAppError(const std::string& text) {
    std::fprintf(stderr, "tovrin: %s\n", text.c_str());
    ShowStatus(QString::fromStdString(text));
}

void TFrmView::ShowModified(bool modified) {
    panelModified_->setText(modified ? QStringLiteral("Modified") : QString());
}

void TFrmView::UpdateSelection() {
    const QTextCursor cursor = editor_->textCursor();
    panelCaret_->setText(QString::asprintf("Строка: %3d  Колонка: %3d", cursor.blockNumber() + 1,
                                           cursor.positionInBlock() + 1));
}

}  // namespace tovrin
