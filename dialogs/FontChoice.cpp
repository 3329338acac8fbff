#include "dialogs/FontChoice.h"

#include <QFontInfo>

#include <cmath>

namespace tovrin {

namespace {

bool SameChoice(const QFont& a, const QFont& b) {
    return a.family() == b.family() && std::lround(a.pointSizeF()) == std::lround(b.pointSizeF()) &&
           a.bold() == b.bold() && a.italic() == b.italic() && a.underline() == b.underline() &&
           a.strikeOut() == b.strikeOut();
}

}  // namespace

QFont FontDialogStart(const QFont& current) {
    const QFontInfo shown(current);
    QFont start = current;
    start.setFamily(shown.family());
    // The dialog finds the style by its name in the family's list; the name it would make up
    // from weight and slant ("Normal", or its translation) is not there for most families,
    // and it would then start at the family's first style.
    start.setStyleName(shown.styleName());
    start.setPointSizeF(shown.pointSizeF() > 0 ? shown.pointSizeF() : 10.0);
    return start;
}

QFont FontAfterDialog(const QFont& current, const QFont& start, const QFont& chosen) {
    return SameChoice(start, chosen) ? current : chosen;
}

}  // namespace tovrin
