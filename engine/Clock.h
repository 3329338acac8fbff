#pragma once

#include <chrono>

namespace tovrin {

// Time as the controller's bounded waits see it. Tests substitute a clock that advances by
// itself, so the 1 s and 120 s deadlines pass without waiting.
class Clock {
  public:
    using TimePoint = std::chrono::steady_clock::time_point;

    virtual ~Clock() = default;
    virtual TimePoint Now() const = 0;
    // The pause between two polls of a wait. Safe from any thread.
    virtual void Sleep(std::chrono::milliseconds duration) = 0;
};

class SystemClock final : public Clock {
  public:
    TimePoint Now() const override;
    void Sleep(std::chrono::milliseconds duration) override;

    // Stateless, so one instance serves every controller.
    static SystemClock& Instance();
};

}  // namespace tovrin
