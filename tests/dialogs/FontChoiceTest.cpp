// A font dialog starts at the font as it is shown, and OK without a change keeps the stored font.

#include "dialogs/FontChoice.h"

#include "tests/player/QtApplication.h"

#include <gtest/gtest.h>

#include <QFontDatabase>
#include <QFontInfo>

namespace tovrin {
namespace {

TEST(FontChoiceTest, TheDialogStartsAtTheShownFontAndAnUnchangedOkKeepsTheStoredOne) {
    // A stored font the system lacks, sized in pixels, bold: as the settings keep it.
    QFont stored(QStringLiteral("Шрифт, которого нет"));
    stored.setPixelSize(13);
    stored.setBold(true);
    const QFont start = FontDialogStart(stored);
    EXPECT_EQ(start.family(), QFontInfo(stored).family());
    EXPECT_GT(start.pointSizeF(), 0);
    EXPECT_TRUE(start.bold());

    // The dialog confirmed as it opened: nothing changes, the stored name stays.
    QFont unchanged = start;
    const QFont kept = FontAfterDialog(stored, start, unchanged);
    EXPECT_EQ(kept.family(), stored.family());
    EXPECT_EQ(kept.pixelSize(), 13);
    EXPECT_TRUE(kept.bold());

    // Any change is taken.
    QFont larger = start;
    larger.setPointSizeF(start.pointSizeF() + 4);
    EXPECT_EQ(FontAfterDialog(stored, start, larger), larger);
    QFont plain = start;
    plain.setBold(false);
    EXPECT_FALSE(FontAfterDialog(stored, start, plain).bold());
}

}  // namespace
}  // namespace tovrin
