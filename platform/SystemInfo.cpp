#include "platform/SystemInfo.h"

#include <algorithm>
#include <fstream>
#include <sstream>

namespace tovrin {

namespace {

// The value of a "Name:   1234 kB" line, in bytes.
std::optional<uint64_t> ParseKibLine(const std::string& line, const std::string& name) {
    if (line.compare(0, name.size() + 1, name + ":") != 0) return std::nullopt;
    std::istringstream fields(line.substr(name.size() + 1));
    uint64_t kib = 0;
    if (!(fields >> kib)) return std::nullopt;
    return kib * 1024;
}

}  // namespace

std::optional<MemoryStatus> ReadMemoryStatus(const std::string& meminfoPath) {
    std::ifstream in(meminfoPath);
    std::optional<uint64_t> total;
    std::optional<uint64_t> available;
    std::string line;
    while (std::getline(in, line)) {
        if (auto value = ParseKibLine(line, "MemTotal")) total = value;
        if (auto value = ParseKibLine(line, "MemAvailable")) available = value;
    }
    if (!total || *total == 0 || !available) return std::nullopt;
    MemoryStatus status;
    status.totalPhysicalBytes = *total;
    uint64_t free = std::min(*available, *total);
    status.loadPercent = int(100 - (100 * free) / *total);
    return status;
}

}  // namespace tovrin
