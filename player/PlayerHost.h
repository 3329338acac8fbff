#pragma once

#include "engine/EngineState.h"
#include "engine/SpeechHolder.h"
#include "engine/TalkServ.h"
#include "text/PlayerOptions.h"

#include <string>

namespace tovrin {

// What a player window needs of the main window: the engine operations it forwards to the
// controller unchanged, the speak request dispatch, the reading options that new player
// windows take, a new empty player window, and the one error report. The main window
// implements it; player tests use a fake.
class PlayerHost {
  public:
    virtual ~PlayerHost() = default;

    virtual void AcquireEngine(SpeechHolder* window) = 0;
    virtual void ReleaseEngine() = 0;
    virtual bool StopSpeech() = 0;
    virtual bool IsPaused() = 0;
    virtual void SetPaused(bool on) = 0;
    virtual SpeechHolder* GetHolder() = 0;
    virtual ProgressInfo GetProgress() = 0;
    // Hands a portion (plain text or a dictionary request) to the controller.
    virtual SpeakResult SpeakRequest(const std::string& text, SpeechHolder* window) = 0;

    // Fills `options` with the reading options the main window keeps for new player windows.
    virtual void GetTextOptions(PlayerOptions& options) = 0;
    // The player panel's AutoCalc check box: a loaded text gets the full analysis when set.
    virtual bool AutoCalc() { return false; }
    // Opens a new, empty player window.
    virtual void NewClient() = 0;
    // Shows an error the way the program shows errors (a box, and "tovrin: <text>" on stderr).
    virtual void ReportError(const std::string& text) = 0;
};

}  // namespace tovrin
