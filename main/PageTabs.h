#pragma once

#include <QStackedWidget>
#include <QToolButton>
#include <QWidget>

#include <vector>

namespace tovrin {

// One tab of PageTabs: a checkable button that a screen reader meets as a page tab.
class PageTabButton : public QToolButton {
    Q_OBJECT
  public:
    using QToolButton::QToolButton;
};

// Tab pages whose tabs wrap onto as many rows as the width needs, so that every caption is
// whole at any width and font (a tab bar with scroll arrows hides all but the first pages).
// It drives a stack of pages as a tab widget does; Ctrl+Tab and Ctrl+Shift+Tab move between
// the pages anywhere in the window.
class PageTabs : public QWidget {
    Q_OBJECT

  public:
    explicit PageTabs(QWidget* parent = nullptr);

    int addTab(QWidget* page, const QString& caption);
    int count() const { return int(tabs_.size()); }
    int currentIndex() const { return pages_->currentIndex(); }
    void setCurrentIndex(int index);
    QWidget* widget(int index) const { return pages_->widget(index); }
    QWidget* currentWidget() const { return pages_->currentWidget(); }
    PageTabButton* tabButton(int index) const { return tabs_.at(size_t(index)); }
    // How many rows the tabs take at the present width.
    int tabRows() const { return rows_; }

    QSize minimumSizeHint() const override;
    QSize sizeHint() const override;
    bool hasHeightForWidth() const override { return true; }
    int heightForWidth(int width) const override;

  signals:
    void currentChanged(int index);

  protected:
    void resizeEvent(QResizeEvent* event) override;

  private:
    struct Placement {
        int Height = 0;
        int Rows = 0;
    };
    // Lays the tabs out in rows within `width` (moving them when `move`).
    Placement PlaceTabs(int width, bool move) const;
    void Relayout();
    void Step(int by);

    std::vector<PageTabButton*> tabs_;
    QStackedWidget* pages_;
    int rows_ = 1;
};

// Lets screen readers meet each PageTabButton as a page tab; installed once.
void InstallPageTabAccessibility();

}  // namespace tovrin
