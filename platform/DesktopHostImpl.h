#pragma once

#include <memory>

#include "platform/DesktopHost.h"
#include "platform/WindowTable.h"

namespace tovrin {

class DesktopServer;

// The window table of this process's host, shared, so that a caller on another thread keeps
// it alive while the host is being destroyed; nullptr when the process hosts no windows.
std::shared_ptr<WindowTable> WindowTableOfThisProcess();

class DesktopHost::Impl {
  public:
    explicit Impl(Dispatcher& dispatcher);
    ~Impl();

    std::shared_ptr<WindowTable> table;
    std::unique_ptr<DesktopServer> server;
};

}  // namespace tovrin
