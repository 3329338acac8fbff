#include "dialogs/TalkFind.h"

#include "dialogs/AccessibleToggles.h"
#include "text/CodePages.h"
#include "text/TextFinder.h"

#include <QCheckBox>
#include <QComboBox>
#include <QGridLayout>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QLineEdit>
#include <QPushButton>

#include <algorithm>
#include <cstdio>
#include <exception>

namespace tovrin {
namespace {

constexpr int kPatternLength = 120;
constexpr int kHistoryLength = 100;

// Restores the cursor however the search ends.
class BusyCursor {
  public:
    BusyCursor() { QGuiApplication::setOverrideCursor(Qt::WaitCursor); }
    ~BusyCursor() { QGuiApplication::restoreOverrideCursor(); }
    BusyCursor(const BusyCursor&) = delete;
    BusyCursor& operator=(const BusyCursor&) = delete;
};

}  // namespace

TFrmFind::TFrmFind(QWidget* owner, FindTarget* target)
    : QDialog(owner, Qt::Tool | Qt::WindowStaysOnTopHint), target_(target) {
    setObjectName(QStringLiteral("FrmFind"));
    setWindowTitle(QStringLiteral("Поиск фрагмента"));
    setAccessibleName(windowTitle());
    auto* layout = new QGridLayout(this);
    layout->setContentsMargins(4, 4, 4, 4);
    layout->setSpacing(2);

    find_ = new QComboBox(this);
    find_->setObjectName(QStringLiteral("Find"));
    find_->setEditable(true);
    // The history is kept by the search itself; Enter must not add to it.
    find_->setInsertPolicy(QComboBox::NoInsert);
    find_->setMaxCount(kHistoryLength + 1);
    find_->lineEdit()->setMaxLength(kPatternLength);
    find_->setToolTip(QStringLiteral("Строка или маска для поиска"));
    find_->setAccessibleName(find_->toolTip());
    find_->lineEdit()->setAccessibleName(find_->toolTip());
    find_->setMinimumWidth(200);
    layout->addWidget(find_, 0, 0, 1, 4);

    asMask_ = AddCheck("AsMask", QStringLiteral("Маска"),
                       QStringLiteral("Использовать маску * и ?"), true);
    caseOnly_ = AddCheck("CaseOnly", QStringLiteral("Регистр"),
                         QStringLiteral("Различать размер букв"), false);
    wordOnly_ = AddCheck("WordOnly", QStringLiteral("Слова"),
                         QStringLiteral("Искать только на границах слов"), true);
    select_ = AddCheck("Select", QStringLiteral("Метка"),
                       QStringLiteral("Выделять найденные слова"), true);
    layout->addWidget(asMask_, 1, 0);
    layout->addWidget(caseOnly_, 1, 1);
    layout->addWidget(wordOnly_, 1, 2);
    layout->addWidget(select_, 1, 3);
    down_ = AddCheck("Down", QString(), QString(), true);
    MakeValueHolder(*down_);
    down_->setEnabled(false);

    btnDown_ = AddButton("BtnDown", QStringLiteral("\\/"), QStringLiteral("Искать вниз по тексту"));
    btnUp_ = AddButton("BtnUp", QStringLiteral("/\\"), QStringLiteral("Искать вверх по тексту"));
    btnCancel_ = AddButton("BtnCancel", QStringLiteral("&Конец"), QStringLiteral("Закрыть окно"));
    layout->addWidget(btnDown_, 2, 0);
    layout->addWidget(btnUp_, 2, 1);
    layout->addWidget(btnCancel_, 2, 3);
    connect(btnDown_, &QPushButton::clicked, this, [this] { BtnFindClick(btnDown_); });
    connect(btnUp_, &QPushButton::clicked, this, [this] { BtnFindClick(btnUp_); });
    connect(btnCancel_, &QPushButton::clicked, this, &QDialog::close);

    // The dialog sees key presses before its controls do.
    for (QWidget* child : findChildren<QWidget*>())
        child->installEventFilter(this);
    layout->setSizeConstraint(QLayout::SetFixedSize);
}

QCheckBox* TFrmFind::AddCheck(const char* name, const QString& caption, const QString& hint,
                              bool on) {
    auto* box = new QCheckBox(caption, this);
    box->setObjectName(QString::fromLatin1(name));
    box->setChecked(on);
    box->setToolTip(hint);
    box->setAccessibleName(caption.isEmpty() ? QString::fromLatin1(name) : caption);
    box->setAccessibleDescription(hint);
    return box;
}

QPushButton* TFrmFind::AddButton(const char* name, const QString& caption, const QString& hint) {
    auto* button = new QPushButton(caption, this);
    button->setObjectName(QString::fromLatin1(name));
    button->setToolTip(hint);
    button->setAccessibleName(hint);
    // Enter searches again in the last direction; no button is the default.
    button->setAutoDefault(false);
    button->setDefault(false);
    return button;
}

FindRequest TFrmFind::ReadSearchControls() const {
    FindRequest request;
    request.Find = Utf8ToWindows1251(find_->currentText().toStdString());
    request.AsMask = asMask_->isChecked();
    request.WordOnly = wordOnly_->isChecked();
    request.CaseOnly = caseOnly_->isChecked();
    request.Down = down_->isChecked();
    request.Select = select_->isChecked();
    return request;
}

bool TFrmFind::FindInEditor(const PlayerOptions& options, const FindRequest& request,
                            FindTarget& target) {
    const LayoutParams layout = LayoutParamsOf(options);
    const char* text = target.TextBegin();
    const int64_t size = target.TextEnd() - text;
    SetTextBounds(text, target.TextEnd());
    int64_t start = target.SelectionStart();
    const int64_t length = target.SelectionLength();
    // Inside the current match, so that the same match is not found again.
    if (request.Select && length > 0) start = request.Down ? start + length - 1 : start + 1;
    start = std::clamp<int64_t>(start, 0, size);
    const FindResult result = FindMatch(layout, text + start, request);
    if (!result.Found) return false;
    target.SelectRange(static_cast<int32_t>(result.Start - text),
                       static_cast<int32_t>(result.End - text));
    return true;
}

void TFrmFind::AddToHistory(const QString& pattern) {
    if (find_->findText(pattern, Qt::MatchFixedString) >= 0) return;
    const QString typed = find_->currentText();
    find_->insertItem(0, pattern);
    if (find_->count() > kHistoryLength) find_->removeItem(find_->count() - 1);
    find_->setEditText(typed);
}

void TFrmFind::BtnFindClick(QPushButton* sender) {
    try {
        if (sender == btnDown_) down_->setChecked(true);
        if (sender == btnUp_) down_->setChecked(false);
        const FindRequest request = ReadSearchControls();
        if (!MaskIsUsable(request)) return;
        AddToHistory(find_->currentText());
        // Not owned by a player window: there is no editor to search.
        if (target_ == nullptr) return;
        const PlayerOptions options = target_->FindOptions();
        BusyCursor busy;
        if (FindInEditor(options, request, *target_)) target_->ScrollToCaret();
    } catch (const std::exception& error) {
        std::fprintf(stderr, "tovrin: %s\n", error.what());
    }
}

bool TFrmFind::HandleKey(QKeyEvent* event) {
    if (target_ != nullptr && event->key() == Qt::Key_F &&
        event->modifiers() == Qt::ControlModifier) {
        close();
        return true;
    }
    if (event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) {
        BtnFindClick(nullptr);
        return true;
    }
    if (event->key() == Qt::Key_Escape && event->modifiers() == Qt::NoModifier) {
        btnCancel_->click();
        return true;
    }
    return false;
}

void TFrmFind::keyPressEvent(QKeyEvent* event) {
    if (!HandleKey(event)) QDialog::keyPressEvent(event);
}

bool TFrmFind::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::KeyPress && HandleKey(static_cast<QKeyEvent*>(event))) return true;
    return QDialog::eventFilter(watched, event);
}

// Opened (Ctrl+F), the dialog takes the keyboard at once, so that what is typed next is the
// pattern, ready to replace the last one.
void TFrmFind::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    activateWindow();
    find_->setFocus(Qt::ActiveWindowFocusReason);
    find_->lineEdit()->selectAll();
}

void TFrmFind::hideEvent(QHideEvent* event) {
    QDialog::hideEvent(event);
    if (target_ != nullptr) target_->FindClosed();
}

}  // namespace tovrin
