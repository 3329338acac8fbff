#pragma once

#include "platform/WaveClock.h"

#include <atomic>

namespace tovrin {

// A clock that stands still until advanced; a wait with a deadline moves it to the deadline
// at once, as if the time had passed.
class ManualWaveClock : public WaveClock {
  public:
    explicit ManualWaveClock(int64_t startNs = 1'000'000'000'000) : now_(startNs) {}
    int64_t NowNs() override { return now_.load(); }
    void WaitUntil(std::unique_lock<std::mutex>& lock, std::condition_variable& condition,
                   std::optional<int64_t> deadlineNs) override {
        if (!deadlineNs) {
            condition.wait(lock);
            return;
        }
        int64_t now = now_.load();
        while (now < *deadlineNs && !now_.compare_exchange_weak(now, *deadlineNs)) {
        }
    }
    void Advance(int64_t ns) { now_ += ns; }

  private:
    std::atomic<int64_t> now_;
};

}  // namespace tovrin
