#pragma once

#include <signal.h>
#include <sys/types.h>
#include <sys/wait.h>

#include <chrono>
#include <optional>
#include <thread>

namespace tovrin::test {

// Polls for a state change that another process or thread brings about. The generous bound
// only keeps a broken build from hanging; no test relies on how long the change takes.
template <typename Condition>
bool Eventually(Condition condition) {
    auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
    while (!condition()) {
        if (std::chrono::steady_clock::now() > deadline) return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
    return true;
}

// Waits (bounded as above) for a child process to end and reaps it: its wait status, or
// nullopt when it is not a child or has not ended in time; one that overran is killed and
// reaped, so that no test waits for it again.
inline std::optional<int> WaitStatusOfChild(pid_t pid) {
    int status = 0;
    pid_t reaped = 0;
    const bool ended = Eventually([&] { return (reaped = waitpid(pid, &status, WNOHANG)) != 0; });
    if (!ended) {
        kill(pid, SIGKILL);
        waitpid(pid, nullptr, 0);
        return std::nullopt;
    }
    if (reaped != pid) return std::nullopt;
    return status;
}

}  // namespace tovrin::test
