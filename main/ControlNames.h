#pragma once

#include <QWidget>

namespace tovrin {

// Every control carries its name as its object name, and a name for assistive technology.
inline void Name(QWidget* widget, const char* objectName, const QString& accessibleName) {
    widget->setObjectName(QString::fromLatin1(objectName));
    widget->setAccessibleName(accessibleName);
}

// The main window's caption, and the engine switch's two captions.
inline const QString kMainWindowCaption = QStringLiteral("Синтезатор речи");
inline const QString kRunCaption = QStringLiteral("Старт");
inline const QString kStopCaption = QStringLiteral("Стоп");

}  // namespace tovrin
