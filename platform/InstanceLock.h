#pragma once

#include <memory>
#include <optional>
#include <string>

namespace tovrin {

// An exclusive lock on a file, held while the object lives and released by the system when
// the holder ends in any way: the mark of the one running copy of a program.
class InstanceLock {
  public:
    // The lock, or nullptr when another holder has it (or the file cannot be opened).
    static std::unique_ptr<InstanceLock> TryAcquire(const std::string& path);
    // Whether somebody holds the lock now; asking takes nothing.
    static bool IsHeld(const std::string& path);
    // Whether the file can hold a lock at all: a regular file, or none yet where one can be
    // made. A FIFO, device or folder in its place, or a folder that cannot be written, cannot.
    static bool Usable(const std::string& path);

    ~InstanceLock();
    InstanceLock(const InstanceLock&) = delete;
    InstanceLock& operator=(const InstanceLock&) = delete;

  private:
    explicit InstanceLock(int fd) : fd_(fd) {}
    int fd_;
};

// The lock the running speech engine program holds: one engine per user session.
std::optional<std::string> EngineLockPath();

}  // namespace tovrin
