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
    start.setPointSizeF(shown.pointSizeF() > 0 ? shown.pointSizeF() : 10.0);
    return start;
}

QFont FontAfterDialog(const QFont& current, const QFont& start, const QFont& chosen) {
    return SameChoice(start, chosen) ? current : chosen;
}

}  // namespace tovrin
