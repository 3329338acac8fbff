#include "synth/ControllerWatch.h"

#include "platform/EngineContract.h"

#include <charconv>

namespace tovrin {

namespace {

// Long enough for a controller that is being restarted to come back and bind the engine.
constexpr auto kDefaultGrace = std::chrono::seconds(10);

}  // namespace

bool ControllerWatch::Check(TimePoint now) {
    if (census_().value_or(true)) {
        aloneSince_.reset();
        return false;
    }
    if (!aloneSince_) aloneSince_ = now;
    return now - *aloneSince_ >= grace_;
}

std::optional<ControllerWatch::Duration> ControllerWatch::GraceFromArguments(
    int argc, const char* const* argv) {
    const std::string_view flag = kEngineControlledArgument;
    for (int i = 1; i < argc; ++i) {
        const std::string_view argument = argv[i];
        if (argument == flag) return kDefaultGrace;
        if (argument.substr(0, flag.size()) != flag || argument.size() <= flag.size() ||
            argument[flag.size()] != '=')
            continue;
        const std::string_view digits = argument.substr(flag.size() + 1);
        unsigned milliseconds = 0;
        const auto [end, error] =
            std::from_chars(digits.data(), digits.data() + digits.size(), milliseconds);
        // A period that cannot be read still marks a controlled engine.
        if (error != std::errc() || end != digits.data() + digits.size()) return kDefaultGrace;
        return std::chrono::milliseconds(milliseconds);
    }
    return std::nullopt;
}

}  // namespace tovrin
