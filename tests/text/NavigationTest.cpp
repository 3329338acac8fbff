#include "text/Navigation.h"

#include "tests/text/TextDoc.h"

#include <gtest/gtest.h>

namespace tovrin {
namespace {

using test::TextDoc;

TEST(Navigation, ParagraphSteps) {
    const TextDoc doc("    One a\r\none b\r\n    Two a\r\ntwo b\r\n    Three\r\n");
    LayoutParams layout;
    const auto two = doc.Find("    Two"), three = doc.Find("    Three");
    const auto target = [&](Move move, std::ptrdiff_t caret) {
        return doc.Offset(MoveTarget(layout, move, doc.At(caret)));
    };
    // Down from a first character goes to the next paragraph, not the same one.
    EXPECT_EQ(target(Move::ParagraphDown, 0), two);
    EXPECT_EQ(target(Move::ParagraphDown, 3), two);
    EXPECT_EQ(target(Move::ParagraphDown, two), three);
    EXPECT_EQ(target(Move::ParagraphDown, three), doc.Size());
    EXPECT_EQ(target(Move::ParagraphDown, doc.Size()), doc.Size());
    // Up from inside a paragraph goes to its first line; from its start to the one before.
    EXPECT_EQ(target(Move::ParagraphUp, doc.Find("two b")), two);
    EXPECT_EQ(target(Move::ParagraphUp, two), 0);
    EXPECT_EQ(target(Move::ParagraphUp, 0), 0);
}

TEST(Navigation, SectionSteps) {
    const TextDoc doc("A1\r\n\r\nA2\r\n\r\n\r\nB1\r\n\r\nB2\r\n\r\n\r\nC1\r\n");
    LayoutParams layout;
    layout.AbzType = 1;
    layout.RazdEmpt = 2;
    const auto b1 = doc.Find("B1"), c1 = doc.Find("C1");
    const auto target = [&](Move move, std::ptrdiff_t caret) {
        return doc.Offset(MoveTarget(layout, move, doc.At(caret)));
    };
    EXPECT_EQ(target(Move::SectionDown, 0), b1);
    EXPECT_EQ(target(Move::SectionDown, 1), b1);
    EXPECT_EQ(target(Move::SectionDown, b1), c1);
    EXPECT_EQ(target(Move::SectionDown, c1), doc.Size());
    EXPECT_EQ(target(Move::SectionUp, doc.Find("B2")), b1);
    EXPECT_EQ(target(Move::SectionUp, b1), 0);
    EXPECT_EQ(target(Move::SectionUp, 0), 0);
    EXPECT_EQ(target(Move::SectionUp, doc.Size()), c1);
}

TEST(Navigation, TextsWithoutStructure) {
    LayoutParams layout;
    const TextDoc empty("");
    for (Move move : {Move::ParagraphDown, Move::ParagraphUp, Move::SectionDown, Move::SectionUp})
        EXPECT_EQ(MoveTarget(layout, move, empty.At(0)), empty.At(0));
    const TextDoc line("one line only");
    EXPECT_EQ(MoveTarget(layout, Move::ParagraphDown, line.At(4)), line.At(line.Size()));
    EXPECT_EQ(MoveTarget(layout, Move::SectionUp, line.At(4)), line.At(0));
}

}  // namespace
}  // namespace tovrin
