#include "synth/SmallFile.h"

#include <filesystem>
#include <fstream>
#include <system_error>

namespace tovrin {

std::optional<std::string> ReadSmallFile(const std::string& path, std::uintmax_t limit) {
    std::error_code error;
    if (!std::filesystem::is_regular_file(path, error)) return std::nullopt;
    const std::uintmax_t size = std::filesystem::file_size(path, error);
    if (error || size > limit) return std::nullopt;
    std::ifstream file(path, std::ios::binary);
    if (!file) return std::nullopt;
    std::string content(static_cast<size_t>(size), '\0');
    file.read(content.data(), static_cast<std::streamsize>(size));
    content.resize(static_cast<size_t>(file.gcount()));
    return content;
}

}  // namespace tovrin
