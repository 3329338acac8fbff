#include "engine/VoiceParams.h"

#include "engine/EngineError.h"
#include "engine/WholeNumber.h"

#include <gtest/gtest.h>

namespace tovrin {
namespace {

TEST(VoiceParams, TextFormListsVoiceVolumeMelodyTempoTimbre) {
    EXPECT_EQ(FormatVoiceParams({0, 5, 7, 0, 85}), "0,85,0,7,5");
    const VoiceParams p{1, 2, 3, 4, 200};
    EXPECT_EQ(FormatVoiceParams(p), "1,200,4,3,2");
    EXPECT_EQ(ParseVoiceParams(FormatVoiceParams(p)), p);
}

TEST(VoiceParams, ParseRepeatsTheLastFieldAndClamps) {
    EXPECT_EQ(ParseVoiceParams("3"), (VoiceParams{3, 3, 3, 3, 3}));
    // voice 1, volume empty, then "2" is left over for melody, tempo and timbre
    EXPECT_EQ(ParseVoiceParams("1,,2"), (VoiceParams{1, 2, 2, 2, 0}));
    EXPECT_EQ(ParseVoiceParams(""), (VoiceParams{}));
    const auto clamped = ParseVoiceParams("300,999,-4,256,7");
    EXPECT_EQ(clamped.Voice, 256);
    EXPECT_EQ(clamped.Volume, 256);
    EXPECT_EQ(clamped.Melody, 0);
    EXPECT_EQ(clamped.Tempo, 256);
    EXPECT_EQ(clamped.Timbre, 7);
}

TEST(VoiceParams, ParseFailsOnFieldsThatAreNoWholeNumbers) {
    EXPECT_THROW(ParseVoiceParams("1,x,2,3,4"), EngineError);
    EXPECT_THROW(ParseVoiceParams("1.5"), EngineError);
    EXPECT_THROW(ParseVoiceParams("99999999999"), EngineError);
    try {
        ParseVoiceParams("a,1");
        FAIL();
    } catch (const EngineError& e) {
        EXPECT_STREQ(e.what(), "'a' is not a valid integer value");
    }
}

TEST(WholeNumber, AcceptsSignsAndBlanksAndRejectsTheRest) {
    EXPECT_EQ(ParseWholeNumber(" 42 "), 42);
    EXPECT_EQ(ParseWholeNumber("-7"), -7);
    EXPECT_EQ(ParseWholeNumber("+7"), 7);
    EXPECT_EQ(ParseWholeNumber("-2147483648"), INT32_MIN);
    EXPECT_EQ(ParseWholeNumber("2147483647"), INT32_MAX);
    EXPECT_FALSE(ParseWholeNumber("2147483648"));
    EXPECT_FALSE(ParseWholeNumber(""));
    EXPECT_FALSE(ParseWholeNumber("-"));
    EXPECT_FALSE(ParseWholeNumber("12a"));
    EXPECT_FALSE(ParseWholeNumber("1 2"));
}

}  // namespace
}  // namespace tovrin
