#pragma once

#include <atomic>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "platform/UniqueFd.h"
#include "platform/WindowTable.h"

namespace tovrin {

// Listens on <pid>.sock in the desktop folder and answers requests for one host's windows on
// its own thread: queries at once from the table, messages through the dispatcher, the reply
// written when the handler returns. No client can shut the others out: replies a client does
// not read wait in its own outbox, idle connections time out, and a full house makes room by
// closing the connection idle the longest.
class DesktopServer {
  public:
    // Throws std::runtime_error when the folder is unusable or the socket cannot listen.
    explicit DesktopServer(std::shared_ptr<WindowTable> table);
    ~DesktopServer();
    DesktopServer(const DesktopServer&) = delete;
    DesktopServer& operator=(const DesktopServer&) = delete;

    class Peer;

    class Waker;

  private:
    void Serve();
    // After a failure of the serving loop: the socket goes, so that clients see a dead host
    // rather than one that never answers.
    void StopListening();
    // False when the process ran out of descriptors.
    bool Accept(std::vector<std::shared_ptr<Peer>>& peers);
    // When every place is taken, the peer that has been idle the longest makes room.
    bool MakeRoom(std::vector<std::shared_ptr<Peer>>& peers);
    // False when the peer is finished with and must be dropped.
    bool ReadFrom(Peer& peer, const std::shared_ptr<Peer>& shared);
    bool HandleInbox(Peer& peer, const std::shared_ptr<Peer>& shared);
    bool HandleFrame(const std::string& body, const std::shared_ptr<Peer>& peer);
    void PostMessageTask(const desktop_protocol::Request& request,
                         const std::shared_ptr<Peer>& peer);

    std::shared_ptr<WindowTable> table_;
    std::string socketPath_;
    ino_t socketInode_ = 0;
    UniqueFd listener_;
    std::shared_ptr<Waker> waker_;  // wakes the serving thread to stop or to write replies
    std::atomic<bool> stopping_{false};
    std::thread thread_;
};

}  // namespace tovrin
