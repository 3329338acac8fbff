#pragma once

#include <string>

namespace tovrin {

// What the desktop's media controls see of the reading: whether it plays, what it reads and
// which commands make sense now.
struct MediaStatus {
    enum class Playback { Stopped, Playing, Paused };
    Playback State = Playback::Stopped;
    std::string Title;   // the document's name or the book's title (UTF-8)
    std::string Artist;  // the author where known (UTF-8)
    bool CanPlay = false;
    bool CanPause = false;
    bool CanGoNext = false;
    bool CanGoPrevious = false;

    bool operator==(const MediaStatus&) const = default;
};

// The reading that media keys, headset buttons and the desktop's media applet act on: the
// player window that holds the engine, or else the active one. The main window implements
// it; the media service only forwards to it.
class MediaControl {
  public:
    virtual ~MediaControl() = default;
    virtual void Play() = 0;
    virtual void Pause() = 0;
    virtual void PlayPause() = 0;
    virtual void Stop() = 0;
    // Moves one paragraph and goes on reading.
    virtual void Next() = 0;
    virtual void Previous() = 0;
    // Shows the window the reading happens in.
    virtual void Raise() = 0;
    virtual MediaStatus Status() = 0;
};

}  // namespace tovrin
