// A font dialog starts at the font as it is shown, and OK without a change keeps the stored font.

#include "dialogs/FontChoice.h"

#include "dialogs/QtTranslations.h"

#include "tests/player/QtApplication.h"

#include <gtest/gtest.h>

#include <cmath>
#include <utility>

#include <QFontDatabase>
#include <QFontDialog>
#include <QFontInfo>
#include <QTranslator>

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

// A real dialog, under the Russian texts the program loads, opened at a stored font and
// confirmed untouched: regular stays regular (not the family's first style, say "Oblique"),
// bold stays bold, italic stays italic, and the stored font comes back unchanged.
TEST(FontChoiceTest, ARealDialogStartsAtTheStoredStyleAndAnUntouchedOkKeepsIt) {
    ASSERT_TRUE(InstallQtTranslations(*qApp, QLocale(QLocale::Russian, QLocale::Russia)));
    for (const auto& [bold, italic] : {std::pair{false, false}, {true, false}, {false, true}}) {
        QFont stored(QStringLiteral("MS Sans Serif"));
        stored.setPointSize(8);
        stored.setBold(bold);
        stored.setItalic(italic);
        const QFont start = FontDialogStart(stored);
        QFontDialog dialog(start);
        dialog.setOption(QFontDialog::DontUseNativeDialog);
        const QFont shown = dialog.currentFont();
        EXPECT_EQ(shown.bold(), bold) << "bold " << bold << " italic " << italic;
        EXPECT_EQ(shown.italic(), italic) << "bold " << bold << " italic " << italic;
        EXPECT_EQ(std::lround(shown.pointSizeF()), 8);
        const QFont kept = FontAfterDialog(stored, start, shown);
        EXPECT_EQ(kept.family(), stored.family());
        EXPECT_EQ(kept.bold(), bold);
        EXPECT_EQ(kept.italic(), italic);
    }
    for (auto* translator : qApp->findChildren<QTranslator*>()) {
        QCoreApplication::removeTranslator(translator);
        delete translator;
    }
}

}  // namespace
}  // namespace tovrin
