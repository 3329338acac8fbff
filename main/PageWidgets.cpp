#include "main/PageWidgets.h"

#include "main/ControlNames.h"
#include "text/CodePages.h"

#include <QButtonGroup>
#include <QCheckBox>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLineEdit>
#include <QListWidget>
#include <QRadioButton>
#include <QSlider>
#include <QTimeEdit>
#include <QToolButton>
#include <QVBoxLayout>

#include <algorithm>

namespace tovrin {

QVBoxLayout* PagePanel(QWidget* page, const char* panelName, QWidget*& panel) {
    panel = new QWidget(page);
    panel->setObjectName(QString::fromLatin1(panelName));
    auto* outer = new QVBoxLayout(page);
    outer->setContentsMargins(0, 0, 0, 0);
    outer->addWidget(panel);
    auto* layout = new QVBoxLayout(panel);
    layout->setContentsMargins(2, 2, 2, 2);
    return layout;
}

QBoxLayout* PageColumns(QVBoxLayout* layout, QVBoxLayout*& first, QVBoxLayout*& second) {
    auto* columns = new QBoxLayout(QBoxLayout::TopToBottom);
    columns->setObjectName(QStringLiteral("PageColumns"));
    layout->addLayout(columns);
    first = new QVBoxLayout;
    second = new QVBoxLayout;
    columns->addLayout(first);
    columns->addLayout(second);
    return columns;
}

void SetPageCompact(QWidget* page, bool compact) {
    for (QBoxLayout* columns : page->findChildren<QBoxLayout*>(QStringLiteral("PageColumns")))
        columns->setDirection(compact ? QBoxLayout::LeftToRight : QBoxLayout::TopToBottom);
    for (QListWidget* list : page->findChildren<QListWidget*>()) {
        const int row = std::max(list->sizeHintForRow(0), list->fontMetrics().height());
        list->setMinimumHeight(compact ? 3 * row + 2 * list->frameWidth() : 0);
    }
    // Room for the handle and a few steps of travel.
    for (QSlider* bar : page->findChildren<QSlider*>())
        if (bar->orientation() == Qt::Vertical)
            bar->setMinimumHeight(compact ? 3 * bar->fontMetrics().height() : 0);
    // Sizes cached for the one shape are stale for the other.
    for (QLayout* layout : page->findChildren<QLayout*>())
        layout->invalidate();
    for (QWidget* widget : page->findChildren<QWidget*>())
        if (widget->layout()) widget->updateGeometry();
    page->updateGeometry();
}

QString FromStored(const std::string& text) {
    if (IsValidUtf8(text)) return QString::fromStdString(text);
    return QString::fromStdString(Windows1251ToUtf8(text));  // a file from older days
}

std::string To1251(const QString& text) {
    return Utf8ToWindows1251(text.toStdString());
}

QSlider* VoiceBar(QWidget* parent, const char* name, const QString& hint, int maximum) {
    auto* bar = new QSlider(Qt::Vertical, parent);
    Name(bar, name, hint);
    bar->setToolTip(hint);
    bar->setRange(0, maximum);
    bar->setPageStep(1);
    bar->setTickPosition(QSlider::TicksBothSides);
    bar->setTickInterval(maximum > 9 ? 16 : 1);
    bar->setInvertedAppearance(true);  // position 0 at the top
    bar->setInvertedControls(true);
    return bar;
}

QLineEdit* Edit(QWidget* parent, const char* name, const QString& hint) {
    auto* edit = new QLineEdit(parent);
    Name(edit, name, hint);
    edit->setToolTip(hint);
    return edit;
}

QCheckBox* Check(QWidget* parent, const char* name, const QString& caption, bool checked) {
    auto* box = new QCheckBox(caption, parent);
    Name(box, name, caption);
    box->setChecked(checked);
    return box;
}

QButtonGroup* RadioGroup(QGroupBox* box, const char* name, const QString& caption,
                         const std::vector<QString>& items, bool horizontal, int checked) {
    Name(box, name, caption);
    box->setTitle(caption);
    auto* group = new QButtonGroup(box);
    group->setObjectName(QString::fromLatin1(name));
    QBoxLayout* layout = horizontal ? static_cast<QBoxLayout*>(new QHBoxLayout(box))
                                    : static_cast<QBoxLayout*>(new QVBoxLayout(box));
    layout->setContentsMargins(2, 2, 2, 2);
    for (int i = 0; i < static_cast<int>(items.size()); ++i) {
        auto* radio = new QRadioButton(items[i], box);
        radio->setObjectName(QStringLiteral("%1_%2").arg(QString::fromLatin1(name)).arg(i));
        radio->setAccessibleName(items[i]);
        group->addButton(radio, i);
        layout->addWidget(radio);
    }
    if (QAbstractButton* button = group->button(checked)) button->setChecked(true);
    return group;
}

void SetGroupIndex(QButtonGroup* group, int index) {
    if (QAbstractButton* button = group->button(index)) {
        button->setChecked(true);
    } else if (QAbstractButton* current = group->checkedButton()) {
        group->setExclusive(false);  // no item chosen
        current->setChecked(false);
        group->setExclusive(true);
    }
}

QToolButton* PictureButton(QWidget* parent, const char* name, const QString& hint,
                           QStyle::StandardPixmap picture) {
    auto* button = new QToolButton(parent);
    Name(button, name, hint);
    button->setToolTip(hint);
    button->setIcon(parent->style()->standardIcon(picture));
    return button;
}

QTimeEdit* TimePicker(QWidget* parent, const char* name, const QString& caption, QTime time) {
    auto* picker = new QTimeEdit(time, parent);
    Name(picker, name, caption);
    picker->setDisplayFormat(QStringLiteral("HH:mm"));
    return picker;
}

}  // namespace tovrin
