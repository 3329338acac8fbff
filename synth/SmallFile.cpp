#include "synth/SmallFile.h"

#include "platform/FileReader.h"

namespace tovrin {

std::optional<std::string> ReadSmallFile(const std::string& path, std::uintmax_t limit) {
    FileRead read = ReadRegularFile(path, static_cast<size_t>(limit));
    if (read.Status != FileReadStatus::Read) return std::nullopt;
    return std::move(read.Bytes);
}

}  // namespace tovrin
