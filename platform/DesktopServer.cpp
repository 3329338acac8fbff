#include "platform/DesktopServer.h"

#include <poll.h>
#include <sys/eventfd.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <mutex>
#include <optional>
#include <stdexcept>

#include "platform/RuntimeFolder.h"

namespace tovrin {

using namespace desktop_protocol;

namespace {

using SteadyClock = std::chrono::steady_clock;

// More connections than any sane set of clients keeps open; beyond it the connection idle
// the longest is closed, so that a runaway client cannot use up the host's descriptors.
constexpr size_t kMaxPeers = 256;
// A connection with nothing asked for this long is closed; clients open a new one.
constexpr auto kIdleLimit = std::chrono::seconds(30);
// Replies a client has not read, beyond which it counts as gone and is dropped.
constexpr size_t kMaxOutbox = 4 * (kMaxFrameBody + 4);
constexpr auto kAcceptPause = std::chrono::milliseconds(100);

sockaddr_un AddressOf(const std::string& path) {
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    if (path.size() >= sizeof address.sun_path)
        throw std::runtime_error("desktop socket path too long: " + path);
    std::memcpy(address.sun_path, path.c_str(), path.size() + 1);
    return address;
}

// The connecting process, when it runs as this user.
std::optional<pid_t> SameUserProcess(int fd) {
    ucred credentials{};
    socklen_t size = sizeof credentials;
    if (getsockopt(fd, SOL_SOCKET, SO_PEERCRED, &credentials, &size) != 0) return std::nullopt;
    if (credentials.uid != getuid()) return std::nullopt;
    return credentials.pid;
}

uint32_t LengthPrefix(const std::string& inbox) {
    uint32_t size = 0;
    for (int i = 0; i < 4; ++i)
        size |= uint32_t(static_cast<unsigned char>(inbox[i])) << (8 * i);
    return size;
}

Reply StatusReply(Status status) {
    Reply reply;
    reply.status = status;
    return reply;
}

}  // namespace

// An eventfd the serving thread polls; shared with peers, which may outlive the server.
class DesktopServer::Waker {
  public:
    Waker() : fd_(::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK)) {
        if (!fd_.valid()) throw std::runtime_error("eventfd: " + std::string(strerror(errno)));
    }
    int fd() const { return fd_.get(); }
    void Wake() {
        const uint64_t one = 1;
        // Fails only when the counter would overflow, that is when the thread is woken already.
        [[maybe_unused]] const ssize_t written = ::write(fd_.get(), &one, sizeof one);
    }
    void Clear() {
        uint64_t count = 0;
        [[maybe_unused]] const ssize_t got = ::read(fd_.get(), &count, sizeof count);
    }

  private:
    UniqueFd fd_;
};

class DesktopServer::Peer {
  public:
    Peer(UniqueFd fd, pid_t process, std::weak_ptr<Waker> waker)
        : fd_(std::move(fd)), process_(process), waker_(std::move(waker)) {
        Heard();
    }
    int fd() const { return fd_.get(); }
    bool FromThisProcess() const { return process_ == getpid(); }

    // From the serving thread and from the UI thread. Never waits for the client: what it
    // does not take now waits in the outbox for the serving thread.
    void Send(const Reply& reply) {
        std::lock_guard lock(mutex_);
        if (dropped_) return;
        outbox_ += Frame(EncodeReply(reply));
        if (outbox_.size() > kMaxOutbox) return DropLocked();
        const bool hadToWait = !FlushLocked();
        if (hadToWait) {
            if (auto waker = waker_.lock()) waker->Wake();
        }
    }
    // Writes what the outbox holds as far as the client takes it; false when some is left.
    bool Flush() {
        std::lock_guard lock(mutex_);
        return FlushLocked();
    }
    bool HasOutbox() const {
        std::lock_guard lock(mutex_);
        return !outbox_.empty();
    }
    bool Dropped() const {
        std::lock_guard lock(mutex_);
        return dropped_;
    }
    void Drop() {
        std::lock_guard lock(mutex_);
        DropLocked();
    }

    // A peer waiting for a message's handler is never idle; one that neither asks nor reads
    // what it was answered is.
    bool Idle() const { return awaiting_ == 0; }
    SteadyClock::time_point lastActive() const {
        return SteadyClock::time_point(SteadyClock::duration(lastActive_.load()));
    }
    void Heard() { lastActive_ = SteadyClock::now().time_since_epoch().count(); }
    void BeginWait() { ++awaiting_; }
    void EndWait() { --awaiting_; }

    std::string inbox;  // the serving thread's only

  private:
    bool FlushLocked() {
        while (!outbox_.empty() && !dropped_) {
            const ssize_t sent = ::send(fd_.get(), outbox_.data(), outbox_.size(), MSG_NOSIGNAL);
            if (sent > 0) {
                outbox_.erase(0, size_t(sent));
                Heard();
            } else if (sent < 0 && errno == EINTR) {
                continue;
            } else if (sent < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) {
                return false;
            } else {
                DropLocked();
            }
        }
        return true;
    }
    void DropLocked() {
        dropped_ = true;
        outbox_.clear();
        ::shutdown(fd_.get(), SHUT_RDWR);
    }

