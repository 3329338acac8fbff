#include "synth/WaveDecoder.h"

#include "platform/RiffWave.h"
#include "synth/SmallFile.h"

#include <algorithm>
#include <cmath>
#include <cstring>

namespace tovrin {

namespace {

// Sound files beyond this size are refused rather than read into memory.
constexpr std::uintmax_t kMaxFileSize = 16 << 20;

bool IsDecodable(const RiffFormat& format) {
    const int bits = format.bitsPerSample;
    const bool pcm =
        format.encoding == kRiffFormatPcm && (bits == 8 || bits == 16 || bits == 24 || bits == 32);
    const bool floating = format.encoding == kRiffFormatFloat && bits == 32;
    return (pcm || floating) && format.channels >= 1 && format.channels <= 32 &&
           format.sampleRate >= 1000 && format.sampleRate <= 768000;
}

// One sample of one channel as -1..1.
double SampleValue(const uint8_t* sample, const RiffFormat& format) {
    const auto byte = [&](int i) { return sample[i]; };
    switch (format.bitsPerSample) {
        case 8:
            return (byte(0) - 128) / 128.0;
        case 16:
            return static_cast<int16_t>(ReadLe16(sample)) / 32768.0;
        case 24: {
            int32_t value = byte(0) | (byte(1) << 8) | (byte(2) << 16);
            if (value & 0x800000) value -= 0x1000000;
            return value / 8388608.0;
        }
        default: {
            const uint32_t bits = ReadLe32(sample);
            if (format.encoding == kRiffFormatFloat) {
                float value;
                std::memcpy(&value, &bits, sizeof value);
                return std::isfinite(value) ? std::clamp(static_cast<double>(value), -1.0, 1.0)
                                            : 0.0;
            }
            return static_cast<int32_t>(bits) / 2147483648.0;
        }
    }
}

// The frames of a data chunk, each read as the mean of its channels.
class MonoFrames {
  public:
    explicit MonoFrames(const RiffSound& sound)
        : data_(sound.samples),
          bytes_(sound.bytes),
          format_(sound.format),
          sampleBytes_(static_cast<size_t>(format_.bitsPerSample / 8)),
          frameBytes_(sampleBytes_ * static_cast<size_t>(format_.channels)) {}

    size_t size() const { return bytes_ / frameBytes_; }
    double operator[](size_t frame) const {
        double sum = 0;
        for (int c = 0; c < format_.channels; ++c)
            sum += SampleValue(data_ + frame * frameBytes_ + c * sampleBytes_, format_);
        return sum / format_.channels;
    }

  private:
    const uint8_t* data_;
    size_t bytes_;
    RiffFormat format_;
    size_t sampleBytes_;
    size_t frameBytes_;
};

// Linear interpolation is plenty for short signal sounds played through a speech voice. Only
// the output is held in memory, and at most `maxFrames` of it: a slow rate resampled up could
// otherwise turn a small file into gigabytes.
std::vector<int16_t> Resample(const MonoFrames& mono, int fromRate, int toRate, size_t maxFrames) {
    const double wanted = static_cast<double>(mono.size()) * toRate / fromRate;
    const size_t outFrames = static_cast<size_t>(std::min(wanted, static_cast<double>(maxFrames)));
    std::vector<int16_t> out(outFrames);
    const double step = static_cast<double>(fromRate) / toRate;
    for (size_t i = 0; i < outFrames; ++i) {
        const double at = i * step;
        const size_t left = std::min(static_cast<size_t>(at), mono.size() - 1);
        const size_t right = std::min(left + 1, mono.size() - 1);
        const double fraction = at - static_cast<double>(left);
        const double value = mono[left] * (1 - fraction) + mono[right] * fraction;
        out[i] = static_cast<int16_t>(std::lround(std::clamp(value * 32767.0, -32768.0, 32767.0)));
    }
    return out;
}

}  // namespace

std::optional<std::vector<int16_t>> DecodeWaveImage(std::string_view image, int sampleRate) {
    const auto sound = ReadRiffWave(image.data(), image.size(), RiffReading::Lenient, IsDecodable);
    if (!sound) return std::nullopt;
    const MonoFrames mono(*sound);
    if (mono.size() == 0 || sampleRate < 1) return std::vector<int16_t>{};
    const size_t maxFrames = static_cast<size_t>(sampleRate) * kMaxDecodedSeconds;
    return Resample(mono, static_cast<int>(sound->format.sampleRate), sampleRate, maxFrames);
}

std::optional<std::vector<int16_t>> LoadWaveFile(const std::string& path, int sampleRate) {
    const auto image = ReadSmallFile(path, kMaxFileSize);
    if (!image) return std::nullopt;
    return DecodeWaveImage(*image, sampleRate);
}

}  // namespace tovrin
