#include "synth/SpeechScript.h"

#include "synth/SpokenClock.h"
#include "text/CodePages.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace tovrin {
namespace {

using Kind = ScriptStep::Kind;

std::string Cp(std::string_view utf8) {
    return Utf8ToWindows1251(utf8);
}

std::tm TimeOfDay(int hour, int minute, int day = 7, int month = 11) {
    std::tm tm{};
    tm.tm_hour = hour;
    tm.tm_min = minute;
    tm.tm_mday = day;
    tm.tm_mon = month;
    return tm;
}

std::vector<ScriptStep> Parse(std::string_view text) {
    return ParseSpeechScript(text, TimeOfDay(14, 5));
}

// The steps in a compact form: "S:text", "P:20", "V:10", "F:name" ...
std::vector<std::string> Describe(const std::vector<ScriptStep>& steps) {
    std::vector<std::string> out;
    for (const ScriptStep& step : steps) {
        switch (step.kind) {
            case Kind::Speak:
                out.push_back("S:" + step.text);
                break;
            case Kind::Pause:
                out.push_back("P:" + std::to_string(step.value));
                break;
            case Kind::PlayFile:
                out.push_back("F:" + step.text);
                break;
            case Kind::Voice:
                out.push_back("V:" + std::to_string(step.value));
                break;
            case Kind::Timbre:
                out.push_back("T:" + std::to_string(step.value));
                break;
            case Kind::Tempo:
                out.push_back("R:" + std::to_string(step.value));
                break;
            case Kind::Melody:
                out.push_back("M:" + std::to_string(step.value));
                break;
        }
    }
    return out;
}

using Steps = std::vector<std::string>;

TEST(SpeechScript, PlainTextKeepsEveryOffset) {
    const auto steps = Parse("abc def");
    ASSERT_EQ(steps.size(), 1u);
    EXPECT_EQ(steps[0].text, "abc def");
    EXPECT_EQ(steps[0].origins, (std::vector<uint32_t>{0, 1, 2, 3, 4, 5, 6}));
    EXPECT_TRUE(Parse("").empty());
    EXPECT_TRUE(Parse("   \r\n ").empty());
}

TEST(SpeechScript, PausesInEverySpellingAndCapped) {
    const auto steps = Parse("one{wait20}two");
    EXPECT_EQ(Describe(steps), (Steps{"S:one", "P:20", "S:two"}));
    EXPECT_EQ(steps[1].origin, 3u);
    EXPECT_EQ(steps[2].origins.front(), 11u);

    EXPECT_EQ(Describe(Parse("{Wait 5}")), (Steps{"P:5"}));
    EXPECT_EQ(Describe(Parse("{ wait  5 }")), (Steps{"P:5"}));
    EXPECT_EQ(Describe(Parse(Cp("{Ждать 7}"))), (Steps{"P:7"}));
    EXPECT_EQ(Describe(Parse("{wait99999}")), (Steps{"P:600"}));
    EXPECT_EQ(Describe(Parse("{wait 10}")), (Steps{"P:10"}));
    // No number or zero: no pause at all.
    EXPECT_TRUE(Parse("{wait}{wait0}").empty());
}

TEST(SpeechScript, VoiceNamesAndParameters) {
    EXPECT_EQ(Describe(Parse("{ K i n g K o n g }")), (Steps{"V:10"}));
    EXPECT_EQ(Describe(Parse(Cp("{Капитан}"))), (Steps{"V:20"}));
    EXPECT_EQ(Describe(Parse("{dictor}{setvoice3}")), (Steps{"V:17", "V:3"}));
    EXPECT_EQ(Describe(Parse("{timbre3}{temp12}{mel5}")), (Steps{"T:3", "R:9", "M:5"}));
    EXPECT_EQ(Describe(Parse(Cp("{тембр2}{тэмбр4}{скорость6}{мелодия1}"))),
              (Steps{"T:2", "T:4", "R:6", "M:1"}));
    EXPECT_EQ(Describe(Parse("{tempo 4}")), (Steps{"R:4"}));
}

TEST(SpeechScript, SoundFilesAndSilentGroups) {
    EXPECT_EQ(Describe(Parse("a{ music.WAV }b")), (Steps{"S:a", "F:music.WAV", "S:b"}));
    // The suffix must end the group; other groups say nothing.
    EXPECT_EQ(Describe(Parse("a{music.wav file}b")), (Steps{"S:a b"}));
    EXPECT_EQ(Describe(Parse("a{hello}{stop}{picture.bmp}{tune.mid}b")), (Steps{"S:a    b"}));
}

TEST(SpeechScript, UnbalancedAndLongGroupsAreText) {
    EXPECT_EQ(Describe(Parse("a { b")), (Steps{"S:a   b"}));
    EXPECT_EQ(Describe(Parse("a } b")), (Steps{"S:a   b"}));
    const auto nested = Parse("{a {wait 3} b");
    EXPECT_EQ(Describe(nested), (Steps{"S: a ", "P:3", "S: b"}));
    EXPECT_EQ(nested[0].origins.front(), 0u);

    const std::string longGroup = "{wait" + std::string(600, 'x') + "}";
    const auto steps = Parse(longGroup);
    ASSERT_EQ(steps.size(), 1u);
    EXPECT_EQ(steps[0].kind, Kind::Speak);
    EXPECT_EQ(steps[0].text.size(), longGroup.size());
    // 501 characters is still a command.
    EXPECT_EQ(Describe(Parse("{wait3" + std::string(494, ' ') + "}")), (Steps{"P:3"}));
}

TEST(SpeechScript, TimeAndDatePlaceholders) {
    const auto steps = Parse("at ??:?? on ??.?? ok ?\?-??");
    ASSERT_EQ(steps.size(), 1u);
    const std::string time = SpokenTime(TimeOfDay(14, 5));
    const std::string date = SpokenDate(TimeOfDay(14, 5));
    EXPECT_NE(steps[0].text.find(time), std::string::npos);
    EXPECT_NE(steps[0].text.find(date), std::string::npos);
    EXPECT_NE(steps[0].text.find("?\?-??"), std::string::npos);
    EXPECT_EQ(steps[0].text.find("??:??"), std::string::npos);
    // The spoken words stand for the placeholder's position.
    const size_t at = steps[0].text.find(time);
    EXPECT_EQ(steps[0].origins[at], 3u);
}

TEST(SpeechScript, BinaryBytesAndTerminator) {
    std::string text = "a\x01\x1f b";
    text += '\0';
    text += "hidden";
    const auto steps = Parse(text);
    EXPECT_EQ(Describe(steps), (Steps{"S:a   b"}));
    std::string everyByte;
    for (int c = 1; c < 256; ++c)
        everyByte += static_cast<char>(c);
    const auto all = Parse(everyByte);
    size_t spoken = 0;
    for (const auto& step : all)
        spoken += step.origins.size();
    EXPECT_GT(spoken, 200u);
}

TEST(SpokenClock, RussianNumberAgreement) {
    EXPECT_EQ(SpokenTime(TimeOfDay(1, 1)), Cp("один час одна минута"));
    EXPECT_EQ(SpokenTime(TimeOfDay(22, 32)), Cp("двадцать два часа тридцать две минуты"));
    EXPECT_EQ(SpokenTime(TimeOfDay(11, 11)), Cp("одиннадцать часов одиннадцать минут"));
    EXPECT_EQ(SpokenTime(TimeOfDay(0, 0)), Cp("ноль часов ноль минут"));
    EXPECT_EQ(SpokenDate(TimeOfDay(0, 0, 31, 11)), Cp("тридцать первое декабря"));
    EXPECT_EQ(SpokenDate(TimeOfDay(0, 0, 4, 0)), Cp("четвёртое января"));
    EXPECT_EQ(SpokenDate(TimeOfDay(0, 0, 20, 4)), Cp("двадцатое мая"));
    // A broken calendar value is spoken as something valid rather than read out of range.
    EXPECT_FALSE(SpokenDate(TimeOfDay(99, 99, 0, 12)).empty());
}

}  // namespace
}  // namespace tovrin
