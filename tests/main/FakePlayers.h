#pragma once

#include "engine/SpeechHolder.h"
#include "main/PlayerFactory.h"

#include <algorithm>
#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace tovrin::test {

// A player window that records what the main window asks of it.
class FakePlayer : public PlayerWindow, public SpeechHolder {
  public:
    bool LoadText(const std::string& fileName) override {
        loaded.push_back(fileName);
        return loadSucceeds;
    }
    void ClickPlay() override { ++plays; }
    void EditorFocus() override { ++focused; }
    bool IsShownNormally() const override { return shownNormally; }
    SpeechHolder* Holder() override { return this; }
    bool HasUnsavedChanges() const override { return modified; }
    bool ConfirmClose() override {
        ++closeQuestions;
        return mayClose;
    }
    PlayerReading Reading() const override { return reading; }
    void PauseReading(bool down) override {
        commands.push_back(down ? "pause" : "resume");
        reading.Paused = reading.Reading && down;
    }
    void StopReading() override {
        commands.push_back("stop");
        reading.Reading = reading.Paused = false;
    }
    void ReadNextParagraph(bool forward) override {
        commands.push_back(forward ? "next" : "previous");
        reading.Reading = true;
        reading.Paused = false;
    }
    void Raise() override { commands.push_back("raise"); }
    bool IsActive() const override { return active; }
    bool IsPlayerWindow() const override { return true; }
    void PlayerPoll(const EngineState&) override {
        ++polls;
        if (onPoll) onPoll();
    }

    std::vector<std::string> loaded;
    bool loadSucceeds = true;
    int plays = 0;
    int focused = 0;
    int polls = 0;
    bool shownNormally = true;
    bool mayClose = true;
    bool modified = false;
    int closeQuestions = 0;
    PlayerReading reading;
    bool active = false;
    std::vector<std::string> commands;  // the media commands, in order
    std::function<void()> onPoll;
};

class FakePlayers : public PlayerFactory {
  public:
    PlayerWindow* CreatePlayer() override {
        windows_.push_back(std::make_unique<FakePlayer>());
        return windows_.back().get();
    }
    std::vector<PlayerWindow*> OpenPlayers() const override {
        std::vector<PlayerWindow*> open;
        for (const auto& window : windows_)
            open.push_back(window.get());
        return open;
    }
    void CloseAll() override {
        while (!windows_.empty())
            Close(windows_.front().get());
    }
    void SetClosingHandler(ClosingHandler handler) override { closing_ = std::move(handler); }

    // The user closes one window.
    void Close(FakePlayer* window) {
        if (closing_) closing_(*window);
        std::erase_if(windows_, [&](const auto& open) { return open.get() == window; });
    }
    size_t Count() const { return windows_.size(); }
    FakePlayer& At(size_t index) { return *windows_.at(index); }
    FakePlayer& Last() { return *windows_.back(); }

  private:
    std::vector<std::unique_ptr<FakePlayer>> windows_;
    ClosingHandler closing_;
};

}  // namespace tovrin::test
