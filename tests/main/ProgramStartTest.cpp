// The application as the program's start-up prepares it.

#include "main/Program.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QDialogButtonBox>
#include <QPushButton>
#include <QTranslator>

namespace tovrin {
namespace {

TEST(ProgramStartTest, StandardButtonsAreRussianUnderALocaleQtHasNoTextsFor) {
    ASSERT_NE(qApp, nullptr);
    PrepareApplication(*qApp, QLocale::c());
    QDialogButtonBox box(QDialogButtonBox::Yes | QDialogButtonBox::No | QDialogButtonBox::Cancel);
    const QStringList texts{box.button(QDialogButtonBox::Yes)->text(),
                            box.button(QDialogButtonBox::No)->text(),
                            box.button(QDialogButtonBox::Cancel)->text()};
    // Other tests see Qt as it was.
    for (auto* translator : qApp->findChildren<QTranslator*>()) {
        QCoreApplication::removeTranslator(translator);
        delete translator;
    }
    EXPECT_EQ(texts, (QStringList{"&Да", "&Нет", "Отмена"}));
    EXPECT_EQ(QApplication::applicationDisplayName(), "Синтезатор речи");
    EXPECT_FALSE(QApplication::quitOnLastWindowClosed());
}

}  // namespace
}  // namespace tovrin
