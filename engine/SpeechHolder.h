#pragma once

#include "engine/EngineState.h"

namespace tovrin {

// A window on whose behalf the engine speaks: a player window or a phrase field of the main
// window. The controller only compares holders and tells a player window that lost the
// engine.
class SpeechHolder {
  public:
    virtual ~SpeechHolder() = default;
    virtual bool IsPlayerWindow() const = 0;
    // The player window's poll step; a no-op for other holders.
    virtual void PlayerPoll(const EngineState& state) = 0;
};

}  // namespace tovrin
