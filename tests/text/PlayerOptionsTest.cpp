#include "text/PlayerOptions.h"

#include "text/CodePages.h"
#include "text/TextError.h"

#include <gtest/gtest.h>

#include <string>

namespace tovrin {
namespace {

TEST(PlayerOptions, DefaultsResetAChangedRecordAndLayoutFollowsIt) {
    PlayerOptions options;
    options.ReadingType = 2;
    options.AbzBeg = "x";
    options.BlockSize = 1024;
    DefaultPlayerOptions(options);
    EXPECT_EQ(options.ReadingType, 0);
    EXPECT_EQ(options.AbzBeg, "");
    EXPECT_EQ(options.BlockSize, 32768);

    options.CodePage = 2;
    options.AbzType = 1;
    options.RazdEmpt = 4;
    options.RazdKey = "key";
    const LayoutParams layout = LayoutParamsOf(options);
    EXPECT_EQ(layout.CodePage, 2);
    EXPECT_EQ(layout.AbzType, 1);
    EXPECT_EQ(layout.RazdType, 3);
    EXPECT_EQ(layout.RazdEmpt, 4);
    EXPECT_EQ(layout.RazdKey, "key");
}

TEST(PlayerOptions, ParsePauseTextReadsTheTwoDigitsOfTheField) {
    EXPECT_EQ(ParsePauseText("15"), 15);
    EXPECT_EQ(ParsePauseText("2 "), 20);  // only the first place filled
    EXPECT_EQ(ParsePauseText(""), 0);
    EXPECT_EQ(ParsePauseText("7"), 7);
    EXPECT_EQ(ParsePauseText(" 5"), 5);
    EXPECT_EQ(ParsePauseText("  "), 0);
    EXPECT_EQ(ParsePauseText("123"), 12);  // only two characters count
    EXPECT_THROW(ParsePauseText("x5"), ConversionError);
    EXPECT_THROW(ParsePauseText("1x"), ConversionError);
    EXPECT_THROW(ParsePauseText(" "), ConversionError);
    EXPECT_THROW(ParsePauseText("-1"), ConversionError);
}

std::string Russian(const char* utf8) {
    return Utf8ToWindows1251(utf8);
}

std::string RussianParagraphs(const char* gap) {
    std::string text;
    for (int i = 0; i < 6; ++i) {
        text += Russian("Солнце светит над рекой, и тени стоят под старыми соснами.\r\n");
        text += Russian("Вечером ветер несет с озера свежий запах травы.\r\n");
        text += gap;
    }
    return text;
}

TEST(PlayerOptions, FullAnalysisSwitchesOffWhatTheTextDoesNotNeed) {
    PlayerOptions options;
    std::string text = RussianParagraphs("\r\n");
    AnalyseText(options, true, text.c_str());
    EXPECT_EQ(options.CodePage, 1);
    EXPECT_FALSE(options.Dcd_pH);
    EXPECT_FALSE(options.Dcd_NoUdar);
    EXPECT_FALSE(options.Dcd_NoCommand);
    EXPECT_FALSE(options.Dcd_NoChar);
    EXPECT_TRUE(options.Dcd_NoPeren);
    EXPECT_EQ(options.RazdEmpt, 2);
    EXPECT_EQ(options.AbzType, 1);

    // What the text does hold keeps its switch; the analysis never switches one on.
    DefaultPlayerOptions(options);
    options.Dcd_NoUdar = false;
    text = RussianParagraphs("") + "don't {wait5} <b> p " + Russian("с л о в о") + "\r\n";
    AnalyseText(options, true, text.c_str());
    EXPECT_TRUE(options.Dcd_pH);
    EXPECT_FALSE(options.Dcd_NoUdar);
    EXPECT_TRUE(options.Dcd_NoCommand);
    EXPECT_TRUE(options.Dcd_NoChar);
    EXPECT_EQ(options.RazdEmpt, 1);
    // Flush lines without empty lines between them: no line continues another's paragraph.
    EXPECT_EQ(options.AbzType, kAbzEachLine);

    // Engine commands are kept on only when both kinds of bracket occur.
    DefaultPlayerOptions(options);
    text = "only {braces} here";
    AnalyseText(options, true, text.c_str());
    EXPECT_FALSE(options.Dcd_NoCommand);
}

TEST(PlayerOptions, QuickAnalysisLooksAtTheCodePageOfTheFirstBytesOnly) {
    PlayerOptions options;
    options.AbzType = 1;
    options.Dcd_NoUdar = true;
    const std::string russian = RussianParagraphs("\r\n");
    AnalyseText(options, false, russian.c_str());
    EXPECT_EQ(options.CodePage, 1);
    EXPECT_EQ(options.AbzType, 1);
    EXPECT_TRUE(options.Dcd_NoUdar);
    EXPECT_EQ(options.RazdEmpt, 1);

    // Past 25,000 Latin bytes the quick look sees no Russian; the full one does.
    const std::string late = std::string(25000, 'a') + russian;
    AnalyseText(options, false, late.c_str());
    EXPECT_EQ(options.CodePage, -1);
    AnalyseText(options, true, late.c_str());
    EXPECT_EQ(options.CodePage, 1);

    AnalyseText(options, true, "");
    EXPECT_EQ(options.CodePage, -1);
    EXPECT_EQ(options.RazdEmpt, 1);
}

}  // namespace
}  // namespace tovrin
