#pragma once

#include "main/MediaControl.h"
#include "main/PlayerFactory.h"

#include <functional>

namespace tovrin {

class PlayerHost;

// The media commands acted out on a player window: the one that holds the engine, else the
// active one, else the one opened last. Without a player window only Raise does something: it
// shows the main window.
class PlayerMediaControl final : public MediaControl {
  public:
    PlayerMediaControl(PlayerHost& host, const PlayerFactory& players,
                       std::function<void()> showMainWindow);

    void Play() override;
    void Pause() override;
    void PlayPause() override;
    void Stop() override;
    void Next() override;
    void Previous() override;
    void Raise() override;
    MediaStatus Status() override;

    // The window the commands act on; none when no player window is open.
    PlayerWindow* Target() const;

  private:
    PlayerHost& host_;
    const PlayerFactory& players_;
    std::function<void()> showMainWindow_;
};

}  // namespace tovrin
