// What the main window does with its four pages: the voice and its phrases, the player's look
// and reading options handed to player windows, the daily events' actions, and the settings
// file's controls gathered from every page.
#include "main/FrmTalk.h"

#include "main/EventPage.h"
#include "main/PageWidgets.h"
#include "main/TextPage.h"
#include "main/VoicePage.h"
#include "platform/Power.h"

#include <QCheckBox>
#include <QDesktopServices>
#include <QFileInfo>
#include <QProcess>
#include <QUrl>

namespace tovrin {

namespace {

constexpr int kPowerOffRepeatMs = 2000;
constexpr int kAlarmPreset = 4;

}  // namespace

void TFrmTalk::ConnectPages() {
    connect(voice_, &TVoicePage::PresetChosen, this,
            [this] { Guarded([this] { SetTestValues(VoiceSender::TestStyle); }); });
    connect(voice_, &TVoicePage::VoiceMoved, this,
            [this] { Guarded([this] { SetTestValues(VoiceSender::Control); }); });
    connect(voice_, &TVoicePage::TestClicked, this,
            [this] { Guarded([this] { SpeakStartUp(PhraseSender::TestBtn); }); });
    connect(image_, &TImagePage::ButtonClicked, this,
            [this](ViewButton button) { Guarded([this, button] { BtnViewSetup(button); }); });
    connect(events_, &TEventPage::EventsChanged, this,
            [this] { Guarded([this] { EventChangeDate(); }); });
    connect(events_, &TEventPage::CheckDue, this, [this] { Guarded([this] { CheckEvents(); }); });
    connect(events_, &TEventPage::ChooseProgram, this,
            [this] { Guarded([this] { StartUpProcBtnClick(); }); });
    connect(events_, &TEventPage::SayPhrase, this,
            [this] { Guarded([this] { SpeakStartUp(PhraseSender::StartUpBtn); }); });
}

// ---- voice ----

void TFrmTalk::SetTestValues(VoiceSender sender) {
    if (sender == VoiceSender::TestStyle) {
        controller_->SelectPreset(voice_->Preset());
        // The preset as stored, not its low bytes: 256 shows as no voice and bars at the top.
        // Showing it stores nothing.
        voice_->ShowPreset(controller_->Preset(controller_->CurrentPreset()),
                           controller_->GetVolume());
        return;
    }
    const VoiceParams voice = voice_->Voice();
    controller_->SetVoice(voice.Voice);
    controller_->SetTimbre(voice.Timbre);
    controller_->SetTempo(voice.Tempo);
    controller_->SetMelody(voice.Melody);
    controller_->SetVolume(voice.Volume);
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
    const QString phrase = field == &startUpHolder_ ? events_->StartUpPhrase() : voice_->Phrase();
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
        voice_->SelectPresetQuietly(kAlarmPreset);
        SetTestValues(VoiceSender::TestStyle);
    }
    controller_->ReleaseEngine();
    controller_->AcquireEngine(field);
    SpeakRequest(To1251(phrase), field);
}

// ---- player panel and reading options ----

void TFrmTalk::BtnViewSetup(ViewButton button) {
    image_->BtnViewSetup(button);
}

PlayerAppearance TFrmTalk::GetAppearance() {
    return image_->Appearance();
}

void TFrmTalk::TextChange() {
    text_->TextChange();
}

void TFrmTalk::GetTextOptions(PlayerOptions& options) {
    text_->GetTextOptions(options);
}

bool TFrmTalk::AutoCalc() {
    return text_->AutoCalc();
}

// ---- timed events ----

QDateTime TFrmTalk::Now() const {
    return setup_.Clock ? setup_.Clock->Now() : systemClock_.Now();
}

std::optional<QDateTime> TFrmTalk::LogOffDue() const {
    return events_->LogOffDue();
}

std::optional<QDateTime> TFrmTalk::LogOnDue() const {
    return events_->LogOnDue();
}

void TFrmTalk::EventChangeDate() {
    events_->ChangeDate(Now());
}

void TFrmTalk::CheckEvents() {
    const QDateTime now = Now();
    if (events_->TakeLogOff(now)) ShutDown();
    if (events_->TakeLogOn(now)) StartUp();
}

void TFrmTalk::ShutDown() {
    if (!events_->LogOffOn()) return;
    // Re-armed first: an action that fails still comes back on time.
    if (events_->LogOffAction() == 2)
        events_->RepeatLogOff(Now().addMSecs(kPowerOffRepeatMs));  // until the system is down
    else
        events_->ReArmLogOff(Now());
    PowerControl* power = InstalledPowerControl();
    switch (events_->LogOffAction()) {
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
    if (!events_->LogOnOn()) return;
    events_->ReArmLogOn(Now());
    switch (events_->LogOnAction()) {
        case 0:
            if (controller_->IsPaused()) controller_->SetPaused(false);
            break;
        case 1: {
            // A missing or failing program is not reported.
            const QString program = events_->StartUpProgram();
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
    events_->StartUpProcBtnClick();
}

// ---- stored controls: each page its own, the window the switch and its visibility ----

void TFrmTalk::StoreControls(StoredControls& c) const {
    events_->Store(c);
    voice_->Store(c);
    image_->Store(c);
    text_->Store(c);
    c.BtnRunDown = itemRun_->isChecked();
    c.FormVisibleChecked = formVisible_->isChecked();
}

void TFrmTalk::RestoreControls(const StoredControls& c) {
    events_->Restore(c);
    voice_->Restore(c);
    image_->Restore(c);
    text_->Restore(c);
    itemRun_->setChecked(c.BtnRunDown);
    formVisible_->setChecked(c.FormVisibleChecked);
}

}  // namespace tovrin
