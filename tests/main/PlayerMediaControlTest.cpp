// Media keys acted out on player windows: which window they reach, and what each key does in
// each state of the reading.

#include "main/PlayerMediaControl.h"

#include "tests/main/FakePlayers.h"
#include "tests/player/FakePlayerHost.h"

#include <gtest/gtest.h>

namespace tovrin {
namespace {

using Commands = std::vector<std::string>;

class PlayerMediaControlTest : public testing::Test {
  protected:
    test::FakePlayerHost host_;
    test::FakePlayers players_;
    int mainShown_ = 0;
    PlayerMediaControl control_{host_, players_, [this] { ++mainShown_; }};
};

TEST_F(PlayerMediaControlTest, KeysReachTheReadingWindowElseTheActiveElseTheLastOpened) {
    // No player window: nothing to play, and Raise shows the main window.
    control_.PlayPause();
    control_.Raise();
    EXPECT_EQ(mainShown_, 1);
    EXPECT_EQ(control_.Status(), MediaStatus{});

    auto& reader = static_cast<test::FakePlayer&>(*players_.CreatePlayer());
    auto& active = static_cast<test::FakePlayer&>(*players_.CreatePlayer());
    auto& last = static_cast<test::FakePlayer&>(*players_.CreatePlayer());
    EXPECT_EQ(control_.Target(), &last);
    active.active = true;
    EXPECT_EQ(control_.Target(), &active);
    host_.holder = reader.Holder();
    EXPECT_EQ(control_.Target(), &reader);

    control_.Raise();
    EXPECT_EQ(reader.commands, Commands{"raise"});
    EXPECT_EQ(mainShown_, 1);
    EXPECT_TRUE(active.commands.empty());
    EXPECT_TRUE(last.commands.empty());

    // The window that held the engine closes: the keys go to the active one again.
    players_.Close(&reader);
    host_.holder = nullptr;
    EXPECT_EQ(control_.Target(), &active);
}

TEST_F(PlayerMediaControlTest, EachKeyDoesWhatTheReadingStateCallsFor) {
    auto& window = static_cast<test::FakePlayer&>(*players_.CreatePlayer());

    // An empty document: nothing to play or to move through.
    control_.Play();
    control_.Next();
    EXPECT_EQ(window.plays, 0);
    EXPECT_TRUE(window.commands.empty());
    EXPECT_FALSE(control_.Status().CanPlay);

    window.reading = {false, false, true, "Записки.fb2", ""};
    control_.PlayPause();
    EXPECT_EQ(window.plays, 1);  // stopped: the play button reads from the caret
    window.reading.Reading = true;
    control_.Play();  // already reading: nothing more
    EXPECT_EQ(window.plays, 1);
    control_.PlayPause();
    control_.PlayPause();
    control_.Pause();
    control_.Play();
    control_.Stop();
    control_.Pause();  // nothing is read: no pause
    control_.Next();
    control_.Previous();
    EXPECT_EQ(window.commands,
              (Commands{"pause", "resume", "pause", "resume", "stop", "next", "previous"}));
    EXPECT_EQ(window.plays, 1);
}

TEST_F(PlayerMediaControlTest, TheStatusFollowsTheWindowsReading) {
    auto& window = static_cast<test::FakePlayer&>(*players_.CreatePlayer());
    window.reading = {true, false, true, "Война и мир", "Лев Толстой"};
    MediaStatus status = control_.Status();
    EXPECT_EQ(status.State, MediaStatus::Playback::Playing);
    EXPECT_EQ(status.Title, "Война и мир");
    EXPECT_EQ(status.Artist, "Лев Толстой");
    EXPECT_TRUE(status.CanPlay && status.CanPause && status.CanGoNext && status.CanGoPrevious);

    window.reading.Paused = true;
    EXPECT_EQ(control_.Status().State, MediaStatus::Playback::Paused);
    window.reading.Reading = window.reading.Paused = false;
    status = control_.Status();
    EXPECT_EQ(status.State, MediaStatus::Playback::Stopped);
    EXPECT_FALSE(status.CanPause);
    EXPECT_TRUE(status.CanPlay);
}

}  // namespace
}  // namespace tovrin
