#pragma once

#include <cstdint>
#include <fstream>
#include <string>
#include <vector>

namespace tovrin::test {

// A RIFF/WAVE image with a format chunk, an unrelated chunk and a data chunk.
inline std::string WaveImage(uint16_t encoding, uint16_t channels, uint32_t rate, uint16_t bits,
                             const std::string& data) {
    auto u16 = [](uint32_t v) { return std::string{char(v & 0xFF), char((v >> 8) & 0xFF)}; };
    auto u32 = [&](uint32_t v) { return u16(v & 0xFFFF) + u16(v >> 16); };
    const uint32_t align = channels * bits / 8u;
    const std::string format =
        u16(encoding) + u16(channels) + u32(rate) + u32(rate * align) + u16(align) + u16(bits);
    const std::string body = "WAVEfmt " + u32(uint32_t(format.size())) + format + "LIST" + u32(4) +
                             "abcd" + "data" + u32(uint32_t(data.size())) + data;
    return "RIFF" + u32(uint32_t(body.size())) + body;
}

// 16-bit mono PCM data of these samples.
inline std::string Pcm16(const std::vector<int16_t>& samples) {
    std::string data;
    for (int16_t s : samples)
        data += std::string{char(s & 0xFF), char((s >> 8) & 0xFF)};
    return data;
}

inline void WriteFile(const std::string& path, const std::string& bytes) {
    std::ofstream(path, std::ios::binary) << bytes;
}

}  // namespace tovrin::test
