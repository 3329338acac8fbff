#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>

namespace tovrin {

// The fields of a RIFF/WAVE "fmt " chunk; `encoding` is the real format tag, also for the
// extensible form.
struct RiffFormat {
    uint16_t encoding = 0;
    uint16_t channels = 0;
    uint32_t sampleRate = 0;
    uint16_t blockAlign = 0;
    uint16_t bitsPerSample = 0;
};

inline constexpr uint16_t kRiffFormatPcm = 1;
inline constexpr uint16_t kRiffFormatFloat = 3;

// The sound chunk of an image and the format that describes it; `samples` points into the
// image.
struct RiffSound {
    RiffFormat format;
    const uint8_t* samples = nullptr;
    size_t bytes = 0;
};

enum class RiffReading {
    // Refuses headers that lie: a RIFF size or a chunk beyond the image's end, a "data" chunk
    // before "fmt ", a format the caller does not accept.
    Strict,
    // Reads what a writer left behind: a chunk whose size was never fixed runs to the image's
    // end, and a format the caller does not accept may be followed by one it does.
    Lenient,
};

// Whether the caller can use sound of this format.
using RiffFormatCheck = bool (*)(const RiffFormat&);

// The first "data" chunk of a RIFF/WAVE image with the last accepted "fmt " before it; nullopt
// when there is none.
std::optional<RiffSound> ReadRiffWave(const void* data, size_t size, RiffReading reading,
                                      RiffFormatCheck accepts);

// Little-endian fields as RIFF stores them.
uint32_t ReadLe32(const uint8_t* at);
uint16_t ReadLe16(const uint8_t* at);
void WriteLe32(uint8_t* at, uint32_t value);
void WriteLe16(uint8_t* at, uint16_t value);

}  // namespace tovrin
