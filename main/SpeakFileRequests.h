#pragma once

#include <cstddef>
#include <deque>
#include <functional>
#include <optional>
#include <string>
#include <vector>

class QObject;

namespace tovrin {

class PlayerWindow;
class SpeechHolder;

// The "{SpeakFile}" requests other programs send, served one at a time from the event loop.
// Any process of the user may send them as fast as it likes, so they are bounded: a name
// already waiting is not queued again, only so many wait (more are refused), and only so
// many player windows are opened for them (then the oldest idle one is reused, or the
// request is refused). The refusals of a burst are reported once, when the queue runs dry.
class SpeakFileRequests {
  public:
    static constexpr size_t kMaxWaiting = 64;
    static constexpr size_t kMaxPlayerWindows = 64;

    // Serves one request; false when it was refused (no window could take it).
    using Server = std::function<bool(const std::string& fileName)>;
    using Reporter = std::function<void(const std::string& text)>;

    // Requests are served through `context`'s event loop and never after it has gone.
    SpeakFileRequests(QObject* context, Server serve, Reporter report);
    SpeakFileRequests(const SpeakFileRequests&) = delete;
    SpeakFileRequests& operator=(const SpeakFileRequests&) = delete;

    void Add(const std::string& fileName);
    // Forgets what waits (at shutdown).
    void Clear();
    size_t Waiting() const { return waiting_.size(); }

    // The window a request is read in: nullptr for a new one while fewer than
    // kMaxPlayerWindows are open; at the limit the oldest open window that neither holds the
    // engine (`reading`) nor has unsaved changes; nullopt when every one is busy.
    static std::optional<PlayerWindow*> ChooseWindow(const std::vector<PlayerWindow*>& open,
                                                     const SpeechHolder* reading);

  private:
    void Schedule();
    void ServeNext();
    void Refuse();
    void ReportRefusals();

    QObject* context_;
    Server serve_;
    Reporter report_;
    std::deque<std::string> waiting_;
    bool scheduled_ = false;
    bool reporting_ = false;
    size_t refused_ = 0;
};

}  // namespace tovrin
