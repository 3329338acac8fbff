#include "platform/Process.h"

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <filesystem>
#include <map>
#include <mutex>
#include <optional>
#include <thread>

extern char** environ;

namespace tovrin {

namespace {

// The children this process started, and whether each has ended. A child's pid stays in use
// (running or as a zombie) until its reaper marks it ended, so signals sent while it is marked
// running can never reach an unrelated process that reused the number.
class ChildRegistry {
  public:
    void Started(pid_t pid) {
        std::lock_guard lock(mutex_);
        ended_[pid] = false;
    }
    // Waits for the child to end, marks it, and only then collects it.
    void Reap(pid_t pid) {
        siginfo_t info{};
        while (waitid(P_PID, id_t(pid), &info, WEXITED | WNOWAIT) != 0 && errno == EINTR) {
        }
        std::lock_guard lock(mutex_);
        ended_[pid] = true;
        while (waitpid(pid, nullptr, 0) < 0 && errno == EINTR) {
        }
    }
    // Runs `action` under the lock with the child's state: nullopt when it is not ours.
    template <typename Action>
    auto WithState(pid_t pid, Action action) {
        std::lock_guard lock(mutex_);
        auto it = ended_.find(pid);
        return action(it == ended_.end() ? std::optional<bool>() : std::optional<bool>(it->second));
    }

  private:
    std::mutex mutex_;
    std::map<pid_t, bool> ended_;
};

ChildRegistry& Children() {
    static ChildRegistry* registry = new ChildRegistry;  // outlives the detached reapers
    return *registry;
}

// Owns the spawn attributes and file actions for the duration of one start.
class SpawnSetup {
  public:
    SpawnSetup() {
        posix_spawnattr_init(&attributes_);
        posix_spawn_file_actions_init(&actions_);
    }
    ~SpawnSetup() {
        posix_spawnattr_destroy(&attributes_);
        posix_spawn_file_actions_destroy(&actions_);
    }
    SpawnSetup(const SpawnSetup&) = delete;
    SpawnSetup& operator=(const SpawnSetup&) = delete;

    // A new session, default signal handling and an empty signal mask, whatever this
    // process has set for itself; the working folder is entered before the program runs.
    int Prepare(const std::string& workingFolder) {
        sigset_t none;
        sigset_t all;
        sigemptyset(&none);
        sigfillset(&all);
        int error = posix_spawnattr_setflags(
            &attributes_, POSIX_SPAWN_SETSID | POSIX_SPAWN_SETSIGMASK | POSIX_SPAWN_SETSIGDEF);
        if (!error) error = posix_spawnattr_setsigmask(&attributes_, &none);
        if (!error) error = posix_spawnattr_setsigdefault(&attributes_, &all);
        // Like a program given a console of its own, it never reads this process's input.
        if (!error) {
            error =
                posix_spawn_file_actions_addopen(&actions_, STDIN_FILENO, "/dev/null", O_RDONLY, 0);
        }
        if (!error && !workingFolder.empty()) {
            error = posix_spawn_file_actions_addchdir_np(&actions_, workingFolder.c_str());
        }
        return error;
    }

    posix_spawnattr_t attributes_;
    posix_spawn_file_actions_t actions_;
};

// The program as a path that does not depend on the working folder the child enters.
std::string AbsoluteProgram(const std::string& program) {
    if (program.empty() || program[0] == '/') return program;
    return GetCurrentDir() + "/" + program;
}

}  // namespace

int StartHiddenProcess(const std::string& program, const std::vector<std::string>& args,
                       const std::string& workingFolder, ProcessInfo& info) {
    std::string path = AbsoluteProgram(program);
    std::vector<char*> argv;
    argv.push_back(const_cast<char*>(program.c_str()));
    for (const auto& arg : args)
        argv.push_back(const_cast<char*>(arg.c_str()));
    argv.push_back(nullptr);

    SpawnSetup setup;
    int error = setup.Prepare(workingFolder);
    pid_t pid = 0;
    if (!error) {
        error = posix_spawn(&pid, path.c_str(), &setup.actions_, &setup.attributes_, argv.data(),
                            environ);
    }
    if (error) return error;
    Children().Started(pid);
    std::thread([pid] { Children().Reap(pid); }).detach();
    info.pid = pid;
    return 0;
}

bool TerminateProcess(const ProcessInfo& info, int /*exitCode*/) {
    // A killed process cannot choose its exit status; the code is accepted for the callers'
    // sake. The whole process group goes, as the child leads its own session.
    return Children().WithState(info.pid, [&](std::optional<bool> ended) {
        if (!ended || info.pid <= 0) return false;
        kill(-info.pid, SIGKILL);
        return !*ended;
    });
}

bool IsProcessRunning(const ProcessInfo& info) {
    if (info.pid <= 0) return false;
    return Children().WithState(info.pid, [&](std::optional<bool> ended) {
        if (ended) return !*ended;
        return kill(info.pid, 0) == 0 || errno == EPERM;
    });
}

bool FileExists(const std::string& path) {
    struct stat info;
    return stat(path.c_str(), &info) == 0 && S_ISREG(info.st_mode);
}

std::string GetCurrentDir() {
    std::error_code error;
    auto path = std::filesystem::current_path(error);
    return error ? std::string() : path.string();
}

bool SetCurrentDir(const std::string& path) {
    return chdir(path.c_str()) == 0;
}

std::string ExecutablePath() {
    std::error_code error;
    auto path = std::filesystem::read_symlink("/proc/self/exe", error);
    return error ? std::string() : path.string();
}

std::string ExecutableFolder() {
    return std::filesystem::path(ExecutablePath()).parent_path().string();
}

}  // namespace tovrin
