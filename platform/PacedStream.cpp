#include "platform/PacedStream.h"

#include <algorithm>
#include <vector>

namespace tovrin {

namespace {

constexpr int64_t kNsPerSecond = 1'000'000'000;

}  // namespace

// Frame numbers count from the stream's first frame. Frames from `anchorFrame` on play without
// a break from `anchorNs` on, up to `end`, unless paused.
struct PacedStream::Timeline {
    std::mutex mutex;
    std::condition_variable changed;
    uint64_t end = 0;        // after the last queued frame
    uint64_t played = 0;     // frames that have reached the speaker
    uint64_t committed = 0;  // frames handed to OnPlayed
    uint64_t anchorFrame = 0;
    int64_t anchorNs = 0;
    bool paused = false;
    bool failed = false;
    bool aborted = false;
    std::deque<int16_t> pending;  // samples of the frames from `committed` to `end`
};

PacedStream::PacedStream(const PcmFormat& format, WaveClock& clock, bool keepSamples)
    : format_(format),
      clock_(clock),
      keepSamples_(keepSamples),
      lead_(std::max<uint64_t>(1, uint64_t(format.sampleRate) / 5)),
      timeline_(std::make_unique<Timeline>()) {}

PacedStream::~PacedStream() = default;

int64_t PacedStream::TimeOfFrame(uint64_t frame) const {
    const Timeline& t = *timeline_;
    __int128 offset = __int128(frame - t.anchorFrame) * kNsPerSecond;
    return t.anchorNs + int64_t((offset + format_.sampleRate - 1) / format_.sampleRate);
}

// Brings `played` up to the clock and hands the newly played frames on.
void PacedStream::Advance(std::unique_lock<std::mutex>&) {
    Timeline& t = *timeline_;
    if (!t.paused) {
        __int128 elapsed = __int128(clock_.NowNs() - t.anchorNs) * format_.sampleRate;
        uint64_t reached = t.anchorFrame + uint64_t(std::max<__int128>(0, elapsed / kNsPerSecond));
        t.played = std::max(t.played, std::min(t.end, reached));
    }
    if (t.played == t.committed) return;
    size_t frames = size_t(t.played - t.committed);
    size_t count = keepSamples_ ? frames * size_t(format_.channels) : 0;
    std::vector<int16_t> samples(t.pending.begin(), t.pending.begin() + long(count));
    t.pending.erase(t.pending.begin(), t.pending.begin() + long(count));
    int64_t startNs = TimeOfFrame(t.committed);
    t.committed = t.played;
    if (!t.failed && !OnPlayed(samples.data(), frames, startNs)) t.failed = true;
}

bool PacedStream::Write(const int16_t* samples, size_t frames) {
    Timeline& t = *timeline_;
    std::unique_lock lock(t.mutex);
    while (frames > 0) {
        Advance(lock);
        if (t.failed || t.aborted) return false;
        if (!t.paused && t.played == t.end) {
            // The speaker ran dry; it starts again with these frames, now.
            t.anchorFrame = t.end;
            t.anchorNs = clock_.NowNs();
        }
        uint64_t queued = t.end - t.played;
        if (queued < lead_) {
            size_t take = size_t(std::min<uint64_t>(frames, lead_ - queued));
            size_t count = take * size_t(format_.channels);
            if (keepSamples_) t.pending.insert(t.pending.end(), samples, samples + count);
            t.end += take;
            samples += count;
            frames -= take;
            continue;
        }
        // Full: wait until a quarter of the lead (or all that is left) has played.
        uint64_t room = std::min<uint64_t>(frames, std::max<uint64_t>(1, lead_ / 4));
        std::optional<int64_t> deadline;
        if (!t.paused) deadline = TimeOfFrame(t.end - lead_ + room);
        clock_.WaitUntil(lock, t.changed, deadline);
    }
    Advance(lock);
    return !t.failed && !t.aborted;
}

void PacedStream::Pause() {
    Timeline& t = *timeline_;
    std::unique_lock lock(t.mutex);
    Advance(lock);
    t.paused = true;
}

void PacedStream::Resume() {
    Timeline& t = *timeline_;
    std::unique_lock lock(t.mutex);
    if (!t.paused) return;
    t.paused = false;
    t.anchorFrame = t.played;
    t.anchorNs = clock_.NowNs();
    t.changed.notify_all();
}

void PacedStream::Flush() {
    Timeline& t = *timeline_;
    std::unique_lock lock(t.mutex);
    DropQueued(lock);
}

void PacedStream::Abort() {
    Timeline& t = *timeline_;
    std::unique_lock lock(t.mutex);
    t.aborted = true;
    DropQueued(lock);
}

void PacedStream::DropQueued(std::unique_lock<std::mutex>& lock) {
    Timeline& t = *timeline_;
    Advance(lock);
    if (keepSamples_) {
        t.pending.resize(size_t(t.played - t.committed) * size_t(format_.channels));
    }
    t.end = t.played;
    t.changed.notify_all();
}

void PacedStream::Drain() {
    Timeline& t = *timeline_;
    std::unique_lock lock(t.mutex);
    for (;;) {
        Advance(lock);
        if (t.played == t.end || t.failed) return;
        std::optional<int64_t> deadline;
        if (!t.paused) deadline = TimeOfFrame(t.end);
        clock_.WaitUntil(lock, t.changed, deadline);
    }
}

uint64_t PacedStream::FramesPlayed() const {
    Timeline& t = *timeline_;
    std::unique_lock lock(t.mutex);
    // Asking how far the speaker got is also when played frames are handed on.
    const_cast<PacedStream*>(this)->Advance(lock);
    return t.played;
}

void PacedStream::FinishPlaying() {
    Timeline& t = *timeline_;
    std::unique_lock lock(t.mutex);
    Advance(lock);
}

}  // namespace tovrin
