#include "main/VoicePage.h"

#include "dialogs/AccessibleToggles.h"
#include "main/ControlNames.h"
#include "main/PageWidgets.h"

#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QSignalBlocker>
#include <QSlider>
#include <QToolButton>
#include <QVBoxLayout>

namespace tovrin {

namespace {

constexpr int kTopOfBar = 9;
constexpr int kLoudest = 255;
// The built-in presets: the current index and five slots that read as 256 everywhere.
const std::vector<std::string> kBuiltInTestRes = {"0",        "33949440", "33949440",
                                                  "33949440", "33949440", "33949440"};

}  // namespace

TVoicePage::TVoicePage(QWidget* parent) : QWidget(parent) {
    Name(this, "TabVoice", QStringLiteral("Голос"));
    QWidget* panel = nullptr;
    PagePanel(this, "PnlTalkStyle", panel);
    BuildLists(panel);
    BuildBars(panel);
    BuildPhrase(panel);
    Arrange(false);
    testRes_ = kBuiltInTestRes;
    ShowTestRes();

    connect(testStyle_, &QListWidget::currentRowChanged, this, &TVoicePage::PresetChosen);
    connect(testVoice_, &QListWidget::currentRowChanged, this, &TVoicePage::VoiceMoved);
    for (QSlider* bar : {trBarTempo_, trBarTimbre_, trBarMelody_, trBarVolume_})
        connect(bar, &QSlider::valueChanged, this, &TVoicePage::VoiceMoved);
    connect(testBtn_, &QToolButton::clicked, this, &TVoicePage::TestClicked);
}

void TVoicePage::BuildLists(QWidget* panel) {
    auto* layout = static_cast<QVBoxLayout*>(panel->layout());
    styleLabel_ = new QLabel(QStringLiteral("&Стиль"), panel);
    testStyle_ = new QListWidget(panel);
    Name(testStyle_, "TestStyle", QStringLiteral("Стиль"));
    testStyle_->addItems({QStringLiteral("Фаворит"), QStringLiteral("Норма"),
                          QStringLiteral("Вариант"), QStringLiteral("Новый"),
                          QStringLiteral("Будильник")});
    styleLabel_->setBuddy(testStyle_);
    voiceLabel_ = new QLabel(QStringLiteral("&Гoлос"), panel);
    testVoice_ = new QListWidget(panel);
    Name(testVoice_, "TestVoice", QStringLiteral("Голос"));
    testVoice_->addItems({QStringLiteral("Кинг-Конг"), QStringLiteral("Фараон"),
                          QStringLiteral("Петрович"), QStringLiteral("Гремлин"),
                          QStringLiteral("Мышь"), QStringLiteral("Эльф"), QStringLiteral("Диктор"),
                          QStringLiteral("Титан"), QStringLiteral("Пьеро"),
                          QStringLiteral("Капитан")});
    voiceLabel_->setBuddy(testVoice_);
    grid_ = new QGridLayout;
    layout->addLayout(grid_, 1);
}
void TVoicePage::BuildBars(QWidget* panel) {
    trBarTempo_ = VoiceBar(panel, "TrBarTempo", QStringLiteral("Скорость"), kTopOfBar);
    trBarTimbre_ = VoiceBar(panel, "TrBarTimbre", QStringLiteral("Тембр"), kTopOfBar);
    trBarMelody_ = VoiceBar(panel, "TrBarMelody", QStringLiteral("Синтез"), kTopOfBar);
    trBarVolume_ = VoiceBar(panel, "TrBarVolume", QStringLiteral("Громкость"), kLoudest);
    for (QSlider* bar : {trBarTempo_, trBarTimbre_, trBarMelody_})
        bar->setValue(4);
    bars_ = new QHBoxLayout;
    const std::pair<QSlider*, QString> labelled[] = {{trBarTempo_, QStringLiteral("C")},
                                                     {trBarTimbre_, QStringLiteral("T")},
                                                     {trBarMelody_, QStringLiteral("M")},
                                                     {trBarVolume_, QStringLiteral("Г")}};
    for (const auto& [bar, caption] : labelled) {
        auto* column = new QVBoxLayout;
        column->addWidget(new QLabel(caption, panel), 0, Qt::AlignHCenter);
        column->addWidget(bar, 1, Qt::AlignHCenter);
        bars_->addLayout(column);
    }
}

void TVoicePage::BuildPhrase(QWidget* panel) {
    testEdit_ = Edit(panel, "TestEdit", QStringLiteral("Тест произношения"));
    testEdit_->setMaxLength(30);
    testEdit_->setText(QStringLiteral("Тест произношения"));
    // Wide enough for the phrase it starts with (its hint is room for 17 "x").
    const QFontMetrics metrics = testEdit_->fontMetrics();
    testEdit_->setMinimumWidth(testEdit_->sizeHint().width() -
                               17 * metrics.horizontalAdvance(QLatin1Char('x')) +
                               metrics.horizontalAdvance(testEdit_->text()) + 2);
    testBtn_ = PictureButton(panel, "TestBtn", QStringLiteral("Тест"), QStyle::SP_MediaPlay);
    phrase_ = new QHBoxLayout;
    phrase_->addWidget(testEdit_, 1);
    phrase_->addWidget(testBtn_);

    testResList_ = new QListWidget(panel);
    Name(testResList_, "TestRes", QStringLiteral("TestRes"));
    testResList_->setEnabled(false);
    MakeValueHolder(*testResList_);
}

// One column: each list under its label, the bars and the phrase below. Compact: the two
// lists side by side, the bars and the phrase across both.
void TVoicePage::Arrange(bool compact) {
    for (QWidget* widget :
         std::initializer_list<QWidget*>{styleLabel_, voiceLabel_, testStyle_, testVoice_})
        grid_->removeWidget(widget);
    for (QLayout* row : {bars_, phrase_}) {
        grid_->removeItem(row);
        row->setParent(nullptr);
    }
    const int across = compact ? 2 : 1;
    grid_->addWidget(styleLabel_, 0, 0);
    grid_->addWidget(testStyle_, 1, 0);
    grid_->addWidget(voiceLabel_, compact ? 0 : 2, compact ? 1 : 0);
    grid_->addWidget(testVoice_, compact ? 1 : 3, compact ? 1 : 0);
    grid_->addLayout(bars_, 4, 0, 1, across);
    grid_->addLayout(phrase_, 5, 0, 1, across);
    grid_->setRowStretch(1, compact ? 5 : 2);
    grid_->setRowStretch(3, compact ? 0 : 3);
    grid_->setRowStretch(4, 4);
    grid_->setColumnStretch(0, 1);
    grid_->setColumnStretch(1, compact ? 1 : 0);
}

void TVoicePage::SetCompact(bool compact) {
    Arrange(compact);
    SetPageCompact(this, compact);
}

int TVoicePage::Preset() const {
    return testStyle_->currentRow();
}

void TVoicePage::SelectPresetQuietly(int preset) {
    const QSignalBlocker blocker(testStyle_);
    testStyle_->setCurrentRow(preset);
}

void TVoicePage::ShowPreset(const VoiceParams& params, int volume) {
    const QSignalBlocker voice(testVoice_), tempo(trBarTempo_), timbre(trBarTimbre_),
        melody(trBarMelody_), loudness(trBarVolume_);
    const bool known = params.Voice >= 0 && params.Voice < testVoice_->count();
    testVoice_->setCurrentRow(known ? params.Voice : -1);
    if (!known) testVoice_->clearSelection();
    trBarTimbre_->setValue(kTopOfBar - params.Timbre);
    trBarTempo_->setValue(kTopOfBar - params.Tempo);
    trBarMelody_->setValue(kTopOfBar - params.Melody);
    trBarVolume_->setValue(kLoudest - volume);
}

VoiceParams TVoicePage::Voice() const {
    VoiceParams params;
    params.Voice = testVoice_->currentRow();
    params.Timbre = kTopOfBar - trBarTimbre_->value();
    params.Tempo = kTopOfBar - trBarTempo_->value();
    params.Melody = kTopOfBar - trBarMelody_->value();
    params.Volume = Volume();
    return params;
}

int TVoicePage::Volume() const {
    return kLoudest - trBarVolume_->value();
}

void TVoicePage::FollowVolume(int volume) {
    trBarVolume_->setValue(kLoudest - volume);
}

QString TVoicePage::Phrase() const {
    return testEdit_->text();
}

void TVoicePage::ShowTestRes() {
    testResList_->clear();
    for (const std::string& line : testRes_)
        testResList_->addItem(QString::fromStdString(line));
}

void TVoicePage::Store(StoredControls& c) const {
    c.TestResItems = testRes_;
    c.TestEdit = testEdit_->text().toStdString();
}

void TVoicePage::Restore(const StoredControls& c) {
    testRes_ = c.TestResItems;
    ShowTestRes();
    testEdit_->setText(FromStored(c.TestEdit));
}

}  // namespace tovrin
