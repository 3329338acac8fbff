#include "dialogs/AccessibleToggles.h"

#include <QAbstractButton>
#include <QAccessibleWidget>

namespace tovrin {

void MakeValueHolder(QWidget& holder) {
    holder.setWindowFlag(Qt::Window);
    holder.hide();
}

namespace {

class AccessibleToggle final : public QAccessibleWidget {
  public:
    explicit AccessibleToggle(QAbstractButton* button)
        : QAccessibleWidget(button, QAccessible::CheckBox) {}

    QString text(QAccessible::Text kind) const override {
        QString text = QAccessibleWidget::text(kind);
        if (kind == QAccessible::Name && text.isEmpty()) text = Button()->text().remove('&');
        return text;
    }

    QAccessible::State state() const override {
        QAccessible::State state = QAccessibleWidget::state();
        state.checkable = true;
        state.checked = Button()->isChecked();
        state.pressed = Button()->isDown();
        return state;
    }

    QStringList actionNames() const override {
        QStringList names;
        if (widget()->isEnabled()) names << toggleAction() << pressAction();
        return names + QAccessibleWidget::actionNames();
    }

    void doAction(const QString& action) override {
        if (action != toggleAction() && action != pressAction()) {
            QAccessibleWidget::doAction(action);
            return;
        }
        if (widget()->isEnabled()) Button()->click();
    }

  private:
    QAbstractButton* Button() const { return static_cast<QAbstractButton*>(widget()); }
};

// Asked for the most derived class first, so it is met before the stock tool button's.
QAccessibleInterface* ToggleFactory(const QString&, QObject* object) {
    auto* button = qobject_cast<ToggleButton*>(object);
    return button ? new AccessibleToggle(button) : nullptr;
}

}  // namespace

ToggleButton::ToggleButton(QWidget* parent) : QToolButton(parent) {
    setCheckable(true);
}

void InstallAccessibleToggles() {
    static bool installed = false;
    if (installed) return;
    installed = true;
    QAccessible::installFactory(ToggleFactory);
}

}  // namespace tovrin
