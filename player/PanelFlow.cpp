#include "player/PanelFlow.h"

#include <QWidget>

#include <algorithm>

namespace tovrin {

PanelFlow::PanelFlow(QWidget* parent, int spacing) : QLayout(parent), gap_(spacing) {
    setContentsMargins(0, 0, 0, 0);
}

PanelFlow::~PanelFlow() {
    for (QLayoutItem* item : items_)
        delete item;
}

void PanelFlow::addItem(QLayoutItem* item) {
    items_.push_back(item);
}

QLayoutItem* PanelFlow::itemAt(int index) const {
    return index >= 0 && index < count() ? items_[size_t(index)] : nullptr;
}

QLayoutItem* PanelFlow::takeAt(int index) {
    if (index < 0 || index >= count()) return nullptr;
    QLayoutItem* item = items_[size_t(index)];
    items_.erase(items_.begin() + index);
    invalidate();
    return item;
}

int PanelFlow::Place(const QRect& rect, bool move) const {
    int x = rect.x(), y = rect.y(), rowHeight = 0;
    for (QLayoutItem* item : items_) {
        if (item->isEmpty()) continue;
        const QSize wanted = item->sizeHint();
        if (x > rect.x() && x + wanted.width() > rect.right() + 1) {
            x = rect.x();
            y += rowHeight + gap_;
            rowHeight = 0;
        }
        if (move) item->setGeometry(QRect(QPoint(x, y), wanted));
        x += wanted.width() + gap_;
        rowHeight = std::max(rowHeight, wanted.height());
    }
    return y + rowHeight - rect.y();
}

int PanelFlow::heightForWidth(int width) const {
    return Place(QRect(0, 0, width, 0), false);
}

// As narrow as the widest control; one row when there is room for all.
QSize PanelFlow::minimumSize() const {
    QSize size;
    for (QLayoutItem* item : items_)
        if (!item->isEmpty()) size = size.expandedTo(item->minimumSize());
    return size;
}

QSize PanelFlow::sizeHint() const {
    int width = 0;
    for (QLayoutItem* item : items_) {
        if (item->isEmpty()) continue;
        width += (width > 0 ? gap_ : 0) + item->sizeHint().width();
    }
    return {width, heightForWidth(width)};
}

void PanelFlow::setGeometry(const QRect& rect) {
    QLayout::setGeometry(rect);
    Place(rect, true);
}

}  // namespace tovrin
