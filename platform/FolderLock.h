#pragma once

#include <string>

namespace tovrin {

// Holds an exclusive flock on a folder while it lives, so that read-modify-write cycles on
// files in it by several threads or processes run one after another. Taking the lock on the
// folder itself leaves no lock file behind. A folder that cannot be opened is not locked.
class FolderLock {
  public:
    explicit FolderLock(const std::string& folder);
    ~FolderLock();
    FolderLock(const FolderLock&) = delete;
    FolderLock& operator=(const FolderLock&) = delete;

    // The folder that holds `path` (the current folder for a bare name).
    static std::string FolderOf(const std::string& path);

  private:
    int fd_ = -1;
};

}  // namespace tovrin
