#include "platform/WaveBackends.h"
#include "platform/WaveVolume.h"

#include <pulse/error.h>
#include <pulse/simple.h>

#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

namespace tovrin {

namespace {

constexpr int kLeadMs = 200;
constexpr int kPieceMs = 20;
constexpr auto kProbeLimit = std::chrono::seconds(2);

pa_simple* Connect(const PcmFormat& format, const char* streamName) {
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
    int error = 0;
    return pa_simple_new(nullptr, "Tovrin", PA_STREAM_PLAYBACK, nullptr, streamName, &spec, nullptr,
                         &buffer, &error);
}

// A stream to the sound server. pa_simple is not thread-safe, so every call on it holds the
// mutex, and writes go in short pieces so that Pause or Flush from another thread wait little.
// The server has no pause of its own here: a paused stream holds its writer back and lets
// the little that is queued play out. When the server goes away mid-stream, the stream
// carries on as the null device, discarding samples at real-time pace: the engine then keeps
// time instead of racing through the rest of its text in an instant.
class PulseStream : public PcmStream {
  public:
    PulseStream(pa_simple* simple, const PcmFormat& format) : simple_(simple), format_(format) {}
    ~PulseStream() override { pa_simple_free(simple_); }
    PulseStream(const PulseStream&) = delete;
    PulseStream& operator=(const PulseStream&) = delete;

    bool Write(const int16_t* samples, size_t frames) override {
        size_t piece = std::max<size_t>(1, size_t(format_.sampleRate * kPieceMs / 1000));
        while (frames > 0) {
            if (PcmStream* fallback = Fallback()) return fallback->Write(samples, frames);
            size_t take = std::min(piece, frames);
            if (!WritePiece(samples, take)) continue;  // the piece goes to the fallback
            samples += take * size_t(format_.channels);
            frames -= take;
        }
        return true;
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
        std::lock_guard lock(mutex_);
        if (fallback_) return fallback_->Flush();
        dropped_ += QueuedFrames();
        int error = 0;
        pa_simple_flush(simple_, &error);
    }
    void Drain() override {
        if (PcmStream* fallback = Fallback()) return fallback->Drain();
        std::lock_guard lock(mutex_);
        int error = 0;
        pa_simple_drain(simple_, &error);
    }
    uint64_t FramesPlayed() const override {
        std::lock_guard lock(mutex_);
        uint64_t heard = fallback_ ? fallbackBase_ + fallback_->FramesPlayed()
                                   : written_ - std::min(written_, dropped_ + QueuedFrames());
        played_ = std::max(played_, heard);
        return played_;
    }

  private:
    bool WritePiece(const int16_t* samples, size_t frames) {
        std::vector<int16_t> scaled(samples, samples + frames * size_t(format_.channels));
        std::unique_lock lock(mutex_);
        resumed_.wait(lock, [this] { return !paused_; });
        ApplyWaveVolume(scaled.data(), frames, format_.channels, volume_.Current());
        int error = 0;
        if (pa_simple_write(simple_, scaled.data(), scaled.size() * 2, &error) < 0) {
            FallBack(error);
            return false;
        }
        written_ += frames;
        return true;
    }
    // Set once and kept for the stream's life, so the pointer stays good without the mutex.
    PcmStream* Fallback() const {
        std::lock_guard lock(mutex_);
        return fallback_.get();
    }
    // Called with the mutex held, after the server failed a write. What was queued on the
    // server counts as played: it is lost with the server.
    void FallBack(int error) {
        std::fprintf(stderr, "sound server lost (%s): playing on without sound\n",
                     pa_strerror(error));
        fallbackBase_ = std::max(played_, written_ - std::min(written_, dropped_));
        fallback_ = OpenNullStream(format_, CurrentWaveClock());
        if (paused_) fallback_->Pause();
    }
    uint64_t QueuedFrames() const {
        int error = 0;
        pa_usec_t latency = pa_simple_get_latency(simple_, &error);
        if (latency == pa_usec_t(-1)) return 0;
        return latency * uint64_t(format_.sampleRate) / 1'000'000;
    }

    pa_simple* simple_;
    PcmFormat format_;
    mutable std::mutex mutex_;
    std::condition_variable resumed_;
    VolumeWatcher volume_;
    bool paused_ = false;
    uint64_t written_ = 0;
    uint64_t dropped_ = 0;
    mutable uint64_t played_ = 0;
    std::unique_ptr<PcmStream> fallback_;
    uint64_t fallbackBase_ = 0;
};

bool SocketThere(const char* folder, const char* name) {
    return folder && *folder && access((std::string(folder) + name).c_str(), F_OK) == 0;
}

// A server that accepts the connection but never answers (a stopped process) holds the
// connecting thread until the client library gives up half a minute later, and every program
// asks once as it starts: so the probe connects on a thread of its own, which is left behind
// when it takes too long.
bool ProbeConnects() {
    struct Probe {
        std::mutex mutex;
        std::condition_variable done;
        std::optional<bool> connected;
    };
    auto probe = std::make_shared<Probe>();
    std::thread([probe] {
        pa_simple* simple = Connect(PcmFormat{}, "probe");
        if (simple) pa_simple_free(simple);
        std::lock_guard lock(probe->mutex);
        probe->connected = simple != nullptr;
        probe->done.notify_all();
    }).detach();
    std::unique_lock lock(probe->mutex);
    probe->done.wait_for(lock, kProbeLimit, [&] { return probe->connected.has_value(); });
    return probe->connected.value_or(false);
}

}  // namespace

std::unique_ptr<PcmStream> OpenPulseStream(const PcmFormat& format) {
    pa_simple* simple = Connect(format, "speech");
    if (!simple) return nullptr;
    return std::make_unique<PulseStream>(simple, format);
}

bool PulseServerAnswers() {
    // Only a server that is already there counts: connecting without one could make the
    // client library start a sound daemon of its own. The client library looks for the
    // socket in PULSE_RUNTIME_PATH before the user's runtime folder, and so does this.
    const char* server = std::getenv("PULSE_SERVER");
    bool socketThere = SocketThere(std::getenv("PULSE_RUNTIME_PATH"), "/native") ||
                       SocketThere(std::getenv("XDG_RUNTIME_DIR"), "/pulse/native");
    if (!(server && *server) && !socketThere) return false;
    return ProbeConnects();
}

}  // namespace tovrin
