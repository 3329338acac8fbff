#pragma once

#include "platform/AtomicFile.h"

#include <optional>
#include <string>

namespace tovrin {

// The file operations the controller's win.ini edits go through, so that tests can make any
// of them fail, or end the process at any step, and see that nothing is lost.
class FileStore {
  public:
    virtual ~FileStore() = default;
    // A missing file reads as not existing; nullopt when it exists but cannot be read.
    virtual std::optional<FileContent> Read(const std::string& path) = 0;
    // Replaces the file's content all at once (see WriteFileAtomically).
    virtual bool Replace(const std::string& path, const std::string& content) = 0;
    // True when the file is gone afterwards.
    virtual bool Remove(const std::string& path) = 0;
};

class DiskFileStore final : public FileStore {
  public:
    std::optional<FileContent> Read(const std::string& path) override;
    bool Replace(const std::string& path, const std::string& content) override;
    bool Remove(const std::string& path) override;

    // Stateless, so one instance serves every controller.
    static DiskFileStore& Instance();
};

}  // namespace tovrin
