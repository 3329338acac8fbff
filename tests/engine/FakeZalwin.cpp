// A stand-in for the engine program, started by the controller tests as a real process. It
// shows the engine's window until WM_DESTROY arrives, then writes the command numbers it
// received, one a line, to "commands.log" in its folder. When its folder holds a file named
// "no-window" it never shows a window at all, like an engine that hangs while starting; with
// a file named "speak-at-once" every text is spoken at once; with "exit-at-once" it ends at
// once, like an engine that fails while starting. Like the engine, it holds the engine's lock
// and gives way at once to another copy that holds it.
#include "platform/InstanceLock.h"
#include "platform/Process.h"
#include "tests/engine/FakeEngine.h"

#include <unistd.h>

#include <fstream>

int main() {
    if (tovrin::FileExists("exit-at-once")) return 1;
    const auto lockPath = tovrin::EngineLockPath();
    const auto onlyCopy = lockPath ? tovrin::InstanceLock::TryAcquire(*lockPath) : nullptr;
    if (lockPath && !onlyCopy) return 0;
    if (tovrin::FileExists("no-window")) {
        for (;;)
            pause();
    }
    tovrin::test::FakeEngine engine({}, {}, tovrin::FileExists("speak-at-once"));
    engine.WaitUntilDestroyed();
    std::ofstream log("commands.log");
    for (const auto command : engine.Commands())
        log << command << "\n";
    return 0;
}
