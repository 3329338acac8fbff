#include "dialogs/ScreenRoom.h"

#include <QDialog>
#include <QEvent>
#include <QLayout>
#include <QScreen>
#include <QVariant>
#include <QScrollBar>
#include <QStyle>

#include <algorithm>

namespace tovrin {

QRect ClientRoom(const QWidget& window, const QScreen& screen) {
    const int titleBar = window.style()->pixelMetric(QStyle::PM_TitleBarHeight, nullptr, &window);
    const int border = titleBar / 2;
    return screen.availableGeometry().adjusted(border, titleBar, -border, -border);
}

QRect MovedInto(QRect place, const QRect& room) {
    place.moveLeft(std::max(room.left(), std::min(place.left(), room.right() + 1 - place.width())));
    place.moveTop(std::max(room.top(), std::min(place.top(), room.bottom() + 1 - place.height())));
    return place;
}

namespace {

// Moves a dialog that grows while open (the print dialog's "more" button) back into its
// screen, as far as it fits.
class ScreenKeeper : public QObject {
  public:
    using QObject::QObject;

    bool eventFilter(QObject* watched, QEvent* event) override {
        auto* window = static_cast<QWidget*>(watched);
        if (event->type() == QEvent::Resize && window->isVisible() && window->screen() != nullptr) {
            const QRect frame = window->frameGeometry();
            const QRect moved = MovedInto(frame, window->screen()->availableGeometry());
            if (moved != frame) window->move(moved.topLeft());
        }
        return false;
    }
};

}  // namespace

void FitDialogToScreen(QDialog& dialog) {
    // Once for a dialog opened again and again.
    static const char* const kept = "tovrinKeptOnScreen";
    if (!dialog.property(kept).toBool()) {
        dialog.setProperty(kept, true);
        dialog.installEventFilter(new ScreenKeeper(&dialog));
    }
    if (dialog.screen() == nullptr) return;
    const QSize room = ClientRoom(dialog, *dialog.screen()).size();
    // A dialog not yet sized opens at its size hint; one sized by its caller, at that size.
    const QSize wanted = dialog.testAttribute(Qt::WA_Resized) ? dialog.size() : dialog.sizeHint();
    if (room.isEmpty() || wanted.boundedTo(room) == wanted) return;
    dialog.resize(wanted.boundedTo(room).expandedTo(dialog.minimumSizeHint()));
}

ShortScreenScroll::ShortScreenScroll(QWidget* content, QLayoutItem* above, QWidget* parent)
    : QScrollArea(parent), above_(above) {
    setFrameShape(QFrame::NoFrame);
    setWidgetResizable(true);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    setWidget(content);
}

QSize ShortScreenScroll::sizeHint() const {
    QSize hint = widget()->sizeHint();
    const QWidget& frame = *window();
    if (frame.screen() == nullptr || frame.layout() == nullptr) return hint;
    // The window's own margins and the row above come off the room as well.
    const QMargins margins = frame.layout()->contentsMargins();
    const int room = ClientRoom(frame, *frame.screen()).height() - margins.top() -
                     margins.bottom() - frame.layout()->spacing() -
                     (above_ != nullptr ? above_->sizeHint().height() : 0);
    if (hint.height() > room && room > 0) {
        hint.setHeight(room);
        hint.rwidth() += verticalScrollBar()->sizeHint().width();
    }
    return hint;
}

}  // namespace tovrin
