// The speech engine program: one window on the desktop, driven by the controller's messages,
// speaking Russian through eSpeak NG to the wave device.

#include "dialogs/QtTranslations.h"
#include "platform/Desktop.h"
#include "platform/DesktopHost.h"
#include "platform/InstanceLock.h"
#include "platform/ControllerRecord.h"
#include "platform/Process.h"
#include "platform/RuntimeFolder.h"
#include "platform/WaveDevice.h"
#include "platform/qt/QtDispatcher.h"
#include "synth/ControllerWatch.h"
#include "synth/EngineWindow.h"
#include "synth/EspeakSynthesizer.h"

#include <QApplication>
#include <QTimer>

#include <algorithm>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <exception>
#include <memory>

namespace {

bool HasArgument(int argc, char** argv, const char* wanted) {
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], wanted) == 0) return true;
    }
    return false;
}

// Headless, as in a service or a test, there is no screen to open; the window still works
// on the desktop, so the program runs offscreen instead of failing.
void ChooseOffscreenWithoutDisplay() {
    if (std::getenv("QT_QPA_PLATFORM") || std::getenv("DISPLAY") || std::getenv("WAYLAND_DISPLAY"))
        return;
    setenv("QT_QPA_PLATFORM", "offscreen", 0);
}

// An engine that a controller started ends once the controllers' record has held no live
// controller for the grace period; one started by hand (or without a runtime folder, where
// controllers keep no record) is left alone.
void EndWhenNoControllerIsLeft(int argc, char** argv, tovrin::EngineWindow& window) {
    using namespace tovrin;
    const auto grace = ControllerWatch::GraceFromArguments(argc, argv);
    const auto folder = RuntimeFolder();
    if (!grace || !folder) return;
    auto watch = std::make_shared<ControllerWatch>(
        [folder = *folder] { return AnyRecordedControllerLives(folder); }, *grace);
    auto* timer = new QTimer(&window);
    const auto interval = std::chrono::duration_cast<std::chrono::milliseconds>(*grace / 4);
    timer->setInterval(std::clamp<std::chrono::milliseconds>(
        interval, std::chrono::milliseconds(10), std::chrono::seconds(1)));
    QObject::connect(timer, &QTimer::timeout, &window, [watch, timer, &window] {
        if (!watch->Check(std::chrono::steady_clock::now())) return;
        timer->stop();
        std::fprintf(stderr, "zalwin: no controller is left; the engine ends\n");
        window.Shutdown();
    });
    timer->start();
}

}  // namespace

int main(int argc, char** argv) {
    using namespace tovrin;
    // A peer that vanishes mid-reply must not end this program.
    std::signal(SIGPIPE, SIG_IGN);
    // One engine per desktop: a second copy leaves the running one alone, even when both
    // start at once and neither has shown its window yet.
    const auto lockPath = EngineLockPath();
    auto onlyCopy = lockPath ? InstanceLock::TryAcquire(*lockPath) : nullptr;
    if (lockPath && !onlyCopy) return 0;
    if (desktop::FindWindow(kEngineWindowClass, std::nullopt) != kNoWindow) return 0;
    const bool showAtStart = HasArgument(argc, argv, "--show");
    ChooseOffscreenWithoutDisplay();
    // Before Qt starts threads of its own that may read the environment.
    StartEspeakBeforeThreads();

    QApplication app(argc, argv);
    app.setQuitOnLastWindowClosed(false);
    // The edit field's context menu is Qt's own.
    tovrin::InstallQtTranslations(app);
    QtDispatcher dispatcher;
    std::unique_ptr<DesktopHost> host;
    std::unique_ptr<EspeakSynthesizer> synthesizer;
    try {
        host = std::make_unique<DesktopHost>(dispatcher);
        synthesizer = std::make_unique<EspeakSynthesizer>();
    } catch (const std::exception& error) {
        std::fprintf(stderr, "zalwin: %s\n", error.what());
        return 1;
    }
    EngineWindow window(*host, std::move(synthesizer), ExecutableFolder(), showAtStart);
    if (showAtStart) window.ShowOnScreen();
    EndWhenNoControllerIsLeft(argc, argv, window);
    const int status = app.exec();
    onlyCopy.reset();  // the window is gone: a new engine may start while this one winds down
    // A failed wave device has said why on standard error; the status says that it failed.
    return WaveDeviceFailure() ? 1 : status;
}
