#include "platform/Desktop.h"

#include <dirent.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <condition_variable>
#include <map>
#include <memory>
#include <mutex>
#include <set>

#include "platform/DesktopConnection.h"
#include "platform/DesktopHostImpl.h"
#include "platform/RuntimeFolder.h"

namespace tovrin::desktop {

using namespace desktop_protocol;

namespace {

std::atomic<int64_t> g_timeoutMs{5000};

Deadline NewDeadline() {
    return std::chrono::steady_clock::now() + std::chrono::milliseconds(g_timeoutMs.load());
}

std::string SocketPath(const std::string& folder, pid_t pid) {
    return folder + "/" + std::to_string(pid) + ".sock";
}

// Open connections to other hosts, kept for reuse: the controller asks several questions
// every tick, and a new connection per question would cost more than the question. Each
// call takes a connection for itself, so threads never wait on one another here.
class ConnectionPool {
  public:
    std::unique_ptr<DesktopConnection> Take(pid_t pid) {
        std::lock_guard lock(mutex_);
        auto& idle = idle_[pid];
        while (!idle.empty()) {
            auto connection = std::move(idle.back());
            idle.pop_back();
            if (!connection->HungUp()) return connection;
        }
        return nullptr;
    }
    void Give(pid_t pid, std::unique_ptr<DesktopConnection> connection) {
        std::lock_guard lock(mutex_);
        idle_[pid].push_back(std::move(connection));
    }
    void Forget(pid_t pid) {
        std::lock_guard lock(mutex_);
        idle_.erase(pid);
    }

  private:
    std::mutex mutex_;
    std::map<pid_t, std::vector<std::unique_ptr<DesktopConnection>>> idle_;
};

ConnectionPool& Pool() {
    static ConnectionPool pool;  // lives as long as the process, like the sockets it holds
    return pool;
}

// Hosts that let a call run out of time. A search over all hosts asks them only briefly
// until they answer again, so that one stopped process cannot hold up every search (the
// controller searches ten times a second) while it still counts as gone.
class SilentHosts {
  public:
    static constexpr auto kBriefWait = std::chrono::milliseconds(20);

    void Mark(pid_t pid) {
        std::lock_guard lock(mutex_);
        silent_.insert(pid);
    }
    void Clear(pid_t pid) {
        std::lock_guard lock(mutex_);
        silent_.erase(pid);
    }
    bool IsSilent(pid_t pid) {
        std::lock_guard lock(mutex_);
        return silent_.count(pid) != 0;
    }

