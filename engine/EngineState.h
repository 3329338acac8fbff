#pragma once

namespace tovrin {

class SpeechHolder;

// The engine as the main window's timer sees it every 100 ms.
struct EngineState {
    bool Running = false;
    bool PlayerMode = false;
    SpeechHolder* Holder = nullptr;
    bool Busy = false;
    bool Paused = false;
    bool SpyMode = false;
};

// The answer to a speak request. PlatformError: the text did not reach the engine. ChannelTaken
// is never returned by the controller; the player window has a message for it all the same.
enum class SpeakResult : int {
    Accepted = 0,
    PlatformError = 1,
    NotRunning = 2,
    ChannelTaken = 3,
    PlayerModeOff = 4,
    OtherHolder = 5,
    TooLong = 6,
};

}  // namespace tovrin
