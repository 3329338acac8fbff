#include "tests/synth/EngineProcess.h"

#include "synth/WaveDecoder.h"
#include "tests/support/TestEnvironment.h"
#include "text/CodePages.h"

#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstring>
#include <stdexcept>
#include <thread>

extern char** environ;

namespace tovrin::test {

namespace {

constexpr const char* kEngineClass = "Speech Synthesizer";

std::optional<int> WaitForPid(pid_t pid) {
    int status = 0;
    pid_t done = 0;
    const bool ended = Eventually([&] {
        done = waitpid(pid, &status, WNOHANG);
        return done != 0;
    });
    if (!ended || done != pid) return std::nullopt;
    return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
}

std::string CaptionUtf8(WindowHandle window) {
    return Windows1251ToUtf8(desktop::GetWindowText(window).value_or("<gone>"));
}

WindowHandle FindOwnMainWindow(pid_t pid) {
    WindowHandle after = kNoWindow;
    while ((after = desktop::FindChildWindow(kNoWindow, after, kEngineClass, std::nullopt)) !=
           kNoWindow) {
        if (static_cast<pid_t>(after >> 32) == pid) return after;
    }
    return kNoWindow;
}

}  // namespace

std::string EnginePath() {
    return BinaryDir() + "/ZalLib/zalwin";
}

pid_t StartWithRecording(const std::string& program, const std::string& wavPath,
                         const std::vector<std::string>& args) {
    std::vector<std::string> variables;
    for (char** entry = environ; *entry; ++entry) {
        if (std::strncmp(*entry, "TOVRIN_AUDIO=", 13) != 0) variables.emplace_back(*entry);
    }
    variables.push_back("TOVRIN_AUDIO=wav:" + wavPath);
    std::vector<char*> envp;
    for (std::string& variable : variables)
        envp.push_back(variable.data());
    envp.push_back(nullptr);
    std::string path = program;
    std::vector<std::string> words = args;
    std::vector<char*> argv{path.data()};
    for (std::string& word : words)
        argv.push_back(word.data());
    argv.push_back(nullptr);
    pid_t pid = -1;
    if (posix_spawn(&pid, path.c_str(), nullptr, nullptr, argv.data(), envp.data()) != 0)
        throw std::runtime_error("cannot start " + program);
    return pid;
}

std::vector<int16_t> RecordedSamples(const std::string& wavPath) {
    return LoadWaveFile(wavPath, 22050).value_or(std::vector<int16_t>{});
}

EngineProcess::EngineProcess(const std::string& wavPath, const std::vector<std::string>& args) {
    pid_ = StartWithRecording(EnginePath(), wavPath, args);
    if (!Eventually([&] { return (main = FindOwnMainWindow(pid_)) != kNoWindow; }))
        throw std::runtime_error("the engine's window did not appear");
    pane = desktop::GetFirstChild(main);
    edit = desktop::FindChildWindow(pane, kNoWindow, "Edit", std::nullopt);
    progress = desktop::FindChildWindow(pane, kNoWindow, "ScrollBar", std::nullopt);
    talk = desktop::FindChildWindow(pane, kNoWindow, "Button", std::nullopt);
    pause = desktop::FindChildWindow(pane, talk, "Button", std::nullopt);
}

EngineProcess::~EngineProcess() {
    if (pid_ <= 0) return;
    kill(pid_, SIGKILL);
    waitpid(pid_, nullptr, 0);
}

bool EngineProcess::Command(uint64_t number) const {
    return desktop::SendMessage(main, WM_COMMAND, number).has_value();
}

bool EngineProcess::SetText(const std::string& utf8) const {
    return SetBytes(Utf8ToWindows1251(utf8));
}

bool EngineProcess::SetBytes(const std::string& windows1251) const {
    return desktop::SendMessage(edit, WM_SETTEXT, 0, windows1251).has_value();
}

std::string EngineProcess::TalkCaption() const {
    return CaptionUtf8(talk);
}
std::string EngineProcess::PauseCaption() const {
    return CaptionUtf8(pause);
}

ScrollInfo EngineProcess::Progress() const {
    return desktop::GetScrollInfo(progress).value_or(ScrollInfo{-1, -1, -1});
}

std::optional<int> EngineProcess::Destroy() {
    desktop::SendMessage(main, WM_DESTROY, 0);
    return WaitForExit();
}

bool EngineProcess::Running() const {
    // Asked without collecting it, so that WaitForExit still finds its status.
    siginfo_t info{};
    return pid_ > 0 && waitid(P_PID, id_t(pid_), &info, WEXITED | WNOHANG | WNOWAIT) == 0 &&
           info.si_pid == 0;
}

std::optional<int> EngineProcess::WaitForExit() {
    const auto status = WaitForPid(pid_);
    if (status) pid_ = -1;
    return status;
}

}  // namespace tovrin::test
