#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace tovrin {

// Longest sound decoded from one image; the rest of a longer one is not played.
inline constexpr int kMaxDecodedSeconds = 600;

// Decodes a RIFF/WAVE image (PCM 8, 16, 24 or 32 bit, or 32-bit float, any channel count and
// rate) into mono 16-bit samples at `sampleRate`, at most kMaxDecodedSeconds of them; nullopt
// when the image is not one of these.
std::optional<std::vector<int16_t>> DecodeWaveImage(std::string_view image, int sampleRate);

// Reads and decodes a file; nullopt when it is missing, too large or malformed.
std::optional<std::vector<int16_t>> LoadWaveFile(const std::string& path, int sampleRate);

}  // namespace tovrin
