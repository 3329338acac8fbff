#pragma once

#include "dialogs/MessageBoxes.h"
#include "engine/TalkServ.h"
#include "main/DailyEvent.h"
#include "main/ImagePage.h"
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
class QCheckBox;
class QMenu;
class QPushButton;
class QScreen;
class QSystemTrayIcon;
class QTimer;
class QToolButton;

namespace tovrin {

class InstanceLock;
class StatusNotifierHost;
class PageTabs;
class SpeakFileRequests;

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
    // The lock held by the running copy; without it a running copy is known by its DDE server
    // alone.
    std::optional<std::string> CopyLockPath;
    // How long a copy waits for the copy holding the lock to serve before it gives up.
    int HandOverLimitMs = 15'000;
    // The pause before the deferred start-up runs when no activation event arrives.
    int ActivationFallbackMs = 300;
    // How long the desktop's tray watcher may take to answer before the program does without
    // a tray icon.
    int TrayAnswerLimitMs = 25'000;
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

class TEventPage;
class TTextPage;
class TVoicePage;

// Who changed the voice controls: a preset chosen, a voice or bar moved, or the program.
enum class VoiceSender { TestStyle, Control, None };
// Who asked for a phrase: its button, or the timer repeating the current one.
enum class PhraseSender { TestBtn, StartUpBtn, None };

// The main control window: the engine switches, the tray icon and its menu, the 100 ms poll
// of the engine, the DDE server of this copy and everything player windows ask of the
// program; its four tabs are pages of their own. Each command is one action, shown by its
// switch and by its menu item alike. It owns the engine controller and frees it last.
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

    // Switches and menu: each runs when its action is triggered, after the action's check
    // state has changed.
    void RunClick();
    void PauseClick();
    void BtnSpyClick();
    void BtnPlayerClick();
    void BtnVisibleClick();
    void ExitClick();
    void ShowClick();
    void HideClick();
    bool MainWindowShown() const { return shown_; }

    // One step of the 100 ms poll.
    void TimerUpdateEvent();
    // Handler of an executed DDE macro; its work runs from the event loop.
    bool DdeExec(const std::string& macro);
    PlayerWindow* OpenPlayer(const std::string& fileName);
    // Reads a file in an open player window, as OpenPlayer does in a new one.
    PlayerWindow* ReadInPlayer(PlayerWindow* window, const std::string& fileName);
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
    PlayerAppearance GetAppearance() override;
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
    std::optional<QDateTime> LogOffDue() const;
    std::optional<QDateTime> LogOnDue() const;
    SpeechHolder* TestHolder() { return &testHolder_; }
    SpeechHolder* StartUpHolder() { return &startUpHolder_; }

    TTalkServ& Controller() { return *controller_; }
    QMenu* PopupMenu() const { return menu_; }
    QSystemTrayIcon* TrayIcon() const { return tray_; }

  signals:
    // After each step of the 100 ms poll, for those who follow the reading.
    void Ticked();

  protected:
    void closeEvent(QCloseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    bool PlayersAgreeToClose();
    void showEvent(QShowEvent* event) override;

  private:
    void BuildActions();
    QAction* Command(const char* name, const QString& caption, const QString& hint, bool checkable,
                     void (TFrmTalk::*handler)());
    void BuildSwitches();
    void BuildPages();
    QSize ClientSize(bool compact);
    void FitToCaptions();
    void FollowScreen(QScreen* screen);
    void ConnectPages();
    void BuildMenu();
    QDateTime Now() const;
    void StoreControls(StoredControls& controls) const;
    void RestoreControls(const StoredControls& controls);
    // Asks the desktop's tray watcher, and makes the icon once it has answered.
    void CreateTrayIcon();
    void MakeTrayIcon();
    void LoadSettings();
    void SaveSettings();
    void RunFirstActivation();
    void StartWithFile(const std::string& fileName);
    void RestoreMainWindow();
    void PlayerClosing(PlayerWindow& window);
    bool ServeSpeakFile(const std::string& fileName);
    void ReportTimerError(const std::string& text);
    void ReportEngineDeviceFailure(bool busy);
    bool IsOpenPlayer(SpeechHolder* holder) const;
    // The open player window with this id; none once it has closed.
    PlayerWindow* FindPlayer(uint64_t id) const;
    // Puts a switch up or down without running its handler.
    static void SetDown(QAction* command, bool down);
    void ShowRunCaption(bool running);
    void TellWhenSilent();
    // Runs a handler; an error it raises goes to the error box.
    void Guarded(const std::function<void()>& handler);

    std::unique_ptr<TTalkServ> controller_;  // created first, freed last
    FrmTalkSetup setup_;
    PlayerFactory* players_ = nullptr;
    std::unique_ptr<DdeServer> ddeServer_;
    std::unique_ptr<InstanceLock> copyLock_;  // held while this copy is the running one
    std::unique_ptr<SpeakFileRequests> speakFiles_;
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
    bool engineWasBusy_ = false;
    std::string reportedDeviceFailure_;  // the engine's wave device failure already told
    PhraseHolder testHolder_;
    PhraseHolder startUpHolder_;
    SystemWallClock systemClock_;

    QWidget* client_ = nullptr;
    QAction* itemRun_ = nullptr;
    QAction* itemPlayer_ = nullptr;
    QAction* itemSpy_ = nullptr;
    QAction* itemPause_ = nullptr;
    QAction* itemVisible_ = nullptr;
    QAction* itemNewClient_ = nullptr;
    QAction* itemShow_ = nullptr;
    QAction* itemHide_ = nullptr;
    QAction* itemExit_ = nullptr;
    QToolButton* btnRun_ = nullptr;
    QPushButton* btnNewClient_ = nullptr;
    QToolButton* btnVisible_ = nullptr;
    QToolButton* btnPlayer_ = nullptr;
    QToolButton* btnSpy_ = nullptr;
    QToolButton* btnPause_ = nullptr;
    PageTabs* pageControl_ = nullptr;
    TVoicePage* voice_ = nullptr;
    TImagePage* image_ = nullptr;
    TTextPage* text_ = nullptr;
    TEventPage* events_ = nullptr;
    QCheckBox* formVisible_ = nullptr;
    QMenu* menu_ = nullptr;
    QSystemTrayIcon* tray_ = nullptr;
    StatusNotifierHost* trayHost_ = nullptr;
    QTimer* frmTimer_ = nullptr;
    QMetaObject::Connection screenGeometry_;
};

}  // namespace tovrin
