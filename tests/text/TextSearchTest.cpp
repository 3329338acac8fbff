#include "text/TextSearch.h"

#include "tests/text/TextDoc.h"
#include "text/CodePages.h"

#include <gtest/gtest.h>

#include <iterator>
#include <random>
#include <string>

namespace tovrin {
namespace {

using test::TextDoc;

std::string W(const char* utf8) {
    return Utf8ToWindows1251(utf8);
}

FindRequest Request(const char* utf8Pattern) {
    FindRequest request;
    request.Find = W(utf8Pattern);
    return request;
}

// Offsets of every match, searching on from each match as the find dialog repeats.
std::vector<std::ptrdiff_t> AllMatches(const TextDoc& doc, const FindRequest& request) {
    std::vector<std::ptrdiff_t> found;
    const char* position = request.Down ? doc.At(0) : doc.At(doc.Size());
    for (;;) {
        const FindResult result = FindMatch({}, position, request);
        if (!result.Found) break;
        found.push_back(doc.Offset(result.Start));
        position = result.Start;
    }
    return found;
}

TEST(TextSearch, MaskNormalisationAndRefusedMasks) {
    FindRequest request;
    request.AsMask = true;
    for (const char* refused : {"*", "**", "*?*", "?*", "  ", "* *", ""}) {
        request.Find = refused;
        EXPECT_FALSE(MaskIsUsable(request)) << refused;
    }
    request.Find = "a*?b";
    EXPECT_TRUE(MaskIsUsable(request));
    request.AsMask = false;
    request.Find = "*";
    EXPECT_TRUE(MaskIsUsable(request));

    // "a*?b" becomes "a*b", so it matches "ab" with nothing between.
    const TextDoc doc(" xab");
    request.AsMask = true;
    request.Find = "a*?b";
    request.Select = true;
    const FindResult result = FindMatch({}, doc.At(0), request);
    ASSERT_TRUE(result.Found);
    EXPECT_EQ(doc.Offset(result.Start), 2);
    EXPECT_EQ(doc.Offset(result.End), 4);
}

TEST(TextSearch, MasksWithStarAndQuestionMark) {
    // Searching down skips the cursor's character, so the text starts with a blank.
    const TextDoc doc(W(" кот и кит, к т; котлета\r\nскот\r\n"));
    FindRequest request = Request("к?т");
    request.AsMask = true;
    EXPECT_EQ(AllMatches(doc, request),
              (std::vector<std::ptrdiff_t>{doc.Find(W("кот")), doc.Find(W("кит")),
                                           doc.Find(W("котлета")), doc.Find(W("скот")) + 1}));

    request = Request("*кот*");
    request.AsMask = true;
    request.WordOnly = true;
    EXPECT_EQ(AllMatches(doc, request).size(), 3u);  // кот, котлета, скот

    request = Request("к*а");
    request.AsMask = true;
    request.Select = true;
    const FindResult spread = FindMatch({}, doc.At(0), request);
    ASSERT_TRUE(spread.Found);
    EXPECT_EQ(doc.Offset(spread.Start), doc.Find(W("кот")));
    EXPECT_EQ(doc.Offset(spread.End), doc.Find(W("котлета")) + 7);
}

TEST(TextSearch, WholeWords) {
    const TextDoc doc(W("котлета и кот\r\nи\r\n"));
    FindRequest request = Request("кот");
    request.WordOnly = true;
    FindResult result = FindMatch({}, doc.At(0), request);
    ASSERT_TRUE(result.Found);
    EXPECT_EQ(doc.Offset(result.Start), doc.Find(W(" кот")) + 1);

    request.AsMask = true;
    request.Find = W("кот*");
    result = FindMatch({}, doc.At(doc.Size()), {request.Find, true, true, false, false, false});
    ASSERT_TRUE(result.Found);
    EXPECT_EQ(doc.Offset(result.Start), doc.Find(W(" кот")) + 1);
    result = FindMatch({}, result.Start, {request.Find, true, true, false, false, false});
    ASSERT_TRUE(result.Found);
    EXPECT_EQ(doc.Offset(result.Start), 0);  // the mask finds котлета

    // A literal "?" is no letter, so it does not stop a whole-word search from matching; a
    // mask's "?" stands for a letter of the word.
    const TextDoc question(W(" что? чтоб да"));
    request = Request("что?");
    request.WordOnly = true;
    result = FindMatch({}, question.At(0), request);
    ASSERT_TRUE(result.Found);
    EXPECT_EQ(question.Offset(result.Start), 1);
    request.AsMask = true;
    result = FindMatch({}, question.At(0), request);
    ASSERT_TRUE(result.Found);
    EXPECT_EQ(question.Offset(result.Start), question.Find(W("чтоб")));
    doc.Install();

    // A one-letter word alone on its line.
    request = Request("и");
    request.WordOnly = true;
    result = FindMatch({}, doc.At(doc.Find(W("и кот"))), request);
    ASSERT_TRUE(result.Found);
    EXPECT_EQ(doc.Offset(result.Start), doc.Find(W("\r\nи")) + 2);
}

TEST(TextSearch, DirectionCursorAndSelection) {
    const TextDoc doc("abc abc\r\nabc");
    FindRequest request;
    request.Find = "ABC";  // case is ignored unless asked for
    // Down skips the character at the cursor.
    FindResult result = FindMatch({}, doc.At(0), request);
    ASSERT_TRUE(result.Found);
    EXPECT_EQ(doc.Offset(result.Start), 4);
    EXPECT_EQ(result.End, result.Start);
    request.Select = true;
    result = FindMatch({}, doc.At(4), request);
    EXPECT_EQ(doc.Offset(result.Start), 9);
    EXPECT_EQ(doc.Offset(result.End), 12);
    result = FindMatch({}, doc.At(9), request);
    EXPECT_FALSE(result.Found);
    EXPECT_EQ(doc.Offset(result.Start), 9);
    EXPECT_EQ(doc.Offset(result.End), 9);

    // Up skips the character before the cursor (the find dialog starts one past its
    // selection), so a match ending at the cursor is not found.
    request.Down = false;
    result = FindMatch({}, doc.At(doc.Size()), request);
    EXPECT_EQ(doc.Offset(result.Start), 4);
    EXPECT_EQ(doc.Offset(result.End), 7);
    result = FindMatch({}, doc.At(10), request);
    EXPECT_EQ(doc.Offset(result.Start), 4);
    const TextDoc dotted("abc abc\r\nabc.");
    result = FindMatch({}, dotted.At(dotted.Size()), request);
    EXPECT_EQ(dotted.Offset(result.Start), 9);
    doc.Install();
    result = FindMatch({}, doc.At(4), request);
    EXPECT_EQ(doc.Offset(result.Start), 0);
    EXPECT_FALSE(FindMatch({}, doc.At(0), request).Found);

    request.CaseOnly = true;
    EXPECT_FALSE(FindMatch({}, doc.At(10), request).Found);
    request.Find = "abc";
    EXPECT_TRUE(FindMatch({}, doc.At(10), request).Found);
}

TEST(TextSearch, CyrillicCaseAndDosCodePage) {
    std::string text = W("Первая строка\r\nЁлка у дома\r\nконец");
    RecodeText(1, 2, text.data());
    const TextDoc doc(text);
    LayoutParams layout;
    layout.CodePage = 2;
    FindRequest request = Request("ёлка");
    request.Down = false;
    request.Select = true;
    const FindResult result = FindMatch(layout, doc.At(doc.Size()), request);
    ASSERT_TRUE(result.Found);
    EXPECT_EQ(doc.Offset(result.Start), doc.Find("\r\n") + 2);
    EXPECT_EQ(result.End - result.Start, 4);
}

TEST(TextSearch, LongLinesAreSearchedInTheirFirst1024Characters) {
    const std::string line = std::string(1100, 'x') + "needle";
    const TextDoc doc("\r\n" + line + "\r\nneedle");
    FindRequest request;
    request.Find = "needle";
    const FindResult result = FindMatch({}, doc.At(0), request);
    ASSERT_TRUE(result.Found);
    EXPECT_EQ(doc.Offset(result.Start), doc.Size() - 6);
    // Searching up, the part of the line nearest the cursor is examined.
    request.Down = false;
    const FindResult up = FindMatch({}, doc.At(doc.Size() - 7), request);
    ASSERT_TRUE(up.Found);
    EXPECT_EQ(doc.Offset(up.Start), 2 + 1100);
}

TEST(TextSearch, BoundsAndDegenerateTexts) {
    FindRequest request;
    request.Find = "a";
    const TextDoc empty("");
    EXPECT_FALSE(FindMatch({}, empty.At(0), request).Found);
    request.Down = false;
    EXPECT_FALSE(FindMatch({}, empty.At(0), request).Found);
    const TextDoc single("a");
    EXPECT_FALSE(FindMatch({}, single.At(1), request).Found);
    EXPECT_FALSE(FindMatch({}, single.At(2), request).Found);  // beyond the end: the end
    request.Down = true;
    EXPECT_FALSE(FindMatch({}, single.At(0), request).Found);
    EXPECT_FALSE(FindMatch({}, single.At(1), request).Found);
    request.Find = "";
    EXPECT_FALSE(FindMatch({}, single.At(0), request).Found);
}

// Plain patterns on random short lines: searching down finds the first occurrence after the
// cursor (past line feeds beside it), searching up the last one that ends before the character
// before the cursor; case is folded unless asked for.
TEST(TextSearch, PlainSearchFindsTheNearestOccurrenceEitherWay) {
    std::mt19937 random(1208);
    const char alphabet[] = {'a', 'a', 'A', 'b', 'B', ' ', '\r', '\n', '\t'};
    const char* patterns[] = {"a", "ab", "BA", "a b", "aa", "b b"};
    for (int round = 0; round < 200; ++round) {
        std::string text(random() % 60, ' ');
        for (char& c : text)
            c = alphabet[random() % sizeof alphabet];
        const TextDoc doc(text);
        FindRequest request;
        request.Find = patterns[round % std::size(patterns)];
        request.CaseOnly = round % 4 == 0;
        const auto fold = [&](std::string s) {
            for (char& c : s) {
                if (c == '\t') c = ' ';
                if (!request.CaseOnly && c >= 'a' && c <= 'z') c = static_cast<char>(c - 32);
            }
            return s;
        };
        // Tabs in the text match blanks of the pattern.
        const std::string folded = fold(text), pattern = fold(request.Find);
        const std::ptrdiff_t size = doc.Size(), m = static_cast<std::ptrdiff_t>(pattern.size());
        for (std::ptrdiff_t p = 0; p <= size; ++p) {
            std::ptrdiff_t c = p + 1;
            while (c < size && text[static_cast<size_t>(c)] == '\n')
                ++c;
            const size_t down =
                p < size ? folded.find(pattern, static_cast<size_t>(c)) : std::string::npos;
            request.Down = true;
            FindResult result = FindMatch({}, doc.At(p), request);
            ASSERT_EQ(result.Found, down != std::string::npos) << round << " " << p;
            if (result.Found) {
                ASSERT_EQ(doc.Offset(result.Start), static_cast<std::ptrdiff_t>(down));
            }

            c = p - 1;
            while (c > 0 && text[static_cast<size_t>(c)] == '\n')
                --c;
            const size_t up = p > 0 && c - m >= 0
                                  ? folded.rfind(pattern, static_cast<size_t>(c - m))
                                  : std::string::npos;
            request.Down = false;
            result = FindMatch({}, doc.At(p), request);
            ASSERT_EQ(result.Found, up != std::string::npos) << round << " " << p;
            if (result.Found) {
                ASSERT_EQ(doc.Offset(result.Start), static_cast<std::ptrdiff_t>(up));
            }
        }
    }
}

}  // namespace
}  // namespace tovrin
