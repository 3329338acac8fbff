#pragma once

#include <cstdint>
#include <optional>
#include <string>

namespace tovrin {

// The whole content of a regular file of at most `limit` bytes; nullopt for anything else
// (missing, too large, a folder, or a pipe that could block the reader forever).
std::optional<std::string> ReadSmallFile(const std::string& path, std::uintmax_t limit);

}  // namespace tovrin
