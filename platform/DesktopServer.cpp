#include "platform/DesktopServer.h"

#include <poll.h>
#include <sys/eventfd.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <mutex>
#include <stdexcept>

#include "platform/RuntimeFolder.h"

namespace tovrin {

using namespace desktop_protocol;

namespace {

// More connections than any sane set of clients keeps open; the rest are turned away so
// that a runaway client cannot use up the host's descriptors.
constexpr size_t kMaxPeers = 256;
constexpr auto kReplyWriteLimit = std::chrono::seconds(1);

sockaddr_un AddressOf(const std::string& path) {
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    if (path.size() >= sizeof address.sun_path)
        throw std::runtime_error("desktop socket path too long: " + path);
    std::memcpy(address.sun_path, path.c_str(), path.size() + 1);
    return address;
}

bool SameUser(int fd) {
    ucred credentials{};
    socklen_t size = sizeof credentials;
    if (getsockopt(fd, SOL_SOCKET, SO_PEERCRED, &credentials, &size) != 0) return false;
    return credentials.uid == getuid();
}

uint32_t LengthPrefix(const std::string& inbox) {
    uint32_t size = 0;
    for (int i = 0; i < 4; ++i)
        size |= uint32_t(static_cast<unsigned char>(inbox[i])) << (8 * i);
    return size;
}

Reply ErrorReply() {
    Reply reply;
    reply.status = Status::BadRequest;
    return reply;
}

}  // namespace

class DesktopServer::Peer {
  public:
    explicit Peer(UniqueFd fd) : fd_(std::move(fd)) {}
    int fd() const { return fd_.get(); }

    // Called from the serving thread and from the UI thread; one reply at a time.
    void Send(const Reply& reply) {
        std::lock_guard lock(writeMutex_);
        const std::string frame = Frame(EncodeReply(reply));
        if (!WriteAll(fd_.get(), frame, std::chrono::steady_clock::now() + kReplyWriteLimit))
            ::shutdown(fd_.get(), SHUT_RDWR);  // a client that reads nothing is dropped
    }

    std::string inbox;

  private:
    UniqueFd fd_;
    std::mutex writeMutex_;
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
    wake_.Reset(::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK));
    if (!wake_.valid()) throw std::runtime_error("eventfd: " + std::string(strerror(errno)));
    thread_ = std::thread([this] { Serve(); });
}

DesktopServer::~DesktopServer() {
    const uint64_t one = 1;
    // Fails only when the counter would overflow, that is when the thread is woken already.
    [[maybe_unused]] const ssize_t written = ::write(wake_.get(), &one, sizeof one);
    thread_.join();
    struct stat info {};
    // Another process of the same pid may have taken the name since; leave its socket alone.
    if (::stat(socketPath_.c_str(), &info) == 0 && info.st_ino == socketInode_)
        ::unlink(socketPath_.c_str());
}

void DesktopServer::Serve() {
    std::vector<std::shared_ptr<Peer>> peers;
    std::vector<pollfd> entries;
    for (;;) {
        entries.assign({{wake_.get(), POLLIN, 0}, {listener_.get(), POLLIN, 0}});
        for (const auto& peer : peers)
            entries.push_back({peer->fd(), POLLIN, 0});
        if (::poll(entries.data(), entries.size(), -1) < 0) {
            if (errno == EINTR) continue;
            return;
        }
        if (entries[0].revents) return;
        // Peers accepted now are not in this round's entries; they are polled next round.
        std::vector<std::shared_ptr<Peer>> kept;
        for (size_t i = 0; i < peers.size(); ++i) {
            if (entries[i + 2].revents == 0 || ReadFrom(*peers[i], peers[i]))
                kept.push_back(std::move(peers[i]));
        }
        peers.swap(kept);
        if (entries[1].revents) Accept(peers);
    }
}

void DesktopServer::Accept(std::vector<std::shared_ptr<Peer>>& peers) {
    for (;;) {
        UniqueFd fd(::accept4(listener_.get(), nullptr, nullptr, SOCK_NONBLOCK | SOCK_CLOEXEC));
        if (!fd.valid()) return;
        // Another user's process never gets an answer, whatever it sends.
        if (!SameUser(fd.get()) || peers.size() >= kMaxPeers) continue;
        peers.push_back(std::make_shared<Peer>(std::move(fd)));
    }
}

bool DesktopServer::ReadFrom(Peer& peer, const std::shared_ptr<Peer>& shared) {
    char chunk[65536];
    for (;;) {
        const ssize_t got = ::recv(peer.fd(), chunk, sizeof chunk, 0);
        if (got > 0) {
            peer.inbox.append(chunk, static_cast<size_t>(got));
        } else if (got < 0 && errno == EINTR) {
            continue;
        } else if (got < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) {
            break;
        } else {
            // End of stream (or an error): a frame cut off in the middle is answered as bad.
            if (!peer.inbox.empty()) peer.Send(ErrorReply());
            return false;
        }
        while (peer.inbox.size() >= 4) {
            const uint32_t size = LengthPrefix(peer.inbox);
            if (size > kMaxFrameBody) {
                peer.Send(ErrorReply());
                return false;
            }
            if (peer.inbox.size() < 4 + size) break;
            const std::string body = peer.inbox.substr(4, size);
            peer.inbox.erase(0, 4 + size);
            if (!HandleFrame(body, shared)) return false;
        }
    }
    return true;
}

bool DesktopServer::HandleFrame(const std::string& body, const std::shared_ptr<Peer>& peer) {
    const auto request = DecodeRequest(body);
    if (!request) {
        peer->Send(ErrorReply());
        return false;
    }
    if (request->op != Op::SendMessage) {
        peer->Send(table_->Answer(*request));
        return true;
    }
    const bool wait = request->flags & kFlagWait;
    if (!wait && !table_->Find(request->window)) {
        Reply missing;
        missing.status = Status::NoWindow;
        peer->Send(missing);
        return true;
    }
    PostMessageTask(*request, peer);
    if (!wait) peer->Send(Reply{});
    return true;
}

void DesktopServer::PostMessageTask(const Request& request, const std::shared_ptr<Peer>& peer) {
    const bool wait = request.flags & kFlagWait;
    std::weak_ptr<WindowTable> weakTable = table_;
    table_->dispatcher().Post([weakTable, peer, request, wait] {
        auto table = weakTable.lock();
        std::optional<int64_t> result;
        if (table)
            result = table->Deliver(request.window, request.message, request.wParam, request.text);
        if (!wait) return;
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
