#pragma once

#include <QLayout>

#include <vector>

namespace tovrin {

// Lays a tool panel's controls out left to right and starts a new row where the next one
// would pass the right edge, so that a narrow window still shows every button.
class PanelFlow : public QLayout {
  public:
    explicit PanelFlow(QWidget* parent, int spacing);
    ~PanelFlow() override;

    void addItem(QLayoutItem* item) override;
    int count() const override { return int(items_.size()); }
    QLayoutItem* itemAt(int index) const override;
    QLayoutItem* takeAt(int index) override;
    Qt::Orientations expandingDirections() const override { return {}; }
    bool hasHeightForWidth() const override { return true; }
    int heightForWidth(int width) const override;
    QSize minimumSize() const override;
    QSize sizeHint() const override;
    void setGeometry(const QRect& rect) override;

  private:
    // Places the items in rows within `rect` (moving them when `move`); the height they take.
    int Place(const QRect& rect, bool move) const;

    std::vector<QLayoutItem*> items_;
    int gap_;
};

}  // namespace tovrin
