#include "synth/EngineWindow.h"

#include "platform/WaveDevice.h"

#include "text/CodePages.h"

#include <QApplication>
#include <QClipboard>
#include <QCloseEvent>
#include <QHBoxLayout>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QVBoxLayout>

#include <algorithm>
#include <climits>
#include <ctime>

namespace tovrin {

namespace {

constexpr auto kWindowCaption = W1251("Синтезатор речи");

std::string ToString(std::string_view bytes) {
    return std::string(bytes);
}

QString ToQt(std::string_view windows1251) {
    return QString::fromStdString(Windows1251ToUtf8(windows1251));
}

std::tm LocalNow() {
    const std::time_t now = std::time(nullptr);
    std::tm local{};
    localtime_r(&now, &local);
    return local;
}

// The text ends at its first zero byte, as a window text does.
std::string UpToTerminator(const std::string& text) {
    return text.substr(0, text.find('\0'));
}

}  // namespace

EngineWindow::EngineWindow(DesktopHost& host, std::unique_ptr<SpeechSynthesizer> synthesizer,
                           std::string engineFolder, bool closeQuits)
    : host_(host), engineFolder_(std::move(engineFolder)), closeQuits_(closeQuits) {
    BuildWidgets();
    // The player reports from its own thread; the window takes the news on the UI thread.
    SpeechPlayer::Listener listener;
    listener.progress = [this](uint64_t speech, uint32_t position) {
        QMetaObject::invokeMethod(
            this, [this, speech, position] { OnProgress(speech, position); }, Qt::QueuedConnection);
    };
    listener.finished = [this](uint64_t speech) {
        QMetaObject::invokeMethod(
            this, [this, speech] { OnFinished(speech); }, Qt::QueuedConnection);
    };
    player_ = std::make_unique<SpeechPlayer>(
        std::move(synthesizer), [](const PcmFormat& format) { return PcmStream::Open(format); },
        std::move(listener));
    PutOnDesktop();
    ShowState();
}

EngineWindow::~EngineWindow() {
    player_.reset();
    host_.SetChangeObserver({});
    RemoveFromDesktop();
    if (editDetached_) delete edit_;
}

void EngineWindow::RemoveFromDesktop() {
    if (mainWindow_ == kNoWindow) return;
    // A detached edit box is no longer among the main window's children.
    if (host_.Parent(editWindow_) == kNoWindow) host_.DestroyWindow(editWindow_);
    host_.DestroyWindow(mainWindow_);
    mainWindow_ = kNoWindow;
}

void EngineWindow::BuildWidgets() {
    setWindowTitle(ToQt(kWindowCaption.view()));
    layout_ = new QVBoxLayout(this);
    edit_ = new QPlainTextEdit(this);
    progress_ = new QProgressBar(this);
    progress_->setTextVisible(false);
    talkButton_ = new QPushButton(this);
    pauseButton_ = new QPushButton(this);
    auto* buttons = new QHBoxLayout;
    buttons->addWidget(talkButton_);
    buttons->addWidget(pauseButton_);
    // The edit box takes the spare height; without it (hidden or detached by the
    // controller) the bar and the buttons stay together at the top.
    layout_->addWidget(edit_, 1);
    layout_->addWidget(progress_);
    layout_->addLayout(buttons);
    layout_->addStretch(0);
    resize(420, 260);

    connect(talkButton_, &QPushButton::clicked, this, [this] { Talk(); });
    connect(pauseButton_, &QPushButton::clicked, this, [this] { TogglePause(); });
    connect(edit_, &QPlainTextEdit::textChanged, this, [this] { OnEditTyped(); });
}

void EngineWindow::PutOnDesktop() {
    mainWindow_ =
        host_.CreateWindow(kEngineWindowClass, ToString(kWindowCaption.view()), kNoWindow, false,
                           [this](WindowHandle, uint32_t message, uint64_t wParam,
                                  const std::string&) { return OnMainMessage(message, wParam); });
    pane_ = host_.CreateWindow(kEnginePaneClass, "", mainWindow_, true);
    editWindow_ = host_.CreateWindow(
        kEngineEditClass, "", pane_, true,
        [this](WindowHandle, uint32_t message, uint64_t, const std::string& text) {
            return OnEditMessage(message, text);
        });
    progressWindow_ = host_.CreateWindow(kEngineProgressClass, "", pane_, true);
    talkWindow_ = host_.CreateWindow(kEngineButtonClass, ToString(kEngineCaptionTalk), pane_, true);
    pauseWindow_ =
        host_.CreateWindow(kEngineButtonClass, ToString(kEngineCaptionPause), pane_, true);
    host_.SetChangeObserver(
        [this](WindowHandle window, WindowChange change) { OnWindowChange(window, change); });
}

int64_t EngineWindow::OnMainMessage(uint32_t message, uint64_t wParam) {
    if (message == WM_COMMAND) RunCommand(wParam);
    if (message == WM_DESTROY) Shutdown();
    return 0;
}

int64_t EngineWindow::OnEditMessage(uint32_t message, const std::string& text) {
    if (message == WM_SETTEXT) {
        SetEditText(text);
        return 1;
    }
    return 0;
}

void EngineWindow::OnWindowChange(WindowHandle window, WindowChange change) {
    if (window == mainWindow_) {
        if (change == WindowChange::Shown) show();
        if (change == WindowChange::Hidden) hide();
    } else if (window == editWindow_) {
        if (change == WindowChange::ParentChanged) FollowEditParent();
        if (change == WindowChange::Shown || change == WindowChange::Hidden)
            edit_->setVisible(change == WindowChange::Shown);
    }
}

// The controller takes the edit box out of the window (parent none) and puts it back; the
// widget follows, so a shown window never holds an edit box the desktop says is elsewhere.
void EngineWindow::FollowEditParent() {
    const bool detached = host_.Parent(editWindow_) == kNoWindow;
    if (detached == editDetached_) return;
    editDetached_ = detached;
    if (detached) {
        layout_->removeWidget(edit_);
        edit_->setParent(nullptr);
        edit_->setWindowTitle(windowTitle());
    } else {
        edit_->setParent(this);
        layout_->insertWidget(0, edit_, 1);
    }
    edit_->setVisible(host_.IsVisible(editWindow_));
}

void EngineWindow::RunCommand(uint64_t number) {
    struct ParameterCommand {
        uint64_t base;
        int SynthVoice::*parameter;
    };
    static constexpr ParameterCommand kParameterCommands[] = {
        {kCommandTimbre, &SynthVoice::timbre},
        {kCommandTempo, &SynthVoice::tempo},
        {kCommandMelody, &SynthVoice::melody},
        {kCommandVoice, &SynthVoice::voice},
    };
    if (number == kCommandTalk) return Talk();
    if (number == kCommandPause) return TogglePause();
    if (number == kCommandSpy) return ToggleSpy();
    const SynthVoice before = params_;
    for (const ParameterCommand& command : kParameterCommands) {
        if (number >= command.base && number <= command.base + kMaxParameter)
            params_.*command.parameter = static_cast<int>(number - command.base);
    }
    // Any other number is not one of this engine's commands and is ignored. A change is heard
    // in the text being spoken from its next clause on.
    if (speaking_ && params_ != before) player_->ChangeVoice(params_);
}

void EngineWindow::Talk() {
    if (speaking_) {
        StopSpeaking();
        return;
    }
    const std::string text = UpToTerminator(text_);
    if (text.empty()) return;
    StartSpeaking(text);
}

void EngineWindow::TogglePause() {
    if (!speaking_) return;
    paused_ = !paused_;
    player_->SetPaused(paused_);
    ShowState();
}

void EngineWindow::ToggleSpy() {
    spying_ = !spying_;
    QClipboard* clipboard = QApplication::clipboard();
    if (spying_) {
        connect(clipboard, &QClipboard::dataChanged, this, &EngineWindow::OnClipboardChanged);
    } else {
        disconnect(clipboard, &QClipboard::dataChanged, this, &EngineWindow::OnClipboardChanged);
    }
}

void EngineWindow::OnClipboardChanged() {
    const QString copied = QApplication::clipboard()->text();
    if (copied.trimmed().isEmpty()) return;
    const std::string text = Utf8ToWindows1251(copied.toStdString());
    SetEditText(text);
    host_.SetCaption(editWindow_, text);
    if (speaking_) StopSpeaking();
    StartSpeaking(UpToTerminator(text));
}

void EngineWindow::StartSpeaking(const std::string& text) {
    const EngineConfig config = ReadEngineConfig(engineFolder_);
    SpeechRequest request;
    request.text = text;
    request.params = params_;
    request.dictionary = dictionaries_.Get(config.dictionaryPaths);
    request.soundFolder = config.soundFolder;
    request.now = LocalNow();
    speech_ = player_->Speak(std::move(request));
    speaking_ = true;
    paused_ = false;
    progressMax_ = static_cast<int32_t>(std::min<size_t>(text.size(), INT32_MAX));
    progressPos_ = 0;
    ShowState();
}

void EngineWindow::StopSpeaking() {
    player_->Stop();
    speaking_ = false;
    paused_ = false;
    progressPos_ = 0;
    ShowState();
}

void EngineWindow::OnProgress(uint64_t speech, uint32_t position) {
    if (!speaking_ || speech != speech_) return;
    progressPos_ = static_cast<int32_t>(std::min<uint32_t>(position, progressMax_));
    ShowState();
}

void EngineWindow::OnFinished(uint64_t speech) {
    if (!speaking_ || speech != speech_) return;
    speaking_ = false;
    paused_ = false;
    progressPos_ = 0;
    ShowState();
}

void EngineWindow::SetEditText(const std::string& text) {
    text_ = text;
    updatingEdit_ = true;
    edit_->setPlainText(ToQt(UpToTerminator(text)));
    updatingEdit_ = false;
}

void EngineWindow::OnEditTyped() {
    if (updatingEdit_) return;
    text_ = Utf8ToWindows1251(edit_->toPlainText().toStdString());
    host_.SetCaption(editWindow_, text_);
}

void EngineWindow::ShowState() {
    // Told before the buttons change, so a controller that sees the speech end sees the
    // failure too.
    if (!failureShown_) {
        if (const auto failure = WaveDeviceFailure()) {
            failureShown_ = true;
            host_.SetCaption(mainWindow_, ToString(kWindowCaption.view()) +
                                              std::string(kEngineFailureMark) + *failure);
        }
    }
    const auto talk = speaking_ ? kEngineCaptionStop : kEngineCaptionTalk;
    const auto pause = paused_ ? kEngineCaptionResume : kEngineCaptionPause;
    host_.SetCaption(talkWindow_, ToString(talk));
    host_.SetCaption(pauseWindow_, ToString(pause));
    host_.SetScrollInfo(progressWindow_, ScrollInfo{0, progressMax_, progressPos_});
    talkButton_->setText(ToQt(talk));
    pauseButton_->setText(ToQt(pause));
    // A bar whose range is empty would run Qt's busy animation; an idle bar stays still.
    progress_->setRange(0, std::max(progressMax_, 1));
    progress_->setValue(progressPos_);
}

void EngineWindow::Shutdown() {
    StopSpeaking();
    if (spying_) ToggleSpy();
    // The window leaves the desktop before the reply, so the sender finds no engine after it.
    RemoveFromDesktop();
    QMetaObject::invokeMethod(qApp, &QCoreApplication::quit, Qt::QueuedConnection);
}

void EngineWindow::ShowOnScreen() {
    host_.SetVisible(mainWindow_, true);
    show();
}

void EngineWindow::closeEvent(QCloseEvent* event) {
    event->accept();
    host_.SetVisible(mainWindow_, false);
    if (closeQuits_) Shutdown();
}

}  // namespace tovrin
