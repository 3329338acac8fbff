#pragma once

#include <chrono>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

// The desktop: windows hosted by processes of this user, found and messaged by handle from
// any process. Every call here blocks until the hosting process answers or the call timeout
// passes; a host that does not answer in time counts as gone. Texts are Windows-1251 bytes.
namespace tovrin {

// (pid << 32) | serial; 0 means none, and as a parent it means the desktop itself.
using WindowHandle = uint64_t;
constexpr WindowHandle kNoWindow = 0;

// Message numbers, as the engine and its controller know them.
constexpr uint32_t WM_DESTROY = 0x0002;
constexpr uint32_t WM_SETTEXT = 0x000C;
constexpr uint32_t WM_COMMAND = 0x0111;
constexpr uint32_t EM_SCROLLCARET = 0x00B7;

// Longest caption read back, as a 255-byte buffer with its terminator allows.
constexpr size_t kMaxCaptionRead = 254;

struct ScrollInfo {
    int32_t min = 0;
    int32_t max = 0;
    int32_t pos = 0;
};

namespace desktop {

// How long a call waits for the hosting process (default 5 s).
void SetCallTimeout(std::chrono::milliseconds timeout);
std::chrono::milliseconds CallTimeout();

// Top-level windows (parent = kNoWindow) or children of `parent`, in creation order, that
// come after `after` (kNoWindow: from the first) and match the class and caption given;
// nullopt matches anything. Class and caption compare exactly.
WindowHandle FindChildWindow(WindowHandle parent, WindowHandle after,
                             std::optional<std::string_view> className,
                             std::optional<std::string_view> caption);
inline WindowHandle FindWindow(std::optional<std::string_view> className,
                               std::optional<std::string_view> caption) {
    return FindChildWindow(kNoWindow, kNoWindow, className, caption);
}

// Whether the desktop's folder can be listed: false when it is missing, cannot be made, is
// not private or cannot be read. An empty desktop can be read.
bool CanBeRead();

// Direct children of `parent` (kNoWindow: every top-level window of every host), in order.
std::vector<WindowHandle> GetChildren(WindowHandle parent);
WindowHandle GetFirstChild(WindowHandle parent);

std::optional<std::string> GetClassName(WindowHandle window);
// At most kMaxCaptionRead bytes; nullopt when the window does not exist.
std::optional<std::string> GetWindowText(WindowHandle window);
// kNoWindow for a top-level window and for a window that does not exist.
WindowHandle GetParent(WindowHandle window);
// newParent kNoWindow makes the window top-level. False when either window is missing, when
// newParent belongs to another process or when the window would become its own ancestor.
bool SetParent(WindowHandle window, WindowHandle newParent);
bool ShowWindow(WindowHandle window, bool show);
bool IsWindow(WindowHandle window);
bool IsWindowVisible(WindowHandle window);
std::optional<ScrollInfo> GetScrollInfo(WindowHandle window);

// Runs the window's handler on its host's UI thread and returns the handler's result;
// nullopt when the window does not exist, the host died or did not answer in time.
std::optional<int64_t> SendMessage(WindowHandle window, uint32_t message, uint64_t wParam,
                                   std::string_view text = {});
// Queues the message and returns without waiting for the handler (true when delivered).
// Messages from one thread to one host are handled in the order they were sent or posted.
bool PostMessage(WindowHandle window, uint32_t message, uint64_t wParam,
                 std::string_view text = {});

}  // namespace desktop
}  // namespace tovrin
