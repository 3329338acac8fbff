#pragma once

#include <chrono>

#include "platform/WaveDevice.h"

namespace tovrin {

// A sink without a device that still keeps time: samples are "played" at the real rate, so
// pauses, progress and the end of speech behave as with a sound card. The engine falls back
// to it when the wave device cannot be opened.
class ClockStream : public PcmStream {
  public:
    explicit ClockStream(int sampleRate);

    bool Write(const int16_t* samples, size_t frames) override;
    void Pause() override;
    void Resume() override;
    void Flush() override;
    void Drain() override;
    uint64_t FramesPlayed() const override;

  private:
    using Clock = std::chrono::steady_clock;
    uint64_t PlayedAt(Clock::time_point now) const;

    int sampleRate_;
    uint64_t written_ = 0;
    uint64_t playedBefore_ = 0;  // frames played up to runningSince_
    Clock::time_point runningSince_;
    bool running_ = false;
    bool paused_ = false;
};

}  // namespace tovrin
