#include "dialogs/TalkOpt.h"

#include "dialogs/PauseEdit.h"
#include "dialogs/ScreenRoom.h"
#include "text/CodePages.h"

#include <QApplication>
#include <QButtonGroup>
#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QIntValidator>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTabWidget>
#include <QVBoxLayout>

#include <algorithm>
#include <array>
#include <cstdio>
#include <exception>

namespace tovrin {
namespace {

// The items of CodePageName: index 0-2 are code pages 0-2; KOI-8 and the last item both mean
// an unknown code page.
constexpr int kCodePageItemKoi = 3;
constexpr int kCodePageItemUnknown = 4;
constexpr std::array<int32_t, 7> kBlockSizes{32768, 24576, 16384, 8192, 4096, 2048, 1024};
constexpr int32_t kOnlySectionType = 3;
constexpr int32_t kFewestSectionLines = 1;
constexpr int32_t kMostSectionLines = 24;

QString FromWindows(const std::string& text) {
    return QString::fromStdString(Windows1251ToUtf8(text));
}

std::string ToWindows(const QString& text) {
    return Utf8ToWindows1251(text.toStdString());
}

int CodePageItem(int32_t codePage) {
    return codePage >= kCodePageEnglish && codePage <= kCodePageDos ? codePage
                                                                    : kCodePageItemUnknown;
}

// Setting only what differs keeps the caret where the user is typing.
void SetTextQuietly(QLineEdit* edit, const QString& text) {
    if (edit->text() != text) edit->setText(text);
}

void CheckItem(QButtonGroup* group, int index) {
    if (QAbstractButton* button = group->button(index)) button->setChecked(true);
}

// The section count as typed: one digit is that many lines, an empty field the fewest.
int32_t SectionLines(const QString& text) {
    const QString digits = text.trimmed();
    bool ok = false;
    const int value = digits.isEmpty() ? 0 : digits.toInt(&ok);
    if (!digits.isEmpty() && !ok) return kFewestSectionLines;
    return std::clamp(value, kFewestSectionLines, kMostSectionLines);
}

}  // namespace

TFrmSetup::TFrmSetup(SetupOwner* owner, QWidget* parent)
    : QDialog(parent, Qt::Tool | Qt::WindowStaysOnTopHint), owner_(owner) {
    setObjectName(QStringLiteral("FrmSetup"));
    setWindowTitle(QStringLiteral("Настройка плеера"));
    setAccessibleName(windowTitle());
    setModal(false);
    setAttribute(Qt::WA_AlwaysShowToolTips);
    // The dialog looks like the window that owns it (colour and font).
    setAttribute(Qt::WA_WindowPropagation);
    DefaultPlayerOptions(loaded_);
    BuildLayout();
    ConnectChecks();
    // The dialog sees key presses before its controls do (Ctrl+T closes it).
    for (QWidget* child : findChildren<QWidget*>())
        child->installEventFilter(this);
    layout()->setSizeConstraint(QLayout::SetFixedSize);
}

QCheckBox* TFrmSetup::AddCheck(QWidget* parent, const char* name, const QString& caption,
                               const QString& hint) {
    auto* box = new QCheckBox(caption, parent);
    box->setObjectName(QString::fromLatin1(name));
    box->setToolTip(hint);
    box->setAccessibleName(caption);
    box->setAccessibleDescription(hint);
    parent->layout()->addWidget(box);
    return box;
}

QLineEdit* TFrmSetup::AddEdit(QWidget* parent, const char* name, const QString& hint,
                              const QString& accessibleName) {
    auto* edit = new QLineEdit(parent);
    edit->setObjectName(QString::fromLatin1(name));
    edit->setToolTip(hint);
    edit->setAccessibleName(accessibleName);
    edit->setAccessibleDescription(hint);
    parent->layout()->addWidget(edit);
    return edit;
}

QGroupBox* TFrmSetup::AddRadioGroup(QWidget* parent, const char* name, const QString& caption,
                                    const QStringList& items, const QString& hint,
                                    QButtonGroup*& group) {
    auto* box = new QGroupBox(caption, parent);
    box->setObjectName(QString::fromLatin1(name));
    box->setToolTip(hint);
    box->setAccessibleName(caption.trimmed());
    box->setAccessibleDescription(hint);
    auto* layout = new QVBoxLayout(box);
    group = new QButtonGroup(box);
    for (int i = 0; i < items.size(); ++i) {
        auto* item = new QRadioButton(items[i], box);
        item->setObjectName(QString::fromLatin1(name) + QString::number(i));
        item->setAccessibleName(items[i].trimmed());
        layout->addWidget(item);
        group->addButton(item, i);
    }
    parent->layout()->addWidget(box);
    return box;
}

namespace {

// A row of a page: a field followed by its label.
QWidget* LabelledRow(QWidget* parent, QWidget* field, const QString& label) {
    auto* row = new QWidget(parent);
    auto* layout = new QHBoxLayout(row);
    layout->setContentsMargins(0, 0, 0, 0);
    field->setParent(row);
    layout->addWidget(field);
    auto* text = new QLabel(label, row);
    text->setBuddy(field);
    layout->addWidget(text);
    layout->addStretch(1);
    parent->layout()->addWidget(row);
    return row;
}

QWidget* Page(QTabWidget* tabs, const QString& caption) {
    auto* page = new QWidget(tabs);
    new QVBoxLayout(page);
    tabs->addTab(page, caption);
    return page;
}

PauseEdit* NewPauseField(QWidget* parent, const char* name, const QString& accessibleName) {
    auto* edit = new PauseEdit(parent);
    edit->setObjectName(QString::fromLatin1(name));
    edit->setAccessibleName(accessibleName);
    return edit;
}

}  // namespace

void TFrmSetup::BuildLayout() {
    auto* layout = new QVBoxLayout(this);
    auto* top = new QHBoxLayout;
    const auto addButton = [this, top](const char* name, const QString& caption,
                                       const QString& hint) {
        auto* button = new QPushButton(caption, this);
        button->setObjectName(QString::fromLatin1(name));
        button->setToolTip(hint);
        button->setAccessibleName(QString(caption).remove(QLatin1Char('&')));
        button->setAccessibleDescription(hint);
        button->setAutoDefault(false);
        top->addWidget(button);
        return button;
    };
    btnCalc_ =
        addButton("BtnCalc", QStringLiteral("#"), QStringLiteral("Пересчитать подстановки заново"));
    btnCalc_->setAccessibleName(btnCalc_->toolTip());  // "#" says nothing to a screen reader
    btnOk_ = addButton("BtnOk", QStringLiteral("&Ок"), QStringLiteral("Провести изменения"));
    btnCancel_ = addButton("BtnCancel", QStringLiteral("&Отмена"), QStringLiteral("Закрыть окно"));
    layout->addLayout(top);

    auto* pages = new QTabWidget;
    pages->setObjectName(QStringLiteral("PageControl"));
    pages->addTab(BuildSubstitutionsPage(), QStringLiteral("Подстановки"));
    pages->addTab(BuildSplittingPage(), QStringLiteral("Разбивка"));
    // On a screen too short for the dialog (a large scale) the pages scroll under the buttons.
    layout->addWidget(new ShortScreenScroll(pages, top, this));

    connect(btnOk_, &QPushButton::clicked, this, [this] { Guarded([this] { BtnOkClick(); }); });
    connect(btnCalc_, &QPushButton::clicked, this, [this] { Guarded([this] { BtnCalcClick(); }); });
    connect(btnCancel_, &QPushButton::clicked, this, [this] { close(); });
}

QWidget* TFrmSetup::BuildSubstitutionsPage() {
    auto* page = new QWidget;
    page->setObjectName(QStringLiteral("TabSubstitutions"));
    new QVBoxLayout(page);
    codePageName_ = new QComboBox(page);
    codePageName_->setObjectName(QStringLiteral("CodePageName"));
    codePageName_->addItems({QStringLiteral("Английский текст"), QStringLiteral("Windows cp1251"),
                             QStringLiteral("Ms-Dos cp866"), QStringLiteral("Unix KOI-8"),
                             QStringLiteral("Неизвестная кодировка")});
    codePageName_->setToolTip(QStringLiteral("Кодировка текста"));
    codePageName_->setAccessibleName(codePageName_->toolTip());
    page->layout()->addWidget(codePageName_);
    dcdPH_ = AddCheck(page, "Dcd_pH", QStringLiteral("Делать p, H русскими"),
                      QStringLiteral("Заменять латинские p и H на русские"));
    dcdNoPeren_ = AddCheck(page, "Dcd_NoPeren", QStringLiteral("Без переносов"),
                           QStringLiteral("Сливать начало и конец слов при их переносе"));
    dcdNoUdar_ = AddCheck(page, "Dcd_NoUdar", QStringLiteral("Убирать ударения ( ' )"),
                          QStringLiteral("Заменять одинарные кавычки двойными"));
    dcdNoCommand_ = AddCheck(page, "Dcd_NoCommand", QStringLiteral("Убирать команды <>{},"),
                             QStringLiteral("Заменять фигурные скобки простыми"));
    dcdNoChar_ = AddCheck(page, "Dcd_NoChar", QStringLiteral("Не читать по буквам"),
                          QStringLiteral("Убирать разбивку слов на буквы"));

    auto* inner = new QTabWidget(page);
    inner->setObjectName(QStringLiteral("PageAbz"));
    const QString message = QStringLiteral("Команда или сообщение");
    QWidget* begin = Page(inner, QStringLiteral("Начало абзаца"));
    abzBeg_ = AddEdit(begin, "AbzBeg", message, QStringLiteral("Начало абзаца: ") + message);
    abzBegP_ = AddCheck(begin, "AbzBegP", QStringLiteral("Пауза"), QString());
    abzBegPause_ = NewPauseField(begin, "AbzBegPause", QStringLiteral("Пауза, сек"));
    LabelledRow(begin, abzBegPause_, QStringLiteral("сек"));
    QWidget* end = Page(inner, QStringLiteral("Конец абзаца"));
    abzEnd_ = AddEdit(end, "AbzEnd", message, QStringLiteral("Конец абзаца: ") + message);
    abzEndP_ = AddCheck(end, "AbzEndP", QStringLiteral("Пауза"), QString());
    abzEndPause_ = NewPauseField(end, "AbzEndPause", QStringLiteral("Пауза, сек"));
    LabelledRow(end, abzEndPause_, QStringLiteral("сек"));
    abzNoEndP_ = AddCheck(end, "AbzNoEndP", QStringLiteral("Отменять паузу"),
                          QStringLiteral("Отменять паузу в конце абзаца при загрузке по абзацам"));
    page->layout()->addWidget(inner);
    return page;
}

QWidget* TFrmSetup::BuildSplittingPage() {
    auto* page = new QWidget;
    page->setObjectName(QStringLiteral("TabSplitting"));
    new QVBoxLayout(page);
    readingType_ = AddRadioGroup(
        page, "ReadingType", QStringLiteral(" Загружать текст: "),
        {QStringLiteral("По абзацам"), QStringLiteral("По блокам"), QStringLiteral("По строкам")},
        QStringLiteral("Размер загружаемой порции текста"), readingTypeGroup_);

    auto* inner = new QTabWidget(page);
    inner->setObjectName(QStringLiteral("PageSplitting"));
    QWidget* paragraph = Page(inner, QStringLiteral("Абзац"));
    abzType_ = AddRadioGroup(paragraph, "AbzType", QStringLiteral(" Тип "),
                             {QStringLiteral("С отступом "), QStringLiteral("По пустой строке"),
                              QStringLiteral("Каждая строка")},
                             QStringLiteral("Вид форматирования абзацев текста"), abzTypeGroup_);

    QWidget* section = Page(inner, QStringLiteral("Раздел"));
    razdType_ =
        AddRadioGroup(section, "RazdType", QStringLiteral(" Тип "),
                      {QStringLiteral("По оглавлению"), QStringLiteral("Cтрока в центре"),
                       QStringLiteral("По слову-ключу"), QStringLiteral("По пустой строке")},
                      QStringLiteral("Вид разбивки по разделам (главам)"), razdTypeGroup_);
    razdEmpt_ = AddEdit(section, "RazdEmpt", QStringLiteral("Кол-во пустых строк между разделами"),
                        QStringLiteral("Пустых строк"));
    razdEmpt_->setMaxLength(2);
    razdEmpt_->setValidator(new QIntValidator(0, 99, razdEmpt_));
    LabelledRow(section, razdEmpt_, QStringLiteral("Пустых строк"));
    razdKey_ = AddEdit(section, "RazdKey", QStringLiteral("Особое слово для поиска раздела"),
                       QStringLiteral("Ключевое слово"));
    LabelledRow(section, razdKey_, QStringLiteral("Ключевое слово"));

    QWidget* block = Page(inner, QStringLiteral("Блок"));
    blockSize_ = new QComboBox(block);
    blockSize_->setObjectName(QStringLiteral("BlockSize"));
    blockSize_->addItems({QStringLiteral("32 Килобайта"), QStringLiteral("24 Килобайта"),
                          QStringLiteral("16 Килобайт"), QStringLiteral("8 Килобайт"),
                          QStringLiteral("4 Килобайта"), QStringLiteral("2 Килобайта"),
                          QStringLiteral("1 Килобайт")});
    blockSize_->setToolTip(QStringLiteral("Размер загружаемого блока текста"));
    blockSize_->setAccessibleName(QStringLiteral("Размер блока текста"));
    LabelledRow(block, blockSize_, QStringLiteral("Размер блока текста"));
    blockSelAbz_ = AddCheck(block, "BlockSelAbz", QStringLiteral("Выделять абзацы"),
                            QStringLiteral("Делать подстановки в начале/конце абзацев"));
    blockOrgAbz_ = AddCheck(block, "BlockOrgAbz", QStringLiteral("Граница по абзацу"),
                            QStringLiteral("Обрезать блок по границе абзаца"));
    blockPack_ = AddCheck(block, "BlockPack", QStringLiteral("Паковать текст"),
                          QStringLiteral("Удалять лишние символы при загрузке"));
    blockMsg_ = AddEdit(block, "BlockMsg",
                        QStringLiteral("Команда или сообщение о загрузке следующего блока"),
                        QStringLiteral("Сообщить в конце блока"));
    LabelledRow(block, blockMsg_, QStringLiteral("Сообщить в конце блока"));
    page->layout()->addWidget(inner);
    return page;
}

void TFrmSetup::ConnectChecks() {
    const auto check = [this] { Guarded([this] { Check(); }); };
    for (QCheckBox* box : {dcdPH_, dcdNoPeren_, dcdNoUdar_, dcdNoCommand_, dcdNoChar_, abzBegP_,
                           abzEndP_, blockSelAbz_, blockOrgAbz_, blockPack_})
        connect(box, &QCheckBox::clicked, this, check);
    for (QButtonGroup* group : {readingTypeGroup_, abzTypeGroup_, razdTypeGroup_})
        connect(group, &QButtonGroup::idClicked, this, check);
    for (QComboBox* list : {codePageName_, blockSize_})
        connect(list, &QComboBox::activated, this, check);
    // Text fields are normalised once they have been edited, not at every key.
    for (QLineEdit* edit : {abzBeg_, abzEnd_, razdEmpt_, razdKey_, blockMsg_})
        connect(edit, &QLineEdit::editingFinished, this, check);
    for (PauseEdit* edit : {abzBegPause_, abzEndPause_})
        connect(edit, &QLineEdit::editingFinished, this, check);
}

PlayerOptions TFrmSetup::ReadControls() const {
    PlayerOptions options;
    DefaultPlayerOptions(options);
    options.DictScript = loaded_.DictScript;
    options.DictOver = loaded_.DictOver;
    options.DictRep = loaded_.DictRep;
    options.ReadingType = std::max(readingTypeGroup_->checkedId(), 0);
    const int codePageItem = codePageName_->currentIndex();
    if (codePageItem == loadedCodePageItem_)
        options.CodePage = loaded_.CodePage;  // KOI-8 stays what it was while untouched
    else
        options.CodePage = codePageItem >= kCodePageItemKoi ? kCodePageUnknown : codePageItem;
    options.Dcd_pH = dcdPH_->isChecked();
    options.Dcd_NoPeren = dcdNoPeren_->isChecked();
    options.Dcd_NoUdar = dcdNoUdar_->isChecked();
    options.Dcd_NoCommand = dcdNoCommand_->isChecked();
    options.Dcd_NoChar = dcdNoChar_->isChecked();
    options.AbzType = std::max(abzTypeGroup_->checkedId(), 0);
    options.AbzBeg = ToWindows(abzBeg_->text());
    options.AbzBegP = abzBegP_->isChecked();
    options.AbzBegPause = abzBegPause_->Tenths();
    options.AbzEnd = ToWindows(abzEnd_->text());
    options.AbzEndP = abzEndP_->isChecked();
    options.AbzEndPause = abzEndPause_->Tenths();
    options.AbzNoEndP = abzNoEndP_->isChecked();
    options.RazdType = kOnlySectionType;
    options.RazdEmpt = SectionLines(razdEmpt_->text());
    options.RazdKey = ToWindows(razdKey_->text());
    const int sizeItem = blockSize_->currentIndex();
    options.BlockSize = sizeItem >= 0 && sizeItem < static_cast<int>(kBlockSizes.size())
                            ? kBlockSizes[static_cast<size_t>(sizeItem)]
                            : kBlockSizes[0];
    options.BlockSelAbz = blockSelAbz_->isChecked();
    options.BlockOrgAbz = blockOrgAbz_->isChecked();
    options.BlockPack = blockPack_->isChecked();
    options.BlockMsg = ToWindows(blockMsg_->text());
    return options;
}

void TFrmSetup::WriteControls(const PlayerOptions& options) {
    loaded_ = options;
    loadedCodePageItem_ = CodePageItem(options.CodePage);
    CheckItem(readingTypeGroup_, options.ReadingType);
    codePageName_->setCurrentIndex(loadedCodePageItem_);
    dcdPH_->setChecked(options.Dcd_pH);
    dcdNoPeren_->setChecked(options.Dcd_NoPeren);
    dcdNoUdar_->setChecked(options.Dcd_NoUdar);
    dcdNoCommand_->setChecked(options.Dcd_NoCommand);
    dcdNoChar_->setChecked(options.Dcd_NoChar);
    CheckItem(abzTypeGroup_, options.AbzType);
    SetTextQuietly(abzBeg_, FromWindows(options.AbzBeg));
    abzBegP_->setChecked(options.AbzBegP);
    abzBegPause_->SetTenths(options.AbzBegPause);
    SetTextQuietly(abzEnd_, FromWindows(options.AbzEnd));
    abzEndP_->setChecked(options.AbzEndP);
    abzEndPause_->SetTenths(options.AbzEndPause);
    abzNoEndP_->setChecked(options.AbzNoEndP);
    CheckItem(razdTypeGroup_, kOnlySectionType);
    SetTextQuietly(razdEmpt_, QString::number(std::clamp(options.RazdEmpt, kFewestSectionLines,
                                                         kMostSectionLines)));
    SetTextQuietly(razdKey_, FromWindows(options.RazdKey));
    const auto size = std::find(kBlockSizes.begin(), kBlockSizes.end(), options.BlockSize);
    blockSize_->setCurrentIndex(
        size == kBlockSizes.end() ? 0 : static_cast<int>(size - kBlockSizes.begin()));
    blockSelAbz_->setChecked(options.BlockSelAbz);
    blockOrgAbz_->setChecked(options.BlockOrgAbz);
    blockPack_->setChecked(options.BlockPack);
    SetTextQuietly(blockMsg_, FromWindows(options.BlockMsg));
    blockPack_->setEnabled(options.BlockSelAbz);
    blockOrgAbz_->setEnabled(!options.BlockSelAbz);
}

void TFrmSetup::ShowReadingType(int32_t type) {
    CheckItem(readingTypeGroup_, type);
}

void TFrmSetup::Check() {
    if (Ready) WriteControls(ReadControls());
}

void TFrmSetup::BtnOkClick() {
    if (!owner_) return;
    owner_->SetupConfirmed();
    hide();
}

void TFrmSetup::BtnCalcClick() {
    if (!owner_) return;
    QApplication::setOverrideCursor(Qt::WaitCursor);
    try {
        PlayerOptions options = ReadControls();
        AnalyseText(options, true, owner_->SetupText());
        WriteControls(options);
    } catch (...) {
        QApplication::restoreOverrideCursor();
        throw;
    }
    QApplication::restoreOverrideCursor();
}

void TFrmSetup::reject() {
    hide();
    if (owner_) owner_->SetupClosed();
}

void TFrmSetup::keyPressEvent(QKeyEvent* event) {
    if (owner_ && event->key() == Qt::Key_T && event->modifiers() == Qt::ControlModifier) {
        close();
        return;
    }
    QDialog::keyPressEvent(event);
}

bool TFrmSetup::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::KeyPress && owner_) {
        const auto* key = static_cast<QKeyEvent*>(event);
        if (key->key() == Qt::Key_T && key->modifiers() == Qt::ControlModifier) {
            close();
            return true;
        }
    }
    return QDialog::eventFilter(watched, event);
}

template <typename Handler>
void TFrmSetup::Guarded(Handler handler) {
    try {
        handler();
    } catch (const std::exception& error) {
        if (owner_)
            owner_->SetupError(error.what());
        else
            std::fprintf(stderr, "tovrin: %s\n", error.what());
    }
}

}  // namespace tovrin
