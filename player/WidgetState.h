#pragma once

#include <QAbstractButton>
#include <QAction>

namespace tovrin {

// Sets a check state only when it differs, so that no change signal fires for nothing.
inline void SetCheckedQuietly(QAbstractButton* button, bool on) {
    if (button->isChecked() != on) button->setChecked(on);
}

inline void SetCheckedQuietly(QAction* item, bool on) {
    if (item->isChecked() != on) item->setChecked(on);
}

// A hint "short|long": the short part as tooltip, the long one for the status bar.
inline void SetHint(QAbstractButton* button, const QString& hint) {
    button->setToolTip(hint.section(QLatin1Char('|'), 0, 0));
    button->setStatusTip(hint.section(QLatin1Char('|'), 1));
    button->setAccessibleDescription(button->statusTip());
}

}  // namespace tovrin
