#pragma once

#include "dialogs/TalkFind.h"
#include "engine/EngineState.h"
#include "engine/SpeechHolder.h"
#include "player/PlayerHost.h"
#include "text/DictionaryLines.h"
#include "text/DocumentFile.h"
#include "text/PlayerOptions.h"

#include <QMainWindow>

#include <cstdint>
#include <exception>
#include <functional>
#include <memory>
#include <optional>
#include <string>

class QAbstractButton;
class QAction;
class QLabel;
class QMenu;
class QMimeData;
class QPlainTextEdit;
class QToolButton;
class QWidget;

namespace tovrin {

// The kinds of document a player window holds: a text, or a dictionary read line by line.
inline constexpr char kDocKindText[] = "TXT";
inline constexpr char kDocKindDictionary[] = "DIC";

class MessageBoxes;
class PlayerDocument;
class PlayerEditor;
class PlayerSetupDialog;
class TFrmFind;

// A player window: an editor holding one document, read aloud portion by portion through the
// main window. The main window's timer calls PlayerPoll while this window holds the engine.
class TFrmView : public QMainWindow, public SpeechHolder, private FindTarget {
    Q_OBJECT

  public:
    // Writes a document to a file; throws DocumentError. Tests put a failing one in.
    using DocumentWriter =
        std::function<void(const std::string& path, std::string_view text, const DocumentForm&)>;

    // Without `dialogs` the window shows Qt's own boxes and dialogs.
    explicit TFrmView(PlayerHost& host, QWidget* parent = nullptr, MessageBoxes* dialogs = nullptr);
    // Releases the engine first when this window holds it.
    ~TFrmView() override;

    // Loads a file; false when it was not loaded (the document then stays as it was).
    bool LoadText(const std::string& fileName);
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
    const std::string& DocKind() const { return docKind_; }
    const DocumentForm& Form() const { return origin_.Form(); }
    int32_t BlockStart() const { return blockStart_; }
    int32_t BlockEnd() const { return blockEnd_; }
    int32_t TalkPos() const { return talkPos_; }
    TFrmFind* FindDialog() const { return findDialog_; }
    // The caret as a byte offset into the document, and setting it with an empty selection.
    int32_t Caret() const;
    void SetCaret(int32_t offset);
    // The offset the speech has reached, from the engine's progress bar.
    int32_t EstimatePosition();
    // The start of the line that holds the estimate.
    int32_t SpokenLineStart();
    // Scrolls the editor so that the caret's line is the third visible line.
    void ScrollToCaret() override;
    // Shuffles the lines of a dictionary.
    void EditorRandom();

    // Asks whether unsaved changes are to be saved first; false when the user cancels.
    bool ConfirmDiscard();
    bool HasUnsavedChanges() const;

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
    void CreatePanels();
    void CreateEditorPanel();
    void CreatePlayerPanel();
    void CreateFontPanel();
    void CreateMenus();
    void CreateStatusBar();
    void CreateFindDialog();
    void ApplyAppearance(const PlayerAppearance& look);
    QToolButton* AddButton(QWidget* panel, const char* name, const QString& hint,
                           void (TFrmView::*handler)(QAbstractButton*));
    QAction* AddItem(QMenu* menu, const char* name, const QString& caption,
                     const QKeySequence& shortcut, bool checkable = false);
    template <typename Handler>
    QAction* AddItem(QMenu* menu, const char* name, const QString& caption,
                     const QKeySequence& shortcut, Handler handler);

    // Reading.
    void BtnPlayerClick(QAbstractButton* sender);
    void ItemPlayerClick(QAction* sender);
    void StartReading();
    void CutPortion(int32_t position);
    void SendBlock();
    void PlayerFinish();
    void ResetPlayer();
    void ReleaseReadingButtons();
    void UpdatePlayer();
    void SetRange(int64_t a, int64_t b);
    void SetBusy(bool on);
    bool IsHolder();
    bool CaretBelongsToSpeech() const;
    void PlayClipBrdClick();

    // Navigation and modes.
    void BtnMoveClick(QAbstractButton* sender);
    void ItemMoveClick(QAction* sender);
    void ViewTalkClick();
    void GotoTalkClick();
    void BtnSetupClick(QAbstractButton* sender);
    void ItemSetupClick(QAction* sender);
    void ShortTalkClick();
    void ShowSetupDialog(bool shown);
    void EditorLock(bool on);

    // Files and clipboard.
    // Replaces the document (stopping a reading first) and rebuilds the options for it;
    // `fileName` is empty for the clipboard.
    void LoadBytes(std::string bytes, int32_t loadedCodePage, const DocumentForm& form,
                   const std::string& fileName = {});
    void FileNew(QAbstractButton* sender);
    void FileOpen(QAbstractButton* sender);
    void ClipbrdOpen();
    bool LoadClipboard();
    bool FileSaveAs(QAbstractButton* sender);
    void SaveButtonClick(QAbstractButton* sender) { FileSaveAs(sender); }
    void FilePrint(QAbstractButton* sender);
    void LoadDropped(const QMimeData* data);
    void SetFileName(const std::string& name);

    // Editing.
    void EditUndo(QAbstractButton* sender);
    void EditCut(QAbstractButton* sender);
    void EditCopy(QAbstractButton* sender);
    void EditPaste(QAbstractButton* sender);
    QMimeData* SelectionAsMimeData() const;
    bool EditorWritable() const;
    bool HasSelection() const;
    bool HandleEditorKey(QKeyEvent* key);

