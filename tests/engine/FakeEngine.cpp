#include "tests/engine/FakeEngine.h"

#include "platform/EngineContract.h"
#include "text/CodePages.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <future>

namespace tovrin::test {

namespace {

// The captions are kept as bytes; they must be the Russian words.
static_assert(kEngineCaptionTalk == W1251("Говорить").view());
static_assert(kEngineCaptionStop == W1251("Стоп").view());
static_assert(kEngineCaptionPause == W1251("Пауза").view());
static_assert(kEngineCaptionResume == W1251("Продолжить").view());

// Only a broken build waits this long for the engine's own thread. The stand-in also serves
// the fake engine program, which has no test framework: an overrun is reported and ends the
// program at once, rather than hanging it until CTest's time-out.
constexpr auto kPatience = std::chrono::seconds(20);

[[noreturn]] void GiveUp(const char* what) {
    std::fprintf(stderr, "fake engine: gave up waiting for %s\n", what);
    std::abort();
}

template <typename Ready>
void Await(std::condition_variable& changed, std::unique_lock<std::mutex>& lock, Ready ready,
           const char* what) {
    if (!changed.wait_for(lock, kPatience, ready)) GiveUp(what);
}

}  // namespace

FakeEngine::FakeEngine(std::string talkCaption, std::string pauseCaption, bool speakAtOnce) {
    this->speakAtOnce = speakAtOnce;
    ui_ = std::thread([this, talkCaption, pauseCaption] { RunUi(talkCaption, pauseCaption); });
    std::unique_lock lock(mutex_);
    Await(
        changed_, lock, [this] { return ready_; }, "its windows");
}

FakeEngine::~FakeEngine() {
    dispatcher_->Quit();
    ui_.join();
    ownDispatcher_.reset();  // only now: Quit() may still be waking the finished loop
}

void FakeEngine::RunUi(std::string talkCaption, std::string pauseCaption) {
    ownDispatcher_ = std::make_unique<PlainDispatcher>();  // this thread is its UI thread
    PlainDispatcher& dispatcher = *ownDispatcher_;
    DesktopHost host(dispatcher);
    dispatcher_ = &dispatcher;
    host_ = &host;

    const bool english =
        talkCaption == kEngineCaptionTalkEnglish || talkCaption == kEngineCaptionStopEnglish;
    talkIdle_ = english ? kEngineCaptionTalkEnglish : kEngineCaptionTalk;
    talkBusy_ = english ? kEngineCaptionStopEnglish : kEngineCaptionStop;
    const bool englishPause =
        pauseCaption == kEngineCaptionPauseEnglish || pauseCaption == kEngineCaptionResumeEnglish;
    pauseIdle_ = englishPause ? kEngineCaptionPauseEnglish : kEngineCaptionPause;
    pauseHeld_ = englishPause ? kEngineCaptionResumeEnglish : kEngineCaptionResume;

    main_ = host.CreateWindow(kEngineWindowClass, "Fake engine", kNoWindow, false,
                              [this](WindowHandle, uint32_t message, uint64_t wParam,
                                     const std::string&) { return HandleMain(message, wParam); });
    pane_ = host.CreateWindow(kEnginePaneClass, "", main_, true);
    edit_ = host.CreateWindow(
        kEngineEditClass, "", pane_, true,
        [this](WindowHandle, uint32_t message, uint64_t, const std::string& text) -> int64_t {
            if (message == WM_SETTEXT) Record([&] { texts_.push_back(text); });
            return 1;
        });
    progress_ = host.CreateWindow(kEngineProgressClass, "", pane_, true);
    talk_ = host.CreateWindow(kEngineButtonClass, talkCaption.empty() ? talkIdle_ : talkCaption,
                              pane_, true);
    pause_ = host.CreateWindow(kEngineButtonClass, pauseCaption.empty() ? pauseIdle_ : pauseCaption,
                               pane_, true);
    {
        std::lock_guard lock(mutex_);
        ready_ = true;
    }
    changed_.notify_all();
    dispatcher.Run();
    host_ = nullptr;
}

void FakeEngine::OnHost(std::function<void()> task) {
    std::promise<void> done;
    dispatcher_->Post([&] {
        task();
        done.set_value();
    });
    if (done.get_future().wait_for(kPatience) != std::future_status::ready) GiveUp("its UI thread");
}

void FakeEngine::Record(std::function<void()> change) {
    {
        std::lock_guard lock(mutex_);
        change();
    }
    changed_.notify_all();
}

int64_t FakeEngine::HandleMain(uint32_t message, uint64_t wParam) {
    if (message == WM_DESTROY) {
        host_->DestroyWindow(main_);
        destroyed_ = true;
        Record([] {});
        return 0;
    }
    if (message != WM_COMMAND) return 0;
    if (wParam == kCommandTalk) {
        if (host_->Caption(talk_) == talkIdle_) {
            StartSpeech();
        } else if (obeyStop) {
            StopSpeech();
        }
    } else if (wParam == kCommandPause && obeyPause && host_->Caption(talk_) == talkBusy_) {
        const bool held = host_->Caption(pause_) == pauseHeld_;
        host_->SetCaption(pause_, held ? pauseIdle_ : pauseHeld_);
    }
    // Recorded once handled, so a test that sees the command also sees its effect.
    Record([&] { commands_.push_back(wParam); });
    return 0;
}

void FakeEngine::StartSpeech() {
    const auto length = static_cast<int32_t>(host_->Caption(edit_).size());
    if (length == 0 || speakAtOnce) return;
    host_->SetCaption(talk_, talkBusy_);
    host_->SetScrollInfo(progress_, {0, length, 0});
}

void FakeEngine::StopSpeech() {
    host_->SetCaption(talk_, talkIdle_);
    host_->SetCaption(pause_, pauseIdle_);
    host_->SetScrollInfo(progress_, {0, 0, 0});
}

std::vector<uint64_t> FakeEngine::Commands() const {
    std::lock_guard lock(mutex_);
    return commands_;
}

size_t FakeEngine::CountCommand(uint64_t command) const {
    const auto commands = Commands();
    return static_cast<size_t>(std::count(commands.begin(), commands.end(), command));
}

std::vector<std::string> FakeEngine::Texts() const {
    std::lock_guard lock(mutex_);
    return texts_;
}

void FakeEngine::AwaitCommands(size_t count) {
    std::unique_lock lock(mutex_);
    Await(
        changed_, lock, [&] { return commands_.size() >= count; }, "commands");
}

void FakeEngine::ClearRecords() {
    std::lock_guard lock(mutex_);
    commands_.clear();
    texts_.clear();
}

bool FakeEngine::Speaking() const {
    return desktop::GetWindowText(talk_) == talkBusy_;
}

bool FakeEngine::Paused() const {
    return desktop::GetWindowText(pause_) == pauseHeld_;
}

void FakeEngine::FinishSpeech() {
    OnHost([this] { StopSpeech(); });
}

void FakeEngine::SetTalkCaption(const std::string& caption) {
    OnHost([&] { host_->SetCaption(talk_, caption); });
}

void FakeEngine::SetProgress(const ScrollInfo& info) {
    OnHost([&] { host_->SetScrollInfo(progress_, info); });
}

void FakeEngine::Vanish() {
    OnHost([this] {
        if (!destroyed_) host_->DestroyWindow(main_);
        destroyed_ = true;
    });
    Record([] {});
}

void FakeEngine::DestroyControl(WindowHandle control) {
    OnHost([&] { host_->DestroyWindow(control); });
}

void FakeEngine::WaitUntilDestroyed() {
    std::unique_lock lock(mutex_);
    Await(
        changed_, lock, [this] { return destroyed_.load(); }, "its window's end");
}

}  // namespace tovrin::test
