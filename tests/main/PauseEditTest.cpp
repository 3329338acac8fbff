#include "dialogs/PauseEdit.h"

#include <QTest>

#include <gtest/gtest.h>

namespace tovrin {
namespace {

// The field's text form and what it shows, for typing and for stored texts.
TEST(PauseEditTest, DigitsEnterFromTheRightAndTheTextFormIsTenths) {
    PauseEdit edit;
    EXPECT_EQ(edit.text(), "0.0");
    EXPECT_EQ(edit.PauseText(), "");

    QTest::keyClicks(&edit, "5");
    EXPECT_EQ(edit.text(), "0.5");
    EXPECT_EQ(edit.PauseText(), "5");
    EXPECT_EQ(edit.Tenths(), 5);

    QTest::keyClicks(&edit, "1");  // the last two digits typed count
    EXPECT_EQ(edit.text(), "5.1");
    edit.selectAll();
    QTest::keyClicks(&edit, "15");
    EXPECT_EQ(edit.text(), "1.5");
    EXPECT_EQ(edit.Tenths(), 15);
    QTest::keyClick(&edit, Qt::Key_Backspace);
    EXPECT_EQ(edit.text(), "0.1");
    EXPECT_EQ(edit.PauseText(), "1");

    EXPECT_TRUE(edit.SetPauseText("2 "));  // a digit in the first place only
    EXPECT_EQ(edit.Tenths(), 20);
    EXPECT_EQ(edit.text(), "2.0");
    for (const char* bad : {"x", "123", "-1", "1.5"}) {
        EXPECT_FALSE(edit.SetPauseText(bad)) << bad;
        EXPECT_EQ(edit.PauseText(), "2 ");
    }
    edit.SetTenths(250);
    EXPECT_EQ(edit.text(), "9.9");
}

}  // namespace
}  // namespace tovrin
