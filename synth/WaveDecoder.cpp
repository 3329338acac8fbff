#include "synth/WaveDecoder.h"

#include "synth/SmallFile.h"

#include <algorithm>
#include <cmath>
#include <cstring>

namespace tovrin {

namespace {

constexpr uint16_t kFormatPcm = 1;
constexpr uint16_t kFormatFloat = 3;
constexpr uint16_t kFormatExtensible = 0xFFFE;
// Sound files beyond this size are refused rather than read into memory.
constexpr std::uintmax_t kMaxFileSize = 16 << 20;

uint32_t ReadU32(std::string_view data, size_t at) {
    uint32_t value = 0;
    for (int i = 3; i >= 0; --i)
        value = (value << 8) | static_cast<unsigned char>(data[at + i]);
    return value;
}

uint16_t ReadU16(std::string_view data, size_t at) {
    return static_cast<uint16_t>(static_cast<unsigned char>(data[at]) |
                                 (static_cast<unsigned char>(data[at + 1]) << 8));
}

struct WaveFormat {
    uint16_t encoding = 0;
    int channels = 0;
    int sampleRate = 0;
    int bitsPerSample = 0;
};

std::optional<WaveFormat> ParseFormat(std::string_view chunk) {
    if (chunk.size() < 16) return std::nullopt;
    WaveFormat format{ReadU16(chunk, 0), ReadU16(chunk, 2), static_cast<int>(ReadU32(chunk, 4)),
                      ReadU16(chunk, 14)};
    // The extensible header carries the real encoding in its sub-format.
    if (format.encoding == kFormatExtensible && chunk.size() >= 26)
        format.encoding = ReadU16(chunk, 24);
    const bool pcm =
        format.encoding == kFormatPcm && (format.bitsPerSample == 8 || format.bitsPerSample == 16 ||
                                          format.bitsPerSample == 24 || format.bitsPerSample == 32);
    const bool floating = format.encoding == kFormatFloat && format.bitsPerSample == 32;
    if (!(pcm || floating) || format.channels < 1 || format.channels > 32 ||
        format.sampleRate < 1000 || format.sampleRate > 768000)
        return std::nullopt;
    return format;
}

// One sample of one channel as -1..1.
double SampleValue(std::string_view data, size_t at, const WaveFormat& format) {
    const auto byte = [&](int i) { return static_cast<unsigned char>(data[at + i]); };
    switch (format.bitsPerSample) {
        case 8:
            return (byte(0) - 128) / 128.0;
        case 16:
            return static_cast<int16_t>(ReadU16(data, at)) / 32768.0;
        case 24: {
            int32_t value = byte(0) | (byte(1) << 8) | (byte(2) << 16);
            if (value & 0x800000) value -= 0x1000000;
            return value / 8388608.0;
        }
        default: {
            const uint32_t bits = ReadU32(data, at);
            if (format.encoding == kFormatFloat) {
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
    MonoFrames(std::string_view data, const WaveFormat& format)
        : data_(data),
          format_(format),
          sampleBytes_(static_cast<size_t>(format.bitsPerSample / 8)),
          frameBytes_(sampleBytes_ * static_cast<size_t>(format.channels)) {}

    size_t size() const { return data_.size() / frameBytes_; }
    double operator[](size_t frame) const {
        double sum = 0;
        for (int c = 0; c < format_.channels; ++c)
            sum += SampleValue(data_, frame * frameBytes_ + c * sampleBytes_, format_);
        return sum / format_.channels;
    }

  private:
    std::string_view data_;
    WaveFormat format_;
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
    if (image.size() < 12 || image.substr(0, 4) != "RIFF" || image.substr(8, 4) != "WAVE")
        return std::nullopt;
    std::optional<WaveFormat> format;
    std::string_view samples;
    bool haveData = false;
    size_t at = 12;
    while (at + 8 <= image.size()) {
        const std::string_view id = image.substr(at, 4);
        const size_t size = ReadU32(image, at + 4);
        // A writer that never fixed its sizes leaves the data chunk running to the end.
        const std::string_view body = image.substr(at + 8, std::min(size, image.size() - at - 8));
        if (id == "fmt ") format = ParseFormat(body);
        if (id == "data") {
            samples = body;
            haveData = true;
            break;
        }
        if (size > image.size()) break;
        at += 8 + size + (size & 1);
    }
    if (!format || !haveData) return std::nullopt;
    const MonoFrames mono(samples, *format);
    if (mono.size() == 0 || sampleRate < 1) return std::vector<int16_t>{};
    const size_t maxFrames = static_cast<size_t>(sampleRate) * kMaxDecodedSeconds;
    return Resample(mono, format->sampleRate, sampleRate, maxFrames);
}

std::optional<std::vector<int16_t>> LoadWaveFile(const std::string& path, int sampleRate) {
    const auto image = ReadSmallFile(path, kMaxFileSize);
    if (!image) return std::nullopt;
    return DecodeWaveImage(*image, sampleRate);
}

}  // namespace tovrin
