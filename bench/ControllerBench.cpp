// Controller speed against the real engine program: one state query, the work of one 100 ms
// tick of the main window, one engine start, the silence between two paragraphs read by
// tovrin-say and between two dictionary entries; and the tick beside a sick engine window, one
// that lacks a control. Runs in private runtime and config folders with the wave device
// recording into a temporary file, so it touches nothing of the user's. Prints "name value
// unit" lines.
#include "engine/TalkServ.h"
#include "platform/Process.h"
#include "tests/engine/FakeEngine.h"
#include "text/CodePages.h"

#include <algorithm>
#include <cmath>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>
#include <thread>
#include <vector>

namespace tovrin {
namespace {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

constexpr int kSampleRate = 22050;
constexpr int kStateQueries = 2000;
constexpr int kTicks = 1000;
constexpr int kSickTicks = 50;
constexpr int kStarts = 5;
constexpr int kParagraphs = 8;
constexpr int kEntries = 12;
constexpr auto kTick = std::chrono::milliseconds(100);

double Percentile(std::vector<double> values, double fraction) {
    if (values.empty()) return -1;
    std::sort(values.begin(), values.end());
    return values[std::min(values.size() - 1, static_cast<size_t>(values.size() * fraction))];
}

double Median(std::vector<double> values) {
    return Percentile(std::move(values), 0.5);
}

double ElapsedSince(Clock::time_point start, double unitsPerSecond) {
    return std::chrono::duration<double>(Clock::now() - start).count() * unitsPerSecond;
}

// What the main window's timer asks of the controller on every tick, in ms.
double TimeTick(TTalkServ& serv) {
    const auto start = Clock::now();
    serv.GetEngineState();
    serv.GetProgress();
    serv.GetVolume();
    if (serv.WorkerFinished()) serv.StopWorker();
    return ElapsedSince(start, 1e3);
}

std::string Isolate() {
    const fs::path root = fs::temp_directory_path() / ("tovrin-bench-" + std::to_string(getpid()));
    fs::create_directories(root / "run");
    fs::create_directories(root / "config");
    fs::permissions(root / "run", fs::perms::owner_all);
    setenv("XDG_RUNTIME_DIR", (root / "run").c_str(), 1);
    setenv("XDG_CONFIG_HOME", (root / "config").c_str(), 1);
    setenv("QT_QPA_PLATFORM", "offscreen", 1);
    return root.string();
}

void MeasureController() {
    setenv("TOVRIN_AUDIO", "null", 1);
    std::vector<double> starts;
    std::vector<double> queries;
    std::vector<double> ticks;
    TTalkServ serv;
    for (int i = 0; i < kStarts; ++i) {
        const auto start = Clock::now();
        serv.SetEngineRunning(true);
        starts.push_back(ElapsedSince(start, 1e3));
        if (i == 0) {
            for (int q = 0; q < kStateQueries; ++q) {
                const auto before = Clock::now();
                serv.GetEngineState();
                queries.push_back(ElapsedSince(before, 1e6));
            }
            for (int t = 0; t < kTicks; ++t)
                ticks.push_back(TimeTick(serv) * 1e3);
        }
        serv.SetEngineRunning(false);
        // Let the closed engine leave the desktop before the next start is timed.
        while (IsProcessRunning(serv.EngineProcess()))
            std::this_thread::yield();
    }
    std::printf("engine_state_us_p50 %.1f us\n", Median(queries));
    std::printf("engine_state_us_p99 %.1f us\n", Percentile(queries, 0.99));
    std::printf("tick_us_p50 %.1f us\n", Median(ticks));
    std::printf("tick_us_p99 %.1f us\n", Percentile(ticks, 0.99));
    std::printf("start_engine_ms %.1f ms\n", Median(starts));
}

// After the one bounded search of its controls, a sick engine window costs a tick nothing
// more than a healthy one.
void MeasureSickEngine() {
    TTalkServ serv;
    test::FakeEngine sick;
    sick.DestroyControl(sick.Pause());
    TimeTick(serv);  // the one bounded search
    std::vector<double> ticks;
    for (int t = 0; t < kSickTicks; ++t)
        ticks.push_back(TimeTick(serv));
    std::printf("sick_engine_tick_ms %.2f ms\n", *std::max_element(ticks.begin(), ticks.end()));
}

std::vector<int16_t> ReadWaveSamples(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::vector<char> bytes{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
    std::vector<int16_t> samples;
    // Walk the chunks to "data"; the recorder writes the canonical layout, but do not rely on it.
    size_t at = 12;
    while (at + 8 <= bytes.size()) {
        uint32_t size = 0;
        std::memcpy(&size, &bytes[at + 4], 4);
        if (std::string(&bytes[at], 4) == "data") {
            const size_t end = std::min(bytes.size(), at + 8 + size);
            samples.resize((end - at - 8) / 2);
            std::memcpy(samples.data(), &bytes[at + 8], samples.size() * 2);
            break;
        }
        at += 8 + size + (size & 1);
    }
    return samples;
}

// Silent stretches between sounding ones, in ms, measured in 5 ms frames.
std::vector<double> SilentGaps(const std::vector<int16_t>& samples) {
    constexpr size_t kFrame = kSampleRate / 200;
    constexpr int kLoud = 300;
    std::vector<bool> loud;
    for (size_t at = 0; at + kFrame <= samples.size(); at += kFrame) {
        int peak = 0;
        for (size_t i = at; i < at + kFrame; ++i)
            peak = std::max(peak, std::abs(int{samples[i]}));
        loud.push_back(peak >= kLoud);
    }
    std::vector<double> gaps;
    const auto first = std::find(loud.begin(), loud.end(), true);
    size_t run = 0;
    for (auto it = first; it != loud.end(); ++it) {
        if (*it) {
            if (run) gaps.push_back(run * 5.0);
            run = 0;
        } else {
            ++run;
        }
    }
    return gaps;
}

void MeasurePortionGap(const std::string& root) {
    const std::string wav = root + "/say.wav";
    const std::string document = root + "/paragraphs.txt";
    // Paragraphs apart by empty lines, of sounds without stops, so that the only long
    // silences are those between paragraphs.
    const char* names[] = {"Мама", "Лена", "Нина", "Луна", "Рома", "Мила", "Вера", "Нора"};
    std::string text;
    for (int i = 0; i < kParagraphs; ++i)
        text += std::string(names[i]) + " мыла раму\r\n\r\n";
    std::ofstream(document, std::ios::binary) << Utf8ToWindows1251(text);

    setenv("TOVRIN_AUDIO", ("wav:" + wav).c_str(), 1);
    const std::string command =
        "'" + ExecutableFolder() + "/tovrin-say' --file '" + document + "' 2>/dev/null";
    if (std::system(command.c_str()) != 0) {
        std::printf("portion_gap_ms_p50 -1 ms\n");
        return;
    }
    // The longest silences of the recording are the ones between paragraphs.
    auto gaps = SilentGaps(ReadWaveSamples(wav));
    std::sort(gaps.rbegin(), gaps.rend());
    gaps.resize(std::min<size_t>(gaps.size(), kParagraphs - 1));
    std::printf("portion_gap_ms_p50 %.1f ms\n", Median(gaps));
}

class SilentHolder : public SpeechHolder {
  public:
    bool IsPlayerWindow() const override { return true; }
    void PlayerPoll(const EngineState&) override {}
};

// Tones of different lengths, as words are: 150 ms and 37 ms more for each further tone, so
// that their ends fall anywhere between two ticks.
int ToneFrames(int tone) {
    return kSampleRate * (150 + 37 * tone) / 1000;
}

// A canonical 22,050 Hz mono 16-bit file of `count` tones, back to back.
void WriteTones(const std::string& path, int count) {
    std::vector<int16_t> samples;
    for (int tone = 0; tone < count; ++tone)
        for (int i = 0; i < ToneFrames(tone); ++i)
            samples.push_back(static_cast<int16_t>(
                8000 * std::sin(2 * M_PI * (600 + 40 * tone) * i / kSampleRate)));
    const auto dataBytes = static_cast<uint32_t>(samples.size() * 2);
    const uint32_t format[] = {16, 0x00010001, kSampleRate, kSampleRate * 2, 0x00100002};
    std::ofstream out(path, std::ios::binary);
    const uint32_t riffSize = dataBytes + 36;
    out.write("RIFF", 4).write(reinterpret_cast<const char*>(&riffSize), 4).write("WAVEfmt ", 8);
    out.write(reinterpret_cast<const char*>(format), sizeof format).write("data", 4);
    out.write(reinterpret_cast<const char*>(&dataBytes), 4);
    out.write(reinterpret_cast<const char*>(samples.data()), dataBytes);
}

// The silence between dictionary entries read one after another as a player reads them: on
// each 100 ms tick a finished worker is freed, and a silent controller gets the next entry.
// Entry i plays tone i of one sound file (script "E").
void MeasureDictionaryGap(const std::string& root) {
    const std::string wav = root + "/dictionary.wav";
    const std::string sound = root + "/tones.wav";
    WriteTones(sound, kEntries);
    setenv("TOVRIN_AUDIO", ("wav:" + wav).c_str(), 1);
    SilentHolder holder;
    TTalkServ serv;
    serv.SetEngineRunning(true);
    serv.AcquireEngine(&holder);
    int sent = 0;
    int offset = 0;
    auto tick = Clock::now();
    for (;;) {
        if (serv.HasWorker() && serv.WorkerFinished()) serv.StopWorker();
        if (!serv.IsBusy()) {
            if (sent == kEntries) break;
            const int bytes = ToneFrames(sent) * 2;
            serv.SpeakDictionaryEntry({"{TALKSERVCMD}", "{IntelDictionary}", "E", "", "", sound,
                                       std::to_string(offset), std::to_string(offset + bytes)},
                                      &holder);
            offset += bytes;
            ++sent;
        }
        tick += kTick;
        std::this_thread::sleep_until(tick);
    }
    serv.SetEngineRunning(false);
    while (IsProcessRunning(serv.EngineProcess()))
        std::this_thread::yield();
    std::printf("dictionary_entry_gap_ms_p50 %.1f ms\n", Median(SilentGaps(ReadWaveSamples(wav))));
}

}  // namespace
}  // namespace tovrin

int main() {
    const std::string root = tovrin::Isolate();
    try {
        tovrin::MeasureController();
        tovrin::MeasureSickEngine();
        tovrin::MeasurePortionGap(root);
        tovrin::MeasureDictionaryGap(root);
    } catch (const std::exception& e) {
        std::fprintf(stderr, "controller_bench: %s\n", e.what());
        std::filesystem::remove_all(root);
        return 1;
    }
    std::filesystem::remove_all(root);
    return 0;
}
