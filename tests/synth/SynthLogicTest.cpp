#include "synth/EngineConfig.h"
#include "synth/OwnDictionary.h"
#include "synth/ProgressTracker.h"
#include "synth/VoiceSettings.h"
#include "synth/WaveDecoder.h"
#include "tests/support/TestEnvironment.h"
#include "tests/synth/WaveFixture.h"
#include "text/CodePages.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <set>
#include <string>
#include <vector>

namespace tovrin {
namespace {

std::string Cp(std::string_view utf8) {
    return Utf8ToWindows1251(utf8);
}

std::vector<uint32_t> Identity(size_t size) {
    std::vector<uint32_t> origins(size);
    for (size_t i = 0; i < size; ++i)
        origins[i] = static_cast<uint32_t>(i);
    return origins;
}

TEST(OwnDictionary, ReplacesWholeWordsInAnyCase) {
    const auto dictionary =
        OwnDictionary::Parse(Cp("замок=за'мок\r\nЁлка = ёлочка\nбез знака\n=пусто\nдва слова=x\n"));
    EXPECT_EQ(dictionary.size(), 2u);
    std::string text = Cp("ЗАМОК, замки и ёлка: Замок");
    auto origins = Identity(text.size());
    dictionary.Apply(text, origins);
    EXPECT_EQ(text, Cp("за'мок, замки и ёлочка: за'мок"));
    ASSERT_EQ(origins.size(), text.size());
    // Each replacement stands at the start of the word it replaced; the rest keep their place.
    EXPECT_EQ(origins[0], 0u);
    EXPECT_EQ(origins[5], 0u);
    EXPECT_EQ(origins[6], 5u);
    EXPECT_EQ(origins.back(), 21u);
}

TEST(OwnDictionary, FilesMissingEmptyOrFound) {
    EXPECT_TRUE(OwnDictionary::LoadFile("/nonexistent/owndict.dic").empty());
    const std::string folder = test::MakeTempDir("dict");
    std::ofstream(folder + "/owndict.dic", std::ios::binary) << Cp("кот=кошка\n");
    const auto dictionary = OwnDictionary::LoadFile(folder + "/owndict.dic");
    std::string text = Cp("котик кот");
    auto origins = Identity(text.size());
    dictionary.Apply(text, origins);
    EXPECT_EQ(text, Cp("котик кошка"));
}

TEST(OwnDictionary, ALongReplacementGrowsATextOnlyBoundedly) {
    const std::string longSound(20000, 'a');
    const auto dictionary = OwnDictionary::Parse("x=" + longSound + "\n");
    std::string text;
    for (int i = 0; i < 1000; ++i)
        text += "x ";
    auto origins = Identity(text.size());
    dictionary.Apply(text, origins);
    EXPECT_LE(text.size(), 2000u + 65536u);
    EXPECT_EQ(origins.size(), text.size());
    EXPECT_EQ(text.substr(0, 20001), longSound + " ");
    EXPECT_EQ(text.substr(text.size() - 2), "x ");
}

TEST(EngineConfig, FollowsWinIniAndFallsBackToEngineFolder) {
    const std::string engineFolder = test::MakeTempDir("engine");
    std::filesystem::create_directories(engineFolder + "/owndict");
    auto config = ReadEngineConfig(engineFolder);
    EXPECT_EQ(config.soundFolder, engineFolder);
    ASSERT_EQ(config.dictionaryPaths.size(), 2u);
    EXPECT_EQ(config.dictionaryPaths[0], engineFolder + "/owndict/owndict.dic");
    EXPECT_EQ(config.dictionaryPaths[1], engineFolder + "/owndict.dic");

    // The controller's keys, with the separators it may write.
    const std::string sounds = test::MakeTempDir("sounds");
    const std::string iniFolder = std::string(std::getenv("XDG_CONFIG_HOME")) + "/tovrin";
    std::filesystem::create_directories(iniFolder);
    std::ofstream(iniFolder + "/win.ini")
        << "[Keldworth]\nWorkingDirectory=" << sounds << "\n[ZalSynthes]\nPath=" << engineFolder
        << "\\owndict\\owndict.dic\n";
    config = ReadEngineConfig(engineFolder);
    EXPECT_EQ(config.soundFolder, sounds);
    EXPECT_EQ(config.dictionaryPaths[0], engineFolder + "/owndict/owndict.dic");

    // The dictionary is read when it appears and again when it changes.
    DictionaryCache cache;
    EXPECT_EQ(cache.Get(config.dictionaryPaths), nullptr);
    std::ofstream(engineFolder + "/owndict.dic") << "a=b\n";
    auto first = cache.Get(config.dictionaryPaths);
    ASSERT_NE(first, nullptr);
    EXPECT_EQ(first->size(), 1u);
    EXPECT_EQ(cache.Get(config.dictionaryPaths), first);
    std::ofstream(engineFolder + "/owndict.dic") << "a=b\nc=d\n";
    EXPECT_EQ(cache.Get(config.dictionaryPaths)->size(), 2u);
    std::filesystem::remove(iniFolder + "/win.ini");
}

TEST(VoiceSettings, ParametersMoveTheirEspeakValuesOneWay) {
    SynthVoice params;
    for (int n = 1; n <= kMaxParameter; ++n) {
        SynthVoice lower = params, higher = params;
        lower.tempo = n - 1;
        higher.tempo = n;
        EXPECT_LT(ToEspeakSettings(lower).rate, ToEspeakSettings(higher).rate) << n;
        lower = higher = params;
        lower.timbre = n - 1;
        higher.timbre = n;
        EXPECT_LT(ToEspeakSettings(lower).pitch, ToEspeakSettings(higher).pitch) << n;
        lower = higher = params;
        lower.melody = n - 1;
        higher.melody = n;
        EXPECT_LT(ToEspeakSettings(lower).range, ToEspeakSettings(higher).range) << n;
    }
    // Out-of-range values are clamped into what eSpeak accepts.
    const auto wild = ToEspeakSettings(SynthVoice{99, -5, 1000, 42});
    EXPECT_GE(wild.rate, 80);
    EXPECT_LE(wild.rate, 450);
    EXPECT_GE(wild.pitch, 0);
    EXPECT_LE(wild.pitch, 99);
}

TEST(VoiceSettings, TenDistinctRussianVoicesAndNamedCharacters) {
    std::set<std::tuple<std::string, int, int, int>> distinct;
    for (int voice = 0; voice < kNumberedVoiceCount; ++voice) {
        const auto settings = ToEspeakSettings(SynthVoice{voice, 5, 7, 0});
        EXPECT_TRUE(settings.voiceName.starts_with("ru")) << settings.voiceName;
        distinct.insert({settings.voiceName, settings.pitch, settings.range, settings.rate});
    }
    EXPECT_EQ(distinct.size(), static_cast<size_t>(kNumberedVoiceCount));
    EXPECT_EQ(NamedVoiceIndex("{kingkong}"), kNumberedVoiceCount);
    EXPECT_EQ(NamedVoiceIndex(Cp("{мышь}")), kNumberedVoiceCount + 4);
    EXPECT_EQ(NamedVoiceIndex("{captain}"), kNumberedVoiceCount + kNamedVoiceCount - 1);
    EXPECT_EQ(NamedVoiceIndex("{kingkong"), -1);
    EXPECT_EQ(NamedVoiceIndex("{KingKong}"), -1);  // the caller normalises
}

TEST(ProgressTracker, FollowsPlayedFrames) {
    ProgressTracker tracker;
    EXPECT_EQ(tracker.Advance(1000), 0u);
    tracker.AddMark(0, 0);
    tracker.AddMark(100, 6);
    tracker.AddMark(250, 12);
    tracker.AddMark(200, 20);  // out of order: counts from the latest frame on
    EXPECT_EQ(tracker.Advance(99), 0u);
    EXPECT_EQ(tracker.Advance(100), 6u);
    EXPECT_EQ(tracker.Advance(249), 6u);
    EXPECT_EQ(tracker.Advance(250), 20u);
    tracker.Reset();
    EXPECT_EQ(tracker.Advance(5000), 0u);
}

using test::Pcm16;
using test::WaveImage;

TEST(WaveDecoder, ConvertsToMonoAtTheEngineRate) {
    std::vector<int16_t> ramp;
    for (int i = 0; i < 100; ++i)
        ramp.push_back(static_cast<int16_t>(i * 100));
    const std::string pcm16 = Pcm16(ramp);
    const auto same = DecodeWaveImage(WaveImage(1, 1, 22050, 16, pcm16), 22050);
    ASSERT_TRUE(same);
    ASSERT_EQ(same->size(), 100u);
    EXPECT_EQ((*same)[0], 0);
    EXPECT_NEAR((*same)[50], 5000, 1);

    // 8-bit stereo at half the rate: twice the frames, channels averaged.
    std::string stereo8;
    for (int i = 0; i < 50; ++i)
        stereo8 += std::string{static_cast<char>(255), static_cast<char>(1)};
    const auto mixed = DecodeWaveImage(WaveImage(1, 2, 11025, 8, stereo8), 22050);
    ASSERT_TRUE(mixed);
    EXPECT_EQ(mixed->size(), 100u);
    EXPECT_NEAR((*mixed)[10], 0, 300);
}

TEST(WaveDecoder, DecodesAtMostTheLongestSoundOfAFile) {
    // 2000 seconds of 8-bit sound at 1000 Hz: 2 MB that would become 44 million samples.
    std::string data(2'000'000, '\x80');
    data[0] = '\xFF';
    const auto decoded = DecodeWaveImage(WaveImage(1, 1, 1000, 8, data), 22050);
    ASSERT_TRUE(decoded);
    EXPECT_EQ(decoded->size(), size_t{22050} * kMaxDecodedSeconds);
    EXPECT_NEAR((*decoded)[0], 32511, 1);
    EXPECT_EQ(decoded->back(), 0);
}

TEST(WaveDecoder, RefusesMalformedImages) {
    const std::string good = WaveImage(1, 1, 22050, 16, std::string(8, '\0'));
    EXPECT_TRUE(DecodeWaveImage(good, 22050));
    EXPECT_FALSE(DecodeWaveImage("", 22050));
    EXPECT_FALSE(DecodeWaveImage("RIFX" + good.substr(4), 22050));
    EXPECT_FALSE(DecodeWaveImage(good.substr(0, 30), 22050));
    EXPECT_FALSE(DecodeWaveImage(WaveImage(2, 1, 22050, 4, "abcd"), 22050));  // ADPCM
    EXPECT_FALSE(DecodeWaveImage(WaveImage(1, 0, 22050, 16, "abcd"), 22050));
    EXPECT_FALSE(DecodeWaveImage(WaveImage(1, 1, 0, 16, "abcd"), 22050));
    EXPECT_FALSE(LoadWaveFile("/nonexistent.wav", 22050));
    // A data chunk that claims more than the file holds plays what is there.
    std::string truncated = good;
    truncated[truncated.size() - 12] = '\x7f';
    EXPECT_TRUE(DecodeWaveImage(truncated, 22050));
}

}  // namespace
}  // namespace tovrin
