#include "engine/DictThread.h"

#include "engine/AnyCaseName.h"
#include "engine/EngineError.h"
#include "platform/FileReader.h"
#include "platform/WaveImage.h"
#include "tests/engine/RecordingWorkerHost.h"
#include "tests/support/ManualWaveClock.h"
#include "tests/support/TestEnvironment.h"

#include <gtest/gtest.h>

#include <sys/stat.h>

#include <cstring>
#include <filesystem>
#include <fstream>
#include <future>
#include <thread>

namespace tovrin {
namespace {

using test::RecordingWorkerHost;
using Events = std::vector<std::string>;

// A sound file whose header bytes are all distinct from its data, and whose data byte i is
// i % 251, so every copied byte can be traced to its offset.
std::string WriteSoundFile(size_t dataBytes) {
    const std::string path = test::MakeTempDir("sound") + "/word.wav";
    std::string bytes(kWaveHeaderSize, '\0');
    for (size_t i = 0; i < kWaveHeaderSize; ++i)
        bytes[i] = static_cast<char>(0xC0 + i);
    for (size_t i = 0; i < dataBytes; ++i)
        bytes.push_back(static_cast<char>(i % 251));
    std::ofstream(path, std::ios::binary) << bytes;
    return path;
}

DictionaryRequest Request(const std::string& script, const std::string& path,
                          const std::string& start = "", const std::string& end = "") {
    return {"{TALKSERVCMD}", "{IntelDictionary}", script, "text-t", "text-r", path, start, end};
}

uint32_t Read32(const std::vector<uint8_t>& bytes, size_t at) {
    return bytes[at] | bytes[at + 1] << 8 | bytes[at + 2] << 16 | uint32_t{bytes[at + 3]} << 24;
}

Events RunToEnd(RecordingWorkerHost& host, const DictionaryRequest& request) {
    TDictThread worker(host, request);
    worker.Start();
    EXPECT_TRUE(test::Eventually([&] { return worker.Finished(); })) << "the worker did not finish";
    return host.Events();
}

TEST(DictThread, FragmentIsTheHeaderWithPatchedSizesAndTheChosenBytes) {
    RecordingWorkerHost host;
    const auto path = WriteSoundFile(1000);
    TDictThread worker(host, Request("E", path, "300", "310"));
    worker.ReadFragment();
    const auto& fragment = worker.Fragment();
    ASSERT_EQ(fragment.size(), kWaveHeaderSize + 10);
    EXPECT_EQ(Read32(fragment, 4), 46u);
    EXPECT_EQ(Read32(fragment, 40), 10u);
    for (size_t i = 0; i < kWaveHeaderSize; ++i) {
        if ((i >= 4 && i < 8) || i >= 40) continue;
        EXPECT_EQ(fragment[i], 0xC0 + i) << "header byte " << i;
    }
    for (size_t i = 0; i < 10; ++i)
        EXPECT_EQ(fragment[kWaveHeaderSize + i], (300 + i) % 251);
    EXPECT_EQ(worker.SoundFileName(), path);

    // The fragment may end exactly at the end of the file.
    TDictThread whole(host, Request("E", path, "0", "1000"));
    whole.ReadFragment();
    EXPECT_EQ(whole.Fragment().size(), kWaveHeaderSize + 1000);
}

TEST(DictThread, FragmentBoundsAreCorrected) {
    RecordingWorkerHost host;
    const auto path = WriteSoundFile(1000);
    TDictThread reversed(host, Request("", path, "500", "100"));  // end raised to the start
    reversed.ReadFragment();
    EXPECT_EQ(reversed.Fragment().size(), kWaveHeaderSize);
    EXPECT_EQ(Read32(reversed.Fragment(), 4), 36u);
    EXPECT_EQ(Read32(reversed.Fragment(), 40), 0u);

    TDictThread negative(host, Request("", path, "-20", "4"));  // start counts as 0
    negative.ReadFragment();
    ASSERT_EQ(negative.Fragment().size(), kWaveHeaderSize + 4);
    EXPECT_EQ(negative.Fragment()[kWaveHeaderSize], 0);

    TDictThread blanks(host, Request("", path, " ", ""));
    blanks.ReadFragment();
    EXPECT_EQ(blanks.Fragment().size(), kWaveHeaderSize);

    TDictThread missing(host, Request("", path + ".none", "0", "10"));
    missing.ReadFragment();
    EXPECT_TRUE(missing.Fragment().empty());
    EXPECT_TRUE(missing.SoundFileName().empty());
}

// Dictionaries name their sound files in upper case and in Windows-1251; the disk holds them
// in UTF-8 and in any case. The exact name still wins over a look-alike.
TEST(DictThread, SoundFileIsFoundInAnyLetterCase) {
    RecordingWorkerHost host;
    const auto original = WriteSoundFile(100);
    const std::string folder = original.substr(0, original.rfind('/') + 1);
    const std::string russian = folder + "\xd0\x9a\xd0\xbe\xd1\x82.wav";  // "Кот.wav" in UTF-8
    std::filesystem::copy_file(original, russian);
    TDictThread cyrillic(host, Request("E", folder + "\xca\xce\xd2.WAV", "0", "10"));  // "КОТ.WAV"
    cyrillic.ReadFragment();
    EXPECT_EQ(cyrillic.SoundFileName(), russian);
    EXPECT_EQ(cyrillic.Fragment().size(), kWaveHeaderSize + 10);

    TDictThread latin(host, Request("E", folder + "WORD.WAV", "0", "10"));
    latin.ReadFragment();
    EXPECT_EQ(latin.SoundFileName(), folder + "word.wav");
    std::filesystem::copy_file(original, folder + "WORD.WAV");
    TDictThread exact(host, Request("E", folder + "WORD.WAV", "0", "10"));
    exact.ReadFragment();
    EXPECT_EQ(exact.SoundFileName(), folder + "WORD.WAV");

    std::filesystem::create_directory(folder + "Slovar1");
    EXPECT_EQ(FindNameAnyCase(folder.substr(0, folder.size() - 1), "SLOVAR1"), folder + "Slovar1");
    EXPECT_TRUE(FindNameAnyCase(folder, "WORD.WA").empty());
    EXPECT_TRUE(FindNameAnyCase(folder + "none", "word.wav").empty());
}

TEST(DictThread, CreationFailuresReachTheCaller) {
    RecordingWorkerHost host;
    const auto path = WriteSoundFile(100);
    auto messageOf = [&](const DictionaryRequest& request) -> std::string {
        try {
            TDictThread worker(host, request);
        } catch (const EngineError& e) {
            return e.what();
        }
        return "no error";
    };
    EXPECT_EQ(messageOf(Request("E", path, "0", "101")),
              "Ошибка чтения звукового файла: запись словаря выходит за его конец");
    EXPECT_EQ(messageOf(Request("E", path, "200", "")),
              "Ошибка чтения звукового файла: запись словаря выходит за его конец");
    EXPECT_EQ(messageOf(Request("E", path, "x1", "5")), "'x1' is not a valid integer value");
    EXPECT_EQ(messageOf(Request("E", path, "0", "5.0")), "'5.0' is not a valid integer value");
    auto seven = Request("E", path);
    seven.pop_back();
    EXPECT_EQ(messageOf(seven), "List index out of bounds (7)");
    const std::string tiny = test::MakeTempDir("tiny") + "/short.wav";
    std::ofstream(tiny, std::ios::binary) << "RIFF";
    EXPECT_EQ(messageOf(Request("E", tiny)),
              "Ошибка чтения звукового файла: запись словаря выходит за его конец");
    const std::string folder = test::MakeTempDir("folder");
    EXPECT_EQ(messageOf(Request("E", folder)),
              "Не удается открыть звуковой файл \"" + folder + "\"");
    const std::string pipe = folder + "/pipe";
    ASSERT_EQ(mkfifo(pipe.c_str(), 0600), 0);  // opening it to read would wait for a writer
    EXPECT_EQ(messageOf(Request("E", pipe)), "Не удается открыть звуковой файл \"" + pipe + "\"");
    EXPECT_TRUE(host.Events().empty());
}

// Only the entry's stretch is read, by the run and not by the caller, and never more than a
// bounded stretch: the fragment played is what the file holds when the run reads it.
TEST(DictThread, TheRunReadsOnlyABoundedStretch) {
    const auto path = WriteSoundFile(1000);
    RecordingWorkerHost host;
    {
        TDictThread worker(host, Request("E", path, "10", "14"));
        std::fstream file(path, std::ios::binary | std::ios::in | std::ios::out);
        file.seekp(kWaveHeaderSize + 10);
        file << "abcd";
        file.close();
        worker.Start();
        ASSERT_TRUE(test::Eventually([&] { return worker.Finished(); }));
        EXPECT_EQ(host.Events(), Events{"play:48"});
        const auto image = host.LastImage();
        ASSERT_EQ(image.size(), kWaveHeaderSize + 4);
        EXPECT_EQ(std::string(image.begin() + kWaveHeaderSize, image.end()), "abcd");
        EXPECT_EQ(image[0], 0xC0);
    }
    // A stretch beyond any recorded word, in a file that does hold it, is refused unread.
    const std::string large = test::MakeTempDir("large") + "/long.wav";
    std::filesystem::copy_file(path, large);
    std::filesystem::resize_file(large, kWaveHeaderSize + kMaxSoundStretchBytes + 100);
    TDictThread fits(host, Request("E", large, "100", std::to_string(100 + kMaxSoundStretchBytes)));
    EXPECT_THROW(
        TDictThread(host, Request("E", large, "99", std::to_string(100 + kMaxSoundStretchBytes))),
        EngineError);
}

TEST(DictThread, ScriptSteps) {
    const auto path = WriteSoundFile(100);
    {
        RecordingWorkerHost host;  // a blank script plays R1E1
        EXPECT_EQ(RunToEnd(host, Request("  ", path, "0", "8")),
                  (Events{"say:text-r", "say:{wait 10}", "play:52", "say:{wait 10}"}));
    }
    {
        RecordingWorkerHost host;  // lower case counts; 0 and unknown letters are skipped
        EXPECT_EQ(RunToEnd(host, Request("e2t0x9", path)),
                  (Events{"play:44", "say:{wait 20}", "say:text-t", "say:{wait 90}"}));
    }
    {
        RecordingWorkerHost host;  // a failed play ends the run
        host.playSucceeds = false;
        EXPECT_EQ(RunToEnd(host, Request("RET", path)), (Events{"say:text-r", "play:44"}));
    }
    {
        RecordingWorkerHost host;  // a missing sound file plays an empty image
        EXPECT_EQ(RunToEnd(host, Request("E", path + ".gone")), (Events{"play:0"}));
    }
}

TEST(DictThread, EachStepWaitsForSilenceAndThePauseFlag) {
    RecordingWorkerHost host;
    host.holdSpeech = true;
    TDictThread worker(host, Request("RT", ""));
    worker.Start();
    host.AwaitEvents(1);  // R is spoken; the worker now waits for the engine to fall silent

    host.paused = true;
    host.speaking = false;
    const long since = host.clock.Sleeps();
    host.clock.AwaitSleeps(since, 50);  // the worker keeps polling and says nothing
    EXPECT_EQ(host.Events(), (Events{"say:text-r"}));
    EXPECT_FALSE(worker.Finished());

    host.paused = false;
    host.AwaitEvents(2);
    host.speaking = false;
    EXPECT_TRUE(test::Eventually([&] { return worker.Finished(); })) << "the worker did not finish";
    EXPECT_EQ(host.Events(), (Events{"say:text-r", "say:text-t"}));
}

TEST(DictThread, AnEngineThatVanishesEndsTheRun) {
    RecordingWorkerHost host;
    host.holdSpeech = true;
    TDictThread worker(host, Request("RT", ""));
    worker.Start();
    host.AwaitEvents(1);
    host.engineAlive = false;  // the talk button is gone, so the engine seems to speak on
    EXPECT_TRUE(test::Eventually([&] { return worker.Finished(); })) << "the worker did not finish";
    EXPECT_EQ(host.Events(), (Events{"say:text-r"}));
}

TEST(DictThread, TerminationEndsEveryWait) {
    RecordingWorkerHost host;
    host.speaking = true;  // the engine never falls silent
    auto worker = std::make_unique<TDictThread>(host, Request("RT", ""));
    worker->Start();
    host.clock.AwaitSleeps(0, 20);
    worker->Terminate();
    ASSERT_TRUE(test::Eventually([&] { return worker->Finished(); }))
        << "the worker did not finish";
    EXPECT_TRUE(host.Events().empty());
    worker.reset();

    host.speaking = false;
    host.paused = true;  // held before its first step, then freed by destruction
    worker = std::make_unique<TDictThread>(host, Request("RT", ""));
    worker->Start();
    host.clock.AwaitSleeps(host.clock.Sleeps(), 20);
    worker.reset();
    EXPECT_TRUE(host.Events().empty());
}

// A wave clock that stands still until released, and then runs as a manual clock: a sound
// played by it never ends unless it is cut short.
class HeldWaveClock : public ManualWaveClock {
  public:
    void WaitUntil(std::unique_lock<std::mutex>& lock, std::condition_variable& condition,
                   std::optional<int64_t> deadlineNs) override {
        if (released) return ManualWaveClock::WaitUntil(lock, condition, deadlineNs);
        condition.wait_for(lock, std::chrono::milliseconds(10));
    }
    std::atomic<bool> released{false};
};

// Plays fragments on the wave device, as the controller does.
class PlayingHost : public RecordingWorkerHost {
  public:
    bool PlayFragment(const std::vector<uint8_t>& image, WaveCancel& cancel) override {
        RecordingWorkerHost::PlayFragment(image, cancel);
        return PlayWaveImage(image.data(), image.size(), &cancel);
    }
};

TEST(DictThread, EndingTheWorkerCutsAPlayingFragmentShort) {
    // Ten seconds of 22,050 Hz mono sound.
    const uint32_t dataBytes = 10 * 22050 * 2;
    std::vector<uint8_t> header(kWaveHeaderSize);
    std::memcpy(header.data(), "RIFF\0\0\0\0WAVEfmt ", 16);
    WriteLe32(&header[4], dataBytes + 36);
    WriteLe32(&header[16], 16);
    WriteLe16(&header[20], 1);
    WriteLe16(&header[22], 1);
    WriteLe32(&header[24], 22050);
    WriteLe32(&header[28], 22050 * 2);
    WriteLe16(&header[32], 2);
    WriteLe16(&header[34], 16);
    std::memcpy(&header[36], "data", 4);
    WriteLe32(&header[40], dataBytes);
    const std::string path = test::MakeTempDir("sound") + "/long.wav";
    std::ofstream(path, std::ios::binary)
        << std::string(header.begin(), header.end()) << std::string(dataBytes, '\x10');

    HeldWaveClock clock;
    InstallWaveClock(&clock);
    PlayingHost host;
    auto worker =
        std::make_unique<TDictThread>(host, Request("E", path, "", std::to_string(dataBytes)));
    worker->Start();
    host.AwaitEvents(1);
    auto ended = std::async(std::launch::async, [&] { worker.reset(); });
    const bool endedSoon = ended.wait_for(std::chrono::seconds(5)) == std::future_status::ready;
    clock.released = true;  // lets a fragment that was not cut short end, so the test ends
    ended.wait();
    InstallWaveClock(nullptr);
    EXPECT_TRUE(endedSoon) << "ending the worker waited for its fragment to play out";
}

}  // namespace
}  // namespace tovrin
