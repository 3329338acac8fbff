// What a player window costs for a big document: the time to load and show each file given on
// the command line, and the peak memory of the process after it, beside the file's size.
// Prints "name value unit" lines.

#include "dialogs/MessageBoxes.h"
#include "player/TalkView.h"
#include "tests/player/FakePlayerHost.h"

#include <QApplication>
#include <QLabel>
#include <QPlainTextEdit>

#include <sys/stat.h>

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
        const auto begin = std::chrono::steady_clock::now();
        const bool loaded = view->LoadText(argv[i]);
        // Showing the first screen lays out what it holds.
        view->findChild<QPlainTextEdit*>("Editor")->viewport()->repaint();
        QApplication::processEvents();
        const double ms =
            std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - begin)
                .count();
        const double fileMb = static_cast<double>(info.st_size) / (1 << 20);
        std::printf("%s_file %.1f MB\n%s_loaded %d\n%s_load_and_show %.0f ms\n", argv[i], fileMb,
                    argv[i], loaded ? 1 : 0, argv[i], ms);
        std::printf("%s_peak_growth %.0f MB\n%s_peak_per_file_mb %.1f\n", argv[i],
                    PeakMb() - before, argv[i], (PeakMb() - before) / fileMb);
        if (!loaded)
            std::printf("%s_message %s\n", argv[i],
                        view->findChild<QLabel*>("StatusMessage")->text().toStdString().c_str());
        delete view;
    }
    return 0;
}
