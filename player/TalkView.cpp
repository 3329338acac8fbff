#include "player/TalkView.h"

#include "dialogs/AccessibleToggles.h"
#include "dialogs/MessageBoxes.h"
#include "dialogs/ScreenRoom.h"
#include "dialogs/TalkFind.h"
#include "player/Appearance.h"
#include "player/PlayerDocument.h"
#include "player/PlayerEditor.h"
#include "player/PlayerSetupDialog.h"
#include "player/SoundExport.h"
#include "player/SpeechHighlight.h"

#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QMimeData>
#include <QScreen>
#include <QVBoxLayout>

#include <cstdio>
#include <random>

namespace tovrin {

TFrmView::TFrmView(PlayerHost& host, QWidget* parent, MessageBoxes* dialogs)
    : QMainWindow(parent),
      host_(host),
      ownDialogs_(dialogs == nullptr ? std::make_unique<QtMessageBoxes>() : nullptr),
      dialogs_(dialogs == nullptr ? *ownDialogs_ : *dialogs),
      writer_(&SaveDocument),
      session_(std::make_unique<ReadingSession>(host, *this)),
      options_(session_->Options()),
      random_(std::random_device{}()) {
    setWindowFlag(Qt::Window);
    setAttribute(Qt::WA_DeleteOnClose);
    setObjectName(QStringLiteral("FrmView"));
    // Named as its caption says, with the document's name, so windows can be told apart.
    connect(this, &QWidget::windowTitleChanged, this, &QWidget::setAccessibleName);
    // Its usual size, but no larger than the screen (a large scale leaves a small screen).
    resize(QSize(613, 482).boundedTo(ClientRoom(*this, *screen()).size()));
    InstallAccessibleToggles();

    auto* central = new QWidget(this);
    auto* layout = new QVBoxLayout(central);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    setCentralWidget(central);
    CreatePlayerActions(*this, controls_);
    CreatePlayerPanels(*central, controls_);
    CreateEditor();
    CreatePlayerMenus(*this, controls_);
    CreatePlayerStatusBar(*this, controls_);
    ConnectCommands();
    session_->SetView(this);
    folder_ = QCoreApplication::applicationDirPath();

    SetFileName("Без текста");
    docName_.clear();
    pane_->UpdateSelection();
    connect(QApplication::clipboard(), &QClipboard::dataChanged, this,
            [this] { Guarded([this] { pane_->UpdatePaste(); }); });
    editor_->document()->setModified(false);
    pane_->ShowModified(false);

    pane_->ApplyAppearance(host_.GetAppearance());
    SetPanelsClick(nullptr);

    host_.GetTextOptions(options_);
    AnalyseText(options_, false, document_->Data());
    shortTalk_ = options_.ReadingType == 1;
    CreateFindDialog();
    document_->SetCodePage(options_.CodePage);
    pane_->SetEditorFont(pane_->CodePageFont(options_.CodePage));
    UpdateEditor();
    pane_->UpdateAttributes();
    UpdatePlayer();
    pane_->UpdateFont();
}

TFrmView::~TFrmView() {
    // Every way a window goes (closed by the user, by the program's end, by a signal) ends
    // here: its place and state are kept first, while the session still tells where it is.
    RememberOnClose();
    // The controller keeps a pointer to its holder and polls it; it must not outlive us.
    try {
        session_->Close();
    } catch (const std::exception& error) {
        std::fprintf(stderr, "tovrin: %s\n", error.what());
    }
    // The find dialog is a child window; it must not call back into a half-destroyed window.
    delete findDialog_;
    findDialog_ = nullptr;
    setupDialog_.reset();
}

void TFrmView::CreateEditor() {
    // A file dropped on the editor is loaded once the editor has finished with the drop, so
    // that the document is not replaced under the editor's own drop handling.
    QWidget* work = CreateWorkArea(
        *centralWidget(), editor_, editorBackground_,
        [this] { return pane_->SelectionAsMimeData(); },
        [this](const QMimeData* data) {
            auto copy = std::make_shared<QMimeData>();
            copy->setUrls(data->urls());
            QMetaObject::invokeMethod(
                this, [this, copy] { Guarded([this, &copy] { LoadDropped(copy.get()); }); },
                Qt::QueuedConnection);
        });
    editor_->installEventFilter(this);
    connect(editor_, &PlayerEditor::PasteRefused, this, &TFrmView::PasteRefused);
    centralWidget()->layout()->addWidget(work);
    document_ = std::make_unique<PlayerDocument>(*editor_->document());
    pane_ = std::make_unique<EditorPane>(*this, *editor_, *editorBackground_, *document_, controls_,
                                         dialogs_, options_);
    highlight_ = std::make_unique<SpeechHighlight>(*editor_, *document_);
    // A text being shown piece by piece moves the caret and marks the view changed with each
    // piece: the status bar follows the editor again once it is whole.
    const auto selection = [this] {
        if (!Filling()) Guarded([this] { pane_->UpdateSelection(); });
    };
    const auto change = [this] {
        if (!Filling()) Guarded([this] { pane_->UpdateChange(); });
    };
    connect(editor_, &QPlainTextEdit::cursorPositionChanged, this, selection);
    connect(editor_, &QPlainTextEdit::selectionChanged, this, selection);
    connect(editor_->document(), &QTextDocument::contentsChanged, this, change);
    connect(editor_->document(), &QTextDocument::modificationChanged, this, change);
    connect(editor_, &QPlainTextEdit::undoAvailable, this, change);
}

void TFrmView::OnTriggered(QAction* action, void (TFrmView::*handler)(QAction*)) {
    connect(action, &QAction::triggered, this, [this, action, handler] {
        Guarded([this, action, handler] { (this->*handler)(action); });
    });
}

template <typename Handler>
void TFrmView::OnTriggered(QAction* action, Handler handler) {
    connect(action, &QAction::triggered, this, [this, handler] { Guarded(handler); });
}

void TFrmView::ConnectCommands() {
    const PlayerControls& c = controls_;
    OnTriggered(c.fileNew, &TFrmView::FileNew);
    OnTriggered(c.fileOpen, &TFrmView::FileOpen);
    OnTriggered(c.clipbrdOpen, [this] { ClipbrdOpen(); });
    OnTriggered(c.fileSave, &TFrmView::SaveButtonClick);
    OnTriggered(c.fileSound, [this] { ExportSound(); });
    OnTriggered(c.filePrint, &TFrmView::FilePrint);
    OnTriggered(c.fileExit, [this] { close(); });
    OnTriggered(c.editUndo, [this] { pane_->EditUndo(); });
    OnTriggered(c.editCut, [this] { pane_->EditCut(); });
    OnTriggered(c.editCopy, [this] { pane_->EditCopy(); });
    OnTriggered(c.editPaste, [this] { pane_->EditPaste(); });
    for (QAction* editor : {c.readOnly, c.find, c.findRepeat})
        OnTriggered(editor, &TFrmView::BtnEditor);
    OnTriggered(c.gotoTalk, [this] { GotoTalkClick(); });
    ConnectReadingCommands();
    for (QAction* font :
         {c.wrap, c.fontInc, c.fontDec, c.fontBold, c.fontItalic, c.fontSel, c.bkColor})
        OnTriggered(font, &TFrmView::BtnFont);
    // Triggering a checkable item has toggled its check mark already.
    for (QAction* panel : {c.setEditor, c.setPlayer, c.setFont})
        OnTriggered(panel, &TFrmView::SetPanelsClick);
    OnTriggered(c.helpContents, [this] {
        HelpMessage(QStringLiteral("Спасение утопающих - дело рук самих утопающих"));
    });
    OnTriggered(c.helpSearch, [this] { HelpMessage(QStringLiteral("Тема закрыта.")); });
    OnTriggered(c.helpHowToUse,
                [this] { HelpMessage(QStringLiteral("Поднапрячъся и сообразить самому")); });
    OnTriggered(c.helpAbout, [this] { HelpAbout(); });
}

void TFrmView::ConnectReadingCommands() {
    const PlayerControls& c = controls_;
    for (QAction* reading : {c.play, c.pause, c.stop, c.drag})
        OnTriggered(reading, &TFrmView::BtnPlayerClick);
    OnTriggered(c.playClipBrd, [this] { PlayClipBrdClick(); });
    OnTriggered(c.highlight, [this] { HighlightClick(); });
    for (QAction* move : {c.prev, c.back, c.step, c.next, c.viewTalk})
        OnTriggered(move, &TFrmView::BtnMoveClick);
    // A double click is one action of its own, not two toggles.
    c.btnViewTalk->installEventFilter(this);
    for (QAction* setup : {c.shortTalk, c.setup})
        OnTriggered(setup, &TFrmView::BtnSetupClick);
}

void TFrmView::ExportSound() {
    if (RefusedWhileFilling()) return;
    ExportAsSound(
        this, dialogs_,
        {document_->Bytes(), Caret(), options_, host_.CurrentVoice(), docName_, bookFile_},
        {[this](const std::string& error) { ShowAppError(error); },
         [this](const QString& text) { ShowStatus(text); }});
}

void TFrmView::CreateFindDialog() {
    try {
        findDialog_ = new TFrmFind(this, pane_.get());
        findDialog_->setPalette(palette());
        findDialog_->setFont(font());
    } catch (const std::exception& error) {
        findDialog_ = nullptr;
        ShowAppError(error.what());
    }
}

// ---- Reading ---------------------------------------------------------------------------

void TFrmView::ClickPlay() {
    controls_.play->setChecked(true);
    Guarded([this] { BtnPlayerClick(controls_.play); });
}

void TFrmView::BtnPlayerClick(QAction* sender) {
    const PlayerControls& c = controls_;
    const bool wasReading = session_->Reading();
    if (Loading() && !wasReading) {
        // Reading asked for while a document loads starts once it is shown.
        if (sender == c.play || sender == c.stop)
            playWhenLoaded_ = sender == c.play && c.play->isChecked();
        ShowButtons(session_->Buttons());
        c.play->setChecked(playWhenLoaded_);
        return;
    }
    if (sender == c.play)
        session_->Play(c.play->isChecked());
    else if (sender == c.pause)
        session_->Pause(c.pause->isChecked());
    else if (sender == c.stop)
        session_->Stop();
    else if (sender == c.drag)
        session_->Drag(c.drag->isChecked());
    if (sender == c.drag && session_->Reading()) {
        dragMode_ = session_->Buttons().Drag;
        dragPending_ = false;
    }
    FollowReading(wasReading);
    if (sender == c.pause && session_->Buttons().Pause) RememberPlace();
    UpdatePlayer();
}

void TFrmView::UpdatePlayer() {
    const PlayerControls& c = controls_;
    session_->Refresh();
    c.viewTalk->setChecked(viewTalk_);
    if (setupDialog_) {
        c.setup->setChecked(setupDialog_->Widget()->isVisible());
        c.shortTalk->setChecked(shortTalk_);
    } else {
        c.setup->setChecked(false);
        c.shortTalk->setChecked(false);
        shortTalk_ = false;
    }
}

std::string_view TFrmView::Text() const {
    return {document_->Data(), static_cast<size_t>(document_->Size())};
}

void TFrmView::ShowStatus(const std::string& text) {
    ShowStatus(QString::fromStdString(text));
}

void TFrmView::ShowButtons(const ReadingButtons& buttons) {
    // Check states only: the handlers run on triggers, never on a state set from here.
    controls_.play->setChecked(buttons.Play);
    controls_.pause->setChecked(buttons.Pause);
    controls_.drag->setChecked(buttons.Drag);
}

void TFrmView::PlayClipBrdClick() {
    if (QApplication::clipboard()->text().isEmpty()) return;
    if (!LoadClipboard()) return;
    ShowStatus(QStringLiteral("Открыт текст в клипборде"));
    controls_.stop->trigger();
    ClickPlay();
}

// ---- The find dialog's view of the document --------------------------------------------

}  // namespace tovrin
