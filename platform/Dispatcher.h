#pragma once

#include <condition_variable>
#include <deque>
#include <functional>
#include <mutex>
#include <thread>

namespace tovrin {

// Runs tasks on a process's UI thread. Window handlers of a DesktopHost run through it.
class Dispatcher {
  public:
    virtual ~Dispatcher() = default;
    // Queues a task for the UI thread; safe from any thread.
    virtual void Post(std::function<void()> task) = 0;
    // True when called on the thread that runs the tasks.
    virtual bool IsUiThread() const = 0;
};

// A dispatcher for programs and tests without a Qt event loop: the owning thread runs the
// queued tasks with ProcessPending() or Run().
class PlainDispatcher : public Dispatcher {
  public:
    PlainDispatcher();  // the constructing thread is the UI thread
    PlainDispatcher(const PlainDispatcher&) = delete;
    PlainDispatcher& operator=(const PlainDispatcher&) = delete;

    void Post(std::function<void()> task) override;
    bool IsUiThread() const override;

    // Runs every task queued so far; returns how many ran.
    int ProcessPending();
    // Runs tasks until Quit() is called (from a task or another thread).
    void Run();
    void Quit();

  private:
    std::thread::id uiThread_;
    std::mutex mutex_;
    std::condition_variable wake_;
    std::deque<std::function<void()>> tasks_;
    bool quit_ = false;
};

}  // namespace tovrin
