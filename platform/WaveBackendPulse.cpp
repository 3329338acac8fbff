#include "platform/WaveBackends.h"
#include "platform/WaveVolume.h"

#include <pulse/pulseaudio.h>

#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

namespace tovrin {

namespace {

using SteadyClock = std::chrono::steady_clock;

constexpr int kLeadMs = 200;
constexpr int kPieceMs = 20;
// How long the server may keep any one call waiting before it counts as gone. A stopped
// server accepts connections and never answers; nothing here waits on it for longer.
constexpr auto kServerLimit = std::chrono::milliseconds(2000);

void Signal(pa_threaded_mainloop* loop) {
    pa_threaded_mainloop_signal(loop, 0);
}

// A connection to the sound server with a thread of its own that runs the client library's
// event loop. Every use of the library's objects holds the loop's lock; waits release it and
// end at a deadline, so no call is at the server's mercy.
class PulseConnection {
  public:
    PulseConnection() : loop_(pa_threaded_mainloop_new()) {}
    ~PulseConnection() {
        if (!loop_) return;
        if (running_) {
            pa_threaded_mainloop_lock(loop_);
            DisconnectLocked();
            pa_threaded_mainloop_unlock(loop_);
            pa_threaded_mainloop_stop(loop_);
        } else {
            DisconnectLocked();  // no loop thread yet, so nothing to lock against
        }
        pa_threaded_mainloop_free(loop_);
    }
    PulseConnection(const PulseConnection&) = delete;
    PulseConnection& operator=(const PulseConnection&) = delete;

    // Connects to a running server (never starting one) before the deadline.
    bool Connect(SteadyClock::time_point deadline) {
        if (!loop_) return false;
        context_ = pa_context_new(pa_threaded_mainloop_get_api(loop_), "Tovrin");
        if (!context_) return false;
        pa_context_set_state_callback(
            context_,
            [](pa_context*, void* loop) { Signal(static_cast<pa_threaded_mainloop*>(loop)); },
            loop_);
        if (pa_context_connect(context_, nullptr, PA_CONTEXT_NOAUTOSPAWN, nullptr) < 0)
            return false;
        if (pa_threaded_mainloop_start(loop_) < 0) return false;
        running_ = true;
        Lock lock(loop_);
        return WaitFor(deadline, [this] { return ContextSettled(); }) &&
               pa_context_get_state(context_) == PA_CONTEXT_READY;
    }

    // Opens a playback stream; the lock must not be held.
    bool OpenStream(const PcmFormat& format, const char* name, SteadyClock::time_point deadline) {
        pa_sample_spec spec{};
        spec.format = PA_SAMPLE_S16LE;
        spec.rate = uint32_t(format.sampleRate);
        spec.channels = uint8_t(format.channels);
        pa_buffer_attr buffer{};
        buffer.maxlength = uint32_t(-1);
        buffer.tlength = uint32_t(format.sampleRate * format.channels * 2 * kLeadMs / 1000);
        buffer.prebuf = uint32_t(-1);
        buffer.minreq = uint32_t(-1);
        buffer.fragsize = uint32_t(-1);
        Lock lock(loop_);
        stream_ = pa_stream_new(context_, name, &spec, nullptr);
        if (!stream_) return false;
        pa_stream_set_state_callback(stream_, &OnStreamEvent, loop_);
        pa_stream_set_write_callback(stream_, &OnWritable, loop_);
        const auto flags = pa_stream_flags_t(
            PA_STREAM_INTERPOLATE_TIMING | PA_STREAM_AUTO_TIMING_UPDATE | PA_STREAM_ADJUST_LATENCY);
        if (pa_stream_connect_playback(stream_, nullptr, &buffer, flags, nullptr, nullptr) < 0)
            return false;
        return WaitFor(deadline, [this] { return StreamSettled(); }) &&
               pa_stream_get_state(stream_) == PA_STREAM_READY;
    }

    // Holds the loop's lock for its lifetime.
    class Lock {
      public:
        explicit Lock(pa_threaded_mainloop* loop) : loop_(loop) {
            pa_threaded_mainloop_lock(loop_);
        }
        ~Lock() { pa_threaded_mainloop_unlock(loop_); }
        Lock(const Lock&) = delete;
        Lock& operator=(const Lock&) = delete;

      private:
        pa_threaded_mainloop* loop_;
    };

