#include "platform/DesktopConnection.h"

#include <poll.h>
#include <signal.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace tovrin {

using namespace desktop_protocol;

namespace {

bool PeerIs(int fd, pid_t pid) {
    ucred credentials{};
    socklen_t size = sizeof credentials;
    if (getsockopt(fd, SOL_SOCKET, SO_PEERCRED, &credentials, &size) != 0) return false;
    return credentials.uid == getuid() && credentials.pid == pid;
}

bool ProcessGone(pid_t pid) {
    return ::kill(pid, 0) != 0 && errno == ESRCH;
}

}  // namespace

std::unique_ptr<DesktopConnection> DesktopConnection::Open(const std::string& socketPath, pid_t pid,
                                                           Deadline deadline, OpenError& error) {
    error = OpenError::Unreachable;
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    if (socketPath.size() >= sizeof address.sun_path) return nullptr;
    std::memcpy(address.sun_path, socketPath.c_str(), socketPath.size() + 1);

    UniqueFd fd(::socket(AF_UNIX, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0));
    if (!fd.valid()) return nullptr;
    for (;;) {
        if (::connect(fd.get(), reinterpret_cast<const sockaddr*>(&address), sizeof address) == 0)
            break;
        const int failure = errno;
        // A full backlog is waited out until the deadline: the host is alive but busy.
        if (failure == EAGAIN && std::chrono::steady_clock::now() < deadline) {
            pollfd entry{fd.get(), POLLOUT, 0};
            ::poll(&entry, 1, 1);
            continue;
        }
        if (failure == ECONNREFUSED || (failure != ENOENT && ProcessGone(pid)))
            error = OpenError::Gone;
        return nullptr;
    }
    if (!PeerIs(fd.get(), pid)) return nullptr;
    error = OpenError::None;
    return std::unique_ptr<DesktopConnection>(new DesktopConnection(std::move(fd)));
}

std::optional<Reply> DesktopConnection::Call(const std::string& frame, Deadline deadline) {
    if (!WriteAll(fd_.get(), frame, deadline)) {
        closed_ = errno == EPIPE || errno == ECONNRESET;
        return std::nullopt;
    }
    auto body = ReadFrame(fd_.get(), deadline);
    if (!body) {
        closed_ = std::chrono::steady_clock::now() < deadline;
        return std::nullopt;
    }
    return DecodeReply(*body);
}

bool DesktopConnection::HungUp() const {
    pollfd entry{fd_.get(), POLLIN, 0};
    return ::poll(&entry, 1, 0) != 0;
}

}  // namespace tovrin
