#include "dialogs/QtTranslations.h"

#include <QCoreApplication>
#include <QLibraryInfo>
#include <QTranslator>

namespace tovrin {

bool InstallQtTranslations(QCoreApplication& application, const QLocale& locale) {
    if (locale.language() == QLocale::English) return true;
    const QString folder = QLibraryInfo::path(QLibraryInfo::TranslationsPath);
    auto* translator = new QTranslator(&application);
    if (translator->load(locale, "qtbase", "_", folder) ||
        translator->load(QLocale(QLocale::Russian, QLocale::Russia), "qtbase", "_", folder)) {
        application.installTranslator(translator);
        return true;
    }
    delete translator;
    return false;
}

}  // namespace tovrin
