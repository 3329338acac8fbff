#include "platform/WaveDevice.h"

#include "platform/Process.h"
#include "platform/RuntimeFolder.h"
#include "platform/WaveImage.h"
#include "tests/support/ManualWaveClock.h"
#include "tests/support/PulseServerProcess.h"
#include "tests/platform/Eventually.h"
#include "tests/support/TestEnvironment.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <stdlib.h>
#include <sys/wait.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <future>
#include <sstream>
#include <thread>

namespace tovrin {
namespace {

constexpr int64_t kMs = 1'000'000;

std::vector<uint8_t> ReadBytes(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::vector<uint8_t>(std::istreambuf_iterator<char>(in), {});
}

void AppendId(std::vector<uint8_t>& out, const char* id) {
    out.insert(out.end(), id, id + 4);
}
void AppendLe32(std::vector<uint8_t>& out, uint32_t v) {
    for (int i = 0; i < 4; ++i)
        out.push_back(uint8_t(v >> (8 * i)));
}
void AppendLe16(std::vector<uint8_t>& out, uint16_t v) {
    out.push_back(uint8_t(v));
    out.push_back(uint8_t(v >> 8));
}

struct ImageSpec {
    int rate = 22050;
    int channels = 1;
    int bits = 16;
    bool extraChunk = false;  // an odd-sized chunk between "fmt " and "data"
};

std::vector<uint8_t> MakeImage(const ImageSpec& spec, const std::vector<uint8_t>& data) {
    std::vector<uint8_t> body = {'W', 'A', 'V', 'E'};
    AppendId(body, "fmt ");
    AppendLe32(body, 16);
    AppendLe16(body, 1);
    AppendLe16(body, uint16_t(spec.channels));
    AppendLe32(body, uint32_t(spec.rate));
    AppendLe32(body, uint32_t(spec.rate * spec.channels * spec.bits / 8));
    AppendLe16(body, uint16_t(spec.channels * spec.bits / 8));
    AppendLe16(body, uint16_t(spec.bits));
    if (spec.extraChunk) {
        AppendId(body, "LIST");
        AppendLe32(body, 3);
        body.insert(body.end(), {'a', 'b', 'c', 0});  // padded to even
    }
    AppendId(body, "data");
    AppendLe32(body, uint32_t(data.size()));
    body.insert(body.end(), data.begin(), data.end());
    std::vector<uint8_t> image = {'R', 'I', 'F', 'F'};
    AppendLe32(image, uint32_t(body.size()));
    for (uint8_t byte : body)
        image.push_back(byte);
    return image;
}

std::vector<uint8_t> Pcm16Bytes(const std::vector<int16_t>& samples) {
    std::vector<uint8_t> bytes;
    for (int16_t s : samples)
        AppendLe16(bytes, uint16_t(s));
    return bytes;
}

// The recorded samples, after checking that the header describes the file exactly.
std::vector<int16_t> Recording(const std::string& path) {
    std::vector<uint8_t> bytes = ReadBytes(path);
    auto image = ParseWaveImage(bytes.data(), bytes.size());
    EXPECT_TRUE(image.has_value()) << "recording unreadable";
    if (!image) return {};
    EXPECT_EQ(image->sampleRate, 22050);
    EXPECT_EQ(image->channels, 1);
    EXPECT_EQ(image->bitsPerSample, 16);
    EXPECT_EQ(bytes.size(), 44 + 2 * image->frames) << "header sizes count every byte";
    return ToPcm16(*image);
}

// Runs of equal samples, as (value, length).
std::vector<std::pair<int16_t, size_t>> Runs(const std::vector<int16_t>& samples) {
    std::vector<std::pair<int16_t, size_t>> runs;
    for (int16_t s : samples) {
        if (runs.empty() || runs.back().first != s) runs.push_back({s, 0});
        ++runs.back().second;
    }
    return runs;
}

std::vector<int16_t> Constant(size_t count, int16_t value) {
    return std::vector<int16_t>(count, value);
}

// Every test plays on a clock that moves only when the device waits, so nothing sleeps.
class WaveDeviceTest : public testing::Test {
  protected:
    void SetUp() override {
        InstallWaveClock(&clock_);
        ASSERT_TRUE(SetWaveOutVolume(0xFFFFFFFF));
    }
    void TearDown() override {
        setenv("TOVRIN_AUDIO", "null", 1);
        InstallWaveClock(nullptr);
    }
    std::string UseRecording() {
        std::string path = test::MakeTempDir("wav") + "/device.wav";
        setenv("TOVRIN_AUDIO", ("wav:" + path).c_str(), 1);
        return path;
    }
    ManualWaveClock clock_;
};

TEST(WaveImageTest, ParsesGoodImagesAndRejectsBadOnes) {
    auto stereo = MakeImage({44100, 2, 16, true}, Pcm16Bytes({100, -100, 200, -200, 300}));
    auto image = ParseWaveImage(stereo.data(), stereo.size());
    ASSERT_TRUE(image.has_value());
    EXPECT_EQ(image->sampleRate, 44100);
    EXPECT_EQ(image->channels, 2);
    EXPECT_EQ(image->frames, 2u) << "the torn last frame is dropped";
    EXPECT_EQ(ToPcm16(*image), (std::vector<int16_t>{100, -100, 200, -200}));

    auto eightBit = MakeImage({8000, 1, 8}, {0, 128, 255});
    image = ParseWaveImage(eightBit.data(), eightBit.size());
    ASSERT_TRUE(image.has_value());
    EXPECT_EQ(ToPcm16(*image), (std::vector<int16_t>{-32768, 0, 32512}));

    auto good = MakeImage({}, Pcm16Bytes(Constant(100, 7)));
    auto bad = [](std::vector<uint8_t> bytes) {
        return !ParseWaveImage(bytes.data(), bytes.size()).has_value();
    };
    EXPECT_TRUE(bad(std::vector<uint8_t>(good.begin(), good.end() - 10))) << "truncated";
    EXPECT_TRUE(bad(std::vector<uint8_t>(good.begin(), good.begin() + 30))) << "cut in fmt";
    auto lyingData = good;
    lyingData[40] = 0xF0;  // data size far beyond the image; RIFF size left as it was
    EXPECT_TRUE(bad(lyingData));
    auto lyingRiff = good;
    lyingRiff[7] = 0x7F;
    EXPECT_TRUE(bad(lyingRiff));
    auto badAlign = good;
    badAlign[32] = 4;
    EXPECT_TRUE(bad(badAlign));
    EXPECT_TRUE(bad(MakeImage({22050, 1, 24}, {1, 2, 3})));
    EXPECT_TRUE(bad(MakeImage({22050, 3, 16}, {1, 2, 3, 4, 5, 6})));
    auto floatTag = good;
    floatTag[20] = 3;
    EXPECT_TRUE(bad(floatTag));
    std::vector<uint8_t> dataFirst = {'R', 'I', 'F', 'F', 12,  0,   0, 0, 'W', 'A',
                                      'V', 'E', 'd', 'a', 't', 'a', 0, 0, 0,   0};
    EXPECT_TRUE(bad(dataFirst)) << "fmt missing";
    auto notRiff = good;
    notRiff[0] = 'X';
    EXPECT_TRUE(bad(notRiff));
    EXPECT_TRUE(bad({}));
}

TEST_F(WaveDeviceTest, PlayWaveImageOnTheNullDevice) {
    EXPECT_EQ(WaveOutDeviceCount(), 1);
    EXPECT_TRUE(PlayWaveImage(nullptr, 0)) << "an empty image plays nothing";
    auto image = MakeImage({}, Pcm16Bytes(Constant(22050, 1000)));
    int64_t before = clock_.NowNs();
    EXPECT_TRUE(PlayWaveImage(image.data(), image.size()));
    EXPECT_GE(clock_.NowNs() - before, 1000 * kMs) << "returns only when it has played";
    EXPECT_LT(clock_.NowNs() - before, 1001 * kMs);
    auto headerOnly = MakeImage({}, {});
    EXPECT_TRUE(PlayWaveImage(headerOnly.data(), headerOnly.size()));
    image[40] = 0xFF;
    image[41] = 0xFF;
    EXPECT_FALSE(PlayWaveImage(image.data(), image.size()));
    std::string junk = "definitely not a wave image";
    EXPECT_FALSE(PlayWaveImage(junk.data(), junk.size()));
}

TEST_F(WaveDeviceTest, NoDeviceAtAll) {
    setenv("TOVRIN_AUDIO", "none", 1);
    EXPECT_EQ(WaveOutDeviceCount(), 0);
    EXPECT_EQ(PcmStream::Open(PcmFormat{}), nullptr);
    uint32_t volume = 0;
    EXPECT_FALSE(GetWaveOutVolume(volume));
    EXPECT_FALSE(SetWaveOutVolume(0));
    auto image = MakeImage({}, Pcm16Bytes(Constant(10, 1)));
    EXPECT_FALSE(PlayWaveImage(image.data(), image.size()));
    EXPECT_TRUE(PlayWaveImage(image.data(), 0));
    setenv("TOVRIN_AUDIO", "null", 1);
    EXPECT_EQ(PcmStream::Open(PcmFormat{22050, 3}), nullptr) << "unsupported format";
}

TEST_F(WaveDeviceTest, StreamKeepsRealTimePace) {
    auto stream = PcmStream::Open(PcmFormat{22050, 1});
    ASSERT_NE(stream, nullptr);
    auto second = Constant(22050, 5);
    int64_t start = clock_.NowNs();
    ASSERT_TRUE(stream->Write(second.data(), 4410));  // fills the 200 ms lead without waiting
    EXPECT_EQ(clock_.NowNs(), start);
    EXPECT_EQ(stream->FramesPlayed(), 0u);
    clock_.Advance(100 * kMs);
    EXPECT_EQ(stream->FramesPlayed(), 2205u);
    stream->Pause();
    clock_.Advance(1000 * kMs);
    EXPECT_EQ(stream->FramesPlayed(), 2205u) << "paused time does not count";
    stream->Resume();
    clock_.Advance(50 * kMs);
    EXPECT_EQ(stream->FramesPlayed(), 3307u);

    // A long write returns when no more than the lead is left to play.
    int64_t before = clock_.NowNs();
    ASSERT_TRUE(stream->Write(second.data(), 22050));
    uint64_t played = stream->FramesPlayed();
    EXPECT_GE(played + 4410, 4410u + 22050u);
    EXPECT_LE(clock_.NowNs() - before, 1000 * kMs);
    stream->Flush();
    EXPECT_EQ(stream->FramesPlayed(), played) << "flushed frames never play";
    clock_.Advance(1000 * kMs);
    EXPECT_EQ(stream->FramesPlayed(), played);
    ASSERT_TRUE(stream->Write(second.data(), 100));
    stream->Drain();
    EXPECT_EQ(stream->FramesPlayed(), played + 100);
}

TEST_F(WaveDeviceTest, RecordingHasGainSilenceAndOnlyWhatPlayed) {
    std::string path = UseRecording();
    auto stream = PcmStream::Open(PcmFormat{22050, 1});
    ASSERT_NE(stream, nullptr);
    auto loud = Constant(22050, 16000);

    ASSERT_TRUE(SetWaveOutVolume(0x40004000));
    ASSERT_TRUE(stream->Write(loud.data(), 2205));
    stream->Drain();
    clock_.Advance(500 * kMs);
    // Another process changes the volume: the file is replaced behind the stream's back.
    std::ofstream(*RuntimeFolder() + "/wave-volume.new") << 0xFFFFFFFFu << "\n";
    std::filesystem::rename(*RuntimeFolder() + "/wave-volume.new",
                            *RuntimeFolder() + "/wave-volume");
    ASSERT_TRUE(stream->Write(loud.data(), 4410));
    clock_.Advance(50 * kMs);
    stream->Flush();
    clock_.Advance(10 * kMs);
    ASSERT_TRUE(stream->Write(loud.data(), 1000));
    stream->Pause();  // nothing of these has played yet
    clock_.Advance(300 * kMs);
    stream->Resume();
    stream->Drain();
    stream.reset();

    auto runs = Runs(Recording(path));
    int16_t quarter = int16_t(16000 * 0x4000 / 0xFFFF);
    std::vector<std::pair<int16_t, size_t>> expected = {
        {quarter, 2205}, {0, 11025}, {16000, 1102}, {0, 6836}, {16000, 1000}};
    EXPECT_EQ(runs, expected);
}

TEST_F(WaveDeviceTest, RecordingConvertsOtherFormats) {
    std::string path = UseRecording();
    auto stereo = PcmStream::Open(PcmFormat{44100, 2});
    ASSERT_NE(stereo, nullptr);
    std::vector<int16_t> frames;
    for (int i = 0; i < 44100; ++i)
        frames.insert(frames.end(), {3000, 1000});
    ASSERT_TRUE(stereo->Write(frames.data(), 44100));
    stereo->Drain();
    stereo.reset();
    // An eight-bit mono image at 11,025 Hz right after it, so no silence between.
    auto image = MakeImage({11025, 1, 8}, std::vector<uint8_t>(1102, 128 + 64));
    ASSERT_TRUE(PlayWaveImage(image.data(), image.size()));

    auto runs = Runs(Recording(path));
    ASSERT_EQ(runs.size(), 2u);
    EXPECT_EQ(runs[0].first, 2000);
    EXPECT_NEAR(double(runs[0].second), 22050, 2);
    EXPECT_EQ(runs[1].first, 64 * 256);
    EXPECT_NEAR(double(runs[1].second), 2204, 3);
}

TEST_F(WaveDeviceTest, RecordingHeaderValidMidWayAndTornTailRepaired) {
    std::string path = UseRecording();
    auto stream = PcmStream::Open(PcmFormat{22050, 1});
    auto tone = Constant(4410, 300);
    ASSERT_TRUE(stream->Write(tone.data(), 4410));
    clock_.Advance(100 * kMs);
    EXPECT_EQ(stream->FramesPlayed(), 2205u);
    EXPECT_EQ(Recording(path), Constant(2205, 300)) << "what has played is already in the file";

    // A writer killed in the middle of its samples leaves bytes the header does not count.
    std::ofstream(path, std::ios::binary | std::ios::app) << "torn";
    auto bytes = ReadBytes(path);
    ASSERT_TRUE(ParseWaveImage(bytes.data(), bytes.size()).has_value());
    stream->Drain();
    EXPECT_EQ(Recording(path), Constant(4410, 300));

    // A file that is not such a recording is never written over.
    std::string foreign = test::MakeTempDir("wav") + "/notes.wav";
    std::ofstream(foreign) << "my own notes, not a recording";
    setenv("TOVRIN_AUDIO", ("wav:" + foreign).c_str(), 1);
    auto refused = PcmStream::Open(PcmFormat{22050, 1});
    ASSERT_NE(refused, nullptr);
    refused->Write(tone.data(), 100);
    refused->Drain();
    EXPECT_FALSE(refused->Write(tone.data(), 100));
    refused.reset();
    auto kept = ReadBytes(foreign);
    EXPECT_EQ(std::string(kept.begin(), kept.end()), "my own notes, not a recording");
}

TEST_F(WaveDeviceTest, TwoWritersAppendInOrder) {
    std::string path = UseRecording();
    auto play = [](int16_t value) {
        auto stream = PcmStream::Open(PcmFormat{22050, 1});
        auto piece = Constant(441, value);
        for (int i = 0; i < 50; ++i)
            ASSERT_TRUE(stream->Write(piece.data(), piece.size()));
        stream->Drain();
    };
    std::thread first(play, int16_t(1111));
    std::thread second(play, int16_t(2222));
    first.join();
    second.join();
    auto samples = Recording(path);
    EXPECT_EQ(std::count(samples.begin(), samples.end(), int16_t(1111)), 22050);
    EXPECT_EQ(std::count(samples.begin(), samples.end(), int16_t(2222)), 22050);
}

// Real processes on the system clock: each writer takes as long as its sound lasts, and the
// checks hold whatever the timing.
TEST(WaveRecordingProcessesTest, ProcessesAppendAndAKilledWriterLeavesAReadableFile) {
    std::string path = test::MakeTempDir("wav") + "/shared.wav";
    setenv("TOVRIN_AUDIO", ("wav:" + path).c_str(), 1);
    std::string writer = test::BinaryDir() + "/wave_test_writer";
    ProcessInfo first, second;
    ASSERT_EQ(StartHiddenProcess(writer, {"1111", "4410"}, "/", first), 0);
    ASSERT_EQ(StartHiddenProcess(writer, {"2222", "4410"}, "/", second), 0);
    ASSERT_TRUE(
        test::Eventually([&] { return !IsProcessRunning(first) && !IsProcessRunning(second); }));
    auto samples = Recording(path);
    EXPECT_EQ(std::count(samples.begin(), samples.end(), int16_t(1111)), 4410);
    EXPECT_EQ(std::count(samples.begin(), samples.end(), int16_t(2222)), 4410);

    ProcessInfo killed;
    size_t before = ReadBytes(path).size();
    ASSERT_EQ(StartHiddenProcess(writer, {"3333", "2205000"}, "/", killed), 0);
    ASSERT_TRUE(test::Eventually([&] { return ReadBytes(path).size() > before + 4410; }));
    ASSERT_TRUE(TerminateProcess(killed, 0));
    ASSERT_TRUE(test::Eventually([&] { return !IsProcessRunning(killed); }));
    auto bytes = ReadBytes(path);
    auto image = ParseWaveImage(bytes.data(), bytes.size());
    ASSERT_TRUE(image.has_value()) << "readable after the writer was killed";
    EXPECT_LE(44 + 2 * image->frames, bytes.size());

    auto stream = PcmStream::Open(PcmFormat{22050, 1});
    auto tone = Constant(441, 4444);
    ASSERT_TRUE(stream->Write(tone.data(), tone.size()));
    stream->Drain();
    stream.reset();
    setenv("TOVRIN_AUDIO", "null", 1);
    auto runs = Runs(Recording(path));
    ASSERT_FALSE(runs.empty());
    EXPECT_EQ(runs.back(), std::make_pair(int16_t(4444), size_t(441)));
    EXPECT_TRUE(std::any_of(runs.begin(), runs.end(), [](auto& run) { return run.first == 3333; }));
}

TEST_F(WaveDeviceTest, VolumeIsSharedThroughTheRuntimeFolder) {
    std::string file = *RuntimeFolder() + "/wave-volume";
    std::filesystem::remove(file);
    uint32_t volume = 0;
    ASSERT_TRUE(GetWaveOutVolume(volume));
    EXPECT_EQ(volume, 0xFFFFFFFFu) << "full volume when none was set";
    ASSERT_TRUE(SetWaveOutVolume(0x12345678));
    ASSERT_TRUE(GetWaveOutVolume(volume));
    EXPECT_EQ(volume, 0x12345678u);
    std::ofstream(file) << "4294967296\n";
    EXPECT_FALSE(GetWaveOutVolume(volume)) << "an unreadable volume is a failure";
    std::filesystem::remove(file);
    std::filesystem::create_directory(file);
    EXPECT_FALSE(GetWaveOutVolume(volume));
    std::filesystem::remove(file);
}

// A FIFO put in place of the volume file has no writer: opening it for reading the usual way
// would wait for one for ever.
TEST_F(WaveDeviceTest, AVolumeFileThatIsNoRegularFileIsRefusedWithoutWaiting) {
    const std::string file = *RuntimeFolder() + "/wave-volume";
    std::filesystem::remove(file);
    ASSERT_EQ(mkfifo(file.c_str(), 0600), 0);
    auto reading = std::async(std::launch::async, [] {
        uint32_t volume = 0;
        const bool read = GetWaveOutVolume(volume);
        auto stream = PcmStream::Open(PcmFormat{22050, 1});  // applies the volume as it plays
        auto tone = Constant(441, 1000);
        return !read && stream && stream->Write(tone.data(), tone.size());
    });
    const bool done = reading.wait_for(std::chrono::seconds(10)) == std::future_status::ready;
    if (!done) close(open(file.c_str(), O_WRONLY | O_NONBLOCK));  // frees a blocked reader
    ASSERT_TRUE(done) << "reading the volume waited on a FIFO";
    EXPECT_TRUE(reading.get()) << "the FIFO is refused as a volume, and playing goes on";
    std::filesystem::remove(file);
}

// Each failure of the device reaches the program using it: a word on standard error and a
// failure status, never a quiet success.
TEST(WaveDeviceFailureTest, FailuresEndTheProgramWithAFailureStatus) {
    const std::string writer = test::BinaryDir() + "/wave_test_writer";
    const std::string missing = test::MakeTempDir("wav") + "/no/such/folder/device.wav";
    for (const std::string& audio :
         {std::string("wav:/dev/full"), "wav:" + missing, std::string("speakers")}) {
        const std::string command =
            "TOVRIN_AUDIO='" + audio + "' timeout 20 " + writer + " 1000 4410 2>&1; echo status=$?";
        std::string output;
        if (FILE* run = popen(command.c_str(), "r")) {
            char chunk[256];
            while (size_t got = fread(chunk, 1, sizeof chunk, run))
                output.append(chunk, got);
            pclose(run);
        }
        EXPECT_NE(output.find("wave device: "), std::string::npos) << audio << ": " << output;
        EXPECT_NE(output.find("status=1"), std::string::npos) << audio << ": " << output;
    }
}

// A private PulseAudio server with a null sink, listening on a socket of its own.
class PulseServer {
  public:
    PulseServer() : folder_(test::MakeTempDir("pulse")), socket_(folder_ + "/native") {
        pid_ = test::SpawnPulseServer(folder_, socket_);
        setenv("PULSE_SERVER", ("unix:" + socket_).c_str(), 1);
    }
    ~PulseServer() {
        unsetenv("PULSE_SERVER");
        if (pid_ <= 0) return;
        kill(pid_, SIGKILL);
        waitpid(pid_, nullptr, 0);
    }
    bool Answers() {
        return pid_ > 0 && test::Eventually([&] {
                   setenv("TOVRIN_AUDIO", "pulse", 1);
                   return std::filesystem::exists(socket_) && PcmStream::Open(PcmFormat{});
               });
    }
    void Signal(int signal) { kill(pid_, signal); }

