#include "platform/AtomicFile.h"

#include "platform/FileReader.h"

#include <fcntl.h>
#include <limits.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <filesystem>
#include <fstream>
#include <limits>
#include <optional>
#include <vector>

namespace tovrin {

namespace {

// The file a write really replaces: the target of a symbolic link, else the path itself.
// nullopt for a link that leads nowhere: replacing the link by a file would cut the user's
// link, and creating its target is not what anybody asked for.
std::optional<std::string> ResolveTarget(const std::string& path) {
    struct stat info;
    if (lstat(path.c_str(), &info) != 0 || !S_ISLNK(info.st_mode)) return path;
    char resolved[PATH_MAX];
    if (!realpath(path.c_str(), resolved)) return std::nullopt;
    return std::string(resolved);
}

bool WriteAll(int fd, const std::string& content) {
    size_t done = 0;
    while (done < content.size()) {
        ssize_t n = write(fd, content.data() + done, content.size() - done);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return false;
        done += size_t(n);
    }
    return true;
}

// A temporary is "<name>.tovrin-tmp.XXXXXX": the mark tells it from a user's own
// "<name>.backup", and mkostemp puts six characters in place of "XXXXXX".
constexpr const char* kTemporaryMark = ".tovrin-tmp.";
constexpr size_t kTemporarySuffix = 6;

// Without /proc the usual mask is assumed.
constexpr mode_t kUsualMask = 022;

mode_t CurrentUmask() {
    std::ifstream status("/proc/self/status");
    std::string key;
    while (status >> key) {
        if (key == "Umask:") {
            unsigned mask = 0;
            if (status >> std::oct >> mask) return mode_t(mask & 0777);
            break;
        }
        status.ignore(std::numeric_limits<std::streamsize>::max(), '\n');
    }
    return kUsualMask;
}

}  // namespace

mode_t NewFileMode() {
    return 0666 & ~CurrentUmask();
}

std::optional<FileContent> ReadFileContent(const std::string& path, size_t maxBytes) {
    FileRead read = ReadRegularFile(path, maxBytes);
    if (read.Status == FileReadStatus::Missing) return FileContent{};
    if (read.Status != FileReadStatus::Read) return std::nullopt;
    return FileContent{true, std::move(read.Bytes)};
}

void RemoveStaleTemporaries(const std::string& path,
                            std::optional<std::chrono::seconds> untouchedFor) {
    const auto latest =
        std::chrono::system_clock::now() - untouchedFor.value_or(std::chrono::seconds(0));
    const auto resolved = ResolveTarget(path);
    if (!resolved) return;
    const std::filesystem::path target(*resolved);
    const std::string prefix = target.filename().string() + kTemporaryMark;
    std::error_code error;
    for (const auto& entry : std::filesystem::directory_iterator(
             target.has_parent_path() ? target.parent_path() : ".", error)) {
        const std::string name = entry.path().filename().string();
        if (name.size() != prefix.size() + kTemporarySuffix ||
            name.compare(0, prefix.size(), prefix))
            continue;
        const bool made = std::all_of(name.begin() + long(prefix.size()), name.end(), [](char c) {
            return std::isalnum(static_cast<unsigned char>(c));
        });
        struct stat info;
        if (!made || lstat(entry.path().c_str(), &info) != 0 || !S_ISREG(info.st_mode) ||
            info.st_uid != geteuid())
            continue;
        const auto modified = std::chrono::system_clock::from_time_t(info.st_mtim.tv_sec);
        if (!untouchedFor || modified <= latest) unlink(entry.path().c_str());
    }
}

bool WriteFileAtomically(const std::string& path, const std::string& content) {
    const auto resolved = ResolveTarget(path);
    if (!resolved) return false;
    const std::string& target = *resolved;
    struct stat existing;
    const bool exists = stat(target.c_str(), &existing) == 0;
    // A FIFO or a device in the file's place is not replaced: it is not the file it stands for,
    // and a device's folder is no place for a temporary file.
    if (exists && !S_ISREG(existing.st_mode)) return false;
    mode_t mode = exists ? (existing.st_mode & 07777) : NewFileMode();
    std::string pattern = target + kTemporaryMark + "XXXXXX";
    std::vector<char> temp(pattern.begin(), pattern.end());
    temp.push_back('\0');
    int fd = mkostemp(temp.data(), O_CLOEXEC);
    if (fd < 0) return false;
    bool ok = WriteAll(fd, content) && fchmod(fd, mode) == 0 && fsync(fd) == 0;
    ok = (close(fd) == 0) && ok;
    ok = ok && rename(temp.data(), target.c_str()) == 0;
    if (!ok) unlink(temp.data());
    return ok;
}

}  // namespace tovrin
