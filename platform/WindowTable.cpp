#include "platform/WindowTable.h"

#include <unistd.h>

#include <algorithm>
#include <exception>

namespace tovrin {

using desktop_protocol::Reply;
using desktop_protocol::Request;
using desktop_protocol::Status;

namespace {

Reply NoWindow() {
    Reply reply;
    reply.status = Status::NoWindow;
    return reply;
}

bool Matches(const WindowTable::Window& window, const Request& request) {
    using namespace desktop_protocol;
    if ((request.flags & kFlagHasClass) && window.className != request.className) return false;
    if ((request.flags & kFlagHasCaption) && window.caption != request.caption) return false;
    return true;
}

}  // namespace

WindowHandle WindowTable::Create(Window window) {
    std::lock_guard lock(mutex_);
    const WindowHandle handle = (WindowHandle(getpid()) << 32) | nextSerial_++;
    windows_.emplace(handle, std::move(window));
    return handle;
}

void WindowTable::Destroy(WindowHandle window) {
    std::lock_guard lock(mutex_);
    RemoveWithChildren(window);
}

std::optional<WindowTable::Window> WindowTable::Find(WindowHandle window) const {
    std::lock_guard lock(mutex_);
    auto found = windows_.find(window);
    if (found == windows_.end()) return std::nullopt;
    return found->second;
}

bool WindowTable::IsKeptFromOthers(WindowHandle window) const {
    std::lock_guard lock(mutex_);
    auto found = windows_.find(window);
    return found != windows_.end() && found->second.keptFromOthers;
}

Reply WindowTable::Answer(const Request& request) {
    using desktop_protocol::Op;
    switch (request.op) {
        case Op::FindChild:
            return FindChild(request);
        case Op::Children:
            return Children(request.window);
        case Op::Describe:
            return Describe(request.window);
        case Op::SetParent:
            return SetParent(request.window, request.other);
        case Op::Show:
            return Show(request.window, request.flags & desktop_protocol::kFlagShow);
        case Op::SendMessage:
            break;
    }
    Reply reply;
    reply.status = Status::BadRequest;
    return reply;
}

Reply WindowTable::FindChild(const Request& request) const {
    std::lock_guard lock(mutex_);
    const WindowHandle parent = request.window;
    if (parent != kNoWindow && !windows_.count(parent)) return NoWindow();
    auto it = windows_.begin();
    if (request.other != kNoWindow) {
        it = windows_.find(request.other);
        if (it == windows_.end() || it->second.parent != parent) return Reply{};
        ++it;
    }
    Reply reply;
    for (; it != windows_.end(); ++it) {
        if (it->second.parent == parent && Matches(it->second, request)) {
            reply.value = static_cast<int64_t>(it->first);
            break;
        }
    }
    return reply;
}

Reply WindowTable::Children(WindowHandle parent) const {
    std::lock_guard lock(mutex_);
    if (parent != kNoWindow && !windows_.count(parent)) return NoWindow();
    Reply reply;
    for (const auto& [handle, window] : windows_)
        if (window.parent == parent) reply.handles.push_back(handle);
    return reply;
}

Reply WindowTable::Describe(WindowHandle window) const {
    std::lock_guard lock(mutex_);
    auto found = windows_.find(window);
    if (found == windows_.end()) return NoWindow();
    Reply reply;
    reply.className = found->second.className;
    // Nobody reads back more of a caption, and so a reply always fits in a frame.
    reply.caption = found->second.caption.substr(0, kMaxCaptionRead);
    reply.parent = found->second.parent;
    reply.visible = found->second.visible;
    reply.scroll = found->second.scroll;
    return reply;
}

Reply WindowTable::SetParent(WindowHandle window, WindowHandle newParent) {
    {
        std::lock_guard lock(mutex_);
        auto found = windows_.find(window);
        if (found == windows_.end()) return NoWindow();
        if (newParent != kNoWindow && !windows_.count(newParent)) return NoWindow();
        // A window cannot become its own ancestor.
        if (newParent != kNoWindow && IsAncestorOrSelf(window, newParent)) {
            Reply refused;
            refused.status = Status::BadRequest;
            return refused;
        }
        found->second.parent = newParent;
    }
    Report(window, WindowChange::ParentChanged);
    return Reply{};
}

Reply WindowTable::Show(WindowHandle window, bool show) {
    if (!Modify(window, [show](Window& w) { w.visible = show; })) return NoWindow();
    Report(window, show ? WindowChange::Shown : WindowChange::Hidden);
    return Reply{};
}

std::optional<int64_t> WindowTable::Deliver(WindowHandle window, uint32_t message, uint64_t wParam,
                                            const std::string& text) {
    MessageHandler handler;
    {
        std::lock_guard lock(mutex_);
        auto found = windows_.find(window);
        if (found == windows_.end()) return std::nullopt;
        if (message == WM_SETTEXT) found->second.caption = text;
        handler = found->second.handler;
    }
    // A window without a handler accepts its text as a real window would (TRUE).
    int64_t result = message == WM_SETTEXT ? 1 : 0;
    if (handler) {
        try {
            result = handler(window, message, wParam, text);
        } catch (const std::exception&) {
            // A failing handler fails this one message; the sender sees a failure and the
            // host, which may serve other windows, carries on.
            return std::nullopt;
        }
    }
    if (message == WM_DESTROY) {
        bool existed = false;
        {
            std::lock_guard lock(mutex_);
            existed = windows_.count(window) != 0;
            RemoveWithChildren(window);
        }
        ChangeObserver observer;
        {
            std::lock_guard lock(mutex_);
            observer = observer_;
        }
        if (existed && observer) observer(window, WindowChange::Destroyed);
    }
    return result;
}

bool WindowTable::Queue(WindowHandle window, size_t bytes) {
    // Enough for any sane burst of commands and texts; a single message is always let in.
    constexpr size_t kMaxMessages = 64;
    constexpr size_t kMaxBytes = 4u << 20;
    std::lock_guard lock(mutex_);
    if (!windows_.count(window)) return true;
    QueueLoad& load = queued_[window];
    if (load.messages >= kMaxMessages || (load.messages > 0 && load.bytes + bytes > kMaxBytes))
        return false;
    ++load.messages;
    load.bytes += bytes;
    return true;
}

void WindowTable::Unqueue(WindowHandle window, size_t bytes) {
    std::lock_guard lock(mutex_);
    auto found = queued_.find(window);
    if (found == queued_.end()) return;
    found->second.messages -= 1;
    found->second.bytes -= std::min(found->second.bytes, bytes);
    if (found->second.messages == 0) queued_.erase(found);
}

void WindowTable::SetObserver(ChangeObserver observer) {
    std::lock_guard lock(mutex_);
    observer_ = std::move(observer);
}

bool WindowTable::IsAncestorOrSelf(WindowHandle ancestor, WindowHandle window) const {
    // Bounded by the table's size so that a damaged chain can never loop forever.
    for (size_t steps = 0; window != kNoWindow && steps <= windows_.size(); ++steps) {
        if (window == ancestor) return true;
        auto found = windows_.find(window);
        if (found == windows_.end()) return false;
        window = found->second.parent;
    }
    return false;
}

void WindowTable::RemoveWithChildren(WindowHandle window) {
    if (!windows_.erase(window)) return;
    std::vector<WindowHandle> children;
    for (const auto& [handle, w] : windows_)
        if (w.parent == window) children.push_back(handle);
    for (WindowHandle child : children)
        RemoveWithChildren(child);
}

void WindowTable::Report(WindowHandle window, WindowChange change) {
    dispatcher_.Post([weak = weak_from_this(), window, change] {
        auto table = weak.lock();
        if (!table) return;
        ChangeObserver observer;
        {
            std::lock_guard lock(table->mutex_);
            observer = table->observer_;
        }
        if (observer) observer(window, change);
    });
}

}  // namespace tovrin
