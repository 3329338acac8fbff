#include "engine/TalkServ.h"

#include "engine/EngineError.h"
#include "platform/Profile.h"
#include "platform/WaveDevice.h"
#include "tests/engine/FakeClock.h"
#include "tests/engine/FakeEngine.h"
#include "tests/platform/Eventually.h"
#include "tests/support/TestEnvironment.h"
#include "text/CodePages.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <thread>

namespace tovrin {
namespace {

using test::FakeClock;
using test::FakeEngine;
using Commands = std::vector<uint64_t>;

class RecordingHolder : public SpeechHolder {
  public:
    explicit RecordingHolder(bool player) : player_(player) {}
    bool IsPlayerWindow() const override { return player_; }
    void PlayerPoll(const EngineState& state) override { polls.push_back(state); }
    std::vector<EngineState> polls;

  private:
    bool player_;
};

std::string WinIni() {
    return *WinIniPath();
}

void WriteWinIni(const std::string& text) {
    std::ofstream(WinIni(), std::ios::binary | std::ios::trunc) << text;
}

std::string ReadWinIniSection(const std::string& section) {
    ProfileFile profile(WinIni());
    std::string lines;
    for (const auto& key : profile.KeyNames(section))
        lines += key + "=" + profile.ReadString(section, key) + ";";
    return lines;
}

// Every test starts from an empty win.ini and a controller on a fake clock.
class TalkServTest : public testing::Test {
  protected:
    void SetUp() override { std::filesystem::remove(WinIni()); }

    // Binds to `engine`, acquires the engine for `holder` and clears the records.
    void TakeEngine(TTalkServ& serv, FakeEngine& engine, SpeechHolder* holder) {
        ASSERT_TRUE(serv.BindEngine());
        serv.AcquireEngine(holder);
        engine.ClearRecords();
    }

