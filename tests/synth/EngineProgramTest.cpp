// The engine program driven over the desktop the way the controller drives it.

#include "platform/ControllerRecord.h"
#include "platform/RuntimeFolder.h"
#include "tests/support/TestEnvironment.h"
#include "tests/synth/EngineProcess.h"
#include "tests/synth/WaveFixture.h"
#include "text/CodePages.h"

#include <gtest/gtest.h>

#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <thread>

namespace tovrin::test {
namespace {

constexpr int kRate = 22050;
constexpr int kLoud = 400;

const std::string kTalk = "Говорить";
const std::string kStop = "Стоп";
const std::string kPause = "Пауза";
const std::string kResume = "Продолжить";

struct Span {
    size_t first = 0;
    size_t last = 0;
    bool any = false;
    double Seconds() const { return any ? static_cast<double>(last - first) / kRate : 0; }
};

Span LoudSpan(const std::vector<int16_t>& samples) {
    Span span;
    for (size_t i = 0; i < samples.size(); ++i) {
        if (std::abs(int{samples[i]}) < kLoud) continue;
        if (!span.any) span.first = i;
        span.last = i;
        span.any = true;
    }
    return span;
}

double LongestQuietSeconds(const std::vector<int16_t>& samples, const Span& span) {
    size_t longest = 0, run = 0;
    for (size_t i = span.first; i <= span.last && i < samples.size(); ++i) {
        run = std::abs(int{samples[i]}) < kLoud ? run + 1 : 0;
        longest = std::max(longest, run);
    }
    return static_cast<double>(longest) / kRate;
}

std::string NewWavPath() {
    return MakeTempDir("wav") + "/out.wav";
}

// Speaks `utf8` and waits for the talk caption to come back; the recording of the whole run.
std::vector<int16_t> SpeakAndRecord(const std::string& utf8,
                                    const std::vector<uint64_t>& commands = {}) {
    const std::string wav = NewWavPath();
    EngineProcess engine(wav);
    for (uint64_t command : commands)
        EXPECT_TRUE(engine.Command(command));
    engine.SetText(utf8);
    engine.Command(301);
    EXPECT_EQ(engine.TalkCaption(), kStop);
    EXPECT_TRUE(Eventually([&] { return engine.TalkCaption() == kTalk; }));
    EXPECT_EQ(engine.Destroy(), 0);
    return RecordedSamples(wav);
}

void WriteWinIni(const std::string& content) {
    const std::string folder = std::string(std::getenv("XDG_CONFIG_HOME")) + "/tovrin";
    std::filesystem::create_directories(folder);
    std::ofstream(folder + "/win.ini") << content;
}

std::string LongRussianText(size_t bytes) {
    const std::string words = Utf8ToWindows1251("Мы читаем длинный текст вслух. ");
    std::string text;
    while (text.size() < bytes)
        text += words;
    text.resize(bytes);
    return text;
}

TEST(EngineProgram, CaptionsAndProgressFollowTheSpeech) {
    const std::string wav = NewWavPath();
    EngineProcess engine(wav);
    EXPECT_FALSE(desktop::IsWindowVisible(engine.main));  // starts hidden
    EXPECT_EQ(engine.TalkCaption(), kTalk);
    EXPECT_EQ(engine.PauseCaption(), kPause);

    const std::string text = "Раз два три четыре пять.";
    const int length = static_cast<int>(Utf8ToWindows1251(text).size());
    ASSERT_TRUE(engine.SetText(text));
    ASSERT_TRUE(engine.Command(301));
    EXPECT_EQ(engine.TalkCaption(), kStop);
    const ScrollInfo start = engine.Progress();
    EXPECT_EQ(start.min, 0);
    EXPECT_EQ(start.max, length);
    EXPECT_EQ(start.pos, 0);

    // While the talk caption says speaking, the position only moves forward through the text.
    std::vector<int> positions;
    ASSERT_TRUE(Eventually([&] {
        const ScrollInfo info = engine.Progress();
        if (engine.TalkCaption() != kStop) return true;
        positions.push_back(info.pos);
        return false;
    }));
    EXPECT_TRUE(std::is_sorted(positions.begin(), positions.end()));
    EXPECT_GT(positions.back(), 0);
    EXPECT_LE(positions.back(), length);
    const ScrollInfo end = engine.Progress();
    EXPECT_EQ(end.pos, end.min);
    EXPECT_EQ(engine.PauseCaption(), kPause);

    EXPECT_EQ(engine.Destroy(), 0);
    EXPECT_GT(LoudSpan(RecordedSamples(wav)).Seconds(), 0.5);
}

TEST(EngineProgram, PauseResumeAndStop) {
    const std::string wav = NewWavPath();
    EngineProcess engine(wav);
    // Pause means nothing while idle.
    engine.Command(302);
    EXPECT_EQ(engine.PauseCaption(), kPause);

    engine.SetBytes(LongRussianText(400));
    engine.Command(301);
    ASSERT_TRUE(Eventually([&] { return engine.Progress().pos > 0; }));
    engine.Command(302);
    EXPECT_EQ(engine.PauseCaption(), kResume);
    EXPECT_EQ(engine.TalkCaption(), kStop);
    engine.Command(302);
    EXPECT_EQ(engine.PauseCaption(), kPause);
    engine.Command(302);

    // Stop while paused: idle at once, and the pause is over too.
    engine.Command(301);
    EXPECT_EQ(engine.TalkCaption(), kTalk);
    EXPECT_EQ(engine.PauseCaption(), kPause);
    EXPECT_EQ(engine.Progress().pos, 0);

    // A new speech, stopped while it plays; the recording ends long before the text would.
    engine.Command(301);
    ASSERT_TRUE(Eventually([&] { return engine.Progress().pos > 0; }));
    engine.Command(301);
    EXPECT_EQ(engine.TalkCaption(), kTalk);
    EXPECT_EQ(engine.Destroy(), 0);
    EXPECT_LT(LoudSpan(RecordedSamples(wav)).Seconds(), 15.0);
}

TEST(EngineProgram, TalkWithAnEmptyEditBoxDoesNothing) {
    const std::string wav = NewWavPath();
    EngineProcess engine(wav);
    engine.Command(301);
    EXPECT_EQ(engine.TalkCaption(), kTalk);
    engine.SetText("Текст");
    engine.SetText("");
    engine.Command(301);
    EXPECT_EQ(engine.TalkCaption(), kTalk);
    const ScrollInfo info = engine.Progress();
    EXPECT_EQ(info.pos, info.min);
    EXPECT_EQ(engine.Destroy(), 0);
    EXPECT_TRUE(RecordedSamples(wav).empty());
}

TEST(EngineProgram, TempoAndPausesShapeTheRecording) {
    const std::string phrase = "Проверка скорости речи";
    const double slow = LoudSpan(SpeakAndRecord(phrase, {151})).Seconds();
    const double fast = LoudSpan(SpeakAndRecord(phrase, {160})).Seconds();
    EXPECT_GT(slow, fast * 1.5) << slow << " " << fast;

    const auto paused = SpeakAndRecord("Да{wait20}да");
    const double quiet = LongestQuietSeconds(paused, LoudSpan(paused));
    EXPECT_GT(quiet, 1.9);
    EXPECT_LT(quiet, 2.6);
}

TEST(EngineProgram, ATempoChangeIsHeardWithinTheTextBeingSpoken) {
    const std::string text =
        "Мы читаем вслух, медленно и ясно, слово за словом, до самого конца строки.";
    const double fast = LoudSpan(SpeakAndRecord(text, {160})).Seconds();

    const std::string wav = NewWavPath();
    EngineProcess engine(wav);
    engine.Command(151);  // the slowest tempo
    engine.SetText(text);
    engine.Command(301);
    ASSERT_TRUE(Eventually([&] { return engine.Progress().pos > 0; }));
    engine.Command(160);  // the fastest, while the second word is heard
    std::vector<int> positions;
    // The position is read before the caption: the engine puts its caption back before it
    // resets the position, so a position followed by "Стоп" was read while speaking.
    ASSERT_TRUE(Eventually([&] {
        const int position = engine.Progress().pos;
        if (engine.TalkCaption() != kStop) return true;
        positions.push_back(position);
        return false;
    }));
    // Progress still only moves forward through the text.
    ASSERT_FALSE(positions.empty());
    EXPECT_TRUE(std::is_sorted(positions.begin(), positions.end()));
    EXPECT_LE(positions.back(), static_cast<int>(Utf8ToWindows1251(text).size()));
    EXPECT_EQ(engine.Destroy(), 0);

    // Spoken slowly throughout it would take more than twice as long as fast; changed after
    // its first words it takes a little longer than fast.
    const double changed = LoudSpan(RecordedSamples(wav)).Seconds();
    EXPECT_LT(changed, fast * 1.8) << changed << " s against " << fast << " s fast";
    EXPECT_GT(changed, fast * 1.05) << changed << " s against " << fast << " s fast";
}

TEST(EngineProgram, PlaysSoundFilesFromItsWorkingFolder) {
    const std::string folder = MakeTempDir("sounds");
    // Half a second of a loud square wave.
    std::vector<int16_t> square(kRate / 2);
    for (size_t i = 0; i < square.size(); ++i)
        square[i] = (i / 20) % 2 ? 16384 : -16384;
    WriteFile(folder + "/tone.wav", WaveImage(1, 1, kRate, 16, Pcm16(square)));
    std::ofstream(folder + "/broken.wav") << "RIFF????WAVEjunk";
    WriteWinIni("[Keldworth]\nWorkingDirectory=" + folder + "\n");
    const auto samples = SpeakAndRecord("{missing.wav}{broken.wav}{tone.wav}");
    std::filesystem::remove(std::string(std::getenv("XDG_CONFIG_HOME")) + "/tovrin/win.ini");
    const auto loud = std::count_if(samples.begin(), samples.end(),
                                    [](int16_t s) { return std::abs(int{s}) >= kLoud; });
    EXPECT_NEAR(static_cast<double>(loud) / kRate, 0.5, 0.05);
}

TEST(EngineProgram, DetachedEditBoxStillTakesTexts) {
    EngineProcess engine(NewWavPath());
    ASSERT_TRUE(desktop::ShowWindow(engine.edit, false));
    ASSERT_TRUE(desktop::SetParent(engine.edit, kNoWindow));
    EXPECT_EQ(desktop::GetParent(engine.edit), kNoWindow);
    EXPECT_EQ(desktop::FindWindow("Edit", std::nullopt), engine.edit);
    // Showing the window with its edit box away is harmless.
    ASSERT_TRUE(desktop::ShowWindow(engine.main, true));
    EXPECT_TRUE(desktop::IsWindowVisible(engine.main));

    engine.SetText("Да");
    engine.Command(301);
    EXPECT_EQ(engine.TalkCaption(), kStop);
    ASSERT_TRUE(Eventually([&] { return engine.TalkCaption() == kTalk; }));

    ASSERT_TRUE(desktop::SetParent(engine.edit, engine.pane));
    ASSERT_TRUE(desktop::ShowWindow(engine.edit, true));
    EXPECT_EQ(desktop::FindChildWindow(engine.pane, kNoWindow, "Edit", std::nullopt), engine.edit);
    engine.Command(301);
    EXPECT_EQ(engine.TalkCaption(), kStop);
    ASSERT_TRUE(desktop::ShowWindow(engine.main, false));
    EXPECT_EQ(engine.Destroy(), 0);
}

TEST(EngineProgram, DestroyEndsTheProgramAndASecondCopyLeavesTheFirstAlone) {
    EngineProcess engine(NewWavPath());
    const pid_t second = StartWithRecording(EnginePath(), NewWavPath());
    int status = -1;
    ASSERT_TRUE(Eventually([&] { return waitpid(second, &status, WNOHANG) == second; }));
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    EXPECT_TRUE(desktop::IsWindow(engine.main));

    engine.SetText("Раз два три четыре пять шесть семь");
    engine.Command(301);
    ASSERT_EQ(desktop::SendMessage(engine.main, WM_DESTROY, 0), 0);
    // The window is gone as soon as the message is answered.
    EXPECT_FALSE(desktop::IsWindow(engine.main));
    EXPECT_EQ(engine.WaitForExit(), 0);
}

// A stand-in controller: a process of its own, written into the controllers' record.
class RecordedController {
  public:
    RecordedController() {
        pid_ = fork();
        if (pid_ == 0) {
            for (;;)
                pause();
        }
        const auto started = ProcessStartTime(pid_);
        std::ofstream(ControllerRecordPath(*RuntimeFolder()))
            << "controller " << pid_ << " " << started.value_or(0) << " 1 0\n";
    }
    ~RecordedController() { Kill(); }
    void Kill() {
        if (pid_ <= 0) return;
        kill(pid_, SIGKILL);
        waitpid(pid_, nullptr, 0);
        pid_ = -1;
    }

