#pragma once

#include "engine/Clock.h"
#include "tests/platform/Eventually.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <functional>
#include <thread>
#include <utility>

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
        if (action_ && Now() > actionTime_) std::exchange(action_, nullptr)();
        std::this_thread::yield();  // lets a fake engine thread answer between polls
    }

    // Runs `action` inside the first sleep that ends later than `when`, on the sleeping
    // thread, so that a waiter sees its effect exactly at that moment. Set it before the wait.
    void At(TimePoint when, std::function<void()> action) {
        actionTime_ = when;
        action_ = std::move(action);
    }

    void Advance(std::chrono::milliseconds duration) {
        now_ += std::chrono::nanoseconds(duration).count();
    }
    long Sleeps() const { return sleeps_; }

    // Returns once `count` more sleeps have happened than `since`.
    void AwaitSleeps(long since, long count) const {
        EXPECT_TRUE(Eventually([&] { return sleeps_ >= since + count; }))
            << "the clock slept " << sleeps_ << " times, not " << since + count;
    }

  private:
    std::atomic<int64_t> now_{int64_t{1} << 40};
    std::atomic<long> sleeps_{0};
    TimePoint actionTime_{};
    std::function<void()> action_;
};

}  // namespace tovrin::test
