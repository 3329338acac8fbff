#pragma once

#include "engine/EngineState.h"
#include "engine/SpeechHolder.h"
#include "player/PlayerHost.h"
#include "text/PlayerOptions.h"

#include <QMainWindow>

#include <cstdint>
#include <memory>
#include <optional>
#include <string>

class QAbstractButton;
class QAction;
class QLabel;
class QMenu;
class QPlainTextEdit;
class QToolButton;
class QWidget;

namespace tovrin {

class PlayerDocument;

// A player window: an editor holding one document, read aloud portion by portion through the
// main window. The main window's timer calls PlayerPoll while this window holds the engine.
class TFrmView : public QMainWindow, public SpeechHolder {
    Q_OBJECT

  public:
    explicit TFrmView(PlayerHost& host, QWidget* parent = nullptr);
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

    // What the window holds, for those who look from outside (tests, the main window).
    const PlayerDocument& Document() const { return *document_; }
    const PlayerOptions& Options() const { return options_; }
    const std::string& DocName() const { return docName_; }
    int32_t BlockStart() const { return blockStart_; }
    int32_t BlockEnd() const { return blockEnd_; }
    int32_t TalkPos() const { return talkPos_; }
    // The caret as a byte offset into the document, and setting it with an empty selection.
    int32_t Caret() const;
    void SetCaret(int32_t offset);
    // The offset the speech has reached, from the engine's progress bar.
    int32_t EstimatePosition();
    // The start of the line that holds the estimate.
    int32_t SpokenLineStart();

  protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

  private:
    void CreateEditor();
    void CreatePlayerPanel();
    void CreateMenus();
    void CreateStatusBar();
    QToolButton* AddToggleButton(QWidget* panel, const char* name, const QString& hint);
    QAction* AddItem(QMenu* menu, const char* name, const QString& caption,
                     const QKeySequence& shortcut, bool checkable);

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
    void ScrollToCaret();
    void PlayClipBrdClick();

    // Window.
    // Replaces the document (stopping a reading first) and rebuilds the options for it.
    void LoadBytes(std::string bytes, int32_t loadedCodePage);
    void SetFileName(const std::string& name);
    void ShowStatus(const QString& text);
    void ShowAppError(const std::string& text);
    void ShowModified(bool modified);
    void UpdateSelection();
    // Runs a handler so that no exception leaves it: a failure is reported and stops reading.
    template <typename Handler>
    void Guarded(Handler handler);

    PlayerHost& host_;
    PlayerOptions options_;
    std::string docKind_ = "TXT";
    std::string docName_;
    std::optional<std::string> preparedText_;
    int32_t blockStart_ = 0;
    int32_t blockEnd_ = 0;
    int32_t talkPos_ = 0;
    bool dragText_ = false;
    bool busy_ = false;
    bool acquiring_ = false;

    QPlainTextEdit* editor_ = nullptr;
    std::unique_ptr<PlayerDocument> document_;
    QToolButton* btnPlay_ = nullptr;
    QToolButton* btnPause_ = nullptr;
    QToolButton* btnStop_ = nullptr;
    QToolButton* btnDrag_ = nullptr;
    QAction* playItem_ = nullptr;
    QAction* pauseItem_ = nullptr;
    QAction* stopItem_ = nullptr;
    QAction* dragItem_ = nullptr;
    QAction* playClipBrdItem_ = nullptr;
    QLabel* panelCaret_ = nullptr;
    QLabel* panelModified_ = nullptr;
    QLabel* panelMessage_ = nullptr;
};

}  // namespace tovrin
