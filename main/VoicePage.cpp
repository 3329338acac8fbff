#include "main/VoicePage.h"

#include "dialogs/AccessibleToggles.h"
#include "main/ControlNames.h"
#include "main/PageWidgets.h"

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
    auto* styleLabel = new QLabel(QStringLiteral("&Стиль"), panel);
    testStyle_ = new QListWidget(panel);
    Name(testStyle_, "TestStyle", QStringLiteral("Стиль"));
    testStyle_->addItems({QStringLiteral("Фаворит"), QStringLiteral("Норма"),
                          QStringLiteral("Вариант"), QStringLiteral("Новый"),
                          QStringLiteral("Будильник")});
    styleLabel->setBuddy(testStyle_);
    auto* voiceLabel = new QLabel(QStringLiteral("&Гoлос"), panel);
    testVoice_ = new QListWidget(panel);
    Name(testVoice_, "TestVoice", QStringLiteral("Голос"));
    testVoice_->addItems({QStringLiteral("Кинг-Конг"), QStringLiteral("Фараон"),
                          QStringLiteral("Петрович"), QStringLiteral("Гремлин"),
                          QStringLiteral("Мышь"), QStringLiteral("Эльф"), QStringLiteral("Диктор"),
                          QStringLiteral("Титан"), QStringLiteral("Пьеро"),
                          QStringLiteral("Капитан")});
    voiceLabel->setBuddy(testVoice_);
    layout->addWidget(styleLabel);
    layout->addWidget(testStyle_, 2);
    layout->addWidget(voiceLabel);
    layout->addWidget(testVoice_, 3);
}

void TVoicePage::BuildBars(QWidget* panel) {
    trBarTempo_ = VoiceBar(panel, "TrBarTempo", QStringLiteral("Скорость"), kTopOfBar);
    trBarTimbre_ = VoiceBar(panel, "TrBarTimbre", QStringLiteral("Тембр"), kTopOfBar);
    trBarMelody_ = VoiceBar(panel, "TrBarMelody", QStringLiteral("Синтез"), kTopOfBar);
    trBarVolume_ = VoiceBar(panel, "TrBarVolume", QStringLiteral("Громкость"), kLoudest);
    for (QSlider* bar : {trBarTempo_, trBarTimbre_, trBarMelody_})
        bar->setValue(4);
    auto* bars = new QHBoxLayout;
    const std::pair<QSlider*, QString> labelled[] = {{trBarTempo_, QStringLiteral("C")},
                                                     {trBarTimbre_, QStringLiteral("T")},
                                                     {trBarMelody_, QStringLiteral("M")},
                                                     {trBarVolume_, QStringLiteral("Г")}};
    for (const auto& [bar, caption] : labelled) {
        auto* column = new QVBoxLayout;
        column->addWidget(new QLabel(caption, panel), 0, Qt::AlignHCenter);
        column->addWidget(bar, 1, Qt::AlignHCenter);
        bars->addLayout(column);
    }
    static_cast<QVBoxLayout*>(panel->layout())->addLayout(bars, 4);
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
    auto* phrase = new QHBoxLayout;
    phrase->addWidget(testEdit_, 1);
    phrase->addWidget(testBtn_);
    static_cast<QVBoxLayout*>(panel->layout())->addLayout(phrase);

    testResList_ = new QListWidget(panel);
    Name(testResList_, "TestRes", QStringLiteral("TestRes"));
    testResList_->setEnabled(false);
    MakeValueHolder(*testResList_);
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