  private:
    std::mutex mutex_;
    std::set<pid_t> silent_;
};

SilentHosts& Silent() {
    static SilentHosts silent;
    return silent;
}

void RemoveStaleSocket(const std::string& folder, pid_t pid) {
    Pool().Forget(pid);
    ::unlink(SocketPath(folder, pid).c_str());
}

std::optional<Reply> CallRemote(pid_t pid, const Request& request, Deadline deadline) {
    const auto folder = RuntimeFolder();
    if (!folder) return std::nullopt;
    const std::string frame = Frame(EncodeRequest(request));
    // The host would refuse it; no need to ask.
    if (frame.size() - 4 > kMaxFrameBody) return std::nullopt;
    for (int attempt = 0; attempt < 2; ++attempt) {
        auto connection = Pool().Take(pid);
        const bool reused = connection != nullptr;
        if (!connection) {
            DesktopConnection::OpenError error;
            connection = DesktopConnection::Open(SocketPath(*folder, pid), pid, deadline, error);
            if (error == DesktopConnection::OpenError::Gone) RemoveStaleSocket(*folder, pid);
            if (!connection) return std::nullopt;
        }
        auto reply = connection->Call(frame, deadline);
        if (reply) {
            Silent().Clear(pid);
            Pool().Give(pid, std::move(connection));
            return reply;
        }
        if (!connection->Closed()) {
            Silent().Mark(pid);
            return std::nullopt;
        }
        // A kept connection may have been closed by its host since; one fresh try then.
        if (!reused) return std::nullopt;
    }
    return std::nullopt;
}

// Waits for a message handed to this process's own UI thread from another thread.
struct PendingResult {
    std::mutex mutex;
    std::condition_variable done;
    bool finished = false;
    std::optional<int64_t> result;
};

std::optional<Reply> SendToOwnWindow(WindowTable& table, const Request& request) {
    const bool wait = request.flags & kFlagWait;
    Reply reply;
    if (wait && table.dispatcher().IsUiThread()) {
        // The UI thread would wait for itself through the dispatcher: run the handler here.
        auto result = table.Deliver(request.window, request.message, request.wParam, request.text);
        if (!result) reply.status = Status::NoWindow;
        reply.value = result.value_or(0);
        return reply;
    }
    if (!table.Find(request.window)) {
        reply.status = Status::NoWindow;
        return reply;
    }
    auto pending = std::make_shared<PendingResult>();
    std::weak_ptr<WindowTable> weak = table.shared_from_this();
    table.dispatcher().Post([weak, pending, request] {
        auto owner = weak.lock();
        std::optional<int64_t> result;
        if (owner)
            result = owner->Deliver(request.window, request.message, request.wParam, request.text);
        std::lock_guard lock(pending->mutex);
        pending->result = result;
        pending->finished = true;
        pending->done.notify_all();
    });
    if (!wait) return reply;
    std::unique_lock lock(pending->mutex);
    if (!pending->done.wait_until(lock, NewDeadline(), [&] { return pending->finished; }))
        return std::nullopt;
    if (!pending->result) reply.status = Status::NoWindow;
    reply.value = pending->result.value_or(0);
    return reply;
}

std::optional<Reply> CallSelf(const Request& request) {
    // Held for the whole call: the host may be destroyed on another thread meanwhile.
    const std::shared_ptr<WindowTable> table = WindowTableOfThisProcess();
    if (!table) {
        Reply none;
        none.status = request.window == kNoWindow && request.op != Op::SendMessage
                          ? Status::Ok
                          : Status::NoWindow;
        return none;
    }
    if (request.op == Op::SendMessage) return SendToOwnWindow(*table, request);
    return table->Answer(request);
}

std::optional<Reply> Call(pid_t pid, const Request& request) {
    if (pid <= 0) return std::nullopt;
    return pid == getpid() ? CallSelf(request) : CallRemote(pid, request, NewDeadline());
}

// One host's part of a search over all hosts.
std::optional<Reply> CallDuringSearch(pid_t pid, const Request& request) {
    if (pid == getpid() || !Silent().IsSilent(pid)) return Call(pid, request);
    const auto brief = std::chrono::steady_clock::now() +
                       std::min<std::chrono::milliseconds>(SilentHosts::kBriefWait, CallTimeout());
    return CallRemote(pid, request, brief);
}

std::optional<Reply> CallFor(WindowHandle window, Request request) {
    if (window == kNoWindow) return std::nullopt;
    request.window = window;
    auto reply = Call(PidOf(window), request);
    if (!reply || reply->status != Status::Ok) return std::nullopt;
    return reply;
}

std::optional<Reply> Describe(WindowHandle window) {
    Request request;
    request.op = Op::Describe;
    return CallFor(window, request);
}

// Hosting processes in the desktop folder, lowest pid first.
std::vector<pid_t> HostPids() {
    std::vector<pid_t> pids;
    const auto folder = RuntimeFolder();
    if (!folder) return pids;
    DIR* directory = ::opendir(folder->c_str());
    if (!directory) return pids;
    while (const dirent* entry = ::readdir(directory)) {
        const std::string name = entry->d_name;
        const size_t dot = name.find(".sock");
        if (dot == 0 || dot == std::string::npos || dot + 5 != name.size()) continue;
        if (!std::all_of(name.begin(), name.begin() + dot, ::isdigit) || dot > 9) continue;
        pids.push_back(static_cast<pid_t>(std::stol(name.substr(0, dot))));
    }
    ::closedir(directory);
    std::sort(pids.begin(), pids.end());
    return pids;
}

Request FindRequest(WindowHandle parent, WindowHandle after,
                    std::optional<std::string_view> className,
                    std::optional<std::string_view> caption) {
    Request request;
    request.op = Op::FindChild;
    request.window = parent;
    request.other = after;
    if (className) {
        request.flags |= kFlagHasClass;
        request.className = *className;
    }
    if (caption) {
        request.flags |= kFlagHasCaption;
        request.caption = *caption;
    }
    return request;
}

WindowHandle FindTopLevel(WindowHandle after, Request request) {
    for (pid_t pid : HostPids()) {
        // Hosts before the one holding `after` were searched already; the one holding it
        // continues after it, the later ones from their first window.
        if (after != kNoWindow && pid < PidOf(after)) continue;
        request.other = after != kNoWindow && pid == PidOf(after) ? after : kNoWindow;
        auto reply = CallDuringSearch(pid, request);
        if (reply && reply->status == Status::Ok && reply->value != 0)
            return static_cast<WindowHandle>(reply->value);
    }
    return kNoWindow;
}

}  // namespace

void SetCallTimeout(std::chrono::milliseconds timeout) {
    g_timeoutMs = timeout.count();
}

std::chrono::milliseconds CallTimeout() {
    return std::chrono::milliseconds(g_timeoutMs.load());
}

WindowHandle FindChildWindow(WindowHandle parent, WindowHandle after,
                             std::optional<std::string_view> className,
                             std::optional<std::string_view> caption) {
    Request request = FindRequest(parent, after, className, caption);
    if (parent == kNoWindow) return FindTopLevel(after, std::move(request));
    auto reply = CallFor(parent, std::move(request));
    return reply ? static_cast<WindowHandle>(reply->value) : kNoWindow;
}

bool CanBeRead() {
    const auto folder = RuntimeFolder();
    DIR* directory = folder ? ::opendir(folder->c_str()) : nullptr;
    if (!directory) return false;
    ::closedir(directory);
    return true;
}

std::vector<WindowHandle> GetChildren(WindowHandle parent) {
    Request request;
    request.op = Op::Children;
    if (parent != kNoWindow) {
        auto reply = CallFor(parent, request);
        return reply ? reply->handles : std::vector<WindowHandle>{};
    }
    std::vector<WindowHandle> all;
    for (pid_t pid : HostPids()) {
        auto reply = CallDuringSearch(pid, request);
        if (reply && reply->status == Status::Ok)
            all.insert(all.end(), reply->handles.begin(), reply->handles.end());
    }
    return all;
}

WindowHandle GetFirstChild(WindowHandle parent) {
    return FindChildWindow(parent, kNoWindow, std::nullopt, std::nullopt);
}

std::optional<std::string> GetClassName(WindowHandle window) {
    auto reply = Describe(window);
    if (!reply) return std::nullopt;
    return reply->className;
}

std::optional<std::string> GetWindowText(WindowHandle window) {
    auto reply = Describe(window);
    if (!reply) return std::nullopt;
    return reply->caption.substr(0, kMaxCaptionRead);
}

WindowHandle GetParent(WindowHandle window) {
    auto reply = Describe(window);
    return reply ? reply->parent : kNoWindow;
}

bool SetParent(WindowHandle window, WindowHandle newParent) {
    // Windows are re-parented within their own process only.
    if (newParent != kNoWindow && PidOf(newParent) != PidOf(window)) return false;
    Request request;
    request.op = Op::SetParent;
    request.other = newParent;
    return CallFor(window, request).has_value();
}

bool ShowWindow(WindowHandle window, bool show) {
    Request request;
    request.op = Op::Show;
    request.flags = show ? kFlagShow : 0;
    return CallFor(window, request).has_value();
}

bool IsWindow(WindowHandle window) {
    return Describe(window).has_value();
}

bool IsWindowVisible(WindowHandle window) {
    auto reply = Describe(window);
    return reply && reply->visible;
}

std::optional<ScrollInfo> GetScrollInfo(WindowHandle window) {
    auto reply = Describe(window);
    if (!reply) return std::nullopt;
    return reply->scroll;
}

std::optional<int64_t> SendMessage(WindowHandle window, uint32_t message, uint64_t wParam,
                                   std::string_view text) {
    Request request;
    request.op = Op::SendMessage;
    request.message = message;
    request.wParam = wParam;
    request.text = text;
    request.flags = kFlagWait;
    auto reply = CallFor(window, std::move(request));
    if (!reply) return std::nullopt;
    return reply->value;
}

bool PostMessage(WindowHandle window, uint32_t message, uint64_t wParam, std::string_view text) {
    Request request;
    request.op = Op::SendMessage;
    request.message = message;
    request.wParam = wParam;
    request.text = text;
    return CallFor(window, std::move(request)).has_value();
}

}  // namespace tovrin::desktop
