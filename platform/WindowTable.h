#pragma once

#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <string>

#include "platform/DesktopHost.h"
#include "platform/DesktopProtocol.h"

namespace tovrin {

// The windows of one host and what may be done to them. Shared with tasks queued on the
// dispatcher, which hold it weakly so that a task outliving its host does nothing.
class WindowTable : public std::enable_shared_from_this<WindowTable> {
  public:
    explicit WindowTable(Dispatcher& dispatcher) : dispatcher_(dispatcher) {}

    struct Window {
        std::string className;
        std::string caption;
        WindowHandle parent = kNoWindow;
        bool visible = false;
        ScrollInfo scroll;
        MessageHandler handler;
        // Only the owning process may rename or destroy it (other processes are refused).
        bool keptFromOthers = false;
    };

    WindowHandle Create(Window window);
    void Destroy(WindowHandle window);
    // Runs `change` on the window under the table's lock; false when it does not exist.
    template <typename Change>
    bool Modify(WindowHandle window, Change change) {
        std::lock_guard lock(mutex_);
        auto found = windows_.find(window);
        if (found == windows_.end()) return false;
        change(found->second);
        return true;
    }
    std::optional<Window> Find(WindowHandle window) const;
    // Whether WM_SETTEXT and WM_DESTROY from another process to the window are refused.
    bool IsKeptFromOthers(WindowHandle window) const;

    // Answers every request but SendMessage from the table, at once.
    desktop_protocol::Reply Answer(const desktop_protocol::Request& request);
    // Runs a message's handler; on the UI thread only. nullopt when the window is missing.
    std::optional<int64_t> Deliver(WindowHandle window, uint32_t message, uint64_t wParam,
                                   const std::string& text);

    // Counts a message queued for the window's handler; false when the window has its fill
    // of waiting messages already. A window that does not exist counts nothing: its
    // messages fail when they are delivered.
    bool Queue(WindowHandle window, size_t bytes);
    // The message has left the queue.
    void Unqueue(WindowHandle window, size_t bytes);

    void SetObserver(ChangeObserver observer);
    Dispatcher& dispatcher() { return dispatcher_; }

  private:
    desktop_protocol::Reply FindChild(const desktop_protocol::Request& request) const;
    desktop_protocol::Reply Children(WindowHandle parent) const;
    desktop_protocol::Reply Describe(WindowHandle window) const;
    desktop_protocol::Reply SetParent(WindowHandle window, WindowHandle newParent);
    desktop_protocol::Reply Show(WindowHandle window, bool show);
    bool IsAncestorOrSelf(WindowHandle ancestor, WindowHandle window) const;
    void RemoveWithChildren(WindowHandle window);
    void Report(WindowHandle window, WindowChange change);

    Dispatcher& dispatcher_;
    mutable std::mutex mutex_;
    // Ordered by handle, which is creation order within one process.
    std::map<WindowHandle, Window> windows_;
    uint32_t nextSerial_ = 1;
    struct QueueLoad {
        size_t messages = 0;
        size_t bytes = 0;
    };
    std::map<WindowHandle, QueueLoad> queued_;
    ChangeObserver observer_;
};

}  // namespace tovrin
