#include "main/FrmTalk.h"

#include "dialogs/AccessibleToggles.h"
#include "engine/WholeNumber.h"
#include "main/CommandText.h"
#include "main/ControlNames.h"
#include "main/StartFile.h"
#include "platform/Desktop.h"
#include "platform/WaveDevice.h"
#include "text/CodePages.h"

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QCloseEvent>
#include <QComboBox>
#include <QListWidget>
#include <QSignalBlocker>
#include <QSlider>
#include <QLineEdit>
#include <QMenu>
#include <QPainter>
#include <QPushButton>
#include <QScreen>
#include <QStyle>
#include <QSystemTrayIcon>
#include <QTabWidget>
#include <QTimer>
#include <QToolButton>

#include <cstdio>
#include <exception>

namespace tovrin {

namespace {

constexpr int kClientWidth = 162;
constexpr int kClientHeight = 437;
constexpr int kSwitchPanelHeight = 58;
constexpr int kPollIntervalMs = 100;
constexpr const char* kUnknownError = "Unknown error";

const QString kCaption = QStringLiteral("Синтезатор речи");
const QString kRunCaption = QStringLiteral("Старт");
const QString kStopCaption = QStringLiteral("Стоп");

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

}  // namespace

TFrmTalk::TFrmTalk(std::unique_ptr<TTalkServ> controller, FrmTalkSetup setup, QWidget* parent)
    : QMainWindow(parent), controller_(std::move(controller)), setup_(std::move(setup)) {
    setObjectName(QStringLiteral("FrmTalk"));
    setWindowTitle(kCaption);
    setAccessibleName(kCaption);
    setWindowIcon(ProgramIcon());
    // An ordinary window (a dialog may have no task bar entry, and a minimised one could be
    // lost); a title, system menu, minimise and close, and a fixed size.
    setWindowFlags(Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                   Qt::WindowSystemMenuHint | Qt::WindowMinimizeButtonHint |
                   Qt::WindowCloseButtonHint);
    setFixedSize(kClientWidth, kClientHeight);
    client_ = new QWidget(this);
    setCentralWidget(client_);
    BuildSwitches();
    BuildPages();
    BuildMenu();
    setContextMenuPolicy(Qt::CustomContextMenu);
    connect(this, &QWidget::customContextMenuRequested, this,
            [this](const QPoint& at) { menu_->popup(mapToGlobal(at)); });

    frmTimer_ = new QTimer(this);
    frmTimer_->setObjectName(QStringLiteral("FrmTimer"));
    frmTimer_->setInterval(kPollIntervalMs);
    connect(frmTimer_, &QTimer::timeout, this, &TFrmTalk::TimerUpdateEvent);
    frmTimer_->start();
}

TFrmTalk::~TFrmTalk() {
    FormDestroy();
}

void TFrmTalk::BuildSwitches() {
    auto* panel = new QWidget(client_);
    panel->setObjectName(QStringLiteral("PnlTalkAction"));
    panel->setGeometry(0, 0, kClientWidth, kSwitchPanelHeight);
    QFont bold = font();
    bold.setBold(true);

    auto toggle = [&](const char* name, const QString& caption, const QString& accessible,
                      QRect place, auto handler) {
        auto* button = new ToggleButton(panel);
        Name(button, name, accessible);
        button->setText(caption);
        button->setFont(bold);
        button->setGeometry(place);
        connect(button, &QToolButton::clicked, this, [this, handler] {
            Guarded([this, handler] { (this->*handler)(Sender::Button); });
        });
        return button;
    };
    btnRun_ = toggle("BtnRun", kRunCaption, kRunCaption, QRect(2, 4, 65, 25), &TFrmTalk::RunClick);
    btnPlayer_ = toggle("BtnPlayer", QStringLiteral("Плеер"), QStringLiteral("Плеер"),
                        QRect(2, 30, 65, 25), &TFrmTalk::BtnPlayerClick);
    btnSpy_ = toggle("BtnSpy", QStringLiteral("Шпион"), QStringLiteral("Шпион"),
                     QRect(68, 30, 65, 25), &TFrmTalk::BtnSpyClick);
    btnPause_ = toggle("BtnPause", QString(), QStringLiteral("Пауза"), QRect(134, 30, 25, 25),
                       &TFrmTalk::PauseClick);
    btnPause_->setIcon(style()->standardIcon(QStyle::SP_MediaPause));
    btnPause_->setToolTip(QStringLiteral("Пауза"));

    btnVisible_ = new ToggleButton(panel);
    Name(btnVisible_, "BtnVisible", QStringLiteral("..."));
    btnVisible_->setAccessibleDescription(QStringLiteral("Окно синтезатора"));
    btnVisible_->setText(QStringLiteral("..."));
    btnVisible_->setFont(bold);
    btnVisible_->setGeometry(134, 4, 25, 25);
    connect(btnVisible_, &QToolButton::clicked, this,
            [this] { Guarded([this] { BtnVisibleClick(); }); });

    btnNewClient_ = new QPushButton(QStringLiteral("&Текст"), panel);
    Name(btnNewClient_, "BtnNewClient", QStringLiteral("Текст"));
    btnNewClient_->setFont(bold);
    btnNewClient_->setGeometry(68, 4, 65, 25);
    btnNewClient_->setDefault(true);
    connect(btnNewClient_, &QPushButton::clicked, this,
            [this] { Guarded([this] { NewClient(); }); });
}

void TFrmTalk::BuildPages() {
    pageControl_ = new QTabWidget(client_);
    pageControl_->setObjectName(QStringLiteral("PageControl"));
    pageControl_->setGeometry(0, kSwitchPanelHeight, kClientWidth,
                              kClientHeight - kSwitchPanelHeight);
    const std::pair<const char*, QString> pages[] = {
        {"TabVoice", QStringLiteral("Голос")},
        {"TabImage", QStringLiteral("Имидж")},
        {"TabText", QStringLiteral("Текст")},
        {"TabShutDown", QStringLiteral("События")},
    };
    std::vector<QWidget*> made;
    for (const auto& [name, caption] : pages) {
        auto* page = new QWidget(pageControl_);
        Name(page, name, caption);
        pageControl_->addTab(page, caption);
        made.push_back(page);
    }

    // Hidden controls that only carry stored values.
    formVisible_ = new QCheckBox(client_);
    Name(formVisible_, "FormVisible", QStringLiteral("FormVisible"));
    formVisible_->setChecked(true);
    formVisible_->hide();
    blockItem_ = new QLineEdit(QStringLiteral("0"), client_);
    Name(blockItem_, "BlockItem", QStringLiteral("BlockItem"));
    blockItem_->hide();

    BuildVoicePage(made[0]);
    BuildImagePage(made[1]);
    BuildTextPage(made[2]);
    BuildEventPage(made[3]);
}

void TFrmTalk::BuildMenu() {
    menu_ = new QMenu(this);
    menu_->setObjectName(QStringLiteral("Menu"));
    auto item = [this](const char* name, const QString& caption, const QString& hint,
                       std::function<void()> handler) {
        QAction* action = menu_->addAction(caption);
        action->setObjectName(QString::fromLatin1(name));
        if (!hint.isEmpty()) {
            action->setStatusTip(hint);
            action->setToolTip(hint);
        }
        connect(action, &QAction::triggered, this, [this, handler] { Guarded(handler); });
        return action;
    };
    itemShow_ = item("ItemShow", QStringLiteral("Показать"), QStringLiteral("Показать синтезатор"),
                     [this] { ShowClick(); });
    itemHide_ = item("ItemHide", QStringLiteral("Скрыть"), QStringLiteral("Спрятать синтезатор"),
                     [this] { HideClick(); });
    item("N9", QStringLiteral("Открыть плеер ..."), {}, [this] { NewClient(); });
    menu_->addSeparator();
    itemPlayer_ = item("ItemPlayer", QStringLiteral("Плеер"), {},
                       [this] { BtnPlayerClick(Sender::MenuItem); });
    itemSpy_ =
        item("ItemSpy", QStringLiteral("Шпион"), {}, [this] { BtnSpyClick(Sender::MenuItem); });
    itemPause_ =
        item("ItemPause", QStringLiteral("Пауза"), {}, [this] { PauseClick(Sender::MenuItem); });
    menu_->addSeparator();
    itemRun_ = item("ItemRun", QStringLiteral("Включить/отключить"), {},
                    [this] { RunClick(Sender::MenuItem); });
    itemExit_ = item("ItemExit", QStringLiteral("Выход"),
                     QStringLiteral("Закончить работу синтезатора"), [this] { RequestClose(true); });
    menu_->setDefaultAction(itemHide_);
    // The items that mirror switches show their state, for a screen reader above all.
    const std::pair<QAction*, QToolButton**> mirrors[] = {{itemPlayer_, &btnPlayer_},
                                                          {itemSpy_, &btnSpy_},
                                                          {itemPause_, &btnPause_},
                                                          {itemRun_, &btnRun_}};
    for (const auto& [action, button] : mirrors)
        action->setCheckable(true);
    connect(menu_, &QMenu::aboutToShow, this, [this, mirrors] {
        for (const auto& [action, button] : mirrors)
            action->setChecked((*button)->isChecked());
    });
}

void TFrmTalk::CreateTrayIcon() {
    if (!QSystemTrayIcon::isSystemTrayAvailable()) return;
    tray_ = new QSystemTrayIcon(windowIcon(), this);
    tray_->setObjectName(QStringLiteral("RxIcon"));
    tray_->setToolTip(kCaption);
    tray_->setContextMenu(menu_);
    connect(tray_, &QSystemTrayIcon::activated, this,
            [this](QSystemTrayIcon::ActivationReason why) {
                QAction* chosen = menu_->defaultAction();
                if (why == QSystemTrayIcon::DoubleClick && chosen && chosen->isEnabled())
                    chosen->trigger();
            });
    tray_->show();
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
    DdeConversation conversation;
    if (conversation.Connect(service, kDdeTopic)) {
        secondCopy_ = true;
        const std::string file = GetStartFile(setup_.Arguments);
        // The running copy is told and not waited for; it is not otherwise disturbed.
        if (!file.empty()) conversation.Execute(SpeakFileMacro(file), false);
        return false;
    }

    normalStart_ = true;
    CreateTrayIcon();
    connect(qApp, &QGuiApplication::applicationStateChanged, this,
            [this](Qt::ApplicationState state) {
                if (state == Qt::ApplicationActive) ShowMainClick();
            });
    LoadSettings();
    controller_->ResetController();
    SelectBlockItem();
    TextChange();
    controller_->LoadPresets(testRes_.empty() ? nullptr : &testRes_);
    {
        const QSignalBlocker blocker(testStyle_);
        testStyle_->setCurrentRow(controller_->CurrentPreset());
    }
    Guarded([this] { SetTestValues(VoiceSender::TestStyle); });
    firstActivation_ = true;
    EventChangeDate();
    return true;
}

void TFrmTalk::showEvent(QShowEvent* event) {
    QMainWindow::showEvent(event);
    if (everShown_) return;
    everShown_ = true;
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
    SelectBlockItem();
    if (formVisible_->isChecked())
        ShowClick();
    else
        HideClick();
    if (failure) std::rethrow_exception(failure);
}

void TFrmTalk::StartWithFile(const std::string& fileName) {
    if (!fileName.empty()) SetDown(btnRun_, true);
    std::exception_ptr failure;
    try {
        RunClick(Sender::Program);
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

void TFrmTalk::SelectBlockItem() {
    // The list takes the index kept as text; the first entry when it holds no number.
    const auto index = ParseWholeNumber(blockItem_->text().toStdString());
    blockSize_->setCurrentIndex(index && *index >= 0 && *index < blockSize_->count() ? *index : 0);
    blockItem_->setText(QString::number(blockSize_->currentIndex()));
}

PlayerWindow* TFrmTalk::OpenPlayer(const std::string& fileName) {
    // A request queued before shutdown finds no window to open.
    if (!players_ || destroyed_) return nullptr;
    // Loading, starting the engine and playing may each show a box, and the window may close
    // in its event loop: the window is looked up again after each step.
    const uint64_t id = players_->CreatePlayer()->Id();
    const std::string existing = ExistingFileFor(fileName);
    PlayerWindow* window = FindPlayer(id);
    if (existing.empty() || !window || !window->LoadText(existing)) return FindPlayer(id);
    if (!controller_->BindEngine()) {
        SetDown(btnRun_, true);
        RunClick(Sender::Program);
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
    if (!fileName) return true;
    // Answered at once: the work may start the engine, which takes longer than a client waits.
    QTimer::singleShot(0, this, [this, name = *fileName] {
        Guarded([this, &name] {
            if (PlayerWindow* window = OpenPlayer(name)) window->EditorFocus();
        });
    });
    return true;
}

// ---- switches and menu ----

void TFrmTalk::SetDown(QToolButton* button, bool down) {
    if (button->isChecked() != down) button->setChecked(down);
}

void TFrmTalk::RunClick(Sender sender) {
    if (sender == Sender::MenuItem) btnRun_->setChecked(!btnRun_->isChecked());
    const bool run = btnRun_->isChecked();
    try {
        if (!run) {
            controller_->SetPaused(false);
            controller_->SetPlayerMode(false);
            controller_->SetSpyMode(false);
        }
        controller_->SetEngineRunning(run);
    } catch (...) {
        SetDown(btnRun_, false);
        throw;
    }
    btnRun_->setText(run ? kStopCaption : kRunCaption);
    btnRun_->setAccessibleName(btnRun_->text());
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

void TFrmTalk::PauseClick(Sender sender) {
    if (sender == Sender::MenuItem) btnPause_->setChecked(!btnPause_->isChecked());
    if (controller_->BindEngine())
        controller_->SetPaused(btnPause_->isChecked());
    else
        SetDown(btnPause_, false);
}

void TFrmTalk::BtnSpyClick(Sender sender) {
    if (sender == Sender::MenuItem) btnSpy_->setChecked(!btnSpy_->isChecked());
    if (controller_->BindEngine())
        controller_->SetSpyMode(btnSpy_->isChecked());
    else
        SetDown(btnSpy_, false);
}

void TFrmTalk::BtnPlayerClick(Sender sender) {
    if (sender == Sender::MenuItem) btnPlayer_->setChecked(!btnPlayer_->isChecked());
    if (controller_->BindEngine())
        controller_->SetPlayerMode(btnPlayer_->isChecked());
    else
        SetDown(btnPlayer_, false);
}

void TFrmTalk::BtnVisibleClick() {
    if (!controller_->BindEngine()) {
        SetDown(btnVisible_, false);
        return;
    }
    if (btnVisible_->isChecked()) {
        controller_->AttachEditBox();
        desktop::ShowWindow(controller_->Windows().Main, true);
    } else {
        controller_->DetachEditBox();
        desktop::ShowWindow(controller_->Windows().Main, false);
    }
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
        if (state.Holder && state.Holder->IsPlayerWindow() && IsOpenPlayer(state.Holder))
            state.Holder->PlayerPoll(state);
        if ((state.Holder == &startUpHolder_ || state.Holder == &testHolder_) && !state.Busy)
            SpeakStartUp(PhraseSender::None);
        SetDown(btnPlayer_, state.PlayerMode);
        SetDown(btnSpy_, state.SpyMode);
        SetDown(btnPause_, state.Paused);
        SetDown(btnRun_, state.Running);
        if (!state.Running) {
            if (btnRun_->text() != kRunCaption) {
                btnRun_->setText(kRunCaption);
                btnRun_->setAccessibleName(kRunCaption);
            }
            SetDown(btnVisible_, false);
        }
        // A volume changed by another program moves the bar, and so goes into the preset.
        trBarVolume_->setValue(255 - controller_->GetVolume());
        lastTimerError_.clear();
    } catch (const std::exception& error) {
        ReportTimerError(error.what());
    } catch (...) {
        ReportTimerError(kUnknownError);
    }
    inTimer_ = false;
}

void TFrmTalk::ReportTimerError(const std::string& text) {
    // A failing step fails again at every tick: it is reported once until it recovers.
    if (lastTimerError_ == text) return;
    lastTimerError_ = text;
    ReportError(text);
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
    controller_->SavePresets(&testRes_);
    ShowTestRes();
    if (!setup_.SettingsPath) return;
    const std::string& path = *setup_.SettingsPath;
    if (SettingsFileReadOnly(path)) {
        std::fprintf(stderr, "tovrin: the settings file %s is read-only; it is left unchanged\n",
                     path.c_str());
        return;
    }
    const QRect frame = frameGeometry();
    const QScreen* display = screen();
    WindowPlacement placement;
    placement.Left = frame.left();
    placement.Top = frame.top();
    placement.Right = frame.left() + frame.width();
    placement.Bottom = frame.top() + frame.height();
    placement.ScreenWidth = display->geometry().width();
    placement.ScreenHeight = display->geometry().height();
    placement.PixelsPerInch = qRound(display->logicalDotsPerInch());
    placement.ShowCmd = isMinimized() ? 2 : (isVisible() ? 1 : 0);
    placement.Visible = isVisible();
    StoredControls controls;
    StoreControls(controls);
    // A settings file that cannot be written is given up without a message.
    SaveSettingsFile(path, placement, controls, setup_.WriteSettings);
}

void TFrmTalk::FormDestroy() {
    if (destroyed_) return;
    destroyed_ = true;
    frmTimer_->stop();
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
