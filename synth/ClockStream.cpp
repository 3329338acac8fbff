#include "synth/ClockStream.h"

#include <algorithm>
#include <thread>

namespace tovrin {

namespace {
// How far writing may run ahead of playing, like a sound card's buffer.
constexpr std::chrono::milliseconds kBufferAhead{200};
}  // namespace

ClockStream::ClockStream(int sampleRate) : sampleRate_(sampleRate) {}

uint64_t ClockStream::PlayedAt(Clock::time_point now) const {
    if (!running_ || paused_) return playedBefore_;
    const auto elapsed = std::chrono::duration_cast<std::chrono::microseconds>(now - runningSince_);
    const auto frames = static_cast<uint64_t>(elapsed.count()) * sampleRate_ / 1'000'000;
    return std::min(written_, playedBefore_ + frames);
}

bool ClockStream::Write(const int16_t*, size_t frames) {
    auto now = Clock::now();
    // After an underrun the clock starts again from the new samples.
    if (!running_ || PlayedAt(now) >= written_) {
        playedBefore_ = written_;
        runningSince_ = now;
        running_ = true;
    }
    written_ += frames;
    const auto ahead = static_cast<uint64_t>(kBufferAhead.count()) * sampleRate_ / 1000;
    while (!paused_ && written_ > PlayedAt(now) + ahead) {
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
        now = Clock::now();
    }
    return true;
}

void ClockStream::Pause() {
    if (paused_) return;
    playedBefore_ = PlayedAt(Clock::now());
    paused_ = true;
}

void ClockStream::Resume() {
    if (!paused_) return;
    paused_ = false;
    runningSince_ = Clock::now();
}

void ClockStream::Flush() {
    playedBefore_ = PlayedAt(Clock::now());
    written_ = playedBefore_;
    running_ = false;
}

void ClockStream::Drain() {
    while (!paused_ && PlayedAt(Clock::now()) < written_)
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
}

uint64_t ClockStream::FramesPlayed() const {
    return PlayedAt(Clock::now());
}

}  // namespace tovrin
