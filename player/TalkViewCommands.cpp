// The player window's commands: navigation and reading modes, files, clipboard and drops,
// printing, the editor and font buttons, the tool panels, the status bar and help.

#include "player/TalkView.h"

#include "player/DocumentLoading.h"
#include "dialogs/MessageBoxes.h"
#include "dialogs/PrintOutput.h"
#include "dialogs/Reabout.h"
#include "dialogs/ScreenRoom.h"
#include "player/Appearance.h"
#include "player/PlayerDocument.h"
#include "player/PlayerSetupDialog.h"
#include "text/CodePages.h"

#include <QApplication>
#include <QClipboard>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFileInfo>
#include <QLabel>
#include <QMimeData>
#include <QPrinter>
#include <QToolButton>
#include <QUrl>

#include <cstdio>

namespace tovrin {
namespace {

const QString kTextFilter = QStringLiteral("Текст (*.TXT *.txt)");
const QString kDictionaryFilter = QStringLiteral("Словарь (*.DIC *.RCH *.dic *.rch)");
const QString kAnyFilter = QStringLiteral("Любой файл (*)");
const QString kBookFilter = QStringLiteral(
    "Книга (*.fb2 *.fb2.zip *.epub *.docx *.odt *.htm *.html *.xhtml *.pdf *.FB2 *.EPUB *.PDF)");

QString LineBreakName(DocumentForm::LineBreaks breaks) {
    switch (breaks) {
        case DocumentForm::LineBreaks::Lf:
            return QStringLiteral("LF");
        case DocumentForm::LineBreaks::Cr:
            return QStringLiteral("CR");
        case DocumentForm::LineBreaks::CrLf:
            break;
    }
    return QStringLiteral("CR LF");
}

bool SameFile(const QString& a, const QString& b) {
    const QString canonical = QFileInfo(a).canonicalFilePath();
    return !canonical.isEmpty() && canonical == QFileInfo(b).canonicalFilePath();
}

}  // namespace

// ---- Window events -----------------------------------------------------------------------

bool TFrmView::eventFilter(QObject* watched, QEvent* event) {
    QToolButton* viewTalk = controls_.btnViewTalk;
    if (watched == viewTalk && event->type() == QEvent::MouseButtonDblClick) {
        // The second press of a double click is no click of its own: its release is taken
        // here, so that the button toggles once and the double click runs its own action.
        swallowRelease_ = true;
        Guarded([this] { GotoTalkClick(); });
        return true;
    }
    if (watched == viewTalk && event->type() == QEvent::MouseButtonRelease && swallowRelease_) {
        swallowRelease_ = false;
        viewTalk->setDown(false);
        controls_.viewTalk->setChecked(viewTalk_);
        return true;
    }
    if (watched != editor_ || event->type() != QEvent::KeyPress)
        return QMainWindow::eventFilter(watched, event);
    bool consumed = false;
    Guarded([&] {
        consumed =
            pane_->HandleKey(static_cast<QKeyEvent*>(event), session_->CaretBelongsToSpeech());
    });
    return consumed;
}

void TFrmView::showEvent(QShowEvent* event) {
    QMainWindow::showEvent(event);
    setAcceptDrops(true);
    Guarded([this] {
        SetPanelsClick(nullptr);
        UpdateEditor();
        EditorFocus();
        if (pendingTop_) ScrollToTop(*pendingTop_);
    });
}

void TFrmView::resizeEvent(QResizeEvent* event) {
    QMainWindow::resizeEvent(event);
    Guarded([this] {
        pane_->UpdateSelection();
        if (!isMinimized()) SetPanelsClick(nullptr);
    });
}

void TFrmView::changeEvent(QEvent* event) {
    QMainWindow::changeEvent(event);
    if (event->type() != QEvent::WindowStateChange || !isMinimized()) return;
    if (setupDialog_ && setupDialog_->Widget()->isVisible()) setupDialog_->Widget()->hide();
    if (findDialog_ != nullptr && findDialog_->isVisible()) findDialog_->hide();
    EditorFocus();
}

void TFrmView::closeEvent(QCloseEvent* event) {
    // While a box is open a handler of this window may be waiting on it: a window closed now
    // would be deleted under that handler.
    if (dialogs_.OpenCount() > 0) {
        event->ignore();
        return;
    }
    bool close = true;
    Guarded([&] { close = ConfirmDiscard(); });
    if (close)
        QMainWindow::closeEvent(event);
    else
        event->ignore();
}

void TFrmView::dragEnterEvent(QDragEnterEvent* event) {
    if (event->mimeData()->hasUrls()) event->acceptProposedAction();
}

void TFrmView::dropEvent(QDropEvent* event) {
    event->acceptProposedAction();
    const QMimeData* data = event->mimeData();
    Guarded([this, data] { LoadDropped(data); });
}

// ---- Navigation and modes ----------------------------------------------------------------

void TFrmView::BtnMoveClick(QAction* sender) {
    const PlayerControls& c = controls_;
    // The caret is placed when a loading document is shown whole.
    if (Filling()) return;
    if (sender == c.viewTalk) return ViewTalkClick();
    const bool free = !session_->CaretBelongsToSpeech();
    if (free)
        pane_->MoveCaret(sender == c.prev   ? Move::SectionUp
                         : sender == c.back ? Move::ParagraphUp
                         : sender == c.step ? Move::ParagraphDown
                                            : Move::SectionDown);
    ShowMove(free);
}

void TFrmView::ViewTalkClick() {
    QAction* viewTalk = controls_.viewTalk;
    const bool down = viewTalk->isChecked();
    // While the caret belongs to the speech the click is undone and nothing moves.
    const bool free = !session_->CaretBelongsToSpeech();
    if (!free) {
        viewTalk->setChecked(!down);
    } else if (down) {
        viewPos_ = Caret();
        SetCaret(SpokenLineStart());
    } else {
        SetCaret(viewPos_);
    }
    viewTalk_ = viewTalk->isChecked();
    ShowMove(free);
}

void TFrmView::GotoTalkClick() {
    const bool free = !session_->CaretBelongsToSpeech();
    if (free) {
        viewPos_ = SpokenLineStart();
        SetCaret(viewPos_);
    } else {
        viewTalk_ = controls_.viewTalk->isChecked();
    }
    ShowMove(free);
}

void TFrmView::ShowMove(bool moved) {
    UpdatePlayer();
    EditorFocus();
    if (moved) ScrollToCaret();
}

void TFrmView::BtnSetupClick(QAction* sender) {
    if (sender == controls_.shortTalk)
        ShortTalkClick();
    else
        ShowSetupDialog(controls_.setup->isChecked());
    UpdatePlayer();
}

void TFrmView::ShortTalkClick() {
    QAction* shortTalk = controls_.shortTalk;
    const bool down = shortTalk->isChecked();
    if (DocKind() == kDocKindDictionary) {
        if (down && !session_->Reading()) EditorRandom();
        shortTalk->setChecked(false);
    } else if (setupDialog_) {
        options_.ReadingType = down ? 1 : 0;
        setupDialog_->ShowReadingType(options_.ReadingType);
    }
    shortTalk_ = shortTalk->isChecked();
}

void TFrmView::ShowSetupDialog(bool shown) {
    if (!setupDialog_) return;
    const bool opening = shown && !setupDialog_->Widget()->isVisible();
    if (opening) PlaceSetupDialog();
    setupDialog_->Widget()->setVisible(shown);
    if (opening) PlaceSetupDialog();  // now that its frame is known
    WriteSetup();
    controls_.shortTalk->setChecked(options_.ReadingType == 1);
    shortTalk_ = controls_.shortTalk->isChecked();
}

void TFrmView::WriteSetup() {
    setupDialog_->SetReady(false);
    setupDialog_->WriteControls(options_);
    setupDialog_->SetReady(true);
}

void TFrmView::AttachSetupDialog(std::unique_ptr<PlayerSetupDialog> dialog) {
    setupDialog_ = std::move(dialog);
    if (!setupDialog_) return UpdatePlayer();
    QWidget* widget = setupDialog_->Widget();
    // It takes the window's colour and font, as the find dialog does.
    widget->setPalette(palette());
    widget->setFont(font());
    WriteSetup();
    setupDialog_->EnableReadingType(DocKind() != kDocKindDictionary);
    UpdatePlayer();
}

// At the editor's top right, where the window stands when the dialog opens.
void TFrmView::PlaceSetupDialog() {
    QWidget* widget = setupDialog_->Widget();
    if (!widget->testAttribute(Qt::WA_WState_Created)) widget->adjustSize();
    const QSize frame = widget->frameGeometry().size();
    const QPoint corner = editor_->mapToGlobal(QPoint(editor_->width(), 0));
    // Within the screen: near its edge the corner would put the dialog partly off it.
    const QRect place(QPoint(corner.x() - frame.width(), corner.y()), frame);
    widget->move(MovedInto(place, ClientRoom(*widget, *screen())).topLeft());
}

void TFrmView::SetupConfirmed() {
    if (!setupDialog_) return;
    EditorLock(true);
    Guarded([this] {
        setupDialog_->ReadControls(options_);
        controls_.setup->setChecked(setupDialog_->Widget()->isVisible());
        controls_.shortTalk->setChecked(options_.ReadingType == 1);
        shortTalk_ = controls_.shortTalk->isChecked();
        // A new code page shows the same bytes through its own table.
        const bool modified = editor_->document()->isModified();
        document_->SetCodePage(options_.CodePage);
        editor_->document()->setModified(modified);
        pane_->SetEditorFont(pane_->CodePageFont(options_.CodePage));
        pane_->UpdateAttributes();
        UpdatePlayer();
        pane_->UpdateFont();
        controls_.setup->setChecked(false);
    });
    EditorLock(false);
}

void TFrmView::EditorRandom() {
    EditorLock(true);
    try {
        pane_->ShuffleEntries(random_);
    } catch (...) {
        EditorLock(false);
        throw;
    }
    EditorLock(false);
}

void TFrmView::EditorLock(bool on) {
    if (on) {
        if (lockCount_ == 0) {
            session_->SetBusy(true);
            editor_->hide();
        }
        ++lockCount_;
        return;
    }
    if (lockCount_ == 1) {
        editor_->show();
        session_->SetBusy(false);
    }
    if (lockCount_ > 0) --lockCount_;
}

// ---- Files -------------------------------------------------------------------------------

bool TFrmView::HasUnsavedChanges() const {
    // A text still being shown is the file's as it was read.
    return !Filling() && editor_->document()->isModified();
}

bool TFrmView::ConfirmDiscard() {
    if (!HasUnsavedChanges()) return true;
    const BoxButton answer = dialogs_.Show(
        this, BoxKind::Question, QStringLiteral("Текст изменен. Сохранить изменения?"),
        {BoxButton::Yes, BoxButton::No, BoxButton::Cancel}, BoxButton::Cancel);
    if (answer == BoxButton::Yes) return FileSaveAs(nullptr);
    return answer == BoxButton::No;
}

void TFrmView::FileNew(QAction*) {
    host_.NewClient();
}

void TFrmView::FileOpen(QAction*) {
    FileChoice choice;
    choice.Title = QStringLiteral("Укажите файл с текстом");
    choice.Filter = kTextFilter + QStringLiteral(";;") + kBookFilter + QStringLiteral(";;") +
                    kDictionaryFilter + QStringLiteral(";;") + kAnyFilter;
    choice.Folder = folder_;
    choice.DefaultSuffix = QStringLiteral("TXT");
    const QString name = dialogs_.ChooseFile(this, choice);
    if (name.isEmpty()) return;
    folder_ = QFileInfo(name).absolutePath();
    LoadText(name.toStdString(), QStringLiteral("Открыт текст в файле"));
}

void TFrmView::ClipbrdOpen() {
    if (LoadClipboard()) ShowStatus(QStringLiteral("Открыт текст в клипборде"));
}

void TFrmView::PasteRefused(const QString& reason) {
    ShowAppError(TooLarge(QStringLiteral("Документ со вставленным текстом"), reason));
}

void TFrmView::LoadDropped(const QMimeData* data) {
    if (data == nullptr || !data->hasUrls() || data->urls().isEmpty()) return;
    const QString path = data->urls().front().toLocalFile();
    if (!path.isEmpty()) LoadText(path.toStdString());
}

bool TFrmView::FileSaveAs(QAction*) {
    if (RefusedWhileFilling()) return false;
    FileChoice choice;
    choice.Save = true;
    choice.Title = QStringLiteral("Укажите имя файла с текстом");
    choice.Filter = kTextFilter + QStringLiteral(";;") + kAnyFilter;
    choice.Folder = folder_;
    // A book's text is offered a text file of the book's name beside it.
    if (!bookFile_.empty())
        choice.Folder = QFileInfo(QString::fromStdString(bookFile_)).absolutePath() +
                        QLatin1Char('/') +
                        QFileInfo(QString::fromStdString(bookFile_)).completeBaseName() +
                        QStringLiteral(".txt");
    choice.DefaultSuffix = QStringLiteral("TXT");
    const QString name = dialogs_.ChooseFile(this, choice);
    if (name.isEmpty()) return false;
    if (!bookFile_.empty() && SameFile(name, QString::fromStdString(bookFile_))) {
        ShowAppError("Книга не перезаписывается текстом: сохраните его в другой файл");
        return false;
    }
    const std::vector<BoxButton> yesNoCancel = {BoxButton::Yes, BoxButton::No, BoxButton::Cancel};
    if (QFileInfo::exists(name) &&
        dialogs_.Show(this, BoxKind::Question, QStringLiteral("OK чтобы переписать %1").arg(name),
                      yesNoCancel, BoxButton::No) != BoxButton::Yes)
        return false;
    // Characters that the load turned into "?" would be lost in the original file for good.
    const size_t losses = origin_.LossesAt(name.toStdString());
    if (losses > 0 &&
        dialogs_.Show(this, BoxKind::Warning,
                      QStringLiteral("При загрузке символы, которых нет в Windows-1251 (%1), "
                                     "заменены на \"?\". Записать текст поверх исходного файла?")
                          .arg(losses),
                      {BoxButton::Yes, BoxButton::No}, BoxButton::No) != BoxButton::Yes)
        return false;
    try {
        writer_(name.toStdString(), document_->Bytes(), origin_.Form());
    } catch (const std::exception& error) {
        // The old file and the unsaved state stay as they were.
        ShowAppError(error.what());
        return false;
    }
    folder_ = QFileInfo(name).absolutePath();
    if (places_ != nullptr) placeKey_ = KeyOfFile(name.toStdString());
    const bool unifiedBreaks = origin_.Saved(name.toStdString());
    SetFileName(name.toStdString());
    editor_->document()->setModified(false);
    pane_->ShowModified(false);
    ShowStatus(unifiedBreaks
                   ? QStringLiteral("Файл сохранен; концы строк записаны в одном виде: ") +
                         LineBreakName(origin_.Form().FileLineBreaks)
                   : QStringLiteral("Файл сохранен"));
    return true;
}

void TFrmView::FilePrint(QAction*) {
    if (RefusedWhileFilling()) return;
    QPrinter printer;
    PreparePrinter(printer, QString::fromStdString(docName_));
    if (!dialogs_.ChoosePrinter(this, printer)) return;
    editor_->print(&printer);
    const QString failure = PrintFailure(printer);
    if (!failure.isEmpty()) {
        ShowAppError(failure.toStdString());
        return;
    }
    ShowStatus(QStringLiteral("Файл распечатан"));
}

void TFrmView::SetFileName(const std::string& name) {
    docName_ = name;
    const QString path = QString::fromStdString(name);
    setWindowTitle(QStringLiteral("Плеер - ") + path.section(QLatin1Char('/'), -1));
}

// ---- Editing -----------------------------------------------------------------------------

// ---- Editor buttons, fonts, panels -------------------------------------------------------

void TFrmView::BtnEditor(QAction* sender) {
    if (sender == controls_.readOnly && Filling()) {
        // A text still being shown is not edited.
        controls_.readOnly->setChecked(true);
    } else if (sender == controls_.readOnly) {
        // Pieces of a long line are shown with breaks the document does not hold: such a text
        // is not edited.
        if (!controls_.readOnly->isChecked() && document_->Wrapped()) {
            controls_.readOnly->setChecked(true);
            ShowStatus(QStringLiteral("Строки длиннее %1 знаков показаны с переносами: такой "
                                      "текст не правится")
                           .arg(kDisplayLineChars));
        } else {
            editor_->setReadOnly(controls_.readOnly->isChecked());
        }
    } else if (sender == controls_.find) {
        if (findDialog_ != nullptr && controls_.find->isChecked()) {
            findDialog_->adjustSize();
            findDialog_->move(
                editor_->mapToGlobal(QPoint(0, editor_->height() - findDialog_->height() - 2)));
            findDialog_->show();
            findDialog_->raise();
        } else if (findDialog_ != nullptr) {
            findDialog_->hide();
        }
    } else if (findDialog_ != nullptr) {
        findDialog_->BtnFindClick(nullptr);
    }
    UpdateEditor();
}

void TFrmView::BtnFont(QAction* sender) {
    EditorLock(true);
    try {
        pane_->Font(sender);
    } catch (...) {
        EditorLock(false);
        throw;
    }
    EditorLock(false);
    pane_->UpdateFont();
}

void TFrmView::UpdateEditor() {
    pane_->UpdateSelection();
    pane_->UpdateChange();
    pane_->UpdatePaste();
    controls_.readOnly->setChecked(editor_->isReadOnly());
    controls_.find->setChecked(findDialog_ != nullptr && findDialog_->isVisible());
}

void TFrmView::SetPanelsClick(QAction*) {
    LayOutPanels(controls_, width());
}

// ---- Status bar and help -----------------------------------------------------------------

void TFrmView::EditorFocus() {
    if (isVisible()) editor_->setFocus();
}

void TFrmView::ShowStatus(const QString& text) {
    controls_.panelMessage->setText(text);
    // A message longer than the panel (a failed load names the file's whole path) is read
    // whole by pointing at it.
    controls_.panelMessage->setToolTip(text);
}

void TFrmView::ShowAppError(const std::string& text) {
    std::fprintf(stderr, "tovrin: %s\n", text.c_str());
    ShowStatus(QString::fromStdString(text));
}

void TFrmView::HelpMessage(const QString& text) {
    dialogs_.Show(this, BoxKind::Information, text, {BoxButton::Ok}, BoxButton::Ok);
}

void TFrmView::HelpAbout() {
    TAboutBox box(this);
    dialogs_.ShowModal(box);
}

}  // namespace tovrin
