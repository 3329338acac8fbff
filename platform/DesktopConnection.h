#pragma once

#include <sys/types.h>

#include <memory>
#include <optional>
#include <string>

#include "platform/DesktopProtocol.h"
#include "platform/UniqueFd.h"

namespace tovrin {

// A client's connection to one hosting process, kept open between calls.
class DesktopConnection {
  public:
    enum class OpenError { None, Gone, Unreachable };

    // Connects to <folder>/<pid>.sock and checks that the peer is that process of this user.
    // Gone: nobody listens there any more (the socket is stale).
    static std::unique_ptr<DesktopConnection> Open(const std::string& socketPath, pid_t pid,
                                                   desktop_protocol::Deadline deadline,
                                                   OpenError& error);

    DesktopConnection(const DesktopConnection&) = delete;
    DesktopConnection& operator=(const DesktopConnection&) = delete;

    // Sends one framed request and waits for its reply. After a failure the connection is
    // unusable; Closed() tells whether the host had hung up rather than run out of time.
    std::optional<desktop_protocol::Reply> Call(const std::string& frame,
                                                desktop_protocol::Deadline deadline);
    bool Closed() const { return closed_; }
    // True when the host has hung up (or sent something unasked) since the last call.
    bool HungUp() const;

  private:
    explicit DesktopConnection(UniqueFd fd) : fd_(std::move(fd)) {}

    UniqueFd fd_;
    bool closed_ = false;
};

}  // namespace tovrin
