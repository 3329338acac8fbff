// The player window's loading of documents. A small file is read and shown at once; a large
// one is read, converted and analysed on a worker thread, then shown in the editor piece by
// piece, each piece a few tens of milliseconds of the window's thread, with the progress in
// the status bar, so that the window goes on answering.

#include "player/TalkView.h"

#include "player/Appearance.h"
#include "player/DocumentLoading.h"
#include "player/PlayerDocument.h"
#include "player/PlayerEditor.h"
#include "player/PlayerSetupDialog.h"
#include "text/CodePages.h"

#include <QApplication>
#include <QClipboard>
#include <QTimer>

#include <sys/stat.h>

#include <exception>
#include <limits>
#include <utility>

namespace tovrin {
namespace {

// One piece of the view shown at a time: each line costs the editor a block of its own.
constexpr qsizetype kShowPieceChars = 256 * 1024;
constexpr int kShowPieceLines = 8000;

const QString kLoadingStatus = QStringLiteral("Загрузка текста");

// The size of a regular file; 0 for anything else, which the loader then refuses.
int64_t RegularFileSize(const std::string& fileName) {
    struct stat info {};
    if (::stat(fileName.c_str(), &info) != 0 || !S_ISREG(info.st_mode)) return 0;
    return info.st_size;
}

// Whether a file is read off the window's thread: a large one is, unless it is a plain text
// over the window's limit, which its size and first bytes refuse at once, unread.
bool ReadAside(const std::string& fileName) {
    const int64_t size = RegularFileSize(fileName);
    if (size < kBackgroundLoadBytes) return false;
    if (static_cast<size_t>(size) <= kMaxWindowDocumentBytes) return true;
    try {
        return FileLooksLikeBook(fileName);
    } catch (const std::exception&) {
        return false;  // the window's own reading reports why the file cannot be read
    }
}

}  // namespace

bool TFrmView::Loading() const {
    return load_ != nullptr || loadEnd_.has_value();
}

PlayerOptions TFrmView::BaseOptions() {
    PlayerOptions options;
    DefaultPlayerOptions(options);
    host_.GetTextOptions(options);
    return options;
}

bool TFrmView::LoadText(const std::string& fileName, const QString& doneStatus) {
    if (ReadAside(fileName)) {
        StartBackgroundLoad(fileName, doneStatus);
        return true;
    }
    bool loaded = false;
    Guarded([&] {
        PreparedDocument prepared = PrepareDocument(fileName, BaseOptions(), host_.AutoCalc());
        loaded = ShowPrepared(prepared, fileName, doneStatus, false);
    });
    EditorFocus();
    return loaded;
}

void TFrmView::StartBackgroundLoad(const std::string& fileName, const QString& doneStatus) {
    // A newer file replaces one still being read; a view still being filled goes on until
    // the newer file is ready to replace it.
    delete load_;
    shownStep_ = -1;
    ShowStatus(kLoadingStatus + QStringLiteral("…"));
    auto work = [fileName, base = BaseOptions(), autoCalc = host_.AutoCalc()] {
        return PrepareDocument(fileName, base, autoCalc);
    };
    load_ = new DocumentLoad(
        this, std::move(work), [this, fileName, doneStatus](PreparedDocument& prepared) {
            load_ = nullptr;
            bool shown = false;
            Guarded([&] { shown = ShowPrepared(prepared, fileName, doneStatus, true); });
            if (!shown && !Loading()) playWhenLoaded_ = false;
        });
}

bool TFrmView::ShowPrepared(PreparedDocument& prepared, const std::string& fileName,
                            const QString& doneStatus, bool inPieces) {
    if (!prepared.Failure.empty()) {
        ShowAppError(prepared.Failure);
        return false;
    }
    if (!ConfirmDiscard()) return false;
    ShowDocument(prepared, fileName, doneStatus, inPieces);
    return true;
}

void TFrmView::ShowDocument(PreparedDocument& prepared, const std::string& fileName,
                            const QString& doneStatus, bool inPieces) {
    CancelLoad();
    BeginDocument(prepared, fileName);
    // The name goes with the bytes at once: a save can never put this text under the old one.
    SetFileName(fileName);
    const OpenedDocument& opened = prepared.Opened;
    // A converted book is shown by its title and is never written over.
    bookFile_ = opened.IsBook ? fileName : std::string();
    bookTitle_ = opened.IsBook ? opened.Title : std::string();
    bookAuthor_ = opened.IsBook ? opened.Author : std::string();
    if (opened.IsBook && !opened.Title.empty())
        setWindowTitle(QStringLiteral("Плеер - ") + QString::fromStdString(opened.Title));
    loadEnd_ = LoadEnd{fileName, opened.Document.UnmappedCharacters, doneStatus};
    pane_->ShowModified(false);
    if (!inPieces) {
        document_->ShowMore(std::numeric_limits<qsizetype>::max(), std::numeric_limits<int>::max());
        FinishLoad();
        return;
    }
    if (fillTimer_ == nullptr) {
        fillTimer_ = new QTimer(this);
        connect(fillTimer_, &QTimer::timeout, this, &TFrmView::ShowMoreOfDocument);
    }
    fillTimer_->start(0);
}

void TFrmView::BeginDocument(PreparedDocument& prepared, const std::string& fileName) {
    EditorLock(true);
    try {
        if (session_->Reading()) {
            controls_.play->setChecked(false);
            BtnPlayerClick(controls_.play);
        }
        LeaveDocument();
        const LoadedDocument& loaded = prepared.Opened.Document;
        origin_ = fileName.empty() ? DocumentOrigin(loaded.Form) : DocumentOrigin(fileName, loaded);
        document_->BeginShow(std::move(prepared.Shown));
        options_ = std::move(prepared.Options);
        DetectDictionary(fileName);
        viewPos_ = 0;
        viewTalk_ = false;
        shortTalk_ = options_.ReadingType == 1;
        SetHint(controls_.shortTalk, QStringLiteral("По блокам|Чтение по абзацам или по блокам"));
        if (setupDialog_) setupDialog_->EnableReadingType(true);
        if (DocKind() == kDocKindDictionary) ApplyDictionaryKind();
        if (setupDialog_) WriteSetup();
        editor_->setReadOnly(true);
    } catch (...) {
        EditorLock(false);
        UpdateEditor();
        UpdatePlayer();
        throw;
    }
}

void TFrmView::ShowMoreOfDocument() {
    try {
        if (document_->ShowMore(kShowPieceChars, kShowPieceLines))
            FinishLoad();
        else
            ShowLoadProgress(document_->ShownPercent());
    } catch (const std::exception& error) {
        // Out of memory half way: what is shown is not the document.
        CancelLoad();
        Guarded([this] { document_->SetText(std::string(), kCodePageUnknown); });
        ShowAppError(error.what());
    }
}

void TFrmView::ShowLoadProgress(int percent) {
    // In steps of a tenth, so that a screen reader is not flooded.
    const int step = percent / 10;
    if (step == shownStep_) return;
    shownStep_ = step;
    ShowStatus(QStringLiteral("%1: %2 %").arg(kLoadingStatus).arg(step * 10));
}

void TFrmView::FinishLoad() {
    if (fillTimer_ != nullptr) fillTimer_->stop();
    const LoadEnd end = std::move(*loadEnd_);
    loadEnd_.reset();
    try {
        const PlayerAppearance look = host_.GetAppearance();
        pane_->SetStyles(ToQFont(look.StyleWin), ToQFont(look.StyleDos));
        pane_->SetEditorFont(pane_->CodePageFont(options_.CodePage));
        pane_->UpdateAttributes();
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
    pane_->UpdateFont();
    pane_->ShowModified(false);
    EditorLock(false);
    EditorFocus();
    if (!end.FileName.empty()) RestorePlace(end.FileName);
    if (!end.DoneStatus.isEmpty()) ShowStatus(end.DoneStatus);
    if (end.UnmappedCharacters > 0)
        ShowStatus(QStringLiteral("Символов, которых нет в Windows-1251, заменено на \"?\": %1")
                       .arg(end.UnmappedCharacters));
    if (std::exchange(playWhenLoaded_, false)) ClickPlay();
}

bool TFrmView::RefusedWhileFilling() {
    if (!Filling()) return false;
    ShowStatus(QStringLiteral("Текст ещё загружается"));
    return true;
}

void TFrmView::CancelLoad() {
    delete load_;
    if (!loadEnd_) return;
    if (fillTimer_ != nullptr) fillTimer_->stop();
    loadEnd_.reset();
    EditorLock(false);
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
    PreparedDocument prepared;
    PrepareBytes(prepared, PlayerDocument::Encode(text, kCodePageWindows), kCodePageWindows,
                 BaseOptions(), host_.AutoCalc());
    ShowDocument(prepared, std::string(), QString(), false);
    return true;
}

}  // namespace tovrin
