#include "dialogs/QtTranslations.h"

#include <QCoreApplication>
#include <QLibraryInfo>
#include <QTranslator>

namespace tovrin {

namespace {

// Qt's Russian texts name folders and files only under the file dialog's context; the file
// dialog's type column asks under the icon provider's, and would show English there.
class QtBaseTranslator : public QTranslator {
  public:
    using QTranslator::QTranslator;

    QString translate(const char* context, const char* source, const char* disambiguation,
                      int n) const override {
        QString text = QTranslator::translate(context, source, disambiguation, n);
        if (text.isEmpty() && qstrcmp(context, "QAbstractFileIconProvider") == 0)
            text = QTranslator::translate("QFileDialog", source, nullptr, n);
        return text;
    }
};

}  // namespace

bool InstallQtTranslations(QCoreApplication& application, const QLocale& locale) {
    if (locale.language() == QLocale::English) return true;
    const QString folder = QLibraryInfo::path(QLibraryInfo::TranslationsPath);
    auto* translator = new QtBaseTranslator(&application);
    if (translator->load(locale, "qtbase", "_", folder)) {
        application.installTranslator(translator);
        return true;
    }
    const QLocale russian(QLocale::Russian, QLocale::Russia);
    if (translator->load(russian, "qtbase", "_", folder)) {
        application.installTranslator(translator);
        // What Qt words by the locale (sizes, the file types' names) speaks Russian as well.
        QLocale::setDefault(russian);
        return true;
    }
    delete translator;
    return false;
}

}  // namespace tovrin
