#pragma once

// Whether every caption of a window is whole: each visible label, button and group box is at
// least as wide as its text needs in its own font and style.

#include <QAbstractButton>
#include <QGroupBox>
#include <QLabel>
#include <QStyle>
#include <QWidget>

#include <string>
#include <vector>

namespace tovrin::test {

// The width a caption needs: the control's own least width, which its style computes from
// its text, font and margins; a wrapping label needs only its longest word.
inline int NeededWidth(const QWidget& widget) {
    if (auto* label = qobject_cast<const QLabel*>(&widget)) {
        if (label->wordWrap() || label->text().isEmpty()) return 0;
        return label->minimumSizeHint().width();
    }
    if (auto* box = qobject_cast<const QGroupBox*>(&widget)) {
        const int title = box->fontMetrics().horizontalAdvance(box->title());
        return title + 2 * box->style()->pixelMetric(QStyle::PM_CheckBoxLabelSpacing, nullptr, box);
    }
    if (auto* button = qobject_cast<const QAbstractButton*>(&widget)) {
        if (button->text().isEmpty()) return 0;
        return button->sizeHint().width();
    }
    return 0;
}

// The controls of `window` shown now whose caption is cut, as "name: needs N, has M".
inline std::vector<std::string> CutCaptions(const QWidget& window) {
    std::vector<std::string> cut;
    for (const QWidget* widget : window.findChildren<QWidget*>()) {
        if (!widget->isVisibleTo(&window) || widget->objectName().startsWith("qt_")) continue;
        const int needed = NeededWidth(*widget);
        if (needed > widget->width())
            cut.push_back(widget->objectName().toStdString() + " \"" +
                          widget->accessibleName().toStdString() + "\": needs " +
                          std::to_string(needed) + ", has " + std::to_string(widget->width()));
    }
    return cut;
}

}  // namespace tovrin::test
