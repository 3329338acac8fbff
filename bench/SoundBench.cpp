// Sound-device figures: how soon ending the dictionary worker silences a long fragment, and
// how long one wave-device call can be held by a sound server that has been stopped
// (SIGSTOP: alive, accepting connections, answering nothing). The server is a private
// PulseAudio started here; without the pulseaudio program a socket that accepts and never
// answers stands in for it. Prints "name value unit" lines.
#include "tests/support/PulseServerProcess.h"

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <functional>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "engine/DictThread.h"
#include "platform/Desktop.h"
#include "platform/WaveDevice.h"
#include "platform/WaveImage.h"

extern char** environ;

namespace {

using namespace tovrin;
using Clock = std::chrono::steady_clock;

double SecondsOf(const std::function<void()>& call) {
    const auto start = Clock::now();
    call();
    return std::chrono::duration<double>(Clock::now() - start).count();
}

std::vector<uint8_t> ToneImage(int seconds) {
    const uint32_t dataBytes = uint32_t(seconds) * 22050 * 2;
    std::vector<uint8_t> image(44);
    std::memcpy(image.data(), "RIFF\0\0\0\0WAVEfmt ", 16);
    WriteLe32(&image[4], dataBytes + 36);
    WriteLe32(&image[16], 16);
    WriteLe16(&image[20], 1);
    WriteLe16(&image[22], 1);
    WriteLe32(&image[24], 22050);
    WriteLe32(&image[28], 22050 * 2);
    WriteLe16(&image[32], 2);
    WriteLe16(&image[34], 16);
    std::memcpy(&image[36], "data", 4);
    WriteLe32(&image[40], dataBytes);
    for (uint32_t i = 0; i < dataBytes / 2; ++i) {
        image.push_back(uint8_t(i * 64));
        image.push_back(uint8_t((i * 64) >> 8));
    }
    return image;
}

// The controller's side of a worker that plays one fragment ("E") and nothing else.
class FragmentHost : public DictWorkerHost {
  public:
    bool IsSpeaking() override { return false; }
    bool SendText(const std::string&) override { return true; }
    bool IsDictionaryPaused() const override { return false; }
    bool IsEngineAlive() override { return true; }
    bool PlayFragment(const std::vector<uint8_t>& image, WaveCancel& cancel) override {
        return PlayWaveImage(image.data(), image.size(), &cancel);
    }
    void PausePoll() override { std::this_thread::sleep_for(std::chrono::milliseconds(5)); }
};

double StopWorkerMs(const std::string& folder) {
    setenv("TOVRIN_AUDIO", "null", 1);
    const std::string path = folder + "/ten-seconds.wav";
    const std::vector<uint8_t> image = ToneImage(10);
    if (FILE* out = std::fopen(path.c_str(), "wb")) {
        std::fwrite(image.data(), 1, image.size(), out);
        std::fclose(out);
    }
    FragmentHost host;
    const DictionaryRequest request = {"{TALKSERVCMD}",
                                       "{IntelDictionary}",
                                       "E",
                                       "",
                                       "",
                                       path,
                                       "",
                                       std::to_string(image.size() - 44)};
    auto worker = std::make_unique<TDictThread>(host, request);
    worker->Start();
    std::this_thread::sleep_for(std::chrono::milliseconds(500));
    return 1000 * SecondsOf([&] { worker.reset(); });
}

// A stopped server: the real one under SIGSTOP, or a socket nobody answers on.
class FrozenServer {
  public:
    explicit FrozenServer(const std::string& folder) : socket_(folder + "/native") {
        if (!StartPulseaudio(folder)) ListenSilently();
        setenv("PULSE_SERVER", ("unix:" + socket_).c_str(), 1);
    }
    ~FrozenServer() {
        if (pid_ > 0) {
            kill(pid_, SIGCONT);
            kill(pid_, SIGTERM);
            waitpid(pid_, nullptr, 0);
        }
        if (listener_ >= 0) close(listener_);
    }
    bool real() const { return pid_ > 0; }
    void Freeze() {
        if (pid_ > 0) kill(pid_, SIGSTOP);
    }

