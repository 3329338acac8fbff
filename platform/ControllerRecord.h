#pragma once

#include "platform/Desktop.h"

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace tovrin {

// The record the user's speech engine controllers share in the runtime folder. One line per
// controller: "controller <pid> <process start time> <serial> <engine window>"; at most one
// "close <engine window> <engine process start time>" for an engine whose close waits for its
// last user. The controllers change it under an exclusive lock; the engine program reads it
// to learn whether any controller is left.
struct RecordedController {
    int64_t Pid = 0;
    uint64_t Started = 0;
    uint64_t Serial = 0;
    WindowHandle Engine = kNoWindow;
};

// An engine window together with the start time of the process that owns it: a handle alone
// may name another program's window once the engine's pid is reused.
struct RecordedEngine {
    WindowHandle Window = kNoWindow;
    uint64_t Started = 0;
};

struct ControllerRecord {
    std::vector<RecordedController> Controllers;
    std::optional<RecordedEngine> PendingClose;
};

std::string ControllerRecordPath(const std::string& folder);
// Damaged lines count for nothing.
ControllerRecord ParseControllerRecord(std::string_view text);
std::string FormatControllerRecord(const ControllerRecord& record);
// The record as the open file `fd` holds it (the caller holds the lock).
ControllerRecord ReadControllerRecord(int fd);

// The start time of a running process in clock ticks since boot; nullopt when none runs.
std::optional<uint64_t> ProcessStartTime(int64_t pid);
// Whether the process `pid` runs and is the one that started at `started`.
bool ProcessLives(int64_t pid, uint64_t started);
// The engine window with its owner's start time; nullopt when its process does not run.
std::optional<RecordedEngine> EngineOf(WindowHandle window);
// Whether the window's owner is still the process that was recorded.
bool StillRuns(const RecordedEngine& engine);

// Whether a controller recorded in `folder` still runs: false when the record is missing;
// nullopt while a controller is changing it (ask again later, never wait for it).
std::optional<bool> AnyRecordedControllerLives(const std::string& folder);

}  // namespace tovrin
