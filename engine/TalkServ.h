#pragma once

#include "engine/Clock.h"
#include "engine/ControllerRegistry.h"
#include "engine/DictThread.h"
#include "engine/DictWorkerHost.h"
#include "engine/EngineState.h"
#include "engine/FileStore.h"
#include "engine/SpeechHolder.h"
#include "engine/VoiceParams.h"
#include "engine/WinIniKeeper.h"
#include "platform/Desktop.h"
#include "platform/EngineContract.h"
#include "platform/Process.h"

#include <array>
#include <atomic>
#include <chrono>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace tovrin {

// Handles of the bound engine: main window, client pane, edit box, progress bar, talk button,
// pause button; all zero while unbound. Atomic because the dictionary worker reads them.
struct EngineWindows {
    std::atomic<WindowHandle> Main{kNoWindow};
    std::atomic<WindowHandle> Pane{kNoWindow};
    std::atomic<WindowHandle> Edit{kNoWindow};
    std::atomic<WindowHandle> Progress{kNoWindow};
    std::atomic<WindowHandle> Talk{kNoWindow};
    std::atomic<WindowHandle> Pause{kNoWindow};

    void Clear();
};

struct ProgressInfo {
    int32_t Min = 0;
    int32_t Max = 0;
    int32_t Pos = 0;
};

constexpr size_t kMaxSpokenText = 38912;
constexpr int kPresetCount = 5;

// Where the engine lives for the running program: ZalLib beside the executable.
std::string DefaultEngineFolder();

// The one object through which the system drives the speech engine program: keeps the
// engine's win.ini sections, starts and binds to the engine, speaks for one holder at a time,
// pauses, stops, switches player and spy mode, sets the voice and volume, keeps five presets
// and runs the dictionary worker. Everything but the worker's calls runs on the GUI thread.
//
// Calls that may wait, and how long at most (every desktop call also waits for a peer that
// does not answer, up to the desktop's own timeout):
// - SetEngineRunning(true): up to 120 s for the started engine's window; returns as soon as
//   the started program ends without one.
// - SetEngineRunning(false): until the engine has handled WM_DESTROY, then up to 2 s for its
//   program to end; the destructor likewise when it closes an engine left to it.
// - BindEngine, and every call that begins with it (IsBusy, IsPaused, GetEngineState,
//   GetProgress, SpeakText, ...): up to 5 s per control when a new engine window lacks one
//   of its controls; that window is then not searched again, so a sick engine costs this
//   wait once, not once per poll.
// - StopSpeech, and the calls that stop the speech (SpeakText and SpeakDictionaryEntry while
//   busy, AcquireEngine, ReleaseEngine, SetPlayerMode, SetSpyMode): 1 s for the engine to
//   fall silent, after ending the dictionary worker (a sound being played plays to its end).
// - SetPaused: 1 s for the pause button to confirm.
// - Creation, destruction, WriteEngineConfig, SetEngineRunning, AcquireEngine: the lock that
//   lets the user's controllers share win.ini and the engine; others hold it for one short
//   file edit, or while they close the engine (see SetEngineRunning(false) above).
// Nothing else waits: GetVolume, SetVolume, the voice parameters and presets return at once.
class TTalkServ : public DictWorkerHost {
  public:
    // Saves the win.ini sections; throws EngineError when there is no system folder.
    explicit TTalkServ(std::string engineFolder = DefaultEngineFolder(),
                       Clock& clock = SystemClock::Instance(),
                       FileStore& store = DiskFileStore::Instance());
    // Writes the saved sections back (see RestoreEngineSections), ends the worker, and closes
    // an engine whose close waited for this controller to leave.
    ~TTalkServ() override;
    TTalkServ(const TTalkServ&) = delete;
    TTalkServ& operator=(const TTalkServ&) = delete;

    // Configuration and launch. The controllers of the user share win.ini: the user's own
    // sections are saved once, by the first controller that writes the engine's configuration,
    // kept in a side file beside win.ini while it stands, and put back, as they were, by the
    // last controller to leave; a controller that starts while a side file is left over from
    // one that ended without putting them back (killed) puts them back first.
    void LocateEngine();
    void SaveEngineSections();
    // Leaves the shared use of win.ini; false when this controller was the last and the
    // user's sections could not be put back (they stay in the side file for the next start).
    bool RestoreEngineSections();
    // One edit of win.ini; false when it could not be made (win.ini is then as it was).
    bool WriteEngineConfig();
    bool HasWaveDevice() const;
    bool BindEngine();
    // Throws EngineError with the "Create process error: ..." message when a start fails.
    // Closing leaves an engine that another controller uses running; the last of its users
    // to close it or to leave closes it.
    void SetEngineRunning(bool run);
    void DetachEditBox();
    void AttachEditBox();
    void SetDeadline(int seconds);
    bool DeadlinePassed() const;
    void ResetController();

