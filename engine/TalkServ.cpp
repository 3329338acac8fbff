#include "engine/TalkServ.h"

#include "engine/ControllerRegistry.h"
#include "engine/EngineError.h"
#include "engine/WholeNumber.h"
#include "engine/WinIniKeeper.h"
#include "platform/InstanceLock.h"
#include "platform/Profile.h"
#include "platform/RuntimeFolder.h"
#include "platform/WaveDevice.h"
#include "text/SysOps.h"

#include <algorithm>
#include <cstring>

namespace tovrin {

namespace {

constexpr int kStartTimeoutSeconds = 120;
constexpr int kConfirmTimeoutSeconds = 1;
// How long a bind keeps looking for the controls of an engine window that has appeared: the
// engine creates them right after its window, so only a broken engine ever reaches this.
constexpr auto kControlSearchLimit = std::chrono::seconds(5);
constexpr auto kPollInterval = std::chrono::milliseconds(4);
// How long a close waits for the closed engine's program to end.
constexpr auto kEngineEndLimit = std::chrono::seconds(2);
constexpr size_t kCaptionCompareLength = 10;
constexpr size_t kCaptionReadBack = 254;
constexpr int32_t kDefaultVolume = 85;

const char* const kCreateProcessError = "Create process error: ";

// The engine reads texts as zero-terminated strings, so nothing after a zero byte reaches it.
std::string_view UpToZero(const std::string& text) {
    return std::string_view(text.data(), strnlen(text.data(), text.size()));
}

// The command line that starts the module: quoted when the path holds a blank, so that the
// launcher does not cut the program name there.
std::string ModuleCommandLine(const std::string& modulePath) {
    if (modulePath.find(' ') == std::string::npos) return modulePath;
    return "\"" + modulePath + "\"";
}

void SaveSection(const std::string& content, const char* section, std::vector<std::string>& into) {
    into.clear();
    for (const auto& [key, value] : ProfileSectionEntries(content, section)) {
        if (key.empty()) continue;
        into.push_back(key + "=" + value);
    }
}

// The device volume as 0..255: its left channel's 16 bits divided by 256.
int32_t LeftChannelLevel(uint32_t volume) {
    return static_cast<int32_t>((volume & 0xFFFF) / 256);
}

// Whether another engine program is starting or running: it holds the engine's lock.
bool AnotherEngineLives() {
    const auto path = EngineLockPath();
    return path && InstanceLock::IsHeld(*path);
}

}  // namespace

void EngineWindows::Clear() {
    for (auto* handle : {&Main, &Pane, &Edit, &Progress, &Talk, &Pause})
        *handle = kNoWindow;
}

std::string DefaultEngineFolder() {
    return ExecutableFolder() + "/ZalLib";
}

TTalkServ::TTalkServ(std::string engineFolder, Clock& clock, FileStore& store)
    : id_(ControllerId::NewForThisProcess()),
      engineFolder_(std::move(engineFolder)),
      clock_(clock),
      store_(store) {
    LocateEngine();
    SaveEngineSections();
}

TTalkServ::~TTalkServ() {
    try {
        RestoreEngineSections();
    } catch (...) {
        // A destructor must not throw; the side file keeps the user's sections for later.
    }
    StopWorker();
    try {
        CloseEngineLeftToUs();
    } catch (...) {
        // The engine then stays; a later controller can close it.
    }
}

// ---- configuration and launch ----

void TTalkServ::LocateEngine() {
    workingFolder_.clear();
    libraryFolder_.clear();
    windowsFolder_.clear();
    workingFolder_ = engineFolder_;
    libraryFolder_ = engineFolder_;
    const auto systemFolder = SystemFolder();
    if (!systemFolder) throw EngineError(kNoSystemFolderMessage);
    windowsFolder_ = *systemFolder;
}

std::string TTalkServ::EngineModulePath() const {
    return engineFolder_ + "/zalwin";
}

std::string TTalkServ::WinIniFile() const {
    return windowsFolder_ + "/win.ini";
}

std::string TTalkServ::UserSectionsFile() const {
    return Keeper().SideFile();
}

WinIniKeeper TTalkServ::Keeper() const {
    return WinIniKeeper(WinIniFile(), {kHostSection, kEngineSection}, store_);
}

void TTalkServ::SaveEngineSections() {
    ControllerRegistry registry(RuntimeFolder());
    WinIniKeeper keeper = Keeper();
    // A controller that ended while the engine's configuration stood (killed, power lost)
    // left the user's sections in the side file: they go back before anything else.
    if (!registry.OthersLive(id_)) keeper.PutBackUserSections();
    registry.Join(id_);
    const std::string content = keeper.UserContent().value_or("");
    SaveSection(content, kHostSection, savedHostSection_);
    SaveSection(content, kEngineSection, savedEngineSection_);
}

bool TTalkServ::RestoreEngineSections() {
    ControllerRegistry registry(RuntimeFolder());
    registry.Leave(id_);
    savedHostSection_.clear();
    savedEngineSection_.clear();
    // The user's sections are put back by the last controller to leave.
    if (registry.OthersLive(id_)) return true;
    return Keeper().PutBackUserSections();
}

bool TTalkServ::WriteEngineConfig() {
    using Kind = ProfileChange::Kind;
    const std::vector<ProfileChange> changes{
        {Kind::Write, kHostSection, kHostKeyFiles, libraryFolder_},
        {Kind::Write, kHostSection, kHostKeyUserName, "DEFAULT"},
        {Kind::Write, kHostSection, kHostKeyWorkingDirectory, workingFolder_},
        {Kind::DeleteKey, kHostSection, kHostKeyMacro, ""},
        {Kind::DeleteKey, kHostSection, kHostKeyEngine, ""},
        {Kind::Write, kEngineSection, kEngineKeyDictionary,
         libraryFolder_ + "/owndict/owndict.dic"},
        {Kind::Write, kEngineSection, kEngineKeyStartupFile, libraryFolder_ + "/startup.zal"},
        {Kind::Write, kEngineSection, kEngineKeyStrFile, "No"},
    };
    ControllerRegistry registry(RuntimeFolder());
    registry.Join(id_);  // a controller that restored early takes part again
    return Keeper().WriteConfiguration(changes);
}

bool TTalkServ::HasWaveDevice() const {
    return WaveOutDeviceCount() != 0;
}

bool TTalkServ::BindEngine() {
    if (snapshotBound_) return *snapshotBound_;
    return SearchEngine();
}

bool TTalkServ::SearchEngine() {
    const WindowHandle main = desktop::FindWindow(kEngineWindowClass, std::nullopt);
    if (main == kNoWindow) {
        windows_.Clear();
        failedMain_ = kNoWindow;
        return false;
    }
    if (main == windows_.Main) return true;
    // A window whose controls were not found is not searched again: the search waits, and a
    // broken engine would otherwise cost that wait on every poll.
    if (main == failedMain_) {
        windows_.Clear();
        return false;
    }
    if (!BindControls(main)) {
        windows_.Clear();
        failedMain_ = main;
        return false;
    }
    return true;
}

// Repeats a control search until it succeeds; gives up on an engine window that never gets
// the control, so that a broken engine cannot block the caller for ever.
WindowHandle TTalkServ::WaitForControl(const std::function<WindowHandle()>& find) {
    const auto limit = clock_.Now() + kControlSearchLimit;
    for (;;) {
        const WindowHandle found = find();
        if (found != kNoWindow || clock_.Now() > limit) return found;
        clock_.Sleep(kPollInterval);
    }
}

bool TTalkServ::BindControls(WindowHandle main) {
    windows_.Clear();
    windows_.Main = main;
    const WindowHandle pane = WaitForControl([&] { return desktop::GetFirstChild(main); });
    if (pane == kNoWindow) return false;
    windows_.Pane = pane;
    auto child = [pane](std::string_view className, std::optional<std::string_view> caption) {
        return desktop::FindChildWindow(pane, kNoWindow, className, caption);
    };
    auto firstCaptioned = [&](std::initializer_list<std::string_view> captions) {
        for (const auto caption : captions) {
            if (const auto found = child(kEngineButtonClass, caption)) return found;
        }
        return kNoWindow;
    };
    windows_.Edit = WaitForControl([&] {
        const auto inPane = child(kEngineEditClass, std::nullopt);
        return inPane ? inPane : desktop::FindWindow(kEngineEditClass, std::nullopt);
    });
    windows_.Progress = WaitForControl([&] { return child(kEngineProgressClass, std::nullopt); });
    windows_.Talk = WaitForControl([&] {
        return firstCaptioned({kEngineCaptionTalk, kEngineCaptionStop, kEngineCaptionTalkEnglish,
                               kEngineCaptionStopEnglish});
    });
    windows_.Pause = WaitForControl([&] {
        return firstCaptioned({kEngineCaptionPause, kEngineCaptionResume,
                               kEngineCaptionPauseEnglish, kEngineCaptionResumeEnglish});
    });
    return windows_.Edit && windows_.Progress && windows_.Talk && windows_.Pause;
}

void TTalkServ::SetEngineRunning(bool run) {
    if (!run) {
        if (BindEngine()) CloseEngine();
        return;
    }
    // Marked before the engine is looked for, so that no other controller closes the engine
    // this one is about to bind.
    RecordEngineUse(kAnyEngine);
    try {
        if (!BindEngine()) {
            StartEngine();
            startedMain_ = windows_.Main;
        }
    } catch (...) {
        RecordEngineUse(kNoWindow);
        throw;
    }
    RecordEngineUse(windows_.Main);
}

void TTalkServ::RecordEngineUse(WindowHandle engine) {
    ControllerRegistry registry(RuntimeFolder());
    registry.Use(id_, engine);
}

void TTalkServ::AwaitEngineEnd() {
    const auto limit = clock_.Now() + kEngineEndLimit;
    while (AnotherEngineLives() && clock_.Now() <= limit)
        clock_.Sleep(kPollInterval);
}

void TTalkServ::StartEngine() {
    if (!HasWaveDevice())
        throw EngineError(std::string(kCreateProcessError) + "wave device not found");
    if (!WriteEngineConfig())
        throw EngineError(std::string(kCreateProcessError) + "can not write " + WinIniFile());
    const std::string module = EngineModulePath();
    if (!FileExists(module)) throw EngineError(kCreateProcessError + module + " not found");
    ProcessInfo started;
    try {
        // Marked as a controller's engine: it ends by itself once no controller is left.
        LaunchProcess(ModuleCommandLine(module) + " " + std::string(kEngineControlledArgument),
                      kShowHidden, started);
    } catch (const std::exception& e) {
        throw EngineError(e.what());
    }
    process_ = started;

    SetDeadline(kStartTimeoutSeconds);
    bool bound = BindEngine();
    while (!bound && !DeadlinePassed()) {
        // An engine program that has ended without a window will never show one (unless it
        // gave way to another engine started at the same moment, whose window serves as
        // well): waiting out the deadline would only freeze the caller for two minutes.
        if (!IsProcessRunning(process_) && !AnotherEngineLives()) {
            bound = BindEngine();
            break;
        }
        clock_.Sleep(kPollInterval);
        bound = BindEngine();
    }
    // An engine bound in the last poll is kept: it is there, and killing it helps nobody.
    timedOut_ = !bound;
    // Bound to another engine started at the same moment: this one's program, if still
    // starting, would find the lock free once that engine closes and stay on its own.
    if (bound && static_cast<pid_t>(windows_.Main >> 32) != process_.pid)
        TerminateProcess(process_, 0);
    if (timedOut_) {
        TerminateProcess(process_, 0);
        throw EngineError(std::string(kCreateProcessError) + "main window not found (Timeout)");
    }
    spyMode_ = false;
    playerMode_ = false;
    ReapplyVoice();
    DetachEditBox();
}

// The engine is closed under the controllers' lock, and its program given time to end, so
// that a controller starting next neither binds the dying window nor sees its own engine give
// way to it.
void TTalkServ::CloseEngine() {
    const WindowHandle main = windows_.Main;
    ControllerRegistry registry(RuntimeFolder());
    registry.Use(id_, kNoWindow);
    if (registry.OthersUse(id_, main)) {
        // Another controller still speaks through this engine: the last of them closes it.
        registry.SetPendingClose(main);
    } else {
        if (registry.PendingClose() == main) registry.SetPendingClose(kNoWindow);
        AttachEditBox();
        desktop::SendMessage(main, WM_DESTROY, 0);
        AwaitEngineEnd();
    }
    windows_.Clear();
    spyMode_ = false;
}

void TTalkServ::CloseEngineLeftToUs() {
    ControllerRegistry registry(RuntimeFolder());
    const WindowHandle pending = registry.PendingClose();
    if (pending == kNoWindow || registry.OthersUse(id_, pending)) return;
    registry.SetPendingClose(kNoWindow);
    if (!desktop::IsWindow(pending)) return;
    desktop::SendMessage(pending, WM_DESTROY, 0);
    AwaitEngineEnd();
}

void TTalkServ::DetachEditBox() {
    const WindowHandle edit = windows_.Edit;
    if (edit == kNoWindow || windows_.Pane == kNoWindow) return;
    if (desktop::GetParent(edit) != windows_.Pane) return;
    desktop::ShowWindow(edit, false);
    desktop::SetParent(edit, kNoWindow);
}

void TTalkServ::AttachEditBox() {
    const WindowHandle edit = windows_.Edit;
    if (edit == kNoWindow || !desktop::IsWindow(edit)) return;
    if (desktop::GetParent(edit) != kNoWindow) return;
    desktop::SetParent(edit, windows_.Pane);
    desktop::ShowWindow(edit, true);
}

void TTalkServ::SetDeadline(int seconds) {
    timedOut_ = false;
    deadline_ = clock_.Now() + std::chrono::seconds(seconds);
}

bool TTalkServ::DeadlinePassed() const {
    return clock_.Now() > deadline_;
}

void TTalkServ::ResetController() {
    windows_.Clear();
    holder_ = nullptr;
    playerMode_ = false;
    spyMode_ = false;
    DefaultPresets();
}

// ---- speaking, pausing, modes ----

bool TTalkServ::CaptionIs(WindowHandle button,
                          std::initializer_list<std::string_view> captions) const {
    const std::string caption = GetWindowCaption(button).substr(0, kCaptionCompareLength);
    return std::find(captions.begin(), captions.end(), caption) != captions.end();
}

bool TTalkServ::SendCommand(uint32_t command) const {
    return desktop::SendMessage(windows_.Main, WM_COMMAND, command).has_value();
}

bool TTalkServ::IsSpeaking() {
    if (!CaptionIs(windows_.Talk, {kEngineCaptionTalk, kEngineCaptionTalkEnglish})) return true;
    const auto info = desktop::GetScrollInfo(windows_.Progress).value_or(ScrollInfo{});
    return info.pos != info.min && info.pos != info.max;
}

bool TTalkServ::IsBusy() {
    if (!BindEngine()) return false;
    if (worker_) return true;
    return IsSpeaking();
}

bool TTalkServ::SendText(const std::string& text) {
    const WindowHandle edit = windows_.Edit;
    return desktop::SendMessage(edit, WM_SETTEXT, 0, "") &&
           desktop::SendMessage(edit, WM_SETTEXT, 0, UpToZero(text)) && SendCommand(kCommandTalk);
}

// Polls until the condition fails or the 1 s deadline passes; true when it timed out.
bool TTalkServ::WaitWhile(const std::function<bool()>& condition) {
    SetDeadline(kConfirmTimeoutSeconds);
    while (condition() && !DeadlinePassed())
        clock_.Sleep(kPollInterval);
    timedOut_ = DeadlinePassed();
    return timedOut_;
}

bool TTalkServ::StopSpeech() {
    if (!IsBusy()) return false;
    StopWorker();
    desktop::SendMessage(windows_.Edit, WM_SETTEXT, 0, "");
    SendCommand(kCommandTalk);
    return WaitWhile([this] { return IsBusy(); });
}

bool TTalkServ::IsPlayerMode() {
    return BindEngine() && playerMode_;
}

void TTalkServ::SetPlayerMode(bool on) {
    if (!BindEngine() || on == playerMode_) return;
    if (spyMode_) {
        StopSpeech();
        SendCommand(kCommandSpy);
        spyMode_ = false;
    } else if (!on) {
        StopSpeech();
    }
    playerMode_ = on;
}

bool TTalkServ::IsSpyMode() {
    return BindEngine() && spyMode_;
}

void TTalkServ::SetSpyMode(bool on) {
    if (!BindEngine() || on == spyMode_) return;
    if (playerMode_) {
        StopSpeech();
        playerMode_ = false;
    }
    SendCommand(kCommandSpy);
    spyMode_ = !spyMode_;
}

bool TTalkServ::IsPaused() {
    if (requestMode_ == "DIC") return BindEngine() && dictionaryPaused_;
    if (!BindEngine()) return false;
    return CaptionIs(windows_.Pause, {kEngineCaptionResume, kEngineCaptionResumeEnglish});
}

void TTalkServ::SetPaused(bool on) {
    if (requestMode_ == "DIC") {
        dictionaryPaused_ = BindEngine() && on;
        return;
    }
    if (on == IsPaused() || !IsBusy()) return;
    SendCommand(kCommandPause);
    WaitWhile([this, on] { return IsPaused() != on; });
}

EngineState TTalkServ::GetEngineState() {
    // The snapshot is polled every 100 ms; each of its parts would search the desktop for the
    // engine again, so they share the answer of one search taken now.
    snapshotBound_ = SearchEngine();
    EngineState state;
    state.Paused = IsPaused();
    state.Holder = holder_;
    if (windows_.Main != kNoWindow) {
        state.Busy = IsBusy();
        state.Running = true;
        state.PlayerMode = playerMode_;
        state.SpyMode = IsSpyMode();
    }
    snapshotBound_.reset();
    return state;
}

ProgressInfo TTalkServ::GetProgress() {
    if (!BindEngine() || CaptionIs(windows_.Talk, {kEngineCaptionTalk, kEngineCaptionTalkEnglish}))
        return {};
    const auto info = desktop::GetScrollInfo(windows_.Progress).value_or(ScrollInfo{});
    return {info.min, info.max, info.pos};
}

void TTalkServ::AcquireEngine(SpeechHolder* window) {
    EngineState state = GetEngineState();
    if (holder_ && holder_->IsPlayerWindow()) {
        state.Holder = window;
        holder_->PlayerPoll(state);
    }
    StopSpeech();
    SetPlayerMode(true);
    holder_ = window;
    if (windows_.Main != kNoWindow) RecordEngineUse(windows_.Main);
}

void TTalkServ::ReleaseEngine() {
    StopSpeech();
    holder_ = nullptr;
}

SpeakResult TTalkServ::SpeakText(const std::string& text, SpeechHolder* window) {
    if (!BindEngine()) return SpeakResult::NotRunning;
    if (!IsPlayerMode()) return SpeakResult::PlayerModeOff;
    if (holder_ && holder_ != window) return SpeakResult::OtherHolder;
    if (UpToZero(text).size() > kMaxSpokenText) return SpeakResult::TooLong;
    requestMode_ = "TXT";
    if (IsBusy()) StopSpeech();
    if (!SendText(text)) return SpeakResult::PlatformError;
    return SpeakResult::Accepted;
}

bool TTalkServ::EngineHoldsText(const std::string& text) const {
    const WindowHandle edit = windows_.Edit;
    if (edit == kNoWindow) return false;
    const auto caption = desktop::GetWindowText(edit);
    return caption && *caption == UpToZero(text).substr(0, kCaptionReadBack);
}

std::optional<std::string> TTalkServ::EngineDeviceFailure() const {
    if (windows_.Main == kNoWindow) return std::nullopt;
    const auto caption = desktop::GetWindowText(windows_.Main);
    const size_t mark = caption ? caption->find(kEngineFailureMark) : std::string::npos;
    if (mark == std::string::npos) return std::nullopt;
    return caption->substr(mark + kEngineFailureMark.size());
}

// ---- dictionary worker ----

SpeakResult TTalkServ::SpeakDictionaryEntry(const DictionaryRequest& request,
                                            SpeechHolder* window) {
    if (!BindEngine()) return SpeakResult::NotRunning;
    if (!IsPlayerMode()) return SpeakResult::PlayerModeOff;
    if (holder_ && holder_ != window) return SpeakResult::OtherHolder;
    requestMode_ = "DIC";
    if (IsBusy()) StopSpeech();
    StartWorker(request);
    return SpeakResult::Accepted;
}

void TTalkServ::StartWorker(const DictionaryRequest& request) {
    StopWorker();
    auto worker = std::make_unique<TDictThread>(*this, request);
    worker->Start();
    worker_ = std::move(worker);
}

void TTalkServ::StopWorker() {
    worker_.reset();
}

bool TTalkServ::WorkerFinished() const {
    return worker_ && worker_->Finished();
}

bool TTalkServ::PlayFragment(const std::vector<uint8_t>& image, WaveCancel& cancel) {
    return PlayWaveImage(image.data(), image.size(), &cancel);
}

bool TTalkServ::IsEngineAlive() {
    return desktop::IsWindow(windows_.Main);
}

void TTalkServ::PausePoll() {
    clock_.Sleep(kPollInterval);
}

// ---- voice parameters, volume, presets ----

void TTalkServ::SetVoiceParameter(int32_t& stored, int32_t value, uint32_t commandBase) {
    if (value == stored) return;
    stored = value;
    if (!BindEngine()) return;  // sent with the others at the next start
    SendCommand(commandBase + static_cast<uint32_t>(std::clamp(value, 0, 9)));
}

void TTalkServ::SetVoice(int32_t value) {
    SetVoiceParameter(voice_, value, kCommandVoice);
}
void TTalkServ::SetTimbre(int32_t value) {
    SetVoiceParameter(timbre_, value, kCommandTimbre);
}
void TTalkServ::SetTempo(int32_t value) {
    SetVoiceParameter(tempo_, value, kCommandTempo);
}
void TTalkServ::SetMelody(int32_t value) {
    SetVoiceParameter(melody_, value, kCommandMelody);
}

int32_t TTalkServ::GetVolume() const {
    uint32_t volume = 0;
    if (!GetWaveOutVolume(volume)) return 0;
    return LeftChannelLevel(volume);
}

bool TTalkServ::SetVolume(int32_t value) {
    uint32_t current = 0;
    const bool readable = GetWaveOutVolume(current);
    if (value == (readable ? LeftChannelLevel(current) : 0)) return readable;
    const auto channel = static_cast<uint32_t>(std::clamp(value, 0, 255)) * 256;
    return SetWaveOutVolume(channel | (channel << 16));
}

void TTalkServ::ReapplyVoice() {
    if (!BindEngine()) return;
    const int32_t voice = voice_, timbre = timbre_, tempo = tempo_, melody = melody_;
    voice_ = timbre_ = tempo_ = melody_ = -1;
    SetVoice(voice);
    SetTimbre(timbre);
    SetTempo(tempo);
    SetMelody(melody);
}

VoiceParams TTalkServ::GetVoiceParams() const {
    VoiceParams p;
    p.Voice = voice_ & 0xFF;
    p.Timbre = timbre_ & 0xFF;
    p.Tempo = tempo_ & 0xFF;
    p.Melody = melody_ & 0xFF;
    p.Volume = GetVolume() & 0xFF;
    return p;
}

void TTalkServ::SetVoiceParams(const VoiceParams& params) {
    SetMelody(params.Melody);
    SetTempo(params.Tempo);
    SetTimbre(params.Timbre);
    SetVoice(params.Voice);
    SetVolume(params.Volume);
}

void TTalkServ::SelectPreset(int32_t index) {
    if (index == -1) {
        presets_[currentPreset_] = GetVoiceParams();
        return;
    }
    index = std::clamp(index, 0, kPresetCount - 1);
    if (index == currentPreset_) return;
    presets_[currentPreset_] = GetVoiceParams();
    SetVoiceParams(presets_[index]);
    currentPreset_ = index;
}

void TTalkServ::DefaultPresets() {
    voice_ = 0;
    timbre_ = 5;
    tempo_ = 7;
    melody_ = 0;
    defaultParams_ = GetVoiceParams();
    defaultParams_.Volume = kDefaultVolume;
    presets_.fill(defaultParams_);
    currentPreset_ = 0;
}

void TTalkServ::LoadPresets(const std::vector<std::string>* list) {
    if (!list) {
        DefaultPresets();
        return;
    }
    try {
        if (list->size() < kPresetCount + 1) throw EngineError("List index out of bounds");
        const auto index = WholeNumberOrThrow((*list)[0]);
        std::array<VoiceParams, kPresetCount> loaded;
        for (int i = 0; i < kPresetCount; ++i)
            loaded[i] = ParseVoiceParams((*list)[i + 1]);
        currentPreset_ = std::clamp(index, 0, kPresetCount - 1);
        presets_ = loaded;
        SetVoiceParams(presets_[currentPreset_]);
    } catch (const EngineError&) {
        DefaultPresets();
    }
}

void TTalkServ::SavePresets(std::vector<std::string>* list) {
    if (!list) return;
    list->clear();
    list->push_back(std::to_string(currentPreset_));
    presets_[currentPreset_] = GetVoiceParams();
    for (const auto& preset : presets_)
        list->push_back(FormatVoiceParams(preset));
}

}  // namespace tovrin
