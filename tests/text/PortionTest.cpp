#include "text/Portion.h"

#include "tests/text/TextDoc.h"
#include "text/CodePages.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace tovrin {
namespace {

using test::TextDoc;

constexpr const char* kIndented =
    "    One a\r\none b\r\n    Two a\r\ntwo b\r\ntwo c\r\n    Three\r\n";

PlayerOptions Defaults() {
    PlayerOptions options;
    DefaultPlayerOptions(options);
    return options;
}

std::string TextOf(const Portion& portion) {
    return portion.Text.value_or("<null>");
}

// Reads a document the way the player does and checks what every cut promises.
std::vector<Portion> ReadWhole(const TextDoc& doc, const PlayerOptions& options) {
    std::vector<Portion> portions;
    doc.Install();
    const char* position = doc.At(0);
    const char* end = doc.At(doc.Size());
    while (position < end) {
        Portion portion = PreparePortion(options, position);
        EXPECT_GT(portion.End, position);
        EXPECT_GE(portion.Start, doc.At(0));
        EXPECT_LE(portion.Start, portion.End);
        EXPECT_LE(portion.End, end);
        if (portion.End <= position) break;
        position = portion.End;
        portions.push_back(std::move(portion));
    }
    return portions;
}

TEST(Portion, ParagraphTextsAndPausesAroundParagraphs) {
    const TextDoc doc(kIndented);
    PlayerOptions options = Defaults();
    options.AbzBeg = "W";
    options.AbzBegP = true;
    options.AbzBegPause = 15;
    Portion portion = PreparePortion(options, doc.At(0));
    EXPECT_EQ(doc.Offset(portion.Start), 0);
    EXPECT_EQ(doc.Offset(portion.End), doc.Find("    Two"));
    EXPECT_EQ(TextOf(portion), "W{wait15}    One a\r\none b\r\n");

    // Blank begin text: only the pause goes before the paragraph.
    options.AbzBeg = " \t ";
    EXPECT_EQ(TextOf(PreparePortion(options, doc.At(0))), "{wait15}    One a\r\none b\r\n");

    // End text: its pause is dropped while reading by paragraphs, kept for blocks.
    options = Defaults();
    options.AbzEnd = "E";
    options.AbzEndP = true;
    EXPECT_EQ(TextOf(PreparePortion(options, doc.At(0))), "    One a\r\none b\r\nE");
    options.AbzNoEndP = false;
    EXPECT_EQ(TextOf(PreparePortion(options, doc.At(0))), "    One a\r\none b\r\nE{wait5}");
    options.AbzNoEndP = true;
    options.ReadingType = 1;
    options.BlockSelAbz = true;
    options.BlockPack = false;
    const std::string block = TextOf(PreparePortion(options, doc.At(0)));
    EXPECT_EQ(block.substr(0, 26), "    One a\r\none b\r\nE{wait5}");
}

TEST(Portion, ParagraphPortionStartingInsideAParagraph) {
    const TextDoc doc(kIndented);
    PlayerOptions options = Defaults();
    options.AbzBeg = "B";
    options.AbzEnd = "E";
    const auto inside = doc.Find("two b");
    const Portion portion = PreparePortion(options, doc.At(inside));
    EXPECT_EQ(doc.Offset(portion.Start), inside);
    EXPECT_EQ(doc.Offset(portion.End), doc.Find("    Three"));
    EXPECT_EQ(TextOf(portion), "two b\r\ntwo c\r\nE");
}

TEST(Portion, EndTextOnlyWhereAParagraphReallyEnds) {
    PlayerOptions options = Defaults();
    options.AbzEnd = "E";
    // Ending at an empty line (neither an end nor a start by the layout tests): no end text.
    const TextDoc gap("    A\r\na\r\n\r\n    B\r\n");
    Portion portion = PreparePortion(options, gap.At(0));
    EXPECT_EQ(gap.Offset(portion.End), gap.Find("\r\n\r\n") + 2);
    EXPECT_EQ(TextOf(portion), "    A\r\na\r\n");
    // Ending where the next, deeper indented paragraph begins: end text.
    const TextDoc indented(kIndented);
    EXPECT_EQ(TextOf(PreparePortion(options, indented.At(0))), "    One a\r\none b\r\nE");
}

TEST(Portion, LongParagraphIsCutAt34816Bytes) {
    std::string text = "    ";
    while (text.size() < 40000)
        text += "word word word word word word word word word word\r\n";
    text += "    Next\r\n";
    const TextDoc doc(text);
    PlayerOptions options = Defaults();
    options.AbzBeg = "B";
    options.AbzEnd = "E";
    const Portion first = PreparePortion(options, doc.At(0));
    EXPECT_EQ(first.End - first.Start, 34816);
    const std::string& firstText = *first.Text;
    EXPECT_EQ(firstText.substr(0, 5), "B    ");
    EXPECT_NE(firstText.back(), 'E');

    // The cut fell inside a line, so the rest starts without the begin text and ends with E.
    const Portion second = PreparePortion(options, first.End);
    EXPECT_EQ(second.Start, first.End);
    EXPECT_EQ(doc.Offset(second.End), doc.Find("    Next"));
    EXPECT_NE(second.Text->front(), 'B');
    EXPECT_EQ(second.Text->back(), 'E');
}

TEST(Portion, ReadingByLines) {
    const TextDoc doc("first line\r\nsecond line\r\n\r\nlast");
    PlayerOptions options = Defaults();
    options.ReadingType = 2;
    options.AbzBeg = "B";
    Portion portion = PreparePortion(options, doc.At(3));
    EXPECT_EQ(doc.Offset(portion.Start), 0);
    EXPECT_EQ(doc.Offset(portion.End), 10);
    EXPECT_EQ(TextOf(portion), "first line");
    // From the carriage return the next line is read whole.
    portion = PreparePortion(options, portion.End);
    EXPECT_EQ(doc.Offset(portion.Start), doc.Find("second"));
    EXPECT_EQ(TextOf(portion), "second line");

    const std::vector<Portion> all = ReadWhole(doc, options);
    ASSERT_EQ(all.size(), 4u);
    EXPECT_EQ(TextOf(all[2]), "");
    EXPECT_EQ(TextOf(all[3]), "last");
}

// Paragraphs of exactly 300 bytes: a first line indented by four and two body lines.
std::string Paragraph300(char letter) {
    return "    " + std::string(94, letter) + "\r\n" + std::string(98, letter) + "\r\n" +
           std::string(98, letter) + "\r\n";
}

TEST(Portion, PackedBlocksHoldWholeWrappedParagraphs) {
    std::string text;
    for (char letter = 'a'; letter <= 'j'; ++letter)
        text += Paragraph300(letter);
    const TextDoc doc(text);
    PlayerOptions options = Defaults();
    options.ReadingType = 1;
    options.BlockSize = 1024;
    options.AbzBeg = "[";
    options.AbzEnd = "]";
    options.BlockMsg = "#";
    const auto packed = [](char letter) {
        return "[ " + std::string(94, letter) + " " + std::string(98, letter) + " " +
               std::string(98, letter) + " ]";
    };
    const std::vector<Portion> blocks = ReadWhole(doc, options);
    ASSERT_EQ(blocks.size(), 4u);
    EXPECT_EQ(TextOf(blocks[0]), packed('a') + packed('b') + packed('c') + "#");
    EXPECT_EQ(doc.Offset(blocks[0].End), 900);
    EXPECT_EQ(TextOf(blocks[3]), packed('j') + "#");

    // A text shorter than the block size is one block.
    options.BlockSize = 32768;
    EXPECT_EQ(ReadWhole(doc, options).size(), 1u);
}

TEST(Portion, BlocksWithoutParagraphSelection) {
    std::string text;
    for (char letter = 'a'; letter <= 'j'; ++letter)
        text += Paragraph300(letter);
    const TextDoc doc(text);
    PlayerOptions options = Defaults();
    options.ReadingType = 1;
    options.BlockSize = 1024;
    options.BlockSelAbz = false;
    options.BlockMsg = "#";
    options.AbzBeg = "[";
    // The cut moves back to the start of the paragraph that holds it; no paragraph texts.
    const Portion portion = PreparePortion(options, doc.At(0));
    EXPECT_EQ(doc.Offset(portion.End), 900);
    EXPECT_EQ(TextOf(portion), text.substr(0, 900) + "#");

    options.BlockOrgAbz = false;
    EXPECT_EQ(doc.Offset(PreparePortion(options, doc.At(0)).End), 1024);
}

TEST(Portion, OverlongParagraphInBlocksIsCutAtALineStart) {
    std::string text = "    ";
    while (text.size() < 60000)
        text += "line line line line line line line line line\r\n";
    const TextDoc doc(text);
    PlayerOptions options = Defaults();
    options.ReadingType = 1;
    options.BlockSize = 4096;
    options.AbzBeg = "B";
    options.AbzEnd = "E";
    const Portion portion = PreparePortion(options, doc.At(0));
    EXPECT_LT(portion.End - portion.Start, 4096);
    EXPECT_EQ(portion.End[-1], '\n');  // at a line start
    EXPECT_EQ(portion.Text->front(), 'B');
    EXPECT_NE(portion.Text->back(), 'E');
    const Portion next = PreparePortion(options, portion.End);
    EXPECT_NE(next.Text->front(), 'B');
}

TEST(Portion, AtTheEndOfTheText) {
    const TextDoc doc(kIndented);
    PlayerOptions options = Defaults();
    options.AbzBeg = "B";
    const char* end = doc.At(doc.Size());
    Portion portion = PreparePortion(options, end);
    EXPECT_EQ(portion.Start, end);
    EXPECT_EQ(portion.End, end);
    EXPECT_EQ(TextOf(portion), "");
    options.ReadingType = 1;
    EXPECT_FALSE(PreparePortion(options, end).Text.has_value());
    options.ReadingType = 2;
    EXPECT_EQ(TextOf(PreparePortion(options, end)), "");

    // Only empty lines left: the portion runs to the end with nothing to read.
    const TextDoc tail("    A\r\n\r\n\r\n  \r\n");
    for (int type = 0; type <= 2; ++type) {
        options.ReadingType = type;
        const std::vector<Portion> all = ReadWhole(tail, options);
        ASSERT_FALSE(all.empty());
        EXPECT_EQ(all.back().End, tail.At(tail.Size()));
    }
}

TEST(Portion, DosTextIsRecodedAndCleaned) {
    std::string text = Utf8ToWindows1251("    Пере-\r\nнос и {wait5} конец.\r\n");
    RecodeText(1, 2, text.data());
    const TextDoc doc(text);
    PlayerOptions options = Defaults();
    options.CodePage = 2;
    const Portion portion = PreparePortion(options, doc.At(0));
    EXPECT_EQ(TextOf(portion),
              Utf8ToWindows1251("    Перенос и " + std::string(7, ' ') + " конец.\r\n"));
}

TEST(Portion, EveryReadingModeCutsAwkwardTextsToTheEnd) {
    std::string mixed = "\r\n\r\n    " + std::string(40000, 'x') + "\r\n\tshort\r\n\f\r\n";
    for (int i = 0; i < 200; ++i)
        mixed += (i % 7 ? "body line\r\n" : "    first line\r\n");
    const std::vector<std::string> texts = {"",    "no line break", std::string(5 << 20, 'y'),
                                            mixed, "\r\r\r\n\n\n",  "   \t"};
    for (const std::string& text : texts) {
        const TextDoc doc(text);
        for (int type = 0; type <= 2; ++type) {
            for (bool select : {true, false}) {
                PlayerOptions options = Defaults();
                options.ReadingType = type;
                options.BlockSelAbz = select;
                options.BlockSize = type == 1 && select ? 1024 : 32768;
                options.AbzBeg = "B";
                const std::vector<Portion> all = ReadWhole(doc, options);
                if (!text.empty()) {
                    ASSERT_FALSE(all.empty());
                    EXPECT_EQ(all.back().End, doc.At(doc.Size()));
                }
            }
        }
    }
}

}  // namespace
}  // namespace tovrin
