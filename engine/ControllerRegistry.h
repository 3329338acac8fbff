#pragma once

#include "platform/ControllerRecord.h"
#include "platform/Desktop.h"

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace tovrin {

// A controller starting or binding an engine uses whichever engine it will get.
constexpr WindowHandle kAnyEngine = ~WindowHandle{0};

// Who a controller is among the user's running controllers: its process (the pid and the
// process's start time, so that a reused pid is not taken for the old process) and a number
// that tells apart several controllers of one process.
struct ControllerId {
    int64_t Pid = 0;
    uint64_t Started = 0;
    uint64_t Serial = 0;

    static ControllerId NewForThisProcess();
    bool operator==(const ControllerId&) const = default;
};

// The record the user's controllers share in the runtime folder: which controllers live, which
// engine window each one uses, and an engine whose close is put off until its last user has
// gone (known by its window and its process's start time, so that a window of a later process
// with the same pid is never closed for it). Each object holds the lock on the record while it
// lives and writes its changes back when it ends; records of ended processes are dropped as they
// are read, so a killed controller is never counted. Without a runtime folder each controller is
// alone.
class ControllerRegistry {
  public:
    explicit ControllerRegistry(std::optional<std::string> folder);
    ~ControllerRegistry();
    ControllerRegistry(const ControllerRegistry&) = delete;
    ControllerRegistry& operator=(const ControllerRegistry&) = delete;

    bool OthersLive(const ControllerId& self) const;
    void Join(const ControllerId& self);
    void Leave(const ControllerId& self);
    // The engine window `self` uses (kNoWindow: none).
    void Use(const ControllerId& self, WindowHandle engine);
    bool OthersUse(const ControllerId& self, WindowHandle engine) const;
    // The engine whose close waits; kNoWindow when none, or when its process has ended.
    WindowHandle PendingClose() const;
    void SetPendingClose(WindowHandle engine);

  private:
    struct Entry {
        ControllerId Id;
        WindowHandle Engine = kNoWindow;
    };
    void Load();
    void Store();
    Entry* Find(const ControllerId& id);

    int fd_ = -1;
    bool changed_ = false;
    std::vector<Entry> entries_;
    std::optional<RecordedEngine> pendingClose_;
};

}  // namespace tovrin