    // With the lock held: waits until `done` or the deadline; false at the deadline.
    template <typename Done>
    bool WaitFor(SteadyClock::time_point deadline, Done done) {
        while (!done()) {
            const auto left = deadline - SteadyClock::now();
            if (left <= SteadyClock::duration::zero()) return false;
            WaitSignal(std::chrono::duration_cast<std::chrono::microseconds>(left));
        }
        return true;
    }

    // With the lock held: waits until `done` for as long as the server keeps answering. It is
    // asked for its timing four times a second; one that has given none for the whole limit
    // counts as stopped (false). A slow server, or a sink with a long latency, waits on.
    template <typename Done>
    bool WaitWhileAnswering(Done done) {
        auto heard = SteadyClock::now();
        timeval last = LastTiming();
        while (!done()) {
            const auto now = SteadyClock::now();
            if (now - heard >= kServerLimit) return false;
            if (pa_operation* ask = pa_stream_update_timing_info(stream_, nullptr, nullptr))
                pa_operation_unref(ask);
            WaitFor(std::min(now + kAskInterval, heard + kServerLimit), done);
            const timeval stamp = LastTiming();
            if (stamp.tv_sec != last.tv_sec || stamp.tv_usec != last.tv_usec) {
                last = stamp;
                heard = SteadyClock::now();
            }
        }
        return true;
    }

    // With the lock held: wakes every wait, so that it looks at its condition again.
    void Wake() { Signal(loop_); }

    pa_threaded_mainloop* loop() const { return loop_; }
    pa_stream* stream() const { return stream_; }
    bool Usable() const {
        return pa_context_get_state(context_) == PA_CONTEXT_READY && stream_ &&
               pa_stream_get_state(stream_) == PA_STREAM_READY;
    }
    std::string LastError() const { return pa_strerror(pa_context_errno(context_)); }

  private:
    static constexpr auto kAskInterval = std::chrono::milliseconds(250);

    timeval LastTiming() const {
        const pa_timing_info* timing = stream_ ? pa_stream_get_timing_info(stream_) : nullptr;
        return timing ? timing->timestamp : timeval{};
    }
    static void OnStreamEvent(pa_stream*, void* loop) {
        Signal(static_cast<pa_threaded_mainloop*>(loop));
    }
    static void OnWritable(pa_stream*, size_t, void* loop) {
        Signal(static_cast<pa_threaded_mainloop*>(loop));
    }

    // A timer wakes the wait at the latest when the time is up.
    void WaitSignal(std::chrono::microseconds left) {
        pa_mainloop_api* api = pa_threaded_mainloop_get_api(loop_);
        timeval when{};
        pa_timeval_add(pa_gettimeofday(&when), pa_usec_t(left.count()) + 1000);
        pa_time_event* timer = api->time_new(
            api, &when,
            [](pa_mainloop_api*, pa_time_event*, const timeval*, void* loop) {
                Signal(static_cast<pa_threaded_mainloop*>(loop));
            },
            loop_);
        pa_threaded_mainloop_wait(loop_);
        if (timer) api->time_free(timer);
    }

    bool ContextSettled() const {
        const pa_context_state_t state = pa_context_get_state(context_);
        return state == PA_CONTEXT_READY || !PA_CONTEXT_IS_GOOD(state);
    }
    bool StreamSettled() const {
        const pa_stream_state_t state = pa_stream_get_state(stream_);
        return state == PA_STREAM_READY || !PA_STREAM_IS_GOOD(state) ||
               !PA_CONTEXT_IS_GOOD(pa_context_get_state(context_));
    }

    void DisconnectLocked() {
        if (stream_) {
            pa_stream_set_state_callback(stream_, nullptr, nullptr);
            pa_stream_set_write_callback(stream_, nullptr, nullptr);
            pa_stream_disconnect(stream_);
            pa_stream_unref(stream_);
            stream_ = nullptr;
        }
        if (context_) {
            pa_context_set_state_callback(context_, nullptr, nullptr);
            pa_context_disconnect(context_);
            pa_context_unref(context_);
            context_ = nullptr;
        }
    }

