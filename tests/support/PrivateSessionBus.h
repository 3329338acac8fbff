#pragma once

#include "tests/support/TestEnvironment.h"

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <fstream>
#include <string>
#include <thread>

namespace tovrin::test {

// A dbus-daemon of the test's own, listening on a socket in a private folder, so that D-Bus
// tests never meet the user's session bus. Ended when the object goes.
class PrivateSessionBus {
  public:
    PrivateSessionBus() {
        const std::string folder = MakeTempDir("bus");
        socket_ = folder + "/bus";
        const std::string config = folder + "/bus.conf";
        std::ofstream(config)
            << "<busconfig><type>session</type><listen>unix:path=" << socket_
            << "</listen><auth>EXTERNAL</auth><policy context=\"default\">"
               "<allow send_destination=\"*\" eavesdrop=\"true\"/>"
               "<allow eavesdrop=\"true\"/><allow own=\"*\"/></policy></busconfig>";
        std::string configArg = "--config-file=" + config;
        char program[] = "dbus-daemon";
        char nofork[] = "--nofork";
        char* argv[] = {program, nofork, configArg.data(), nullptr};
        // Its complaints (such as a file limit it may not raise) are not the test's business.
        posix_spawn_file_actions_t quiet;
        posix_spawn_file_actions_init(&quiet);
        posix_spawn_file_actions_addopen(&quiet, STDERR_FILENO, "/dev/null", O_WRONLY, 0);
        if (posix_spawnp(&pid_, "dbus-daemon", &quiet, nullptr, argv, environ) != 0) pid_ = -1;
        posix_spawn_file_actions_destroy(&quiet);
        // The daemon is ready once its socket exists; bounded so a broken daemon cannot hang.
        for (int i = 0; pid_ > 0 && i < 5000 && !Ready(); ++i)
            std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
    ~PrivateSessionBus() {
        if (pid_ <= 0) return;
        kill(pid_, SIGTERM);
        waitpid(pid_, nullptr, 0);
    }
    PrivateSessionBus(const PrivateSessionBus&) = delete;
    PrivateSessionBus& operator=(const PrivateSessionBus&) = delete;

    // Ready once the daemon accepts connections on its socket (it exists a moment before).
    bool Ready() const {
        struct stat info {};
        if (stat(socket_.c_str(), &info) != 0 || !S_ISSOCK(info.st_mode)) return false;
        const int probe = socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
        sockaddr_un address{};
        address.sun_family = AF_UNIX;
        socket_.copy(address.sun_path, sizeof address.sun_path - 1);
        const bool accepted =
            connect(probe, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0;
        close(probe);
        return accepted;
    }
    std::string Address() const { return "unix:path=" + socket_; }

  private:
    std::string socket_;
    pid_t pid_ = -1;
};

}  // namespace tovrin::test
