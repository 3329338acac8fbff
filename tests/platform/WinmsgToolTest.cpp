#include <gtest/gtest.h>

#include <sys/stat.h>

#include <cinttypes>
#include <cstdio>

#include "platform/Desktop.h"
#include "tests/platform/HostProcess.h"
#include "tests/support/TestEnvironment.h"
#include "text/CodePages.h"

namespace tovrin {
namespace {

using test::HostProcess;
using test::ProgramResult;

ProgramResult Winmsg(const std::vector<std::string>& arguments) {
    return test::RunProgram(test::BinaryDir() + "/tovrin-winmsg", arguments);
}

std::string Hex(WindowHandle window) {
    char text[32];
    std::snprintf(text, sizeof text, "0x%016" PRIx64, window);
    return text;
}

struct Controls {
    WindowHandle main, pane, edit, progress, talk, pause;
};

Controls ControlsOf(const HostProcess& host) {
    Controls c{};
    c.main = host.mainWindow();
    c.pane = desktop::GetFirstChild(c.main);
    const auto children = desktop::GetChildren(c.pane);
    EXPECT_EQ(children.size(), 4u);
    c.edit = children.at(0);
    c.progress = children.at(1);
    c.talk = children.at(2);
    c.pause = children.at(3);
    return c;
}

TEST(WinmsgToolTest, ListsAndFindsWindowsInUtf8) {
    // The host keeps its caption as the Windows-1251 bytes it was given.
    HostProcess host({"--caption", Utf8ToWindows1251("Синтезатор речи")});
    const Controls c = ControlsOf(host);

    const auto list = Winmsg({"list"});
    EXPECT_EQ(list.status, 0);
    EXPECT_EQ(list.output, Hex(c.main) + " \"Speech Synthesizer\" \"Синтезатор речи\" hidden\n" +
                               "  " + Hex(c.pane) + " \"TPanel\" \"\" visible\n" +  //
                               "    " + Hex(c.edit) + " \"Edit\" \"\" visible\n" + "    " +
                               Hex(c.progress) + " \"ScrollBar\" \"\" visible\n" + "    " +
                               Hex(c.talk) + " \"Button\" \"Talk\" visible\n" + "    " +
                               Hex(c.pause) + " \"Button\" \"Pause\" visible\n");

    EXPECT_EQ(Winmsg({"find", "--class", "Speech Synthesizer"}).output, Hex(c.main) + "\n");
    EXPECT_EQ(Winmsg({"find", "--caption", "Синтезатор речи"}).output, Hex(c.main) + "\n");
    EXPECT_EQ(Winmsg({"find", "--parent", Hex(c.pane), "--class", "Button"}).output,
              Hex(c.talk) + "\n" + Hex(c.pause) + "\n");
    const auto none = Winmsg({"find", "--class", "Nothing"});
    EXPECT_EQ(none.status, 1);
    EXPECT_EQ(none.output, "");

    EXPECT_EQ(Winmsg({"children", Hex(c.pane)}).output,
              Hex(c.edit) + " \"Edit\" \"\"\n" + Hex(c.progress) + " \"ScrollBar\" \"\"\n" +
                  Hex(c.talk) + " \"Button\" \"Talk\"\n" + Hex(c.pause) +
                  " \"Button\" \"Pause\"\n");
    EXPECT_EQ(Winmsg({"caption", Hex(c.main)}).output, "Синтезатор речи\n");
    EXPECT_EQ(Winmsg({"parent", Hex(c.edit)}).output, Hex(c.pane) + "\n");
    EXPECT_EQ(Winmsg({"parent", Hex(c.main)}).output, "0x0000000000000000\n");
}

TEST(WinmsgToolTest, SendsMessagesAndShowsWindows) {
    HostProcess host;
    const Controls c = ControlsOf(host);

    EXPECT_EQ(Winmsg({"settext", Hex(c.edit), "Привет, мир"}).status, 0);
    EXPECT_EQ(desktop::GetWindowText(c.edit), Utf8ToWindows1251("Привет, мир"));

    const auto command = Winmsg({"command", Hex(c.main), "7"});
    EXPECT_EQ(command.status, 0);
    EXPECT_EQ(command.output, "1007\n");
    Winmsg({"command", Hex(c.main), "455"});
    EXPECT_EQ(Winmsg({"scroll", Hex(c.progress)}).output, "0 100 55\n");

    EXPECT_EQ(Winmsg({"show", Hex(c.main)}).status, 0);
    EXPECT_TRUE(desktop::IsWindowVisible(c.main));
    EXPECT_EQ(Winmsg({"hide", Hex(c.main)}).status, 0);
    EXPECT_FALSE(desktop::IsWindowVisible(c.main));

    EXPECT_EQ(Winmsg({"destroy", Hex(c.main)}).status, 0);
    EXPECT_FALSE(desktop::IsWindow(c.main));
    EXPECT_EQ(host.WaitForExit(), 0);
}

TEST(WinmsgToolTest, MissingWindowsAndUsageErrors) {
    HostProcess host;
    const std::string missing = Hex(host.mainWindow() + 500);
    for (const char* command : {"caption", "parent", "children", "scroll", "show", "destroy"})
        EXPECT_EQ(Winmsg({command, missing}).status, 3) << command;
    EXPECT_EQ(Winmsg({"settext", missing, "x"}).status, 3);
    EXPECT_EQ(Winmsg({"command", missing, "1"}).status, 3);
    EXPECT_EQ(Winmsg({"find", "--parent", missing}).status, 3);

    EXPECT_EQ(Winmsg({}).status, 2);
    EXPECT_EQ(Winmsg({"fly"}).status, 2);
    EXPECT_EQ(Winmsg({"caption", "12345"}).status, 2);
    EXPECT_EQ(Winmsg({"caption", "0x123"}).status, 2);
    EXPECT_EQ(Winmsg({"caption"}).status, 2);
    EXPECT_EQ(Winmsg({"command", Hex(host.mainWindow()), "-1"}).status, 2);
    EXPECT_EQ(Winmsg({"find", "--class"}).status, 2);
    EXPECT_EQ(Winmsg({"list", "extra"}).status, 2);

    // A desktop folder that others may enter is not read; the list says so, not "empty".
    const std::string runtime = getenv("XDG_RUNTIME_DIR");
    setenv("XDG_RUNTIME_DIR", test::MakeTempDir("open").c_str(), 1);
    const std::string folder = std::string(getenv("XDG_RUNTIME_DIR")) + "/tovrin-desktop";
    mkdir(folder.c_str(), 0755);
    chmod(folder.c_str(), 0755);
    const auto unreadable = Winmsg({"list"});
    setenv("XDG_RUNTIME_DIR", runtime.c_str(), 1);
    EXPECT_EQ(unreadable.status, 1);
    EXPECT_EQ(unreadable.output, "");
}

TEST(WinmsgToolTest, ExecutesDdeMacros) {
    HostProcess server({"--no-windows", "--dde", "tovrin", "TovrinProcess"});
    const auto processed = Winmsg({"dde", "TOVRIN", "tovrinprocess", "{TALKSERVCMD}\\r\\nфайл"});
    EXPECT_EQ(processed.status, 0);
    const WindowHandle log = desktop::FindWindow("DdeLog", std::nullopt);
    EXPECT_EQ(desktop::GetWindowText(log), "{TALKSERVCMD}\r\n" + Utf8ToWindows1251("файл"));

    EXPECT_EQ(Winmsg({"dde", "tovrin", "TovrinProcess", "refuse"}).status, 1);
    EXPECT_EQ(Winmsg({"dde", "tovrin", "Elsewhere", "{TALKSERVCMD}"}).status, 2);
    EXPECT_EQ(Winmsg({"dde", "tovrin", "TovrinProcess"}).status, 2);

    // The server's window refuses to be renamed or destroyed by another process; the tool
    // says so instead of reporting it done.
    const WindowHandle window = desktop::FindWindow("TovrinDdeServer", std::nullopt);
    ASSERT_NE(window, kNoWindow);
    const auto caption = desktop::GetWindowText(window);
    EXPECT_EQ(Winmsg({"settext", Hex(window), "other"}).status, 1);
    EXPECT_EQ(desktop::GetWindowText(window), caption);
    EXPECT_EQ(Winmsg({"destroy", Hex(window)}).status, 1);
    EXPECT_TRUE(desktop::IsWindow(window));
    EXPECT_EQ(Winmsg({"dde", "tovrin", "TovrinProcess", "{TALKSERVCMD}"}).status, 0);
}

}  // namespace
}  // namespace tovrin
