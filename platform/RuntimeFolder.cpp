#include "platform/RuntimeFolder.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>

#include "platform/UniqueFd.h"

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
    if (missing) *missing = false;
    UniqueFd fd(::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_NOFOLLOW | O_CLOEXEC));
    if (!fd.valid()) {
        if (missing) *missing = errno == ENOENT;
        return std::nullopt;
    }
    struct stat info {};
    if (::fstat(fd.get(), &info) != 0 || !S_ISREG(info.st_mode) ||
        size_t(info.st_size) > kMaxRuntimeFile) {
        return std::nullopt;
    }
    std::string text;
    char chunk[4096];
    for (;;) {
        const ssize_t got = ::read(fd.get(), chunk, sizeof chunk);
        if (got < 0 && errno == EINTR) continue;
        if (got < 0) return std::nullopt;
        if (got == 0) return text;
        text.append(chunk, size_t(got));
        if (text.size() > kMaxRuntimeFile) return std::nullopt;
    }
}

}  // namespace tovrin
