#include "engine/TalkServ.h"

#include "platform/Process.h"
#include "platform/WaveDevice.h"
#include "tests/platform/Eventually.h"
#include "tests/support/TestEnvironment.h"
#include "text/CodePages.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <thread>

namespace tovrin {
namespace {

class QuietHolder : public SpeechHolder {
  public:
    bool IsPlayerWindow() const override { return true; }
    void PlayerPoll(const EngineState&) override {}
};

std::vector<int16_t> ReadWaveSamples(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::vector<char> bytes{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
    std::vector<int16_t> samples;
    if (bytes.size() <= kWaveHeaderSize) return samples;
    samples.resize((bytes.size() - kWaveHeaderSize) / 2);
    std::memcpy(samples.data(), bytes.data() + kWaveHeaderSize, samples.size() * 2);
    return samples;
}

// A canonical 22,050 Hz mono 16-bit file whose samples follow a pattern found nowhere else.
std::vector<int16_t> WriteSoundFile(const std::string& path, size_t count) {
    std::vector<int16_t> samples(count);
    uint32_t state = 12345;
    for (auto& sample : samples) {
        state = state * 1103515245u + 12345u;
        sample = static_cast<int16_t>(static_cast<int>((state >> 16) % 12000) - 6000);
    }
    const uint32_t dataBytes = static_cast<uint32_t>(count * 2);
    auto put32 = [](std::ofstream& out, uint32_t v) { out.write(reinterpret_cast<char*>(&v), 4); };
    auto put16 = [](std::ofstream& out, uint16_t v) { out.write(reinterpret_cast<char*>(&v), 2); };
    std::ofstream out(path, std::ios::binary);
    out << "RIFF";
    put32(out, dataBytes + 36);
    out << "WAVEfmt ";
    put32(out, 16);
    put16(out, 1);
    put16(out, 1);
    put32(out, 22050);
    put32(out, 44100);
    put16(out, 2);
    put16(out, 16);
    out << "data";
    put32(out, dataBytes);
    out.write(reinterpret_cast<const char*>(samples.data()), dataBytes);
    return samples;
}

// Where `needle` first occurs in `haystack` at or after `from`, allowing for rounding; npos
// when it does not.
size_t Find(const std::vector<int16_t>& haystack, const std::vector<int16_t>& needle,
            size_t from = 0) {
    auto close = [](int a, int b) { return std::abs(a - b) <= 1 + std::abs(b) / 100; };
    for (size_t at = from; at + needle.size() <= haystack.size(); ++at) {
        size_t i = 0;
        while (i < needle.size() && close(haystack[at + i], needle[i]))
            ++i;
        if (i == needle.size()) return at;
    }
    return std::string::npos;
}

bool Contains(const std::vector<int16_t>& haystack, const std::vector<int16_t>& needle) {
    return Find(haystack, needle) != std::string::npos;
}

// The engine program built beside the tests, recording its sound into a temporary WAV file.
class RealEngineTest : public testing::Test {
  protected:
    void SetUp() override {
        wav = test::MakeTempDir("real") + "/out.wav";
        setenv("TOVRIN_AUDIO", ("wav:" + wav).c_str(), 1);
        ASSERT_TRUE(SetWaveOutVolume(0xFFFFFFFF));
        serv = std::make_unique<TTalkServ>(test::BinaryDir() + "/ZalLib");
        serv->ResetController();
        serv->SetEngineRunning(true);
        serv->AcquireEngine(&holder);
    }
    void TearDown() override {
        serv->SetEngineRunning(false);
        EXPECT_TRUE(test::Eventually([&] { return !IsProcessRunning(serv->EngineProcess()); }))
            << "the engine program did not end";
        serv.reset();
        setenv("TOVRIN_AUDIO", "null", 1);
    }
    void AwaitSilence() {
        EXPECT_TRUE(test::Eventually([&] { return !serv->IsBusy(); }))
            << "the engine kept speaking";
    }

    std::string wav;
    QuietHolder holder;
    std::unique_ptr<TTalkServ> serv;
};

TEST_F(RealEngineTest, SpeaksPausesResumesStopsAndCloses) {
    ASSERT_NE(serv->Windows().Main, kNoWindow);
    EXPECT_TRUE(serv->IsPlayerMode());
    const std::string counting = Utf8ToWindows1251(
        "Раз, два, три, четыре, пять, шесть, семь, восемь, девять, десять. "
        "Одиннадцать, двенадцать, тринадцать, четырнадцать, пятнадцать.");
    ASSERT_EQ(serv->SpeakText(counting, &holder), SpeakResult::Accepted);
    EXPECT_TRUE(serv->IsBusy());
    serv->SetPaused(true);
    EXPECT_FALSE(serv->TimedOut());
    EXPECT_TRUE(serv->IsPaused());
    EXPECT_TRUE(serv->GetEngineState().Paused);
    serv->SetPaused(false);
    EXPECT_FALSE(serv->TimedOut());
    EXPECT_FALSE(serv->IsPaused());
    const auto progress = serv->GetProgress();
    EXPECT_GT(progress.Max, progress.Min);
    EXPECT_FALSE(serv->StopSpeech());  // confirmed within the second
    EXPECT_FALSE(serv->IsBusy());

    ASSERT_EQ(serv->SpeakText(Utf8ToWindows1251("Мама мыла раму."), &holder),
              SpeakResult::Accepted);
    AwaitSilence();
    const auto samples = ReadWaveSamples(wav);
    EXPECT_TRUE(std::any_of(samples.begin(), samples.end(),
                            [](int16_t s) { return std::abs(int{s}) > 1000; }));
}

// Script "E1E" at half volume: the fragment, a pause of one second, the fragment again.
TEST_F(RealEngineTest, ADictionaryEntryPlaysItsFragmentsInOrderWithTheirPauses) {
    ASSERT_TRUE(SetWaveOutVolume(0x80008000));
    const std::string sound = test::MakeTempDir("dict") + "/word.wav";
    const auto source = WriteSoundFile(sound, 4000);
    // Bytes 1000..5000 of the data: samples 500..2499.
    const DictionaryRequest request{
        "{TALKSERVCMD}", "{IntelDictionary}", "E1e", "", Utf8ToWindows1251("Слово"), sound, "1000",
        "5000"};
    ASSERT_EQ(serv->SpeakDictionaryEntry(request, &holder), SpeakResult::Accepted);
    ASSERT_TRUE(test::Eventually([&] { return serv->WorkerFinished(); }))
        << "the worker did not finish";
    serv->StopWorker();
    AwaitSilence();
    std::vector<int16_t> fragment;
    for (size_t i = 500; i < 2500; ++i)
        fragment.push_back(static_cast<int16_t>(int64_t{source[i]} * 0x8000 / 0xFFFF));
    const auto recorded = ReadWaveSamples(wav);
    const size_t first = Find(recorded, fragment);
    ASSERT_NE(first, std::string::npos) << "the fragment at half volume";
    const size_t second = Find(recorded, fragment, first + fragment.size());
    ASSERT_NE(second, std::string::npos) << "the fragment played twice";
    const size_t gap = second - (first + fragment.size());
    EXPECT_GE(gap, 22050u * 95 / 100) << "a pause of one second between the two";
    EXPECT_TRUE(std::all_of(recorded.begin() + static_cast<ptrdiff_t>(first + fragment.size()),
                            recorded.begin() + static_cast<ptrdiff_t>(second),
                            [](int16_t s) { return std::abs(int{s}) < 50; }));
    std::vector<int16_t> before;
    for (size_t i = 480; i < 520; ++i)
        before.push_back(static_cast<int16_t>(int64_t{source[i]} * 0x8000 / 0xFFFF));
    EXPECT_FALSE(Contains(recorded, before));  // nothing before the fragment's start
}

}  // namespace
}  // namespace tovrin
