#pragma once

#include <sys/types.h>

#include <string>
#include <vector>

#include "platform/Desktop.h"

namespace tovrin::test {

// A desktop_test_host started as a real process; killed and reaped when this goes away.
class HostProcess {
  public:
    // Starts the host with these arguments and waits until it reports its windows ready.
    explicit HostProcess(const std::vector<std::string>& arguments = {});
    ~HostProcess();
    HostProcess(const HostProcess&) = delete;
    HostProcess& operator=(const HostProcess&) = delete;

    pid_t pid() const { return pid_; }
    WindowHandle mainWindow() const { return mainWindow_; }
    void Signal(int signal) const;
    // Stops every thread of the process (SIGSTOP) and returns once all of them are stopped.
    void Stop() const;
    // Kills the process and reaps it; its windows are gone from then on.
    void Kill();
    // Waits for the process to end by itself; its exit status, or -1.
    int WaitForExit();

  private:
    pid_t pid_ = -1;
    WindowHandle mainWindow_ = kNoWindow;
};

// Runs a program to its end; what it wrote to stdout and its exit status.
struct ProgramResult {
    int status = -1;
    std::string output;
};
ProgramResult RunProgram(const std::string& program, const std::vector<std::string>& arguments);

}  // namespace tovrin::test
