#include "synth/Resampler.h"

#include <cmath>
#include <numbers>
#include <numeric>
#include <stdexcept>

namespace tovrin {

namespace {

// Input samples each output sample is made from; 32 keep the stop band below -70 dB or so.
constexpr int kTaps = 32;
// The pass band ends a little below the lower rate's half, leaving room for the transition.
constexpr double kPassFraction = 0.92;

}  // namespace

Resampler::Resampler(int fromRate, int toRate) {
    if (fromRate <= 0 || toRate <= 0) throw std::invalid_argument("sample rate");
    const int common = std::gcd(fromRate, toRate);
    up_ = toRate / common;
    down_ = fromRate / common;
    // The prototype low-pass filter runs at up_ times the input rate and is centred on
    // `centre`; phase p holds its coefficients p, p + up_, p + 2 up_ ...
    const double length = static_cast<double>(up_) * kTaps;
    const double centre = length / 2;
    const double cutoff =
        kPassFraction * 0.5 * std::min(fromRate, toRate) / (static_cast<double>(fromRate) * up_);
    filter_.resize(static_cast<size_t>(up_) * kTaps);
    for (int phase = 0; phase < up_; ++phase) {
        for (int tap = 0; tap < kTaps; ++tap) {
            const double n = phase + static_cast<double>(tap) * up_;
            const double x = n - centre;
            const double sinc = x == 0 ? 1.0
                                       : std::sin(2 * std::numbers::pi * cutoff * x) /
                                             (2 * std::numbers::pi * cutoff * x);
            const double w = 2 * std::numbers::pi * n / length;
            const double blackman = 0.42 - 0.5 * std::cos(w) + 0.08 * std::cos(2 * w);
            filter_[static_cast<size_t>(phase) * kTaps + tap] =
                static_cast<float>(2 * cutoff * up_ * sinc * blackman / 32768.0);
        }
    }
    // Silence before the first sample, so the first outputs have a full history.
    input_.assign(kTaps, 0.0f);
    inputStart_ = -kTaps;
}

void Resampler::Process(const int16_t* samples, size_t frames, std::vector<float>& out) {
    input_.insert(input_.end(), samples, samples + frames);
    fed_ += frames;
    Produce(out, UINT64_MAX);
}

void Resampler::Finish(std::vector<float>& out) {
    // Whole output for the input: ceil(fed * up / down) samples; silence fills the filter.
    const uint64_t total = (fed_ * up_ + down_ - 1) / down_;
    input_.insert(input_.end(), kTaps, 0.0f);
    Produce(out, total);
}

void Resampler::Produce(std::vector<float>& out, uint64_t limit) {
    const int64_t delay = static_cast<int64_t>(up_) * kTaps / 2;
    const int64_t available = inputStart_ + static_cast<int64_t>(input_.size());
    for (; made_ < limit; ++made_) {
        const int64_t at = static_cast<int64_t>(made_) * down_ + delay;
        const int64_t newest = at / up_;  // the input sample multiplied by the phase's first tap
        if (newest >= available) break;
        const float* taps = &filter_[static_cast<size_t>(at % up_) * kTaps];
        const float* x = &input_[static_cast<size_t>(newest - inputStart_)];
        float sum = 0;
        for (int tap = 0; tap < kTaps; ++tap)
            sum += taps[tap] * x[-tap];
        out.push_back(sum);
    }
    // Keep only the history the next output needs.
    const int64_t next = (static_cast<int64_t>(made_) * down_ + delay) / up_;
    const int64_t keepFrom = std::min(next - kTaps + 1, available);
    if (keepFrom > inputStart_) {
        input_.erase(input_.begin(), input_.begin() + (keepFrom - inputStart_));
        inputStart_ = keepFrom;
    }
}

}  // namespace tovrin
