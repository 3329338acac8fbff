#include "engine/Clock.h"

#include <thread>

namespace tovrin {

Clock::TimePoint SystemClock::Now() const {
    return std::chrono::steady_clock::now();
}

void SystemClock::Sleep(std::chrono::milliseconds duration) {
    std::this_thread::sleep_for(duration);
}

SystemClock& SystemClock::Instance() {
    static SystemClock clock;
    return clock;
}

}  // namespace tovrin
