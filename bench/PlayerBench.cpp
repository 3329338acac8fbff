// The player window with big documents: loading, typing, paragraph steps, a masked whole-word
// search through the whole text, saving, the poll step with the caret following the speech and
// with the highlight of what is read, and the shuffle of a big dictionary. Prints "name value unit"
// lines.

#include "bench/RussianWords.h"
#include "dialogs/MessageBoxes.h"
#include "dialogs/TalkFind.h"
#include "player/PlayerDocument.h"
#include "player/TalkView.h"
#include "tests/player/FakePlayerHost.h"

#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QKeyEvent>
#include <QPlainTextEdit>
#include <QToolButton>

#include <unistd.h>

#include <time.h>

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

template <typename Step>
double TimeMs(Step step) {
    const auto begin = Clock::now();
    step();
    return Milliseconds(Clock::now() - begin);
}

double ThreadCpuMs() {
    timespec now{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
    return now.tv_sec * 1e3 + now.tv_nsec / 1e6;
}

// The main thread's own time for one step: on a shared machine the wall clock of a
// millisecond step mostly measures the other processes.
template <typename Step>
double CpuMs(Step step) {
    const double begin = ThreadCpuMs();
    step();
    return ThreadCpuMs() - begin;
}

double Percentile(std::vector<double> values, int percent) {
    std::sort(values.begin(), values.end());
    return values[std::min(values.size() - 1, values.size() * percent / 100)];
}

// A dictionary of `lines` entries over a thousand sound files, a hundred lines each.
std::string WriteDictionary(const std::string& folder, int lines) {
    tovrin::bench::RussianWords words(7);
    std::string text;
    for (int i = 0; i < lines; ++i)
        text += "word" + std::to_string(i) + " - " + words.Word() + " - file" +
                std::to_string(i % 1000) + ".wav " + std::to_string(i * 100) + " " +
                std::to_string(i * 100 + 90) + "\r\n";
    const std::string path = folder + "/words.dic";
    std::ofstream(path, std::ios::binary) << text;
    return path;
}

std::string WriteBook(const std::string& folder, const char* name, size_t bytes) {
    const std::string path = folder + "/" + name;
    std::ofstream(path, std::ios::binary) << tovrin::bench::MakeRussianDocument(bytes, 11);
    return path;
}

}  // namespace

