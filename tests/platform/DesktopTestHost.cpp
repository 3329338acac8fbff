// Hosts a set of windows shaped like the speech engine's, for the desktop tests and the
// benchmark. Prints "ready <handle of the main window>" once its windows can be found.
//
//   desktop_test_host [--caption TEXT] [--dde SERVICE TOPIC] [--no-windows]
//
// WM_COMMAND to the main window: 2 blocks the UI thread for good, 3 ends the process without
// answering, 400+n sets the progress position to n, 500 re-parents the edit box into the
// pane again; any other number n returns n + 1000. WM_DESTROY ends the program after the
// answer. The DDE topic refuses macros that begin with "refuse" and shows the last macro
// as the caption of its "DdeLog" window.
#include <unistd.h>

#include <cinttypes>
#include <cstdio>
#include <cstring>
#include <memory>
#include <optional>
#include <string>

#include "platform/Dde.h"
#include "platform/DesktopHost.h"
#include "platform/Dispatcher.h"

namespace {

using namespace tovrin;

struct Options {
    std::string caption = "Test Engine";
    bool windows = true;
    std::optional<std::pair<std::string, std::string>> dde;
};

std::optional<Options> ParseOptions(int argc, char** argv) {
    Options options;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (arg == "--caption" && i + 1 < argc) {
            options.caption = argv[++i];
        } else if (arg == "--dde" && i + 2 < argc) {
            options.dde = std::make_pair(std::string(argv[i + 1]), std::string(argv[i + 2]));
            i += 2;
        } else if (arg == "--no-windows") {
            options.windows = false;
        } else {
            return std::nullopt;
        }
    }
    return options;
}

struct EngineWindows {
    WindowHandle main = kNoWindow;
    WindowHandle pane = kNoWindow;
    WindowHandle edit = kNoWindow;
    WindowHandle progress = kNoWindow;
};

int64_t OnCommand(DesktopHost& host, const EngineWindows& windows, uint64_t command) {
    if (command == 2) {
        for (;;)
            pause();
    }
    if (command == 3) _exit(0);
    if (command >= 400 && command < 500) {
        host.SetScrollInfo(windows.progress, {0, 100, static_cast<int32_t>(command - 400)});
        return 0;
    }
    return static_cast<int64_t>(command) + 1000;
}

// Fills `windows`, which the main window's handler keeps referring to.
void CreateEngineWindows(DesktopHost& host, PlainDispatcher& dispatcher, const std::string& caption,
                         EngineWindows& windows) {
    auto handler = [&host, &dispatcher, &windows](WindowHandle, uint32_t message, uint64_t wParam,
                                                  const std::string&) {
        if (message == WM_DESTROY) dispatcher.Quit();
        if (message == WM_COMMAND) return OnCommand(host, windows, wParam);
        return int64_t{0};
    };
    windows.main = host.CreateWindow("Speech Synthesizer", caption, kNoWindow, false, handler);
    windows.pane = host.CreateWindow("TPanel", "", windows.main, true);
    windows.edit = host.CreateWindow("Edit", "", windows.pane, true);
    windows.progress = host.CreateWindow("ScrollBar", "", windows.pane, true);
    host.SetScrollInfo(windows.progress, {0, 100, 0});
    host.CreateWindow("Button", "Talk", windows.pane, true);
    host.CreateWindow("Button", "Pause", windows.pane, true);
}

}  // namespace

int main(int argc, char** argv) {
    const auto options = ParseOptions(argc, argv);
    if (!options) {
        std::fprintf(stderr, "usage: desktop_test_host [--caption TEXT] [--dde SERVICE TOPIC]\n");
        return 2;
    }
    PlainDispatcher dispatcher;
    DesktopHost host(dispatcher);
    EngineWindows windows;
    if (options->windows) CreateEngineWindows(host, dispatcher, options->caption, windows);

    std::unique_ptr<DdeServer> dde;
    if (options->dde) {
        const WindowHandle log = host.CreateWindow("DdeLog", "", kNoWindow, false);
        dde = std::make_unique<DdeServer>(host, options->dde->first, options->dde->second,
                                          [&host, log](const std::string& macro) {
                                              host.SetCaption(log, macro);
                                              return macro.rfind("refuse", 0) != 0;
                                          });
    }
    std::printf("ready 0x%016" PRIx64 "\n", windows.main);
    std::fflush(stdout);
    dispatcher.Run();
    return 0;
}
