#include "text/TextFilters.h"

#include "text/CodePages.h"

#include <gtest/gtest.h>

#include <cstring>
#include <random>
#include <string>

namespace tovrin {
namespace {

// Each helper runs a filter over a UTF-8 sample turned into Windows-1251 and returns the
// result in UTF-8, checking that the terminator and the returned length agree.
template <typename Filter>
std::string Apply(const std::string& utf8, Filter filter) {
    std::string text = Utf8ToWindows1251(utf8);
    filter(text.data());
    return Windows1251ToUtf8(text.c_str());
}

std::string Russify(const std::string& utf8) {
    return Apply(utf8, RussifyPH);
}

std::string Join(const std::string& utf8, bool withBlank = false) {
    std::string text = Utf8ToWindows1251(utf8);
    const std::size_t length = JoinHyphenated(text.data(), withBlank);
    EXPECT_EQ(length, std::strlen(text.c_str()));
    EXPECT_LE(length, text.size());
    return Windows1251ToUtf8(text.c_str());
}

std::string Unspace(const std::string& utf8, bool joinHyphenated = true) {
    return Apply(utf8, [joinHyphenated](char* t) { JoinSpacedLetters(t, joinHyphenated); });
}

std::string Clean(const std::string& utf8, const PlayerOptions& options) {
    std::string text = Utf8ToWindows1251(utf8);
    const std::size_t length = CleanText(options, text.data());
    EXPECT_EQ(length, std::strlen(text.c_str()));
    return Windows1251ToUtf8(text.c_str());
}

PlayerOptions Defaults(int codePage = 1) {
    PlayerOptions options;  // the defaults of a new player window
    options.CodePage = codePage;
    return options;
}

TEST(TextFilters, RussifyPH) {
    EXPECT_EQ(Russify("Hello pH"), "Hello pH");
    EXPECT_EQ(Russify("Hа"), "На");
    EXPECT_EQ(Russify("Нp"), "Нр");
    EXPECT_EQ(Russify("a p b"), "a р b");
    EXPECT_EQ(Russify("pa"), "pa");
    EXPECT_EQ(Russify("p"), "р");
    EXPECT_EQ(Russify("H."), "Н.");
    EXPECT_EQ(Russify("кpуг Hос"), "круг Нос");
    EXPECT_EQ(Russify("оHp "), "оНр ");  // the replaced H counts as Russian for the p
    EXPECT_EQ(Russify("xHp"), "xHp");
    EXPECT_EQ(Russify(""), "");
}

TEST(TextFilters, CleanTextChain) {
    // p and H stay when the code page is not a Russian one.
    EXPECT_EQ(Clean("a p b", Defaults(0)), "a p b");
    EXPECT_EQ(Clean("a p b", Defaults(-1)), "a p b");
    EXPECT_EQ(Clean("a p b", Defaults(1)), "a р b");
    EXPECT_EQ(Clean("don't", Defaults()), "don\"t");
    EXPECT_EQ(Clean("<b>{wait 5}</b>", Defaults()), " b " + std::string(8, ' ') + " /b ");
    EXPECT_EQ(Clean("Первый.\r\n\r\nВторой.", Defaults()), "Первый.\r\nВторой.");
    EXPECT_EQ(Clean("пере-\r\nнос", Defaults()), "перенос");

    PlayerOptions off = Defaults();
    off.Dcd_pH = off.Dcd_NoPeren = off.Dcd_NoUdar = off.Dcd_NoCommand = off.Dcd_NoChar = false;
    const std::string raw = "a p b don't {wait 5} с л о в о пере-\r\n\r\nнос";
    EXPECT_EQ(Clean(raw, off), raw);

    // Recoding comes first, so the later steps see Windows-1251.
    std::string dos = Utf8ToWindows1251("Hос");
    RecodeText(1, 2, dos.data());
    CleanText(Defaults(2), dos.data());
    EXPECT_EQ(Windows1251ToUtf8(dos), "Нос");
}

TEST(TextFilters, JoinHyphenatedWords) {
    EXPECT_EQ(Join("пере-\r\nнос"), "перенос");
    EXPECT_EQ(Join("сло-\r\n    во"), "слово");
    EXPECT_EQ(Join("сло- \r\n\r\n \r\n\tво"), "слово");
    EXPECT_EQ(Join("сло-\rво"), "слово");
    EXPECT_EQ(Join("сло-\r\nво", true), "сло во");
    EXPECT_EQ(Join("кто-то пришёл"), "кто-то пришёл");
    EXPECT_EQ(Join("стр. 12-\r\n13"), "стр. 12-\r\n13");
    EXPECT_EQ(Join("1-\r\nа"), "1-\r\nа");
    EXPECT_EQ(Join("сло-\r\n- во"), "сло-\r\n- во");
    EXPECT_EQ(Join("сло-\r\n«во»"), "сло-\r\n«во»");
}

TEST(TextFilters, HyphenInsideAWordDoesNotReachTheNextLine) {
    // Only a hyphen that ends its line joins; a letter after it on the same line ends that.
    EXPECT_EQ(Join("в какой-то миг\r\nслово"), "в какой-то миг\r\nслово");
    EXPECT_EQ(Join("какой-то\r\nмиг"), "какой-то\r\nмиг");
    EXPECT_EQ(Join("какой-то пере-\r\nнос"), "какой-то перенос");
}

TEST(TextFilters, JoinHyphenatedRemovesBlankLines) {
    EXPECT_EQ(Join("А.\r\n\r\nБ."), "А.\r\nБ.");
    EXPECT_EQ(Join("А.\r\n  \t\r\n\r\nБ."), "А.\r\nБ.");
    EXPECT_EQ(Join("А.\r\r\rБ."), "А.\rБ.");
    EXPECT_EQ(Join("  \r\nА."), "\nА.");  // a blank first line goes with its break
    EXPECT_EQ(Join("\r\n\r\nА."), "\nА.");
    EXPECT_EQ(Join("А.\r\n   "), "А.\r\n   ");  // a last line without a break stays
    EXPECT_EQ(Join(""), "");
}

TEST(TextFilters, PackWhiteSpace) {
    std::string text = "  a\t\tb\r\n  c\f\nd  ";
    EXPECT_EQ(PackWhiteSpace(text.data()), 9u);
    EXPECT_STREQ(text.c_str(), " a b c d ");
    std::string empty;
    EXPECT_EQ(PackWhiteSpace(empty.data()), 0u);
}

TEST(TextFilters, FindSpacedRun) {
    const std::string kot = Utf8ToWindows1251("к о т");
    EXPECT_FALSE(FindSpacedRun(kot.c_str(), 3).found);
    EXPECT_TRUE(FindSpacedRun(kot.c_str(), 2).found);

    const std::string word = Utf8ToWindows1251("Заголовок: с л о в о");
    SpacedRun run = FindSpacedRun(word.c_str(), 3);
    ASSERT_TRUE(run.found);
    EXPECT_EQ(run.start, 11u);
    EXPECT_EQ(run.length, 9u);
    EXPECT_EQ(run.lengthWithSeparators, 9u);

    // The walk stops on the first two adjacent letters; the first of them opens the next
    // word and is not part of the run.
    run = FindSpacedRun("a b c dword", 3);
    ASSERT_TRUE(run.found);
    EXPECT_EQ(run.start, 0u);
    EXPECT_EQ(run.length, 5u);
    EXPECT_EQ(run.lengthWithSeparators, 6u);

    EXPECT_FALSE(FindSpacedRun("ab cd ef", 1).found);
    EXPECT_FALSE(FindSpacedRun("", 3).found);
    EXPECT_FALSE(FindSpacedRun("1 2 3 4 5", 3).found);  // digits are not letters
}

TEST(TextFilters, FoundAtEveryOffsetOfALongerText) {
    // Long stretches are passed over many bytes at a time; a spaced word and a stretch of
    // white space must be found wherever they stand among two-letter words.
    for (std::size_t offset = 0; offset < 50; ++offset) {
        std::string prefix;
        while (prefix.size() + 3 <= offset)
            prefix += "xy.";
        prefix.resize(offset, '.');

        SpacedRun run = FindSpacedRun((prefix + "a b c d e").c_str(), 3);
        EXPECT_TRUE(run.found && run.start == offset && run.length == 9u) << offset;
        run = FindSpacedRun((prefix + "a b c d e, word").c_str(), 3);
        EXPECT_TRUE(run.found && run.start == offset && run.lengthWithSeparators == 11u) << offset;
        EXPECT_FALSE(FindSpacedRun((prefix + "a b c, word").c_str(), 4).found) << offset;

        std::string spaced = prefix + "a b c d e";
        JoinSpacedLetters(spaced.data(), true);
        EXPECT_EQ(spaced, prefix + "abcde    ");

        std::string white = prefix + "  \r\n\tz ";
        EXPECT_EQ(PackWhiteSpace(white.data()), offset + 3);
        EXPECT_EQ(white.c_str(), prefix + " z ");
    }
}

TEST(TextFilters, JoinSpacedLetters) {
    EXPECT_EQ(Unspace("с л о в о"), "слово    ");
    EXPECT_EQ(Unspace("с л о в о  е с т ь"), "слово есть        ");
    EXPECT_EQ(Unspace("Глава: с л о в о. Текст"), "Глава: слово.     Текст");
    EXPECT_EQ(Unspace("с-л-о-в-о"), "слово    ");
    EXPECT_EQ(Unspace("с_л_о_в_о"), "слово    ");
    EXPECT_EQ(Unspace("с.л.о.в.о"), "слово    ");
    EXPECT_EQ(Unspace("к о т"), "к о т");
    EXPECT_EQ(Unspace("a b c d e f g h"), "abcdefgh       ");
    // A doubled separator marks the gap between words; when the letters are still spaced
    // after the single ones went, every separator goes.
    EXPECT_EQ(Unspace("с_л_о_в_о__е_с_т_ь"), "слово_есть        ");
    EXPECT_EQ(Unspace("с__л__о__в__о"), "слово        ");
    EXPECT_EQ(Unspace("с  л  о  в  о"), "слово        ");
    // A spaced word broken at a line end is joined first (with a blank) when hyphenation is
    // cleaned; otherwise only its hyphen goes.
    EXPECT_EQ(Unspace("с л о-\r\nв о"), "слово      ");
    EXPECT_EQ(Unspace("с л о-\r\nв о", false), "с л о\r\nв о ");
    // Ties that no rule decides leave the run as it was.
    EXPECT_EQ(Unspace("а-б_в.г.д"), "а-б_в.г.д");
}

TEST(TextFilters, LengthsNeverGrow) {
    // Steps 1-5 keep the length; joining hyphens may only shorten.
    std::mt19937 random(7);
    const char alphabet[] = "ab pH'<>{}?:._-\r\n\t \xC0\xE0\xF0\xA8\xB8\x01\xFF";
    PlayerOptions keep = Defaults(2);
    keep.Dcd_NoPeren = false;
    for (int round = 0; round < 2000; ++round) {
        std::string text;
        const std::size_t size = random() % 80;
        for (std::size_t i = 0; i < size; ++i)
            text += alphabet[random() % (sizeof(alphabet) - 1)];
        std::string copy = text;
        EXPECT_EQ(CleanText(keep, copy.data()), text.size());
        EXPECT_EQ(std::strlen(copy.c_str()), text.size());
        copy = text;
        EXPECT_LE(CleanText(Defaults(1), copy.data()), text.size());
        copy = text;
        EXPECT_LE(JoinHyphenated(copy.data(), true), text.size());
    }
}

TEST(TextFilters, BadInput) {
    // The text ends at the first zero byte; nothing after it is touched.
    std::string withZero = Utf8ToWindows1251("p'a") + std::string(1, '\0') + "p'{wait}";
    const std::string tail = withZero.substr(4);
    CleanText(Defaults(), withZero.data());
    EXPECT_EQ(withZero.substr(4), tail);

    // A 5 MB single line of spaced letters and garbage runs through every filter.
    std::string line;
    std::mt19937 random(11);
    for (std::size_t i = 0; i < 5'000'000; ++i)
        line += i % 2 ? ' ' : static_cast<char>(0x80 + random() % 0x80);
    const std::size_t before = line.size();
    EXPECT_LE(CleanText(Defaults(1), line.data()), before);
    std::string binary;
    for (int i = 0; i < 100000; ++i)
        binary += static_cast<char>(1 + random() % 255);
    EXPECT_LE(CleanText(Defaults(3), binary.data()), 100000u);
    EXPECT_LE(PackWhiteSpace(binary.data()), 100000u);
}

}  // namespace
}  // namespace tovrin
