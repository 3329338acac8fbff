#pragma once

#include <memory>

#include "platform/DesktopHost.h"
#include "platform/WindowTable.h"

namespace tovrin {

class DesktopServer;

class DesktopHost::Impl {
  public:
    explicit Impl(Dispatcher& dispatcher);
    ~Impl();

    std::shared_ptr<WindowTable> table;
    std::unique_ptr<DesktopServer> server;
};

}  // namespace tovrin
