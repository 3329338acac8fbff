#include "main/TextPage.h"

#include "dialogs/AccessibleToggles.h"
#include "dialogs/PauseEdit.h"
#include "engine/WholeNumber.h"
#include "main/ControlNames.h"
#include "main/PageWidgets.h"

#include <QButtonGroup>
#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QVBoxLayout>

#include <iterator>

namespace tovrin {

namespace {

constexpr int32_t kBlockSizes[] = {32768, 24576, 16384, 8192, 4096, 2048, 1024};

}  // namespace

TTextPage::TTextPage(QWidget* parent) : QWidget(parent) {
    Name(this, "TabText", QStringLiteral("Текст"));
    QWidget* panel = nullptr;
    QVBoxLayout* layout = PagePanel(this, "PnlText", panel);
    layout->setSpacing(1);
    auto* readingBox = new QGroupBox(panel);
    readingType_ = RadioGroup(
        readingBox, "ReadingType", QStringLiteral(" Загружать текст: "),
        {QStringLiteral("абз."), QStringLiteral("бл."), QStringLiteral("стр.")}, true, 0);
    readingBox->setToolTip(QStringLiteral("Размер загружаемой порции текста"));
    QVBoxLayout* first = nullptr;
    QVBoxLayout* second = nullptr;
    QBoxLayout* columns = PageColumns(layout, first, second);
    // Side by side, each column as tall as its controls need.
    columns->setAlignment(first, Qt::AlignTop);
    columns->setAlignment(second, Qt::AlignTop);
    first->addWidget(readingBox);
    autoCalc_ = Check(panel, "AutoCalc", QStringLiteral("Авто подстановки"), true);
    autoCalc_->setToolTip(QStringLiteral("Расчет подстановок"));
    autoCalc_->setStatusTip(
        QStringLiteral("Автоматический расчет подстановок при загрузке текста"));
    first->addWidget(autoCalc_);
    BuildParagraphGroups(panel, first);
    BuildBlockGroup(panel, second);
    BuildDictionaryGroup(panel, second);
    layout->addStretch(1);

    // A hidden control that only carries the stored index.
    blockItem_ = new QLineEdit(QStringLiteral("0"), this);
    Name(blockItem_, "BlockItem", QStringLiteral("BlockItem"));
    MakeValueHolder(*blockItem_);

    auto changed = [this] { TextChange(); };
    connect(abzBegPause_, &QLineEdit::editingFinished, this, changed);
    connect(abzEndPause_, &QLineEdit::editingFinished, this, changed);
    connect(blockSize_, &QComboBox::activated, this, changed);
}

void TTextPage::BuildParagraphGroups(QWidget* panel, QVBoxLayout* layout) {
    auto paragraphGroup = [&](const char* name, const QString& title, const char* editName,
                              const char* checkName, const char* pauseName, bool checked,
                              QLineEdit*& edit, QCheckBox*& check, PauseEdit*& pause) {
        auto* box = new QGroupBox(title, panel);
        Name(box, name, title);
        auto* column = new QVBoxLayout(box);
        column->setContentsMargins(2, 2, 2, 2);
        edit = Edit(box, editName, QStringLiteral("Команда или сообщение"));
        column->addWidget(edit);
        auto* line = new QHBoxLayout;
        check = Check(box, checkName, QStringLiteral("Пауза"), checked);
        pause = new PauseEdit(box);
        Name(pause, pauseName, title.trimmed() + QStringLiteral(": пауза, секунд"));
        line->addWidget(check);
        line->addWidget(pause);
        line->addWidget(new QLabel(QStringLiteral("секунд"), box));
        column->addLayout(line);
        layout->addWidget(box);
    };
    paragraphGroup("GBAbzBeg", QStringLiteral(" Начало абзаца "), "AbzBeg", "AbzBegP",
                   "AbzBegPause", false, abzBeg_, abzBegP_, abzBegPause_);
    paragraphGroup("GBAbzEnd", QStringLiteral(" Конец абзаца "), "AbzEnd", "AbzEndP", "AbzEndPause",
                   true, abzEnd_, abzEndP_, abzEndPause_);
    abzEndPause_->SetPauseText(QStringLiteral("5"));
}

void TTextPage::BuildBlockGroup(QWidget* panel, QVBoxLayout* layout) {
    auto* block = new QGroupBox(QStringLiteral(" Блок "), panel);
    Name(block, "GBBlock", QStringLiteral("Блок"));
    auto* blockColumn = new QVBoxLayout(block);
    blockColumn->setContentsMargins(2, 2, 2, 2);
    blockMsg_ = Edit(block, "BlockMsg",
                     QStringLiteral("Команда или сообщение о загрузке следующего блока"));
    blockColumn->addWidget(blockMsg_);
    auto* sizeLine = new QHBoxLayout;
    auto* sizeLabel = new QLabel(QStringLiteral("Размер"), block);
    blockSize_ = new QComboBox(block);
    Name(blockSize_, "BlockSize", QStringLiteral("Размер"));
    blockSize_->setToolTip(QStringLiteral("Размер загружаемого блока текста"));
    blockSize_->addItems({QStringLiteral("32 Килобайта"), QStringLiteral("24 Килобайта"),
                          QStringLiteral("16 Килобайт"), QStringLiteral("8 Килобайт"),
                          QStringLiteral("4 Килобайта"), QStringLiteral("2 Килобайта"),
                          QStringLiteral("1 Килобайт")});
    sizeLabel->setBuddy(blockSize_);
    sizeLine->addWidget(sizeLabel);
    sizeLine->addWidget(blockSize_, 1);
    blockColumn->addLayout(sizeLine);
    layout->addWidget(block);
}

void TTextPage::BuildDictionaryGroup(QWidget* panel, QVBoxLayout* layout) {
    auto* dict = new QGroupBox(QStringLiteral(" Словарь "), panel);
    Name(dict, "GBDict", QStringLiteral("Словарь"));
    auto* dictColumn = new QVBoxLayout(dict);
    dictColumn->setContentsMargins(2, 2, 2, 2);
    dictScript_ = Edit(dict, "DictScript", QStringLiteral("Порядок слов в строке (E,R,T,1-9)"));
    dictScript_->setText(QStringLiteral("E1R1"));
    dictColumn->addWidget(dictScript_);
    auto* dictLine = new QHBoxLayout;
    dictOver_ = Check(dict, "DictOver", QStringLiteral("Размешать"), true);
    dictOver_->setToolTip(QStringLiteral("Задать случайный порядок строк после прочтения текста"));
    dictRep_ = Check(dict, "DictRep", QStringLiteral("Повтор"), true);
    dictRep_->setToolTip(QStringLiteral("Автоповтор текста"));
    dictLine->addWidget(dictOver_);
    dictLine->addWidget(dictRep_);
    dictColumn->addLayout(dictLine);
    layout->addWidget(dict);
}

void TTextPage::SelectBlockItem() {
    const auto index = ParseWholeNumber(blockItem_->text().toStdString());
    blockSize_->setCurrentIndex(index && *index >= 0 && *index < blockSize_->count() ? *index : 0);
    blockItem_->setText(QString::number(blockSize_->currentIndex()));
}

void TTextPage::TextChange() {
    for (PauseEdit* pause : {abzBegPause_, abzEndPause_})
        pause->SetPauseText(QString::number(pause->Tenths()));
    blockItem_->setText(QString::number(blockSize_->currentIndex()));
    SelectBlockItem();
}

void TTextPage::GetTextOptions(PlayerOptions& options) const {
    options.ReadingType = readingType_->checkedId();
    options.AbzBeg = To1251(abzBeg_->text());
    options.AbzEnd = To1251(abzEnd_->text());
    options.BlockMsg = To1251(blockMsg_->text());
    options.DictScript = To1251(dictScript_->text());
    options.AbzBegP = abzBegP_->isChecked();
    options.AbzEndP = abzEndP_->isChecked();
    options.DictOver = dictOver_->isChecked();
    options.DictRep = dictRep_->isChecked();
    options.AbzBegPause = abzBegPause_->Tenths();
    options.AbzEndPause = abzEndPause_->Tenths();
    const int index = blockSize_->currentIndex();
    options.BlockSize = index >= 0 && index < static_cast<int>(std::size(kBlockSizes))
                            ? kBlockSizes[index]
                            : kBlockSizes[0];
}

bool TTextPage::AutoCalc() const {
    return autoCalc_->isChecked();
}

void TTextPage::Store(StoredControls& c) const {
    c.ReadingType = readingType_->checkedId();
    c.AutoCalc = autoCalc_->isChecked();
    c.AbzBeg = abzBeg_->text().toStdString();
    c.AbzBegP = abzBegP_->isChecked();
    c.AbzBegPause = abzBegPause_->PauseText().toStdString();
    c.AbzEnd = abzEnd_->text().toStdString();
    c.AbzEndP = abzEndP_->isChecked();
    c.AbzEndPause = abzEndPause_->PauseText().toStdString();
    c.BlockMsg = blockMsg_->text().toStdString();
    c.BlockItemText = blockItem_->text().toStdString();
    c.DictScript = dictScript_->text().toStdString();
    c.DictRep = dictRep_->isChecked();
    c.DictOver = dictOver_->isChecked();
}

void TTextPage::Restore(const StoredControls& c) {
    SetGroupIndex(readingType_, c.ReadingType);
    autoCalc_->setChecked(c.AutoCalc);
    abzBeg_->setText(FromStored(c.AbzBeg));
    abzBegP_->setChecked(c.AbzBegP);
    abzBegPause_->SetPauseText(FromStored(c.AbzBegPause));
    abzEnd_->setText(FromStored(c.AbzEnd));
    abzEndP_->setChecked(c.AbzEndP);
    abzEndPause_->SetPauseText(FromStored(c.AbzEndPause));
    blockMsg_->setText(FromStored(c.BlockMsg));
    blockItem_->setText(FromStored(c.BlockItemText));
    dictScript_->setText(FromStored(c.DictScript));
    dictRep_->setChecked(c.DictRep);
    dictOver_->setChecked(c.DictOver);
}

}  // namespace tovrin
