#pragma once

#include <chrono>
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

}  // namespace tovrin::test
