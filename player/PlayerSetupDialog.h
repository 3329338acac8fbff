#pragma once

#include "text/PlayerOptions.h"

#include <cstdint>

class QWidget;

namespace tovrin {

// What a player window needs of its own player options dialog. The dialog calls the window's
// SetupConfirmed when its OK button is pressed.
class PlayerSetupDialog {
  public:
    virtual ~PlayerSetupDialog() = default;
    virtual QWidget* Widget() = 0;
    // Options into the controls and back out of them.
    virtual void WriteControls(const PlayerOptions& options) = 0;
    virtual void ReadControls(PlayerOptions& options) = 0;
    // Cleared while the window loads the controls, so that their change handlers stay quiet.
    virtual void SetReady(bool ready) = 0;
    // The reading type group: its value, and whether it may be changed (not for a dictionary).
    virtual void ShowReadingType(int32_t readingType) = 0;
    virtual void EnableReadingType(bool enabled) = 0;
};

}  // namespace tovrin
