#include "platform/Win1251Case.h"

#include "text/CodePages.h"

#include <gtest/gtest.h>

#include <string>

namespace tovrin {
namespace {

constexpr auto kCapitals = W1251<80>("ABCXYZАБВЁЖЯ");
constexpr auto kSmalls = W1251<80>("abcxyzабвёжя");

TEST(Win1251Case, CaseMapsPairLettersAndLeaveEveryOtherByte) {
    EXPECT_TRUE(EqualIgnoringCaseWin1251(kCapitals.view(), kSmalls.view()));
    for (size_t i = 0; i < kCapitals.size; ++i) {
        EXPECT_EQ(ToLowerWin1251(kCapitals.bytes[i]), kSmalls.bytes[i]) << i;
        EXPECT_EQ(ToUpperWin1251(kSmalls.bytes[i]), kCapitals.bytes[i]) << i;
    }
    int letters = 0;
    for (int byte = 0; byte < 256; ++byte) {
        const auto c = static_cast<unsigned char>(byte);
        if (!IsLetterWin1251(c)) {
            EXPECT_EQ(ToLowerWin1251(c), c) << byte;
            EXPECT_EQ(ToUpperWin1251(c), c) << byte;
            continue;
        }
        ++letters;
        EXPECT_EQ(ToLowerWin1251(ToUpperWin1251(c)), ToLowerWin1251(c)) << byte;
        EXPECT_NE(ToLowerWin1251(c), ToUpperWin1251(c)) << byte;
    }
    EXPECT_EQ(letters, 2 * (26 + 33));
    EXPECT_FALSE(EqualIgnoringCaseWin1251(kSmalls.view(), kSmalls.view().substr(1)));
    EXPECT_EQ(TrimBlanksWin1251(" \t\r\nab c\f "), "ab c");
}

}  // namespace
}  // namespace tovrin