  private:
    bool StartPulseaudio(const std::string& folder) {
        setenv("HOME", folder.c_str(), 1);  // the engine started later keeps to this folder too
        pid_ = test::SpawnPulseServer(folder, socket_);
        if (pid_ < 0) return false;
        for (int i = 0; i < 500 && !std::filesystem::exists(socket_); ++i)
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        std::this_thread::sleep_for(std::chrono::milliseconds(200));
        return std::filesystem::exists(socket_);
    }
    void ListenSilently() {
        listener_ = socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
        sockaddr_un address{};
        address.sun_family = AF_UNIX;
        std::strncpy(address.sun_path, socket_.c_str(), sizeof address.sun_path - 1);
        bind(listener_, reinterpret_cast<sockaddr*>(&address), sizeof address);
        listen(listener_, 64);
    }

    std::string socket_;
    pid_t pid_ = -1;
    int listener_ = -1;
};

// The engine program's start until its window is on the desktop, with the stopped server.
double EngineStartSeconds() {
    const std::string engine =
        std::filesystem::read_symlink("/proc/self/exe").parent_path() / "ZalLib" / "zalwin";
    unsetenv("TOVRIN_AUDIO");
    setenv("QT_QPA_PLATFORM", "offscreen", 1);
    char* argv[] = {const_cast<char*>(engine.c_str()), nullptr};
    const auto start = Clock::now();
    pid_t pid = -1;
    if (posix_spawn(&pid, engine.c_str(), nullptr, nullptr, argv, environ) != 0) return -1;
    WindowHandle window = kNoWindow;
    while (window == kNoWindow && Clock::now() - start < std::chrono::seconds(60)) {
        window = desktop::FindWindow("Speech Synthesizer", std::nullopt);
        if (window == kNoWindow) std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    const double seconds = std::chrono::duration<double>(Clock::now() - start).count();
    if (window != kNoWindow) desktop::SendMessage(window, WM_DESTROY, 0);
    kill(pid, SIGKILL);
    waitpid(pid, nullptr, 0);
    return seconds;
}

void FrozenServerFigures(const std::string& folder) {
    FrozenServer server(folder);
    setenv("TOVRIN_AUDIO", "pulse", 1);
    const std::vector<int16_t> piece(441, 1000);  // 20 ms
    // Two streams open while the server still answers (with the stand-in they fall back).
    auto writing = PcmStream::Open(PcmFormat{});
    auto draining = PcmStream::Open(PcmFormat{});
    if (!writing || !draining) return;
    for (int i = 0; i < 10; ++i)
        draining->Write(piece.data(), piece.size());
    server.Freeze();

    double longest = 0;
    double write = 0;
    for (int i = 0; i < 150; ++i)  // three seconds of sound, a piece at a time
        write = std::max(write, SecondsOf([&] { writing->Write(piece.data(), piece.size()); }));
    const double drain = SecondsOf([&] { draining->Drain(); });
    const double open = SecondsOf([&] { PcmStream::Open(PcmFormat{}); });
    const std::vector<uint8_t> image = ToneImage(1);
    const double play = SecondsOf([&] { PlayWaveImage(image.data(), image.size()); }) - 1.0;
    const double volume = SecondsOf([&] {
        uint32_t level = 0;
        SetWaveOutVolume(0x80008000);
        GetWaveOutVolume(level);
    });
    longest = std::max({write, drain, open, play, volume});
    std::printf("frozen_server_write_s %.3f s\n", write);
    std::printf("frozen_server_drain_s %.3f s\n", drain);
    std::printf("frozen_server_open_s %.3f s\n", open);
    std::printf("frozen_server_play_beyond_sound_s %.3f s\n", play);
    std::printf("frozen_server_call_s %.3f s\n", longest);
    std::printf("frozen_server_is_real_pulseaudio %d bool\n", server.real() ? 1 : 0);
    std::printf("engine_start_frozen_server_s %.3f s\n", EngineStartSeconds());
}

}  // namespace

int main() {
    char pattern[] = "/tmp/tovrin-sound-bench-XXXXXX";
    const char* made = mkdtemp(pattern);
    if (!made) return 1;
    const std::string folder = made;
    setenv("XDG_RUNTIME_DIR", folder.c_str(), 1);
    std::printf("stop_worker_ms %.1f ms\n", StopWorkerMs(folder));
    FrozenServerFigures(folder);
    std::filesystem::remove_all(folder);
    return 0;
}