  private:
    pid_t pid_ = -1;
};

TEST(EngineProgram, AControllersEngineEndsOnceNoControllerIsLeft) {
    RecordedController controller;
    EngineProcess engine(NewWavPath(), {"--controlled=50"});
    // Well beyond the grace period: a live controller keeps its engine.
    std::this_thread::sleep_for(std::chrono::milliseconds(400));
    EXPECT_TRUE(engine.Running()) << "ended under a live controller";
    // The controller is killed and never says goodbye: its engine goes by itself.
    controller.Kill();
    EXPECT_EQ(engine.WaitForExit(), 0);
    EXPECT_FALSE(desktop::IsWindow(engine.main));
}

// A recording the disk cannot take is a failure of the program, never a quiet success.
TEST(EngineProgram, AFailedSoundDeviceEndsTheProgramWithAFailureStatus) {
    EngineProcess engine("/dev/full");
    engine.SetText("Раз два три");
    engine.Command(301);
    EXPECT_TRUE(Eventually([&] { return engine.TalkCaption() == kTalk; }));
    EXPECT_EQ(engine.Destroy(), 1);
}

TEST(EngineProgram, BadInputsNeitherCrashNorHang) {
    EngineProcess engine(NewWavPath());
    // Numbers that are not commands change nothing.
    for (uint64_t number : {0ull, 140ull, 181ull, 300ull, 303ull, 305ull, 999999ull}) {
        EXPECT_TRUE(engine.Command(number));
        EXPECT_EQ(engine.TalkCaption(), kTalk);
        EXPECT_EQ(engine.PauseCaption(), kPause);
    }
    // Spy mode on and off with nothing on the clipboard.
    EXPECT_TRUE(engine.Command(304));
    EXPECT_TRUE(engine.Command(304));

    // A text as long as the controller ever sends, and longer; the window answers at once.
    engine.SetBytes(LongRussianText(40000));
    engine.Command(301);
    EXPECT_EQ(engine.TalkCaption(), kStop);
    EXPECT_EQ(engine.Progress().max, 40000);
    engine.Command(302);
    EXPECT_EQ(engine.PauseCaption(), kResume);
    engine.Command(301);
    EXPECT_EQ(engine.TalkCaption(), kTalk);

    std::string binary;
    for (int round = 0; round < 4; ++round)
        for (int c = 1; c < 256; ++c)
            binary += static_cast<char>(c);
    // The text ends at a zero byte, as a window text does.
    binary += std::string(1, '\0') + "unseen";
    const std::vector<std::string> texts = {
        binary,
        "{{{ {" + std::string(600, 'x') + "} }}} {wait99999} " + std::string(700, '{'),
        "{" + std::string(1000, ' ') + "wait5}",
    };
    for (const std::string& text : texts) {
        engine.SetBytes(text);
        engine.Command(301);
        EXPECT_EQ(engine.TalkCaption(), kStop);
        engine.Command(301);
        EXPECT_EQ(engine.TalkCaption(), kTalk);
    }
    // A text of commands alone runs to its end by itself.
    engine.SetText("{hello}{stop}{wait1}{kingkong}{missing.wav}");
    engine.Command(301);
    EXPECT_TRUE(Eventually([&] { return engine.TalkCaption() == kTalk; }));
    EXPECT_TRUE(desktop::IsWindow(engine.main));
    EXPECT_EQ(engine.Destroy(), 0);
}

}  // namespace
}  // namespace tovrin::test
