// The program tovrin as a user meets it: how soon speech is heard after starting it with a
// document (the engine program started on the way), and what the running program costs while
// nothing is read. Runs a copy of the program in a private folder beside a link to the built
// engine, on a private desktop and configuration. Prints "name value unit" lines.
#include "bench/BenchSupport.h"

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

extern char** environ;

namespace {

using tovrin::bench::CpuSeconds;
using tovrin::bench::MakeTempDir;
using tovrin::bench::WaitUntil;

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

constexpr int kStartRuns = 5;
constexpr int kLoud = 400;
constexpr auto kIdleSpan = std::chrono::seconds(10);

pid_t Start(const std::string& program, const std::vector<std::string>& arguments) {
    std::vector<char*> argv{const_cast<char*>(program.c_str())};
    for (const auto& argument : arguments)
        argv.push_back(const_cast<char*>(argument.c_str()));
    argv.push_back(nullptr);
    pid_t pid = -1;
    if (posix_spawn(&pid, program.c_str(), nullptr, nullptr, argv.data(), environ) != 0) return -1;
    return pid;
}

void Stop(pid_t pid) {
    kill(pid, SIGTERM);
    waitpid(pid, nullptr, 0);
}

bool HasLoudSample(const std::string& wavPath) {
    std::ifstream file(wavPath, std::ios::binary);
    std::vector<char> bytes((std::istreambuf_iterator<char>(file)), {});
    for (size_t i = 44; i + 1 < bytes.size(); i += 2) {
        int16_t sample;
        std::memcpy(&sample, bytes.data() + i, 2);
        if (std::abs(int{sample}) >= kLoud) return true;
    }
    return false;
}

}  // namespace

int main() {
    const std::string root = MakeTempDir("tovrin-bench-program");
    const std::string runtime = MakeTempDir("tovrin-bench-run");
    setenv("XDG_RUNTIME_DIR", runtime.c_str(), 1);
    setenv("XDG_CONFIG_HOME", (root + "/config").c_str(), 1);
    setenv("QT_QPA_PLATFORM", "offscreen", 1);
    const fs::path built = fs::read_symlink("/proc/self/exe").parent_path();
    fs::create_directories(root + "/app");
    fs::create_directories(root + "/config");
    fs::copy_file(built / "tovrin", root + "/app/tovrin");
    fs::create_directory_symlink(built / "ZalLib", root + "/app/ZalLib");
    const std::string program = root + "/app/tovrin";
    // Both daily events off: a run never pauses the speech or asks for the power to go.
    std::ofstream(program + ".ini") << "[TFrmTalk]\nLogOff_Checked=False\nLogOn_Checked=False\n";
    const std::string document = root + "/document.txt";
    // "Good day. The program reads the text aloud." in Windows-1251.
    std::ofstream(document, std::ios::binary)
        << "\xc4\xee\xe1\xf0\xfb\xe9 \xe4\xe5\xed\xfc. \xcf\xf0\xee\xe3\xf0\xe0\xec\xec\xe0 "
           "\xf7\xe8\xf2\xe0\xe5\xf2 \xf2\xe5\xea\xf1\xf2 \xe2\xf1\xeb\xf3\xf5.\r\n";

    std::vector<double> delays;
    for (int run = 0; run < kStartRuns; ++run) {
        const std::string wav = root + "/run.wav";
        fs::remove(wav);
        setenv("TOVRIN_AUDIO", ("wav:" + wav).c_str(), 1);
        const auto start = Clock::now();
        const pid_t pid = Start(program, {document});
        if (pid <= 0 || !WaitUntil([&] { return HasLoudSample(wav); })) {
            std::fprintf(stderr, "no speech was heard from the program\n");
            if (pid > 0) Stop(pid);
            return 1;
        }
        delays.push_back(std::chrono::duration<double, std::milli>(Clock::now() - start).count());
        Stop(pid);
    }
    std::sort(delays.begin(), delays.end());

    // Idle: the program with its engine switched on (as the last run left it) and nothing read.
    setenv("TOVRIN_AUDIO", "null", 1);
    const pid_t idle = Start(program, {});
    std::this_thread::sleep_for(std::chrono::seconds(2));
    const double before = CpuSeconds(idle);
    const auto idleStart = Clock::now();
    std::this_thread::sleep_for(kIdleSpan);
    const double elapsed = std::chrono::duration<double>(Clock::now() - idleStart).count();
    const double idleCpu = 100.0 * (CpuSeconds(idle) - before) / elapsed;
    Stop(idle);
    std::error_code ignored;
    fs::remove_all(root, ignored);
    fs::remove_all(runtime, ignored);

    std::printf("start_to_first_audio_ms %.1f ms\n", delays[delays.size() / 2]);
    std::printf("program_idle_cpu_percent %.2f %%\n", idleCpu);
    return 0;
}
