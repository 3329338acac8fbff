#include "text/EngineCommands.h"

#include "text/CodePages.h"

#include <gtest/gtest.h>

#include <string>

namespace tovrin {
namespace {

// Strips a text written in UTF-8 and returns the result in UTF-8.
std::string Strip(const std::string& utf8) {
    std::string text = Utf8ToWindows1251(utf8);
    const std::size_t length = text.size();
    StripCommands(text.data());
    EXPECT_EQ(text.size(), length);
    return Windows1251ToUtf8(text);
}

std::string Blanks(std::size_t n) {
    return std::string(n, ' ');
}

TEST(EngineCommands, CommandsBecomeBlanks) {
    EXPECT_EQ(Strip("a{Wait 5}b"), "a" + Blanks(8) + "b");
    EXPECT_EQ(Strip("{ wait  5 }"), Blanks(11));
    EXPECT_EQ(Strip("{ K i n g K o n g }"), Blanks(19));
    EXPECT_EQ(Strip("{stopper}"), Blanks(9));
    EXPECT_EQ(Strip("{ стоп }"), Blanks(8));
    EXPECT_EQ(Strip("{СВЕРНУТЬ}"), Blanks(10));
    EXPECT_EQ(Strip("{music.WAV}"), Blanks(11));
    EXPECT_EQ(Strip("{ПЬЕРО}x"), Blanks(7) + "x");
    EXPECT_EQ(Strip("{тЭмбр7}"), Blanks(8));
    EXPECT_EQ(Strip("{\r\nwait\t3\f}"), Blanks(11));
}

TEST(EngineCommands, OtherBracesBecomeParentheses) {
    EXPECT_EQ(Strip("{стопор}"), "(стопор)");
    EXPECT_EQ(Strip("{music.wav file}"), "(music.wav file)");
    EXPECT_EQ(Strip("{hello}"), "(hello)");
    EXPECT_EQ(Strip("a } b"), "a ) b");
    EXPECT_EQ(Strip("a { b"), "a ( b");
    EXPECT_EQ(Strip("{a {wait 3}"), "(a " + Blanks(8));
    EXPECT_EQ(Strip("{свернуть окно}"), "(свернуть окно)");
    EXPECT_EQ(Strip("{стоп 5}"), "(стоп 5)");  // "{стоп}" matches only the whole group
    EXPECT_EQ(Strip("{{}}"), "(())");
    EXPECT_EQ(Strip("без скобок"), "без скобок");
    EXPECT_EQ(Strip(""), "");
}

TEST(EngineCommands, TimePlaceholders) {
    EXPECT_EQ(Strip("сейчас ??:?? часов"), "сейчас " + Blanks(5) + " часов");
    EXPECT_EQ(Strip("x??.??"), "x" + Blanks(5));
    EXPECT_EQ(Strip("сейчас ?"
                    "?-?? часов"),
              "сейчас ?"
              "?-?? часов");
    EXPECT_EQ(Strip("???:??"), "?" + Blanks(5));
    EXPECT_EQ(Strip("??:?"), "??:?");  // the terminator stops the comparison
    // The placeholder is blanked before its group is judged, so the empty group is text.
    EXPECT_EQ(Strip("{??:??}"), "(" + Blanks(5) + ")");
}

TEST(EngineCommands, LongGroupsAreText) {
    const std::string fits = "{wait" + std::string(495, '0') + "}";  // 501 characters
    EXPECT_EQ(Strip(fits), Blanks(501));
    const std::string tooLong = "{wait" + std::string(496, '0') + "}";
    EXPECT_EQ(Strip(tooLong), "(wait" + std::string(496, '0') + ")");
    EXPECT_FALSE(IsEngineCommand(tooLong.c_str(), tooLong.size()));
}

TEST(EngineCommands, IsEngineCommandLooksOnlyAtItsCharacters) {
    EXPECT_TRUE(IsEngineCommand("{mel5} tail", 6));
    EXPECT_FALSE(IsEngineCommand("{me} tail", 4));
    EXPECT_TRUE(IsEngineCommand("??:??", 5));
    EXPECT_FALSE(IsEngineCommand("??:??", 4));
    EXPECT_FALSE(IsEngineCommand("x{wait}", 7));
}

TEST(EngineCommands, PauseCommand) {
    EXPECT_EQ(PauseCommand(15), "{wait15}");
    EXPECT_EQ(PauseCommand(1), "{wait1}");
    EXPECT_EQ(PauseCommand(0), "");
    EXPECT_EQ(PauseCommand(-3), "");
    std::string text = "W";
    AppendPauseCommand(text, 20);
    EXPECT_EQ(text, "W{wait20}");
    // What the library writes, the library recognises.
    EXPECT_TRUE(IsEngineCommand(text.c_str() + 1, text.size() - 1));
}

}  // namespace
}  // namespace tovrin
