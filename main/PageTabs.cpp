#include "main/PageTabs.h"

#include <QAccessible>
#include <QAccessibleWidget>
#include <QButtonGroup>
#include <QShortcut>

#include <algorithm>

namespace tovrin {

namespace {

class PageTabAccessible : public QAccessibleWidget {
  public:
    explicit PageTabAccessible(QWidget* tab) : QAccessibleWidget(tab, QAccessible::PageTab) {}

    QAccessible::State state() const override {
        QAccessible::State state = QAccessibleWidget::state();
        auto* tab = static_cast<QAbstractButton*>(widget());
        state.selectable = true;
        state.selected = tab->isChecked();
        return state;
    }
    QString text(QAccessible::Text kind) const override {
        if (kind == QAccessible::Name)
            return static_cast<QAbstractButton*>(widget())->text().remove(QLatin1Char('&'));
        return QAccessibleWidget::text(kind);
    }
    QStringList actionNames() const override { return {QAccessibleActionInterface::pressAction()}; }
    void doAction(const QString& name) override {
        if (name == QAccessibleActionInterface::pressAction())
            static_cast<QAbstractButton*>(widget())->click();
    }
};

QAccessibleInterface* PageTabFactory(const QString& className, QObject* object) {
    if (className == QLatin1String("tovrin::PageTabButton") && object && object->isWidgetType())
        return new PageTabAccessible(static_cast<QWidget*>(object));
    return nullptr;
}

}  // namespace

void InstallPageTabAccessibility() {
    static const bool installed = [] {
        QAccessible::installFactory(PageTabFactory);
        return true;
    }();
    (void)installed;
}

PageTabs::PageTabs(QWidget* parent) : QWidget(parent), pages_(new QStackedWidget(this)) {
    InstallPageTabAccessibility();
    auto* next = new QShortcut(QKeySequence(Qt::CTRL | Qt::Key_Tab), this);
    auto* previous = new QShortcut(QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_Tab), this);
    next->setContext(Qt::WindowShortcut);
    previous->setContext(Qt::WindowShortcut);
    connect(next, &QShortcut::activated, this, [this] { Step(1); });
    connect(previous, &QShortcut::activated, this, [this] { Step(-1); });
    connect(pages_, &QStackedWidget::currentChanged, this, [this](int index) {
        for (int i = 0; i < count(); ++i)
            tabs_[size_t(i)]->setChecked(i == index);
        emit currentChanged(index);
    });
}

int PageTabs::addTab(QWidget* page, const QString& caption) {
    auto* tab = new PageTabButton(this);
    tab->setText(caption);
    tab->setCheckable(true);
    tab->setAutoRaise(true);
    tab->setToolButtonStyle(Qt::ToolButtonTextOnly);
    tab->setAccessibleName(QString(caption).remove(QLatin1Char('&')));
    const int index = pages_->addWidget(page);
    tabs_.push_back(tab);
    connect(tab, &QToolButton::clicked, this, [this, index] { setCurrentIndex(index); });
    tab->setChecked(index == pages_->currentIndex());
    tab->show();
    Relayout();
    return index;
}

void PageTabs::setCurrentIndex(int index) {
    if (index < 0 || index >= count()) return;
    pages_->setCurrentIndex(index);
    tabs_[size_t(index)]->setChecked(true);
}

void PageTabs::Step(int by) {
    if (count() > 0) setCurrentIndex((currentIndex() + by + count()) % count());
}

PageTabs::Placement PageTabs::PlaceTabs(int width, bool move) const {
    int x = 0, y = 0, rowHeight = 0, rows = tabs_.empty() ? 0 : 1;
    for (auto* tab : tabs_) {
        const QSize wanted = tab->sizeHint();
        if (x > 0 && x + wanted.width() > width) {
            x = 0;
            y += rowHeight;
            rowHeight = 0;
            ++rows;
        }
        if (move) tab->setGeometry(x, y, wanted.width(), wanted.height());
        x += wanted.width();
        rowHeight = std::max(rowHeight, wanted.height());
    }
    return {y + rowHeight, rows};
}

void PageTabs::Relayout() {
    const auto [tabsHeight, rows] = PlaceTabs(width(), true);
    rows_ = rows;
    pages_->setGeometry(0, tabsHeight, width(), std::max(0, height() - tabsHeight));
}

void PageTabs::resizeEvent(QResizeEvent*) {
    Relayout();
}

QSize PageTabs::minimumSizeHint() const {
    int widest = 0;
    for (auto* tab : tabs_)
        widest = std::max(widest, tab->sizeHint().width());
    const QSize page = pages_->minimumSizeHint();
    const int width = std::max(widest, page.width());
    return {width, PlaceTabs(width, false).Height + std::max(0, page.height())};
}

int PageTabs::heightForWidth(int width) const {
    return PlaceTabs(width, false).Height + std::max(0, pages_->minimumSizeHint().height());
}

QSize PageTabs::sizeHint() const {
    int all = 0;
    for (auto* tab : tabs_)
        all += tab->sizeHint().width();
    const QSize page = pages_->sizeHint();
    const int width = std::max(all, page.width());
    return {width, PlaceTabs(width, false).Height + std::max(0, page.height())};
}

}  // namespace tovrin
