#pragma once

#include "platform/RiffWave.h"

#include <cstddef>
#include <cstdint>
#include <optional>
#include <vector>

namespace tovrin {

// The sound of a RIFF/WAVE image: uncompressed PCM, 8-bit unsigned or 16-bit signed, mono or
// stereo, any rate. `samples` points into the image.
struct WaveImage {
    int sampleRate = 0;
    int channels = 0;
    int bitsPerSample = 0;
    const uint8_t* samples = nullptr;
    size_t frames = 0;
};

// nullopt for anything else, and for headers that claim more than the image holds (a chunk
// or the RIFF size beyond its end) or that contradict themselves (a block size that does not
// match the sample format, a "data" chunk before "fmt ").
std::optional<WaveImage> ParseWaveImage(const void* data, size_t size);

// The image's samples as 16-bit signed, interleaved.
std::vector<int16_t> ToPcm16(const WaveImage& image);

}  // namespace tovrin
