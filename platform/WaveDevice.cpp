#include "platform/WaveDevice.h"

#include "platform/WaveBackends.h"
#include "platform/WaveClock.h"
#include "platform/WaveImage.h"
#include "platform/WaveVolume.h"

#include <cstdio>
#include <cstdlib>
#include <string>

namespace tovrin {

namespace {

constexpr int kMaxSampleRate = 384000;

// Default: the sound server when one answers, else the null device. Asking the server is
// put off until a stream is opened, so that a server that does not answer never delays a
// program's start.
enum class Backend { None, Null, Wav, Pulse, Default };

struct AudioChoice {
    Backend backend = Backend::Default;
    std::string wavPath;
};

// Read on every use, so a program (or test) may change TOVRIN_AUDIO while it runs. A value
// that names no backend is a failure, and selects the silent device meanwhile: it must never
// reach real speakers by mistake.
AudioChoice ChosenAudio() {
    const char* value = std::getenv("TOVRIN_AUDIO");
    std::string audio = value ? value : "";
    if (audio.rfind("wav:", 0) == 0 && audio.size() > 4) return {Backend::Wav, audio.substr(4)};
    if (audio == "none") return {Backend::None, ""};
    if (audio == "null") return {Backend::Null, ""};
    if (audio == "pulse") return {Backend::Pulse, ""};
    if (audio.empty()) return {Backend::Default, ""};
    ReportWaveDeviceFailure("TOVRIN_AUDIO=" + audio +
                            " names no wave device (pulse, null, none or wav:<file>)");
    return {Backend::Null, ""};
}

Backend DefaultBackend() {
    static const bool serverAnswers = PulseServerAnswers();
    return serverAnswers ? Backend::Pulse : Backend::Null;
}

struct FailureRecord {
    std::mutex mutex;
    std::optional<std::string> first;
};

FailureRecord& Failures() {
    static FailureRecord record;
    return record;
}

bool PlayableFormat(const PcmFormat& format) {
    return (format.channels == 1 || format.channels == 2) && format.sampleRate > 0 &&
           format.sampleRate <= kMaxSampleRate;
}

}  // namespace

int WaveOutDeviceCount() {
    return ChosenAudio().backend == Backend::None ? 0 : 1;
}

bool DefaultSoundIsSilent() {
    const char* audio = std::getenv("TOVRIN_AUDIO");
    return !(audio && *audio) && DefaultBackend() == Backend::Null;
}

bool GetWaveOutVolume(uint32_t& volume) {
    if (WaveOutDeviceCount() == 0) return false;
    auto stored = ReadWaveVolume();
    if (!stored) return false;
    volume = *stored;
    return true;
}

bool SetWaveOutVolume(uint32_t volume) {
    return WaveOutDeviceCount() != 0 && WriteWaveVolume(volume);
}

// Ties a play to its canceller for as long as the play's stream exists.
class WavePlayGuard {
  public:
    WavePlayGuard(WaveCancel* cancel, PcmStream& stream) : cancel_(cancel) {
        if (!cancel_) return;
        std::lock_guard lock(cancel_->mutex_);
        if (cancel_->cancelled_) stream.Abort();
        cancel_->playing_ = &stream;
    }
    ~WavePlayGuard() {
        if (!cancel_) return;
        std::lock_guard lock(cancel_->mutex_);
        cancel_->playing_ = nullptr;
    }
    WavePlayGuard(const WavePlayGuard&) = delete;
    WavePlayGuard& operator=(const WavePlayGuard&) = delete;

  private:
    WaveCancel* cancel_;
};

void WaveCancel::Cancel() {
    std::lock_guard lock(mutex_);
    cancelled_ = true;
    if (playing_) playing_->Abort();
}

bool WaveCancel::Cancelled() const {
    std::lock_guard lock(mutex_);
    return cancelled_;
}

void ReportWaveDeviceFailure(const std::string& failure) {
    FailureRecord& record = Failures();
    std::lock_guard lock(record.mutex);
    if (record.first) return;
    record.first = failure;
    std::fprintf(stderr, "wave device: %s\n", failure.c_str());
}

std::optional<std::string> WaveDeviceFailure() {
    FailureRecord& record = Failures();
    std::lock_guard lock(record.mutex);
    return record.first;
}

std::unique_ptr<PcmStream> PcmStream::Open(const PcmFormat& format) {
    if (!PlayableFormat(format)) return nullptr;
    AudioChoice choice = ChosenAudio();
    if (choice.backend == Backend::Default) choice.backend = DefaultBackend();
    switch (choice.backend) {
        case Backend::None:
            return nullptr;
        case Backend::Null:
            return OpenNullStream(format, CurrentWaveClock());
        case Backend::Wav:
            return OpenWavStream(choice.wavPath, format, CurrentWaveClock());
        case Backend::Pulse:
        case Backend::Default:
            return OpenPulseStream(format);
    }
    return nullptr;
}

bool PlayWaveImage(const void* data, size_t size, WaveCancel* cancel) {
    if (size == 0) return true;
    auto image = ParseWaveImage(data, size);
    if (!image || WaveOutDeviceCount() == 0) return false;
    if (image->frames == 0) return true;
    if (cancel && cancel->Cancelled()) return false;
    auto stream = PcmStream::Open(PcmFormat{image->sampleRate, image->channels});
    if (!stream) return false;
    WavePlayGuard guard(cancel, *stream);
    std::vector<int16_t> samples = ToPcm16(*image);
    if (!stream->Write(samples.data(), image->frames)) return false;
    stream->Drain();
    return !(cancel && cancel->Cancelled());
}

}  // namespace tovrin
