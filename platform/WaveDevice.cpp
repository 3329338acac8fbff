#include "platform/WaveDevice.h"

#include "platform/WaveBackends.h"
#include "platform/WaveClock.h"
#include "platform/WaveImage.h"
#include "platform/WaveVolume.h"

#include <cstdlib>
#include <string>

namespace tovrin {

namespace {

constexpr int kMaxSampleRate = 384000;

enum class Backend { None, Null, Wav, Pulse };

struct AudioChoice {
    Backend backend = Backend::Null;
    std::string wavPath;
};

// Read on every use, so a program (or test) may change TOVRIN_AUDIO while it runs. A value
// that names no backend selects the silent one: it must never reach real speakers by mistake.
AudioChoice ChosenAudio() {
    const char* value = std::getenv("TOVRIN_AUDIO");
    std::string audio = value ? value : "";
    if (audio.rfind("wav:", 0) == 0 && audio.size() > 4) return {Backend::Wav, audio.substr(4)};
    if (audio == "none") return {Backend::None, ""};
    if (audio == "null") return {Backend::Null, ""};
    if (audio == "pulse") return {Backend::Pulse, ""};
    if (!audio.empty()) return {Backend::Null, ""};
    static const bool serverAnswers = PulseServerAnswers();
    return {serverAnswers ? Backend::Pulse : Backend::Null, ""};
}

bool PlayableFormat(const PcmFormat& format) {
    return (format.channels == 1 || format.channels == 2) && format.sampleRate > 0 &&
           format.sampleRate <= kMaxSampleRate;
}

}  // namespace

int WaveOutDeviceCount() {
    return ChosenAudio().backend == Backend::None ? 0 : 1;
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

std::unique_ptr<PcmStream> PcmStream::Open(const PcmFormat& format) {
    if (!PlayableFormat(format)) return nullptr;
    AudioChoice choice = ChosenAudio();
    switch (choice.backend) {
        case Backend::None:
            return nullptr;
        case Backend::Null:
            return OpenNullStream(format, CurrentWaveClock());
        case Backend::Wav:
            return OpenWavStream(choice.wavPath, format, CurrentWaveClock());
        case Backend::Pulse:
            return OpenPulseStream(format);
    }
    return nullptr;
}

bool PlayWaveImage(const void* data, size_t size) {
    if (size == 0) return true;
    auto image = ParseWaveImage(data, size);
    if (!image || WaveOutDeviceCount() == 0) return false;
    if (image->frames == 0) return true;
    auto stream = PcmStream::Open(PcmFormat{image->sampleRate, image->channels});
    if (!stream) return false;
    std::vector<int16_t> samples = ToPcm16(*image);
    if (!stream->Write(samples.data(), image->frames)) return false;
    stream->Drain();
    return true;
}

}  // namespace tovrin
