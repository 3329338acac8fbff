#include "platform/WaveClock.h"

#include <time.h>

#include <chrono>

namespace tovrin {

namespace {

class SystemWaveClock : public WaveClock {
  public:
    int64_t NowNs() override {
        timespec now{};
        clock_gettime(CLOCK_REALTIME, &now);
        return int64_t(now.tv_sec) * 1'000'000'000 + now.tv_nsec;
    }
    void WaitUntil(std::unique_lock<std::mutex>& lock, std::condition_variable& condition,
                   std::optional<int64_t> deadlineNs) override {
        if (!deadlineNs) {
            condition.wait(lock);
            return;
        }
        std::chrono::system_clock::time_point deadline(
            std::chrono::duration_cast<std::chrono::system_clock::duration>(
                std::chrono::nanoseconds(*deadlineNs)));
        condition.wait_until(lock, deadline);
    }
};

std::atomic<WaveClock*>& Installed() {
    static std::atomic<WaveClock*> clock{nullptr};
    return clock;
}

}  // namespace

void InstallWaveClock(WaveClock* clock) {
    Installed().store(clock);
}

WaveClock& CurrentWaveClock() {
    static SystemWaveClock system;
    WaveClock* installed = Installed().load();
    return installed ? *installed : system;
}

}  // namespace tovrin
