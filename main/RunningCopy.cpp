#include "main/RunningCopy.h"

#include "platform/Dde.h"
#include "platform/RuntimeFolder.h"

#include <thread>

namespace tovrin {

namespace {

constexpr auto kPollInterval = std::chrono::milliseconds(20);

bool Serves(std::string_view service, std::string_view topic) {
    DdeConversation conversation;
    // Established only to learn that the server is there; closed again at once.
    return conversation.Connect(service, topic);
}

}  // namespace

std::optional<std::string> CopyLockPath(std::string_view service) {
    const auto folder = RuntimeFolder();
    if (!folder) return std::nullopt;
    return *folder + "/" + std::string(service) + ".lock";
}

CopyCheck FindRunningCopy(std::string_view service, std::string_view topic,
                          const std::optional<std::string>& lockPath,
                          std::chrono::milliseconds limit) {
    CopyCheck check;
    check.LockUnusable = lockPath && !InstanceLock::Usable(*lockPath);
    if (!lockPath || check.LockUnusable) {
        check.OtherServes = Serves(service, topic);
        return check;
    }
    const auto deadline = std::chrono::steady_clock::now() + limit;
    for (;;) {
        check.Lock = InstanceLock::TryAcquire(*lockPath);
        check.OtherServes = Serves(service, topic);
        if (check.OtherServes) check.Lock.reset();
        if (check.Lock || check.OtherServes || std::chrono::steady_clock::now() >= deadline)
            return check;
        std::this_thread::sleep_for(kPollInterval);
    }
}

}  // namespace tovrin
