#pragma once

#include <sys/types.h>

#include <cstddef>
#include <cstdint>
#include <ctime>
#include <optional>

namespace tovrin {

// The device volume, kept in "<runtime folder>/wave-volume" as a decimal number so that every
// process of the user plays at the same volume. Without the file the volume is full.
constexpr uint32_t kFullWaveVolume = 0xFFFFFFFF;
std::optional<uint32_t> ReadWaveVolume();
bool WriteWaveVolume(uint32_t volume);

// The volume as a sink applies it: the file is read again only when it has changed, so a
// check per block of samples costs one stat(). Keeps the last good value when the file
// cannot be read.
class VolumeWatcher {
  public:
    uint32_t Current();

  private:
    struct Stamp {
        ino_t inode = 0;
        timespec modified{};
        off_t size = -1;
    };
    Stamp seen_;
    uint32_t volume_ = kFullWaveVolume;
};

// Scales interleaved 16-bit samples: the first channel by the low half of the volume, the
// second by the high half; a mono stream is heard from both speakers, so by their mean.
void ApplyWaveVolume(int16_t* samples, size_t frames, int channels, uint32_t volume);

}  // namespace tovrin