  private:
    std::string folder_;
    std::string socket_;
    pid_t pid_ = -1;
};

// A stopped server (SIGSTOP) accepts connections and answers nothing: no call of the device
// may wait on it for ever, and the sound goes on as silence.
TEST(WaveDevicePulseTest, AStoppedSoundServerHoldsNoCallForEver) {
    PulseServer server;
    ASSERT_TRUE(std::filesystem::exists("/usr/bin/pulseaudio")) << "scripts/setup installs it";
    ASSERT_TRUE(server.Answers());
    ManualWaveClock clock;  // the silent fallback then takes no real time
    InstallWaveClock(&clock);
    auto writing = PcmStream::Open(PcmFormat{});
    auto draining = PcmStream::Open(PcmFormat{});
    ASSERT_TRUE(writing && draining);
    const auto tone = Constant(2205, 1000);
    ASSERT_TRUE(draining->Write(tone.data(), tone.size()));
    server.Signal(SIGSTOP);
    auto calls = std::async(std::launch::async, [&] {
        bool written = true;
        for (int i = 0; i < 30; ++i)  // three seconds: more than the server takes ahead
            written = writing->Write(tone.data(), tone.size()) && written;
        draining->Drain();
        auto opened = PcmStream::Open(PcmFormat{});
        return written && opened && opened->Write(tone.data(), tone.size());
    });
    const bool returned = calls.wait_for(std::chrono::seconds(30)) == std::future_status::ready;
    server.Signal(SIGCONT);  // frees a call that was held, so the test can end
    InstallWaveClock(nullptr);
    ASSERT_TRUE(returned) << "a call waited on the stopped server";
    EXPECT_TRUE(calls.get()) << "writing goes on in silence";
    setenv("TOVRIN_AUDIO", "null", 1);
}

}  // namespace
}  // namespace tovrin
