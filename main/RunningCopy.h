#pragma once

#include "platform/InstanceLock.h"

#include <chrono>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

namespace tovrin {

// Which copy of the program this one is. The first copy holds the instance lock for as long
// as it runs; the others hand their file to it over DDE.
struct CopyCheck {
    std::unique_ptr<InstanceLock> Lock;  // held: this copy is the first
    bool OtherServes = false;            // a running copy's DDE server answers
    bool LockUnusable = false;           // the lock file cannot hold a lock: the server decided
};

// The lock that marks the running copy of the program named by its DDE service, in the
// user's runtime folder; nullopt without one.
std::optional<std::string> CopyLockPath(std::string_view service);

// Takes the instance lock at `lockPath`, or finds the DDE server of the copy that holds it.
// A copy that has taken the lock but does not serve yet is still starting: this copy waits
// for its server (or for the lock to come free) for up to `limit`, so that two copies started
// at the same moment never both stay. Without a lock path, or when a server answers although
// the lock was free (a copy that takes no lock), the DDE server alone decides. When the limit
// passes, neither Lock nor OtherServes is set: the holder does not answer. A lock file that
// cannot hold a lock (a FIFO or folder in its place) is not waited on: the server alone
// decides, and LockUnusable says so.
CopyCheck FindRunningCopy(std::string_view service, std::string_view topic,
                          const std::optional<std::string>& lockPath,
                          std::chrono::milliseconds limit);

}  // namespace tovrin
