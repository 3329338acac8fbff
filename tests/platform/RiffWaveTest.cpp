#include "platform/RiffWave.h"

#include <gtest/gtest.h>

#include <cstring>
#include <vector>

namespace tovrin {
namespace {

bool AnyFormat(const RiffFormat&) {
    return true;
}

bool NoFormat(const RiffFormat&) {
    return false;
}

// A mono 16-bit image whose RIFF and data sizes say `declared` bytes of sound while it holds
// `held`, as a writer that never fixed its header leaves it.
std::vector<uint8_t> Image(uint32_t declared, uint32_t held) {
    std::vector<uint8_t> image(44 + held, 0);
    std::memcpy(image.data(), "RIFF", 4);
    WriteLe32(image.data() + 4, 36 + declared);
    std::memcpy(image.data() + 8, "WAVEfmt ", 8);
    WriteLe32(image.data() + 16, 16);
    WriteLe16(image.data() + 20, kRiffFormatPcm);
    WriteLe16(image.data() + 22, 1);
    WriteLe32(image.data() + 24, 22050);
    WriteLe32(image.data() + 28, 44100);
    WriteLe16(image.data() + 32, 2);
    WriteLe16(image.data() + 34, 16);
    std::memcpy(image.data() + 36, "data", 4);
    WriteLe32(image.data() + 40, declared);
    return image;
}

TEST(RiffWave, StrictRefusesAHeaderThatLiesAndLenientReadsToTheEnd) {
    const auto honest = Image(100, 100);
    const auto lying = Image(0xFFFFFFF0u, 100);
    for (const RiffReading reading : {RiffReading::Strict, RiffReading::Lenient}) {
        const auto sound = ReadRiffWave(honest.data(), honest.size(), reading, AnyFormat);
        ASSERT_TRUE(sound);
        EXPECT_EQ(sound->bytes, 100u);
        EXPECT_EQ(sound->samples, honest.data() + 44);
        EXPECT_EQ(sound->format.sampleRate, 22050u);
        EXPECT_FALSE(ReadRiffWave(honest.data(), honest.size(), reading, NoFormat));
        EXPECT_FALSE(ReadRiffWave(honest.data(), 43, reading, AnyFormat));
    }
    EXPECT_FALSE(ReadRiffWave(lying.data(), lying.size(), RiffReading::Strict, AnyFormat));
    const auto rest = ReadRiffWave(lying.data(), lying.size(), RiffReading::Lenient, AnyFormat);
    ASSERT_TRUE(rest);
    EXPECT_EQ(rest->bytes, 100u);
}

}  // namespace
}  // namespace tovrin
