#include "synth/ControllerWatch.h"

#include <gtest/gtest.h>

#include <vector>

namespace tovrin {
namespace {

using namespace std::chrono_literals;

TEST(ControllerWatchTest, EndsOnlyAfterAWholeGracePeriodWithoutAController) {
    std::optional<bool> lives = true;
    ControllerWatch watch([&] { return lives; }, 10s);
    const ControllerWatch::TimePoint start{};
    EXPECT_FALSE(watch.Check(start));
    lives = false;
    EXPECT_FALSE(watch.Check(start + 1s));
    EXPECT_FALSE(watch.Check(start + 10s));
    // A controller that came back in time starts the period afresh.
    lives = true;
    EXPECT_FALSE(watch.Check(start + 11s));
    lives = false;
    EXPECT_FALSE(watch.Check(start + 12s));
    // A record being changed tells nothing: counted as a controller at work.
    lives = std::nullopt;
    EXPECT_FALSE(watch.Check(start + 23s));
    lives = false;
    EXPECT_FALSE(watch.Check(start + 24s));
    EXPECT_FALSE(watch.Check(start + 33s));
    EXPECT_TRUE(watch.Check(start + 34s));
}

TEST(ControllerWatchTest, OnlyAnEngineStartedAsAControllersIsWatched) {
    using Args = std::vector<const char*>;
    auto grace = [](Args args) {
        args.insert(args.begin(), "zalwin");
        return ControllerWatch::GraceFromArguments(int(args.size()), args.data());
    };
    EXPECT_EQ(grace({}), std::nullopt);
    EXPECT_EQ(grace({"--show"}), std::nullopt);
    EXPECT_EQ(grace({"--controlledx"}), std::nullopt);
    EXPECT_EQ(grace({"--controlled"}), ControllerWatch::Duration(10s));
    EXPECT_EQ(grace({"--show", "--controlled=250"}), ControllerWatch::Duration(250ms));
    EXPECT_EQ(grace({"--controlled=soon"}), ControllerWatch::Duration(10s));
}

}  // namespace
}  // namespace tovrin
