// tovrin-winmsg: lists, finds and messages the windows of the desktop from the shell, and
// executes DDE macros. Handles are written 0x and 16 hexadecimal digits; texts on the
// command line and in the output are UTF-8, Windows-1251 on the desktop.
//
// Exit status: 0 done, 1 nothing found / macro or message refused, 2 usage error (and, for dde,
// no conversation), 3 a window that does not exist or does not answer.
#include <cinttypes>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "platform/Dde.h"
#include "platform/Desktop.h"
#include "text/CodePages.h"
#include "tools/TextToolArgs.h"

namespace {

using namespace tovrin;

constexpr int kNothing = 1;  // nothing found, or a macro or message refused
constexpr int kUsage = 2;
constexpr int kNoSuchWindow = 3;

const char* const kUsageText =
    "usage: tovrin-winmsg list\n"
    "       tovrin-winmsg find [--parent H] [--class C] [--caption T]\n"
    "       tovrin-winmsg children H | caption H | parent H | scroll H | show H | hide H\n"
    "       tovrin-winmsg settext H TEXT | command H N | destroy H\n"
    "       tovrin-winmsg dde SERVICE TOPIC MACRO\n";

int Usage() {
    std::fputs(kUsageText, stderr);
    return kUsage;
}

std::string HandleText(WindowHandle window) {
    char text[32];
    std::snprintf(text, sizeof text, "0x%016" PRIx64, window);
    return text;
}

std::optional<WindowHandle> ParseHandle(const std::string& text) {
    if (text.size() != 18 || text[0] != '0' || text[1] != 'x') return std::nullopt;
    for (size_t i = 2; i < text.size(); ++i)
        if (!std::isxdigit(static_cast<unsigned char>(text[i]))) return std::nullopt;
    return std::strtoull(text.c_str() + 2, nullptr, 16);
}

std::optional<uint64_t> ParseNumber(const std::string& text) {
    if (text.empty() || text.size() > 19) return std::nullopt;
    for (char c : text)
        if (c < '0' || c > '9') return std::nullopt;
    return std::strtoull(text.c_str(), nullptr, 10);
}

int NoWindow(WindowHandle window) {
    std::fprintf(stderr, "tovrin-winmsg: no window %s\n", HandleText(window).c_str());
    return kNoSuchWindow;
}

void PrintLine(const std::string& utf8) {
    std::fwrite(utf8.data(), 1, utf8.size(), stdout);
    std::fputc('\n', stdout);
}

std::string Quoted(const std::optional<std::string>& windows1251) {
    return "\"" + Windows1251ToUtf8(windows1251.value_or("")) + "\"";
}

// "\r" and "\n" written in a macro argument stand for the line break bytes, "\\" for "\".
std::string UnescapeLineBreaks(const std::string& text) {
    std::string out;
    for (size_t i = 0; i < text.size(); ++i) {
        const char next = i + 1 < text.size() ? text[i + 1] : '\0';
        if (text[i] == '\\' && (next == 'r' || next == 'n' || next == '\\')) {
            out += next == 'r' ? '\r' : next == 'n' ? '\n' : '\\';
            ++i;
        } else {
            out += text[i];
        }
    }
    return out;
}

void ListTree(WindowHandle parent, int depth) {
    for (WindowHandle window : desktop::GetChildren(parent)) {
        const auto className = desktop::GetClassName(window);
        const auto caption = desktop::GetWindowText(window);
        if (!className || !caption) continue;  // gone while we were listing
        PrintLine(std::string(2 * depth, ' ') + HandleText(window) + " " + Quoted(className) + " " +
                  Quoted(caption) + (desktop::IsWindowVisible(window) ? " visible" : " hidden"));
        ListTree(window, depth + 1);
    }
}

int List(const std::vector<std::string>& args) {
    if (!args.empty()) return Usage();
    // An empty list must mean an empty desktop, never one that could not be looked at.
    if (!desktop::CanBeRead()) {
        std::fputs("tovrin-winmsg: the desktop cannot be read\n", stderr);
        return 1;
    }
    ListTree(kNoWindow, 0);
    return 0;
}

int Find(const std::vector<std::string>& args) {
    WindowHandle parent = kNoWindow;
    std::optional<std::string> className, caption;
    for (size_t i = 0; i < args.size(); i += 2) {
        if (i + 1 >= args.size()) return Usage();
        const std::string& value = args[i + 1];
        if (args[i] == "--parent") {
            const auto handle = ParseHandle(value);
            if (!handle) return Usage();
            parent = *handle;
        } else if (args[i] == "--class") {
            className = Utf8ToWindows1251(value);
        } else if (args[i] == "--caption") {
            caption = Utf8ToWindows1251(value);
        } else {
            return Usage();
        }
    }
    if (parent != kNoWindow && !desktop::IsWindow(parent)) return NoWindow(parent);
    WindowHandle found = kNoWindow;
    int count = 0;
    while ((found = desktop::FindChildWindow(parent, found, className, caption)) != kNoWindow) {
        PrintLine(HandleText(found));
        ++count;
    }
    return count > 0 ? 0 : 1;
}

int Dde(const std::vector<std::string>& args) {
    if (args.size() != 3) return Usage();
    DdeConversation conversation;
    if (!conversation.Connect(Utf8ToWindows1251(args[0]), Utf8ToWindows1251(args[1]))) {
        std::fputs("tovrin-winmsg: no conversation\n", stderr);
        return 2;
    }
    switch (conversation.Execute(Utf8ToWindows1251(UnescapeLineBreaks(args[2])))) {
        case DdeResult::Processed:
            return 0;
        case DdeResult::NotProcessed:
            return 1;
        case DdeResult::NoConversation:
            break;
    }
    std::fputs("tovrin-winmsg: no conversation\n", stderr);
    return 2;
}

// A command on one window: the handle first, then `extra` more arguments.
using WindowCommand = std::function<int(WindowHandle, const std::vector<std::string>&)>;

struct WindowCommandSpec {
    size_t extra;
    WindowCommand run;
};

int Children(WindowHandle window, const std::vector<std::string>&) {
    if (window != kNoWindow && !desktop::IsWindow(window)) return NoWindow(window);
    for (WindowHandle child : desktop::GetChildren(window))
        PrintLine(HandleText(child) + " " + Quoted(desktop::GetClassName(child)) + " " +
                  Quoted(desktop::GetWindowText(child)));
    return 0;
}

int Caption(WindowHandle window, const std::vector<std::string>&) {
    const auto caption = desktop::GetWindowText(window);
    if (!caption) return NoWindow(window);
    PrintLine(Windows1251ToUtf8(*caption));
    return 0;
}

int Parent(WindowHandle window, const std::vector<std::string>&) {
    if (!desktop::IsWindow(window)) return NoWindow(window);
    PrintLine(HandleText(desktop::GetParent(window)));
    return 0;
}

// A window may refuse a message from another process (the DDE server's window keeps its
// caption and its life); the window as it stands afterwards tells.
int Refused(WindowHandle window) {
    std::fprintf(stderr, "tovrin-winmsg: window %s refused the message\n",
                 HandleText(window).c_str());
    return kNothing;
}

int SetText(WindowHandle window, const std::vector<std::string>& args) {
    const std::string text = Utf8ToWindows1251(args[0]);
    if (!desktop::SendMessage(window, WM_SETTEXT, 0, text)) return NoWindow(window);
    return desktop::GetWindowText(window) == text ? 0 : Refused(window);
}

int Command(WindowHandle window, const std::vector<std::string>& args) {
    const auto number = ParseNumber(args[0]);
    if (!number) return Usage();
    const auto result = desktop::SendMessage(window, WM_COMMAND, *number);
    if (!result) return NoWindow(window);
    std::printf("%" PRId64 "\n", *result);
    return 0;
}

int Destroy(WindowHandle window, const std::vector<std::string>&) {
    if (!desktop::SendMessage(window, WM_DESTROY, 0)) return NoWindow(window);
    return desktop::IsWindow(window) ? Refused(window) : 0;
}

int Scroll(WindowHandle window, const std::vector<std::string>&) {
    const auto info = desktop::GetScrollInfo(window);
    if (!info) return NoWindow(window);
    std::printf("%d %d %d\n", info->min, info->max, info->pos);
    return 0;
}

int Show(WindowHandle window, bool show) {
    return desktop::ShowWindow(window, show) ? 0 : NoWindow(window);
}

const std::map<std::string, WindowCommandSpec>& WindowCommands() {
    static const std::map<std::string, WindowCommandSpec> commands{
        {"children", {0, Children}},
        {"caption", {0, Caption}},
        {"parent", {0, Parent}},
        {"settext", {1, SetText}},
        {"command", {1, Command}},
        {"destroy", {0, Destroy}},
        {"scroll", {0, Scroll}},
        {"show", {0, [](WindowHandle w, const auto&) { return Show(w, true); }}},
        {"hide", {0, [](WindowHandle w, const auto&) { return Show(w, false); }}},
    };
    return commands;
}

int Run(const std::string& command, const std::vector<std::string>& args) {
    if (command == "list") return List(args);
    if (command == "find") return Find(args);
    if (command == "dde") return Dde(args);
    const auto found = WindowCommands().find(command);
    if (found == WindowCommands().end() || args.size() != found->second.extra + 1) return Usage();
    const auto window = ParseHandle(args[0]);
    if (!window) return Usage();
    return found->second.run(*window, {args.begin() + 1, args.end()});
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 2) return Usage();
    const std::vector<std::string> args(argv + 1, argv + argc);
    if (AsksForHelp(args)) {
        PrintHelp(kUsageText);
        return 0;
    }
    if (AsksForVersion(args)) {
        PrintVersion("tovrin-winmsg");
        return 0;
    }
    const int status = Run(args[0], {args.begin() + 1, args.end()});
    std::fflush(stdout);
    return status;
}
