#include "tests/platform/HostProcess.h"

#include <poll.h>
#include <sched.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <stdexcept>

#include "tests/platform/Eventually.h"
#include "tests/support/TestEnvironment.h"

extern char** environ;

namespace tovrin::test {

namespace {

// Starts a program with stdout into a pipe; returns the pid and the pipe's reading end.
std::pair<pid_t, int> Spawn(const std::string& program, const std::vector<std::string>& arguments) {
    int pipeEnds[2];
    if (pipe(pipeEnds) != 0) throw std::runtime_error("pipe failed");
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, pipeEnds[1], STDOUT_FILENO);
    posix_spawn_file_actions_addclose(&actions, pipeEnds[0]);
    std::vector<std::string> all{program};
    all.insert(all.end(), arguments.begin(), arguments.end());
    std::vector<char*> argv;
    for (auto& arg : all)
        argv.push_back(arg.data());
    argv.push_back(nullptr);
    pid_t pid = -1;
    const int failure = posix_spawn(&pid, program.c_str(), &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    close(pipeEnds[1]);
    if (failure != 0) {
        close(pipeEnds[0]);
        throw std::runtime_error("cannot start " + program);
    }
    return {pid, pipeEnds[0]};
}

// Reads until end of stream, or one line when `oneLine`, giving up after a generous limit
// that only a broken program reaches.
std::string ReadFrom(int fd, bool oneLine) {
    std::string text;
    char c;
    for (;;) {
        pollfd entry{fd, POLLIN, 0};
        if (poll(&entry, 1, 30000) <= 0) break;
        if (read(fd, &c, 1) != 1) break;
        if (oneLine && c == '\n') break;
        text += c;
    }
    return text;
}

// Each thread's state is the letter after the command name in its stat line.
bool AllThreadsStopped(const std::string& tasks) {
    for (const auto& task : std::filesystem::directory_iterator(tasks)) {
        std::ifstream stat(task.path() / "stat");
        std::string line;
        std::getline(stat, line);
        const size_t close = line.rfind(')');
        if (close == std::string::npos || close + 2 >= line.size() || line[close + 2] != 'T')
            return false;
    }
    return true;
}

int Reap(pid_t pid) {
    const std::optional<int> status = WaitStatusOfChild(pid);
    if (!status) return -1;
    return WIFEXITED(*status) ? WEXITSTATUS(*status) : -1;
}

}  // namespace

HostProcess::HostProcess(const std::vector<std::string>& arguments) {
    auto [pid, output] = Spawn(BinaryDir() + "/desktop_test_host", arguments);
    pid_ = pid;
    const std::string line = ReadFrom(output, true);
    close(output);
    if (line.rfind("ready 0x", 0) != 0) {
        Kill();
        throw std::runtime_error("desktop_test_host did not start: " + line);
    }
    mainWindow_ = std::stoull(line.substr(8), nullptr, 16);
}

HostProcess::~HostProcess() {
    Kill();
}

void HostProcess::Signal(int signal) const {
    if (pid_ > 0) kill(pid_, signal);
}

void HostProcess::Stop() const {
    Signal(SIGSTOP);
    const std::string tasks = "/proc/" + std::to_string(pid_) + "/task";
    // A signal takes effect when the kernel next schedules each thread; wait for that state.
    for (int round = 0; round < 100000; ++round) {
        if (AllThreadsStopped(tasks)) return;
        sched_yield();
    }
    throw std::runtime_error("desktop_test_host did not stop");
}

void HostProcess::Kill() {
    if (pid_ <= 0) return;
    kill(pid_, SIGKILL);
    Reap(pid_);
    pid_ = -1;
}

int HostProcess::WaitForExit() {
    const int status = Reap(pid_);
    pid_ = -1;
    return status;
}

ProgramResult RunProgram(const std::string& program, const std::vector<std::string>& arguments) {
    auto [pid, output] = Spawn(program, arguments);
    ProgramResult result;
    result.output = ReadFrom(output, false);
    close(output);
    result.status = Reap(pid);
    return result;
}

}  // namespace tovrin::test
