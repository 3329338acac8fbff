#pragma once

#include <QLocale>

class QCoreApplication;

namespace tovrin {

// Gives Qt's own texts (standard buttons, the file, colour, font and print dialogs, the
// editor's context menu) in the user's language: the locale's translation where Qt has one,
// Qt's own English for an English locale, and Russian for any other locale, since every text
// of the program itself is Russian. False when no translation could be loaded.
bool InstallQtTranslations(QCoreApplication& application,
                           const QLocale& locale = QLocale::system());

}  // namespace tovrin
