#include "platform/DesktopHost.h"

#include <atomic>
#include <mutex>
#include <stdexcept>

#include "platform/DesktopHostImpl.h"
#include "platform/DesktopServer.h"

namespace tovrin {

namespace {

std::atomic<DesktopHost*> g_hostOfThisProcess{nullptr};

std::mutex g_tableMutex;
std::shared_ptr<WindowTable> g_tableOfThisProcess;

void PublishTable(std::shared_ptr<WindowTable> table) {
    std::lock_guard lock(g_tableMutex);
    g_tableOfThisProcess = std::move(table);
}

}  // namespace

DesktopHost::Impl::Impl(Dispatcher& dispatcher)
    : table(std::make_shared<WindowTable>(dispatcher)),
      server(std::make_unique<DesktopServer>(table)) {}

DesktopHost::Impl::~Impl() = default;

DesktopHost::DesktopHost(Dispatcher& dispatcher) {
    DesktopHost* expected = nullptr;
    if (!g_hostOfThisProcess.compare_exchange_strong(expected, this))
        throw std::runtime_error("this process already hosts windows on the desktop");
    try {
        impl_ = std::make_unique<Impl>(dispatcher);
    } catch (...) {
        g_hostOfThisProcess = nullptr;
        throw;
    }
    PublishTable(impl_->table);
}

DesktopHost::~DesktopHost() {
    PublishTable(nullptr);
    g_hostOfThisProcess = nullptr;
    impl_.reset();
}

std::shared_ptr<WindowTable> WindowTableOfThisProcess() {
    std::lock_guard lock(g_tableMutex);
    return g_tableOfThisProcess;
}

WindowHandle DesktopHost::CreateWindow(const std::string& className, const std::string& caption,
                                       WindowHandle parent, bool visible, MessageHandler handler) {
    if (parent != kNoWindow && !impl_->table->Find(parent)) return kNoWindow;
    WindowTable::Window window;
    window.className = className;
    window.caption = caption;
    window.parent = parent;
    window.visible = visible;
    window.handler = std::move(handler);
    return impl_->table->Create(std::move(window));
}

void DesktopHost::DestroyWindow(WindowHandle window) {
    impl_->table->Destroy(window);
}

void DesktopHost::SetCaption(WindowHandle window, const std::string& caption) {
    impl_->table->Modify(window, [&](WindowTable::Window& w) { w.caption = caption; });
}

void DesktopHost::KeepFromOthers(WindowHandle window) {
    impl_->table->Modify(window, [](WindowTable::Window& w) { w.keptFromOthers = true; });
}

std::string DesktopHost::Caption(WindowHandle window) const {
    auto found = impl_->table->Find(window);
    return found ? found->caption : std::string();
}

void DesktopHost::SetVisible(WindowHandle window, bool visible) {
    impl_->table->Modify(window, [&](WindowTable::Window& w) { w.visible = visible; });
}

bool DesktopHost::IsVisible(WindowHandle window) const {
    auto found = impl_->table->Find(window);
    return found && found->visible;
}

void DesktopHost::SetScrollInfo(WindowHandle window, const ScrollInfo& info) {
    impl_->table->Modify(window, [&](WindowTable::Window& w) { w.scroll = info; });
}

WindowHandle DesktopHost::Parent(WindowHandle window) const {
    auto found = impl_->table->Find(window);
    return found ? found->parent : kNoWindow;
}

void DesktopHost::SetChangeObserver(ChangeObserver observer) {
    impl_->table->SetObserver(std::move(observer));
}

Dispatcher& DesktopHost::dispatcher() {
    return impl_->table->dispatcher();
}

DesktopHost* DesktopHost::OfThisProcess() {
    return g_hostOfThisProcess.load();
}

}  // namespace tovrin
