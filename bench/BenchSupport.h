#pragma once

#include <stdlib.h>
#include <sys/types.h>
#include <unistd.h>

#include <chrono>
#include <fstream>
#include <sstream>
#include <string>
#include <thread>

namespace tovrin::bench {

// A fresh folder /tmp/<pattern>-XXXXXX; empty when it cannot be made.
inline std::string MakeTempDir(const std::string& pattern) {
    std::string path = "/tmp/" + pattern + "-XXXXXX";
    return mkdtemp(path.data()) ? path : std::string();
}

// Polls finely (a benchmark measures how soon the condition holds) up to `limit`; true when
// it came about.
template <typename Condition>
bool WaitUntil(Condition condition, std::chrono::seconds limit = std::chrono::seconds(30)) {
    const auto deadline = std::chrono::steady_clock::now() + limit;
    while (!condition()) {
        if (std::chrono::steady_clock::now() > deadline) return false;
        std::this_thread::sleep_for(std::chrono::microseconds(500));
    }
    return true;
}

// The processor time a process has used so far, user and system, in seconds.
inline double CpuSeconds(pid_t pid) {
    std::ifstream stat("/proc/" + std::to_string(pid) + "/stat");
    std::string line;
    std::getline(stat, line);
    // utime and stime are fields 14 and 15; the command name before them ends with ")".
    std::istringstream fields(line.substr(line.rfind(')') + 2));
    std::string field;
    unsigned long long ticks = 0;
    for (int index = 3; fields >> field && index <= 15; ++index)
        if (index >= 14) ticks += std::stoull(field);
    return static_cast<double>(ticks) / static_cast<double>(sysconf(_SC_CLK_TCK));
}

}  // namespace tovrin::bench
