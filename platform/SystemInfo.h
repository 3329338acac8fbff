#pragma once

#include <cstdint>
#include <optional>
#include <string>

namespace tovrin {

struct MemoryStatus {
    uint64_t totalPhysicalBytes = 0;
    int loadPercent = 0;  // 100 - 100 * available / total
};

std::optional<MemoryStatus> ReadMemoryStatus(const std::string& meminfoPath = "/proc/meminfo");

}  // namespace tovrin
