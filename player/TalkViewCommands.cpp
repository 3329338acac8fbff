// The player window's commands: navigation and reading modes, files, clipboard and drops,
// editing, printing, the font and tool panels, the status bar and help.

#include "player/TalkView.h"

#include "books/DocumentLoader.h"
#include "dialogs/MessageBoxes.h"
#include "dialogs/PrintOutput.h"
#include "dialogs/Reabout.h"
#include "player/Appearance.h"
#include "player/PlayerDocument.h"
#include "player/PlayerEditor.h"
#include "player/PlayerSetupDialog.h"
#include "player/WidgetState.h"
#include "text/CodePages.h"
#include "text/Navigation.h"
#include "text/TextFinder.h"

#include <QApplication>
#include <QClipboard>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFileInfo>
#include <QKeyEvent>
#include <QLabel>
#include <QMimeData>
#include <QPrinter>
#include <QStatusBar>
#include <QTextBlock>
#include <QToolButton>
#include <QUrl>

#include <algorithm>
#include <cstdio>

namespace tovrin {
namespace {

const QString kTextFilter = QStringLiteral("Текст (*.TXT *.txt)");
const QString kDictionaryFilter = QStringLiteral("Словарь (*.DIC *.RCH *.dic *.rch)");
const QString kAnyFilter = QStringLiteral("Любой файл (*)");
const QString kBookFilter = QStringLiteral(
    "Книга (*.fb2 *.fb2.zip *.epub *.docx *.odt *.htm *.html *.xhtml *.pdf *.FB2 *.EPUB *.PDF)");

void Release(QAbstractButton* sender) {
    if (sender != nullptr) SetCheckedQuietly(sender, false);
}

int PointSize(const QFont& font) {
    return font.pointSize() > 0 ? font.pointSize() : QFontInfo(font).pointSize();
}

// The message for a document a window cannot hold; `what` names it.
std::string TooLarge(const QString& what, const QString& reason) {
    return (what + QStringLiteral(" слишком велик для окна плеера: ") + reason).toStdString();
}

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
    if (watched == btnViewTalk_ && event->type() == QEvent::MouseButtonDblClick) {
        // The second press of a double click is no click of its own: its release is taken
        // here, so that the button toggles once and the double click runs its own action.
        swallowRelease_ = true;
        Guarded([this] { GotoTalkClick(); });
        return true;
    }
    if (watched == btnViewTalk_ && event->type() == QEvent::MouseButtonRelease && swallowRelease_) {
        swallowRelease_ = false;
        btnViewTalk_->setDown(false);
        SetCheckedQuietly(btnViewTalk_, viewTalk_);
        return true;
    }
    if (watched != editor_ || event->type() != QEvent::KeyPress)
        return QMainWindow::eventFilter(watched, event);
    bool consumed = false;
    Guarded([&] { consumed = HandleEditorKey(static_cast<QKeyEvent*>(event)); });
    return consumed;
}

bool TFrmView::HandleEditorKey(QKeyEvent* key) {
    if (key->key() == Qt::Key_Pause && key->modifiers() == Qt::NoModifier) {
        btnPause_->setChecked(!btnPause_->isChecked());
        BtnPlayerClick(btnPause_);
        return true;
    }
    // While the caret follows the speech, keys would only fight it.
    if (CaretBelongsToSpeech()) return true;
    if (key->matches(QKeySequence::Copy)) {
        EditCopy(nullptr);
    } else if (key->matches(QKeySequence::Cut)) {
        EditCut(nullptr);
    } else if (key->matches(QKeySequence::Paste)) {
        EditPaste(nullptr);
    } else if (key->matches(QKeySequence::Undo)) {
        EditUndo(nullptr);
    } else {
        const QKeySequence pressed(key->keyCombination());
        for (QAction* item : {prevItem_, backItem_, stepItem_, nextItem_}) {
            if (item->shortcut() == pressed) {
                ItemMoveClick(item);
                return true;
            }
        }
        return false;
    }
    return true;
}

void TFrmView::showEvent(QShowEvent* event) {
    QMainWindow::showEvent(event);
    setAcceptDrops(true);
    Guarded([this] {
        SetPanelsClick(nullptr);
        UpdateEditor();
        EditorFocus();
    });
}

void TFrmView::resizeEvent(QResizeEvent* event) {
    QMainWindow::resizeEvent(event);
    Guarded([this] {
        UpdateSelection();
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

bool TFrmView::CaretBelongsToSpeech() const {
    return btnPlay_->isChecked() && btnDrag_->isChecked();
}

void TFrmView::BtnMoveClick(QAbstractButton* sender) {
    if (sender == btnViewTalk_) return ViewTalkClick();
    if (CaretBelongsToSpeech()) {
        SetCheckedQuietly(sender, false);
        UpdatePlayer();
        EditorFocus();
        return;
    }
    const Move move = sender == btnPrev_   ? Move::SectionUp
                      : sender == btnBack_ ? Move::ParagraphUp
                      : sender == btnStep_ ? Move::ParagraphDown
                                           : Move::SectionDown;
    const char* text = document_->Data();
    SetTextBounds(text, document_->End());
    const char* target = MoveTarget(LayoutParamsOf(options_), move, text + Caret());
    SetCaret(static_cast<int32_t>(target - text));
    SetCheckedQuietly(sender, false);
    UpdatePlayer();
    EditorFocus();
    ScrollToCaret();
}

void TFrmView::ItemMoveClick(QAction* sender) {
    QAbstractButton* button = sender == prevItem_   ? btnPrev_
                              : sender == backItem_ ? btnBack_
                              : sender == stepItem_ ? btnStep_
                                                    : btnNext_;
    button->setChecked(!button->isChecked());
    BtnMoveClick(button);
    UpdatePlayer();
}

void TFrmView::ViewTalkClick() {
    const bool down = btnViewTalk_->isChecked();
    if (CaretBelongsToSpeech()) {
        btnViewTalk_->setChecked(!down);
        viewTalk_ = btnViewTalk_->isChecked();
        UpdatePlayer();
        EditorFocus();
        return;
    }
    if (down) {
        viewPos_ = Caret();
        SetCaret(SpokenLineStart());
    } else {
        SetCaret(viewPos_);
    }
    viewTalk_ = down;
    UpdatePlayer();
    EditorFocus();
    ScrollToCaret();
}

void TFrmView::GotoTalkClick() {
    if (CaretBelongsToSpeech()) {
        viewTalk_ = btnViewTalk_->isChecked();
        UpdatePlayer();
        EditorFocus();
        return;
    }
    const int32_t spoken = SpokenLineStart();
    viewPos_ = spoken;
    SetCaret(spoken);
    UpdatePlayer();
    EditorFocus();
    ScrollToCaret();
}

void TFrmView::BtnSetupClick(QAbstractButton* sender) {
    if (sender == btnShortTalk_)
        ShortTalkClick();
    else
        ShowSetupDialog(btnSetup_->isChecked());
    UpdatePlayer();
}

void TFrmView::ItemSetupClick(QAction* sender) {
    QAbstractButton* button = sender == setupItem_       ? btnSetup_
                              : sender == shortTalkItem_ ? btnShortTalk_
                              : sender == fontSelItem_   ? btnFontSel_
                                                         : btnBkColor_;
    button->setChecked(!button->isChecked());
    if (button == btnSetup_ || button == btnShortTalk_)
        BtnSetupClick(button);
    else
        BtnFont(button);
    UpdatePlayer();
    UpdateFont();
}

void TFrmView::ShortTalkClick() {
    const bool down = btnShortTalk_->isChecked();
    if (docKind_ == kDocKindDictionary) {
        if (down && !btnPlay_->isChecked()) EditorRandom();
        SetCheckedQuietly(btnShortTalk_, false);
    } else if (setupDialog_) {
        options_.ReadingType = down ? 1 : 0;
        setupDialog_->ShowReadingType(options_.ReadingType);
    }
    shortTalk_ = btnShortTalk_->isChecked();
}

void TFrmView::ShowSetupDialog(bool shown) {
    if (!setupDialog_) return;
    setupDialog_->Widget()->setVisible(shown);
    setupDialog_->SetReady(false);
    setupDialog_->WriteControls(options_);
    setupDialog_->SetReady(true);
    SetCheckedQuietly(btnShortTalk_, options_.ReadingType == 1);
    shortTalk_ = btnShortTalk_->isChecked();
}

void TFrmView::AttachSetupDialog(std::unique_ptr<PlayerSetupDialog> dialog) {
    setupDialog_ = std::move(dialog);
    if (!setupDialog_) return UpdatePlayer();
    QWidget* widget = setupDialog_->Widget();
    // It takes the window's colour and font, as the find dialog does.
    widget->setPalette(palette());
    widget->setFont(font());
    widget->move(editor_->mapToGlobal(QPoint(editor_->width() - widget->width() - 4, 0)));
    setupDialog_->SetReady(false);
    setupDialog_->WriteControls(options_);
    setupDialog_->SetReady(true);
    setupDialog_->EnableReadingType(docKind_ != kDocKindDictionary);
    UpdatePlayer();
}

void TFrmView::SetupConfirmed() {
    if (!setupDialog_) return;
    EditorLock(true);
    Guarded([this] {
        setupDialog_->ReadControls(options_);
        SetCheckedQuietly(btnSetup_, setupDialog_->Widget()->isVisible());
        SetCheckedQuietly(btnShortTalk_, options_.ReadingType == 1);
        shortTalk_ = btnShortTalk_->isChecked();
        // A new code page shows the same bytes through its own table.
        const bool modified = editor_->document()->isModified();
        document_->SetCodePage(options_.CodePage);
        editor_->document()->setModified(modified);
        SetEditorFont(CodePageFont(options_.CodePage));
        UpdateAttributes();
        UpdatePlayer();
        UpdateFont();
        SetCheckedQuietly(btnSetup_, false);
        SetCheckedQuietly(setupItem_, false);
    });
    EditorLock(false);
}

void TFrmView::EditorRandom() {
    EditorLock(true);
    try {
        std::vector<std::string> lines;
        const std::string& bytes = document_->Bytes();
        for (size_t start = 0;;) {
            const size_t end = bytes.find("\r\n", start);
            lines.push_back(bytes.substr(start, end - start));
            if (end == std::string::npos) break;
            start = end + 2;
        }
        ShuffleDictionary(lines, random_);
        // Nothing but headings: a shuffle would leave an empty editor.
        if (lines.empty()) {
            EditorLock(false);
            return;
        }
        std::string shuffled;
        for (const std::string& line : lines)
            shuffled += (shuffled.empty() ? "" : "\r\n") + line;
        // A shuffle is no edit of the user's: it leaves the modified state as it was.
        const bool modified = editor_->document()->isModified();
        document_->SetText(std::move(shuffled), document_->CodePage());
        editor_->document()->setModified(modified);
        SetCaret(0);
    } catch (...) {
        EditorLock(false);
        throw;
    }
    EditorLock(false);
}

void TFrmView::EditorLock(bool on) {
    if (on) {
        if (lockCount_ == 0) {
            SetBusy(true);
            editor_->hide();
        }
        ++lockCount_;
        return;
    }
    if (lockCount_ == 1) {
        editor_->show();
        SetBusy(false);
    }
    if (lockCount_ > 0) --lockCount_;
}

// ---- Files -------------------------------------------------------------------------------

bool TFrmView::LoadText(const std::string& fileName) {
    bool loaded = false;
    Guarded([&] {
        OpenedDocument opened;
        const QString file = QStringLiteral("Файл \"%1\"").arg(QString::fromStdString(fileName));
        try {
            opened = OpenDocument(fileName, {}, kMaxWindowDocumentBytes);
        } catch (const DocumentTooLarge&) {
            ShowAppError(TooLarge(file, PlayerDocument::TooLargeForWindow(kMaxDocumentBytes, 0)));
            return;
        } catch (const DocumentError& error) {
            ShowAppError(error.what());
            return;
        }
        LoadedDocument& document = opened.Document;
        if (const QString refusal = PlayerDocument::TooLargeForWindow(document.Text);
            !refusal.isEmpty())
            return ShowAppError(TooLarge(file, refusal));
        if (!ConfirmDiscard()) return;
        LoadBytes(std::move(document.Text), document.CodePage, document.Form, fileName);
        origin_ = DocumentOrigin(fileName, document);
        SetFileName(fileName);
        // A converted book is shown by its title and is never written over.
        bookFile_ = opened.IsBook ? fileName : std::string();
        if (opened.IsBook && !opened.Title.empty())
            setWindowTitle(QStringLiteral("Плеер - ") + QString::fromStdString(opened.Title));
        if (document.UnmappedCharacters > 0)
            ShowStatus(QStringLiteral("Символов, которых нет в Windows-1251, заменено на \"?\": %1")
                           .arg(document.UnmappedCharacters));
        loaded = true;
    });
    EditorFocus();
    return loaded;
}

void TFrmView::LoadBytes(std::string bytes, int32_t loadedCodePage, const DocumentForm& form,
                         const std::string& fileName) {
    EditorLock(true);
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
        // A converted UTF-8 file, or the clipboard's text, is Windows-1251 whatever the guess.
        if (loadedCodePage != kCodePageUnknown) options.CodePage = loadedCodePage;
        const PlayerAppearance look = host_.GetAppearance();
        document_->SetText(std::move(bytes), options.CodePage);
        options_ = std::move(options);
        origin_ = DocumentOrigin(form);
        DetectDictionary(fileName);
        SetRange(0, 0);
        viewPos_ = 0;
        dragText_ = false;
        viewTalk_ = false;
        shortTalk_ = options_.ReadingType == 1;
        SetHint(btnShortTalk_, QStringLiteral("По блокам|Чтение по абзацам или по блокам"));
        if (setupDialog_) setupDialog_->EnableReadingType(true);
        if (docKind_ == kDocKindDictionary) ApplyDictionaryKind();
        if (setupDialog_) {
            setupDialog_->SetReady(false);
            setupDialog_->WriteControls(options_);
            setupDialog_->SetReady(true);
        }
        styleWin_ = ToQFont(look.StyleWin);
        styleDos_ = ToQFont(look.StyleDos);
        SetEditorFont(CodePageFont(options_.CodePage));
        UpdateAttributes();
        editor_->setReadOnly(true);
        SetCaret(0);
        editor_->document()->setModified(false);
    } catch (...) {
        EditorLock(false);
        UpdateEditor();
        UpdatePlayer();
        throw;
    }
    UpdateEditor();
    UpdatePlayer();
    UpdateFont();
    ShowModified(false);
    EditorLock(false);
    EditorFocus();
}

bool TFrmView::HasUnsavedChanges() const {
    return editor_->document()->isModified();
}

bool TFrmView::ConfirmDiscard() {
    if (!HasUnsavedChanges()) return true;
    const BoxButton answer = dialogs_.Show(
        this, BoxKind::Question, QStringLiteral("Текст изменен. Сохранить изменения?"),
        {BoxButton::Yes, BoxButton::No, BoxButton::Cancel}, BoxButton::Cancel);
    if (answer == BoxButton::Yes) return FileSaveAs(nullptr);
    return answer == BoxButton::No;
}

void TFrmView::FileNew(QAbstractButton* sender) {
    Release(sender);
    host_.NewClient();
}

void TFrmView::FileOpen(QAbstractButton* sender) {
    Release(sender);
    FileChoice choice;
    choice.Title = QStringLiteral("Укажите файл с текстом");
    choice.Filter = kTextFilter + QStringLiteral(";;") + kBookFilter + QStringLiteral(";;") +
                    kDictionaryFilter + QStringLiteral(";;") + kAnyFilter;
    choice.Folder = folder_;
    choice.DefaultSuffix = QStringLiteral("TXT");
    const QString name = dialogs_.ChooseFile(this, choice);
    if (name.isEmpty()) return;
    folder_ = QFileInfo(name).absolutePath();
    if (LoadText(name.toStdString())) ShowStatus(QStringLiteral("Открыт текст в файле"));
}

void TFrmView::ClipbrdOpen() {
    if (LoadClipboard()) ShowStatus(QStringLiteral("Открыт текст в клипборде"));
}

bool TFrmView::LoadClipboard() {
    const QString text = QApplication::clipboard()->text();
    if (text.isEmpty()) return true;
    if (const QString refusal = PlayerDocument::TooLargeForWindow(static_cast<size_t>(text.size()),
                                                                  text.count(u'\n') + 1);
        !refusal.isEmpty()) {
        ShowAppError(TooLarge(QStringLiteral("Текст в клипборде"), refusal));
        return false;
    }
    if (!ConfirmDiscard()) return false;
    // The clipboard holds Unicode: it goes straight into Windows-1251, with no guessing.
    LoadBytes(PlayerDocument::Encode(text, kCodePageWindows), kCodePageWindows, DocumentForm{});
    SetFileName(std::string());
    return true;
}

void TFrmView::LoadDropped(const QMimeData* data) {
    if (data == nullptr || !data->hasUrls() || data->urls().isEmpty()) return;
    const QString path = data->urls().front().toLocalFile();
    if (!path.isEmpty()) LoadText(path.toStdString());
}

bool TFrmView::FileSaveAs(QAbstractButton* sender) {
    Release(sender);
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
    const bool unifiedBreaks = origin_.Saved(name.toStdString());
    SetFileName(name.toStdString());
    editor_->document()->setModified(false);
    ShowModified(false);
    ShowStatus(unifiedBreaks
                   ? QStringLiteral("Файл сохранен; концы строк записаны в одном виде: ") +
                         LineBreakName(origin_.Form().FileLineBreaks)
                   : QStringLiteral("Файл сохранен"));
    return true;
}

void TFrmView::FilePrint(QAbstractButton* sender) {
    Release(sender);
    QPrinter printer;
    PreparePrinter(printer, QString::fromStdString(docName_));
    if (!dialogs_.ChoosePrinter(this, printer)) return;
    editor_->print(&printer);
    ShowStatus(QStringLiteral("Файл распечатан"));
}

void TFrmView::SetFileName(const std::string& name) {
    docName_ = name;
    const QString path = QString::fromStdString(name);
    setWindowTitle(QStringLiteral("Плеер - ") + path.section(QLatin1Char('/'), -1));
}

// ---- Editing -----------------------------------------------------------------------------

bool TFrmView::EditorWritable() const {
    return !editor_->isReadOnly();
}

bool TFrmView::HasSelection() const {
    return editor_->textCursor().hasSelection();
}

QMimeData* TFrmView::SelectionAsMimeData() const {
    // The selected bytes through the document's code page; display-only breaks hold none.
    const QString text = document_->Show(
        std::string_view(document_->Bytes()).substr(SelectionStart(), SelectionLength()));
    auto* data = new QMimeData;
    data->setText(text);
    return data;
}

void TFrmView::EditUndo(QAbstractButton* sender) {
    Release(sender);
    if (EditorWritable() && editor_->isVisible()) editor_->undo();
}

void TFrmView::EditCopy(QAbstractButton* sender) {
    Release(sender);
    if (HasSelection()) QApplication::clipboard()->setMimeData(SelectionAsMimeData());
}

void TFrmView::EditCut(QAbstractButton* sender) {
    Release(sender);
    if (!HasSelection() || !EditorWritable()) return;
    EditCopy(nullptr);
    editor_->textCursor().removeSelectedText();
}

void TFrmView::EditPaste(QAbstractButton* sender) {
    Release(sender);
    const QString text = QApplication::clipboard()->text();
    if (!EditorWritable() || text.isEmpty()) return;
    // Inserted before the selection, which stays; the editor's change goes through the
    // document's one encoder into its code page.
    QTextCursor cursor = editor_->textCursor();
    cursor.setPosition(cursor.selectionStart());
    UpdateAttributes();
    cursor.insertText(text);
    editor_->setTextCursor(cursor);
}

// ---- Editor buttons, fonts, panels -------------------------------------------------------

void TFrmView::BtnEditor(QAbstractButton* sender) {
    if (sender == btnReadOnly_) {
        if (!btnReadOnly_->isChecked() && document_->Wrapped())
            ShowStatus(QStringLiteral("Строки длиннее %1 знаков показаны с переносами: такой "
                                      "текст не правится")
                           .arg(kDisplayLineChars));
        else
            editor_->setReadOnly(btnReadOnly_->isChecked());
    } else if (sender == btnFind_) {
        if (findDialog_ != nullptr && btnFind_->isChecked()) {
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

void TFrmView::ItemFindClick() {
    btnFind_->setChecked(!btnFind_->isChecked());
    BtnEditor(btnFind_);
}

void TFrmView::BtnFont(QAbstractButton* sender) {
    EditorLock(true);
    try {
        QFont font = editor_->font();
        if (sender == btnFontInc_ || sender == btnFontDec_) {
            const int size = PointSize(font) + (sender == btnFontInc_ ? 1 : -1);
            font.setPointSize(std::max(1, size));
            SetEditorFont(font);
            Release(sender);
        } else if (sender == btnWrap_) {
            editor_->setLineWrapMode(btnWrap_->isChecked() ? QPlainTextEdit::WidgetWidth
                                                           : QPlainTextEdit::NoWrap);
        } else if (sender == btnFontBold_ || sender == btnFontItalic_) {
            font.setBold(btnFontBold_->isChecked());
            font.setItalic(btnFontItalic_->isChecked());
            SetEditorFont(font);
        } else if (sender == btnFontSel_) {
            if (dialogs_.ChooseFont(this, font)) SetEditorFont(font);
            Release(sender);
        } else if (sender == btnBkColor_) {
            QColor colour = editor_->palette().color(QPalette::Base);
            if (dialogs_.ChooseColor(this, colour)) {
                for (QPlainTextEdit* edit :
                     {static_cast<QPlainTextEdit*>(editor_), editorBackground_}) {
                    QPalette palette = edit->palette();
                    palette.setColor(QPalette::Base, colour);
                    edit->setPalette(palette);
                }
            }
            Release(sender);
        }
    } catch (...) {
        EditorLock(false);
        throw;
    }
    EditorLock(false);
    UpdateFont();
}

QFont TFrmView::CodePageFont(int32_t codePage) const {
    return codePage == kCodePageEnglish || codePage == kCodePageDos ? styleDos_ : styleWin_;
}

void TFrmView::SetEditorFont(const QFont& font) {
    // The text colour is the editor palette's and stays as it is.
    editor_->setFont(font);
}

void TFrmView::UpdateAttributes() {
    editor_->setCurrentCharFormat(QTextCharFormat());
}

void TFrmView::UpdateFont() {
    const QFont font = editor_->font();
    lblFontSize_->setText(QString::number(PointSize(font)).left(2));
    SetCheckedQuietly(btnFontBold_, font.bold());
    SetCheckedQuietly(btnFontItalic_, font.italic());
    SetCheckedQuietly(btnWrap_, editor_->lineWrapMode() != QPlainTextEdit::NoWrap);
}

void TFrmView::UpdateEditor() {
    UpdateSelection();
    UpdateChange();
    UpdatePaste();
    SetCheckedQuietly(btnReadOnly_, editor_->isReadOnly());
    SetCheckedQuietly(btnFind_, findDialog_ != nullptr && findDialog_->isVisible());
    SetCheckedQuietly(findItem_, btnFind_->isChecked());
}

void TFrmView::UpdateChange() {
    ShowModified(editor_->document()->isModified());
    undoButton_->setEnabled(editor_->document()->isUndoAvailable() && EditorWritable());
    editUndoItem_->setEnabled(undoButton_->isEnabled());
}

void TFrmView::UpdatePaste() {
    const QMimeData* data = QApplication::clipboard()->mimeData();
    const bool can = data != nullptr && data->hasText();
    pasteButton_->setEnabled(can && EditorWritable());
    editPasteItem_->setEnabled(can);
    clipbrdOpenItem_->setEnabled(can);
    playClipBrdItem_->setEnabled(can);
}

void TFrmView::UpdateSelection() {
    const QTextCursor cursor = editor_->textCursor();
    panelCaret_->setText(QString::asprintf("Строка: %3d  Колонка: %3d", cursor.blockNumber() + 1,
                                           cursor.positionInBlock() + 1));
    const bool selected = cursor.hasSelection();
    copyButton_->setEnabled(selected);
    editCopyItem_->setEnabled(selected);
    cutButton_->setEnabled(selected && EditorWritable());
    editCutItem_->setEnabled(cutButton_->isEnabled());
}

void TFrmView::SetPanelsClick(QAction*) {
    pnlEditor_->setVisible(setEditorItem_->isChecked());
    pnlPlayer_->setVisible(setPlayerItem_->isChecked());
    pnlFont_->setVisible(setFontItem_->isChecked());
    toolBar_->setVisible(setEditorItem_->isChecked() || setPlayerItem_->isChecked() ||
                         setFontItem_->isChecked());
    // Left to right with 2 pixels between; a panel that does not fit starts a new row.
    const int clientWidth = width();
    const int rowHeight = pnlEditor_->sizeHint().height();
    int x = 0;
    int y = 0;
    for (QWidget* panel : {pnlEditor_, pnlPlayer_, pnlFont_}) {
        if (panel->isHidden()) continue;
        const int panelWidth = panel->sizeHint().width();
        if (panel != pnlEditor_ && clientWidth < x + panelWidth + 2) {
            y += rowHeight + 2;
            x = 0;
        }
        panel->setGeometry(x, y, panelWidth, rowHeight);
        x += panelWidth + 2;
    }
    toolBar_->setFixedHeight(y + rowHeight);
}

// ---- Status bar and help -----------------------------------------------------------------

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

void TFrmView::HelpMessage(const QString& text) {
    dialogs_.Show(this, BoxKind::Information, text, {BoxButton::Ok}, BoxButton::Ok);
}

void TFrmView::HelpAbout() {
    TAboutBox box(this);
    dialogs_.ShowModal(box);
}

}  // namespace tovrin
