#pragma once

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <optional>

namespace tovrin {

// The time the wave device paces and records by: nanoseconds of the system's real-time
// clock, which every process of the user shares (a recording's end is stored as a file time).
// Tests install a clock that stands still so that playing takes no real time.
class WaveClock {
  public:
    virtual ~WaveClock() = default;
    virtual int64_t NowNs() = 0;
    // Waits on `condition` (with `lock` held by the caller) until it is notified or the
    // deadline passes; without a deadline only a notification ends the wait.
    virtual void WaitUntil(std::unique_lock<std::mutex>& lock, std::condition_variable& condition,
                           std::optional<int64_t> deadlineNs) = 0;
};

// The clock streams opened from now on use; nullptr restores the system clock.
void InstallWaveClock(WaveClock* clock);
WaveClock& CurrentWaveClock();

}  // namespace tovrin
