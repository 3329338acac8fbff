#include "synth/Resampler.h"

#include <gtest/gtest.h>

#include <cmath>
#include <numbers>

namespace tovrin {
namespace {

std::vector<int16_t> Tone(double hertz, int rate, size_t frames) {
    std::vector<int16_t> samples(frames);
    for (size_t i = 0; i < frames; ++i)
        samples[i] =
            int16_t(std::lround(10000 * std::sin(2 * std::numbers::pi * hertz * i / rate)));
    return samples;
}

// The speech rate to the Opus rate: a tone keeps its form and the stream its length, however
// it is cut into pieces.
TEST(ResamplerTest, KeepsAToneAndItsLengthWhateverThePieces) {
    const std::vector<int16_t> tone = Tone(1000, 22050, 22050);
    std::vector<float> whole;
    Resampler once(22050, 48000);
    once.Process(tone.data(), tone.size(), whole);
    once.Finish(whole);
    ASSERT_EQ(whole.size(), 48000u);
    for (size_t i = 100; i < whole.size() - 100; ++i)
        ASSERT_NEAR(whole[i], 10000 / 32768.0 * std::sin(2 * std::numbers::pi * 1000 * i / 48000),
                    0.003)
            << i;

    std::vector<float> pieces;
    Resampler often(22050, 48000);
    for (size_t at = 0, piece = 1; at < tone.size(); at += piece, piece = piece * 3 % 997 + 1)
        often.Process(tone.data() + at, std::min(piece, tone.size() - at), pieces);
    often.Finish(pieces);
    EXPECT_EQ(pieces, whole);
}

}  // namespace
}  // namespace tovrin
