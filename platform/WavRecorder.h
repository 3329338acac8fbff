#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

namespace tovrin {

// The file that records the wave device: RIFF/WAVE with the canonical 44-byte header, always
// 22,050 Hz, mono, 16-bit. Every process appends to it under an exclusive flock; the file's
// modification time is the moment its last sample finished playing, so the next writer knows
// how much silence lies between. Samples are written before the header sizes that count them,
// so a writer killed half-way leaves a readable file (its torn tail is cut by the next writer).
class WavRecorder {
  public:
    static constexpr int kSampleRate = 22050;

    explicit WavRecorder(int fd) : fd_(fd) {}
    ~WavRecorder();
    WavRecorder(const WavRecorder&) = delete;
    WavRecorder& operator=(const WavRecorder&) = delete;

    // nullptr when the file cannot be opened or created.
    static std::unique_ptr<WavRecorder> Open(const std::string& path);

    // Appends samples that began to play at `startNs` and lasted `durationNs`, after silence
    // for the time since the recording's end. False when the file is not such a recording
    // or cannot be written.
    bool Append(const int16_t* samples, size_t count, int64_t startNs, int64_t durationNs);
    // Why the last Append failed.
    const std::string& Failure() const { return failure_; }

  private:
    bool AppendLocked(const int16_t* samples, size_t count, int64_t startNs, int64_t durationNs);
    int fd_;
    std::string failure_;
};

}  // namespace tovrin
