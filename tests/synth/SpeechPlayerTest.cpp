#include "synth/SpeechPlayer.h"

#include "platform/WaveBackends.h"
#include "synth/EspeakSynthesizer.h"
#include "tests/platform/Eventually.h"
#include "tests/support/TestEnvironment.h"
#include "tests/synth/FakeSynthesizer.h"
#include "tests/synth/WaveFixture.h"
#include "text/CodePages.h"

#include <gtest/gtest.h>

#include <sys/stat.h>

#include <algorithm>
#include <filesystem>
#include <atomic>
#include <chrono>
#include <fstream>
#include <thread>

namespace tovrin {
namespace {

using test::FakeSynthesizer;
using test::kFramesPerChar;

// A device whose played count the test sets; writes never block.
struct DeviceState {
    std::atomic<uint64_t> written{0};
    std::atomic<uint64_t> playedLimit{0};
    std::atomic<bool> paused{false};
    std::atomic<int> flushes{0};
    std::atomic<bool> anyNonZeroInSilence{false};
    std::vector<int16_t> samples;  // touched by the playback thread only while running
};

class TestStream : public PcmStream {
  public:
    explicit TestStream(std::shared_ptr<DeviceState> state) : state_(std::move(state)) {}
    bool Write(const int16_t* samples, size_t frames) override {
        state_->samples.insert(state_->samples.end(), samples, samples + frames);
        state_->written += frames;
        return true;
    }
    void Pause() override { state_->paused = true; }
    void Resume() override { state_->paused = false; }
    void Flush() override { ++state_->flushes; }
    void Drain() override {}
    uint64_t FramesPlayed() const override {
        return std::min<uint64_t>(state_->written, state_->playedLimit);
    }

  private:
    std::shared_ptr<DeviceState> state_;
};

class SpeechPlayerTest : public testing::Test {
  protected:
    void StartPlayer(uint64_t playedLimit) {
        device_->playedLimit = playedLimit;
        SpeechPlayer::Listener listener;
        listener.progress = [this](uint64_t speech, uint32_t position) {
            std::lock_guard lock(mutex_);
            progress_.push_back({speech, position});
        };
        listener.finished = [this](uint64_t speech) {
            std::lock_guard lock(mutex_);
            finished_.push_back(speech);
        };
        player_ = std::make_unique<SpeechPlayer>(
            std::make_unique<FakeSynthesizer>(calls_),
            [this](const PcmFormat&) { return std::make_unique<TestStream>(device_); },
            std::move(listener));
    }
    uint64_t Speak(const std::string& text, std::shared_ptr<const OwnDictionary> dictionary = {}) {
        SpeechRequest request;
        request.text = text;
        request.dictionary = std::move(dictionary);
        request.soundFolder = folder_;
        return player_->Speak(std::move(request));
    }
    bool Finished(uint64_t speech) {
        std::lock_guard lock(mutex_);
        return std::find(finished_.begin(), finished_.end(), speech) != finished_.end();
    }
    uint32_t LastPosition() {
        std::lock_guard lock(mutex_);
        return progress_.empty() ? 0 : progress_.back().second;
    }
    std::vector<uint32_t> Positions(uint64_t speech) {
        std::lock_guard lock(mutex_);
        std::vector<uint32_t> positions;
        for (const auto& [id, position] : progress_)
            if (id == speech) positions.push_back(position);
        return positions;
    }

