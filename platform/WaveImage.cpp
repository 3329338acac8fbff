#include "platform/WaveImage.h"

#include <cstring>

namespace tovrin {

namespace {

constexpr uint16_t kFormatPcm = 1;
constexpr uint16_t kFormatExtensible = 0xFFFE;
constexpr int kMaxSampleRate = 384000;

struct Format {
    int sampleRate = 0;
    int channels = 0;
    int bitsPerSample = 0;
    size_t blockAlign = 0;
};

bool IsId(const uint8_t* at, const char* id) {
    return std::memcmp(at, id, 4) == 0;
}

// The "fmt " chunk's body, when it describes a sound this device can play.
std::optional<Format> ParseFormat(const uint8_t* body, size_t size) {
    if (size < 16) return std::nullopt;
    uint16_t tag = ReadLe16(body);
    // The extensible form names its real format in the first two bytes of the sub-format.
    if (tag == kFormatExtensible && size >= 26) tag = ReadLe16(body + 24);
    Format format;
    format.channels = ReadLe16(body + 2);
    format.sampleRate = int(ReadLe32(body + 4) > uint32_t(kMaxSampleRate) ? 0 : ReadLe32(body + 4));
    format.blockAlign = ReadLe16(body + 12);
    format.bitsPerSample = ReadLe16(body + 14);
    bool supported = tag == kFormatPcm && (format.channels == 1 || format.channels == 2) &&
                     format.sampleRate > 0 &&
                     (format.bitsPerSample == 8 || format.bitsPerSample == 16) &&
                     format.blockAlign == size_t(format.channels * format.bitsPerSample / 8);
    if (!supported) return std::nullopt;
    return format;
}

}  // namespace

uint32_t ReadLe32(const uint8_t* at) {
    return uint32_t(at[0]) | uint32_t(at[1]) << 8 | uint32_t(at[2]) << 16 | uint32_t(at[3]) << 24;
}

uint16_t ReadLe16(const uint8_t* at) {
    return uint16_t(at[0] | at[1] << 8);
}

void WriteLe32(uint8_t* at, uint32_t value) {
    for (int i = 0; i < 4; ++i)
        at[i] = uint8_t(value >> (8 * i));
}

void WriteLe16(uint8_t* at, uint16_t value) {
    at[0] = uint8_t(value);
    at[1] = uint8_t(value >> 8);
}

std::optional<WaveImage> ParseWaveImage(const void* data, size_t size) {
    const auto* bytes = static_cast<const uint8_t*>(data);
    if (!bytes || size < 12 || !IsId(bytes, "RIFF") || !IsId(bytes + 8, "WAVE")) {
        return std::nullopt;
    }
    uint64_t riffEnd = uint64_t(ReadLe32(bytes + 4)) + 8;
    if (riffEnd > size) return std::nullopt;
    std::optional<Format> format;
    for (uint64_t at = 12; at + 8 <= riffEnd;) {
        const uint8_t* chunk = bytes + at;
        uint64_t bodySize = ReadLe32(chunk + 4);
        if (at + 8 + bodySize > riffEnd) return std::nullopt;
        if (IsId(chunk, "fmt ")) {
            format = ParseFormat(chunk + 8, size_t(bodySize));
            if (!format) return std::nullopt;
        } else if (IsId(chunk, "data")) {
            if (!format) return std::nullopt;
            WaveImage image;
            image.sampleRate = format->sampleRate;
            image.channels = format->channels;
            image.bitsPerSample = format->bitsPerSample;
            image.samples = chunk + 8;
            image.frames = size_t(bodySize) / format->blockAlign;  // a torn last frame is dropped
            return image;
        }
        at += 8 + bodySize + (bodySize & 1);  // chunks are padded to even sizes
    }
    return std::nullopt;
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
