#include "platform/Dispatcher.h"

namespace tovrin {

PlainDispatcher::PlainDispatcher() : uiThread_(std::this_thread::get_id()) {}

void PlainDispatcher::Post(std::function<void()> task) {
    // Notify under the lock: once Run() has returned the dispatcher may be destroyed at
    // once, so no notification may still be on its way to it.
    std::lock_guard lock(mutex_);
    tasks_.push_back(std::move(task));
    wake_.notify_one();
}

bool PlainDispatcher::IsUiThread() const {
    return std::this_thread::get_id() == uiThread_;
}

int PlainDispatcher::ProcessPending() {
    std::deque<std::function<void()>> batch;
    {
        std::lock_guard lock(mutex_);
        batch.swap(tasks_);
    }
    for (auto& task : batch)
        task();
    return static_cast<int>(batch.size());
}

void PlainDispatcher::Run() {
    std::unique_lock lock(mutex_);
    while (!quit_) {
        wake_.wait(lock, [this] { return quit_ || !tasks_.empty(); });
        if (quit_) break;
        std::function<void()> task = std::move(tasks_.front());
        tasks_.pop_front();
        lock.unlock();
        task();
        lock.lock();
    }
    quit_ = false;  // the next Run() runs again
}

void PlainDispatcher::Quit() {
    std::lock_guard lock(mutex_);
    quit_ = true;
    wake_.notify_all();
}

}  // namespace tovrin
