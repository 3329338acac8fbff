#pragma once

#include <sys/types.h>

#include <string>
#include <vector>

namespace tovrin {

struct ProcessInfo {
    pid_t pid = 0;
};

// Starts `program` with `args` (argv[1..]) hidden, as a new session, with `workingFolder` as
// its current directory and this process's environment. The child is reaped when it ends,
// so no zombie stays. Returns 0, or the errno that made the start fail.
int StartHiddenProcess(const std::string& program, const std::vector<std::string>& args,
                       const std::string& workingFolder, ProcessInfo& info);
// Ends the process (and its session); true when it was running.
bool TerminateProcess(const ProcessInfo& info, int exitCode);
bool IsProcessRunning(const ProcessInfo& info);

bool FileExists(const std::string& path);
std::string GetCurrentDir();
bool SetCurrentDir(const std::string& path);
// The running executable's own path and folder.
std::string ExecutablePath();
std::string ExecutableFolder();

}  // namespace tovrin
