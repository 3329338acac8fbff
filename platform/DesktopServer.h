#pragma once

#include <memory>
#include <string>
#include <thread>

#include "platform/UniqueFd.h"
#include "platform/WindowTable.h"

namespace tovrin {

// Listens on <pid>.sock in the desktop folder and answers requests for one host's windows on
// its own thread: queries at once from the table, messages through the dispatcher, the reply
// written when the handler returns.
class DesktopServer {
  public:
    // Throws std::runtime_error when the folder is unusable or the socket cannot listen.
    explicit DesktopServer(std::shared_ptr<WindowTable> table);
    ~DesktopServer();
    DesktopServer(const DesktopServer&) = delete;
    DesktopServer& operator=(const DesktopServer&) = delete;

    class Peer;

  private:
    void Serve();
    void Accept(std::vector<std::shared_ptr<Peer>>& peers);
    // False when the peer is finished with and must be dropped.
    bool ReadFrom(Peer& peer, const std::shared_ptr<Peer>& shared);
    bool HandleFrame(const std::string& body, const std::shared_ptr<Peer>& peer);
    void PostMessageTask(const desktop_protocol::Request& request,
                         const std::shared_ptr<Peer>& peer);

    std::shared_ptr<WindowTable> table_;
    std::string socketPath_;
    ino_t socketInode_ = 0;
    UniqueFd listener_;
    UniqueFd wake_;  // an eventfd that stops the serving thread
    std::thread thread_;
};

}  // namespace tovrin
