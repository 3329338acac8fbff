#pragma once

#include <fcntl.h>
#include <spawn.h>
#include <unistd.h>

#include <cstdlib>
#include <string>
#include <vector>

namespace tovrin::test {

// Starts a private PulseAudio server with a null sink that listens on `socket`, with `folder`
// as its home and runtime folder and its complaints discarded. The pid, or -1 when
// pulseaudio cannot be started. The caller ends it.
inline pid_t SpawnPulseServer(const std::string& folder, const std::string& socket) {
    std::vector<std::string> args = {
        "pulseaudio",
        "-n",
        "--daemonize=no",
        "--exit-idle-time=-1",
        "--use-pid-file=no",
        "--disable-shm=yes",
        "-L",
        "module-null-sink",
        "-L",
        "module-native-protocol-unix auth-anonymous=1 socket=" + socket};
    std::vector<char*> argv;
    for (auto& arg : args)
        argv.push_back(arg.data());
    argv.push_back(nullptr);
    std::string home = "HOME=" + folder;
    std::string runtime = "XDG_RUNTIME_DIR=" + folder;
    const char* searchPath = std::getenv("PATH");
    std::string path = std::string("PATH=") + (searchPath ? searchPath : "/usr/bin:/bin");
    char* env[] = {home.data(), runtime.data(), path.data(), nullptr};
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, "/dev/null", O_WRONLY, 0);
    pid_t pid = -1;
    if (posix_spawnp(&pid, "pulseaudio", &actions, nullptr, argv.data(), env) != 0) pid = -1;
    posix_spawn_file_actions_destroy(&actions);
    return pid;
}

}  // namespace tovrin::test
