#pragma once

#include "engine/Clock.h"

#include <atomic>
#include <chrono>
#include <thread>

namespace tovrin::test {

// A clock whose time moves only when somebody sleeps on it: every Sleep() advances it at once
// by the requested pause, so a wait with a deadline ends after a known number of polls
// without taking real time. Counts the sleeps, so a test can see that a waiter is waiting.
class FakeClock final : public Clock {
  public:
    TimePoint Now() const override { return TimePoint(std::chrono::nanoseconds(now_.load())); }

    void Sleep(std::chrono::milliseconds duration) override {
        now_ += std::chrono::nanoseconds(duration).count();
        ++sleeps_;
        std::this_thread::yield();  // lets a fake engine thread answer between polls
    }

    void Advance(std::chrono::milliseconds duration) {
        now_ += std::chrono::nanoseconds(duration).count();
    }
    long Sleeps() const { return sleeps_; }

    // Returns once `count` more sleeps have happened than `since`.
    void AwaitSleeps(long since, long count) const {
        while (sleeps_ < since + count)
            std::this_thread::yield();
    }

  private:
    std::atomic<int64_t> now_{int64_t{1} << 40};
    std::atomic<long> sleeps_{0};
};

}  // namespace tovrin::test
