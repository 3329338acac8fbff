#pragma once

#include "dialogs/TalkOpt.h"
#include "player/PlayerSetupDialog.h"

#include <memory>
#include <string>

namespace tovrin {

class TFrmView;

// A player window's own options dialog: TFrmSetup behind what the window needs of it. OK
// applies the dialog to the window; closing the dialog releases the window's setup button;
// the calculate button analyses the window's document.
class PlayerSetup final : public PlayerSetupDialog, private SetupOwner {
  public:
    explicit PlayerSetup(TFrmView& view);
    ~PlayerSetup() override;
    PlayerSetup(const PlayerSetup&) = delete;
    PlayerSetup& operator=(const PlayerSetup&) = delete;

    QWidget* Widget() override;
    void WriteControls(const PlayerOptions& options) override;
    void ReadControls(PlayerOptions& options) override;
    void SetReady(bool ready) override;
    void ShowReadingType(int32_t readingType) override;
    void EnableReadingType(bool enabled) override;

  private:
    void SetupConfirmed() override;
    void SetupClosed() override;
    const char* SetupText() override;
    void SetupError(const std::string& text) override;

    TFrmView& view_;
    std::unique_ptr<TFrmSetup> dialog_;
};

}  // namespace tovrin
