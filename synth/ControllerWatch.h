#pragma once

#include <chrono>
#include <functional>
#include <optional>
#include <string_view>

namespace tovrin {

// Ends an engine program that a controller started once no live controller is left in the
// controllers' record, so that an engine whose controller was killed does not run for ever.
// It waits a grace period first: a controller that starts next finds the engine still there.
class ControllerWatch {
  public:
    using TimePoint = std::chrono::steady_clock::time_point;
    using Duration = std::chrono::steady_clock::duration;
    // true: some controller lives; false: none; nullopt: cannot tell now (the record is busy).
    using Census = std::function<std::optional<bool>()>;

    ControllerWatch(Census census, Duration grace) : census_(std::move(census)), grace_(grace) {}

    // One look at the record; true once it has held no live controller for the grace period.
    bool Check(TimePoint now);

    // The grace period asked for on the command line: nullopt without the controlled
    // argument (started by hand), else the period it names or the default.
    static std::optional<Duration> GraceFromArguments(int argc, const char* const* argv);

  private:
    Census census_;
    Duration grace_;
    std::optional<TimePoint> aloneSince_;
};

}  // namespace tovrin
