#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "platform/DesktopHost.h"
#include "platform/EngineContract.h"
#include "synth/EngineConfig.h"
#include "synth/SpeechPlayer.h"
#include "synth/VoiceSettings.h"

#include <QWidget>

class QPlainTextEdit;
class QProgressBar;
class QPushButton;
class QVBoxLayout;

namespace tovrin {

// The engine's window: an edit box, a progress bar, the talk and pause buttons. The same
// window stands on the desktop, where the controller finds it, sends it texts and commands
// and reads its state back from the button captions and the progress bar; and on screen,
// where a person can use it once it is shown.
class EngineWindow : public QWidget {
    Q_OBJECT
  public:
    // `closeQuits`: closing the window ends the program (when a person started it shown);
    // otherwise closing only hides it, as the controller's own engine must keep running.
    EngineWindow(DesktopHost& host, std::unique_ptr<SpeechSynthesizer> synthesizer,
                 std::string engineFolder, bool closeQuits);
    ~EngineWindow() override;

    // Shows the window, on screen and on the desktop.
    void ShowOnScreen();
    // Stops speaking, leaves the desktop and ends the program, as WM_DESTROY does.
    void Shutdown();

  protected:
    void closeEvent(QCloseEvent* event) override;

  private:
    void BuildWidgets();
    void PutOnDesktop();
    void RemoveFromDesktop();

    int64_t OnMainMessage(uint32_t message, uint64_t wParam);
    int64_t OnEditMessage(uint32_t message, const std::string& text);
    void OnWindowChange(WindowHandle window, WindowChange change);
    void FollowEditParent();

    void RunCommand(uint64_t number);
    void Talk();
    void TogglePause();
    void ToggleSpy();
    void StartSpeaking(const std::string& text);
    void StopSpeaking();
    void OnProgress(uint64_t speech, uint32_t position);
    void OnFinished(uint64_t speech);
    void OnClipboardChanged();
    void OnEditTyped();
    void SetEditText(const std::string& text);
    void ShowState();

    DesktopHost& host_;
    std::string engineFolder_;
    bool closeQuits_;
    DictionaryCache dictionaries_;
    std::unique_ptr<SpeechPlayer> player_;

    QVBoxLayout* layout_ = nullptr;
    QPlainTextEdit* edit_ = nullptr;
    QProgressBar* progress_ = nullptr;
    QPushButton* talkButton_ = nullptr;
    QPushButton* pauseButton_ = nullptr;

    WindowHandle mainWindow_ = kNoWindow;
    WindowHandle pane_ = kNoWindow;
    WindowHandle editWindow_ = kNoWindow;
    WindowHandle progressWindow_ = kNoWindow;
    WindowHandle talkWindow_ = kNoWindow;
    WindowHandle pauseWindow_ = kNoWindow;

    std::string text_;  // the edit box's text, Windows-1251
    SynthVoice params_;
    uint64_t speech_ = 0;
    bool speaking_ = false;
    bool paused_ = false;
    bool spying_ = false;
    bool editDetached_ = false;
    bool failureShown_ = false;  // the wave device's failure is in the main caption
    bool updatingEdit_ = false;
    int32_t progressMax_ = 0;
    int32_t progressPos_ = 0;
};

}  // namespace tovrin
