#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <mutex>
#include <optional>
#include <string>

namespace tovrin {

// The wave device shared by all processes of the user. The backend is chosen by TOVRIN_AUDIO:
// "pulse" (default when a sound server answers), "null" (default otherwise: discards samples
// at real-time pace), "wav:<file>" (a recording of the device: 22,050 Hz mono 16-bit, silence
// where nothing played, several processes appending in order), "none" (no device at all).
// The null and recording devices keep time by the wave clock (platform/WaveClock.h), which
// tests replace so that playing takes no real time.

int WaveOutDeviceCount();

// True when TOVRIN_AUDIO chooses no device and no sound server answers: the default device
// then only keeps time, and nobody hears the speech.
bool DefaultSoundIsSilent();

// Volume as two 16-bit channels, left in the low half; kept in the runtime folder so every
// process applies the same gain. False when it cannot be read or written.
bool GetWaveOutVolume(uint32_t& volume);
bool SetWaveOutVolume(uint32_t volume);

class PcmStream;

// Lets another thread cut short the playing of an image: Cancel() drops what is still to be
// heard and makes the play return at once; a play begun after Cancel() plays nothing.
class WaveCancel {
  public:
    void Cancel();
    bool Cancelled() const;

  private:
    friend class WavePlayGuard;
    mutable std::mutex mutex_;
    bool cancelled_ = false;
    PcmStream* playing_ = nullptr;
};

// Plays a RIFF/WAVE image from memory and returns when it has played. An empty image plays
// nothing and succeeds; a malformed one plays nothing and fails, and so does a cancelled play.
bool PlayWaveImage(const void* data, size_t size, WaveCancel* cancel = nullptr);

// The first failure of the wave device in this process: a TOVRIN_AUDIO that names no device,
// a recording that cannot be created or written. It is written once on standard error when it
// happens; a program that used the device ends with a failure status when there was one.
std::optional<std::string> WaveDeviceFailure();

struct PcmFormat {
    int sampleRate = 22050;
    int channels = 1;  // 16-bit signed samples, interleaved
};

// A stream of samples to the device, for the engine program. Write blocks at real-time pace
// when the device's buffer is full.
class PcmStream {
  public:
    static std::unique_ptr<PcmStream> Open(const PcmFormat& format);  // null when no device
    virtual ~PcmStream() = default;

    virtual bool Write(const int16_t* samples, size_t frames) = 0;
    virtual void Pause() = 0;
    virtual void Resume() = 0;
    // Drops what is queued and not yet played.
    virtual void Flush() = 0;
    // Waits until everything written has played.
    virtual void Drain() = 0;
    // Safe from any thread: drops what is queued and ends at once a Write or Drain under way;
    // every later Write fails. For cutting a sound short when its player is asked to end.
    // The default suits only a sink whose Write and Drain never wait.
    virtual void Abort() { Flush(); }
    // Frames that have reached the speaker so far (not counting paused time).
    virtual uint64_t FramesPlayed() const = 0;
};

}  // namespace tovrin
