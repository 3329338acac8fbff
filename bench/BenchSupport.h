#pragma once

#include <stdlib.h>

#include <chrono>
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

}  // namespace tovrin::bench
