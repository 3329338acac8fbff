#include "main/FrmTalk.h"

#include "main/CommandText.h"
#include "main/ControlNames.h"
#include "main/EventPage.h"
#include "main/RunningCopy.h"
#include "main/SpeakFileRequests.h"
#include "main/StartFile.h"
#include "main/TextPage.h"
#include "main/VoicePage.h"
#include "platform/Desktop.h"
#include "platform/WaveDevice.h"
#include "text/CodePages.h"

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QCloseEvent>
#include <QMenu>
#include <QPainter>
#include <QPushButton>
#include <QScreen>
#include <QScrollArea>
#include <QSystemTrayIcon>
#include <QTimer>
#include <QToolButton>
#include <QVBoxLayout>
#include <QWindow>

#include <algorithm>
#include <cstdio>
#include <exception>

namespace tovrin {

namespace {

constexpr int kPollIntervalMs = 100;
constexpr const char* kUnknownError = "Unknown error";

// A message from anywhere in the program: UTF-8 as a rule, Windows-1251 from the libraries.
QString MessageText(const std::string& text) {
    const QString decoded = QString::fromUtf8(text);
    if (decoded.toUtf8() == QByteArray::fromStdString(text)) return decoded;
    return QString::fromStdString(Windows1251ToUtf8(text));
}

QIcon ProgramIcon() {
    QPixmap picture(32, 32);
    picture.fill(Qt::transparent);
    QPainter painter(&picture);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setBrush(QColor(0x2a, 0x6f, 0xb0));
    painter.setPen(Qt::NoPen);
    painter.drawEllipse(2, 2, 28, 28);
    painter.setBrush(Qt::white);
    painter.drawRect(10, 12, 5, 8);
    painter.drawPolygon(QPolygon({QPoint(15, 12), QPoint(22, 6), QPoint(22, 26), QPoint(15, 20)}));
    return QIcon(picture);
}

// Where a window stands, as the settings file keeps it.
WindowPlacement PlacementOf(const QWidget& window) {
    const QRect frame = window.frameGeometry();
    const QScreen* display = window.screen();
    WindowPlacement placement;
    placement.Left = frame.left();
    placement.Top = frame.top();
    placement.Right = frame.left() + frame.width();
    placement.Bottom = frame.top() + frame.height();
    placement.ScreenWidth = display->geometry().width();
    placement.ScreenHeight = display->geometry().height();
    placement.PixelsPerInch = qRound(display->logicalDotsPerInch());
    placement.ShowCmd = window.isMinimized() ? 2 : (window.isVisible() ? 1 : 0);
    placement.Visible = window.isVisible();
    return placement;
}

}  // namespace

TFrmTalk::TFrmTalk(std::unique_ptr<TTalkServ> controller, FrmTalkSetup setup, QWidget* parent)
    : QMainWindow(parent), controller_(std::move(controller)), setup_(std::move(setup)) {
    setObjectName(QStringLiteral("FrmTalk"));
    setWindowTitle(kMainWindowCaption);
    setAccessibleName(kMainWindowCaption);
    setWindowIcon(ProgramIcon());
    // An ordinary window (a dialog may have no task bar entry, and a minimised one could be
    // lost); a title, system menu, minimise and close, and a fixed size.
    setWindowFlags(Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                   Qt::WindowSystemMenuHint | Qt::WindowMinimizeButtonHint |
                   Qt::WindowCloseButtonHint);
    // The controls scroll only where the screen is too small for them (a large scale).
    auto* scroll = new QScrollArea(this);
    scroll->setObjectName(QStringLiteral("ClientScroll"));
    scroll->setFrameShape(QFrame::NoFrame);
    scroll->setWidgetResizable(true);
    client_ = new QWidget(scroll);
    scroll->setWidget(client_);
    setCentralWidget(scroll);
    auto* column = new QVBoxLayout(client_);
    column->setContentsMargins(0, 0, 0, 0);
    column->setSpacing(0);
    BuildActions();
    BuildSwitches();
    BuildPages();
    BuildMenu();
    FitToCaptions();
    setContextMenuPolicy(Qt::CustomContextMenu);
    connect(this, &QWidget::customContextMenuRequested, this,
            [this](const QPoint& at) { menu_->popup(mapToGlobal(at)); });

    frmTimer_ = new QTimer(this);
    frmTimer_->setObjectName(QStringLiteral("FrmTimer"));
    frmTimer_->setInterval(kPollIntervalMs);
    connect(frmTimer_, &QTimer::timeout, this, &TFrmTalk::TimerUpdateEvent);
    frmTimer_->start();
    speakFiles_ = std::make_unique<SpeakFileRequests>(
        this, [this](const std::string& name) { return ServeSpeakFile(name); },
        [this](const std::string& text) { ReportError(text); });
}

TFrmTalk::~TFrmTalk() {
    FormDestroy();
}

void TFrmTalk::SetPlayerFactory(PlayerFactory* factory) {
    players_ = factory;
    if (players_)
        players_->SetClosingHandler([this](PlayerWindow& window) { PlayerClosing(window); });
}

// ---- start-up ----

bool TFrmTalk::FormCreate() {
    firstActivation_ = false;
    secondCopy_ = false;
    const std::string service = DdeServiceName(setup_.ExecutablePath);
    CopyCheck copy = FindRunningCopy(service, kDdeTopic, setup_.CopyLockPath,
                                     std::chrono::milliseconds(setup_.HandOverLimitMs));
    if (copy.LockUnusable)
        std::fprintf(stderr,
                     "tovrin: %s cannot hold the running copy's lock (no regular file, or not "
                     "writable); the running copy is found by its DDE server alone\n",
                     setup_.CopyLockPath->c_str());
    if (!copy.Lock && (copy.OtherServes || (setup_.CopyLockPath && !copy.LockUnusable))) {
        secondCopy_ = true;
        const std::string file = GetStartFile(setup_.Arguments);
        DdeConversation conversation;
        // The running copy is told and not waited for; it is not otherwise disturbed.
        if (!file.empty() && conversation.Connect(service, kDdeTopic))
            conversation.Execute(SpeakFileMacro(file), false);
        else if (!file.empty())
            std::fprintf(stderr,
                         "tovrin: the running copy does not answer; %s is not handed over\n",
                         file.c_str());
        return false;
    }
    copyLock_ = std::move(copy.Lock);

    normalStart_ = true;
    CreateTrayIcon();
    connect(qApp, &QGuiApplication::applicationStateChanged, this,
            [this](Qt::ApplicationState state) {
                if (state == Qt::ApplicationActive) ShowMainClick();
            });
    LoadSettings();
    controller_->ResetController();
    text_->SelectBlockItem();
    TextChange();
    std::vector<std::string>& testRes = voice_->TestRes();
    controller_->LoadPresets(testRes.empty() ? nullptr : &testRes);
    voice_->SelectPresetQuietly(controller_->CurrentPreset());
    Guarded([this] { SetTestValues(VoiceSender::TestStyle); });
    firstActivation_ = true;
    EventChangeDate();
    return true;
}

void TFrmTalk::showEvent(QShowEvent* event) {
    QMainWindow::showEvent(event);
    if (everShown_) return;
    everShown_ = true;
    connect(windowHandle(), &QWindow::screenChanged, this, &TFrmTalk::FollowScreen);
    FollowScreen(screen());
    // Without a window manager no activation ever arrives; start-up must still run once.
    QTimer::singleShot(setup_.ActivationFallbackMs, this, [this] {
        if (firstActivation_) ShowMainClick();
    });
}

void TFrmTalk::ShowMainClick() {
    Guarded([this] {
        if (firstActivation_)
            RunFirstActivation();
        else if (normalStart_)
            RestoreMainWindow();
    });
}

void TFrmTalk::RunFirstActivation() {
    firstActivation_ = false;
    DdeConversation conversation;
    if (!conversation.Connect(DdeServiceName(setup_.ExecutablePath), kDdeTopic) &&
        setup_.MakeDdeServer && !ddeServer_) {
        ddeServer_ =
            setup_.MakeDdeServer(DdeServiceName(setup_.ExecutablePath), kDdeTopic,
                                 [this](const std::string& macro) { return DdeExec(macro); });
    }
    std::exception_ptr failure;
    try {
        StartWithFile(GetStartFile(setup_.Arguments));
    } catch (...) {
        failure = std::current_exception();
    }
    text_->SelectBlockItem();
    if (formVisible_->isChecked())
        ShowClick();
    else
        HideClick();
    if (failure) std::rethrow_exception(failure);
}

void TFrmTalk::StartWithFile(const std::string& fileName) {
    if (!fileName.empty()) SetDown(itemRun_, true);
    std::exception_ptr failure;
    try {
        RunClick();
    } catch (...) {
        failure = std::current_exception();
    }
    // The player window opens whatever became of the engine; its own error wins.
    try {
        if (PlayerWindow* window = OpenPlayer(fileName)) window->EditorFocus();
    } catch (...) {
        failure = std::current_exception();
    }
    if (failure) std::rethrow_exception(failure);
}

void TFrmTalk::RestoreMainWindow() {
    if (isVisible() && !isMinimized()) return;
    if (players_) {
        for (PlayerWindow* window : players_->OpenPlayers())
            if (window->IsShownNormally()) return;
    }
    ShowClick();
}

PlayerWindow* TFrmTalk::OpenPlayer(const std::string& fileName) {
    // A request queued before shutdown finds no window to open.
    if (!players_ || destroyed_) return nullptr;
    return ReadInPlayer(players_->CreatePlayer(), fileName);
}

PlayerWindow* TFrmTalk::ReadInPlayer(PlayerWindow* created, const std::string& fileName) {
    // Loading, starting the engine and playing may each show a box, and the window may close
    // in its event loop: the window is looked up again after each step.
    const uint64_t id = created->Id();
    const std::string existing = ExistingFileFor(fileName);
    PlayerWindow* window = FindPlayer(id);
    if (existing.empty() || !window || !window->LoadText(existing)) return FindPlayer(id);
    if (!controller_->BindEngine()) {
        SetDown(itemRun_, true);
        RunClick();
    }
    if (!controller_->BindEngine()) return FindPlayer(id);
    if ((window = FindPlayer(id))) window->ClickPlay();
    return FindPlayer(id);
}

PlayerWindow* TFrmTalk::FindPlayer(uint64_t id) const {
    if (!players_) return nullptr;
    for (PlayerWindow* window : players_->OpenPlayers())
        if (window->Id() == id) return window;
    return nullptr;
}

bool TFrmTalk::DdeExec(const std::string& macro) {
    const auto fileName = SpeakFileRequest(macro);
    // Answered at once: the work may start the engine, which takes longer than a client waits.
    if (fileName && !destroyed_) speakFiles_->Add(*fileName);
    return true;
}

// A request from another program opens a new window, or at the limit of open windows reads
// in the oldest idle one; false when every window is busy.
bool TFrmTalk::ServeSpeakFile(const std::string& fileName) {
    if (!players_ || destroyed_) return true;
    const auto window =
        SpeakFileRequests::ChooseWindow(players_->OpenPlayers(), controller_->GetHolder());
    if (!window) return false;
    Guarded([this, &fileName, reused = *window] {
        PlayerWindow* reading = reused ? ReadInPlayer(reused, fileName) : OpenPlayer(fileName);
        if (reading) reading->EditorFocus();
    });
    return true;
}

// ---- switches and menu ----

void TFrmTalk::SetDown(QAction* command, bool down) {
    if (command->isChecked() != down) command->setChecked(down);
}

void TFrmTalk::ShowRunCaption(bool running) {
    const QString caption = running ? kStopCaption : kRunCaption;
    if (itemRun_->iconText() == caption) return;
    itemRun_->setIconText(caption);
    btnRun_->setAccessibleName(caption);
}

void TFrmTalk::RunClick() {
    const bool run = itemRun_->isChecked();
    try {
        if (!run) {
            controller_->SetPaused(false);
            controller_->SetPlayerMode(false);
            controller_->SetSpyMode(false);
        }
        controller_->SetEngineRunning(run);
    } catch (...) {
        SetDown(itemRun_, false);
        throw;
    }
    ShowRunCaption(run);
    if (run) TellWhenSilent();
}

// Said once a run, at the first engine start: without a sound server the default device only
// keeps time, and a user hearing nothing should learn why and what to do instead.
void TFrmTalk::TellWhenSilent() {
    if (silenceTold_) return;
    silenceTold_ = true;
    const bool silent = setup_.SoundIsSilent ? setup_.SoundIsSilent() : DefaultSoundIsSilent();
    if (!silent) return;
    setup_.Boxes->Show(this, BoxKind::Information,
                       QStringLiteral("Звуковой сервер не отвечает: речь не слышна. Чтобы записать "
                                      "её в файл, запустите программу с TOVRIN_AUDIO=wav:ФАЙЛ."),
                       {BoxButton::Ok}, BoxButton::Ok);
}

// A mode switch springs back without an engine.
void TFrmTalk::PauseClick() {
    if (controller_->BindEngine())
        controller_->SetPaused(itemPause_->isChecked());
    else
        SetDown(itemPause_, false);
}

void TFrmTalk::BtnSpyClick() {
    if (controller_->BindEngine())
        controller_->SetSpyMode(itemSpy_->isChecked());
    else
        SetDown(itemSpy_, false);
}

void TFrmTalk::BtnPlayerClick() {
    if (controller_->BindEngine())
        controller_->SetPlayerMode(itemPlayer_->isChecked());
    else
        SetDown(itemPlayer_, false);
}

void TFrmTalk::BtnVisibleClick() {
    if (!controller_->BindEngine()) {
        SetDown(itemVisible_, false);
        return;
    }
    if (itemVisible_->isChecked()) {
        controller_->AttachEditBox();
        desktop::ShowWindow(controller_->Windows().Main, true);
    } else {
        controller_->DetachEditBox();
        desktop::ShowWindow(controller_->Windows().Main, false);
    }
}

void TFrmTalk::ExitClick() {
    RequestClose(true);
}

void TFrmTalk::ShowClick() {
    shown_ = true;
    if (isMinimized())
        showNormal();
    else
        show();
    if (!RunsOffscreen()) raise();
    activateWindow();
    menu_->setDefaultAction(itemHide_);
}

void TFrmTalk::HideClick() {
    shown_ = false;
    // Without a tray nothing would bring a hidden window back: it is minimised instead.
    if (tray_)
        hide();
    else
        showMinimized();
    menu_->setDefaultAction(itemShow_);
}

// ---- the poll ----

void TFrmTalk::TimerUpdateEvent() {
    // An error box of this handler runs its own event loop; the ticks it lets through wait.
    if (inTimer_) return;
    inTimer_ = true;
    try {
        if (controller_->HasWorker() && controller_->WorkerFinished()) controller_->StopWorker();
        const EngineState state = controller_->GetEngineState();
        ReportEngineDeviceFailure(state.Running && state.Busy);
        if (state.Holder && state.Holder->IsPlayerWindow() && IsOpenPlayer(state.Holder))
            state.Holder->PlayerPoll(state);
        if ((state.Holder == &startUpHolder_ || state.Holder == &testHolder_) && !state.Busy)
            SpeakStartUp(PhraseSender::None);
        SetDown(itemPlayer_, state.PlayerMode);
        SetDown(itemSpy_, state.SpyMode);
        SetDown(itemPause_, state.Paused);
        SetDown(itemRun_, state.Running);
        if (!state.Running) {
            ShowRunCaption(false);
            SetDown(itemVisible_, false);
        }
        // A volume changed by another program moves the bar, and so goes into the preset.
        voice_->FollowVolume(controller_->GetVolume());
        lastTimerError_.clear();
    } catch (const std::exception& error) {
        ReportTimerError(error.what());
    } catch (...) {
        ReportTimerError(kUnknownError);
    }
    inTimer_ = false;
    emit Ticked();
}

void TFrmTalk::ReportTimerError(const std::string& text) {
    // A failing step fails again at every tick: it is reported once until it recovers.
    if (lastTimerError_ == text) return;
    lastTimerError_ = text;
    ReportError(text);
}

// A speech that ends on an engine whose wave device failed (a recording that cannot be
// written, say) reached nobody; the user is told once for each failure, at the speech's end.
void TFrmTalk::ReportEngineDeviceFailure(bool busy) {
    const bool ended = engineWasBusy_ && !busy;
    engineWasBusy_ = busy;
    if (!ended) return;
    const auto failure = controller_->EngineDeviceFailure();
    if (!failure || *failure == reportedDeviceFailure_) return;
    reportedDeviceFailure_ = *failure;
    ReportError("Синтезатор не смог вывести звук, речь никто не услышал: " + *failure);
}

bool TFrmTalk::IsOpenPlayer(SpeechHolder* holder) const {
    if (!players_) return false;
    for (PlayerWindow* window : players_->OpenPlayers())
        if (window->Holder() == holder) return true;
    return false;
}

void TFrmTalk::PlayerClosing(PlayerWindow& window) {
    // The controller must never be left holding, or polling, a window that is gone.
    Guarded([this, &window] {
        if (controller_->GetHolder() == window.Holder()) controller_->ReleaseEngine();
    });
}

// ---- operations for player windows ----

void TFrmTalk::AcquireEngine(SpeechHolder* window) {
    controller_->AcquireEngine(window);
}

void TFrmTalk::ReleaseEngine() {
    controller_->ReleaseEngine();
}

bool TFrmTalk::StopSpeech() {
    return controller_->StopSpeech();
}

bool TFrmTalk::IsPaused() {
    return controller_->IsPaused();
}

void TFrmTalk::SetPaused(bool on) {
    controller_->SetPaused(on);
}

SpeechHolder* TFrmTalk::GetHolder() {
    return controller_->GetHolder();
}

ProgressInfo TFrmTalk::GetProgress() {
    return controller_->GetProgress();
}

SpeakResult TFrmTalk::SpeakRequest(const std::string& text, SpeechHolder* window) {
    SpeakRoute route = RouteSpeakRequest(text);
    if (route.Dictionary) return controller_->SpeakDictionaryEntry(route.Lines, window);
    return controller_->SpeakText(text, window);
}

void TFrmTalk::NewClient() {
    OpenPlayer({});
}

void TFrmTalk::ReportError(const std::string& text) {
    ShowErrorBox(*setup_.Boxes, this, MessageText(text));
}

void TFrmTalk::Guarded(const std::function<void()>& handler) {
    try {
        handler();
    } catch (const std::exception& error) {
        ReportError(error.what());
    } catch (...) {
        ReportError(kUnknownError);
    }
}

// ---- settings and shutdown ----

void TFrmTalk::LoadSettings() {
    if (!setup_.SettingsPath) return;
    StoredControls controls;
    StoreControls(controls);
    const QScreen* display = screen();
    ScreenInfo info{display->geometry().width(), display->geometry().height(),
                    qRound(display->logicalDotsPerInch())};
    const QSize size = this->size();
    const auto position = LoadSettingsFile(*setup_.SettingsPath, info, controls);
    RestoreControls(controls);
    // A position that lies on no screen would leave the window out of reach.
    if (position && QGuiApplication::screenAt(QPoint(position->Left, position->Top)))
        move(position->Left, position->Top);
    resize(size);
}

void TFrmTalk::SaveSettings() {
    formVisible_->setChecked(shown_);
    TextChange();
    SetTestValues(VoiceSender::None);
    controller_->SavePresets(&voice_->TestRes());
    voice_->ShowTestRes();
    if (!setup_.SettingsPath) return;
    const std::string& path = *setup_.SettingsPath;
    if (SettingsFileReadOnly(path)) {
        std::fprintf(stderr, "tovrin: the settings file %s is read-only; it is left unchanged\n",
                     path.c_str());
        return;
    }
    StoredControls controls;
    StoreControls(controls);
    // A settings file that cannot be written is given up without a message.
    SaveSettingsFile(path, PlacementOf(*this), controls, setup_.WriteSettings);
}

void TFrmTalk::FormDestroy() {
    if (destroyed_) return;
    destroyed_ = true;
    frmTimer_->stop();
    speakFiles_->Clear();
    if (normalStart_) SaveSettings();
    if (players_) players_->CloseAll();
    if (normalStart_) {
        try {
            controller_->SetEngineRunning(false);
        } catch (const std::exception& error) {
            ReportError(error.what());
        }
    }
    ddeServer_.reset();
    copyLock_.reset();
}

void TFrmTalk::CloseWithoutQuestions() {
    RequestClose(false);
}

void TFrmTalk::RequestClose(bool ask) {
    if (destroyed_) return;
    if (!ask) askBeforeClosing_ = false;
    MessageBoxes& boxes = *setup_.Boxes;
    // Without questions nothing may hold the shutdown up, not even a box it raises itself.
    if (!askBeforeClosing_ || boxes.OpenCount() > 0) boxes.EndAll();
    if (boxes.OpenCount() > 0) {
        // Tried again from the event loop until every box has returned.
        if (!closePending_) {
            closePending_ = true;
            QTimer::singleShot(0, this, [this] {
                closePending_ = false;
                RequestClose(askBeforeClosing_);
            });
        }
        return;
    }
    if (askBeforeClosing_) boxes.Resume();  // the user's close asks its questions anew
    close();
}

// A user who closes the program is offered each unsaved document for saving first; choosing
// to keep one open keeps the program running. A signal closes without questions.
bool TFrmTalk::PlayersAgreeToClose() {
    if (!askBeforeClosing_ || destroyed_ || !players_) return true;
    // Each question runs an event loop, in which other windows may close or open.
    std::vector<uint64_t> asked;
    for (PlayerWindow* player : players_->OpenPlayers())
        asked.push_back(player->Id());
    for (uint64_t id : asked) {
        PlayerWindow* player = FindPlayer(id);
        if (player && !player->ConfirmClose()) return false;
    }
    return true;
}

void TFrmTalk::closeEvent(QCloseEvent* event) {
    // A close that arrives while a box is open (from the window's own button, say) waits for
    // the boxes to end, as any shutdown does.
    if (!destroyed_ && setup_.Boxes->OpenCount() > 0) {
        event->ignore();
        RequestClose(askBeforeClosing_);
        return;
    }
    if (!PlayersAgreeToClose()) {
        event->ignore();
        return;
    }
    FormDestroy();
    event->accept();
    QCoreApplication::quit();
}

}  // namespace tovrin
