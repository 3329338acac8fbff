// Qt's own texts follow the user's language, and are Russian where Qt has no translation for it.

#include "dialogs/QtTranslations.h"

#include "tests/player/QtApplication.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QDialogButtonBox>
#include <QPushButton>
#include <QTranslator>

namespace tovrin {
namespace {

// The standard buttons' captions under the translation chosen for `locale`; the translation
// is taken away again so that other tests see Qt as it was.
QStringList ButtonTextsFor(const QLocale& locale) {
    EXPECT_TRUE(InstallQtTranslations(*qApp, locale));
    QDialogButtonBox box(QDialogButtonBox::Yes | QDialogButtonBox::No | QDialogButtonBox::Cancel);
    QStringList texts{box.button(QDialogButtonBox::Yes)->text(),
                      box.button(QDialogButtonBox::No)->text(),
                      box.button(QDialogButtonBox::Cancel)->text()};
    for (auto* translator : qApp->findChildren<QTranslator*>()) {
        QCoreApplication::removeTranslator(translator);
        delete translator;
    }
    return texts;
}

TEST(QtTranslationsTest, StandardButtonsSpeakTheUsersLanguageAndRussianOtherwise) {
    const QStringList russian{"&Да", "&Нет", "Отмена"};
    EXPECT_EQ(ButtonTextsFor(QLocale(QLocale::Russian, QLocale::Russia)), russian);
    // No translation of Qt's for these: the program's own language instead of English.
    EXPECT_EQ(ButtonTextsFor(QLocale::c()), russian);
    EXPECT_EQ(ButtonTextsFor(QLocale(QLocale::Swahili, QLocale::Kenya)), russian);
    // A language Qt has is followed.
    EXPECT_EQ(ButtonTextsFor(QLocale(QLocale::German, QLocale::Germany)).last(), "Abbrechen");
    EXPECT_EQ(ButtonTextsFor(QLocale(QLocale::English, QLocale::UnitedStates)).last(), "Cancel");
}

}  // namespace
}  // namespace tovrin
