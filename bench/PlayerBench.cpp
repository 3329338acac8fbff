// Main-thread time of the player window's poll step in a 50 MB document with the caret
// following the speech. Prints "name value unit" lines.

#include "bench/RussianWords.h"
#include "player/PlayerDocument.h"
#include "player/TalkView.h"
#include "tests/player/FakePlayerHost.h"

#include <QApplication>
#include <QToolButton>

#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;

double Milliseconds(Clock::duration duration) {
    return std::chrono::duration<double, std::milli>(duration).count();
}

}  // namespace

int main(int argc, char** argv) {
    setenv("QT_QPA_PLATFORM", "offscreen", 1);
    QApplication app(argc, argv);

    char folder[] = "/tmp/tovrin-player-bench-XXXXXX";
    if (mkdtemp(folder) == nullptr) return 1;
    const std::string path = std::string(folder) + "/book.txt";
    std::ofstream(path, std::ios::binary)
        << tovrin::bench::MakeRussianDocument(50 * 1000 * 1000, 11);

    tovrin::test::FakePlayerHost host;
    tovrin::TFrmView view(host);
    view.show();
    const auto loadBegin = Clock::now();
    if (!view.LoadText(path)) return 1;
    const double loadMs = Milliseconds(Clock::now() - loadBegin);
    std::remove(path.c_str());
    rmdir(folder);

    // Read from the middle of the book with the caret dragged along.
    view.SetCaret(view.Document().Size() / 2);
    view.ClickPlay();
    view.findChild<QToolButton*>("BtnDrag")->click();
    std::vector<double> ticks;
    for (int i = 0; i < 2000; ++i) {
        // The engine moves on through its text; every 40th tick it finishes the portion.
        host.progress = {0, 1000, (i % 40) * 25};
        host.busy = i % 40 != 39;
        const auto begin = Clock::now();
        host.Tick();
        ticks.push_back(Milliseconds(Clock::now() - begin));
        if (!host.busy) host.busy = true;
        QApplication::processEvents();
    }
    std::sort(ticks.begin(), ticks.end());
    std::printf("player_load_ms_50mb %.0f ms\n", loadMs);
    std::printf("tick_ms_p50_50mb %.4f ms\n", ticks[ticks.size() / 2]);
    std::printf("tick_ms_p99_50mb %.4f ms\n", ticks[ticks.size() * 99 / 100]);
    return 0;
}
