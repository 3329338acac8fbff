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

}  // namespace tovrin
