#include "platform/PacedStream.h"
#include "platform/WavRecorder.h"
#include "platform/WaveBackends.h"
#include "platform/WaveVolume.h"

#include <cerrno>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <vector>

namespace tovrin {

namespace {

constexpr int64_t kNsPerSecond = 1'000'000'000;

// Turns a stream's frames into the recording's mono samples at its rate: channels are mixed,
// other rates are resampled by linear interpolation. Keeps its place between pieces of one
// unbroken stretch of sound.
class RecordingConverter {
  public:
    RecordingConverter(int sampleRate, int channels)
        : channels_(channels), step_(double(sampleRate) / WavRecorder::kSampleRate) {}

    void Restart() {
        position_ = 0;
        havePrevious_ = false;
    }

    std::vector<int16_t> Convert(const int16_t* samples, size_t frames) {
        std::vector<int16_t> mono(frames);
        for (size_t i = 0; i < frames; ++i) {
            mono[i] = channels_ == 1 ? samples[i]
                                     : int16_t((int(samples[2 * i]) + samples[2 * i + 1]) / 2);
        }
        return step_ == 1.0 ? mono : Resample(mono);
    }

  private:
    std::vector<int16_t> Resample(const std::vector<int16_t>& in) {
        std::vector<int16_t> out;
        if (in.empty()) return out;
        // position_ counts input frames from in[0]; -1 is the last frame of the previous piece.
        for (;;) {
            double whole = std::floor(position_);
            long index = long(whole);
            if (index + 1 >= long(in.size()) || (index < 0 && !havePrevious_)) break;
            double first = index < 0 ? previous_ : in[size_t(index)];
            double second = in[size_t(index + 1)];
            out.push_back(int16_t(std::lround(first + (second - first) * (position_ - whole))));
            position_ += step_;
        }
        position_ -= double(in.size());
        previous_ = in.back();
        havePrevious_ = true;
        return out;
    }

    int channels_;
    double step_;
    double position_ = 0;
    int16_t previous_ = 0;
    bool havePrevious_ = false;
};

// A recording of the device (see WavRecorder): what reaches the speaker is converted and
// appended, with the volume applied as it was when the samples were written.
class WavStream : public PacedStream {
  public:
    WavStream(std::unique_ptr<WavRecorder> recorder, std::string path, const PcmFormat& format,
              WaveClock& clock)
        : PacedStream(format, clock, true),
          recorder_(std::move(recorder)),
          path_(std::move(path)),
          converter_(format.sampleRate, format.channels) {}
    ~WavStream() override { FinishPlaying(); }

    bool Write(const int16_t* samples, size_t frames) override {
        std::vector<int16_t> scaled(samples, samples + frames * size_t(format().channels));
        ApplyWaveVolume(scaled.data(), frames, format().channels, volume_.Current());
        return PacedStream::Write(scaled.data(), frames);
    }

  protected:
    bool OnPlayed(const int16_t* samples, size_t frames, int64_t startNs) override {
        // A piece that does not follow on from the last one starts a new stretch of sound.
        if (std::llabs(startNs - expectedStartNs_) > kNsPerSecond / format().sampleRate) {
            converter_.Restart();
        }
        int64_t durationNs = int64_t(__int128(frames) * kNsPerSecond / format().sampleRate);
        expectedStartNs_ = startNs + durationNs;
        std::vector<int16_t> mono = converter_.Convert(samples, frames);
        if (recorder_->Append(mono.data(), mono.size(), startNs, durationNs)) return true;
        ReportWaveDeviceFailure("cannot write the recording " + path_ + ": " +
                                recorder_->Failure());
        return false;
    }

  private:
    std::unique_ptr<WavRecorder> recorder_;
    std::string path_;
    RecordingConverter converter_;
    VolumeWatcher volume_;
    int64_t expectedStartNs_ = -1;
};

}  // namespace

std::unique_ptr<PcmStream> OpenWavStream(const std::string& path, const PcmFormat& format,
                                         WaveClock& clock) {
    auto recorder = WavRecorder::Open(path);
    if (!recorder) {
        ReportWaveDeviceFailure("cannot create the recording " + path + ": " +
                                std::strerror(errno));
        return nullptr;
    }
    return std::make_unique<WavStream>(std::move(recorder), path, format, clock);
}

}  // namespace tovrin
