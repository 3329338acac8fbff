#include "platform/InstanceLock.h"

#include "platform/RuntimeFolder.h"

#include <fcntl.h>
#include <unistd.h>

namespace tovrin {

namespace {

// Locks of the open file itself (not of the process), so that closing another descriptor of
// the same file in this process does not drop them.
struct flock WholeFile(short type) {
    struct flock lock {};
    lock.l_type = type;
    lock.l_whence = SEEK_SET;
    return lock;
}

}  // namespace

std::unique_ptr<InstanceLock> InstanceLock::TryAcquire(const std::string& path) {
    const int fd = open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
    if (fd < 0) return nullptr;
    struct flock lock = WholeFile(F_WRLCK);
    if (fcntl(fd, F_OFD_SETLK, &lock) != 0) {
        close(fd);
        return nullptr;
    }
    return std::unique_ptr<InstanceLock>(new InstanceLock(fd));
}

bool InstanceLock::IsHeld(const std::string& path) {
    const int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) return false;
    struct flock lock = WholeFile(F_WRLCK);
    const bool held = fcntl(fd, F_OFD_GETLK, &lock) == 0 && lock.l_type != F_UNLCK;
    close(fd);
    return held;
}

InstanceLock::~InstanceLock() {
    close(fd_);
}

std::optional<std::string> EngineLockPath() {
    const auto folder = RuntimeFolder();
    if (!folder) return std::nullopt;
    return *folder + "/zalwin.lock";
}

}  // namespace tovrin
