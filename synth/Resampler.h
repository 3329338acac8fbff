#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace tovrin {

// Changes the rate of a stream of mono 16-bit samples by a windowed-sinc polyphase filter,
// so that a speech resampled for a file keeps its high sounds clean (no imaging above the
// source's band). The stream is fed in pieces of any length; Finish gives the rest.
class Resampler {
  public:
    Resampler(int fromRate, int toRate);

    // Appends to `out` what the samples fed so far make, as floats in -1..1.
    void Process(const int16_t* samples, size_t frames, std::vector<float>& out);
    // Appends the rest, so that the output is as long as the input at the new rate.
    void Finish(std::vector<float>& out);

  private:
    void Produce(std::vector<float>& out, uint64_t limit);

    int up_ = 1;
    int down_ = 1;
    std::vector<float> filter_;  // per phase, kTaps coefficients
    std::vector<float> input_;   // samples from global index inputStart_ on
    int64_t inputStart_ = 0;
    uint64_t fed_ = 0;
    uint64_t made_ = 0;
};

}  // namespace tovrin
