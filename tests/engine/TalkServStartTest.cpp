#include "engine/TalkServ.h"

#include "engine/EngineError.h"
#include "platform/Process.h"
#include "platform/Profile.h"
#include "tests/engine/FakeClock.h"
#include "tests/engine/FakeEngine.h"
#include "tests/platform/Eventually.h"
#include "tests/support/TestEnvironment.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <thread>

namespace tovrin {
namespace {

namespace fs = std::filesystem;

// An engine folder holding the fake engine program under the engine's module name.
std::string EngineFolderWithFake(const std::string& name) {
    const std::string folder = test::MakeTempDir("engine") + "/" + name;
    fs::create_directories(folder);
    fs::copy_file(test::BinaryDir() + "/fake_zalwin", folder + "/zalwin");
    return folder;
}

std::string StartFailure(TTalkServ& serv) {
    try {
        serv.SetEngineRunning(true);
    } catch (const EngineError& e) {
        return e.what();
    }
    return "started";
}

void AwaitProcessEnd(const ProcessInfo& process) {
    EXPECT_TRUE(test::Eventually([&] { return !IsProcessRunning(process); }))
        << "the engine program did not end";
}

class SpyHolder : public SpeechHolder {
  public:
    bool IsPlayerWindow() const override { return true; }
    void PlayerPoll(const EngineState&) override {}
};

class TalkServStartTest : public testing::Test {
  protected:
    void SetUp() override { fs::remove(*WinIniPath()); }
};

TEST_F(TalkServStartTest, StartsAndClosesAnEngineInAFolderWithABlank) {
    const std::string folder = EngineFolderWithFake("Zal Lib");
    TTalkServ serv(folder);
    serv.ResetController();
    serv.SetTempo(12);
    serv.SetEngineRunning(true);
    ASSERT_NE(serv.Windows().Main, kNoWindow);
    EXPECT_TRUE(IsProcessRunning(serv.EngineProcess()));
    EXPECT_EQ(ProfileFile(*WinIniPath()).ReadString("Keldworth", "Files"), folder);
    // The edit box is taken out of the engine's window and hidden.
    const WindowHandle edit = serv.Windows().Edit;
    EXPECT_EQ(desktop::GetParent(edit), kNoWindow);
    EXPECT_FALSE(desktop::IsWindowVisible(edit));
    EXPECT_FALSE(serv.IsPlayerMode());

    const WindowHandle main = serv.Windows().Main;
    serv.SetEngineRunning(false);
    EXPECT_EQ(serv.Windows().Main, kNoWindow);
    AwaitProcessEnd(serv.EngineProcess());
    EXPECT_FALSE(desktop::IsWindow(main));
    // The new engine got the whole voice: voice 0, timbre 5, tempo 12 sent as 9, melody 0.
    EXPECT_EQ(test::ReadWholeFile(folder + "/commands.log"), "171\n146\n160\n161\n");
}

TEST_F(TalkServStartTest, AnEngineKilledWhileSpeakingIsNoticed) {
    TTalkServ serv(EngineFolderWithFake("ZalLib"));
    serv.SetEngineRunning(true);
    SpyHolder holder;
    serv.AcquireEngine(&holder);
    ASSERT_EQ(serv.SpeakText("words", &holder), SpeakResult::Accepted);
    EXPECT_TRUE(serv.IsBusy());
    TerminateProcess(serv.EngineProcess(), 9);
    AwaitProcessEnd(serv.EngineProcess());
    EXPECT_FALSE(serv.IsBusy());
    EXPECT_FALSE(serv.GetEngineState().Running);
    EXPECT_EQ(serv.SpeakText("more", &holder), SpeakResult::NotRunning);
    EXPECT_FALSE(serv.StopSpeech());
}

TEST_F(TalkServStartTest, StartFailuresCarryTheirMessages) {
    const std::string empty = test::MakeTempDir("engine") + "/ZalLib";
    {
        TTalkServ serv(empty);
        EXPECT_EQ(StartFailure(serv), "Create process error: " + empty + "/zalwin not found");
        // The configuration was written before the module was looked for.
        EXPECT_EQ(ProfileFile(*WinIniPath()).ReadString("ZalSynthes", "StrFile"), "No");
    }
    EXPECT_FALSE(ProfileFile(*WinIniPath()).SectionExists("ZalSynthes"));

    setenv("TOVRIN_AUDIO", "none", 1);
    {
        TTalkServ serv(EngineFolderWithFake("ZalLib"));
        EXPECT_FALSE(serv.HasWaveDevice());
        EXPECT_EQ(StartFailure(serv), "Create process error: wave device not found");
        EXPECT_FALSE(ProfileFile(*WinIniPath()).SectionExists("Keldworth"));
    }
    setenv("TOVRIN_AUDIO", "null", 1);

    // A module that is no program at all.
    const std::string broken = test::MakeTempDir("engine") + "/ZalLib";
    fs::create_directories(broken);
    std::ofstream(broken + "/zalwin") << "not a program";
    {
        TTalkServ serv(broken);
        EXPECT_EQ(StartFailure(serv).rfind("Create process error: ", 0), 0u);
        EXPECT_EQ(serv.Windows().Main, kNoWindow);
    }

    // A win.ini that is a link leading nowhere is refused, not replaced by a file.
    fs::create_symlink(test::MakeTempDir("gone") + "/win.ini", *WinIniPath());
    {
        TTalkServ serv(EngineFolderWithFake("ZalLib"));
        EXPECT_EQ(StartFailure(serv), "Create process error: can not write " + *WinIniPath());
    }
    EXPECT_TRUE(fs::is_symlink(*WinIniPath()));
    fs::remove(*WinIniPath());
}

TEST_F(TalkServStartTest, AnEngineThatNeverShowsItsWindowIsEndedAfterTheDeadline) {
    const std::string folder = EngineFolderWithFake("ZalLib");
    std::ofstream(folder + "/no-window") << "hang";
    test::FakeClock clock;
    TTalkServ serv(folder, clock);
    serv.SetVoice(4);
    const auto before = clock.Now();
    EXPECT_EQ(StartFailure(serv), "Create process error: main window not found (Timeout)");
    EXPECT_TRUE(serv.TimedOut());
    EXPECT_GT(clock.Now() - before, std::chrono::seconds(120));
    AwaitProcessEnd(serv.EngineProcess());
    EXPECT_EQ(serv.GetVoiceParams().Voice, 4);  // a failed start leaves the voice alone
}

TEST_F(TalkServStartTest, AnEngineBoundInTheLastPollIsKept) {
    const std::string folder = EngineFolderWithFake("ZalLib");
    std::ofstream(folder + "/no-window") << "hang";
    test::FakeClock clock;
    TTalkServ serv(folder, clock);
    std::unique_ptr<test::FakeEngine> late;
    // The window appears in the sleep that carries the clock past the deadline.
    clock.At(clock.Now() + std::chrono::seconds(120),
             [&] { late = std::make_unique<test::FakeEngine>(); });
    EXPECT_EQ(StartFailure(serv), "started");
    EXPECT_FALSE(serv.TimedOut());
    ASSERT_TRUE(late);
    EXPECT_EQ(serv.Windows().Main, late->Main());
    EXPECT_FALSE(late->Destroyed());
    // The started program, which never showed a window, is not left behind.
    AwaitProcessEnd(serv.EngineProcess());
}

TEST_F(TalkServStartTest, AnEngineThatEndsWithoutAWindowFailsWithoutWaitingOutTheDeadline) {
    const std::string folder = EngineFolderWithFake("ZalLib");
    std::ofstream(folder + "/exit-at-once") << "fail";
    test::FakeClock clock;
    TTalkServ serv(folder, clock);
    const auto before = clock.Now();
    EXPECT_EQ(StartFailure(serv), "Create process error: main window not found (Timeout)");
    EXPECT_TRUE(serv.TimedOut());
    EXPECT_LT(clock.Now() - before, std::chrono::seconds(120));
    EXPECT_EQ(serv.Windows().Main, kNoWindow);
}

}  // namespace
}  // namespace tovrin
