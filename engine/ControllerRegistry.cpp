#include "engine/ControllerRegistry.h"

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <fstream>
#include <sstream>

namespace tovrin {

namespace {

constexpr const char* kRecordName = "/controllers";

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

bool IsLive(const ControllerId& id) {
    return ProcessStartTime(id.Pid) == id.Started;
}

}  // namespace

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

ControllerId ControllerId::NewForThisProcess() {
    static std::atomic<uint64_t> serial{0};
    ControllerId id;
    id.Pid = getpid();
    id.Started = ProcessStartTime(id.Pid).value_or(0);
    id.Serial = ++serial;
    return id;
}

ControllerRegistry::ControllerRegistry(std::optional<std::string> folder) {
    if (!folder) return;
    fd_ = open((*folder + kRecordName).c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
    if (fd_ < 0) return;
    while (flock(fd_, LOCK_EX) != 0 && errno == EINTR) {
    }
    Load();
}

ControllerRegistry::~ControllerRegistry() {
    if (fd_ < 0) return;
    if (changed_) Store();
    close(fd_);  // closing releases the lock
}

void ControllerRegistry::Load() {
    std::istringstream lines(ReadAll(fd_));
    std::string line;
    while (std::getline(lines, line)) {
        std::istringstream words(line);
        std::string kind;
        words >> kind;
        if (kind == "controller") {
            Entry entry;
            if (!(words >> entry.Id.Pid >> entry.Id.Started >> entry.Id.Serial >> entry.Engine))
                continue;  // a damaged line counts for nothing
            if (IsLive(entry.Id)) {
                entries_.push_back(entry);
            } else {
                changed_ = true;
            }
        } else if (kind == "close") {
            words >> pendingClose_;
        }
    }
}

void ControllerRegistry::Store() {
    std::string content;
    for (const auto& entry : entries_) {
        content += "controller " + std::to_string(entry.Id.Pid) + " " +
                   std::to_string(entry.Id.Started) + " " + std::to_string(entry.Id.Serial) + " " +
                   std::to_string(entry.Engine) + "\n";
    }
    if (pendingClose_ != kNoWindow) content += "close " + std::to_string(pendingClose_) + "\n";
    // Short enough to go in one write; a reader holds the same lock, so never sees it half.
    if (ftruncate(fd_, 0) == 0) {
        [[maybe_unused]] const ssize_t written = pwrite(fd_, content.data(), content.size(), 0);
    }
}

ControllerRegistry::Entry* ControllerRegistry::Find(const ControllerId& id) {
    for (auto& entry : entries_) {
        if (entry.Id == id) return &entry;
    }
    return nullptr;
}

bool ControllerRegistry::OthersLive(const ControllerId& self) const {
    for (const auto& entry : entries_) {
        if (!(entry.Id == self)) return true;
    }
    return false;
}

void ControllerRegistry::Join(const ControllerId& self) {
    if (Find(self)) return;
    entries_.push_back({self, kNoWindow});
    changed_ = true;
}

void ControllerRegistry::Leave(const ControllerId& self) {
    std::erase_if(entries_, [&](const Entry& entry) { return entry.Id == self; });
    changed_ = true;
}

void ControllerRegistry::Use(const ControllerId& self, WindowHandle engine) {
    Join(self);
    Find(self)->Engine = engine;
    changed_ = true;
}

bool ControllerRegistry::OthersUse(const ControllerId& self, WindowHandle engine) const {
    if (engine == kNoWindow) return false;
    for (const auto& entry : entries_) {
        if (!(entry.Id == self) && (entry.Engine == engine || entry.Engine == kAnyEngine))
            return true;
    }
    return false;
}

void ControllerRegistry::SetPendingClose(WindowHandle engine) {
    pendingClose_ = engine;
    changed_ = true;
}

}  // namespace tovrin
