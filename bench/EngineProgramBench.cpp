// The engine program as the controller meets it: how soon a short phrase is heard after the
// talk command, how fast eSpeak NG synthesises, what the idle program costs while polled,
// and its memory. Prints "name value unit" lines.
#include <signal.h>
#include <spawn.h>
#include <stdlib.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "bench/BenchSupport.h"
#include "platform/Desktop.h"
#include "synth/EspeakSynthesizer.h"
#include "text/CodePages.h"

extern char** environ;

namespace {

using tovrin::bench::CpuSeconds;
using tovrin::bench::MakeTempDir;
using tovrin::bench::WaitUntil;

using namespace tovrin;
using Clock = std::chrono::steady_clock;

constexpr int kFirstAudioRuns = 9;
constexpr int kLoud = 400;
constexpr auto kIdleSpan = std::chrono::seconds(10);
constexpr auto kPollInterval = std::chrono::milliseconds(100);

// The bench runs on a private desktop and config, never on the user's; the folders it made.
std::vector<std::string> IsolateFromUserSession() {
    const std::vector<std::string> folders = {MakeTempDir("tovrin-bench-run"),
                                              MakeTempDir("tovrin-bench-cfg")};
    setenv("XDG_RUNTIME_DIR", folders[0].c_str(), 1);
    setenv("XDG_CONFIG_HOME", folders[1].c_str(), 1);
    setenv("QT_QPA_PLATFORM", "offscreen", 1);
    return folders;
}

pid_t StartEngine(const std::string& wavPath) {
    setenv("TOVRIN_AUDIO", ("wav:" + wavPath).c_str(), 1);
    std::string program =
        std::filesystem::read_symlink("/proc/self/exe").parent_path() / "ZalLib" / "zalwin";
    char* argv[] = {program.data(), nullptr};
    pid_t pid = -1;
    if (posix_spawn(&pid, program.c_str(), nullptr, nullptr, argv, environ) != 0) return -1;
    return pid;
}

struct Engine {
    WindowHandle main = kNoWindow, edit = kNoWindow, progress = kNoWindow, talk = kNoWindow;
};

Engine FindEngine() {
    Engine engine;
    WaitUntil([&] {
        return (engine.main = desktop::FindWindow("Speech Synthesizer", std::nullopt)) != 0;
    });
    const WindowHandle pane = desktop::GetFirstChild(engine.main);
    engine.edit = desktop::FindChildWindow(pane, kNoWindow, "Edit", std::nullopt);
    engine.progress = desktop::FindChildWindow(pane, kNoWindow, "ScrollBar", std::nullopt);
    engine.talk = desktop::FindChildWindow(pane, kNoWindow, "Button", std::nullopt);
    return engine;
}

bool IsIdle(const Engine& engine) {
    return desktop::GetWindowText(engine.talk).value_or("") == Utf8ToWindows1251("Говорить");
}

// Reads what the recording gained since `offset` and tells whether a loud sample came in.
bool LoudSampleSince(const std::string& wavPath, std::streamoff& offset) {
    std::ifstream file(wavPath, std::ios::binary);
    if (!file) return false;
    file.seekg(0, std::ios::end);
    const std::streamoff size = file.tellg();
    if (size <= offset) return false;
    file.seekg(offset);
    std::vector<char> bytes(static_cast<size_t>(size - offset));
    file.read(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    const size_t whole = bytes.size() / 2 * 2;
    offset += static_cast<std::streamoff>(whole);
    for (size_t i = 0; i < whole; i += 2) {
        int16_t sample;
        std::memcpy(&sample, bytes.data() + i, 2);
        if (std::abs(int{sample}) >= kLoud) return true;
    }
    return false;
}

std::streamoff FileSize(const std::string& path) {
    std::error_code error;
    const auto size = std::filesystem::file_size(path, error);
    return error ? 44 : static_cast<std::streamoff>(std::max<uintmax_t>(size, 44));
}

double FirstAudioMsMedian(const Engine& engine, const std::string& wavPath) {
    std::vector<double> delays;
    for (int run = 0; run < kFirstAudioRuns; ++run) {
        desktop::SendMessage(engine.edit, WM_SETTEXT, 0, Utf8ToWindows1251("Привет."));
        std::streamoff offset = FileSize(wavPath);
        const auto start = Clock::now();
        desktop::SendMessage(engine.main, WM_COMMAND, 301);
        WaitUntil([&] { return LoudSampleSince(wavPath, offset); });
        delays.push_back(std::chrono::duration<double, std::milli>(Clock::now() - start).count());
        WaitUntil([&] { return IsIdle(engine); });
    }
    std::sort(delays.begin(), delays.end());
    return delays[delays.size() / 2];
}

double SynthesisRealTimeFactor() {
    const std::string sentence = "Синтезатор читает русский текст вслух, слово за словом. ";
    std::string text;
    while (Utf8ToWindows1251(text).size() < 2000)
        text += sentence;
    EspeakSynthesizer synthesizer;
    size_t frames = 0;
    const auto start = Clock::now();
    synthesizer.Synthesize(text, ToEspeakSettings(SynthVoice{}),
                           [&](const int16_t*, size_t count, const std::vector<WordEvent>&) {
                               frames += count;
                               return true;
                           });
    const double seconds = std::chrono::duration<double>(Clock::now() - start).count();
    return seconds / (static_cast<double>(frames) / synthesizer.SampleRate());
}

double IdleCpuPercent(const Engine& engine, pid_t pid) {
    const double before = CpuSeconds(pid);
    const auto start = Clock::now();
    while (Clock::now() - start < kIdleSpan) {
        desktop::GetWindowText(engine.talk);
        desktop::GetScrollInfo(engine.progress);
        std::this_thread::sleep_for(kPollInterval);
    }
    const double elapsed = std::chrono::duration<double>(Clock::now() - start).count();
    return 100.0 * (CpuSeconds(pid) - before) / elapsed;
}

// The peak resident size of the process so far.
double PeakRssMb(pid_t pid) {
    std::ifstream status("/proc/" + std::to_string(pid) + "/status");
    std::string line;
    while (std::getline(status, line)) {
        if (line.rfind("VmHWM:", 0) == 0) return std::stod(line.substr(6)) / 1024.0;
    }
    return 0;
}

}  // namespace

int main() {
    std::vector<std::string> folders = IsolateFromUserSession();
    folders.push_back(MakeTempDir("tovrin-bench-wav"));
    const std::string wavPath = folders.back() + "/engine.wav";
    const pid_t pid = StartEngine(wavPath);
    if (pid <= 0) {
        std::fprintf(stderr, "cannot start the engine program\n");
        return 1;
    }
    const Engine engine = FindEngine();
    if (engine.main == kNoWindow) {
        std::fprintf(stderr, "the engine's window did not appear\n");
        kill(pid, SIGKILL);
        return 1;
    }
    // A first phrase opens the device; the measured runs follow.
    desktop::SendMessage(engine.edit, WM_SETTEXT, 0, Utf8ToWindows1251("Да."));
    desktop::SendMessage(engine.main, WM_COMMAND, 301);
    WaitUntil([&] { return IsIdle(engine); });

    const double firstAudio = FirstAudioMsMedian(engine, wavPath);
    const double rtf = SynthesisRealTimeFactor();
    const double idleCpu = IdleCpuPercent(engine, pid);
    const double rss = PeakRssMb(pid);
    desktop::SendMessage(engine.main, WM_DESTROY, 0);
    waitpid(pid, nullptr, 0);
    for (const std::string& folder : folders) {
        std::error_code ignored;
        std::filesystem::remove_all(folder, ignored);
    }

    std::printf("first_audio_ms_p50 %.1f ms\n", firstAudio);
    std::printf("synthesis_rtf %.4f ratio\n", rtf);
    std::printf("idle_cpu_percent %.2f %%\n", idleCpu);
    std::printf("rss_mb %.1f MB\n", rss);
    return 0;
}