    pa_threaded_mainloop* loop_;
    pa_context* context_ = nullptr;
    pa_stream* stream_ = nullptr;
    bool running_ = false;
};

// Said once per process: every later stream falls back the same way without a word.
void SayPlayingWithoutSound(const std::string& reason) {
    static std::atomic<bool> said{false};
    if (said.exchange(true)) return;
    std::fprintf(stderr, "sound server %s: playing on without sound\n", reason.c_str());
}

// A stream to the sound server. Writes go in short pieces so that Pause, Flush or Abort from
// another thread take effect soon. The server has no pause of its own here: a paused stream
// holds its writer back and lets the little that is queued play out. When the server goes
// away or stops answering, the stream carries on as the null device, discarding samples at
// real-time pace: the engine then keeps time instead of racing through the rest of its text
// in an instant, or hanging on a server that never answers.
class PulseStream : public PcmStream {
  public:
    PulseStream(std::unique_ptr<PulseConnection> connection, const PcmFormat& format)
        : connection_(std::move(connection)), format_(format) {}
    PulseStream(const PulseStream&) = delete;
    PulseStream& operator=(const PulseStream&) = delete;

    bool Write(const int16_t* samples, size_t frames) override {
        size_t piece = std::max<size_t>(1, size_t(format_.sampleRate * kPieceMs / 1000));
        while (frames > 0) {
            if (!AwaitResumed()) return false;
            if (PcmStream* fallback = Fallback()) return fallback->Write(samples, frames);
            size_t take = std::min(piece, frames);
            std::vector<int16_t> scaled(samples, samples + take * size_t(format_.channels));
            ApplyWaveVolume(scaled.data(), take, format_.channels, volume_.Current());
            if (!WritePiece(scaled)) continue;  // the piece goes to the fallback
            samples += take * size_t(format_.channels);
            frames -= take;
        }
        return !aborted_;
    }
    void Pause() override {
        std::lock_guard lock(mutex_);
        paused_ = true;
        if (fallback_) fallback_->Pause();
    }
    void Resume() override {
        std::lock_guard lock(mutex_);
        paused_ = false;
        if (fallback_) fallback_->Resume();
        resumed_.notify_all();
    }
    void Flush() override {
        if (PcmStream* fallback = Fallback()) return fallback->Flush();
        uint64_t queued = DropQueued();
        std::lock_guard lock(mutex_);
        dropped_ += queued;
    }
    void Drain() override {
        if (PcmStream* fallback = Fallback()) return fallback->Drain();
        bool answered = true;
        {
            PulseConnection::Lock lock(connection_->loop());
            pa_operation* drain = pa_stream_drain(connection_->stream(), nullptr, nullptr);
            if (!drain) return;
            answered = connection_->WaitWhileAnswering(
                [&] { return aborted_ || pa_operation_get_state(drain) != PA_OPERATION_RUNNING; });
            if (!answered) pa_operation_cancel(drain);
            pa_operation_unref(drain);
        }
        if (!answered) FallBack("not answering");
    }
    void Abort() override {
        {
            std::lock_guard lock(mutex_);
            aborted_ = true;
            resumed_.notify_all();
            if (fallback_) fallback_->Abort();
        }
        DropQueued();
    }
    uint64_t FramesPlayed() const override {
        std::unique_lock lock(mutex_);
        if (fallback_) {
            played_ = std::max(played_, fallbackBase_ + fallback_->FramesPlayed());
            return played_;
        }
        const uint64_t written = written_;
        const uint64_t dropped = dropped_;
        lock.unlock();
        const uint64_t queued = QueuedFrames();
        lock.lock();
        played_ = std::max(played_, written - std::min(written, dropped + queued));
        return played_;
    }