    // Editor buttons, font panel, tool panels, status bar.
    void BtnEditor(QAbstractButton* sender);
    void ItemFindClick();
    void BtnFont(QAbstractButton* sender);
    void SetEditorFont(const QFont& font);
    QFont CodePageFont(int32_t codePage) const;
    void UpdateAttributes();
    void UpdateFont();
    void UpdateEditor();
    void UpdateChange();
    void UpdatePaste();
    void UpdateSelection();
    void SetPanelsClick(QAction* sender);
    void ShowStatus(const QString& text);
    void ShowAppError(const std::string& text);
    void ShowModified(bool modified);
    void HelpMessage(const QString& text);
    void HelpAbout();

    // FindTarget.
    PlayerOptions FindOptions() const override { return options_; }
    const char* TextBegin() const override;
    const char* TextEnd() const override;
    int32_t SelectionStart() const override;
    int32_t SelectionLength() const override;
    void SelectRange(int32_t start, int32_t end) override;
    void FindClosed() override;

    // Dictionaries (TalkViewDictionary.cpp).
    // Sets DocKind and SpeechPath for a loaded file (empty for the clipboard).
    void DetectDictionary(const std::string& fileName);
    // A dictionary's reading type, hint and dialog, after the options were rebuilt.
    void ApplyDictionaryKind();
    // The text that goes to the engine for a portion: a dictionary entry becomes a request.
    std::string SpeakableText(std::string portion) const;
    // At the end of the text: shuffles a dictionary and tells whether to read it again.
    bool RepeatDictionary();

    // Runs a handler so that no exception leaves it: a failure is reported and stops reading.
    template <typename Handler>
    void Guarded(Handler handler);

    PlayerHost& host_;
    std::unique_ptr<MessageBoxes> ownDialogs_;
    MessageBoxes& dialogs_;
    DocumentWriter writer_;
    PlayerOptions options_;
    std::string docKind_ = kDocKindText;
    std::string speechPath_;
    std::string docName_;
    DocumentOrigin origin_;
    std::string bookFile_;  // the book the document was converted from, if any
    std::optional<std::string> preparedText_;
    int32_t blockStart_ = 0;
    int32_t blockEnd_ = 0;
    int32_t talkPos_ = 0;
    int32_t viewPos_ = 0;
    int32_t lockCount_ = 0;
    bool dragText_ = false;
    bool viewTalk_ = false;
    bool shortTalk_ = false;
    bool busy_ = false;
    bool acquiring_ = false;
    bool swallowRelease_ = false;
    QString folder_;
    QFont styleWin_;
    QFont styleDos_;
    ShuffleRandom random_;

    PlayerEditor* editor_ = nullptr;
    QPlainTextEdit* editorBackground_ = nullptr;
    std::unique_ptr<PlayerDocument> document_;
    std::unique_ptr<PlayerSetupDialog> setupDialog_;
    TFrmFind* findDialog_ = nullptr;
    QWidget* toolBar_ = nullptr;
    QWidget* pnlEditor_ = nullptr;
    QWidget* pnlPlayer_ = nullptr;
    QWidget* pnlFont_ = nullptr;

    QToolButton* openButton_ = nullptr;
    QToolButton* saveButton_ = nullptr;
    QToolButton* printButton_ = nullptr;
    QToolButton* undoButton_ = nullptr;
    QToolButton* cutButton_ = nullptr;
    QToolButton* copyButton_ = nullptr;
    QToolButton* pasteButton_ = nullptr;
    QToolButton* btnReadOnly_ = nullptr;
    QToolButton* btnFind_ = nullptr;

    QToolButton* btnPlay_ = nullptr;
    QToolButton* btnPause_ = nullptr;
    QToolButton* btnStop_ = nullptr;
    QToolButton* btnDrag_ = nullptr;
    QToolButton* btnPrev_ = nullptr;
    QToolButton* btnBack_ = nullptr;
    QToolButton* btnStep_ = nullptr;
    QToolButton* btnNext_ = nullptr;
    QToolButton* btnViewTalk_ = nullptr;
    QToolButton* btnShortTalk_ = nullptr;
    QToolButton* btnSetup_ = nullptr;

    QToolButton* btnWrap_ = nullptr;
    QToolButton* btnFontInc_ = nullptr;
    QToolButton* btnFontDec_ = nullptr;
    QToolButton* btnFontBold_ = nullptr;
    QToolButton* btnFontItalic_ = nullptr;
    QToolButton* btnFontSel_ = nullptr;
    QToolButton* btnBkColor_ = nullptr;
    QLabel* lblFontSize_ = nullptr;

    QAction* playItem_ = nullptr;
    QAction* pauseItem_ = nullptr;
    QAction* stopItem_ = nullptr;
    QAction* dragItem_ = nullptr;
    QAction* playClipBrdItem_ = nullptr;
    QAction* prevItem_ = nullptr;
    QAction* backItem_ = nullptr;
    QAction* stepItem_ = nullptr;
    QAction* nextItem_ = nullptr;
    QAction* shortTalkItem_ = nullptr;
    QAction* setupItem_ = nullptr;
    QAction* fontSelItem_ = nullptr;
    QAction* bkColorItem_ = nullptr;
    QAction* setEditorItem_ = nullptr;
    QAction* setPlayerItem_ = nullptr;
    QAction* setFontItem_ = nullptr;
    QAction* clipbrdOpenItem_ = nullptr;
    QAction* editUndoItem_ = nullptr;
    QAction* editCutItem_ = nullptr;
    QAction* editCopyItem_ = nullptr;
    QAction* editPasteItem_ = nullptr;
    QAction* findItem_ = nullptr;

    QLabel* panelCaret_ = nullptr;
    QLabel* panelModified_ = nullptr;
    QLabel* panelMessage_ = nullptr;
};

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

}  // namespace tovrin
