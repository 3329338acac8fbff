#pragma once

#include "engine/EngineState.h"
#include "engine/SpeechHolder.h"
#include "engine/TalkServ.h"
#include "engine/VoiceParams.h"
#include "text/PlayerOptions.h"

#include <string>

namespace tovrin {

// A font as the settings keep it. Height is in pixels (negative: character height), Size in
// points; Style is a set of bits (1 bold, 2 italic, 4 underline, 8 strike-out); Color is a
// Windows colour integer (negative: a system colour); Charset is kept and decides nothing on
// screen.
struct FontRecord {
    std::string Name;
    int32_t Height = -13;
    int32_t Size = 10;
    int32_t Style = 0;
    int32_t Color = 0;
    int32_t Charset = 204;
    std::string Pitch = "fpDefault";

    bool operator==(const FontRecord&) const = default;
};

// The look the main window's player panel hands to every new player window: the window's
// colour and font, the editor's background colour, its font with the text colour, and the fonts
// for Windows-1251 and DOS-866 documents. Colours are Windows colour integers (0x00BBGGRR;
// negative values name system colours).
struct PlayerAppearance {
    int32_t WindowColor = -2147483633;  // button face
    FontRecord WindowFont{"MS Sans Serif", -11, 8, 0, -2147483640, 1, "fpDefault"};
    int32_t EditorColor = -2147483643;  // window
    FontRecord EditorFont{"Courier New", -13, 10, 1, 0, 204, "fpDefault"};
    FontRecord StyleWin{"Courier New", -13, 10, 1, 0, 204, "fpDefault"};
    FontRecord StyleDos{"Terminal", -19, 14, 0, 0, 255, "fpDefault"};

    bool operator==(const PlayerAppearance&) const = default;
};

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
    // The look of new player windows (the defaults until the main window keeps its own).
    virtual PlayerAppearance GetAppearance() { return {}; }
    // The voice the main window's controller speaks with (the defaults where there is none).
    virtual VoiceParams CurrentVoice() { return {}; }
    // Opens a new, empty player window.
    virtual void NewClient() = 0;
    // Shows an error the way the program shows errors (a box, and "tovrin: <text>" on stderr).
    virtual void ReportError(const std::string& text) = 0;
};

}  // namespace tovrin
