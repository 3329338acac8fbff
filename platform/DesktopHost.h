#pragma once

#include <functional>
#include <memory>
#include <string>

#include "platform/Desktop.h"
#include "platform/Dispatcher.h"

namespace tovrin {

// Runs on the host's UI thread for each message sent to the window; the result goes back to
// the sender. WM_SETTEXT has already replaced the window's caption when the handler runs.
using MessageHandler = std::function<int64_t(WindowHandle window, uint32_t message, uint64_t wParam,
                                             const std::string& text)>;

// What another process changed on one of our windows; reported on the UI thread so that a
// real window can follow (show itself, re-parent its widget).
enum class WindowChange { Shown, Hidden, ParentChanged, Destroyed };
using ChangeObserver = std::function<void(WindowHandle window, WindowChange change)>;

// Puts this process's windows on the desktop: listens on <pid>.sock in the desktop folder
// and answers every call of platform/Desktop.h for the windows it holds. Queries (class,
// caption, parent, visibility, children, scroll bar) are answered from the host's table at
// once, even while the UI thread is busy; messages run their handler through the dispatcher.
// One host per process; windows vanish from the desktop when it is destroyed.
class DesktopHost {
  public:
    explicit DesktopHost(
        Dispatcher& dispatcher);  // throws std::runtime_error when it cannot listen
    ~DesktopHost();
    DesktopHost(const DesktopHost&) = delete;
    DesktopHost& operator=(const DesktopHost&) = delete;

    // parent kNoWindow: a top-level window. A child must be a window of this host.
    WindowHandle CreateWindow(const std::string& className, const std::string& caption,
                              WindowHandle parent, bool visible, MessageHandler handler = {});
    // Removes the window and its children.
    void DestroyWindow(WindowHandle window);

    // Local changes made by the owning program (button captions, progress).
    void SetCaption(WindowHandle window, const std::string& caption);
    // From now on WM_SETTEXT and WM_DESTROY sent by another process leave the window as it is
    // and are answered 0 (FALSE): for a window others must always find by its caption.
    void KeepFromOthers(WindowHandle window);
    std::string Caption(WindowHandle window) const;
    void SetVisible(WindowHandle window, bool visible);
    bool IsVisible(WindowHandle window) const;
    void SetScrollInfo(WindowHandle window, const ScrollInfo& info);
    WindowHandle Parent(WindowHandle window) const;

    void SetChangeObserver(ChangeObserver observer);
    Dispatcher& dispatcher();

    // The host of the calling process, if one exists (calls to own windows go straight to it).
    static DesktopHost* OfThisProcess();

    class Impl;
    // For the desktop calls that reach windows of this process without a socket.
    Impl& impl() { return *impl_; }

  private:
    std::unique_ptr<Impl> impl_;
};

}  // namespace tovrin
