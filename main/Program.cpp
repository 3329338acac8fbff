#include "main/Program.h"

#include "dialogs/AccessibleToggles.h"
#include "dialogs/MessageBoxes.h"
#include "dialogs/QtTranslations.h"
#include "engine/EngineError.h"
#include "main/CommandText.h"
#include "main/FrmTalk.h"
#include "main/MprisService.h"
#include "main/PlayerMediaControl.h"
#include "main/RunningCopy.h"
#include "main/SettingsFile.h"
#include "main/StartFile.h"
#include "platform/DesktopHost.h"
#include "platform/Process.h"
#include "platform/qt/QtDispatcher.h"

#include <QApplication>
#include <QSocketNotifier>

#include <fcntl.h>
#include <unistd.h>

#include <csignal>
#include <cstdlib>
#include <stdexcept>

namespace tovrin {

namespace {

int signalPipe[2] = {-1, -1};

void ForwardSignal(int) {
    const char byte = 1;
    [[maybe_unused]] const ssize_t ignored = write(signalPipe[1], &byte, 1);
}

// Headless, as from a script or a service, there is no screen; a second copy must still hand
// its file over, and a first copy still serves, so the program runs offscreen instead.
void ChooseOffscreenWithoutDisplay() {
    if (std::getenv("QT_QPA_PLATFORM") || std::getenv("DISPLAY") || std::getenv("WAYLAND_DISPLAY"))
        return;
    setenv("QT_QPA_PLATFORM", "offscreen", 0);
}

void DrainSignalPipe() {
    char drained[16];
    while (read(signalPipe[0], drained, sizeof drained) > 0) {
    }
}

}  // namespace

void CloseOnTerminationSignals(TFrmTalk& window) {
    // One pipe for the process; a signal meant for an earlier window closes no later one.
    if (signalPipe[0] < 0 && pipe2(signalPipe, O_CLOEXEC | O_NONBLOCK) != 0) return;
    DrainSignalPipe();
    auto* notifier = new QSocketNotifier(signalPipe[0], QSocketNotifier::Read, &window);
    QObject::connect(notifier, &QSocketNotifier::activated, &window, [&window] {
        DrainSignalPipe();
        window.CloseWithoutQuestions();
    });
    struct sigaction action {};
    action.sa_handler = ForwardSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    for (int signal : {SIGTERM, SIGINT, SIGHUP})
        sigaction(signal, &action, nullptr);
}

void PrepareApplication(QApplication& app, const QLocale& locale) {
    InstallQtTranslations(app, locale);
    app.setQuitOnLastWindowClosed(false);
    app.setApplicationDisplayName(QStringLiteral("Синтезатор речи"));
    InstallAccessibleToggles();
}

int RunProgram(int argc, char** argv, const PlayerFactoryMaker& makePlayers) {
    std::signal(SIGPIPE, SIG_IGN);
    ChooseOffscreenWithoutDisplay();
    QApplication app(argc, argv);
    PrepareApplication(app);
    QtMessageBoxes boxes;

    const std::string executable = ExecutablePath();
    if (IsWrongName(executable)) {
        ShowErrorBox(boxes, nullptr, QString::fromStdString(WrongNameMessage()));
        return 1;
    }
    std::unique_ptr<TTalkServ> controller;
    try {
        controller = std::make_unique<TTalkServ>();
    } catch (const EngineError& error) {
        ShowErrorBox(boxes, nullptr, QString::fromStdString(error.what()));
        return 1;
    }

    QtDispatcher dispatcher;
    std::unique_ptr<DesktopHost> host;
    FrmTalkSetup setup;
    setup.ExecutablePath = executable;
    for (int i = 1; i < argc; ++i)
        setup.Arguments.emplace_back(argv[i]);
    setup.SettingsPath = SettingsFilePath(executable);
    setup.CopyLockPath = CopyLockPath(DdeServiceName(executable));
    setup.Boxes = &boxes;
    setup.MakeDdeServer = [&](const std::string& service, const std::string& topic,
                              DdeServer::ExecuteHandler handler) {
        if (!host) host = std::make_unique<DesktopHost>(dispatcher);
        return std::make_unique<DdeServer>(*host, service, topic, std::move(handler));
    };

    TFrmTalk frmTalk(std::move(controller), std::move(setup));
    std::unique_ptr<PlayerFactory> players = makePlayers(frmTalk, boxes);
    frmTalk.SetPlayerFactory(players.get());
    int status = 0;
    // A copy that handed its file over ends at once.
    if (frmTalk.FormCreate()) {
        CloseOnTerminationSignals(frmTalk);
        // Media keys and the desktop's media applet; without a session bus nothing is said.
        PlayerMediaControl media(frmTalk, *players, [&frmTalk] { frmTalk.ShowClick(); });
        MprisService mpris(media, QDBusConnection::sessionBus());
        mpris.Register();
        QObject::connect(&frmTalk, &TFrmTalk::Ticked, &mpris, &MprisService::Refresh);
        frmTalk.show();
        status = app.exec();
    }
    frmTalk.FormDestroy();
    frmTalk.SetPlayerFactory(nullptr);
    return status;
}

}  // namespace tovrin
