// What a player window costs for a big document: the time to load and show each file given on
// the command line, the longest time the window's thread went without answering meanwhile
// (goal: at most 100 ms), and the peak memory of the process after it, beside the file's
// size (goal: at most about 8 times the file). Prints "name value unit" lines.

#include "dialogs/MessageBoxes.h"
#include "player/TalkView.h"
#include "tests/player/FakePlayerHost.h"

#include <QApplication>
#include <QLabel>
#include <QPlainTextEdit>
#include <QTimer>

#include <sys/stat.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>

namespace {

// The process's peak resident memory in MB (VmHWM).
double PeakMb() {
    std::ifstream status("/proc/self/status");
    std::string line;
    while (std::getline(status, line))
        if (line.rfind("VmHWM:", 0) == 0) return std::atof(line.c_str() + 6) / 1024;
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    setenv("QT_QPA_PLATFORM", "offscreen", 1);
    QApplication app(argc, argv);
    tovrin::test::FakePlayerHost host;
    tovrin::ScriptedMessageBoxes boxes;
    for (int i = 1; i < argc; ++i) {
        struct stat info {};
        if (stat(argv[i], &info) != 0) return 1;
        // A fresh window for each file, so that each peak is its own.
        auto* view = new tovrin::TFrmView(host, nullptr, &boxes);
        view->show();
        QApplication::processEvents();
        const double before = PeakMb();
        // A timer of the window's thread notes each round of its event loop.
        using Clock = std::chrono::steady_clock;
        auto lastRound = Clock::now();
        double longestStallMs = 0;
        QTimer rounds;
        QObject::connect(&rounds, &QTimer::timeout, [&] {
            const auto now = Clock::now();
            longestStallMs = std::max(
                longestStallMs, std::chrono::duration<double, std::milli>(now - lastRound).count());
            lastRound = now;
        });
        rounds.start(0);
        const auto begin = Clock::now();
        lastRound = begin;
        bool loaded = view->LoadText(argv[i]);
        const double loadTextMs =
            std::chrono::duration<double, std::milli>(Clock::now() - begin).count();
        while (view->Loading())
            QApplication::processEvents(QEventLoop::WaitForMoreEvents);
        rounds.stop();
        loaded = loaded && view->DocName() == argv[i];
        // Showing the first screen lays out what it holds: one step of the window's thread.
        const auto showBegin = Clock::now();
        auto* editor = view->findChild<QPlainTextEdit*>("Editor");
        editor->viewport()->repaint();
        QApplication::processEvents();
        const auto shown = Clock::now();
        longestStallMs = std::max(
            longestStallMs, std::chrono::duration<double, std::milli>(shown - showBegin).count());
        const double ms = std::chrono::duration<double, std::milli>(shown - begin).count();
        // A window made narrower lays out its lines anew.
        view->resize(view->width() - 40, view->height());
        editor->viewport()->repaint();
        QApplication::processEvents();
        const double resizeMs =
            std::chrono::duration<double, std::milli>(Clock::now() - shown).count();
        const double fileMb = static_cast<double>(info.st_size) / (1 << 20);
        std::printf("%s_file %.1f MB\n%s_loaded %d\n%s_load_and_show %.0f ms\n", argv[i], fileMb,
                    argv[i], loaded ? 1 : 0, argv[i], ms);
        std::printf("%s_longest_stall %.0f ms\n%s_resize %.0f ms\n", argv[i],
                    std::max(longestStallMs, loadTextMs), argv[i], resizeMs);
        std::printf("%s_peak_growth %.0f MB\n%s_peak_per_file_mb %.1f\n", argv[i],
                    PeakMb() - before, argv[i], (PeakMb() - before) / fileMb);
        if (!loaded)
            std::printf("%s_message %s\n", argv[i],
                        view->findChild<QLabel*>("StatusMessage")->text().toStdString().c_str());
        delete view;
    }
    return 0;
}
