#include "platform/RuntimeFolder.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>

#include "platform/FileReader.h"

namespace tovrin {

namespace {

std::string FolderPath() {
    const char* runtime = std::getenv("XDG_RUNTIME_DIR");
    if (runtime && *runtime) return std::string(runtime) + "/tovrin-desktop";
    return "/tmp/tovrin-desktop-" + std::to_string(getuid());
}

// Only a real folder of ours that nobody else can enter is trusted with our sockets.
bool IsPrivateFolder(const std::string& path) {
    struct stat info {};
    if (lstat(path.c_str(), &info) != 0) return false;
    return S_ISDIR(info.st_mode) && info.st_uid == getuid() && (info.st_mode & 077) == 0;
}

constexpr size_t kMaxRuntimeFile = 64 * 1024;

}  // namespace

std::optional<std::string> RuntimeFolder() {
    const std::string path = FolderPath();
    if (mkdir(path.c_str(), 0700) != 0 && errno != EEXIST) return std::nullopt;
    if (!IsPrivateFolder(path)) return std::nullopt;
    return path;
}

std::optional<std::string> ReadRuntimeFile(const std::string& path, bool* missing) {
    FileRead read = ReadRegularFile(path, kMaxRuntimeFile, FileLinks::Refuse);
    if (missing) *missing = read.Status == FileReadStatus::Missing;
    if (read.Status != FileReadStatus::Read) return std::nullopt;
    return std::move(read.Bytes);
}

}  // namespace tovrin