int main(int argc, char** argv) {
    setenv("QT_QPA_PLATFORM", "offscreen", 1);
    QApplication app(argc, argv);

    char folder[] = "/tmp/tovrin-player-bench-XXXXXX";
    if (mkdtemp(folder) == nullptr) return 1;
    const std::string small = WriteBook(folder, "book10.txt", 10 * 1000 * 1000);
    const std::string big = WriteBook(folder, "book50.txt", 50 * 1000 * 1000);

    tovrin::test::FakePlayerHost host;
    host.autoCalc = true;  // as the main window keeps it by default
    tovrin::ScriptedMessageBoxes boxes;
    tovrin::TFrmView view(host, nullptr, &boxes);
    view.show();
    bool loaded = true;
    const double load10 = TimeMs([&] { loaded = loaded && view.LoadText(small); });
    const double load50 = TimeMs([&] { loaded = loaded && view.LoadText(big); });
    if (!loaded) return 1;
    const int32_t size = view.Document().Size();

    // Typing in the middle of the book.
    auto* editor = view.findChild<QPlainTextEdit*>("Editor");
    view.findChild<QToolButton*>("BtnReadOnly")->click();
    view.SetCaret(size / 2);
    std::vector<double> keys;
    for (int i = 0; i < 300; ++i) {
        const QString typed = i % 10 == 9 ? QStringLiteral(" ") : QStringLiteral("ж");
        QKeyEvent press(QEvent::KeyPress, Qt::Key_unknown, Qt::NoModifier, typed);
        keys.push_back(CpuMs([&] { QApplication::sendEvent(editor, &press); }));
    }

    // Paragraph steps down and up from the middle.
    std::vector<double> steps;
    auto* stepDown = view.findChild<QToolButton*>("BtnStep");
    auto* stepUp = view.findChild<QToolButton*>("BtnBack");
    for (int i = 0; i < 400; ++i) {
        QToolButton* button = i % 4 == 3 ? stepUp : stepDown;
        steps.push_back(CpuMs([&] { button->click(); }) * 1000);
    }

    // A masked whole-word search down through the whole text that finds nothing.
    tovrin::TFrmFind* find = view.FindDialog();
    find->FindBox()->setEditText(QStringLiteral("щ*ъюйя"));
    view.SetCaret(0);
    const double findMs = TimeMs([&] { find->BtnFindClick(nullptr); });
    const bool nothingFound = view.Caret() == 0;

    const std::string saved = std::string(folder) + "/saved.txt";
    boxes.fileNames.push_back(QString::fromStdString(saved));
    const double saveMs = TimeMs([&] { view.findChild<QAction*>("FileSaveItem")->trigger(); });

    // Read from the middle of the book with the caret dragged along.
    view.SetCaret(size / 2);
    view.ClickPlay();
    view.findChild<QToolButton*>("BtnDrag")->click();
    std::vector<double> ticks;
    for (int i = 0; i < 2000; ++i) {
        // The engine moves on through its text; every 40th tick it finishes the portion.
        host.progress = {0, 1000, (i % 40) * 25};
        host.busy = i % 40 != 39;
        ticks.push_back(TimeMs([&] { host.Tick(); }));
        if (!host.busy) host.busy = true;
        QApplication::processEvents();
    }

    // Read on without the drag: each tick moves the highlight of the portion and its spoken
    // line, and the window paints it. Thread CPU time of the tick and the painting after it,
    // with the highlight and without.
    const auto highlightTicks = [&](bool on) {
        QAction* highlight = view.findChild<QAction*>("HighlightItem");
        if (highlight->isChecked() != on) highlight->trigger();
        view.findChild<QAction*>("StopItem")->trigger();
        view.SetCaret(size / 3);
        view.ClickPlay();
        std::vector<double> times;
        for (int i = 0; i < 2000; ++i) {
            host.progress = {0, 1000, (i % 40) * 25};
            host.busy = i % 40 != 39;
            times.push_back(CpuMs([&] {
                                host.Tick();
                                QApplication::processEvents();
                            }) *
                            1000);
            if (!host.busy) host.busy = true;
        }
        return times;
    };
    const std::vector<double> plainTicks = highlightTicks(false);
    const std::vector<double> shownTicks = highlightTicks(true);

    // Shuffling a dictionary of 100,000 lines in the editor, as at the end of each pass.
    const std::string dictionary = WriteDictionary(folder, 100000);
    if (!view.LoadText(dictionary)) return 1;
    double shuffleMs = 1e300;
    for (int i = 0; i < 3; ++i)
        shuffleMs = std::min(shuffleMs, TimeMs([&] { view.EditorRandom(); }));

    for (const std::string& path : {small, big, saved, dictionary})
        std::remove(path.c_str());
    rmdir(folder);

    std::printf("load_10mb_ms %.0f ms\n", load10);
    std::printf("load_50mb_ms %.0f ms\n", load50);
    // Thread CPU time per keystroke and per step.
    std::printf("keystroke_ms_p99_50mb %.3f ms\n", Percentile(keys, 99));
    std::printf("paragraph_step_us_p99_50mb %.0f us\n", Percentile(steps, 99));
    std::printf("find_mbps %.0f MB/s%s\n", size / 1e6 / (findMs / 1000),
                nothingFound ? "" : " (a match cut the search short)");
    std::printf("save_50mb_ms %.0f ms\n", saveMs);
    std::printf("tick_ms_p50_50mb %.4f ms\n", Percentile(ticks, 50));
    std::printf("tick_ms_p99_50mb %.4f ms\n", Percentile(ticks, 99));
    std::printf("highlight_tick_us_p99_50mb %.0f us\n", Percentile(shownTicks, 99));
    std::printf("tick_without_highlight_us_p99_50mb %.0f us\n", Percentile(plainTicks, 99));
    std::printf("shuffle_100k_lines_ms %.0f ms\n", shuffleMs);
    return 0;
}
