#pragma once

#include "engine/EngineState.h"
#include "engine/SpeechHolder.h"
#include "player/EditorPane.h"
#include "player/PlayerControls.h"
#include "player/PlayerHost.h"
#include "player/ReadingPlaces.h"
#include "player/ReadingSession.h"
#include "text/DictionaryLines.h"
#include "text/DocumentFile.h"
#include "text/PlayerOptions.h"

#include <QMainWindow>
#include <QPointer>

#include <cstdint>
#include <exception>
#include <functional>
#include <memory>
#include <optional>
#include <string>

class QAction;
class QMimeData;
class QPlainTextEdit;
class QTimer;
class QWidget;

namespace tovrin {

class DocumentLoad;
class MessageBoxes;
class PlayerDocument;
class PlayerEditor;
class PlayerSetupDialog;
class SpeechHighlight;
class TFrmFind;
struct PreparedDocument;

// A player window: an editor holding one document, read aloud by its reading session through
// the main window. The main window's timer calls PlayerPoll while this window holds the engine;
// the window forwards it, and the reading buttons, to the session and shows what it says.
class TFrmView : public QMainWindow, public SpeechHolder, private ReadingView {
    Q_OBJECT

  public:
    // Writes a document to a file; throws DocumentError. Tests put a failing one in.
    using DocumentWriter =
        std::function<void(const std::string& path, std::string_view text, const DocumentForm&)>;

    // Without `dialogs` the window shows Qt's own boxes and dialogs.
    explicit TFrmView(PlayerHost& host, QWidget* parent = nullptr, MessageBoxes* dialogs = nullptr);
    // Releases the engine first when this window holds it.
    ~TFrmView() override;

    // Loads a file; false when it was not loaded (the document then stays as it was), and
    // `doneStatus` goes to the status bar once it is shown. A large file is read on a worker
    // thread and shown piece by piece while the window goes on answering: true then says that
    // the load has begun, and a failure is reported when it is found.
    bool LoadText(const std::string& fileName, const QString& doneStatus = {});
    // A load begun and not yet shown whole. Reading asked for meanwhile waits for its end.
    bool Loading() const;
    // Puts BtnPlay down and runs its handler: reading starts at the caret.
    void ClickPlay();
    // Gives the editor the focus when the window is visible.
    void EditorFocus();

    bool IsPlayerWindow() const override { return true; }
    void PlayerPoll(const EngineState& state) override;

    // The window's own options dialog; the window owns it from now on. Its OK button calls
    // SetupConfirmed.
    void AttachSetupDialog(std::unique_ptr<PlayerSetupDialog> dialog);
    void SetupConfirmed();
    // Gives the window its own options dialog (PlayerSetup); without one, or when its creation
    // fails, the setup button stays up.
    void CreateSetupDialog();
    // The options dialog was closed, or one of its handlers failed.
    void SetupClosed();
    void SetupError(const std::string& text);
    void SetDocumentWriter(DocumentWriter writer) { writer_ = std::move(writer); }

    // What the window holds, for those who look from outside (tests, the main window).
    const PlayerDocument& Document() const { return *document_; }
    const PlayerOptions& Options() const { return options_; }
    const std::string& DocName() const { return docName_; }
    const std::string& DocKind() const { return session_->DocKind(); }
    const DocumentForm& Form() const { return origin_.Form(); }
    ReadingSession& Session() { return *session_; }
    int32_t BlockStart() const { return session_->BlockStart(); }
    int32_t BlockEnd() const { return session_->BlockEnd(); }
    int32_t TalkPos() const { return session_->TalkPos(); }
    TFrmFind* FindDialog() const { return findDialog_; }
    // The caret as a byte offset into the document, and setting it with an empty selection.
    int32_t Caret() const override { return pane_->Caret(); }
    void SetCaret(int32_t offset) override { pane_->SetCaret(offset); }
    // The offset the speech has reached, from the engine's progress bar.
    int32_t EstimatePosition() { return session_->EstimatePosition(); }
    // The start of the line that holds the estimate.
    int32_t SpokenLineStart() { return session_->SpokenLineStart(); }
    // Scrolls the editor so that the caret's line is the third visible line.
    void ScrollToCaret() override { pane_->ScrollToCaret(); }
    // Shuffles the lines of a dictionary.
    void EditorRandom() override;

