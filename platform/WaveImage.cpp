#include "platform/WaveImage.h"

namespace tovrin {

namespace {

constexpr uint32_t kMaxSampleRate = 384000;

// A sound this device can play, described by a block size that matches it.
bool IsPlayable(const RiffFormat& format) {
    return format.encoding == kRiffFormatPcm && (format.channels == 1 || format.channels == 2) &&
           format.sampleRate > 0 && format.sampleRate <= kMaxSampleRate &&
           (format.bitsPerSample == 8 || format.bitsPerSample == 16) &&
           format.blockAlign == format.channels * format.bitsPerSample / 8;
}

}  // namespace

std::optional<WaveImage> ParseWaveImage(const void* data, size_t size) {
    const auto sound = ReadRiffWave(data, size, RiffReading::Strict, IsPlayable);
    if (!sound) return std::nullopt;
    WaveImage image;
    image.sampleRate = int(sound->format.sampleRate);
    image.channels = sound->format.channels;
    image.bitsPerSample = sound->format.bitsPerSample;
    image.samples = sound->samples;
    image.frames = sound->bytes / sound->format.blockAlign;  // a torn last frame is dropped
    return image;
}

std::vector<int16_t> ToPcm16(const WaveImage& image) {
    size_t count = image.frames * size_t(image.channels);
    std::vector<int16_t> samples(count);
    for (size_t i = 0; i < count; ++i) {
        samples[i] = image.bitsPerSample == 8 ? int16_t((int(image.samples[i]) - 128) * 256)
                                              : int16_t(ReadLe16(image.samples + 2 * i));
    }
    return samples;
}

}  // namespace tovrin
