#include "engine/ControllerRegistry.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>

namespace tovrin {

namespace {

bool IsLive(const ControllerId& id) {
    return ProcessLives(id.Pid, id.Started);
}

}  // namespace

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
    fd_ = open(ControllerRecordPath(*folder).c_str(), O_RDWR | O_CREAT | O_CLOEXEC | O_NONBLOCK,
               0600);
    if (fd_ < 0) return;
    // A pipe or a device in the record's place (a link to /dev/zero reads for ever) is no
    // record: this controller is then alone.
    struct stat info {};
    if (fstat(fd_, &info) != 0 || !S_ISREG(info.st_mode)) {
        close(fd_);
        fd_ = -1;
        return;
    }
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
    const ControllerRecord record = ReadControllerRecord(fd_);
    for (const auto& recorded : record.Controllers) {
        const Entry entry{{recorded.Pid, recorded.Started, recorded.Serial}, recorded.Engine};
        if (IsLive(entry.Id)) {
            entries_.push_back(entry);
        } else {
            changed_ = true;
        }
    }
    pendingClose_ = record.PendingClose;
    // An engine that has ended needs no close; its handle may name a stranger's window now.
    if (pendingClose_ && !StillRuns(*pendingClose_)) {
        pendingClose_.reset();
        changed_ = true;
    }
}

void ControllerRegistry::Store() {
    ControllerRecord record;
    for (const auto& entry : entries_)
        record.Controllers.push_back(
            {entry.Id.Pid, entry.Id.Started, entry.Id.Serial, entry.Engine});
    record.PendingClose = pendingClose_;
    const std::string content = FormatControllerRecord(record);
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

WindowHandle ControllerRegistry::PendingClose() const {
    return pendingClose_ ? pendingClose_->Window : kNoWindow;
}

void ControllerRegistry::SetPendingClose(WindowHandle engine) {
    pendingClose_ = EngineOf(engine);
    changed_ = true;
}

}  // namespace tovrin
