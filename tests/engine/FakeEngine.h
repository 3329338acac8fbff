#pragma once

#include "platform/Desktop.h"
#include "platform/DesktopHost.h"
#include "platform/Dispatcher.h"

#include <atomic>
#include <condition_variable>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace tovrin::test {

// An engine window on the desktop, hosted by this process on a UI thread of its own: the
// window class, pane and controls the controller looks for, behaving like the engine for
// commands 301, 302 and 304 and WM_DESTROY, and recording everything it receives. The test
// decides when a text has been spoken (FinishSpeech) and may make the engine deaf to stop
// and pause requests.
class FakeEngine {
  public:
    // `talkCaption` and `pauseCaption`: the idle captions the buttons start with
    // (Windows-1251); empty for the Russian ones. `speakAtOnce` holds from the first message.
    explicit FakeEngine(std::string talkCaption = {}, std::string pauseCaption = {},
                        bool speakAtOnce = false);
    ~FakeEngine();
    FakeEngine(const FakeEngine&) = delete;
    FakeEngine& operator=(const FakeEngine&) = delete;

    std::atomic<bool> obeyStop{true};
    std::atomic<bool> obeyPause{true};
    // When set, every text is spoken at once: the engine never shows itself busy.
    std::atomic<bool> speakAtOnce{false};

    WindowHandle Main() const { return main_; }
    WindowHandle Pane() const { return pane_; }
    WindowHandle Edit() const { return edit_; }
    WindowHandle Progress() const { return progress_; }
    WindowHandle Talk() const { return talk_; }
    WindowHandle Pause() const { return pause_; }

    // WM_COMMAND numbers received by the main window, in order.
    std::vector<uint64_t> Commands() const;
    size_t CountCommand(uint64_t command) const;
    // Texts set into the edit box, in order.
    std::vector<std::string> Texts() const;
    void ClearRecords();
    // Blocks until the main window has handled `count` commands.
    void AwaitCommands(size_t count);

    bool Speaking() const;
    bool Paused() const;
    // The current text has been spoken: the talk caption and the progress bar go back.
    void FinishSpeech();
    void SetTalkCaption(const std::string& caption);
    void SetProgress(const ScrollInfo& info);
    // The engine's window disappears, as when it is closed from outside.
    void Vanish();
    // One of the engine's controls disappears, as in a broken engine.
    void DestroyControl(WindowHandle control);
    bool Destroyed() const { return destroyed_; }
    // Blocks until the window has received WM_DESTROY or vanished.
    void WaitUntilDestroyed();

  private:
    void RunUi(std::string talkCaption, std::string pauseCaption);
    void OnHost(std::function<void()> task);
    int64_t HandleMain(uint32_t message, uint64_t wParam);
    void StartSpeech();
    void StopSpeech();
    void Record(std::function<void()> change);

    std::thread ui_;
    std::unique_ptr<PlainDispatcher> ownDispatcher_;
    PlainDispatcher* dispatcher_ = nullptr;
    DesktopHost* host_ = nullptr;
    WindowHandle main_ = kNoWindow, pane_ = kNoWindow, edit_ = kNoWindow;
    WindowHandle progress_ = kNoWindow, talk_ = kNoWindow, pause_ = kNoWindow;
    std::string talkIdle_, talkBusy_, pauseIdle_, pauseHeld_;

    mutable std::mutex mutex_;
    std::condition_variable changed_;
    bool ready_ = false;
    std::atomic<bool> destroyed_{false};
    std::vector<uint64_t> commands_;
    std::vector<std::string> texts_;
};

}  // namespace tovrin::test
