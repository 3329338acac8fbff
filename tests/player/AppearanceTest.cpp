// The settings' font and colour records as the player window and the main window's preview
// show them, and the records a chosen font or colour becomes.

#include "player/Appearance.h"

#include "tests/player/QtApplication.h"

#include <QApplication>
#include <QPalette>

#include <gtest/gtest.h>

namespace tovrin {
namespace {

TEST(AppearanceTest, TheStoredPointSizeWinsOverAHeightStoredAtAnotherDpi) {
    // Written on a 120-dot screen: 10 points were 17 pixels there.
    FontRecord record;
    record.Name = "Courier New";
    record.Size = 10;
    record.Height = -17;
    record.Style = 1 | 8;
    QFont font = ToQFont(record);
    EXPECT_EQ(font.pointSize(), 10);
    EXPECT_EQ(font.pixelSize(), -1);
    EXPECT_TRUE(font.bold());
    EXPECT_FALSE(font.italic());
    EXPECT_TRUE(font.strikeOut());
    EXPECT_EQ(font.styleHint(), QFont::TypeWriter);

    // A record with no point size keeps its pixel height.
    record.Size = 0;
    record.Height = -16;
    EXPECT_EQ(ToQFont(record).pixelSize(), 16);
}

TEST(AppearanceTest, AChosenFontKeepsTheRecordsColourAndCharacterSet) {
    FontRecord record;
    record.Color = 0x00123456;
    record.Charset = 255;
    record.Pitch = "fpFixed";
    QFont chosen(QStringLiteral("Serif"));
    chosen.setPointSize(12);
    chosen.setItalic(true);
    chosen.setUnderline(true);
    const FontRecord made = FromQFont(chosen, record);
    EXPECT_EQ(made.Name, "Serif");
    EXPECT_EQ(made.Size, 12);
    EXPECT_EQ(made.Height, -16);  // at 96 dots per inch, as the file keeps it
    EXPECT_EQ(made.Style, 2 | 4);
    EXPECT_EQ(made.Color, 0x00123456);
    EXPECT_EQ(made.Charset, 255);
    EXPECT_EQ(made.Pitch, "fpFixed");
    // Shown again, the record is the same font.
    EXPECT_EQ(ToQFont(made).pointSize(), 12);
    EXPECT_TRUE(ToQFont(made).italic());

    chosen.setPixelSize(20);
    EXPECT_EQ(FromQFont(chosen, record).Height, -20);
    EXPECT_EQ(FromQFont(chosen, record).Size, 15);
}

TEST(AppearanceTest, ColoursGoBothWaysAndSystemColoursFollowThePalette) {
    EXPECT_EQ(ToQColor(0x00336699), QColor(0x99, 0x66, 0x33));
    EXPECT_EQ(FromQColor(QColor(0x99, 0x66, 0x33)), 0x00336699);
    EXPECT_EQ(FromQColor(ToQColor(0x00010203)), 0x00010203);
    const auto windowBackground = static_cast<int32_t>(0x80000005);
    EXPECT_EQ(ToQColor(windowBackground), QApplication::palette().color(QPalette::Base));
}

}  // namespace
}  // namespace tovrin
