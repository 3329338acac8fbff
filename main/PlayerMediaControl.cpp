#include "main/PlayerMediaControl.h"

#include "player/PlayerHost.h"

#include <algorithm>

namespace tovrin {

PlayerMediaControl::PlayerMediaControl(PlayerHost& host, const PlayerFactory& players,
                                       std::function<void()> showMainWindow)
    : host_(host), players_(players), showMainWindow_(std::move(showMainWindow)) {}

PlayerWindow* PlayerMediaControl::Target() const {
    const std::vector<PlayerWindow*> open = players_.OpenPlayers();
    if (open.empty()) return nullptr;
    SpeechHolder* holder = host_.GetHolder();
    const auto holding = std::find_if(open.begin(), open.end(), [holder](PlayerWindow* window) {
        return holder != nullptr && window->Holder() == holder;
    });
    if (holding != open.end()) return *holding;
    const auto active = std::find_if(open.begin(), open.end(),
                                     [](PlayerWindow* window) { return window->IsActive(); });
    return active != open.end() ? *active : open.back();
}

void PlayerMediaControl::Play() {
    PlayerWindow* window = Target();
    if (!window) return;
    const PlayerReading reading = window->Reading();
    if (reading.Paused)
        window->PauseReading(false);
    else if (!reading.Reading && reading.HasText)
        window->ClickPlay();
}

void PlayerMediaControl::Pause() {
    PlayerWindow* window = Target();
    if (window && window->Reading().Reading) window->PauseReading(true);
}

void PlayerMediaControl::PlayPause() {
    PlayerWindow* window = Target();
    if (!window) return;
    const PlayerReading reading = window->Reading();
    if (reading.Reading && !reading.Paused)
        window->PauseReading(true);
    else
        Play();
}

void PlayerMediaControl::Stop() {
    if (PlayerWindow* window = Target()) window->StopReading();
}

void PlayerMediaControl::Next() {
    PlayerWindow* window = Target();
    if (window && window->Reading().HasText) window->ReadNextParagraph(true);
}

void PlayerMediaControl::Previous() {
    PlayerWindow* window = Target();
    if (window && window->Reading().HasText) window->ReadNextParagraph(false);
}

void PlayerMediaControl::Raise() {
    if (PlayerWindow* window = Target())
        window->Raise();
    else if (showMainWindow_)
        showMainWindow_();
}

MediaStatus PlayerMediaControl::Status() {
    MediaStatus status;
    const PlayerWindow* window = Target();
    if (!window) return status;
    const PlayerReading reading = window->Reading();
    status.State = reading.Paused    ? MediaStatus::Playback::Paused
                   : reading.Reading ? MediaStatus::Playback::Playing
                                     : MediaStatus::Playback::Stopped;
    status.Title = reading.Title;
    status.Artist = reading.Author;
    status.CanPlay = reading.HasText;
    status.CanPause = reading.Reading;
    status.CanGoNext = reading.HasText;
    status.CanGoPrevious = reading.HasText;
    return status;
}

}  // namespace tovrin
