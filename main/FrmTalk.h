#pragma once

#include "dialogs/MessageBoxes.h"
#include "engine/TalkServ.h"
#include "main/DailyEvent.h"
#include "main/PlayerFactory.h"
#include "main/SettingsFile.h"
#include "platform/Dde.h"
#include "player/PlayerHost.h"

#include <QMainWindow>

#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

class QAction;
class QButtonGroup;
class QCheckBox;
class QComboBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QListWidget;
class QSlider;
class QTextEdit;
class QTimeEdit;
class QMenu;
class QPushButton;
class QSystemTrayIcon;
class QTabWidget;
class QTimer;
class QToolButton;

namespace tovrin {

// What the main window is given by the program's entry point (tests give their own).
struct FrmTalkSetup {
    std::string ExecutablePath;
    std::vector<std::string> Arguments;  // the command line after the program's name
    std::optional<std::string> SettingsPath;
    MessageBoxes* Boxes = nullptr;
    // Makes the DDE server for this copy; without it the copy serves no conversations.
    std::function<std::unique_ptr<DdeServer>(const std::string& service, const std::string& topic,
                                             DdeServer::ExecuteHandler handler)>
        MakeDdeServer;
    // The pause before the deferred start-up runs when no activation event arrives.
    int ActivationFallbackMs = 300;
    // The clock the daily events are due by (the system's when none).
    const WallClock* Clock = nullptr;
    // Asks the desktop to open a program or file; the system's way when none.
    std::function<bool(const QString& file)> OpenProgram;
    // Writes the settings file (one atomic replacement when none).
    SettingsWriter WriteSettings;
    // Whether nobody would hear the speech (no sound server, no device chosen); the wave
    // device's own answer when none.
    std::function<bool()> SoundIsSilent;
};

// A phrase field of the main window as the engine's holder.
class PhraseHolder final : public SpeechHolder {
  public:
    bool IsPlayerWindow() const override { return false; }
    void PlayerPoll(const EngineState&) override {}
};

class PauseEdit;

// Who changed the voice controls: a preset chosen, a voice or bar moved, or the program.
enum class VoiceSender { TestStyle, Control, None };
// Who asked for a phrase: its button, or the timer repeating the current one.
enum class PhraseSender { TestBtn, StartUpBtn, None };
// The buttons of the appearance panel.
enum class ViewButton { WinBkCol, WinBkFont, EditBkCol, EditCol, Win1251, DosAlt };

// Who pressed a switch: its own button, the menu item that mirrors it, or the program.
enum class Sender { Button, MenuItem, Program };

// The main control window: the engine switches, the tray icon and its menu, the 100 ms poll
// of the engine, the DDE server of this copy and everything player windows ask of the
// program. It owns the engine controller and frees it last.
class TFrmTalk : public QMainWindow, public PlayerHost {
    Q_OBJECT
  public:
    TFrmTalk(std::unique_ptr<TTalkServ> controller, FrmTalkSetup setup, QWidget* parent = nullptr);
    ~TFrmTalk() override;

    void SetPlayerFactory(PlayerFactory* factory);

    // The construction half of start-up. False when a running copy took the request over and
    // this copy is to end.
    bool FormCreate();
    // The application became active: the deferred start-up the first time, later a hidden
    // main window comes back.
    void ShowMainClick();
    bool FirstActivationPending() const { return firstActivation_; }
    bool SecondCopy() const { return secondCopy_; }

    // Switches and menu.
    void RunClick(Sender sender);
    void PauseClick(Sender sender);
    void BtnSpyClick(Sender sender);
    void BtnPlayerClick(Sender sender);
    void BtnVisibleClick();
    void ShowClick();
    void HideClick();
    bool MainWindowShown() const { return shown_; }

    // One step of the 100 ms poll.
    void TimerUpdateEvent();
    // Handler of an executed DDE macro; its work runs from the event loop.
    bool DdeExec(const std::string& macro);
    PlayerWindow* OpenPlayer(const std::string& fileName);
    // Shutdown: settings saved, player windows closed, the engine switched off.
    void FormDestroy();
    // Closes the program without asking anything, as a termination signal asks.
    void CloseWithoutQuestions();
    // Closes the program, asking about unsaved documents when `ask`. Every open box and
    // dialog is ended first, as if cancelled, and the close waits until their event loops
    // have returned: no window may go while one of its own handlers still runs.
    void RequestClose(bool ask);

    // PlayerHost.
    void AcquireEngine(SpeechHolder* window) override;
    void ReleaseEngine() override;
    bool StopSpeech() override;
    bool IsPaused() override;
    void SetPaused(bool on) override;
    SpeechHolder* GetHolder() override;
    ProgressInfo GetProgress() override;
    SpeakResult SpeakRequest(const std::string& text, SpeechHolder* window) override;
    void GetTextOptions(PlayerOptions& options) override;
    bool AutoCalc() override;
    PlayerAppearance GetAppearance() override { return appearance_; }
    VoiceParams CurrentVoice() override { return controller_->GetVoiceParams(); }
    void NewClient() override;
    void ReportError(const std::string& text) override;

    // Voice tab.
    void SetTestValues(VoiceSender sender);
    void SpeakStartUp(PhraseSender sender);
    // Player panel.
    void BtnViewSetup(ViewButton button);
    void TextChange();
    // Timed events: re-arms both events; runs each due action.
    void EventChangeDate();
    void CheckEvents();
    void ShutDown();
    void StartUp();
    void StartUpProcBtnClick();
    std::optional<QDateTime> LogOffDue() const { return logOff_.Due(); }
    std::optional<QDateTime> LogOnDue() const { return logOn_.Due(); }
    SpeechHolder* TestHolder() { return &testHolder_; }
    SpeechHolder* StartUpHolder() { return &startUpHolder_; }

