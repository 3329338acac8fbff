#pragma once

#include <QFont>

namespace tovrin {

// The font a font dialog starts at for `current`: the family and size the system really
// shows it in, so that a stored font the system lacks (or one sized in pixels) is shown as
// its nearest match instead of the dialog's own default.
QFont FontDialogStart(const QFont& current);

// What a confirmed font dialog leaves: `current` itself when the user changed nothing (so a
// stored name the system lacks is kept), else the chosen font.
QFont FontAfterDialog(const QFont& current, const QFont& start, const QFont& chosen);

}  // namespace tovrin