    // Asks whether unsaved changes are to be saved first; false when the user cancels.
    bool ConfirmDiscard();
    bool HasUnsavedChanges() const;

    // For the desktop's media controls (TalkViewMedia.cpp): the pause button put down or up
    // and the stop button clicked, as by the user; one paragraph on or back from the place
    // being read (else from the caret) and reading on from there; the book's title and author
    // while the window shows the book they came with (else empty).
    void PauseReading(bool down);
    void StopReading();
    void ReadNextParagraph(bool forward);
    std::string BookTitle() const;
    std::string BookAuthor() const;

    // Keeps the reading places of the documents this window loads, and its own state, in
    // `places` (nullptr: nothing is kept); the window takes the kept state at once.
    void KeepPlacesIn(ReadingPlaces* places);
    // What the window would keep for its document now (where the reading stopped, and the
    // first offset in view), and the window state it would keep.
    ReadingPlace CurrentPlace() const;
    PlayerWindowState CurrentWindowState() const;
    const SpeechHighlight& Highlight() const { return *highlight_; }

  protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void showEvent(QShowEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void changeEvent(QEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dropEvent(QDropEvent* event) override;

  private:
    // Building the window.
    void CreateEditor();
    void ConnectCommands();
    void ConnectReadingCommands();
    void CreateFindDialog();
    // Runs `handler` with the action whenever the user triggers it (button, menu or key).
    void OnTriggered(QAction* action, void (TFrmView::*handler)(QAction*));
    template <typename Handler>
    void OnTriggered(QAction* action, Handler handler);

    // Reading: the session's commands, and what it shows (ReadingView).
    void BtnPlayerClick(QAction* sender);
    void UpdatePlayer();
    void PlayClipBrdClick();
    std::string_view Text() const override;
    void ShowStatus(const std::string& text) override;
    void ShowBusy(bool on) override { pane_->ShowBusy(on); }
    void ShowButtons(const ReadingButtons& buttons) override;
    void ShowError(const std::string& text) override { ShowAppError(text); }

    // Navigation and modes.
    void BtnMoveClick(QAction* sender);
    void ViewTalkClick();
    void GotoTalkClick();
    // After a move: the buttons, the focus, and the caret's line in view when it moved.
    void ShowMove(bool moved);
    void BtnSetupClick(QAction* sender);
    void ShortTalkClick();
    void ShowSetupDialog(bool shown);
    void PlaceSetupDialog();
    // Loads the options into the options dialog, which must exist.
    void WriteSetup();
    void EditorLock(bool on);

    // Loading (TalkViewLoading.cpp). The defaults with the main window's text options.
    PlayerOptions BaseOptions();
    void StartBackgroundLoad(const std::string& fileName, const QString& doneStatus);
    // Shows a prepared document after the unsaved-changes question; false when it has none
    // to show or the user kept the old one.
    bool ShowPrepared(PreparedDocument& prepared, const std::string& fileName,
                      const QString& doneStatus, bool inPieces);
    // Replaces the document (stopping a reading first) with a prepared one; `fileName` is
    // empty for the clipboard. The view is filled at once, or `inPieces` by the fill timer.
    void ShowDocument(PreparedDocument& prepared, const std::string& fileName,
                      const QString& doneStatus, bool inPieces);
    void BeginDocument(PreparedDocument& prepared, const std::string& fileName);
    void ShowMoreOfDocument();
    void ShowLoadProgress(int percent);
    void FinishLoad();
    // Drops a load under way: its worker's result, or the rest of its view.
    void CancelLoad();
    // Files and clipboard.
    void FileNew(QAction* sender);
    void FileOpen(QAction* sender);
    void ClipbrdOpen();
    bool LoadClipboard();
    // Text pasted or dropped into the editor would take the document over the window's limits.
    void PasteRefused(const QString& reason);
    bool FileSaveAs(QAction* sender);
    void SaveButtonClick(QAction* sender) { FileSaveAs(sender); }
    void FilePrint(QAction* sender);
    void ExportSound();
    void LoadDropped(const QMimeData* data);
    void SetFileName(const std::string& name);

    // Editor buttons, font panel, tool panels, status bar.
    void BtnEditor(QAction* sender);
    void BtnFont(QAction* sender);
    void UpdateEditor();
    void SetPanelsClick(QAction* sender);
    void ShowStatus(const QString& text);
    void ShowAppError(const std::string& text);
    void HelpMessage(const QString& text);
    void HelpAbout();

    // Dictionaries (TalkViewDictionary.cpp).
    // Tells the session the kind of a loaded file (empty for the clipboard): a dictionary when
    // its sound folder is found.
    void DetectDictionary(const std::string& fileName);
    // A dictionary's reading type, hint and dialog, after the options were rebuilt.
    void ApplyDictionaryKind();

    // Reading places and the window state (TalkViewPlaces.cpp).
    // After a reading command or a poll: the highlight, and the place when the reading stopped
    // (`finished`: at the end of the text) or paused.
    void FollowReading(bool wasReading, bool finished = false);
    // The start of the spoken line within the portion being read.
    int32_t SpotOf(int32_t spoken) const;
    void RememberPlace() const;
    // Before another document replaces this one: its place is kept, and the window lets go of
    // its key, its stop and its highlight.
    void LeaveDocument();
    void RestorePlace(const std::string& fileName);
    void RememberOnClose();
    void HighlightClick();
    void ApplyWindowState(const PlayerWindowState& state);
    int32_t TopOffset() const;
    void ScrollToTop(int32_t top);

    // Runs a handler so that no exception leaves it: a failure is reported and stops reading.
    template <typename Handler>
    void Guarded(Handler handler);

    PlayerHost& host_;
    std::unique_ptr<MessageBoxes> ownDialogs_;
    MessageBoxes& dialogs_;
    DocumentWriter writer_;
    std::unique_ptr<ReadingSession> session_;
    // The session's options: the window's copy, rebuilt on every load.
    PlayerOptions& options_;
    std::string docName_;
    DocumentOrigin origin_;
    std::string bookFile_;  // the book the document was converted from, if any
    std::string bookTitle_;
    std::string bookAuthor_;
    int32_t viewPos_ = 0;
    int32_t lockCount_ = 0;
    bool viewTalk_ = false;
    bool shortTalk_ = false;
    bool swallowRelease_ = false;
    QString folder_;
    ShuffleRandom random_;

    PlayerControls controls_;
    PlayerEditor* editor_ = nullptr;
    QPlainTextEdit* editorBackground_ = nullptr;
    std::unique_ptr<PlayerDocument> document_;
    std::unique_ptr<EditorPane> pane_;
    std::unique_ptr<SpeechHighlight> highlight_;

    // Where the reading places go, the loaded file's key, the last spoken offset, where the
    // last reading stopped (kept while the caret stays where it was then), the view's top
    // still to be applied once the window shows, and the drag mode the first reading takes.
    ReadingPlaces* places_ = nullptr;
    std::optional<DocumentKey> placeKey_;
    int32_t spoken_ = 0;
    struct StoppedAt {
        int32_t CaretThen = 0;
        ReadingPlace Place;
    };
    std::optional<StoppedAt> stopped_;
    std::optional<int32_t> pendingTop_;
    bool dragMode_ = false;
    bool dragPending_ = false;
    std::unique_ptr<PlayerSetupDialog> setupDialog_;
    TFrmFind* findDialog_ = nullptr;

    // A load under way: its worker while the file is read, then the fill of the view and
    // what follows its end; whether reading starts then; the last progress step shown.
    QPointer<DocumentLoad> load_;
    QTimer* fillTimer_ = nullptr;
    struct LoadEnd {
        std::string FileName;
        bool IsBook = false;
        std::string Title;
        std::string Author;
        size_t UnmappedCharacters = 0;
        QString DoneStatus;
    };
    std::optional<LoadEnd> loadEnd_;
    bool playWhenLoaded_ = false;
    int shownStep_ = -1;
};

template <typename Handler>
void TFrmView::Guarded(Handler handler) {
    try {
        handler();
    } catch (const std::exception& error) {
        ShowAppError(error.what());
        session_->Reset();
    }
}

}  // namespace tovrin
