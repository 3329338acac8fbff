#pragma once

#include <optional>
#include <string>

namespace tovrin {

// The private folder shared by this user's Tovrin processes: $XDG_RUNTIME_DIR/tovrin-desktop,
// or /tmp/tovrin-desktop-<uid> without XDG_RUNTIME_DIR. Created with mode 0700 when missing;
// nullopt when it cannot be made or belongs to another user or is open to others.
std::optional<std::string> RuntimeFolder();

}  // namespace tovrin
