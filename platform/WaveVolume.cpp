#include "platform/WaveVolume.h"

#include "platform/AtomicFile.h"
#include "platform/RuntimeFolder.h"

#include <sys/stat.h>

#include <cerrno>
#include <string>

namespace tovrin {

namespace {

std::optional<std::string> VolumePath() {
    auto folder = RuntimeFolder();
    if (!folder) return std::nullopt;
    return *folder + "/wave-volume";
}

std::optional<uint32_t> ParseVolume(const std::string& text) {
    size_t end = text.find_last_not_of("\r\n");
    if (end == std::string::npos) return std::nullopt;
    std::string digits = text.substr(0, end + 1);
    if (digits.size() > 10 || digits.find_first_not_of("0123456789") != std::string::npos) {
        return std::nullopt;
    }
    uint64_t value = std::stoull(digits);
    if (value > kFullWaveVolume) return std::nullopt;
    return uint32_t(value);
}

std::optional<uint32_t> ReadVolumeAt(const std::string& path) {
    bool missing = false;
    auto text = ReadRuntimeFile(path, &missing);
    if (!text) return missing ? std::optional<uint32_t>(kFullWaveVolume) : std::nullopt;
    return ParseVolume(*text);
}

int16_t Scale(int16_t sample, uint32_t gain) {
    return int16_t((int64_t(sample) * gain) / 0xFFFF);
}

}  // namespace

std::optional<uint32_t> ReadWaveVolume() {
    auto path = VolumePath();
    if (!path) return std::nullopt;
    return ReadVolumeAt(*path);
}

bool WriteWaveVolume(uint32_t volume) {
    auto path = VolumePath();
    return path && WriteFileAtomically(*path, std::to_string(volume) + "\n");
}

uint32_t VolumeWatcher::Current() {
    auto path = VolumePath();
    struct stat info {};
    if (!path || stat(path->c_str(), &info) != 0) {
        // No file means full volume; an unusable runtime folder keeps what was last known.
        if (path && errno == ENOENT) volume_ = kFullWaveVolume;
        seen_ = Stamp{};
        return volume_;
    }
    bool same = info.st_ino == seen_.inode && info.st_size == seen_.size &&
                info.st_mtim.tv_sec == seen_.modified.tv_sec &&
                info.st_mtim.tv_nsec == seen_.modified.tv_nsec;
    if (!same) {
        seen_ = Stamp{info.st_ino, info.st_mtim, info.st_size};
        if (auto volume = ReadVolumeAt(*path)) volume_ = *volume;
    }
    return volume_;
}

void ApplyWaveVolume(int16_t* samples, size_t frames, int channels, uint32_t volume) {
    uint32_t left = volume & 0xFFFF;
    uint32_t right = volume >> 16;
    if (left == 0xFFFF && right == 0xFFFF) return;
    if (channels == 1) {
        uint32_t both = (left + right) / 2;
        for (size_t i = 0; i < frames; ++i)
            samples[i] = Scale(samples[i], both);
        return;
    }
    for (size_t i = 0; i < frames; ++i) {
        int16_t* frame = samples + i * size_t(channels);
        frame[0] = Scale(frame[0], left);
        frame[1] = Scale(frame[1], right);
    }
}

}  // namespace tovrin
