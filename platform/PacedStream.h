#pragma once

#include "platform/WaveClock.h"
#include "platform/WaveDevice.h"

#include <condition_variable>
#include <deque>
#include <memory>
#include <mutex>

namespace tovrin {

// A stream whose "speaker" consumes frames at real-time pace by the wave clock, with at most
// a fifth of a second queued ahead. Frames that have reached the speaker are handed to
// OnPlayed, with the time they began to play, whenever the stream is used; so what a sink
// sees is exactly what was heard: never what was flushed, with breaks where the stream ran
// dry or was paused. The null and recording backends are built on it.
class PacedStream : public PcmStream {
  public:
    PacedStream(const PcmFormat& format, WaveClock& clock, bool keepSamples);
    ~PacedStream() override;
    PacedStream(const PacedStream&) = delete;
    PacedStream& operator=(const PacedStream&) = delete;

    bool Write(const int16_t* samples, size_t frames) override;
    void Pause() override;
    void Resume() override;
    void Flush() override;
    void Drain() override;
    void Abort() override;
    uint64_t FramesPlayed() const override;

  protected:
    // `frames` frames (interleaved, in the stream's format) began to play at `startNs` and
    // played without a break. False stops the stream: every later Write fails.
    virtual bool OnPlayed(const int16_t* samples, size_t frames, int64_t startNs) = 0;
    // Hands over what has played by now; a derived destructor calls it while it can still
    // take the frames. What has not played yet is dropped, as a closed device drops it.
    void FinishPlaying();
    const PcmFormat& format() const { return format_; }

  private:
    struct Timeline;
    void Advance(std::unique_lock<std::mutex>& lock);
    void DropQueued(std::unique_lock<std::mutex>& lock);
    int64_t TimeOfFrame(uint64_t frame) const;

    PcmFormat format_;
    WaveClock& clock_;
    bool keepSamples_;
    uint64_t lead_;
    std::unique_ptr<Timeline> timeline_;  // changed by const FramesPlayed too
};

}  // namespace tovrin
