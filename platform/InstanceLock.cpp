#include "platform/InstanceLock.h"

#include "platform/RuntimeFolder.h"

#include <fcntl.h>
#include <sys/stat.h>
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

// The lock file opened without blocking, as a regular file only: a FIFO in its place would
// hold up the opening, and a device or folder takes no lock. -1 for anything else.
int OpenLockFile(const std::string& path, int flags) {
    const int fd = open(path.c_str(), flags | O_NONBLOCK | O_NOCTTY | O_CLOEXEC, 0600);
    if (fd < 0) return -1;
    struct stat info {};
    if (fstat(fd, &info) != 0 || !S_ISREG(info.st_mode)) {
        close(fd);
        return -1;
    }
    return fd;
}

}  // namespace

bool InstanceLock::Usable(const std::string& path) {
    const int fd = OpenLockFile(path, O_RDWR | O_CREAT);
    if (fd < 0) return false;
    close(fd);
    return true;
}

std::unique_ptr<InstanceLock> InstanceLock::TryAcquire(const std::string& path) {
    const int fd = OpenLockFile(path, O_RDWR | O_CREAT);
    if (fd < 0) return nullptr;
    struct flock lock = WholeFile(F_WRLCK);
    if (fcntl(fd, F_OFD_SETLK, &lock) != 0) {
        close(fd);
        return nullptr;
    }
    return std::unique_ptr<InstanceLock>(new InstanceLock(fd));
}

bool InstanceLock::IsHeld(const std::string& path) {
    const int fd = OpenLockFile(path, O_RDONLY);
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