    TTalkServ& Controller() { return *controller_; }
    QMenu* PopupMenu() const { return menu_; }
    QSystemTrayIcon* TrayIcon() const { return tray_; }

  protected:
    void closeEvent(QCloseEvent* event) override;
    bool PlayersAgreeToClose();
    void showEvent(QShowEvent* event) override;

  private:
    void BuildSwitches();
    void BuildPages();
    void BuildMenu();
    void BuildVoicePage(QWidget* page);
    void BuildImagePage(QWidget* page);
    void BuildTextPage(QWidget* page);
    void BuildEventPage(QWidget* page);
    void ShowAppearance();
    void ShowTestRes();
    QDateTime Now() const;
    void ReArm(DailyEvent& event, const QTimeEdit* picker);
    bool ConnectVoiceHandlers(bool on);
    void StoreControls(StoredControls& controls) const;
    void RestoreControls(const StoredControls& controls);
    void CreateTrayIcon();
    void LoadSettings();
    void SaveSettings();
    void SelectBlockItem();
    void RunFirstActivation();
    void StartWithFile(const std::string& fileName);
    void RestoreMainWindow();
    void PlayerClosing(PlayerWindow& window);
    void ReportTimerError(const std::string& text);
    bool IsOpenPlayer(SpeechHolder* holder) const;
    // The open player window with this id; none once it has closed.
    PlayerWindow* FindPlayer(uint64_t id) const;
    void SetDown(QToolButton* button, bool down);
    void TellWhenSilent();
    // Runs a handler; an error it raises goes to the error box.
    void Guarded(const std::function<void()>& handler);

    std::unique_ptr<TTalkServ> controller_;  // created first, freed last
    FrmTalkSetup setup_;
    PlayerFactory* players_ = nullptr;
    std::unique_ptr<DdeServer> ddeServer_;
    bool firstActivation_ = false;
    bool secondCopy_ = false;
    bool normalStart_ = false;
    bool destroyed_ = false;
    bool silenceTold_ = false;
    bool askBeforeClosing_ = true;
    bool closePending_ = false;
    bool shown_ = false;
    bool everShown_ = false;
    bool inTimer_ = false;
    std::string lastTimerError_;
    std::vector<std::string> testRes_;
    PhraseHolder testHolder_;
    PhraseHolder startUpHolder_;
    PlayerAppearance appearance_;
    DailyEvent logOff_;
    DailyEvent logOn_;
    SystemWallClock systemClock_;
    bool voiceHandlersOn_ = true;

    QWidget* client_ = nullptr;
    QToolButton* btnRun_ = nullptr;
    QPushButton* btnNewClient_ = nullptr;
    QToolButton* btnVisible_ = nullptr;
    QToolButton* btnPlayer_ = nullptr;
    QToolButton* btnSpy_ = nullptr;
    QToolButton* btnPause_ = nullptr;
    QTabWidget* pageControl_ = nullptr;
    QCheckBox* formVisible_ = nullptr;
    QLineEdit* blockItem_ = nullptr;
    QMenu* menu_ = nullptr;
    QAction* itemShow_ = nullptr;
    QAction* itemHide_ = nullptr;
    QAction* itemPlayer_ = nullptr;
    QAction* itemSpy_ = nullptr;
    QAction* itemPause_ = nullptr;
    QAction* itemRun_ = nullptr;
    QAction* itemExit_ = nullptr;
    QSystemTrayIcon* tray_ = nullptr;
    QTimer* frmTimer_ = nullptr;

    QListWidget* testStyle_ = nullptr;
    QListWidget* testVoice_ = nullptr;
    QSlider* trBarTempo_ = nullptr;
    QSlider* trBarTimbre_ = nullptr;
    QSlider* trBarMelody_ = nullptr;
    QSlider* trBarVolume_ = nullptr;
    QLineEdit* testEdit_ = nullptr;
    QToolButton* testBtn_ = nullptr;
    QListWidget* testResList_ = nullptr;

    QWidget* pnlPlayerSetup_ = nullptr;
    QTextEdit* editorSetup_ = nullptr;
    QLineEdit* styleWin_ = nullptr;
    QLineEdit* styleDos_ = nullptr;

    QButtonGroup* readingType_ = nullptr;
    QCheckBox* autoCalc_ = nullptr;
    QLineEdit* abzBeg_ = nullptr;
    QCheckBox* abzBegP_ = nullptr;
    PauseEdit* abzBegPause_ = nullptr;
    QLineEdit* abzEnd_ = nullptr;
    QCheckBox* abzEndP_ = nullptr;
    PauseEdit* abzEndPause_ = nullptr;
    QLineEdit* blockMsg_ = nullptr;
    QComboBox* blockSize_ = nullptr;
    QLineEdit* dictScript_ = nullptr;
    QCheckBox* dictOver_ = nullptr;
    QCheckBox* dictRep_ = nullptr;

    QTimeEdit* logOffTime_ = nullptr;
    QCheckBox* logOffCheck_ = nullptr;
    QButtonGroup* rgLogOff_ = nullptr;
    QTimeEdit* logOnTime_ = nullptr;
    QCheckBox* logOnCheck_ = nullptr;
    QButtonGroup* rgLogOn_ = nullptr;
    QLineEdit* startUpProcess_ = nullptr;
    QToolButton* startUpProcBtn_ = nullptr;
    QToolButton* startUpBtn_ = nullptr;
    QLineEdit* startUpEdit_ = nullptr;
    QString openDialogFolder_;
    QTimer* logOffTimer_ = nullptr;
    QTimer* logOnTimer_ = nullptr;
};

}  // namespace tovrin
