// The four tabs of the main window: voice and presets, the player's look, the reading options
// and the two daily events.
#include "main/FrmTalk.h"

#include "dialogs/PauseEdit.h"
#include "main/ControlNames.h"
#include "platform/Power.h"
#include "player/Appearance.h"
#include "text/CodePages.h"

#include <QButtonGroup>
#include <QCheckBox>
#include <QComboBox>
#include <QDesktopServices>
#include <QFileInfo>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QProcess>
#include <QPushButton>
#include <QRadioButton>
#include <QSignalBlocker>
#include <QSlider>
#include <QStyle>
#include <QTextEdit>
#include <QTimeEdit>
#include <QTimer>
#include <QToolButton>
#include <QUrl>
#include <QVBoxLayout>

#include <algorithm>
#include <array>
#include <cmath>

namespace tovrin {

namespace {

constexpr int kEventCheckMs = 1000;
constexpr int kPowerOffRepeatMs = 2000;
constexpr int kAlarmPreset = 4;
constexpr int32_t kBlockSizes[] = {32768, 24576, 16384, 8192, 4096, 2048, 1024};
// The built-in presets: the current index and five slots that read as 256 everywhere.
const std::vector<std::string> kBuiltInTestRes = {"0",        "33949440", "33949440",
                                                  "33949440", "33949440", "33949440"};

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

}  // namespace

// ---- building the tabs ----

void TFrmTalk::BuildVoicePage(QWidget* page) {
    auto* panel = new QWidget(page);
    panel->setObjectName(QStringLiteral("PnlTalkStyle"));
    auto* outer = new QVBoxLayout(page);
    outer->setContentsMargins(0, 0, 0, 0);
    outer->addWidget(panel);
    auto* layout = new QVBoxLayout(panel);
    layout->setContentsMargins(2, 2, 2, 2);

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

    trBarTempo_ = VoiceBar(panel, "TrBarTempo", QStringLiteral("Скорость"), 9);
    trBarTimbre_ = VoiceBar(panel, "TrBarTimbre", QStringLiteral("Тембр"), 9);
    trBarMelody_ = VoiceBar(panel, "TrBarMelody", QStringLiteral("Синтез"), 9);
    trBarVolume_ = VoiceBar(panel, "TrBarVolume", QStringLiteral("Громкость"), 255);
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

    testEdit_ = Edit(panel, "TestEdit", QStringLiteral("Тест произношения"));
    testEdit_->setMaxLength(30);
    testEdit_->setText(QStringLiteral("Тест произношения"));
    testBtn_ = PictureButton(panel, "TestBtn", QStringLiteral("Тест"), QStyle::SP_MediaPlay);
    auto* phrase = new QHBoxLayout;
    phrase->addWidget(testEdit_, 1);
    phrase->addWidget(testBtn_);

    testResList_ = new QListWidget(panel);
    Name(testResList_, "TestRes", QStringLiteral("TestRes"));
    testResList_->setEnabled(false);
    testResList_->hide();
    testRes_ = kBuiltInTestRes;
    ShowTestRes();

    layout->addWidget(styleLabel);
    layout->addWidget(testStyle_, 2);
    layout->addWidget(voiceLabel);
    layout->addWidget(testVoice_, 3);
    layout->addLayout(bars, 4);
    layout->addLayout(phrase);

    connect(testStyle_, &QListWidget::currentRowChanged, this,
            [this] { Guarded([this] { SetTestValues(VoiceSender::TestStyle); }); });
    voiceHandlersOn_ = false;
    ConnectVoiceHandlers(true);
    connect(testBtn_, &QToolButton::clicked, this,
            [this] { Guarded([this] { SpeakStartUp(PhraseSender::TestBtn); }); });
}

bool TFrmTalk::ConnectVoiceHandlers(bool on) {
    const bool was = voiceHandlersOn_;
    if (on == was) return was;
    voiceHandlersOn_ = on;
    if (!on) {
        disconnect(testVoice_, nullptr, this, nullptr);
        for (QSlider* bar : {trBarTempo_, trBarTimbre_, trBarMelody_, trBarVolume_})
            disconnect(bar, nullptr, this, nullptr);
        return was;
    }
    connect(testVoice_, &QListWidget::currentRowChanged, this,
            [this] { Guarded([this] { SetTestValues(VoiceSender::Control); }); });
    for (QSlider* bar : {trBarTempo_, trBarTimbre_, trBarMelody_, trBarVolume_})
        connect(bar, &QSlider::valueChanged, this,
                [this] { Guarded([this] { SetTestValues(VoiceSender::Control); }); });
    return was;
}

void TFrmTalk::BuildImagePage(QWidget* page) {
    auto* panel = new QWidget(page);
    panel->setObjectName(QStringLiteral("PnlImage"));
    auto* outer = new QVBoxLayout(page);
    outer->setContentsMargins(0, 0, 0, 0);
    outer->addWidget(panel);
    auto* layout = new QVBoxLayout(panel);
    layout->setContentsMargins(2, 2, 2, 2);

    auto row =
        [&](const QString& label,
            std::initializer_list<std::tuple<const char*, QString, QString, ViewButton>> buttons) {
            auto* line = new QHBoxLayout;
            line->addWidget(new QLabel(label, panel));
            for (const auto& [name, caption, accessible, which] : buttons) {
                auto* button = new QPushButton(caption, panel);
                Name(button, name, label + QStringLiteral(": ") + accessible);
                connect(button, &QPushButton::clicked, this,
                        [this, which = which] { Guarded([this, which] { BtnViewSetup(which); }); });
                line->addWidget(button);
            }
            layout->addLayout(line);
        };
    row(QStringLiteral("Окно"),
        {{"BtnWinBkCol", QStringLiteral("Фон"), QStringLiteral("Фон"), ViewButton::WinBkCol},
         {"BtnWinBkFont", QStringLiteral("Шрифт"), QStringLiteral("Шрифт"),
          ViewButton::WinBkFont}});
    row(QStringLiteral("Текст"),
        {{"BtnEditBkCol", QStringLiteral("Фон"), QStringLiteral("Фон"), ViewButton::EditBkCol},
         {"BtnEditCol", QStringLiteral("Цвет"), QStringLiteral("Цвет"), ViewButton::EditCol}});
    row(QStringLiteral("Шрифт текста"),
        {{"BtnWin1251", QStringLiteral("Win 1251"), QStringLiteral("Win 1251"),
          ViewButton::Win1251},
         {"BtnDosAlt", QStringLiteral("Dos 866"), QStringLiteral("Dos 866"), ViewButton::DosAlt}});

    // A model of a player window showing the chosen look.
    pnlPlayerSetup_ = new QWidget(panel);
    Name(pnlPlayerSetup_, "PnlPlayerSetup", QStringLiteral("Плеер текста"));
    pnlPlayerSetup_->setAutoFillBackground(true);
    auto* model = new QVBoxLayout(pnlPlayerSetup_);
    model->setContentsMargins(2, 2, 2, 2);
    auto* strip = new QLabel(QStringLiteral("    Плеер текста"), pnlPlayerSetup_);
    Name(strip, "Panel1", QStringLiteral("Плеер текста"));
    strip->setStyleSheet(QStringLiteral("color: white; background: navy; font-weight: bold;"));
    model->addWidget(strip);
    auto* modelButtons = new QHBoxLayout;
    const std::tuple<const char*, QString, QStyle::StandardPixmap> decoration[] = {
        {"BtnPlay", QStringLiteral("Читать"), QStyle::SP_MediaPlay},
        {"SpeedButton1", QStringLiteral("Пауза"), QStyle::SP_MediaPause},
        {"BtnStop", QStringLiteral("Стоп"), QStyle::SP_MediaStop}};
    for (const auto& [name, hint, picture] : decoration) {
        QToolButton* button = PictureButton(pnlPlayerSetup_, name, hint, picture);
        button->setEnabled(false);
        modelButtons->addWidget(button);
    }
    auto* word = new QLabel(QStringLiteral("Слово"), pnlPlayerSetup_);
    word->setObjectName(QStringLiteral("Label1"));
    modelButtons->addWidget(word);
    model->addLayout(modelButtons);
    editorSetup_ = new QTextEdit(pnlPlayerSetup_);
    Name(editorSetup_, "EditorSetup", QStringLiteral("Образец текста"));
    editorSetup_->setReadOnly(true);
    editorSetup_->setAlignment(Qt::AlignCenter);
    editorSetup_->setPlainText(
        QStringLiteral("текст\nальтернативной\nкодировки\nMs-Dos\n\nтекст\nрусской\nкодовой\n"
                       "страницы\nWindows"));
    model->addWidget(editorSetup_, 1);
    layout->addWidget(pnlPlayerSetup_, 1);

    styleWin_ = new QLineEdit(panel);
    Name(styleWin_, "StyleWin", QStringLiteral("StyleWin"));
    styleWin_->hide();
    styleDos_ = new QLineEdit(panel);
    Name(styleDos_, "StyleDos", QStringLiteral("StyleDos"));
    styleDos_->hide();
    ShowAppearance();
}

void TFrmTalk::BuildTextPage(QWidget* page) {
    auto* panel = new QWidget(page);
    panel->setObjectName(QStringLiteral("PnlText"));
    auto* outer = new QVBoxLayout(page);
    outer->setContentsMargins(0, 0, 0, 0);
    outer->addWidget(panel);
    auto* layout = new QVBoxLayout(panel);
    layout->setContentsMargins(2, 2, 2, 2);
    layout->setSpacing(1);

    auto* readingBox = new QGroupBox(panel);
    readingType_ = RadioGroup(
        readingBox, "ReadingType", QStringLiteral(" Загружать текст: "),
        {QStringLiteral("абз."), QStringLiteral("бл."), QStringLiteral("стр.")}, true, 0);
    readingBox->setToolTip(QStringLiteral("Размер загружаемой порции текста"));
    layout->addWidget(readingBox);
    autoCalc_ = Check(panel, "AutoCalc", QStringLiteral("Авто подстановки"), true);
    autoCalc_->setToolTip(QStringLiteral("Расчет подстановок"));
    autoCalc_->setStatusTip(
        QStringLiteral("Автоматический расчет подстановок при загрузке текста"));
    layout->addWidget(autoCalc_);

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
    layout->addStretch(1);

    auto changed = [this] { Guarded([this] { TextChange(); }); };
    connect(abzBegPause_, &QLineEdit::editingFinished, this, changed);
    connect(abzEndPause_, &QLineEdit::editingFinished, this, changed);
    connect(blockSize_, &QComboBox::activated, this, changed);
}

void TFrmTalk::BuildEventPage(QWidget* page) {
    auto* panel = new QWidget(page);
    panel->setObjectName(QStringLiteral("PnlShutDown"));
    auto* outer = new QVBoxLayout(page);
    outer->setContentsMargins(0, 0, 0, 0);
    outer->addWidget(panel);
    auto* layout = new QVBoxLayout(panel);
    layout->setContentsMargins(2, 2, 2, 2);

    auto eventGroup = [&](const char* name, const QString& title, const QString& hint,
                          const char* pickerName, QTime time, QTimeEdit*& picker,
                          QCheckBox*& check) {
        auto* box = new QGroupBox(title, panel);
        Name(box, name, title.trimmed());
        box->setToolTip(hint);
        auto* column = new QVBoxLayout(box);
        column->setContentsMargins(2, 2, 2, 2);
        auto* line = new QHBoxLayout;
        check = Check(box, (std::string(pickerName) + "Check").c_str(), title.trimmed(), true);
        check->setObjectName(QString::fromLatin1(pickerName) + QStringLiteral("_Checked"));
        check->setText(QString());  // the group's title names it; the name stays accessible
        check->setToolTip(hint);
        picker = TimePicker(box, pickerName, title.trimmed(), time);
        line->addWidget(check);
        line->addWidget(picker, 1);
        column->addLayout(line);
        layout->addWidget(box);
        return column;
    };
    QVBoxLayout* offColumn =
        eventGroup("GBLogOff", QStringLiteral(" Время спать "), QStringLiteral("Автоотключение"),
                   "LogOff", QTime(2, 0), logOffTime_, logOffCheck_);
    auto* offBox = new QGroupBox(panel);
    rgLogOff_ = RadioGroup(offBox, "RGLogOff", QString(),
                           {QStringLiteral("Приостановить"), QStringLiteral("Убрать питание"),
                            QStringLiteral("Выключить нахрен")},
                           false, 1);
    offBox->setAccessibleName(QStringLiteral("Действие в время спать"));
    offColumn->addWidget(offBox);

    QVBoxLayout* onColumn =
        eventGroup("GBLogOn", QStringLiteral(" Время вставать "), QStringLiteral("Автозапуск"),
                   "LogOn", QTime(7, 0), logOnTime_, logOnCheck_);
    auto* onBox = new QGroupBox(panel);
    rgLogOn_ = RadioGroup(onBox, "RGLogOn", QString(),
                          {QStringLiteral("Продолжить чтиво"), QStringLiteral("Запустить софт"),
                           QStringLiteral("Громкая ругань")},
                          false, 0);
    onBox->setAccessibleName(QStringLiteral("Действие во время вставать"));
    onColumn->addWidget(onBox);
    auto* program = new QHBoxLayout;
    startUpProcess_ =
        Edit(panel, "StartUpProcess", QStringLiteral("Расположение запускаемой программы"));
    startUpProcess_->setReadOnly(true);
    startUpProcBtn_ =
        PictureButton(panel, "StartUpProcBtn", QStringLiteral("Укажите запускаемый файл"),
                      QStyle::SP_DirOpenIcon);
    program->addWidget(startUpProcess_, 1);
    program->addWidget(startUpProcBtn_);
    onColumn->addLayout(program);
    auto* phrase = new QHBoxLayout;
    startUpEdit_ = Edit(panel, "StartUpEdit", QStringLiteral("Произносимая фраза"));
    startUpEdit_->setText(QStringLiteral("Ро'та', по-дъё'м '! {wait 3}"));
    startUpBtn_ = PictureButton(panel, "StartUpBtn", QStringLiteral("Произнести фразу"),
                                QStyle::SP_MediaPlay);
    phrase->addWidget(startUpEdit_, 1);
    phrase->addWidget(startUpBtn_);
    onColumn->addLayout(phrase);
    layout->addStretch(1);

    logOffTimer_ = new QTimer(this);
    logOffTimer_->setObjectName(QStringLiteral("LogOffTimer"));
    logOnTimer_ = new QTimer(this);
    logOnTimer_->setObjectName(QStringLiteral("LogOnTimer"));
    for (QTimer* timer : {logOffTimer_, logOnTimer_}) {
        timer->setInterval(kEventCheckMs);
        connect(timer, &QTimer::timeout, this, [this] { Guarded([this] { CheckEvents(); }); });
    }

    auto rearm = [this] { Guarded([this] { EventChangeDate(); }); };
    for (QTimeEdit* picker : {logOffTime_, logOnTime_}) {
        connect(picker, &QTimeEdit::editingFinished, this, rearm);
        connect(picker, &QTimeEdit::timeChanged, this, rearm);
    }
    for (QCheckBox* check : {logOffCheck_, logOnCheck_})
        connect(check, &QCheckBox::toggled, this, rearm);
    connect(startUpProcBtn_, &QToolButton::clicked, this,
            [this] { Guarded([this] { StartUpProcBtnClick(); }); });
    connect(startUpBtn_, &QToolButton::clicked, this,
            [this] { Guarded([this] { SpeakStartUp(PhraseSender::StartUpBtn); }); });
}

// ---- voice ----

void TFrmTalk::SetTestValues(VoiceSender sender) {
    if (sender == VoiceSender::TestStyle) {
        controller_->SelectPreset(testStyle_->currentRow());
        // The controls show the preset without their handlers, so showing it stores nothing;
        // the handlers come back however the showing ends.
        ConnectVoiceHandlers(false);
        struct Reattach {
            TFrmTalk* window;
            ~Reattach() { window->ConnectVoiceHandlers(true); }
        } reattach{this};
        // The preset as stored, not its low bytes: 256 shows as no voice and bars at the top.
        const VoiceParams& params = controller_->Preset(controller_->CurrentPreset());
        const bool known = params.Voice >= 0 && params.Voice < testVoice_->count();
        testVoice_->setCurrentRow(known ? params.Voice : -1);
        if (!known) testVoice_->clearSelection();
        trBarTimbre_->setValue(9 - params.Timbre);
        trBarTempo_->setValue(9 - params.Tempo);
        trBarMelody_->setValue(9 - params.Melody);
        trBarVolume_->setValue(255 - controller_->GetVolume());
        return;
    }
    controller_->SetVoice(testVoice_->currentRow());
    controller_->SetTimbre(9 - trBarTimbre_->value());
    controller_->SetTempo(9 - trBarTempo_->value());
    controller_->SetMelody(9 - trBarMelody_->value());
    controller_->SetVolume(255 - trBarVolume_->value());
    controller_->SelectPreset(-1);
}

void TFrmTalk::SpeakStartUp(PhraseSender sender) {
    PhraseHolder* field = sender == PhraseSender::StartUpBtn ? &startUpHolder_
                          : sender == PhraseSender::TestBtn  ? &testHolder_
                                                             : nullptr;
    if (field && controller_->GetHolder() == field) {
        controller_->ReleaseEngine();  // a second press stops the phrase
        return;
    }
    if (!field) {
        SpeechHolder* holder = controller_->GetHolder();
        if (holder == &startUpHolder_) field = &startUpHolder_;
        if (holder == &testHolder_) field = &testHolder_;
        if (!field) return;
    }
    QLineEdit* edit = field == &startUpHolder_ ? startUpEdit_ : testEdit_;
    if (field == &startUpHolder_) {
        try {
            controller_->SetEngineRunning(true);
        } catch (...) {
            // One error box; without the holder the timer does not try to start it again.
            if (controller_->GetHolder() == field) controller_->ReleaseEngine();
            throw;
        }
        controller_->SetPlayerMode(true);
        controller_->SetPaused(false);
        {
            const QSignalBlocker blocker(testStyle_);
            testStyle_->setCurrentRow(kAlarmPreset);
        }
        SetTestValues(VoiceSender::TestStyle);
    }
    controller_->ReleaseEngine();
    controller_->AcquireEngine(field);
    SpeakRequest(To1251(edit->text()), field);
}

void TFrmTalk::ShowTestRes() {
    testResList_->clear();
    for (const std::string& line : testRes_)
        testResList_->addItem(QString::fromStdString(line));
}

// ---- player panel ----

void TFrmTalk::ShowAppearance() {
    QPalette palette = pnlPlayerSetup_->palette();
    palette.setColor(QPalette::Window, ToQColor(appearance_.WindowColor));
    pnlPlayerSetup_->setPalette(palette);
    pnlPlayerSetup_->setFont(ToQFont(appearance_.WindowFont));
    QPalette editor = editorSetup_->palette();
    editor.setColor(QPalette::Base, ToQColor(appearance_.EditorColor));
    editor.setColor(QPalette::Text, ToQColor(appearance_.EditorFont.Color));
    editorSetup_->setPalette(editor);
    editorSetup_->setFont(ToQFont(appearance_.EditorFont));
    styleWin_->setFont(ToQFont(appearance_.StyleWin));
    styleDos_->setFont(ToQFont(appearance_.StyleDos));
}

void TFrmTalk::BtnViewSetup(ViewButton button) {
    MessageBoxes& dialogs = *setup_.Boxes;
    auto pickColor = [&](int32_t& color) {
        QColor chosen = ToQColor(color);
        if (dialogs.ChooseColor(this, chosen)) color = FromQColor(chosen);
    };
    // A code-page font: the editor's sample takes it too; both keep the text colour.
    auto pickStyle = [&](FontRecord& style) {
        const int32_t textColor = appearance_.EditorFont.Color;
        QFont chosen = ToQFont(style);
        if (!dialogs.ChooseFont(this, chosen)) return false;
        style = FromQFont(chosen, style);
        style.Color = textColor;
        appearance_.EditorFont = style;
        return true;
    };
    switch (button) {
        case ViewButton::WinBkCol:
            pickColor(appearance_.WindowColor);
            break;
        case ViewButton::EditBkCol:
            pickColor(appearance_.EditorColor);
            break;
        case ViewButton::EditCol:
            pickColor(appearance_.EditorFont.Color);
            break;
        case ViewButton::WinBkFont:
            if (QFont chosen = ToQFont(appearance_.WindowFont); dialogs.ChooseFont(this, chosen))
                appearance_.WindowFont = FromQFont(chosen, appearance_.WindowFont);
            break;
        case ViewButton::Win1251:
            pickStyle(appearance_.StyleWin);
            break;
        case ViewButton::DosAlt:
            if (pickStyle(appearance_.StyleDos)) {
                const int32_t charset = appearance_.StyleDos.Charset;
                if (charset == 0 || charset == 1 || charset == 204 || charset == 255) {
                    appearance_.StyleDos.Charset = 255;  // OEM
                    appearance_.EditorFont.Charset = 255;
                }
            }
            break;
    }
    ShowAppearance();
}

void TFrmTalk::TextChange() {
    for (PauseEdit* pause : {abzBegPause_, abzEndPause_})
        pause->SetPauseText(QString::number(pause->Tenths()));
    blockItem_->setText(QString::number(blockSize_->currentIndex()));
    SelectBlockItem();
}

void TFrmTalk::GetTextOptions(PlayerOptions& options) {
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

bool TFrmTalk::AutoCalc() {
    return autoCalc_->isChecked();
}

// ---- timed events ----

QDateTime TFrmTalk::Now() const {
    return setup_.Clock ? setup_.Clock->Now() : systemClock_.Now();
}

void TFrmTalk::ReArm(DailyEvent& event, const QTimeEdit* picker) {
    event.ArmNext(Now(), picker->time());
}

void TFrmTalk::EventChangeDate() {
    if (logOffCheck_->isChecked())
        ReArm(logOff_, logOffTime_);
    else
        logOff_.Disarm();
    if (logOnCheck_->isChecked())
        ReArm(logOn_, logOnTime_);
    else
        logOn_.Disarm();
    const std::pair<QTimer*, bool> timers[] = {{logOffTimer_, logOffCheck_->isChecked()},
                                               {logOnTimer_, logOnCheck_->isChecked()}};
    for (const auto& [timer, on] : timers) {
        if (on && !timer->isActive()) timer->start();
        if (!on) timer->stop();
    }
}

void TFrmTalk::CheckEvents() {
    const QDateTime now = Now();
    if (logOffCheck_->isChecked() && logOff_.TakeIfDue(now)) ShutDown();
    if (logOnCheck_->isChecked() && logOn_.TakeIfDue(now)) StartUp();
}

void TFrmTalk::ShutDown() {
    if (!logOffCheck_->isChecked()) return;
    // Re-armed first: an action that fails still comes back on time.
    if (rgLogOff_->checkedId() == 2)
        logOff_.Arm(Now().addMSecs(kPowerOffRepeatMs));  // asked again until the system is down
    else
        ReArm(logOff_, logOffTime_);
    PowerControl* power = InstalledPowerControl();
    switch (rgLogOff_->checkedId()) {
        case 0:
            controller_->SetPaused(true);
            break;
        case 1:
            if (power) power->Hibernate();
            break;
        case 2:
            controller_->SetEngineRunning(false);
            if (power) power->PowerOff();
            break;
        default:
            break;
    }
}

void TFrmTalk::StartUp() {
    if (!logOnCheck_->isChecked()) return;
    ReArm(logOn_, logOnTime_);
    switch (rgLogOn_->checkedId()) {
        case 0:
            if (controller_->IsPaused()) controller_->SetPaused(false);
            break;
        case 1: {
            // A missing or failing program is not reported.
            const QString program = startUpProcess_->text();
            if (program.isEmpty()) break;
            if (setup_.OpenProgram)
                setup_.OpenProgram(program);
            else if (QFileInfo(program).isExecutable())
                QProcess::startDetached(program, {});  // a program is started, not opened
            else
                QDesktopServices::openUrl(QUrl::fromLocalFile(program));
            break;
        }
        case 2:
            SpeakStartUp(PhraseSender::StartUpBtn);
            break;
        default:
            break;
    }
}

void TFrmTalk::StartUpProcBtnClick() {
    FileChoice choice;
    choice.Title = QStringLiteral("Укажите запускаемый файл");
    choice.Folder = openDialogFolder_;
    choice.Filter =
        QStringLiteral("Программа (*.EXE *.COM *.BAT *.CMD *.exe *.com *.bat *.cmd *.sh);;*");
    const QString chosen = setup_.Boxes->ChooseFile(this, choice);
    if (chosen.isEmpty()) return;
    const QFileInfo file(chosen);
    openDialogFolder_ = file.absolutePath();
    startUpProcess_->setText(file.absoluteFilePath());
}

// ---- stored controls ----

void TFrmTalk::StoreControls(StoredControls& c) const {
    c.LogOffTime = FractionOfDay(logOffTime_->time());
    c.RGLogOffIndex = rgLogOff_->checkedId();
    c.LogOffChecked = logOffCheck_->isChecked();
    c.LogOnTime = FractionOfDay(logOnTime_->time());
    c.RGLogOnIndex = rgLogOn_->checkedId();
    c.LogOnChecked = logOnCheck_->isChecked();
    c.StartUpProcess = startUpProcess_->text().toStdString();
    c.StartUpEdit = startUpEdit_->text().toStdString();
    c.TestResItems = testRes_;
    c.TestEdit = testEdit_->text().toStdString();
    c.Look = appearance_;
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
    c.BtnRunDown = btnRun_->isChecked();
    c.FormVisibleChecked = formVisible_->isChecked();
}

void TFrmTalk::RestoreControls(const StoredControls& c) {
    // The pickers arm the events once, after everything is restored.
    const QSignalBlocker offTime(logOffTime_), onTime(logOnTime_), offCheck(logOffCheck_),
        onCheck(logOnCheck_);
    logOffTime_->setTime(TimeOfDayFromFraction(c.LogOffTime));
    SetGroupIndex(rgLogOff_, c.RGLogOffIndex);
    logOffCheck_->setChecked(c.LogOffChecked);
    logOnTime_->setTime(TimeOfDayFromFraction(c.LogOnTime));
    SetGroupIndex(rgLogOn_, c.RGLogOnIndex);
    logOnCheck_->setChecked(c.LogOnChecked);
    startUpProcess_->setText(FromStored(c.StartUpProcess));
    startUpEdit_->setText(FromStored(c.StartUpEdit));
    testRes_ = c.TestResItems;
    ShowTestRes();
    testEdit_->setText(FromStored(c.TestEdit));
    appearance_ = c.Look;
    // The editor's sample shows the Windows font until a code-page font is chosen.
    const int32_t textColor = appearance_.EditorFont.Color;
    appearance_.EditorFont = appearance_.StyleWin;
    appearance_.EditorFont.Color = textColor;
    ShowAppearance();
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
    btnRun_->setChecked(c.BtnRunDown);
    formVisible_->setChecked(c.FormVisibleChecked);
}

}  // namespace tovrin
