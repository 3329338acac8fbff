#pragma once

#include <optional>
#include <string>

namespace tovrin {

// The private folder shared by this user's Tovrin processes: $XDG_RUNTIME_DIR/tovrin-desktop,
// or /tmp/tovrin-desktop-<uid> without XDG_RUNTIME_DIR. Created with mode 0700 when missing;
// nullopt when it cannot be made or belongs to another user or is open to others.
std::optional<std::string> RuntimeFolder();

// Reads a small file of that folder whole (at most 64 KiB). The file is opened without
// blocking and refused unless it is a regular file, so that a FIFO or a device put in its
// place cannot hold the reader. nullopt when it cannot be read; `missing` is set when it
// does not exist at all.
std::optional<std::string> ReadRuntimeFile(const std::string& path, bool* missing = nullptr);

}  // namespace tovrin