  private:
    // False when the stream was aborted meanwhile.
    bool AwaitResumed() {
        std::unique_lock lock(mutex_);
        resumed_.wait(lock, [this] { return !paused_ || aborted_; });
        return !aborted_;
    }
    // False when the server failed the piece; the stream has fallen back then.
    bool WritePiece(const std::vector<int16_t>& samples) {
        const size_t frameBytes = size_t(format_.channels) * 2;
        const auto* bytes = reinterpret_cast<const uint8_t*>(samples.data());
        size_t left = samples.size() * 2;
        std::string failure;
        {
            PulseConnection::Lock lock(connection_->loop());
            while (left > 0 && !aborted_) {
                size_t room = 0;
                const bool answered = connection_->WaitWhileAnswering([&] {
                    if (aborted_ || !connection_->Usable()) return true;
                    room = pa_stream_writable_size(connection_->stream());
                    return room != size_t(-1) && room >= frameBytes;
                });
                if (!answered) {
                    failure = "not answering";
                    break;
                }
                if (aborted_) break;
                if (!connection_->Usable()) {
                    failure = "lost (" + connection_->LastError() + ")";
                    break;
                }
                const size_t take = std::min(left, room - room % frameBytes);
                if (pa_stream_write(connection_->stream(), bytes, take, nullptr, 0,
                                    PA_SEEK_RELATIVE) < 0) {
                    failure = "lost (" + connection_->LastError() + ")";
                    break;
                }
                bytes += take;
                left -= take;
                std::lock_guard count(mutex_);
                written_ += take / frameBytes;
            }
        }
        if (failure.empty()) return true;
        FallBack(failure);
        return false;
    }
    // Set once and kept for the stream's life, so the pointer stays good without the mutex.
    PcmStream* Fallback() const {
        std::lock_guard lock(mutex_);
        return fallback_.get();
    }
    // What was queued on the server counts as played: it is lost with the server.
    void FallBack(const std::string& reason) {
        SayPlayingWithoutSound(reason);
        std::lock_guard lock(mutex_);
        if (fallback_) return;
        fallbackBase_ = std::max(played_, written_ - std::min(written_, dropped_));
        fallback_ = OpenNullStream(format_, CurrentWaveClock());
        if (paused_) fallback_->Pause();
        if (aborted_) fallback_->Abort();
    }
    // Drops what the server holds and not yet played; the frames dropped.
    uint64_t DropQueued() {
        PulseConnection::Lock lock(connection_->loop());
        const uint64_t queued = QueuedFramesLocked();
        // Not waited for: a server that does not answer drops nothing anyway.
        if (pa_operation* flush = pa_stream_flush(connection_->stream(), nullptr, nullptr))
            pa_operation_unref(flush);
        connection_->Wake();
        return queued;
    }
    uint64_t QueuedFrames() const {
        PulseConnection::Lock lock(connection_->loop());
        return QueuedFramesLocked();
    }
    // From the timing the server last reported; asks the server nothing.
    uint64_t QueuedFramesLocked() const {
        pa_usec_t latency = 0;
        int negative = 0;
        if (pa_stream_get_latency(connection_->stream(), &latency, &negative) < 0 || negative)
            return 0;
        return latency * uint64_t(format_.sampleRate) / 1'000'000;
    }
    std::unique_ptr<PulseConnection> connection_;
    PcmFormat format_;
    mutable std::mutex mutex_;
    std::condition_variable resumed_;
    VolumeWatcher volume_;
    bool paused_ = false;
    std::atomic<bool> aborted_{false};
    uint64_t written_ = 0;
    uint64_t dropped_ = 0;
    mutable uint64_t played_ = 0;
    std::unique_ptr<PcmStream> fallback_;
    uint64_t fallbackBase_ = 0;
};

bool SocketThere(const char* folder, const char* name) {
    return folder && *folder && access((std::string(folder) + name).c_str(), F_OK) == 0;
}

}  // namespace

std::unique_ptr<PcmStream> OpenPulseStream(const PcmFormat& format) {
    auto connection = std::make_unique<PulseConnection>();
    const auto deadline = SteadyClock::now() + kServerLimit;
    if (!connection->Connect(deadline) || !connection->OpenStream(format, "speech", deadline)) {
        // A server that does not answer (or went away) leaves the device silent, not absent.
        SayPlayingWithoutSound(SteadyClock::now() >= deadline ? "not answering" : "not reachable");
        return OpenNullStream(format, CurrentWaveClock());
    }
    return std::make_unique<PulseStream>(std::move(connection), format);
}

bool PulseServerAnswers() {
    // Only a server that is already there counts: connecting without one could make the
    // client library start a sound daemon of its own. The client library looks for the
    // socket in PULSE_RUNTIME_PATH before the user's runtime folder, and so does this.
    const char* server = std::getenv("PULSE_SERVER");
    bool socketThere = SocketThere(std::getenv("PULSE_RUNTIME_PATH"), "/native") ||
                       SocketThere(std::getenv("XDG_RUNTIME_DIR"), "/pulse/native");
    if (!(server && *server) && !socketThere) return false;
    PulseConnection probe;
    return probe.Connect(SteadyClock::now() + kServerLimit);
}

}  // namespace tovrin
