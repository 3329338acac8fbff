#pragma once

#include "engine/DictWorkerHost.h"
#include "tests/engine/FakeClock.h"

#include <atomic>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace tovrin::test {

// Stands in for the controller under a dictionary worker: records what the worker says and
// plays, and lets the test hold the "engine" speaking and set the pause flag.
class RecordingWorkerHost : public DictWorkerHost {
  public:
    std::atomic<bool> speaking{false};
    // When set, every text sent keeps the engine speaking until the test clears `speaking`.
    std::atomic<bool> holdSpeech{false};
    std::atomic<bool> paused{false};
    std::atomic<bool> playSucceeds{true};
    std::atomic<bool> engineAlive{true};
    FakeClock clock;

    bool IsSpeaking() override { return speaking; }
    bool SendText(const std::string& text) override {
        if (holdSpeech) speaking = true;  // before the record, which the test waits for
        Record("say:" + text);
        return true;
    }
    bool IsDictionaryPaused() const override { return paused; }
    bool IsEngineAlive() override { return engineAlive; }
    bool PlayFragment(const std::vector<uint8_t>& image, WaveCancel&) override {
        {
            std::lock_guard lock(mutex_);
            lastImage_ = image;
        }
        Record("play:" + std::to_string(image.size()));
        return playSucceeds;
    }
    void PausePoll() override { clock.Sleep(std::chrono::milliseconds(1)); }

    std::vector<std::string> Events() const {
        std::lock_guard lock(mutex_);
        return events_;
    }
    std::vector<uint8_t> LastImage() const {
        std::lock_guard lock(mutex_);
        return lastImage_;
    }
    void AwaitEvents(size_t count) const {
        EXPECT_TRUE(Eventually([&] { return Events().size() >= count; }))
            << "only " << Events().size() << " of " << count << " events came";
    }

  private:
    void Record(const std::string& event) {
        std::lock_guard lock(mutex_);
        events_.push_back(event);
    }

    mutable std::mutex mutex_;
    std::vector<std::string> events_;
    std::vector<uint8_t> lastImage_;
};

}  // namespace tovrin::test