    UniqueFd fd_;
    pid_t process_;
    std::weak_ptr<Waker> waker_;
    mutable std::mutex mutex_;
    std::string outbox_;
    bool dropped_ = false;
    std::atomic<int> awaiting_{0};
    std::atomic<SteadyClock::rep> lastActive_{0};  // when it last asked or read
};

DesktopServer::DesktopServer(std::shared_ptr<WindowTable> table) : table_(std::move(table)) {
    const auto folder = RuntimeFolder();
    if (!folder) throw std::runtime_error("the desktop folder is missing or not private");
    const std::string pid = std::to_string(getpid());
    socketPath_ = *folder + "/" + pid + ".sock";
    const std::string temporary = *folder + "/." + pid + ".new";

    listener_.Reset(::socket(AF_UNIX, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0));
    if (!listener_.valid())
        throw std::runtime_error("desktop socket: " + std::string(strerror(errno)));
    ::unlink(temporary.c_str());
    const sockaddr_un address = AddressOf(temporary);
    if (::bind(listener_.get(), reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0 ||
        ::chmod(temporary.c_str(), 0600) != 0 || ::listen(listener_.get(), 64) != 0) {
        const std::string reason = strerror(errno);
        ::unlink(temporary.c_str());
        throw std::runtime_error("desktop socket " + temporary + ": " + reason);
    }
    // Only a socket that already listens appears under its final name, so a refused
    // connection always means a dead host.
    struct stat info {};
    if (::stat(temporary.c_str(), &info) != 0 ||
        ::rename(temporary.c_str(), socketPath_.c_str()) != 0) {
        const std::string reason = strerror(errno);
        ::unlink(temporary.c_str());
        throw std::runtime_error("desktop socket " + socketPath_ + ": " + reason);
    }
    socketInode_ = info.st_ino;
    waker_ = std::make_shared<Waker>();
    thread_ = std::thread([this] { Serve(); });
}

DesktopServer::~DesktopServer() {
    stopping_ = true;
    waker_->Wake();
    thread_.join();
    StopListening();
}

void DesktopServer::StopListening() {
    listener_.Reset();
    struct stat info {};
    // Another process of the same pid may have taken the name since; leave its socket alone.
    if (::stat(socketPath_.c_str(), &info) == 0 && info.st_ino == socketInode_)
        ::unlink(socketPath_.c_str());
}

void DesktopServer::Serve() {
    std::vector<std::shared_ptr<Peer>> peers;
    std::vector<pollfd> entries;
    auto acceptPausedUntil = SteadyClock::time_point::min();
    for (;;) {
        // Out of descriptors, the listener rests a moment instead of waking the loop at once.
        const bool listening = SteadyClock::now() >= acceptPausedUntil;
        entries.assign(
            {{waker_->fd(), POLLIN, 0}, {listener_.get(), short(listening ? POLLIN : 0), 0}});
        auto nextIdleEnd = listening ? SteadyClock::time_point::max() : acceptPausedUntil;
        for (const auto& peer : peers) {
            entries.push_back({peer->fd(), short(peer->HasOutbox() ? POLLOUT : POLLIN), 0});
            if (peer->Idle()) nextIdleEnd = std::min(nextIdleEnd, peer->lastActive() + kIdleLimit);
        }
        const auto wait =
            nextIdleEnd == SteadyClock::time_point::max()
                ? -1
                : int(std::clamp<int64_t>(
                      std::chrono::ceil<std::chrono::milliseconds>(nextIdleEnd - SteadyClock::now())
                          .count(),
                      0, 60'000));
        if (::poll(entries.data(), entries.size(), wait) < 0) {
            if (errno == EINTR) continue;
            std::fprintf(stderr, "desktop: serving windows failed (%s); they are gone\n",
                         strerror(errno));
            for (const auto& peer : peers)
                peer->Drop();
            StopListening();
            return;
        }
        if (entries[0].revents) {
            waker_->Clear();
            if (stopping_) return;
        }
        const auto now = SteadyClock::now();
        // Peers accepted now are not in this round's entries; they are polled next round.
        std::vector<std::shared_ptr<Peer>> kept;
        for (size_t i = 0; i < peers.size(); ++i) {
            Peer& peer = *peers[i];
            const short events = entries[i + 2].revents;
            bool keep = true;
            // Requests held back while the replies waited are handled once they are taken.
            if ((events & (POLLOUT | POLLHUP | POLLERR)) && peer.Flush())
                keep = HandleInbox(peer, peers[i]);
            keep = keep && !peer.Dropped();
            if (keep && (events & (POLLIN | POLLHUP | POLLERR))) keep = ReadFrom(peer, peers[i]);
            if (keep && peer.Idle() && now - peer.lastActive() >= kIdleLimit) keep = false;
            if (keep) {
                kept.push_back(std::move(peers[i]));
            } else {
                peer.Drop();
            }
        }
        peers.swap(kept);
        if (entries[1].revents && !Accept(peers)) acceptPausedUntil = now + kAcceptPause;
    }
}

bool DesktopServer::Accept(std::vector<std::shared_ptr<Peer>>& peers) {
    for (;;) {
        UniqueFd fd(::accept4(listener_.get(), nullptr, nullptr, SOCK_NONBLOCK | SOCK_CLOEXEC));
        if (!fd.valid()) return errno != EMFILE && errno != ENFILE;
        // Another user's process never gets an answer, whatever it sends.
        const auto process = SameUserProcess(fd.get());
        if (!process || !MakeRoom(peers)) continue;
        peers.push_back(std::make_shared<Peer>(std::move(fd), *process, waker_));
    }
}

bool DesktopServer::MakeRoom(std::vector<std::shared_ptr<Peer>>& peers) {
    if (peers.size() < kMaxPeers) return true;
    auto oldest = peers.end();
    for (auto it = peers.begin(); it != peers.end(); ++it) {
        if ((*it)->Idle() &&
            (oldest == peers.end() || (*it)->lastActive() < (*oldest)->lastActive()))
            oldest = it;
    }
    if (oldest == peers.end()) return false;
    (*oldest)->Drop();
    peers.erase(oldest);
    return true;
}

bool DesktopServer::ReadFrom(Peer& peer, const std::shared_ptr<Peer>& shared) {
    char chunk[65536];
    // A peer that has not taken its replies is not heard further until it has: a client
    // that only sends costs the host no more than the replies its socket holds.
    while (!peer.HasOutbox()) {
        const ssize_t got = ::recv(peer.fd(), chunk, sizeof chunk, 0);
        if (got > 0) {
            peer.Heard();
            peer.inbox.append(chunk, static_cast<size_t>(got));
            if (!HandleInbox(peer, shared)) return false;
        } else if (got < 0 && errno == EINTR) {
            continue;
        } else if (got < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) {
            return true;
        } else {
            // End of stream (or an error): a frame cut off in the middle is answered as bad.
            if (!peer.inbox.empty()) peer.Send(StatusReply(Status::BadRequest));
            return false;
        }
    }
    return true;
}

bool DesktopServer::HandleInbox(Peer& peer, const std::shared_ptr<Peer>& shared) {
    while (peer.inbox.size() >= 4 && !peer.HasOutbox()) {
        const uint32_t size = LengthPrefix(peer.inbox);
        if (size > kMaxFrameBody) {
            peer.Send(StatusReply(Status::BadRequest));
            return false;
        }
        if (peer.inbox.size() < 4 + size) break;
        const std::string body = peer.inbox.substr(4, size);
        peer.inbox.erase(0, 4 + size);
        if (!HandleFrame(body, shared)) return false;
    }
    return true;
}

bool DesktopServer::HandleFrame(const std::string& body, const std::shared_ptr<Peer>& peer) {
    const auto request = DecodeRequest(body);
    if (!request) {
        peer->Send(StatusReply(Status::BadRequest));
        return false;
    }
    if (request->op != Op::SendMessage) {
        peer->Send(table_->Answer(*request));
        return true;
    }
    const bool wait = request->flags & kFlagWait;
    // A window kept from others is not another process's to rename or destroy: refused
    // (FALSE), nothing delivered.
    if ((request->message == WM_SETTEXT || request->message == WM_DESTROY) &&
        !peer->FromThisProcess() && table_->IsKeptFromOthers(request->window)) {
        peer->Send(Reply{});
        return true;
    }
    if (!wait && !table_->Find(request->window)) {
        Reply missing;
        missing.status = Status::NoWindow;
        peer->Send(missing);
        return true;
    }
    // Each window takes only so much waiting work; a flood of messages is refused.
    if (!table_->Queue(request->window, request->text.size())) {
        peer->Send(StatusReply(Status::BadRequest));
        return true;
    }
    PostMessageTask(*request, peer);
    if (!wait) peer->Send(Reply{});
    return true;
}

void DesktopServer::PostMessageTask(const Request& request, const std::shared_ptr<Peer>& peer) {
    const bool wait = request.flags & kFlagWait;
    std::weak_ptr<WindowTable> weakTable = table_;
    if (wait) peer->BeginWait();
    table_->dispatcher().Post([weakTable, peer, request, wait] {
        auto table = weakTable.lock();
        std::optional<int64_t> result;
        if (table) {
            table->Unqueue(request.window, request.text.size());
            result = table->Deliver(request.window, request.message, request.wParam, request.text);
        }
        if (!wait) return;
        peer->EndWait();
        Reply reply;
        if (result) {
            reply.value = *result;
        } else {
            reply.status = Status::NoWindow;
        }
        peer->Send(reply);
    });
}

}  // namespace tovrin