    // Speaking, pausing, modes.
    bool IsSpeaking() override;
    bool IsBusy();
    bool SendText(const std::string& text) override;
    bool StopSpeech();
    bool IsPlayerMode();
    void SetPlayerMode(bool on);
    bool IsSpyMode();
    void SetSpyMode(bool on);
    bool IsPaused();
    void SetPaused(bool on);
    EngineState GetEngineState();
    ProgressInfo GetProgress();
    void AcquireEngine(SpeechHolder* window);
    void ReleaseEngine();
    SpeechHolder* GetHolder() const { return holder_; }
    SpeakResult SpeakText(const std::string& text, SpeechHolder* window);
    // Whether the engine's edit box still holds `text` (as far as a caption is read back):
    // false once another controller has given the engine a text of its own, or stopped it.
    bool EngineHoldsText(const std::string& text) const;
    // The failure of its wave device that the bound engine reports, if any: a speech it
    // played then may have reached nobody.
    std::optional<std::string> EngineDeviceFailure() const;

    // Dictionary worker.
    SpeakResult SpeakDictionaryEntry(const DictionaryRequest& request, SpeechHolder* window);
    void StartWorker(const DictionaryRequest& request);
    void StopWorker();
    bool WorkerFinished() const;
    bool HasWorker() const { return worker_ != nullptr; }

    // Voice parameters, volume and presets.
    void SetVoice(int32_t value);
    void SetTimbre(int32_t value);
    void SetTempo(int32_t value);
    void SetMelody(int32_t value);
    int32_t GetVolume() const;
    // True when the device has the volume afterwards.
    bool SetVolume(int32_t value);
    void ReapplyVoice();
    VoiceParams GetVoiceParams() const;
    void SetVoiceParams(const VoiceParams& params);
    void SelectPreset(int32_t index);
    void DefaultPresets();
    void LoadPresets(const std::vector<std::string>* list);
    void SavePresets(std::vector<std::string>* list);

    // Read-only views for the main window and for checks.
    bool TimedOut() const { return timedOut_; }
    // Whether the engine now bound was started by this controller's SetEngineRunning(true)
    // (its own program, or one started at the same moment that its own gave way to), rather
    // than found running.
    bool StartedEngine() const {
        return startedMain_ != kNoWindow && startedMain_ == windows_.Main;
    }
    const ProcessInfo& EngineProcess() const { return process_; }
    const std::string& WorkingFolder() const { return workingFolder_; }
    const std::string& LibraryFolder() const { return libraryFolder_; }
    const std::string& WindowsFolder() const { return windowsFolder_; }
    std::string EngineModulePath() const;
    std::string WinIniFile() const;
    // Where the user's sections are kept while the engine's configuration stands.
    std::string UserSectionsFile() const;
    const EngineWindows& Windows() const { return windows_; }
    const std::vector<std::string>& SavedEngineSection() const { return savedEngineSection_; }
    const std::vector<std::string>& SavedHostSection() const { return savedHostSection_; }
    const std::string& RequestMode() const { return requestMode_; }
    int32_t CurrentPreset() const { return currentPreset_; }
    const VoiceParams& Preset(int index) const { return presets_.at(index); }
    const VoiceParams& DefaultParams() const { return defaultParams_; }

    // The dictionary worker's side.
    bool IsDictionaryPaused() const override { return dictionaryPaused_; }
    bool IsEngineAlive() override;
    bool PlayFragment(const std::vector<uint8_t>& image, WaveCancel& cancel) override;
    void PausePoll() override;

  private:
    bool BindControls(WindowHandle main);
    WindowHandle WaitForControl(const std::function<WindowHandle()>& find);
    void StartEngine();
    void CloseEngine();
    void CloseEngineLeftToUs();
    void RecordEngineUse(WindowHandle engine);
    void AwaitEngineEnd();
    WinIniKeeper Keeper() const;
    bool CaptionIs(WindowHandle button, std::initializer_list<std::string_view> captions) const;
    bool SendCommand(uint32_t command) const;
    void SetVoiceParameter(int32_t& stored, int32_t value, uint32_t commandBase);
    bool WaitWhile(const std::function<bool()>& condition);
    bool SearchEngine();

    const ControllerId id_;
    std::vector<std::string> savedEngineSection_;
    std::vector<std::string> savedHostSection_;
    std::string workingFolder_;
    std::string libraryFolder_;
    std::string windowsFolder_;
    EngineWindows windows_;
    // The last engine window whose controls were not found; not searched again.
    WindowHandle failedMain_ = kNoWindow;
    // Set while one state snapshot is taken: its parts share one search of the desktop.
    std::optional<bool> snapshotBound_;
    ProcessInfo process_;
    bool timedOut_ = false;
    // The engine window this controller's last start bound.
    WindowHandle startedMain_ = kNoWindow;
    Clock::TimePoint deadline_{};
    std::unique_ptr<TDictThread> worker_;
    std::atomic<bool> dictionaryPaused_{false};
    std::string requestMode_ = "TXT";
    SpeechHolder* holder_ = nullptr;
    bool playerMode_ = false;
    bool spyMode_ = false;
    int32_t voice_ = 0;
    int32_t timbre_ = 0;
    int32_t tempo_ = 0;
    int32_t melody_ = 0;
    VoiceParams defaultParams_;
    int32_t currentPreset_ = 0;
    std::array<VoiceParams, kPresetCount> presets_{};

    const std::string engineFolder_;
    Clock& clock_;
    FileStore& store_;
};

}  // namespace tovrin
