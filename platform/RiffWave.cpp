#include "platform/RiffWave.h"

#include <algorithm>
#include <cstring>

namespace tovrin {

namespace {

constexpr uint16_t kFormatExtensible = 0xFFFE;

bool IsId(const uint8_t* at, const char* id) {
    return std::memcmp(at, id, 4) == 0;
}

std::optional<RiffFormat> ParseFormat(const uint8_t* body, size_t size) {
    if (size < 16) return std::nullopt;
    RiffFormat format;
    format.encoding = ReadLe16(body);
    // The extensible form names its real format in the first two bytes of the sub-format.
    if (format.encoding == kFormatExtensible && size >= 26) format.encoding = ReadLe16(body + 24);
    format.channels = ReadLe16(body + 2);
    format.sampleRate = ReadLe32(body + 4);
    format.blockAlign = ReadLe16(body + 12);
    format.bitsPerSample = ReadLe16(body + 14);
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

std::optional<RiffSound> ReadRiffWave(const void* data, size_t size, RiffReading reading,
                                      RiffFormatCheck accepts) {
    const bool strict = reading == RiffReading::Strict;
    const auto* bytes = static_cast<const uint8_t*>(data);
    if (!bytes || size < 12 || !IsId(bytes, "RIFF") || !IsId(bytes + 8, "WAVE"))
        return std::nullopt;
    uint64_t end = size;
    if (strict) {
        end = uint64_t(ReadLe32(bytes + 4)) + 8;
        if (end > size) return std::nullopt;
    }
    std::optional<RiffFormat> format;
    for (uint64_t at = 12; at + 8 <= end;) {
        const uint8_t* chunk = bytes + at;
        const uint64_t declared = ReadLe32(chunk + 4);
        if (strict && at + 8 + declared > end) return std::nullopt;
        const size_t bodySize = size_t(std::min(declared, end - at - 8));
        if (IsId(chunk, "fmt ")) {
            format = ParseFormat(chunk + 8, bodySize);
            if (format && !accepts(*format)) format.reset();
            if (strict && !format) return std::nullopt;
        } else if (IsId(chunk, "data")) {
            if (!format) return std::nullopt;
            return RiffSound{*format, chunk + 8, bodySize};
        }
        if (declared > size) break;
        at += 8 + declared + (declared & 1);  // chunks are padded to even sizes
    }
    return std::nullopt;
}

}  // namespace tovrin