    FakeClock clock;
    RecordingHolder player{true};
    RecordingHolder other{true};
};

TEST_F(TalkServTest, BindsTheEngineWindowAndItsControls) {
    TTalkServ serv("/nowhere/ZalLib", clock);
    EXPECT_FALSE(serv.BindEngine());
    EXPECT_EQ(serv.Windows().Main, kNoWindow);
    {
        FakeEngine engine;
        ASSERT_TRUE(serv.BindEngine());
        const auto& w = serv.Windows();
        EXPECT_EQ(w.Main, engine.Main());
        EXPECT_EQ(w.Pane, engine.Pane());
        EXPECT_EQ(w.Edit, engine.Edit());
        EXPECT_EQ(w.Progress, engine.Progress());
        EXPECT_EQ(w.Talk, engine.Talk());
        EXPECT_EQ(w.Pause, engine.Pause());

        // Closed from outside: the next query notices and forgets every handle.
        engine.Vanish();
        EXPECT_FALSE(serv.IsBusy());
        EXPECT_FALSE(serv.IsPlayerMode());
        EXPECT_EQ(serv.Windows().Talk, kNoWindow);
        EXPECT_EQ(serv.Windows().Edit, kNoWindow);
        EXPECT_EQ(serv.SpeakText("a", &player), SpeakResult::NotRunning);
        EXPECT_FALSE(serv.GetEngineState().Running);
    }
    // The talk and pause buttons are found under any of their captions.
    const std::pair<std::string, std::string> captions[] = {
        {std::string(W1251("Стоп").view()), std::string(W1251("Продолжить").view())},
        {"Talk", "Pause"},
        {"Stop", "Resume"},
    };
    for (const auto& [talk, pause] : captions) {
        FakeEngine engine(talk, pause);
        ASSERT_TRUE(serv.BindEngine()) << talk;
        EXPECT_EQ(serv.Windows().Talk, engine.Talk()) << talk;
        EXPECT_EQ(serv.Windows().Pause, engine.Pause()) << pause;
    }
}

TEST_F(TalkServTest, AnEngineWindowWithoutItsControlsIsGivenUpAfterFiveSeconds) {
    TTalkServ serv("/nowhere/ZalLib", clock);
    FakeEngine engine;
    engine.DestroyControl(engine.Pause());
    auto before = clock.Now();
    EXPECT_FALSE(serv.BindEngine());
    EXPECT_GT(clock.Now() - before, std::chrono::seconds(5));
    EXPECT_LT(clock.Now() - before, std::chrono::milliseconds(5100));
    EXPECT_EQ(serv.Windows().Main, kNoWindow);
    EXPECT_EQ(serv.Windows().Talk, kNoWindow);
    EXPECT_EQ(serv.SpeakText("a", &player), SpeakResult::NotRunning);

    engine.DestroyControl(engine.Pane());  // the search ends at the missing pane
    before = clock.Now();
    EXPECT_FALSE(serv.BindEngine());
    EXPECT_LT(clock.Now() - before, std::chrono::milliseconds(5100));
    EXPECT_EQ(serv.Windows().Main, kNoWindow);
}

TEST_F(TalkServTest, ASickEngineWindowCostsOneBoundedWaitNotOnePerPoll) {
    TTalkServ serv("/nowhere/ZalLib", clock);
    {
        FakeEngine sick;
        sick.DestroyControl(sick.Progress());
        auto before = clock.Now();
        EXPECT_FALSE(serv.GetEngineState().Running);
        EXPECT_LT(clock.Now() - before, std::chrono::milliseconds(5100));
        for (int tick = 0; tick < 3; ++tick) {
            before = clock.Now();
            EXPECT_FALSE(serv.GetEngineState().Running);
            EXPECT_EQ(serv.GetProgress().Max, 0);
            EXPECT_EQ(clock.Now(), before) << "searched the sick window again";
        }
        sick.Vanish();
        EXPECT_FALSE(serv.GetEngineState().Running);
    }
    // Another engine window is a new chance.
    FakeEngine healthy;
    EXPECT_TRUE(serv.GetEngineState().Running);
    EXPECT_EQ(serv.Windows().Progress, healthy.Progress());
}

TEST_F(TalkServTest, FailuresAreReportedAsFailures) {
    TTalkServ serv("/nowhere/ZalLib", clock);
    FakeEngine engine;
    TakeEngine(serv, engine, &player);
    engine.DestroyControl(engine.Edit());  // the text has nowhere to go
    EXPECT_FALSE(serv.SendText("lost"));
    EXPECT_EQ(serv.SpeakText("lost", &player), SpeakResult::PlatformError);
    EXPECT_TRUE(engine.Commands().empty());

    EXPECT_TRUE(serv.SetVolume(10));
    EXPECT_TRUE(serv.SetVolume(10));
    setenv("TOVRIN_AUDIO", "none", 1);
    EXPECT_FALSE(serv.SetVolume(20));
    EXPECT_FALSE(serv.SetVolume(0));  // what it reads as 0 is a volume it cannot read
    setenv("TOVRIN_AUDIO", "null", 1);
}

TEST_F(TalkServTest, StartingBesideAPresentEngineOnlyBinds) {
    TTalkServ serv("/nowhere/ZalLib", clock);
    FakeEngine engine;
    serv.SetEngineRunning(true);
    EXPECT_EQ(serv.Windows().Main, engine.Main());
    EXPECT_FALSE(std::filesystem::exists(WinIni()));
    EXPECT_TRUE(engine.Commands().empty());                       // no voice resent
    EXPECT_EQ(desktop::GetParent(engine.Edit()), engine.Pane());  // edit box left in place
}

TEST_F(TalkServTest, ClosePutsTheEditBoxBackAndEndsTheEngine) {
    TTalkServ serv("/nowhere/ZalLib", clock);
    serv.SetEngineRunning(false);  // nothing to close: nothing happens
    FakeEngine engine;
    ASSERT_TRUE(serv.BindEngine());
    serv.SetPlayerMode(true);
    serv.DetachEditBox();
    EXPECT_EQ(desktop::GetParent(engine.Edit()), kNoWindow);
    EXPECT_FALSE(desktop::IsWindowVisible(engine.Edit()));
    serv.DetachEditBox();  // already out: stays out and hidden
    EXPECT_EQ(desktop::GetParent(engine.Edit()), kNoWindow);
    serv.AttachEditBox();
    EXPECT_EQ(desktop::GetParent(engine.Edit()), engine.Pane());
    EXPECT_TRUE(desktop::IsWindowVisible(engine.Edit()));
    serv.AttachEditBox();  // already in: nothing changes
    EXPECT_EQ(desktop::GetParent(engine.Edit()), engine.Pane());
    serv.DetachEditBox();
    // A rebind finds the detached edit box on the desktop.
    serv.ResetController();
    ASSERT_TRUE(serv.BindEngine());
    EXPECT_EQ(serv.Windows().Edit, engine.Edit());
    serv.SetPlayerMode(true);
    serv.SetSpyMode(true);

    serv.SetEngineRunning(false);
    EXPECT_TRUE(engine.Destroyed());
    EXPECT_EQ(serv.Windows().Main, kNoWindow);
    EXPECT_FALSE(serv.BindEngine());
    EXPECT_FALSE(serv.IsSpyMode());
}

TEST_F(TalkServTest, SavesAndRestoresTheEngineSections) {
    WriteWinIni(
        "[Other]\r\nKeep=1\r\n[Keldworth]\r\nFiles=a=b=c\r\nMacro=m\r\nUserName=someone\r\n");
    {
        TTalkServ serv("/opt/talk/ZalLib", clock);
        EXPECT_EQ(serv.SavedHostSection(),
                  (std::vector<std::string>{"Files=a=b=c", "Macro=m", "UserName=someone"}));
        EXPECT_TRUE(serv.SavedEngineSection().empty());
        serv.WriteEngineConfig();
        EXPECT_EQ(ReadWinIniSection("Keldworth"),
                  "Files=/opt/talk/ZalLib;UserName=DEFAULT;WorkingDirectory=/opt/talk/ZalLib;");
        EXPECT_EQ(ReadWinIniSection("ZalSynthes"),
                  "Path=/opt/talk/ZalLib/owndict/owndict.dic;"
                  "StartupFile=/opt/talk/ZalLib/startup.zal;StrFile=No;");
    }
    EXPECT_EQ(ReadWinIniSection("Keldworth"), "Files=a=b=c;Macro=m;UserName=someone;");
    EXPECT_FALSE(ProfileFile(WinIni()).SectionExists("ZalSynthes"));
    EXPECT_EQ(ReadWinIniSection("Other"), "Keep=1;");

    // Never started: the sections come back all the same.
    { TTalkServ serv("/opt/talk/ZalLib", clock); }
    EXPECT_EQ(ReadWinIniSection("Keldworth"), "Files=a=b=c;Macro=m;UserName=someone;");

    // No win.ini at all: the written configuration leaves again with the controller.
    std::filesystem::remove(WinIni());
    {
        TTalkServ serv("/opt/talk/ZalLib", clock);
        serv.WriteEngineConfig();
    }
    EXPECT_FALSE(ProfileFile(WinIni()).SectionExists("Keldworth"));
    EXPECT_FALSE(ProfileFile(WinIni()).SectionExists("ZalSynthes"));
}

TEST_F(TalkServTest, AnUnreadableWinIniIsNoCrash) {
    std::filesystem::create_directory(WinIni());  // neither readable nor replaceable as a file
    {
        TTalkServ serv("/opt/talk/ZalLib", clock);
        EXPECT_TRUE(serv.SavedHostSection().empty());
        serv.WriteEngineConfig();
    }
    EXPECT_TRUE(std::filesystem::is_directory(WinIni()));
    std::filesystem::remove(WinIni());
}

TEST_F(TalkServTest, CreationFailsWithoutASystemFolder) {
    const std::string config = std::getenv("XDG_CONFIG_HOME");
    const char* home = std::getenv("HOME");
    const std::string savedHome = home ? home : "";
    unsetenv("XDG_CONFIG_HOME");
    unsetenv("HOME");
    try {
        TTalkServ serv("/nowhere/ZalLib", clock);
        ADD_FAILURE() << "created without a system folder";
    } catch (const EngineError& e) {
        EXPECT_STREQ(e.what(), "Can not define \\WINDOWS directory.");
    }
    setenv("XDG_CONFIG_HOME", config.c_str(), 1);
    if (home) setenv("HOME", savedHome.c_str(), 1);
}

TEST_F(TalkServTest, SpeakTextChecksInOrderAndLimitsTheLength) {
    TTalkServ serv("/nowhere/ZalLib", clock);
    EXPECT_EQ(serv.SpeakText("a", &player), SpeakResult::NotRunning);
    FakeEngine engine;
    EXPECT_EQ(serv.SpeakText("a", &player), SpeakResult::PlayerModeOff);
    serv.AcquireEngine(&other);
    EXPECT_EQ(serv.SpeakText("a", &player), SpeakResult::OtherHolder);
    serv.AcquireEngine(&player);
    EXPECT_EQ(serv.SpeakText(std::string(38913, 'a'), &player), SpeakResult::TooLong);
    EXPECT_TRUE(engine.Texts().empty());

    const std::string longest(38912, 'b');
    EXPECT_EQ(serv.SpeakText(longest, &player), SpeakResult::Accepted);
    EXPECT_EQ(engine.Texts(), (std::vector<std::string>{"", longest}));
    EXPECT_EQ(engine.Commands(), Commands{301});
    EXPECT_TRUE(serv.IsBusy());
    EXPECT_EQ(serv.RequestMode(), "TXT");

    // Speaking again for the same holder stops the speech first.
    engine.ClearRecords();
    EXPECT_EQ(serv.SpeakText("next", &player), SpeakResult::Accepted);
    EXPECT_EQ(engine.Commands(), (Commands{301, 301}));
    EXPECT_EQ(engine.Texts(), (std::vector<std::string>{"", "", "next"}));
    EXPECT_TRUE(engine.Speaking());

    // The engine reads a text up to its first zero byte: only that much is measured and sent.
    engine.FinishSpeech();
    engine.ClearRecords();
    const std::string zeroed = "short" + std::string(1, '\0') + std::string(38912, 'c');
    EXPECT_EQ(serv.SpeakText(zeroed, &player), SpeakResult::Accepted);
    EXPECT_EQ(engine.Texts(), (std::vector<std::string>{"", "short"}));
}

TEST_F(TalkServTest, StopAndPauseWaitsEndAfterOneSecond) {
    TTalkServ serv("/nowhere/ZalLib", clock);
    FakeEngine engine;
    TakeEngine(serv, engine, &player);
    EXPECT_FALSE(serv.StopSpeech());  // nothing busy
    EXPECT_TRUE(engine.Commands().empty());

    serv.SpeakText("hello", &player);
    serv.SetPaused(true);
    EXPECT_TRUE(serv.IsPaused());
    EXPECT_FALSE(serv.TimedOut());
    serv.SetPaused(true);  // already paused: nothing sent
    serv.SetPaused(false);
    EXPECT_FALSE(serv.IsPaused());
    EXPECT_EQ(engine.CountCommand(302), 2u);
    EXPECT_FALSE(serv.StopSpeech());
    EXPECT_FALSE(serv.IsBusy());

    engine.obeyStop = false;
    engine.obeyPause = false;
    serv.SpeakText("hello", &player);
    const auto before = clock.Now();
    serv.SetPaused(true);
    EXPECT_TRUE(serv.TimedOut());
    EXPECT_GT(clock.Now() - before, std::chrono::seconds(1));
    EXPECT_LT(clock.Now() - before, std::chrono::milliseconds(1100));
    EXPECT_TRUE(serv.StopSpeech());
    EXPECT_TRUE(serv.TimedOut());
    EXPECT_TRUE(serv.IsBusy());

    engine.FinishSpeech();
    EXPECT_FALSE(serv.IsBusy());
    serv.SetPaused(true);  // pausing a silent engine sends nothing
    EXPECT_EQ(engine.CountCommand(302), 3u);
}

TEST_F(TalkServTest, SpeakingFollowsTheTalkCaptionAndTheProgressBar) {
    TTalkServ serv("/nowhere/ZalLib", clock);
    FakeEngine engine;
    ASSERT_TRUE(serv.BindEngine());
    EXPECT_FALSE(serv.IsSpeaking());
    engine.SetProgress({0, 100, 40});  // idle caption, progress in mid-range
    EXPECT_TRUE(serv.IsSpeaking());
    EXPECT_EQ(serv.GetProgress().Max, 0);  // progress is reported only under a stop caption
    engine.SetProgress({0, 100, 100});
    EXPECT_FALSE(serv.IsSpeaking());
    engine.SetTalkCaption("Something else");
    EXPECT_TRUE(serv.IsSpeaking());
    engine.SetProgress({5, 100, 40});
    const auto progress = serv.GetProgress();
    EXPECT_EQ(progress.Min, 5);
    EXPECT_EQ(progress.Max, 100);
    EXPECT_EQ(progress.Pos, 40);
    // Captions compare exactly, over their first ten characters.
    engine.SetProgress({0, 0, 0});
    engine.SetTalkCaption("Talk");
    EXPECT_FALSE(serv.IsSpeaking());
    engine.SetTalkCaption("talk");
    EXPECT_TRUE(serv.IsSpeaking());
    engine.SetTalkCaption(std::string(W1251("Говорить").view()) + "   xyz");
    EXPECT_TRUE(serv.IsSpeaking());
}

TEST_F(TalkServTest, PlayerAndSpyModeExcludeEachOther) {
    TTalkServ serv("/nowhere/ZalLib", clock);
    serv.SetSpyMode(true);  // no engine: nothing
    EXPECT_FALSE(serv.IsSpyMode());
    FakeEngine engine;
    TakeEngine(serv, engine, &player);
    EXPECT_TRUE(serv.IsPlayerMode());
    serv.SpeakText("hello", &player);
    engine.ClearRecords();

    serv.SetSpyMode(true);
    EXPECT_TRUE(serv.IsSpyMode());
    EXPECT_FALSE(serv.IsPlayerMode());
    EXPECT_EQ(engine.Commands(), (Commands{301, 304}));  // speech stopped, spy on once
    EXPECT_FALSE(engine.Speaking());

    engine.ClearRecords();
    serv.SetSpyMode(true);
    EXPECT_TRUE(engine.Commands().empty());
    serv.SetPlayerMode(true);
    EXPECT_EQ(engine.Commands(), Commands{304});
    EXPECT_FALSE(serv.IsSpyMode());
    EXPECT_TRUE(serv.IsPlayerMode());

    const auto state = serv.GetEngineState();
    EXPECT_TRUE(state.Running);
    EXPECT_TRUE(state.PlayerMode);
    EXPECT_FALSE(state.SpyMode);
    EXPECT_EQ(state.Holder, &player);

    // Leaving player mode stops the speech and leaves the engine's spy mode alone.
    serv.SpeakText("again", &player);
    engine.ClearRecords();
    serv.SetPlayerMode(false);
    EXPECT_EQ(engine.Commands(), Commands{301});
    EXPECT_FALSE(engine.Speaking());
    EXPECT_FALSE(serv.IsPlayerMode());
    EXPECT_FALSE(serv.IsSpyMode());
}

TEST_F(TalkServTest, AcquireTellsThePreviousPlayerAndReleaseFreesTheEngine) {
    TTalkServ serv("/nowhere/ZalLib", clock);
    FakeEngine engine;
    TakeEngine(serv, engine, &player);
    EXPECT_TRUE(player.polls.empty());
    serv.SpeakText("hello", &player);

    RecordingHolder field(false);
    serv.AcquireEngine(&field);
    ASSERT_EQ(player.polls.size(), 1u);
    EXPECT_EQ(player.polls[0].Holder, &field);
    EXPECT_TRUE(player.polls[0].Busy);
    EXPECT_FALSE(engine.Speaking());
    EXPECT_EQ(serv.GetHolder(), &field);

    serv.AcquireEngine(&player);  // a phrase field is not polled
    EXPECT_TRUE(field.polls.empty());
    serv.ReleaseEngine();
    EXPECT_EQ(serv.GetHolder(), nullptr);
    EXPECT_EQ(serv.SpeakText("free", &other), SpeakResult::Accepted);
}

TEST_F(TalkServTest, VoiceParametersAreStoredUnclampedAndSentClamped) {
    TTalkServ serv("/nowhere/ZalLib", clock);
    serv.SetTimbre(3);  // no engine: stored only
    FakeEngine engine;
    ASSERT_TRUE(serv.BindEngine());
    serv.SetTimbre(12);
    serv.SetTimbre(12);
    serv.SetVoice(-4);
    serv.SetTempo(9);
    serv.SetMelody(1);
    EXPECT_EQ(engine.Commands(), (Commands{150, 171, 160, 162}));
    const auto params = serv.GetVoiceParams();
    EXPECT_EQ(params.Timbre, 12);
    EXPECT_EQ(params.Voice, 252);  // the low 8 bits of -4

    engine.ClearRecords();
    serv.ReapplyVoice();
    EXPECT_EQ(engine.Commands(), (Commands{171, 150, 160, 162}));
}

TEST_F(TalkServTest, VolumeIsClampedAndSetOnBothChannels) {
    TTalkServ serv("/nowhere/ZalLib", clock);
    uint32_t device = 0;
    serv.SetVolume(300);
    ASSERT_TRUE(GetWaveOutVolume(device));
    EXPECT_EQ(device, 0xFF00FF00u);
    EXPECT_EQ(serv.GetVolume(), 255);
    serv.SetVolume(-3);
    ASSERT_TRUE(GetWaveOutVolume(device));
    EXPECT_EQ(device, 0u);
    serv.SetVolume(100);
    EXPECT_EQ(serv.GetVolume(), 100);
    ASSERT_TRUE(SetWaveOutVolume(0x12345678));  // only the left channel is read back
    EXPECT_EQ(serv.GetVolume(), 0x56);
}

TEST_F(TalkServTest, Presets) {
    TTalkServ serv("/nowhere/ZalLib", clock);
    serv.SetVolume(40);
    serv.DefaultPresets();
    EXPECT_EQ(FormatVoiceParams(serv.DefaultParams()), "0,85,0,7,5");
    for (int i = 0; i < kPresetCount; ++i)
        EXPECT_EQ(serv.Preset(i), serv.DefaultParams());

    serv.SetVoice(3);
    serv.SelectPreset(-1);  // the current slot takes the current parameters
    EXPECT_EQ(FormatVoiceParams(serv.Preset(0)), "3,40,0,7,5");
    serv.SelectPreset(7);  // acts as 4
    EXPECT_EQ(serv.CurrentPreset(), 4);
    EXPECT_EQ(FormatVoiceParams(serv.GetVoiceParams()), "0,85,0,7,5");
    serv.SetTempo(2);
    serv.SelectPreset(4);  // the current index: nothing, not even storing
    EXPECT_EQ(serv.Preset(4).Tempo, 7);
    serv.SelectPreset(0);
    EXPECT_EQ(serv.Preset(4).Tempo, 2);
    EXPECT_EQ(FormatVoiceParams(serv.GetVoiceParams()), "3,40,0,7,5");

    std::vector<std::string> lines{"stale"};
    serv.SavePresets(&lines);
    ASSERT_EQ(lines.size(), 6u);
    EXPECT_EQ(lines[0], "0");
    EXPECT_EQ(lines[1], "3,40,0,7,5");
    EXPECT_EQ(lines[5], "0,85,0,2,5");
    serv.SavePresets(nullptr);

    serv.DefaultPresets();
    lines[0] = "9";  // clamped to the last slot, whose parameters are applied
    serv.LoadPresets(&lines);
    EXPECT_EQ(serv.CurrentPreset(), 4);
    EXPECT_EQ(FormatVoiceParams(serv.GetVoiceParams()), "0,85,0,2,5");
    EXPECT_EQ(FormatVoiceParams(serv.Preset(0)), "3,40,0,7,5");

    for (auto broken : {std::vector<std::string>{"1", "1,2,3,4,5"},
                        std::vector<std::string>{"x", "1", "1", "1", "1", "1"},
                        std::vector<std::string>{"1", "1", "1", "a,b", "1", "1"}}) {
        serv.LoadPresets(&lines);
        serv.LoadPresets(&broken);
        EXPECT_EQ(serv.CurrentPreset(), 0);
        EXPECT_EQ(FormatVoiceParams(serv.Preset(0)), "0,85,0,7,5");
        EXPECT_EQ(FormatVoiceParams(serv.Preset(4)), "0,85,0,7,5");
    }
    serv.LoadPresets(nullptr);
    EXPECT_EQ(serv.Preset(2), serv.DefaultParams());
}

TEST_F(TalkServTest, ResetClearsBindingHolderModesAndVoice) {
    TTalkServ serv("/nowhere/ZalLib", clock);
    FakeEngine engine;
    TakeEngine(serv, engine, &player);
    serv.SetVoice(6);
    serv.ResetController();
    EXPECT_EQ(serv.GetHolder(), nullptr);
    EXPECT_EQ(serv.Windows().Main, kNoWindow);
    EXPECT_FALSE(serv.IsPlayerMode());
    EXPECT_EQ(serv.GetVoiceParams().Voice, 0);
    EXPECT_EQ(serv.GetVoiceParams().Tempo, 7);
}

DictionaryRequest Entry(const std::string& script, const std::string& textR) {
    return {"{TALKSERVCMD}", "{IntelDictionary}", script, "t", textR, "", "", ""};
}

TEST_F(TalkServTest, DictionaryEntriesRunOnTheWorker) {
    TTalkServ serv("/nowhere/ZalLib", clock);
    EXPECT_EQ(serv.SpeakDictionaryEntry(Entry("R", "w"), &player), SpeakResult::NotRunning);
    FakeEngine engine;
    EXPECT_EQ(serv.SpeakDictionaryEntry(Entry("R", "w"), &player), SpeakResult::PlayerModeOff);
    TakeEngine(serv, engine, &other);
    EXPECT_EQ(serv.SpeakDictionaryEntry(Entry("R", "w"), &player), SpeakResult::OtherHolder);
    TakeEngine(serv, engine, &player);

    EXPECT_EQ(serv.SpeakDictionaryEntry(Entry("R2", "word"), &player), SpeakResult::Accepted);
    EXPECT_EQ(serv.RequestMode(), "DIC");
    engine.AwaitCommands(1);
    EXPECT_TRUE(engine.Speaking());
    // Pausing a dictionary entry only raises the flag; the engine hears nothing of it.
    serv.SetPaused(true);
    EXPECT_TRUE(serv.IsPaused());
    EXPECT_EQ(engine.CountCommand(302), 0u);
    engine.FinishSpeech();
    const long since = clock.Sleeps();
    clock.AwaitSleeps(since, 50);
    EXPECT_EQ(engine.Texts().size(), 2u);  // held before the next step
    serv.SetPaused(false);
    engine.AwaitCommands(2);
    EXPECT_EQ(engine.Texts()[3], "{wait 20}");
    engine.FinishSpeech();
    ASSERT_TRUE(test::Eventually([&] { return serv.WorkerFinished(); }))
        << "the worker did not finish";
    EXPECT_TRUE(serv.IsBusy());  // finished, but still there until freed
    serv.StopWorker();
    EXPECT_FALSE(serv.IsBusy());
    EXPECT_FALSE(serv.WorkerFinished());
    EXPECT_EQ(engine.Texts(), (std::vector<std::string>{"", "word", "", "{wait 20}"}));
}

TEST_F(TalkServTest, AWorkerEndsWhenTheEngineVanishes) {
    TTalkServ serv("/nowhere/ZalLib", clock);
    FakeEngine engine;
    TakeEngine(serv, engine, &player);
    serv.SpeakDictionaryEntry(Entry("RR", "w"), &player);
    engine.AwaitCommands(1);
    engine.Vanish();
    ASSERT_TRUE(test::Eventually([&] { return serv.WorkerFinished(); }))
        << "the worker did not finish";
    EXPECT_FALSE(serv.IsBusy());
    serv.StopWorker();
    EXPECT_FALSE(serv.HasWorker());
}

TEST_F(TalkServTest, ANewDictionaryEntryReplacesTheRunningOne) {
    TTalkServ serv("/nowhere/ZalLib", clock);
    FakeEngine engine;
    TakeEngine(serv, engine, &player);
    serv.SpeakDictionaryEntry(Entry("RRR", "first"), &player);
    engine.AwaitCommands(1);
    engine.ClearRecords();
    EXPECT_EQ(serv.SpeakDictionaryEntry(Entry("R", "second"), &player), SpeakResult::Accepted);
    engine.AwaitCommands(2);
    EXPECT_EQ(engine.Texts(), (std::vector<std::string>{"", "", "second"}));
    EXPECT_EQ(engine.Commands(), (Commands{301, 301}));  // the stop, then the new text

    // A request that cannot be read leaves the controller without a worker.
    auto seven = Entry("R", "x");
    seven.pop_back();
    EXPECT_THROW(serv.SpeakDictionaryEntry(seven, &player), EngineError);
    EXPECT_FALSE(serv.HasWorker());
    // A plain text after a dictionary entry pauses the engine itself again.
    engine.FinishSpeech();
    EXPECT_EQ(serv.SpeakText("plain", &player), SpeakResult::Accepted);
    serv.SetPaused(true);
    EXPECT_EQ(engine.CountCommand(302), 1u);
}

}  // namespace
}  // namespace tovrin
