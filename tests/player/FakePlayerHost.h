#pragma once

#include "player/PlayerHost.h"

#include <string>
#include <vector>

namespace tovrin::test {

// The main window and the engine as a player window sees them: a speaking engine that keeps
// speaking until the test lets it finish, and the 100 ms tick run by hand.
class FakePlayerHost : public PlayerHost {
  public:
    EngineState State() const {
        EngineState state;
        state.Running = running;
        state.PlayerMode = playerMode;
        state.Holder = holder;
        state.Busy = busy;
        state.Paused = paused;
        state.SpyMode = spyMode;
        return state;
    }

    // One tick of the main window's timer.
    void Tick() {
        if (holder != nullptr && holder->IsPlayerWindow()) holder->PlayerPoll(State());
    }

    void AcquireEngine(SpeechHolder* window) override {
        if (holder != nullptr && holder->IsPlayerWindow()) {
            EngineState state = State();
            state.Holder = window;
            holder->PlayerPoll(state);
        }
        StopSpeech();
        playerMode = true;
        spyMode = false;
        holder = window;
    }
    void ReleaseEngine() override {
        StopSpeech();
        holder = nullptr;
        ++releases;
    }
    bool StopSpeech() override {
        const bool was = busy;
        busy = false;
        return was;
    }
    bool IsPaused() override { return paused; }
    void SetPaused(bool on) override { paused = on && busy; }
    SpeechHolder* GetHolder() override { return holder; }
    ProgressInfo GetProgress() override { return busy ? progress : ProgressInfo{}; }

    SpeakResult SpeakRequest(const std::string& text, SpeechHolder* window) override {
        if (forcedResult != SpeakResult::Accepted) return forcedResult;
        if (!running) return SpeakResult::NotRunning;
        if (!playerMode) return SpeakResult::PlayerModeOff;
        if (holder != nullptr && holder != window) return SpeakResult::OtherHolder;
        // The main window's routing: a dictionary request goes to the dictionary worker.
        if (text.rfind("{TALKSERVCMD}\r\n{IntelDictionary}", 0) == 0)
            dictionaryRequests.push_back(text);
        else
            spoken.push_back(text);
        busy = true;
        return SpeakResult::Accepted;
    }

    void GetTextOptions(PlayerOptions& options) override { options.ReadingType = readingType; }
    bool AutoCalc() override { return autoCalc; }
    void NewClient() override {}
    void ReportError(const std::string& text) override { errors.push_back(text); }

    bool running = true;
    bool playerMode = false;
    bool spyMode = false;
    bool busy = false;
    bool paused = false;
    SpeechHolder* holder = nullptr;
    ProgressInfo progress;
    SpeakResult forcedResult = SpeakResult::Accepted;
    int32_t readingType = 0;
    bool autoCalc = false;
    int releases = 0;
    std::vector<std::string> spoken;
    std::vector<std::string> dictionaryRequests;
    std::vector<std::string> errors;
};

}  // namespace tovrin::test
