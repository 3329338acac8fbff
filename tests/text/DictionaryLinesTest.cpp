#include "text/DictionaryLines.h"

#include "text/CodePages.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

namespace tovrin {
namespace {

std::string W(const std::string& utf8) {
    return Utf8ToWindows1251(utf8);
}

TEST(DictionaryLines, ParsesAllFields) {
    DictionaryLine line;
    ASSERT_TRUE(ParseDictionaryLine(W("СЛОВО - ПЕРЕВОД (от ГРЕЧ) - ЗВУК 1 2"), line));
    EXPECT_EQ(line.First, W("СЛОВО"));
    EXPECT_EQ(line.Second, W("ПЕРЕВОД "));
    EXPECT_EQ(line.Third, W("ЗВУК"));
    EXPECT_EQ(line.Number1, 1);
    EXPECT_EQ(line.Number2, 2);

    ASSERT_TRUE(ParseDictionaryLine("cat::word (noun)::cat.wav -3 +40 rest of line", line));
    EXPECT_EQ(line.First, "cat");
    EXPECT_EQ(line.Second, " ");
    EXPECT_EQ(line.Third, "cat.wav");
    EXPECT_EQ(line.Number1, -3);
    EXPECT_EQ(line.Number2, 40);

    ASSERT_TRUE(ParseDictionaryLine(W("кот ; кошка (домашняя) ; f 7 8"), line));
    EXPECT_EQ(line.Second, W("кошка домашняя"));
}

TEST(DictionaryLines, FailuresLeaveTheNumbersUnset) {
    DictionaryLine line;
    EXPECT_FALSE(ParseDictionaryLine(W("СЛОВО - ПЕРЕВОД"), line));
    EXPECT_EQ(line.First, W("СЛОВО"));
    EXPECT_EQ(line.Number1, -1);
    EXPECT_EQ(line.Number2, -1);
    EXPECT_FALSE(ParseDictionaryLine("a::b::c x y", line));
    EXPECT_EQ(line.Number1, -1);
    EXPECT_FALSE(ParseDictionaryLine("a::b::c 1", line));   // no blank after the first number
    EXPECT_FALSE(ParseDictionaryLine("a::b::c 1 ", line));  // empty second number
    EXPECT_FALSE(ParseDictionaryLine("a::b::c1 2", line));
    EXPECT_FALSE(ParseDictionaryLine("a::b::c 1 99999999999", line));
    EXPECT_FALSE(ParseDictionaryLine("a::b::c +-5 2", line));  // one sign only
    EXPECT_FALSE(ParseDictionaryLine("a::b::c 1 +", line));
    EXPECT_FALSE(ParseDictionaryLine("", line));
    EXPECT_FALSE(ParseDictionaryLine(std::string("a::b::c 1 2\0", 12), line));
    // A fresh parse starts from empty fields.
    ASSERT_TRUE(ParseDictionaryLine("a::b::c 1 2", line));
    EXPECT_FALSE(ParseDictionaryLine("x", line));
    EXPECT_EQ(line.Third, "");
}

TEST(DictionaryLines, ReplaceAll) {
    EXPECT_EQ(ReplaceAll("a - b - c", " - ", "::"), "a::b::c");
    EXPECT_EQ(ReplaceAll("aaab", "ab", "b"), "b");  // looks again from the start
    EXPECT_EQ(ReplaceAll("x", "", "y"), "x");
    // A replacement that holds the searched text is applied once per occurrence.
    EXPECT_EQ(ReplaceAll("a-b-", "-", "--"), "a--b--");
}

TEST(DictionaryLines, ShuffleLinesKeepsEveryLine) {
    std::vector<std::string> lines;
    for (int i = 0; i < 50; ++i)
        lines.push_back(std::to_string(i));
    ShuffleRandom random;
    std::vector<std::string> shuffled = lines;
    ShuffleLines(shuffled, random);
    EXPECT_NE(shuffled, lines);
    std::vector<std::string> sorted = shuffled;
    std::sort(sorted.begin(), sorted.end());
    std::vector<std::string> expected = lines;
    std::sort(expected.begin(), expected.end());
    EXPECT_EQ(sorted, expected);
    // The unseeded source shuffles alike in every run.
    ShuffleRandom again;
    std::vector<std::string> second = lines;
    ShuffleLines(second, again);
    EXPECT_EQ(second, shuffled);
}

TEST(DictionaryLines, ShuffleDictionaryKeepsGroupsTogether) {
    std::vector<std::string> lines = {"Heading line"};
    for (int i = 0; i < 30; ++i)
        lines.push_back("w" + std::to_string(i) + "::t::snd" + std::to_string(i % 3) + " 1 2");
    ShuffleRandom random;
    ShuffleDictionary(lines, random);
    ASSERT_EQ(lines.size(), 30u);  // the heading does not parse and is dropped
    // Each sound name forms one contiguous group of ten lines.
    DictionaryLine parsed;
    std::vector<std::string> order;
    for (const std::string& line : lines) {
        ASSERT_TRUE(ParseDictionaryLine(line, parsed));
        if (order.empty() || order.back() != parsed.Third) order.push_back(parsed.Third);
    }
    EXPECT_EQ(order.size(), 3u);
}

}  // namespace
}  // namespace tovrin
