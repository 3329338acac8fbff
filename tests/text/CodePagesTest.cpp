#include "text/CodePages.h"

#include <gtest/gtest.h>

#include <iconv.h>

#include <initializer_list>
#include <string>
#include <utility>
#include <vector>

namespace tovrin {
namespace {

std::string AllHighBytes() {
    std::string bytes;
    for (int c = 0x80; c < 0x100; ++c)
        bytes += static_cast<char>(c);
    return bytes;
}

std::string Recoded(int from, int to, std::string text) {
    RecodeText(from, to, text.data());
    return text;
}

unsigned char Byte(int from, int to, int c) {
    return RecodeChar(from, to, static_cast<unsigned char>(c));
}

// A Russian text of a few hundred letters in Windows-1251.
std::string RussianSample() {
    std::string text;
    for (int i = 0; i < 12; ++i)
        text += Utf8ToWindows1251(
            "Ночью над рекой стоял туман, и старый лодочник рассказывал нам о Ёлкине. ");
    return text;
}

TEST(CodePages, LettersFollowThePublishedCodePages) {
    // А, я, Ё, ё in 866 / 1251 / KOI8-R / ISO 8859-5.
    struct Letter {
        int dos, win, koi, iso;
    };
    const Letter letters[] = {{0x80, 0xC0, 0xE1, 0xB0},
                              {0xEF, 0xFF, 0xD1, 0xEF},
                              {0xAF, 0xEF, 0xD0, 0xDF},
                              {0x9E, 0xDE, 0xE0, 0xCE}};
    for (const Letter& l : letters) {
        EXPECT_EQ(Byte(2, 1, l.dos), l.win);
        EXPECT_EQ(Byte(1, 2, l.win), l.dos);
        EXPECT_EQ(Byte(3, 1, l.koi), l.win);
        EXPECT_EQ(Byte(1, 3, l.win), l.koi);
        EXPECT_EQ(Byte(4, 1, l.iso), l.win);
        EXPECT_EQ(Byte(2, 3, l.dos), l.koi);
        EXPECT_EQ(Byte(3, 2, l.koi), l.dos);
        EXPECT_EQ(Byte(4, 2, l.iso), l.dos);
    }
}

// Ё, ё and А-я in Windows-1251.
std::string RussianLetters() {
    std::string letters = "\xA8\xB8";
    for (int c = 0xC0; c <= 0xFF; ++c)
        letters += static_cast<char>(c);
    return letters;
}

// The same letters in another code page, as glibc's iconv knows them; empty when iconv lacks
// the code page.
std::string IconvLetters(const char* codePage) {
    const iconv_t cd = iconv_open(codePage, "CP1251");
    if (cd == reinterpret_cast<iconv_t>(-1)) return {};
    std::string in = RussianLetters(), out(in.size(), '\0');
    char* inPtr = in.data();
    char* outPtr = out.data();
    std::size_t inLeft = in.size(), outLeft = out.size();
    const std::size_t done = iconv(cd, &inPtr, &inLeft, &outPtr, &outLeft);
    iconv_close(cd);
    return done == static_cast<std::size_t>(-1) || outLeft != 0 ? std::string() : out;
}

TEST(CodePages, EveryRussianLetterAgreesWithIconv) {
    const int indices[] = {1, 2, 3, 4};
    std::string bytes[5];
    bytes[1] = IconvLetters("CP1251");
    bytes[2] = IconvLetters("CP866");
    bytes[3] = IconvLetters("KOI8-R");
    bytes[4] = IconvLetters("ISO-8859-5");
    for (int page : indices)
        if (bytes[page].empty()) GTEST_SKIP() << "iconv lacks code page " << page;
    for (int from : indices) {
        for (int to : indices) {
            // ISO 8859-5's Ё and ё (the first two letters) go through the tables uncorrected.
            const std::size_t first = from == 4 || to == 4 ? 2 : 0;
            for (std::size_t i = first; i < bytes[1].size(); ++i)
                EXPECT_EQ(Byte(from, to, static_cast<unsigned char>(bytes[from][i])),
                          static_cast<unsigned char>(bytes[to][i]))
                    << from << " -> " << to << " letter " << i;
        }
    }
}

TEST(CodePages, NonLettersMapOneToOne) {
    EXPECT_EQ(Byte(2, 1, 0xB0), 0x88);
    EXPECT_EQ(Byte(2, 1, 0xC2), 0x9A);
    EXPECT_EQ(Byte(2, 1, 0xC3), 0x81);
    EXPECT_EQ(Byte(2, 1, 0xDF), 0xB7);
    EXPECT_EQ(Byte(2, 1, 0xF4), 0x80);
    EXPECT_EQ(Byte(2, 1, 0xF7), 0x9B);
    EXPECT_EQ(Byte(2, 1, 0xFF), 0xBF);
    EXPECT_EQ(Byte(3, 1, 0x95), 0x95);
    EXPECT_EQ(Byte(4, 1, 0xF5), 0xB5);
    EXPECT_EQ(Byte(4, 1, 0xA1), 0xA1);  // ISO's Ё gets no correction
    // Bytes below 0x80 never change.
    for (int from = 0; from <= 4; ++from)
        for (int c = 0; c < 0x80; ++c)
            EXPECT_EQ(Byte(from, (from + 1) % 5, c), c);
}

TEST(CodePages, YoIsCorrectedAmongDosWindowsAndKoi) {
    EXPECT_EQ(Byte(2, 1, 0xF0), 0xA8);
    EXPECT_EQ(Byte(2, 1, 0xF1), 0xB8);
    EXPECT_EQ(Byte(1, 2, 0xA8), 0xF0);
    EXPECT_EQ(Byte(3, 1, 0xB3), 0xA8);
    EXPECT_EQ(Byte(3, 1, 0xA3), 0xB8);
    EXPECT_EQ(Byte(1, 3, 0xB8), 0xA3);
    EXPECT_EQ(Byte(2, 3, 0xF0), 0xB3);
    EXPECT_EQ(Byte(3, 2, 0xA3), 0xF1);
    EXPECT_EQ(Byte(0, 1, 0xF1), 0xB8);  // English text recodes as 866
    EXPECT_EQ(Recoded(3, 1, "\xB3\xA3"), "\xA8\xB8");
}

TEST(CodePages, DosRoundTripLosesOnlyTwoBytes) {
    const std::string original = AllHighBytes();
    const std::string back = Recoded(1, 2, Recoded(2, 1, original));
    for (std::size_t i = 0; i < original.size(); ++i) {
        const auto c = static_cast<unsigned char>(original[i]);
        const auto expected = c == 0xD0 ? 0xF0 : c == 0xF8 ? 0xF1 : c;
        EXPECT_EQ(static_cast<unsigned char>(back[i]), expected) << "byte " << int(c);
    }
}

TEST(CodePages, ComposedConversionsGoThroughWindows) {
    for (int c = 0x80; c < 0x100; ++c) {
        // 866's Yo is corrected directly; 0xD0 and 0xF8 land on Windows' Yo on the way.
        if (c == 0xF0 || c == 0xF1 || c == 0xD0 || c == 0xF8) continue;
        EXPECT_EQ(Byte(2, 3, c), Byte(1, 3, Byte(2, 1, c))) << c;
        const unsigned char koi = Byte(2, 3, c);
        if (koi != 0xB3 && koi != 0xA3) {
            EXPECT_EQ(Byte(3, 2, koi), c) << c;
        }
        EXPECT_EQ(Byte(2, 4, c), Byte(1, 4, Byte(2, 1, c))) << c;
        EXPECT_EQ(Byte(4, 2, Byte(2, 4, c)), c) << c;
    }
}

TEST(CodePages, UndefinedAndEqualConversionsChangeNothing) {
    const std::string bytes = AllHighBytes();
    EXPECT_EQ(Recoded(0, 2, bytes), bytes);
    EXPECT_EQ(Recoded(1, 1, bytes), bytes);
    EXPECT_EQ(Recoded(-1, 1, bytes), bytes);
    EXPECT_EQ(Recoded(1, 5, bytes), bytes);
    EXPECT_EQ(RecodeCharFromWindows(1, 0xC0), 0xC0);
    EXPECT_EQ(RecodeCharFromWindows(2, 0xC0), 0x80);
    EXPECT_EQ(RecodeCharFromWindows(-1, 0xC0), 0);
    EXPECT_EQ(RecodeCharFromWindows(5, 'a'), 0);
}

TEST(CodePages, RecodingStopsAtTheTerminator) {
    std::string text("\xC0\xC1\0\xC0", 4);
    RecodeText(1, 2, text.data());
    EXPECT_EQ(text, std::string("\x80\x81\0\xC0", 4));
    RecodeToWindows(2, text.data(), text.size());  // the counted form passes the zero through
    EXPECT_EQ(text, std::string("\xC0\xC1\0\x98", 4));
}

TEST(CodePages, DetectsTheCodePage) {
    const std::string windows = RussianSample();
    EXPECT_EQ(DetectCodePage(windows.c_str(), windows.size()), 1);
    EXPECT_EQ(DetectCodePage(Recoded(1, 2, windows).c_str(), windows.size()), 2);
    EXPECT_EQ(DetectCodePage(Recoded(1, 3, windows).c_str(), windows.size()), 3);
    const std::string latin(2000, 'e');
    EXPECT_EQ(DetectCodePage(latin.c_str(), latin.size()), -1);
    EXPECT_EQ(DetectCodePage("", 100), -1);
    // The limit and the terminator both end the count.
    EXPECT_EQ(DetectCodePage(windows.c_str(), 10),
              DetectCodePage(windows.substr(0, 10).c_str(), 99));
    std::string cut = latin + '\0' + windows;
    EXPECT_EQ(DetectCodePage(cut.c_str(), cut.size()), -1);
}

// A text made of `count` copies of each byte.
std::string Bytes(std::initializer_list<std::pair<int, int>> runs) {
    std::string text;
    for (const auto& [byte, count] : runs)
        text.append(static_cast<std::size_t>(count), static_cast<char>(byte));
    return text;
}

int Detect(const std::string& text) {
    return DetectCodePage(text.c_str(), text.size());
}

TEST(CodePages, DetectionSteps) {
    // The KOI letter set decides, though its small letters alone would point to Windows-1251.
    EXPECT_EQ(Detect(Bytes({{220, 10}, {252, 100}, {253, 100}, {254, 100}})), 3);
    EXPECT_EQ(Detect(Bytes({{220, 10}, {243, 100}, {244, 100}, {245, 100}})), 1);
    // Neither set nor fallback: capitals only point to KOI-8, small letters to Windows-1251,
    // as many of both to nothing.
    EXPECT_EQ(Detect(Bytes({{0xC2, 1000}})), 3);
    EXPECT_EQ(Detect(Bytes({{0xF3, 1000}})), 1);
    EXPECT_EQ(Detect(Bytes({{0xC2, 100}, {0xF3, 100}})), -1);
    // The DOS fallback: many bytes where 866 keeps letters, more 0xB0-0xBF than 0xF0-0xFF, or
    // few 0xF0-0xFF against 0x80-0x8F and 0xA0-0xAF.
    EXPECT_EQ(Detect(Bytes({{0x81, 1000}})), 2);
    EXPECT_EQ(Detect(Bytes({{0xB0, 10}, {0xF3, 5}})), 2);
    EXPECT_EQ(Detect(Bytes({{0x81, 100}, {0xF3, 40}, {0xC2, 60}})), 2);
    EXPECT_EQ(Detect(Bytes({{0x81, 100}, {0xF3, 50}, {0xC2, 60}})), 3);
}

TEST(CodePages, Utf8Conversions) {
    EXPECT_EQ(Utf8ToWindows1251("Ёж и ёлка — №1"), "\xA8\xE6 \xE8 \xB8\xEB\xEA\xE0 \x97 \xB9\x31");
    EXPECT_EQ(Windows1251ToUtf8("\xA8\xE6 \xE8 \xB8\xEB\xEA\xE0 \x97 \xB9\x31"), "Ёж и ёлка — №1");
    EXPECT_EQ(Windows1251ToUtf8("\x98"), "?");  // the one unassigned byte
    EXPECT_EQ(Utf8ToWindows1251("日本"), "??");
    EXPECT_EQ(Utf8ToWindows1251("a\xFF"
                                "b\xD0"),
              "a?b?");  // bad and truncated
    EXPECT_EQ(Utf8ToWindows1251("\xC0\xAF"
                                "x"),
              "??x");                                     // overlong form
    EXPECT_EQ(Utf8ToWindows1251("\xED\xA0\x80"), "???");  // surrogate
    EXPECT_EQ(Utf8ToWindows1251(std::string("a\0b", 3)), std::string("a\0b", 3));
    const std::string all = AllHighBytes();
    std::string expected = all;
    expected[0x98 - 0x80] = '?';
    EXPECT_EQ(Utf8ToWindows1251(Windows1251ToUtf8(all)), expected);
}

TEST(CodePages, CompileTimeLiterals) {
    constexpr auto word = W1251("Ёж-ok");
    EXPECT_EQ(word.view(), "\xA8\xE6-ok");
}

}  // namespace
}  // namespace tovrin
