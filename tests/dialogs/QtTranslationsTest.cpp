// Qt's own texts follow the user's language, and are Russian where Qt has no translation for it.

#include "dialogs/QtTranslations.h"

#include "tests/player/QtApplication.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QDialogButtonBox>
#include <QDir>
#include <QFileIconProvider>
#include <QPushButton>
#include <QTemporaryFile>
#include <QTranslator>

namespace tovrin {
namespace {

// Takes the translations and the default locale away again, so that other tests see Qt as it was.
void RemoveTranslations() {
    for (auto* translator : qApp->findChildren<QTranslator*>()) {
        QCoreApplication::removeTranslator(translator);
        delete translator;
    }
    QLocale::setDefault(QLocale::system());
}

// The standard buttons' captions under the translation chosen for `locale`; the translation
// is taken away again so that other tests see Qt as it was.
QStringList ButtonTextsFor(const QLocale& locale) {
    EXPECT_TRUE(InstallQtTranslations(*qApp, locale));
    QDialogButtonBox box(QDialogButtonBox::Yes | QDialogButtonBox::No | QDialogButtonBox::Cancel);
    QStringList texts{box.button(QDialogButtonBox::Yes)->text(),
                      box.button(QDialogButtonBox::No)->text(),
                      box.button(QDialogButtonBox::Cancel)->text()};
    RemoveTranslations();
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

// The file dialog's type column: Qt's Russian texts keep "Folder" under the file dialog's
// name only, and a file's type is named by the locale; neither may fall back to English.
TEST(QtTranslationsTest, TheFileDialogNamesFoldersAndFilesInRussian) {
    // A user whose locale Qt has no texts for: Russian instead.
    ASSERT_TRUE(InstallQtTranslations(*qApp, QLocale(QLocale::Swahili, QLocale::Kenya)));
    const QFileIconProvider provider;
    const QString folder = provider.type(QFileInfo(QDir::tempPath()));
    QTemporaryFile book(QDir::tempPath() + QStringLiteral("/book-XXXXXX.txt"));
    ASSERT_TRUE(book.open());
    const QString file = provider.type(QFileInfo(book.fileName()));
    RemoveTranslations();
    EXPECT_EQ(folder, "Папка");
    EXPECT_FALSE(file.contains(QStringLiteral("text"))) << file.toStdString();
    EXPECT_FALSE(file.contains(QStringLiteral("File"))) << file.toStdString();
}

}  // namespace
}  // namespace tovrin
