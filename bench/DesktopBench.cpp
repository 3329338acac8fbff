// Desktop round trips as the engine controller makes them: a WM_COMMAND to a window of
// another process, and finding one window among ten hosting processes; and the same round
// trip while thirty clients flood the host with requests and never read the replies.
// Prints "name value unit" lines.
#include <signal.h>
#include <spawn.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include "platform/Desktop.h"
#include "platform/DesktopProtocol.h"

extern char** environ;

namespace {

using namespace tovrin;
using Clock = std::chrono::steady_clock;

constexpr int kHosts = 10;
constexpr int kRoundTrips = 20000;
constexpr int kFinds = 2000;

std::string HostProgram() {
    return std::filesystem::read_symlink("/proc/self/exe").parent_path() / "desktop_test_host";
}

// Starts one host; its windows can be found once its "ready" line has been read.
pid_t StartHost(const std::string& program, const std::string& caption) {
    int ends[2];
    if (pipe(ends) != 0) return -1;
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, ends[1], STDOUT_FILENO);
    posix_spawn_file_actions_addclose(&actions, ends[0]);
    std::string arg0 = program, arg1 = "--caption", arg2 = caption;
    char* argv[] = {arg0.data(), arg1.data(), arg2.data(), nullptr};
    pid_t pid = -1;
    if (posix_spawn(&pid, program.c_str(), &actions, nullptr, argv, environ) != 0) pid = -1;
    posix_spawn_file_actions_destroy(&actions);
    close(ends[1]);
    char c;
    while (pid > 0 && read(ends[0], &c, 1) == 1 && c != '\n') {
    }
    close(ends[0]);
    return pid;
}

double Microseconds(Clock::duration duration) {
    return std::chrono::duration<double, std::micro>(duration).count();
}

double Percentile(std::vector<double> samples, double fraction) {
    std::sort(samples.begin(), samples.end());
    return samples[static_cast<size_t>(fraction * (samples.size() - 1))];
}

template <typename Call>
std::vector<double> Time(int count, Call call) {
    std::vector<double> samples;
    samples.reserve(count);
    for (int i = 0; i < count; ++i) {
        const auto start = Clock::now();
        call(i);
        samples.push_back(Microseconds(Clock::now() - start));
    }
    return samples;
}

// Clients that send many requests to `target`'s host and never read; their sockets stay open
// until the returned descriptors are closed.
std::vector<int> FloodWithUnreadRequests(WindowHandle target, const std::string& folder) {
    desktop_protocol::Request request;
    request.op = desktop_protocol::Op::Describe;
    request.window = target;
    std::string requests;
    for (int i = 0; i < 8000; ++i)
        requests += desktop_protocol::Frame(desktop_protocol::EncodeRequest(request));
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    const std::string path =
        folder + "/tovrin-desktop/" + std::to_string(desktop_protocol::PidOf(target)) + ".sock";
    std::snprintf(address.sun_path, sizeof address.sun_path, "%s", path.c_str());
    std::vector<int> clients;
    for (int i = 0; i < 30; ++i) {
        const int fd = socket(AF_UNIX, SOCK_STREAM | SOCK_NONBLOCK, 0);
        if (connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0)
            [[maybe_unused]]
            const ssize_t sent = send(fd, requests.data(), requests.size(), MSG_NOSIGNAL);
        clients.push_back(fd);
    }
    return clients;
}

}  // namespace

int main() {
    // A private desktop, so that the benchmark never meets the user's own windows.
    char folder[] = "/tmp/tovrin-desktop-bench-XXXXXX";
    if (!mkdtemp(folder)) return 1;
    setenv("XDG_RUNTIME_DIR", folder, 1);

    const std::string program = HostProgram();
    std::vector<pid_t> hosts;
    for (int i = 0; i < kHosts; ++i)
        hosts.push_back(StartHost(program, "host " + std::to_string(i)));

    int status = 0;
    const WindowHandle target = desktop::FindWindow("Speech Synthesizer", "host 0");
    const std::string last = "host " + std::to_string(kHosts - 1);
    if (target == kNoWindow || std::count(hosts.begin(), hosts.end(), -1) > 0) {
        std::fputs("desktop_bench: the test hosts did not start\n", stderr);
        status = 1;
    } else {
        bool wrong = false;
        // Commands from 1000 up are answered plainly by the test host (n + 1000).
        Time(1000, [&](int) { desktop::SendMessage(target, WM_COMMAND, 1000); });  // warm up
        const auto roundTrips = Time(kRoundTrips, [&](int i) {
            const int command = 1000 + i % 1000;
            wrong |= desktop::SendMessage(target, WM_COMMAND, command) != command + 1000;
        });
        const auto finds = Time(kFinds, [&](int) {
            wrong |= desktop::FindWindow("Speech Synthesizer", last) == kNoWindow;
        });
        std::printf("sendmessage_rtt_us_p50 %.1f us\n", Percentile(roundTrips, 0.50));
        std::printf("sendmessage_rtt_us_p99 %.1f us\n", Percentile(roundTrips, 0.99));
        std::printf("findwindow_us_10hosts %.1f us\n", Percentile(finds, 0.50));
        const std::vector<int> flood = FloodWithUnreadRequests(target, folder);
        const auto flooded = Time(200, [&](int i) {
            wrong |= desktop::SendMessage(target, WM_COMMAND, 1000 + i) != 2000 + i;
        });
        std::printf("sendmessage_ms_max_30_unread_clients %.2f ms\n",
                    *std::max_element(flooded.begin(), flooded.end()) / 1000);
        for (int fd : flood)
            close(fd);
        if (wrong) {
            std::fputs("desktop_bench: a call gave a wrong answer\n", stderr);
            status = 1;
        }
    }
    for (pid_t pid : hosts) {
        if (pid <= 0) continue;
        kill(pid, SIGKILL);
        waitpid(pid, nullptr, 0);
    }
    std::filesystem::remove_all(folder);
    return status;
}
