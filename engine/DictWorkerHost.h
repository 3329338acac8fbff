#pragma once

#include "platform/WaveDevice.h"

#include <cstdint>
#include <string>
#include <vector>

namespace tovrin {

// What the dictionary worker needs from its controller. Every call may come from the
// worker's own thread.
class DictWorkerHost {
  public:
    virtual ~DictWorkerHost() = default;
    virtual bool IsSpeaking() = 0;
    virtual bool SendText(const std::string& text) = 0;
    virtual bool IsDictionaryPaused() const = 0;
    // False once the engine's window has gone.
    virtual bool IsEngineAlive() = 0;
    // Plays a RIFF/WAVE image and returns once it has played, or at once when `cancel` is
    // cancelled; false when playing failed.
    virtual bool PlayFragment(const std::vector<uint8_t>& image, WaveCancel& cancel) = 0;
    // The short pause between two polls of a wait.
    virtual void PausePoll() = 0;
};

}  // namespace tovrin
