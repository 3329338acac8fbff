#include "platform/ControllerRecord.h"

#include "platform/DesktopProtocol.h"
#include "platform/UniqueFd.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <fstream>
#include <sstream>

namespace tovrin {

namespace {

std::string ReadAll(int fd) {
    std::string content;
    char buffer[4096];
    off_t at = 0;
    for (;;) {
        const ssize_t got = pread(fd, buffer, sizeof buffer, at);
        if (got < 0 && errno == EINTR) continue;
        if (got <= 0) return content;
        content.append(buffer, size_t(got));
        at += got;
    }
}

}  // namespace

std::string ControllerRecordPath(const std::string& folder) {
    return folder + "/controllers";
}

ControllerRecord ParseControllerRecord(std::string_view text) {
    ControllerRecord record;
    std::istringstream lines{std::string(text)};
    std::string line;
    while (std::getline(lines, line)) {
        std::istringstream words(line);
        std::string kind;
        words >> kind;
        if (kind == "controller") {
            RecordedController entry;
            if (words >> entry.Pid >> entry.Started >> entry.Serial >> entry.Engine)
                record.Controllers.push_back(entry);
        } else if (kind == "close") {
            RecordedEngine engine;
            // A close without its owner's start time cannot be told from a stranger's window.
            if (words >> engine.Window >> engine.Started) record.PendingClose = engine;
        }
    }
    return record;
}

std::string FormatControllerRecord(const ControllerRecord& record) {
    std::string content;
    for (const auto& entry : record.Controllers) {
        content += "controller " + std::to_string(entry.Pid) + " " + std::to_string(entry.Started) +
                   " " + std::to_string(entry.Serial) + " " + std::to_string(entry.Engine) + "\n";
    }
    if (record.PendingClose) {
        content += "close " + std::to_string(record.PendingClose->Window) + " " +
                   std::to_string(record.PendingClose->Started) + "\n";
    }
    return content;
}

ControllerRecord ReadControllerRecord(int fd) {
    return ParseControllerRecord(ReadAll(fd));
}

std::optional<uint64_t> ProcessStartTime(int64_t pid) {
    if (pid <= 0) return std::nullopt;
    std::ifstream stat("/proc/" + std::to_string(pid) + "/stat");
    std::string line;
    if (!std::getline(stat, line)) return std::nullopt;
    // The command name in parentheses may hold blanks; the fields are counted after it.
    const size_t close = line.rfind(')');
    if (close == std::string::npos) return std::nullopt;
    std::istringstream fields(line.substr(close + 1));
    std::string field;
    for (int number = 3; fields >> field; ++number) {
        // A process that has ended but is not yet collected runs no more.
        if (number == 3 && (field == "Z" || field == "X")) return std::nullopt;
        if (number == 22) return std::stoull(field);
    }
    return std::nullopt;
}

bool ProcessLives(int64_t pid, uint64_t started) {
    return ProcessStartTime(pid) == started;
}

std::optional<RecordedEngine> EngineOf(WindowHandle window) {
    const auto started = ProcessStartTime(desktop_protocol::PidOf(window));
    if (window == kNoWindow || !started) return std::nullopt;
    return RecordedEngine{window, *started};
}

bool StillRuns(const RecordedEngine& engine) {
    return ProcessLives(desktop_protocol::PidOf(engine.Window), engine.Started);
}

std::optional<bool> AnyRecordedControllerLives(const std::string& folder) {
    // Opened without blocking: a pipe put in the record's place must not hold the caller.
    const UniqueFd fd(
        open(ControllerRecordPath(folder).c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK));
    if (!fd.valid()) return errno == ENOENT ? std::optional<bool>(false) : std::nullopt;
    struct stat info {};
    if (fstat(fd.get(), &info) != 0 || !S_ISREG(info.st_mode)) return std::nullopt;
    if (flock(fd.get(), LOCK_SH | LOCK_NB) != 0) return std::nullopt;
    for (const auto& entry : ReadControllerRecord(fd.get()).Controllers) {
        if (ProcessLives(entry.Pid, entry.Started)) return true;
    }
    return false;
}

}  // namespace tovrin