    std::string folder_ = test::MakeTempDir("player");
    std::shared_ptr<std::vector<FakeSynthesizer::Call>> calls_ =
        std::make_shared<std::vector<FakeSynthesizer::Call>>();
    std::shared_ptr<DeviceState> device_ = std::make_shared<DeviceState>();
    std::mutex mutex_;
    std::vector<std::pair<uint64_t, uint32_t>> progress_;
    std::vector<uint64_t> finished_;
    std::unique_ptr<SpeechPlayer> player_;
};

TEST_F(SpeechPlayerTest, SpeaksToTheEndWithProgressInOrder) {
    StartPlayer(UINT64_MAX);
    const uint64_t speech = Speak("one two three");
    ASSERT_TRUE(test::Eventually([&] { return Finished(speech); }));
    EXPECT_EQ(device_->written, 13u * kFramesPerChar);
    const auto positions = Positions(speech);
    ASSERT_FALSE(positions.empty());
    EXPECT_TRUE(std::is_sorted(positions.begin(), positions.end()));
    EXPECT_EQ(positions.back(), 8u);
    ASSERT_EQ(calls_->size(), 1u);
    EXPECT_EQ((*calls_)[0].utf8, "one two three");
}

TEST_F(SpeechPlayerTest, ATextTheSynthesizerFailsOnEndsAndTheNextIsSpoken) {
    StartPlayer(UINT64_MAX);
    const uint64_t failed = Speak("explode");
    ASSERT_TRUE(test::Eventually([&] { return Finished(failed); }));
    const uint64_t next = Speak("one");
    ASSERT_TRUE(test::Eventually([&] { return Finished(next); }));
    EXPECT_EQ(device_->written, 3u * kFramesPerChar);
}

TEST_F(SpeechPlayerTest, ProgressFollowsWhatWasPlayedNotWhatWasMade) {
    StartPlayer(0);
    const uint64_t speech = Speak("one two three");
    ASSERT_TRUE(test::Eventually([&] { return device_->written == 13u * kFramesPerChar; }));
    EXPECT_EQ(LastPosition(), 0u);
    EXPECT_FALSE(Finished(speech));
    device_->playedLimit = 450;
    ASSERT_TRUE(test::Eventually([&] { return LastPosition() == 4u; }));
    EXPECT_FALSE(Finished(speech));
    device_->playedLimit = UINT64_MAX;
    ASSERT_TRUE(test::Eventually([&] { return Finished(speech); }));
}

TEST_F(SpeechPlayerTest, StopDropsTheSoundAndPauseHoldsTheDevice) {
    StartPlayer(0);
    const uint64_t first = Speak("first text");
    ASSERT_TRUE(test::Eventually([&] { return device_->written > 0; }));
    player_->SetPaused(true);
    ASSERT_TRUE(test::Eventually([&] { return device_->paused.load(); }));
    player_->SetPaused(false);
    ASSERT_TRUE(test::Eventually([&] { return !device_->paused.load(); }));
    player_->SetPaused(true);
    ASSERT_TRUE(test::Eventually([&] { return device_->paused.load(); }));
    // Stopped while paused: flushed, and the device runs again for the next speech.
    player_->Stop();
    ASSERT_TRUE(test::Eventually([&] { return device_->flushes >= 1 && !device_->paused; }));
    device_->playedLimit = UINT64_MAX;
    const uint64_t second = Speak("second");
    ASSERT_TRUE(test::Eventually([&] { return Finished(second); }));
    EXPECT_FALSE(Finished(first));
}

TEST_F(SpeechPlayerTest, PausesAndSoundFilesBecomeFrames) {
    StartPlayer(UINT64_MAX);
    // 441 frames of a quiet tone, 16-bit mono at the engine's rate.
    test::WriteFile(folder_ + "/beep.wav",
                    test::WaveImage(1, 1, 22050, 16, test::Pcm16(std::vector<int16_t>(441, 16))));
    std::ofstream(folder_ + "/bad.wav") << "not a sound";
    // Neither a folder nor a pipe with no writer may hold the speech up.
    std::filesystem::create_directory(folder_ + "/folder.wav");
    ASSERT_EQ(mkfifo((folder_ + "/pipe.wav").c_str(), 0600), 0);

    const uint64_t pause = Speak("{wait10}");
    ASSERT_TRUE(test::Eventually([&] { return Finished(pause); }));
    EXPECT_EQ(device_->written, 22050u);
    EXPECT_TRUE(std::all_of(device_->samples.begin(), device_->samples.end(),
                            [](int16_t s) { return s == 0; }));

    const uint64_t sound = Speak("{missing.wav}{bad.wav}{folder.wav}{pipe.wav}{ beep.wav }");
    ASSERT_TRUE(test::Eventually([&] { return Finished(sound); }));
    EXPECT_EQ(device_->written, 22050u + 441u);
    EXPECT_EQ(device_->samples.back(), 16);
    EXPECT_TRUE(calls_->empty());
}

TEST_F(SpeechPlayerTest, DictionaryAndVoiceCommandsReachTheSynthesizer) {
    StartPlayer(UINT64_MAX);
    auto dictionary =
        std::make_shared<OwnDictionary>(OwnDictionary::Parse(Utf8ToWindows1251("кот=кошка")));
    const uint64_t speech = Speak(Utf8ToWindows1251("Кот{temp9}{kingkong}кот"), dictionary);
    ASSERT_TRUE(test::Eventually([&] { return Finished(speech); }));
    ASSERT_EQ(calls_->size(), 2u);
    EXPECT_EQ((*calls_)[0].utf8, "кошка");
    EXPECT_EQ((*calls_)[1].utf8, "кошка");
    EXPECT_EQ((*calls_)[0].settings, ToEspeakSettings(SynthVoice{}));
    EXPECT_EQ((*calls_)[1].settings, ToEspeakSettings(SynthVoice{kNumberedVoiceCount, 5, 9, 0}));
    // The replaced word is reported at the place of the word it replaced.
    EXPECT_EQ(Positions(speech).back(), 20u);
}

TEST_F(SpeechPlayerTest, LongTextsGoInStretchesThatCoverItAll) {
    StartPlayer(UINT64_MAX);
    std::string text;
    for (int i = 0; text.size() < 5000; ++i)
        text += (i % 9 == 8) ? "word. " : "word ";
    const uint64_t speech = Speak(text);
    ASSERT_TRUE(test::Eventually([&] { return Finished(speech); }));
    ASSERT_GT(calls_->size(), 4u);
    std::string joined;
    for (const auto& call : *calls_) {
        EXPECT_LE(call.utf8.size(), 1000u);
        joined += call.utf8;
    }
    EXPECT_EQ(joined, text);
    EXPECT_EQ(Positions(speech).back(), text.rfind("word"));
}

TEST(DevicelessStream, PlaysAtTheClockAndHoldsWhilePaused) {
    const auto device = OpenNullStream(PcmFormat{22050, 1}, CurrentWaveClock());
    PcmStream& stream = *device;
    const std::vector<int16_t> samples(441, 0);
    stream.Write(samples.data(), samples.size());
    EXPECT_LE(stream.FramesPlayed(), 441u);
    stream.Drain();
    EXPECT_EQ(stream.FramesPlayed(), 441u);
    stream.Pause();
    stream.Write(samples.data(), samples.size());
    EXPECT_EQ(stream.FramesPlayed(), 441u);
    stream.Resume();
    stream.Drain();
    EXPECT_EQ(stream.FramesPlayed(), 882u);
    // Flushed frames never play; what follows plays after what had played.
    for (int i = 0; i < 8; ++i)
        stream.Write(samples.data(), samples.size());
    stream.Flush();
    const uint64_t kept = stream.FramesPlayed();
    EXPECT_LT(kept, 882u + 8 * 441u);
    stream.Write(samples.data(), samples.size());
    stream.Drain();
    EXPECT_EQ(stream.FramesPlayed(), kept + 441u);
}

TEST_F(SpeechPlayerTest, WithoutADeviceSpeechStillRunsItsCourse) {
    SpeechPlayer::Listener listener;
    std::atomic<bool> finished{false};
    listener.finished = [&](uint64_t) { finished = true; };
    SpeechPlayer player(
        std::make_unique<FakeSynthesizer>(calls_),
        [](const PcmFormat&) { return std::unique_ptr<PcmStream>(); }, std::move(listener));
    SpeechRequest request;
    request.text = "a{wait1}b";
    player.Speak(std::move(request));
    EXPECT_TRUE(test::Eventually([&] { return finished.load(); }));
}

TEST(EspeakSynthesizer, SpeaksRussianWithWordEventsAndTempo) {
    EspeakSynthesizer synthesizer;
    EXPECT_EQ(synthesizer.SampleRate(), 22050);
    auto synthesize = [&](const std::string& text, const EspeakSettings& settings,
                          std::vector<WordEvent>* words) {
        size_t frames = 0;
        int peak = 0;
        synthesizer.Synthesize(
            text, settings,
            [&](const int16_t* samples, size_t count, const std::vector<WordEvent>& events) {
                for (size_t i = 0; i < count; ++i)
                    peak = std::max(peak, std::abs(int{samples[i]}));
                frames += count;
                if (words) words->insert(words->end(), events.begin(), events.end());
                return true;
            });
        EXPECT_GT(peak, 1000) << settings.voiceName;
        return frames;
    };
    std::vector<WordEvent> words;
    const std::string text = "Привет, дорогой мир";
    synthesize(text, ToEspeakSettings(SynthVoice{}), &words);
    ASSERT_EQ(words.size(), 3u);
    EXPECT_EQ(words[0].charIndex, 0u);
    EXPECT_EQ(words[1].charIndex, 8u);
    EXPECT_EQ(words[2].charIndex, 16u);
    EXPECT_LT(words[1].frame, words[2].frame);

    const size_t slow = synthesize(text, ToEspeakSettings(SynthVoice{0, 5, 0, 0}), nullptr);
    const size_t fast = synthesize(text, ToEspeakSettings(SynthVoice{0, 5, 9, 0}), nullptr);
    EXPECT_GT(slow, fast * 2);
    for (int voice = 0; voice < kNumberedVoiceCount + kNamedVoiceCount; ++voice)
        synthesize("да", ToEspeakSettings(SynthVoice{voice, 5, 7, 0}), nullptr);

    // A sink that refuses cuts the synthesis short.
    size_t calls = 0;
    EXPECT_FALSE(synthesizer.Synthesize(text, ToEspeakSettings(SynthVoice{}),
                                        [&](const int16_t*, size_t, const std::vector<WordEvent>&) {
                                            ++calls;
                                            return false;
                                        }));
    EXPECT_EQ(calls, 1u);
}

}  // namespace
}  // namespace tovrin
